#pragma once

// The locale queries the "Locale" condition takes its snapshot from, as one
// table so that tests can put a machine of their own in place.

#include <windows.h>

struct LocaleFunctions {
    LCID(WINAPI* userDefaultLcid)() = nullptr;
    LCID(WINAPI* systemDefaultLcid)() = nullptr;
    LANGID(WINAPI* systemDefaultUiLanguage)() = nullptr;
    UINT(WINAPI* ansiCodePage)() = nullptr;
    // Null where kernel32 lacks them (before Windows Vista).
    int(WINAPI* userDefaultLocaleName)(LPWSTR name, int size) = nullptr;
    int(WINAPI* systemDefaultLocaleName)(LPWSTR name, int size) = nullptr;
};

// The system's functions; the two name functions are looked up once per process.
const LocaleFunctions& SystemLocaleFunctions();
// The table in use: the system's unless a test set one.
const LocaleFunctions& CurrentLocaleFunctions();
// Puts a table in place (null: the system's again); returns the one before.
const LocaleFunctions* SetLocaleFunctions(const LocaleFunctions* functions);
