#pragma once

#include <QString>

class QWidget;

namespace widgets {

// The application title of the message boxes ("Кадролог" unless set). It is not Qt's
// applicationDisplayName, which the desktop would append to every window's own caption.
void setApplicationTitle(const QString& title);
QString applicationTitle();

// The system's message boxes: real QMessageBoxes titled with the application title, buttons in
// Russian. Each is modal and returns when the user answers, so a person and a test answer them
// the same way.
void showMessage(const QString& text, QWidget* parent = nullptr);     // plain, "OK"
void showInformation(const QString& text, QWidget* parent = nullptr); // information icon, "OK"
void showError(const QString& text, QWidget* parent = nullptr);       // error icon, "OK"
bool confirm(const QString& text, QWidget* parent = nullptr);         // "Да" (true) / "Нет"

} // namespace widgets
