#include "win32platform.h"

#include <memory>

#include <windows.h>

#include <objbase.h>

namespace silinst {

namespace {

HMODULE toModule(Library library)
{
    return reinterpret_cast<HMODULE>(library);
}
HWND toHwnd(Window window)
{
    return reinterpret_cast<HWND>(window);
}
Window toWindow(HWND handle)
{
    return reinterpret_cast<Window>(handle);
}

using RegisterServer = HRESULT(WINAPI*)();

DWORD WINAPI threadMain(void* parameter)
{
    const std::unique_ptr<std::function<void()>> body(
        static_cast<std::function<void()>*>(parameter));
    (*body)();
    return 0;
}

} // namespace

std::wstring toWide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string toUtf8(const std::wstring& wide)
{
    if (wide.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
    return utf8;
}

Library Win32Platform::loadLibrary(const std::string& path)
{
    return reinterpret_cast<Library>(LoadLibraryW(toWide(path).c_str()));
}

Entry Win32Platform::findExport(Library library, const std::string& name)
{
    const FARPROC address = GetProcAddress(toModule(library), name.c_str());
    if (!address)
        return {};
    // Through void (*)(), the one function pointer type a cast may pass without a warning.
    const auto entry = reinterpret_cast<RegisterServer>(reinterpret_cast<void (*)()>(address));
    return [entry] { entry(); };
}

void Win32Platform::unloadLibrary(Library library)
{
    FreeLibrary(toModule(library));
}

void Win32Platform::initCom()
{
    CoInitialize(nullptr);
}

void Win32Platform::uninitCom()
{
    CoUninitialize();
}

void Win32Platform::startThread(std::function<void()> body)
{
    auto* owned = new std::function<void()>(std::move(body));
    const HANDLE thread = CreateThread(nullptr, 0, threadMain, owned, 0, nullptr);
    if (thread)
        CloseHandle(thread);
    else
        delete owned;
}

void Win32Platform::pause(unsigned milliseconds)
{
    Sleep(milliseconds);
}

Window Win32Platform::findTopWindow(const std::string& className, const std::string& title)
{
    return toWindow(FindWindowW(toWide(className).c_str(), toWide(title).c_str()));
}

Window Win32Platform::findChild(Window parent, Window after, const std::string& className)
{
    return toWindow(
        FindWindowExW(toHwnd(parent), toHwnd(after), toWide(className).c_str(), nullptr));
}

std::uint32_t Win32Platform::windowStyle(Window window)
{
    return static_cast<std::uint32_t>(GetWindowLongW(toHwnd(window), GWL_STYLE));
}

bool Win32Platform::postMessage(Window window, unsigned message, std::uintptr_t wparam,
                                std::intptr_t lparam)
{
    return PostMessageW(toHwnd(window), message, static_cast<WPARAM>(wparam),
                        static_cast<LPARAM>(lparam)) != 0;
}

} // namespace silinst
