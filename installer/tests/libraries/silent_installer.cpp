// A stand-in installer library whose dialog never appears. Its registration waits until Silinst's
// dialog clicker has given up and ended (with a generous limit, so a broken clicker cannot hang the
// test), or returns at once when SILINST_TEST_RETURN_AT_ONCE is set, to show that Silinst does not
// wait for its clicker.

#include "testlog.h"

extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer()
{
    testLog("register called");
    logComState();
    if (GetEnvironmentVariableW(L"SILINST_TEST_RETURN_AT_ONCE", nullptr, 0) != 0) {
        testLog("register returns at once");
        return S_OK;
    }
    testLog("register waits for the clicker");
    if (!waitForThreads(60000))
        testLog("threads still running after 60000 ms");
    testLog("register returns");
    return S_OK;
}
