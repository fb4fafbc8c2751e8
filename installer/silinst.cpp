#include "silinst.h"

namespace silinst {

namespace {

// Makes up to `attempts` tries of find, each one (the successful one too) followed by a pause.
template <typename Find> Window poll(Platform& platform, int attempts, Find find)
{
    Window found = noWindow;
    for (int attempt = 0; attempt < attempts && found == noWindow; ++attempt) {
        found = find();
        platform.pause(pollPause);
    }
    return found;
}

Window findTopWindow(Platform& platform, const char* className, const char* title, int attempts)
{
    return poll(platform, attempts, [&] { return platform.findTopWindow(className, title); });
}

} // namespace

int run(Platform& platform, const std::vector<std::string>& arguments)
{
    if (arguments.size() != 1)
        return 0;
    platform.initCom();
    try {
        registerLibrary(platform, arguments.front());
    } catch (...) {
        platform.uninitCom();
        throw;
    }
    platform.uninitCom();
    return 0;
}

void registerLibrary(Platform& platform, const std::string& path)
{
    const Library library = platform.loadLibrary(path);
    if (library == noLibrary)
        return;
    try {
        if (const Entry entry = platform.findExport(library, registerEntry)) {
            // The installer's dialogs are modal inside the entry, so they can only be answered
            // from another thread. The clicker shares nothing with this one and is not awaited:
            // when the registration returns the program ends, and the clicker with it.
            platform.startThread([&platform] { clickDialogs(platform); });
            entry();
        }
    } catch (...) {
        platform.unloadLibrary(library);
        throw;
    }
    platform.unloadLibrary(library);
}

void clickDialogs(Platform& platform)
{
    const Window dialog = findTopWindow(platform, dialogClass, dialogTitle, dialogAttempts);
    if (dialog != noWindow && pressDefaultButton(platform, dialog)) {
        const Window warning = findTopWindow(platform, warningClass, warningTitle, warningAttempts);
        pressDefaultButton(platform, warning);
    }
}

bool pressDefaultButton(Platform& platform, Window window)
{
    if (window == noWindow)
        return false;

    // A dialog that is not shown yet does not take the click, so wait until it is, however long the
    // installer takes; a style word of 0 means the window has gone.
    for (;;) {
        const std::uint32_t style = platform.windowStyle(window);
        if (style == 0)
            return false;
        if (style & visibleStyle)
            break;
        platform.pause(pollPause);
    }

    // The first button found only shows that the buttons exist: the default one is looked for
    // among the buttons after it, so the first itself is never pressed.
    Window button = poll(platform, buttonAttempts,
                         [&] { return platform.findChild(window, noWindow, buttonClass); });
    do {
        button = platform.findChild(window, button, buttonClass);
    } while (button != noWindow && !(platform.windowStyle(button) & defaultButtonStyle));

    return button != noWindow && platform.postMessage(button, clickMessage, 0, 0);
}

} // namespace silinst
