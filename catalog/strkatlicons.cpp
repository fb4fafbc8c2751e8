#include "strkatlicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kadrol {

namespace {

const QColor kBlue(31, 78, 140);
const QColor kAmber(242, 169, 0);
const QColor kGreen(46, 125, 50);

// One picture drawn on a 16-unit grid at the given pixel size.
QPixmap draw(int level, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    switch (level) {
    case 1: { // a globe
        p.setPen(QPen(kBlue, 1.2));
        p.setBrush(QColor(200, 222, 245));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
        break;
    }
    case 2: { // a folder
        p.setPen(QPen(kAmber.darker(140), 1));
        p.setBrush(kAmber.darker(110));
        QPainterPath back;
        back.moveTo(1, 3);
        back.lineTo(6, 3);
        back.lineTo(7.5, 4.5);
        back.lineTo(15, 4.5);
        back.lineTo(15, 13.5);
        back.lineTo(1, 13.5);
        back.closeSubpath();
        p.drawPath(back);
        p.setBrush(kAmber);
        p.drawRect(QRectF(1, 6, 14, 7.5));
        break;
    }
    case 3: { // a signpost
        p.setPen(QPen(QColor(90, 90, 90), 1.5));
        p.drawLine(QPointF(7, 2), QPointF(7, 15));
        p.setPen(QPen(kGreen.darker(130), 1));
        p.setBrush(kGreen);
        QPainterPath sign;
        sign.moveTo(2.5, 3);
        sign.lineTo(12, 3);
        sign.lineTo(14.5, 5.5);
        sign.lineTo(12, 8);
        sign.lineTo(2.5, 8);
        sign.closeSubpath();
        p.drawPath(sign);
        break;
    }
    default: { // a badge with a person
        p.setPen(QPen(kBlue, 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(2, 1.5, 12, 13), 1.5, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QPointF(8, 6), 2.2, 2.2);
        QPainterPath body;
        body.moveTo(4.2, 12.5);
        body.cubicTo(4.2, 8.5, 11.8, 8.5, 11.8, 12.5);
        body.closeSubpath();
        p.drawPath(body);
        break;
    }
    }
    return pm;
}

} // namespace

QIcon catalogIcon(int level)
{
    QIcon icon;
    for (int size : {16, 24, 32})
        icon.addPixmap(draw(level, size));
    return icon;
}

} // namespace kadrol
