#pragma once

// The Windows Installer queries of the installed-product conditions, made
// through the launcher's msi.dll table, which tests can replace.

#include <windows.h>

#include "kr/stringx.h"
#include "parcels/MsiFunctions.h"

// The table in use: the system's unless a test set one.
const MsiFunctions& ConditionMsiFunctions();
// Puts a table in place (null: the system's again); returns the one before.
const MsiFunctions* SetConditionMsiFunctions(const MsiFunctions* functions);

// Each answers the Windows Installer's status (0 on success) and the text.
// The first buffer holds 260 characters; ERROR_MORE_DATA gets one retry
// with the size the first call asked for.
UINT QueryProductInfo(const _stringx& product, const wchar_t* property, _stringx& value);
UINT QueryPatchInfo(const _stringx& patch, const wchar_t* property, _stringx& value);
UINT EnumRelatedProduct(const _stringx& upgradeCode, DWORD index, _stringx& product);
