#pragma once

// The launcher's automation type library. It is carried as resource TYPELIB 1
// of the program file and never registered; the objects' IDispatch reads it
// from there.

#include "automation/Interfaces.h"

#include <com/Dispatch.h>

// The library from the resource of the module this code is linked into.
HRESULT LoadTessarelTypeLib(ITypeLib** out);

// The library with this identifier and version: the module's own when it is
// that library, else the registered one.
HRESULT LoadTypeLibByIdentity(const GUID& libid, WORD major, WORD minor, ITypeLib** out);

// The description of one interface of the library, loaded on first use and kept.
template <const IID* Iid>
com::TypeInfoSource& TessarelTypeInfo() noexcept
{
    static com::TypeInfoSource source(&LoadTessarelTypeLib, *Iid);
    return source;
}
