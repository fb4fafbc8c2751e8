#pragma once

#include <QString>

namespace kadrol {

// The desktop that documents, "mailto:" addresses and web addresses are handed to.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Whether the desktop has an application for this file's type. Answers at once: it never
    // waits for another process.
    virtual bool hasAssociation(const QString& filePath) = 0;
    // Starts the default action on the target without waiting for it; false when the desktop
    // could not even be asked.
    virtual bool open(const QString& target) = 0;
};

// The desktop in use: the freedesktop one (its association files, xdg-open) unless a test set
// another.
Desktop& desktop();
void setDesktop(Desktop* desktop); // null: back to the real desktop

// Results of OpenWithShell, in the shell's own numbering: above 32 means started.
constexpr int ShellStarted = 42;
constexpr int ShellNoAssociation = 31;
constexpr int ShellFileNotFound = 2;
constexpr int ShellFailed = 0;

// Hands a target to the desktop unchanged (no quoting, blanks and all) and returns at once.
// A file whose type no application opens gives ShellNoAssociation, which document callers
// report as "Не определено приложение для данного расширения файла!"; "mailto:" and web
// addresses are handed over without that test.
int OpenWithShell(const QString& target);

} // namespace kadrol
