#pragma once

#include "platform.h"

#include <string>

namespace silinst {

// The real operations, on Win32. Strings are UTF-8 here and wide at the system's door, so that a
// library path in any language survives.
class Win32Platform final : public Platform {
public:
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
};

std::wstring toWide(const std::string& utf8);
std::string toUtf8(const std::wstring& wide);

} // namespace silinst
