#pragma once

// GUID texts as setup.xml writes product, package, patch and upgrade codes.

#include "kr/stringx.h"

// 36 characters of hexadecimal digits with "-" at 8, 13, 18 and 23, in an
// optional pair of braces.
bool IsValidGuidString(const _stringx& text);
bool IsValidGuidString(const _wstringx& text);

// The code with its braces: Windows Installer and the Uninstall key know a
// product only by its braced code.
_stringx BracedGuidString(const _stringx& code);
