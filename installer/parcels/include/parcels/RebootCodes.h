#pragma once

// The reboot codes of an executable parcel (its "RebootCodes" attribute).

#include <windows.h>

#include <vector>

#include "kr/stringx.h"

// Comma-separated unsigned decimal numbers; blanks before a number are
// skipped, empty pieces dropped, and a piece that is not wholly a number or
// does not fit 32 bits is dropped.
std::vector<DWORD> ParseRebootCodes(const _stringx& text);
