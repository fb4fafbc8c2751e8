#pragma once

#include <QStringList>

// kadrol-admin print DATA WHAT... --pdf FILE: a printout of the program rendered to PDF without
// a window, by the same report code and over the same shared datasets as the window that prints
// it. Throws kdb::Error with the message for the user.
int runPrint(const QStringList& args);
// The lines of the usage text that describe it.
extern const char* const kPrintUsage;
