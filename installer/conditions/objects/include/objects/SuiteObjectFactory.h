#pragma once

// Creates the scripting object an object expression names: "Platform",
// "File", "Registry", "Parcel" and "Feature" (exact) are the launcher's own;
// any other name is Dll:Object, an object of the suite's resource DLL Dll.dll
// in the staging folder. On success *object holds a reference. *module is
// the resource DLL once it is loaded, also when a later step fails; the
// caller frees it after releasing the object.

#include <windows.h>
#include <oaidl.h>

#include "kr/stringx.h"

HRESULT CreateNamedSuiteObject(const _stringx& name, const _stringx& stagingFolder, IDispatch** object,
                               HMODULE* module);
