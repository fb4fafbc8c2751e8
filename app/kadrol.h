#pragma once

#include <QString>

namespace kadrol {

class TFbook;
class TBrDateForm;

// The long-lived windows of the program, made by start-up and kept until the end.
extern TFbook* Fbook;
extern TBrDateForm* BrDateForm;

struct StartOptions {
    QString programFolder; // empty: the folder of the program file
};

// Everything the program does before its message loop: Russian translations and locale, the
// alias, the splash, the long-lived windows in their fixed order (the data module among them),
// the main window on the screen. An error that escapes (no data folder, a damaged store) is
// shown in an error box that says what is wrong and where; the result is then false and the
// program should end with a non-zero status. A QApplication must exist.
bool startUp(const StartOptions& options = {});

// Destroys what start-up made, in reverse order (the end of main, and tests).
void shutDown();

} // namespace kadrol
