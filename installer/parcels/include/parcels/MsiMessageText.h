#pragma once

// What the Windows Installer's formatted message texts hold, read back into
// parts: the numbered fields of a record, the window titles of a files-in-use
// message, and the log options of a parcel as the log mode msi.dll takes.

#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "kr/stringx.h"

// The values of the fields "1: ", "2: " ... of a formatted record, in order,
// up to the first number that is missing; trimmed of blanks, tabs and new lines.
std::vector<_stringx> SplitRecordFields(const _stringx& text);

// The window titles of a files-in-use text (every second field), or the
// whole text as one item when it has no fields; a SAFEARRAY of BSTR with
// lower bound 1 in the VARIANT, whose previous content is cleared. Failures
// of the array are returned.
HRESULT FilesInUseToSafeArray(const _stringx& text, VARIANT* items);

// Letters of the log options ("*v", "iwe+" ...) as INSTALLLOGMODE bits, the
// log attributes in the top byte.
DWORD MsiLogModeFromOptions(const _stringx& options);
