#pragma once

// Reads a started process's command line from its parameter block. Works for
// a process of this program's own bitness only.

#include <windows.h>

#include <string>

namespace proxy_testing {

std::wstring CommandLineFromPeb(HANDLE process);

} // namespace proxy_testing
