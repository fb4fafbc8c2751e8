#include "messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace widgets {

namespace {

QString g_title = QStringLiteral("Кадролог");

QString title()
{
    return g_title;
}

QWidget* owner(QWidget* parent)
{
    if (parent)
        return parent->window();
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

void show(QMessageBox::Icon icon, const QString& text, QWidget* parent)
{
    QMessageBox box(icon, title(), text, QMessageBox::NoButton, owner(parent));
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

} // namespace

void setApplicationTitle(const QString& title)
{
    g_title = title;
}

QString applicationTitle()
{
    return g_title;
}

void showMessage(const QString& text, QWidget* parent)
{
    show(QMessageBox::NoIcon, text, parent);
}

void showInformation(const QString& text, QWidget* parent)
{
    show(QMessageBox::Information, text, parent);
}

void showError(const QString& text, QWidget* parent)
{
    show(QMessageBox::Critical, text, parent);
}

bool confirm(const QString& text, QWidget* parent)
{
    QMessageBox box(QMessageBox::Question, title(), text, QMessageBox::NoButton, owner(parent));
    QPushButton* yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

} // namespace widgets
