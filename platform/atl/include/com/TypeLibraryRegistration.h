// Registration of a server's type library: taken from the module file itself
// and, failing that, from the file of the module's path with extension ".tlb".
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace com {

HRESULT LoadModuleTypeLibrary(HMODULE module, ITypeLib **out, std::wstring *loadedFrom = nullptr);
HRESULT RegisterModuleTypeLibrary(HMODULE module);
HRESULT UnregisterModuleTypeLibrary(HMODULE module);

} // namespace com
