#include "automation/TypeLibrary.h"

#include <com/ComPtr.h>
#include <com/Module.h>

#include <oleauto.h>

HRESULT LoadTessarelTypeLib(ITypeLib** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    const std::wstring path = com::ModuleFileName(com::ThisModule().Instance());
    if (path.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, out);
}

HRESULT LoadTypeLibByIdentity(const GUID& libid, WORD major, WORD minor, ITypeLib** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    com::ComPtr<ITypeLib> own;
    if (SUCCEEDED(LoadTessarelTypeLib(own.Put()))) {
        TLIBATTR* attributes = nullptr;
        if (SUCCEEDED(own->GetLibAttr(&attributes))) {
            const bool same = IsEqualGUID(attributes->guid, libid) && attributes->wMajorVerNum == major &&
                              attributes->wMinorVerNum == minor;
            own->ReleaseTLibAttr(attributes);
            if (same) {
                *out = own.Detach();
                return S_OK;
            }
        }
    }
    return LoadRegTypeLib(libid, major, minor, LOCALE_NEUTRAL, out);
}
