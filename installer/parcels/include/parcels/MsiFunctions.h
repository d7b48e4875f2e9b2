#pragma once

// The Windows Installer calls the launcher makes, as one table, so that tests
// can put a recording table in place of msi.dll. msi.dll is reached by
// ordinal.

#include <windows.h>

using MSIHANDLE_VALUE = unsigned long;

struct MsiFunctions {
    // Ordinal 70: a property of an installed product.
    UINT(WINAPI* GetProductInfoW)(LPCWSTR product, LPCWSTR property, LPWSTR value, DWORD* value_size) = nullptr;
    // Ordinal 179: a property of an applied patch.
    UINT(WINAPI* GetPatchInfoW)(LPCWSTR patch, LPCWSTR property, LPWSTR value, DWORD* value_size) = nullptr;
    // Ordinal 205: the index-th product of an upgrade code; product holds 39 characters.
    UINT(WINAPI* EnumRelatedProductsW)(LPCWSTR upgrade_code, DWORD reserved, DWORD index, LPWSTR product) = nullptr;
    // Ordinal 195: file version and language of a file.
    UINT(WINAPI* GetFileVersionW)(LPCWSTR path, LPWSTR version, DWORD* version_size, LPWSTR language,
                                  DWORD* language_size) = nullptr;
    // Ordinal 285: begins a multi-package transaction.
    UINT(WINAPI* BeginTransactionW)(LPCWSTR name, DWORD attributes, MSIHANDLE_VALUE* transaction,
                                    HANDLE* change_of_owner) = nullptr;
    // Ordinal 286: ends the current transaction; 1 commits, 0 rolls back.
    UINT(WINAPI* EndTransaction)(DWORD state) = nullptr;
    // Ordinal 287: joins the transaction of a handle.
    UINT(WINAPI* JoinTransaction)(MSIHANDLE_VALUE transaction, DWORD attributes, HANDLE* change_of_owner) = nullptr;
};

// msi.dll of the system folder, loaded on first use and kept for the
// process; functions it lacks stay null.
const MsiFunctions& SystemMsiFunctions();
