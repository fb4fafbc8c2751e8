#pragma once

#include <QString>

class QPushButton;
class QWidget;

namespace widgets {

// A push button of a window's panel: its caption is also its accessible name, a hint becomes
// its tooltip, and it never turns into the dialog's default button by taking the focus (Enter
// in a grid or an edit box must not press "Удалить").
QPushButton* panelButton(QWidget* parent, const QString& caption, const QString& hint = {});

} // namespace widgets
