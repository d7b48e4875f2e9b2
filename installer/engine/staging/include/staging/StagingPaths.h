#pragma once

// Path and address helpers of staging, and the digest text of a file.

#include <windows.h>

#include "kr/stringx.h"

// Joins an address and a part with exactly one "/" where the address ends
// with one or neither has one; a part that starts with "/" after an address
// without one keeps its own.
_stringx AppendUrlPart(const _stringx& url, const _stringx& part);

// The MD5 of the file as 32 upper-case digits; empty when it cannot be opened.
_stringx GetFileMD5Text(const _stringx& path);

// A final path name as a plain path with a trailing backslash:
// "\\?\C:\x" gives "C:\x\", "\\?\UNC\server\share\x" gives "\\server\share\x\".
_stringx FinalPathToPlain(const _stringx& finalPath);

// Under WOW64, the path as the file system resolves it (a profile folder seen
// from the system context lands elsewhere): 0 with out set; 1 and the path
// unchanged when nothing applies (not WOW64, a UNC path, no resolver); an
// error HRESULT and the path unchanged when it cannot be resolved.
HRESULT GetCorrectPath(const _stringx& path, _stringx& out, bool wow64);
