#include "load.h"

#include "pictures.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

namespace kadrol {

TFload::TFload(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QStringLiteral("\"Кадролинг\""));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);

    m_picture = new QLabel(this);
    m_picture->setAlignment(Qt::AlignCenter);
    const QPixmap picture = pictureFromStore(1);
    m_picture->setPixmap(picture);
    m_picture->setFixedSize(picture.isNull() ? QSize(400, 240) : picture.size());

    m_gauge = new QProgressBar(this);
    m_gauge->setRange(0, 100);
    m_gauge->setValue(0);
    m_gauge->setFixedHeight(21);
    m_gauge->setTextVisible(false);
    m_gauge->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid #808080; background: "
                       "#c0c0c0; } QProgressBar::chunk { background: #0000ff; }"));
    m_gauge->setAccessibleName(QStringLiteral("Ход загрузки"));

    m_panel = new QLabel(QStringLiteral("Пожалуйста подождите,  идет загрузка системы"), this);
    m_panel->setAlignment(Qt::AlignCenter);
    m_panel->setFixedHeight(33);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(15);
    font.setBold(true);
    m_panel->setFont(font);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_picture, 1, Qt::AlignCenter);
    layout->addWidget(m_gauge);
    layout->addWidget(m_panel);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_cursorSet = true;
}

TFload::~TFload()
{
    if (m_cursorSet)
        QApplication::restoreOverrideCursor();
}

void TFload::setGauge(int percent)
{
    m_gauge->setValue(percent);
    m_gauge->repaint();
}

int TFload::gauge() const
{
    return m_gauge->value();
}

void TFload::showEvent(QShowEvent* event)
{
    // The outer height is the picture, the panel, the gauge and 30 pixels for the caption and
    // the frame; the frame's own share is known only once the desktop has framed the window.
    const int frame = frameGeometry().height() - height();
    const int outer = m_picture->height() + m_panel->height() + m_gauge->height() + 30;
    setFixedSize(m_picture->width(), outer - (frame > 0 ? frame : 30));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    QDialog::showEvent(event);
}

} // namespace kadrol
