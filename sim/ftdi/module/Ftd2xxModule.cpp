// ftd2xx.dll stand-in: the D2XX entries by ordinal (see ftd2xx.def) over one
// simulated library for the process, and FtdiSim_Control for the test that
// scripts it.
#include <windows.h>

#include "SimD2xx.h"

namespace {

// One library for the process, never unloaded and never destroyed: a probe's
// FreeLibrary must not lose a test's script, and a library that closes its
// device while the process ends may still call in after this module's detach.
sim::ftdi::SimD2xx &Library()
{
    static sim::ftdi::SimD2xx *const library = [] {
        HMODULE self = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCSTR>(&FtdiSim_Control), &self);
        return new sim::ftdi::SimD2xx;
    }();
    return *library;
}

} // namespace

extern "C" {

sim::ftdi::IFtdiSimControl *FtdiSim_Control()
{
    return &Library();
}

ULONG WINAPI SimD2xxClose(void *handle)
{
    return Library().Close(handle);
}

ULONG WINAPI SimD2xxRead(void *handle, void *buffer, DWORD length, DWORD *done)
{
    uint32_t count = 0;
    const ULONG status = Library().Read(handle, buffer, length, done != nullptr ? &count : nullptr);
    if (done != nullptr)
        *done = count;
    return status;
}

ULONG WINAPI SimD2xxWrite(void *handle, const void *buffer, DWORD length, DWORD *done)
{
    uint32_t count = 0;
    const ULONG status = Library().Write(handle, buffer, length, done != nullptr ? &count : nullptr);
    if (done != nullptr)
        *done = count;
    return status;
}

ULONG WINAPI SimD2xxPurge(void *handle, ULONG mask)
{
    return Library().Purge(handle, mask);
}

ULONG WINAPI SimD2xxSetTimeouts(void *handle, ULONG readMs, ULONG writeMs)
{
    return Library().SetTimeouts(handle, readMs, writeMs);
}

ULONG WINAPI SimD2xxGetQueueStatus(void *handle, DWORD *waiting)
{
    uint32_t count = 0;
    const ULONG status = Library().GetQueueStatus(handle, waiting != nullptr ? &count : nullptr);
    if (waiting != nullptr)
        *waiting = count;
    return status;
}

ULONG WINAPI SimD2xxOpenEx(void *what, DWORD flags, void **handle)
{
    return Library().OpenEx(what, flags, handle);
}

ULONG WINAPI SimD2xxSetLatencyTimer(void *handle, UCHAR milliseconds)
{
    return Library().SetLatencyTimer(handle, milliseconds);
}

ULONG WINAPI SimD2xxSetBitMode(void *handle, UCHAR mask, UCHAR mode)
{
    return Library().SetBitMode(handle, mask, mode);
}

} // extern "C"
