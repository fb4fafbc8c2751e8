#pragma once

#include <QString>
#include <functional>

namespace kadrol {

class TFbook;
class TBrDateForm;

// The long-lived windows of the program, made by start-up and kept until the end.
extern TFbook* Fbook;
extern TBrDateForm* BrDateForm;

struct StartOptions {
    QString programFolder; // empty: the folder of the program file
    // Run after the long-lived windows are made, before the main window is shown: tests put
    // a failing step here to see how start-up reports it.
    std::function<void()> afterWindows;
};

// Everything the program does before its message loop: Russian translations and locale, the
// alias, the splash, the long-lived windows in their fixed order (the data module among them),
// the main window on the screen. Any error that escapes (no data folder, a damaged store, a
// window that cannot be made, out of memory) is shown in an error box that says what is wrong;
// what start-up made is destroyed, the result is false and the program ends with a non-zero
// status. A QApplication must exist.
bool startUp(const StartOptions& options = {});

// Destroys what start-up made, in reverse order (the end of main, and tests).
void shutDown();

} // namespace kadrol
