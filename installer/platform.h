#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace silinst {

// Handles of the operating system, carried as numbers so that the algorithm needs no system
// header; 0 means "none", as it does for Win32 module and window handles.
using Library = std::uintptr_t;
using Window = std::uintptr_t;
constexpr Library noLibrary = 0;
constexpr Window noWindow = 0;

// A library's exported entry that takes no arguments; an empty function means no such export.
// Its result is not passed on: nobody looks at it.
using Entry = std::function<void()>;

// Everything Silinst asks of the operating system. Win32Platform is the real one; the unit tests
// use a scripted window system with a virtual clock.
class Platform {
public:
    virtual ~Platform() = default;

    virtual Library loadLibrary(const std::string& path) = 0;
    virtual Entry findExport(Library library, const std::string& name) = 0;
    virtual void unloadLibrary(Library library) = 0;

    // COM for the calling thread.
    virtual void initCom() = 0;
    virtual void uninitCom() = 0;

    // Runs body on a thread of its own. The caller neither waits for it nor keeps a handle, so the
    // body may outlive the caller's frame and the platform object must live until the process
    // ends.
    virtual void startThread(std::function<void()> body) = 0;
    virtual void pause(unsigned milliseconds) = 0;

    virtual Window findTopWindow(const std::string& className, const std::string& title) = 0;
    // The next child of parent with the given class after `after` in window order, starting from
    // the first child when after is noWindow.
    virtual Window findChild(Window parent, Window after, const std::string& className) = 0;
    // The window's style word; 0 when the window does not exist (any more).
    virtual std::uint32_t windowStyle(Window window) = 0;
    virtual bool postMessage(Window window, unsigned message, std::uintptr_t wparam,
                             std::intptr_t lparam) = 0;
};

} // namespace silinst
