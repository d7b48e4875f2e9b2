// The port I/O driver interface the parallel-port back end writes and reads
// the port's registers through. Bound on first call (delayed import,
// dlportio.delay.def), after the library has been probed.
#pragma once

#include <windows.h>

extern "C" {

void WINAPI DlPortWritePortUchar(ULONG port, UCHAR value);
UCHAR WINAPI DlPortReadPortUchar(ULONG port);

} // extern "C"
