#pragma once

// Whether a Windows Runtime type is present, asked of the runtime class
// Windows.Foundation.Metadata.ApiInformation. The runtime functions sit in a
// table that tests can replace.

#include <windows.h>
#include <winstring.h>

#include "kr/stringx.h"

struct WinRtFunctions {
    HRESULT(WINAPI* getActivationFactory)(HSTRING classId, REFIID iid, void** factory) = nullptr;
    HRESULT(WINAPI* createString)(PCNZWCH text, UINT32 length, HSTRING* string) = nullptr;
    HRESULT(WINAPI* deleteString)(HSTRING string) = nullptr;
};

// The delay-loaded functions of the system's runtime.
const WinRtFunctions& SystemWinRtFunctions();
// Puts a table in place (null: the system's again); returns the one before.
const WinRtFunctions* SetWinRtFunctions(const WinRtFunctions* functions);

// True only when the runtime answers that the type is present; every failure
// is logged and answers false. Call only on Windows 8 or later.
bool IsUwpApiTypePresent(const _stringx& typeName);
