#include "glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kadrol {

namespace {

const QColor kBlue(31, 78, 140);
const QColor kAmber(242, 169, 0);

void person(QPainter& p, QPointF at, double r, const QColor& c)
{
    p.setBrush(c);
    p.drawEllipse(at, r, r);
    QPainterPath body;
    body.moveTo(at.x() - r * 1.7, at.y() + r * 3.2);
    body.cubicTo(at.x() - r * 1.7, at.y() + r * 1.2, at.x() + r * 1.7, at.y() + r * 1.2,
                 at.x() + r * 1.7, at.y() + r * 3.2);
    body.closeSubpath();
    p.drawPath(body);
}

QPixmap draw(Glyph which, QIcon::Mode mode)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const bool off = mode == QIcon::Disabled;
    const QColor blue = off ? QColor(170, 170, 170) : kBlue;
    const QColor amber = off ? QColor(200, 200, 200) : kAmber;
    p.setPen(Qt::NoPen);
    switch (which) {
    case Glyph::Candidates:
        person(p, {10, 9}, 3.6, blue);
        person(p, {22, 9}, 3.6, blue);
        person(p, {16, 12}, 4.2, amber);
        break;
    case Glyph::Requests:
        p.setPen(QPen(blue, 2));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(7, 3, 18, 26), 2, 2);
        p.setPen(QPen(amber, 2));
        for (int y : {10, 15, 20})
            p.drawLine(11, y, 21, y);
        p.setPen(QPen(blue, 2));
        p.drawLine(11, 25, 17, 25);
        break;
    case Glyph::Library:
        p.setBrush(blue);
        p.drawRect(QRectF(5, 6, 6, 21));
        p.setBrush(amber);
        p.drawRect(QRectF(12, 9, 6, 18));
        p.save();
        p.translate(22, 7);
        p.rotate(12);
        p.setBrush(blue);
        p.drawRect(QRectF(0, 0, 5, 20));
        p.restore();
        p.setPen(QPen(blue, 2));
        p.drawLine(3, 28, 29, 28);
        break;
    case Glyph::Catalog:
        p.setPen(QPen(blue, 2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 14, 24, 14));
        p.setBrush(amber);
        p.drawRect(QRectF(8, 6, 16, 10));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(11, 3, 14, 9));
        p.setPen(QPen(blue, 2));
        p.drawLine(13, 21, 19, 21);
        break;
    case Glyph::Analysis:
        p.setBrush(blue);
        p.drawRect(QRectF(5, 16, 5, 11));
        p.setBrush(amber);
        p.drawRect(QRectF(13, 8, 5, 19));
        p.setBrush(blue);
        p.drawRect(QRectF(21, 12, 5, 15));
        p.setPen(QPen(blue, 2));
        p.drawLine(3, 28, 29, 28);
        break;
    case Glyph::Service: {
        p.setBrush(blue);
        QPainterPath gear;
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(16, 16);
            p.rotate(45 * i);
            p.drawRect(QRectF(-2.5, -13, 5, 6));
            p.restore();
        }
        p.drawEllipse(QPointF(16, 16), 9, 9);
        p.setBrush(off ? QColor(230, 230, 230) : Qt::white);
        p.drawEllipse(QPointF(16, 16), 4, 4);
        break;
    }
    case Glyph::About: {
        p.setBrush(blue);
        p.drawEllipse(QRectF(3, 3, 26, 26));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(16, 9.5), 2.2, 2.2);
        p.drawRoundedRect(QRectF(14, 13.5, 4, 11), 1.5, 1.5);
        break;
    }
    case Glyph::Exit: {
        p.setPen(QPen(blue, 2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 3, 14, 26));
        p.setBrush(blue);
        p.drawEllipse(QPointF(15.5, 16), 1.3, 1.3);
        p.setPen(QPen(amber, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(19, 16), QPointF(29, 16));
        p.drawLine(QPointF(25, 12), QPointF(29, 16));
        p.drawLine(QPointF(25, 20), QPointF(29, 16));
        break;
    }
    }
    return pm;
}

} // namespace

QIcon glyph(Glyph which)
{
    QIcon icon;
    icon.addPixmap(draw(which, QIcon::Normal), QIcon::Normal);
    icon.addPixmap(draw(which, QIcon::Disabled), QIcon::Disabled);
    return icon;
}

} // namespace kadrol
