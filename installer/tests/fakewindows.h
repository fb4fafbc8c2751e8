#pragma once

#include "platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// A scripted stand-in for the operating system, for the unit tests of Silinst. Time is virtual: it
// moves only when the program pauses, so a test of fifteen seconds of polling takes no time and
// always ends the same way. The clicker thread is not a real thread: it runs, to its end, inside
// the call of the library's registration entry, where the real one does its work.
namespace silinst::fake {

constexpr int never = -1;

struct FakeLibrary {
    std::string path;
    bool hasEntry = true;    // exports DllRegisterServer
    bool entryFails = false; // the registration throws
};

struct FakeWindow {
    std::string name; // how the record calls it
    std::string className;
    std::string title;
    std::string parent; // empty for a top-level window
    std::uint32_t style = 0;
    // Milliseconds after its start (the beginning of the run for a top-level window, its parent's
    // appearance for a child, the click that opens it for one with opensOnClick) until it appears,
    // or never.
    int appears = 0;
    int shows = 0;        // milliseconds after appearing until it is visible, or never
    int vanishes = never; // milliseconds after appearing until it is destroyed
    bool opensOnClick = false;
    // What a click on this button does: close its top-level window, open another one.
    bool closes = false;
    std::string opens;
    bool refusesPosts = false;
};

struct Script {
    std::vector<FakeLibrary> libraries;
    std::vector<FakeWindow> windows;
    FakeWindow& window(const std::string& name);
};

class FakePlatform final : public Platform {
public:
    explicit FakePlatform(Script script);

    Library loadLibrary(const std::string& path) override;
    Entry findExport(Library library, const std::string& name) override;
    void unloadLibrary(Library library) override;
    void initCom() override;
    void uninitCom() override;
    void startThread(std::function<void()> body) override;
    void pause(unsigned milliseconds) override;
    Window findTopWindow(const std::string& className, const std::string& title) override;
    Window findChild(Window parent, Window after, const std::string& className) override;
    std::uint32_t windowStyle(Window window) override;
    bool postMessage(Window window, unsigned message, std::uintptr_t wparam,
                     std::intptr_t lparam) override;

    // A clicker still polling after this long is deemed to wait for ever.
    static constexpr long long horizon = 60LL * 60 * 1000;

    std::vector<std::string> trace;      // the main thread's calls, in order
    std::vector<std::string> posts;      // "OK 0x00F5 0 0 at 420", with " refused" when refused
    std::map<std::string, int> searches; // top-level searches by class; child searches: "children"
    std::string clicker = "not started"; // how the clicker thread ended
    long long now = 0;                   // virtual milliseconds

private:
    const FakeLibrary* library(Library handle) const;
    const FakeWindow* window(Window handle) const;
    int index(const std::string& name) const;
    long long appearance(int index) const; // -1 while it has not started
    bool exists(int index) const;
    bool visible(int index) const;
    int topLevel(int index) const;
    void runThreads();

    Script script_;
    std::vector<long long> start_;    // by window; -1 while not started
    std::vector<long long> closedAt_; // by window; -1 while open
    std::vector<std::function<void()>> threads_;
};

} // namespace silinst::fake
