#pragma once

#include <QString>

class QSettings;
class QWidget;

namespace widgets {

// The settings file of the program, "kadrol.ini" in the user's config folder (kadrol/), where
// windows keep their placement and grids their column layout.
QString settingsFilePath();
QSettings& settings();

// Window placement (position, size, maximised) under a section of the settings file.
void savePlacement(const QWidget* window, const QString& section);
bool restorePlacement(QWidget* window, const QString& section); // false when none was saved

} // namespace widgets
