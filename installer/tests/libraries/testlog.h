#pragma once

// Shared by the stand-in installer libraries of the wine test. Each library writes what happens to
// it, one line per event, to the file named by the environment variable SILINST_TEST_LOG, so that
// the test can see what Silinst did to it from outside the process: when it was loaded and
// unloaded, which threads ran in it and for how long, which buttons got pressed.

#include <windows.h>

// Appends one line to the log; does nothing when the variable is not set.
void testLog(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));

// Milliseconds since the library was loaded.
unsigned long long sinceLoad();

// The library's own module handle, for the window classes it registers.
HINSTANCE testModule();

// Logs whether the calling thread has COM initialised already, leaving its state as it was.
void logComState();

// Waits until a thread has started after the library was loaded and every such thread has ended
// again; false when that takes longer than timeoutMs.
bool waitForThreads(DWORD timeoutMs);
