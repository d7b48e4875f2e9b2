// The FTDI D2XX library entries the FTDI back end calls. They are imported by
// ordinal only and bound on first call (delayed import, ftd2xx.delay.def), so
// the library is never loaded unless an FTDI adapter is selected, and then
// only after it has been probed. Every entry returns 0 for success.
#pragma once

#include <windows.h>

extern "C" {

DWORD WINAPI D2xxClose(void *device);                                                  // ordinal 2
DWORD WINAPI D2xxRead(void *device, void *buffer, DWORD length, DWORD *done);          // ordinal 3
DWORD WINAPI D2xxWrite(void *device, const void *buffer, DWORD length, DWORD *done);   // ordinal 4
DWORD WINAPI D2xxPurge(void *device, DWORD mask);                                      // ordinal 16
DWORD WINAPI D2xxSetTimeouts(void *device, DWORD readMs, DWORD writeMs);               // ordinal 17
DWORD WINAPI D2xxGetQueueStatus(void *device, DWORD *waiting);                         // ordinal 18
DWORD WINAPI D2xxOpenEx(const void *what, DWORD flags, void **device);                 // ordinal 27
DWORD WINAPI D2xxSetLatencyTimer(void *device, UCHAR milliseconds);                    // ordinal 29
DWORD WINAPI D2xxSetBitMode(void *device, UCHAR mask, UCHAR mode);                     // ordinal 31

} // extern "C"
