#pragma once

// Where the setup stream begins in a program file: behind the image as its
// PE headers describe it (headers and sections), behind debug data stored
// after the sections and, for the second rule, behind the certificate table.

#include <windows.h>

// The container offset, or 0 on any failure (the thread's last error tells
// which: ERROR_BAD_EXE_FORMAT for a file that is not a PE image).
DWORD FindPayloadOffset(const wchar_t* path, bool leave_certificate_out);
