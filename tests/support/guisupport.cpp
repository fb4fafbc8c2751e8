#include "guisupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace kadroltest {

MessageBoxAnswerer::MessageBoxAnswerer(const QString& buttonText)
    : m_button(buttonText), m_timer(new QTimer)
{
    m_timer->setInterval(10);
    QObject::connect(m_timer, &QTimer::timeout, [this]() { poll(); });
    m_timer->start();
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    delete m_timer;
}

void MessageBoxAnswerer::poll()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible())
            continue;
        for (QAbstractButton* b : box->buttons()) {
            if (b->text() == m_button) {
                m_texts << box->text();
                m_titles << box->windowTitle();
                b->click();
                return;
            }
        }
    }
}

QWidget* windowByTitle(const QString& title)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title)
            return w;
    return nullptr;
}

QAbstractButton* buttonByCaption(QWidget* window, const QString& caption)
{
    if (!window)
        return nullptr;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->text() == caption || b->accessibleName() == caption)
            return b;
    return nullptr;
}

} // namespace kadroltest
