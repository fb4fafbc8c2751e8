#include "testlog.h"

#include <objbase.h>

#include <cstdarg>
#include <cstdio>

namespace {

HINSTANCE module;
ULONGLONG loadedAt;
LONG startedThreads;
LONG runningThreads;
HANDLE threadsChanged; // set whenever a thread starts or ends here

// Start times of the threads started after loading, by thread-local slot.
DWORD startSlot = TLS_OUT_OF_INDEXES;

} // namespace

void testLog(const char* format, ...)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"SILINST_TEST_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;

    char line[512];
    va_list arguments;
    va_start(arguments, format);
    int size = std::vsnprintf(line, sizeof line - 1, format, arguments);
    va_end(arguments);
    if (size < 0)
        return;
    if (size > static_cast<int>(sizeof line) - 2)
        size = static_cast<int>(sizeof line) - 2;
    line[size++] = '\n';

    // Opened for appending on every line: several threads write, and one append is one write.
    const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
}

unsigned long long sinceLoad()
{
    return GetTickCount64() - loadedAt;
}

HINSTANCE testModule()
{
    return module;
}

void logComState()
{
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (result == S_FALSE)
        testLog("com was initialised");
    else if (result == S_OK)
        testLog("com was not initialised");
    else
        testLog("com was initialised in another mode");
    if (SUCCEEDED(result))
        CoUninitialize();
}

bool waitForThreads(DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        // A new thread attaches to us only some time after its creator has gone on, so a thread
        // that has not started yet is waited for as well.
        if (InterlockedCompareExchange(&startedThreads, 0, 0) > 0 &&
            InterlockedCompareExchange(&runningThreads, 0, 0) == 0)
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        WaitForSingleObject(threadsChanged, static_cast<DWORD>(deadline - now));
    }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        module = instance;
        loadedAt = GetTickCount64();
        threadsChanged = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        startSlot = TlsAlloc();
        testLog("load");
        break;
    case DLL_THREAD_ATTACH:
        // Running first: a waiter that sees the thread started must also see it running.
        InterlockedIncrement(&runningThreads);
        InterlockedIncrement(&startedThreads);
        SetEvent(threadsChanged);
        TlsSetValue(startSlot, reinterpret_cast<void*>(static_cast<UINT_PTR>(GetTickCount64())));
        testLog("thread start");
        break;
    case DLL_THREAD_DETACH: {
        const auto start = reinterpret_cast<UINT_PTR>(TlsGetValue(startSlot));
        // A thread that was already running when we were loaded detaches without attaching.
        if (start != 0) {
            testLog("thread end after %llu ms",
                    static_cast<unsigned long long>(GetTickCount64() - start));
            InterlockedDecrement(&runningThreads);
            SetEvent(threadsChanged);
        }
        break;
    }
    case DLL_PROCESS_DETACH:
        // FreeLibrary passes no reserved pointer; the end of the process passes one.
        testLog(reserved ? "process end" : "unload");
        break;
    default:
        break;
    }
    return TRUE;
}
