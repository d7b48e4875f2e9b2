#pragma once

// An object of a resource DLL of the suite, made by the DLL's export
// GetSuiteObject, which gets an extension object to call back through.

#include <windows.h>
#include <oaidl.h>

#include "kr/stringx.h"

// reference is Dll:Object; *module is set as soon as the DLL is loaded.
HRESULT CreateResourceDllObject(const _stringx& reference, const _stringx& stagingFolder, IDispatch** object,
                                HMODULE* module);
