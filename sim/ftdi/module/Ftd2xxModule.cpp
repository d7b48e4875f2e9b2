// ftd2xx.dll stand-in: the D2XX entries by ordinal (see ftd2xx.def) over one
// simulated library for the process, and FtdiSim_Control for the test that
// scripts it.
#include <windows.h>

#include "SimD2xx.h"

namespace {

sim::ftdi::SimD2xx &Library()
{
    static sim::ftdi::SimD2xx library;
    return library;
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
