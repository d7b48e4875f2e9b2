#pragma once

// The Windows Installer calls the launcher makes, as one table, so that tests
// can put a recording table in place of msi.dll. msi.dll is reached by
// ordinal.

#include <windows.h>

using MSIHANDLE_VALUE = unsigned long;

// The external user-interface handler that receives each message as a record.
using MsiRecordHandler = INT(WINAPI*)(LPVOID context, UINT message_type, MSIHANDLE_VALUE record);

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

    // Running a package, a patch or a reconfiguration with the launcher's own
    // message handling.
    // Ordinal 141: the internal UI level; returns the previous one.
    INT(WINAPI* SetInternalUI)(INT level, HWND* window) = nullptr;
    // Ordinal 169: logging on (modes, file, attributes) or off (0, null, 0).
    UINT(WINAPI* EnableLogW)(DWORD modes, LPCWSTR log_file, DWORD attributes) = nullptr;
    // Ordinal 88: installs a product from a package.
    UINT(WINAPI* InstallProductW)(LPCWSTR package, LPCWSTR command_line) = nullptr;
    // Ordinal 190: configures an installed product.
    UINT(WINAPI* ConfigureProductExW)(LPCWSTR product, INT level, INT state, LPCWSTR command_line) = nullptr;
    // Ordinal 175: applies a patch.
    UINT(WINAPI* ApplyPatchW)(LPCWSTR patch, LPCWSTR package, INT install_type, LPCWSTR command_line) = nullptr;
    // Ordinals 118, 125 and 171: a record's string field read and set, and the record formatted.
    UINT(WINAPI* RecordGetStringW)(MSIHANDLE_VALUE record, UINT field, LPWSTR value, DWORD* value_size) = nullptr;
    UINT(WINAPI* RecordSetStringW)(MSIHANDLE_VALUE record, UINT field, LPCWSTR value) = nullptr;
    UINT(WINAPI* FormatRecordW)(MSIHANDLE_VALUE install, MSIHANDLE_VALUE record, LPWSTR text,
                                DWORD* text_size) = nullptr;
    // Ordinal 111: the installed state of one feature of a product.
    INT(WINAPI* QueryFeatureStateW)(LPCWSTR product, LPCWSTR feature) = nullptr;
    // By name: installs an external record handler for the process and hands back the previous one.
    UINT(WINAPI* SetExternalUIRecord)(MsiRecordHandler handler, DWORD filter, LPVOID context,
                                      MsiRecordHandler* previous) = nullptr;
};

// msi.dll of the system folder, loaded on first use and kept for the
// process; functions it lacks stay null.
const MsiFunctions& SystemMsiFunctions();
