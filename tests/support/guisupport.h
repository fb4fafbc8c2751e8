#pragma once

// Helpers of the window tests: answering the message boxes a step shows, finding windows and
// buttons by what the user reads on them.

#include <QString>
#include <QStringList>
#include <functional>

class QAbstractButton;
class QTimer;
class QWidget;

namespace kadroltest {

// Answers every message box that appears while it lives by pressing the button with the given
// text ("OK", "Да", "Нет"), and keeps the texts and titles of the boxes it answered.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(const QString& buttonText);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    const QStringList& texts() const { return m_texts; }
    const QStringList& titles() const { return m_titles; }
    int count() const { return static_cast<int>(m_texts.size()); }

private:
    void poll();
    QString m_button;
    QStringList m_texts;
    QStringList m_titles;
    QTimer* m_timer;
};

// The visible top-level window with that title, or null.
QWidget* windowByTitle(const QString& title);
// The button (push or tool button) of a window with that text or accessible name, or null.
QAbstractButton* buttonByCaption(QWidget* window, const QString& caption);

} // namespace kadroltest
