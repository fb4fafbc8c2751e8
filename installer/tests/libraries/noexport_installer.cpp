// A stand-in installer library without the registration entry. It exports the unregistration
// entry instead, so that only a lookup by the right name can miss.

#include "testlog.h"

extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer()
{
    testLog("unregister called");
    return S_OK;
}
