#include "mabout.h"

#include <QApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace kadrol {

TFabout::TFabout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("О программе"));
    auto* picture = new QLabel(this);
    picture->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    picture->setAccessibleName(QStringLiteral("Кадролог"));
    auto* version = new QLabel(QStringLiteral("Версия 1.01"), this);
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    auto* systems = new QLabel(QStringLiteral("OS: Windows 95/98/NT4/2000/ME/XP/7/8"), this);
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setHorizontalSpacing(16);
    layout->addWidget(picture, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(systems, 1, 1);
    layout->addWidget(ok, 2, 0, 1, 2, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

} // namespace kadrol
