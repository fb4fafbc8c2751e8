#include "fakewindows.h"

#include "silinst.h"

#include <cstdio>
#include <stdexcept>

namespace silinst::fake {

namespace {

// Thrown by pause() past the horizon, to end a clicker that would wait for ever.
struct Stuck {};

constexpr std::uint32_t childStyle = 0x40000000;   // WS_CHILD
constexpr std::uint32_t captionStyle = 0x00C00000; // WS_CAPTION

} // namespace

FakeWindow& Script::window(const std::string& name)
{
    for (FakeWindow& window : windows)
        if (window.name == name)
            return window;
    throw std::logic_error("no window " + name + " in the script");
}

FakePlatform::FakePlatform(Script script)
    : script_(std::move(script)), start_(script_.windows.size(), -1),
      closedAt_(script_.windows.size(), -1)
{
    for (std::size_t i = 0; i < script_.windows.size(); ++i) {
        const FakeWindow& window = script_.windows[i];
        if (!window.parent.empty())
            index(window.parent); // a misspelt parent is a fault of the test
        else if (!window.opensOnClick)
            start_[i] = 0;
    }
}

const FakeLibrary* FakePlatform::library(Library handle) const
{
    if (handle == noLibrary || handle > script_.libraries.size())
        return nullptr;
    return &script_.libraries[handle - 1];
}

const FakeWindow* FakePlatform::window(Window handle) const
{
    if (handle == noWindow || handle > script_.windows.size())
        return nullptr;
    return &script_.windows[handle - 1];
}

int FakePlatform::index(const std::string& name) const
{
    for (std::size_t i = 0; i < script_.windows.size(); ++i)
        if (script_.windows[i].name == name)
            return static_cast<int>(i);
    throw std::logic_error("no window " + name + " in the script");
}

long long FakePlatform::appearance(int i) const
{
    const FakeWindow& window = script_.windows[static_cast<std::size_t>(i)];
    long long start = start_[static_cast<std::size_t>(i)];
    if (!window.parent.empty())
        start = appearance(index(window.parent));
    return start < 0 || window.appears == never ? -1 : start + window.appears;
}

bool FakePlatform::exists(int i) const
{
    const FakeWindow& window = script_.windows[static_cast<std::size_t>(i)];
    const long long appeared = appearance(i);
    if (appeared < 0 || now < appeared)
        return false;
    if (window.vanishes != never && now >= appeared + window.vanishes)
        return false;
    const long long closed = closedAt_[static_cast<std::size_t>(i)];
    if (closed >= 0 && now >= closed)
        return false;
    return window.parent.empty() || exists(index(window.parent));
}

bool FakePlatform::visible(int i) const
{
    const FakeWindow& window = script_.windows[static_cast<std::size_t>(i)];
    return exists(i) && window.shows != never && now >= appearance(i) + window.shows;
}

int FakePlatform::topLevel(int i) const
{
    while (!script_.windows[static_cast<std::size_t>(i)].parent.empty())
        i = index(script_.windows[static_cast<std::size_t>(i)].parent);
    return i;
}

Library FakePlatform::loadLibrary(const std::string& path)
{
    for (std::size_t i = 0; i < script_.libraries.size(); ++i) {
        if (script_.libraries[i].path == path) {
            trace.push_back("load " + path);
            return i + 1;
        }
    }
    trace.push_back("load " + path + ": missing");
    return noLibrary;
}

Entry FakePlatform::findExport(Library handle, const std::string& name)
{
    const FakeLibrary* found = library(handle);
    if (!found || !found->hasEntry || name != registerEntry) {
        trace.push_back("lookup " + name + ": missing");
        return {};
    }
    trace.push_back("lookup " + name);
    return [this, name, fails = found->entryFails] {
        trace.push_back("call " + name);
        runThreads();
        if (fails)
            throw std::runtime_error("registration failed");
    };
}

void FakePlatform::unloadLibrary(Library handle)
{
    const FakeLibrary* found = library(handle);
    trace.push_back("unload " + (found ? found->path : std::string("of a bad handle")));
}

void FakePlatform::initCom()
{
    trace.push_back("com init");
}

void FakePlatform::uninitCom()
{
    trace.push_back("com uninit");
}

void FakePlatform::startThread(std::function<void()> body)
{
    trace.push_back("start thread");
    threads_.push_back(std::move(body));
}

void FakePlatform::runThreads()
{
    std::vector<std::function<void()>> threads;
    threads.swap(threads_);
    for (const auto& body : threads) {
        clicker = "running";
        try {
            body();
            clicker = "ended at " + std::to_string(now);
        } catch (const Stuck&) {
            clicker = "still waiting";
        }
    }
}

void FakePlatform::pause(unsigned milliseconds)
{
    now += milliseconds;
    if (now > horizon)
        throw Stuck{};
}

Window FakePlatform::findTopWindow(const std::string& className, const std::string& title)
{
    ++searches[className];
    for (std::size_t i = 0; i < script_.windows.size(); ++i) {
        const FakeWindow& window = script_.windows[i];
        if (window.parent.empty() && window.className == className && window.title == title &&
            exists(static_cast<int>(i)))
            return i + 1;
    }
    return noWindow;
}

Window FakePlatform::findChild(Window parent, Window after, const std::string& className)
{
    ++searches["children"];
    const FakeWindow* parentWindow = window(parent);
    if (!parentWindow || !exists(static_cast<int>(parent - 1)))
        return noWindow;
    const FakeWindow* afterWindow = window(after);
    if (after != noWindow && (!afterWindow || afterWindow->parent != parentWindow->name))
        return noWindow; // as the system does with a child of another window
    // Window order is the order of the script.
    for (std::size_t i = after == noWindow ? 0 : after; i < script_.windows.size(); ++i) {
        const FakeWindow& child = script_.windows[i];
        if (child.parent == parentWindow->name && child.className == className &&
            exists(static_cast<int>(i)))
            return i + 1;
    }
    return noWindow;
}

std::uint32_t FakePlatform::windowStyle(Window handle)
{
    const FakeWindow* found = window(handle);
    const int i = static_cast<int>(handle - 1);
    if (!found || !exists(i))
        return 0;
    return found->style | (found->parent.empty() ? captionStyle : childStyle) |
           (visible(i) ? visibleStyle : 0);
}

bool FakePlatform::postMessage(Window handle, unsigned message, std::uintptr_t wparam,
                               std::intptr_t lparam)
{
    const FakeWindow* found = window(handle);
    const int i = static_cast<int>(handle - 1);
    char text[160];
    std::snprintf(text, sizeof text, "%s 0x%04X %ju %jd at %lld",
                  found ? found->name.c_str() : "bad handle", message,
                  static_cast<std::uintmax_t>(wparam), static_cast<std::intmax_t>(lparam), now);
    const bool accepted = found && exists(i) && !found->refusesPosts;
    posts.push_back(std::string(text) + (accepted ? "" : " refused"));
    if (!accepted)
        return false;

    if (message == clickMessage) {
        if (found->closes)
            closedAt_[static_cast<std::size_t>(topLevel(i))] = now;
        if (!found->opens.empty())
            start_[static_cast<std::size_t>(index(found->opens))] = now;
    }
    return true;
}

} // namespace silinst::fake
