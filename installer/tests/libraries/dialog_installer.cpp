// A stand-in for the engine installer's library: its registration shows the installer dialog,
// then the warning, each modal in the calling thread, and returns only when the default button of
// both has been pressed. Every press is logged with the caption of the button.
//
// The dialog comes up late and is shown later still, so that Silinst has to look for it and wait
// for it to become visible, as it has to with the real installer. A press of any other button, or
// before the form is shown, is logged and ignored. If nothing is pressed within 30 seconds the
// registration gives up, so that a broken clicker fails the test instead of hanging it.

#include "testlog.h"

#include <objbase.h>

#include <initializer_list>

namespace {

constexpr UINT_PTR showTimer = 1;

struct Button {
    const wchar_t* caption;
    bool isDefault;
};

struct Form {
    const char* name; // in the log
    const wchar_t* className;
    const wchar_t* title;
    Button buttons[3];
    UINT showAfterMs; // 0: shown at once
    bool pressed = false;
};

LRESULT CALLBACK formProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_TIMER:
        KillTimer(window, showTimer);
        ShowWindow(window, SW_SHOW);
        return 0;
    case WM_COMMAND:
        if (HIWORD(wparam) == BN_CLICKED && form) {
            const auto button = reinterpret_cast<HWND>(lparam);
            char caption[64] = {};
            GetWindowTextA(button, caption, sizeof caption);
            // A press before the form is shown does not count: nobody could have seen it.
            const bool shown = IsWindowVisible(window);
            testLog("%s pressed %s%s at %llu ms", form->name, caption, shown ? "" : " while hidden",
                    sinceLoad());
            if (shown && (GetWindowLongW(button, GWL_STYLE) & BS_DEFPUSHBUTTON))
                form->pressed = true;
        }
        return 0;
    case WM_CLOSE:
        return 0; // only a button closes it
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

// Dispatches messages until done is set or the deadline has passed.
void pump(const bool& done, ULONGLONG deadline)
{
    while (!done && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void pumpFor(UINT milliseconds)
{
    const bool never = false;
    pump(never, GetTickCount64() + milliseconds);
}

bool registerClasses()
{
    WNDCLASSEXW form = {};
    form.cbSize = sizeof form;
    form.lpfnWndProc = formProc;
    form.hInstance = testModule();
    form.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = L"TOKBottomDlg";
    if (!RegisterClassExW(&form))
        return false;
    form.lpszClassName = L"TMessageForm";
    if (!RegisterClassExW(&form))
        return false;

    // The installer's buttons are system buttons under a class name of their own: a superclass
    // of BUTTON, which keeps the system's handling of the click message.
    WNDCLASSEXW button = {};
    button.cbSize = sizeof button;
    if (!GetClassInfoExW(nullptr, L"BUTTON", &button))
        return false;
    button.hInstance = testModule();
    button.lpszClassName = L"TButton";
    return RegisterClassExW(&button) != 0;
}

void unregisterClasses()
{
    for (const wchar_t* name : {L"TOKBottomDlg", L"TMessageForm", L"TButton"})
        UnregisterClassW(name, testModule());
}

// Shows the form modally in this thread until its default button is pressed or the deadline.
bool runForm(Form& form, ULONGLONG deadline)
{
    const HWND window =
        CreateWindowExW(0, form.className, form.title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 100,
                        100, 420, 180, nullptr, nullptr, testModule(), &form);
    if (!window) {
        testLog("%s cannot be created", form.name);
        return false;
    }
    // A text first: not every child is a button.
    CreateWindowExW(0, L"STATIC", form.title, WS_CHILD | WS_VISIBLE, 10, 10, 400, 40, window,
                    nullptr, testModule(), nullptr);
    int x = 10;
    int id = 100;
    for (const Button& button : form.buttons) {
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                            static_cast<DWORD>(button.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        CreateWindowExW(0, L"TButton", button.caption, style, x, 100, 120, 30, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), testModule(), nullptr);
        x += 135;
    }
    if (form.showAfterMs > 0)
        SetTimer(window, showTimer, form.showAfterMs, nullptr);
    else
        ShowWindow(window, SW_SHOW);
    testLog("%s created at %llu ms", form.name, sinceLoad());

    pump(form.pressed, deadline);
    DestroyWindow(window);
    if (!form.pressed)
        testLog("%s not pressed in time", form.name);
    return form.pressed;
}

} // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer()
{
    testLog("register called");
    logComState();
    const ULONGLONG deadline = GetTickCount64() + 30000;
    if (!registerClasses()) {
        testLog("window classes cannot be registered");
        return E_FAIL;
    }

    Form dialog{"dialog",
                L"TOKBottomDlg",
                L"Borland Database Engine Installation/Upgrade",
                {{L"Help", false}, {L"OK", true}, {L"Cancel", false}},
                250};
    Form warning{"warning",
                 L"TMessageForm",
                 L"Warning",
                 {{L"Cancel", false}, {L"OK", true}, {L"Help", false}},
                 0};

    // The installer reads its files first: the dialog comes up a while after the call.
    pumpFor(300);
    bool pressed = runForm(dialog, deadline);
    if (pressed) {
        pumpFor(200);
        pressed = runForm(warning, deadline);
    }
    unregisterClasses();
    testLog("register returns");
    return pressed ? S_OK : E_FAIL;
}
