#pragma once

// Dotted version texts packed into numbers that compare as unsigned integers.

#include <windows.h>

#include "kr/stringx.h"

// a.b.c of a Windows Installer product version: a << 24 | b << 16 | c.
// Missing parts count 0, parts after the third are ignored.
HRESULT ParseVersion3(const _stringx& text, DWORD* version);
// a.b.c.d: high = a << 16 | b, low = c << 16 | d.
HRESULT ParseVersion4(const _stringx& text, DWORD* high, DWORD* low);
