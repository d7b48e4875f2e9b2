#include <com/ComPtr.h>
#include <com/LastError.h>
#include <com/Module.h>
#include <com/TypeLibraryRegistration.h>

#include <oleauto.h>

namespace com {

HRESULT LoadModuleTypeLibrary(HMODULE module, ITypeLib **out, std::wstring *loadedFrom)
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    std::wstring path = ModuleFileName(module);
    if (path.empty()) {
        return LastErrorAsHResult();
    }
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, out);
    if (FAILED(hr)) {
        size_t dot = path.find_last_of(L'.');
        size_t slash = path.find_last_of(L"\\/");
        if (dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)) {
            path.replace(dot + 1, std::wstring::npos, L"tlb");
        } else {
            path += L".tlb";
        }
        hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, out);
    }
    if (SUCCEEDED(hr) && loadedFrom) {
        *loadedFrom = std::move(path);
    }
    return hr;
}

HRESULT RegisterModuleTypeLibrary(HMODULE module)
{
    ComPtr<ITypeLib> library;
    std::wstring path;
    HRESULT hr = LoadModuleTypeLibrary(module, library.Put(), &path);
    if (FAILED(hr)) {
        return hr;
    }
    return RegisterTypeLib(library.Get(), path.data(), nullptr);
}

HRESULT UnregisterModuleTypeLibrary(HMODULE module)
{
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadModuleTypeLibrary(module, library.Put());
    if (FAILED(hr)) {
        return hr;
    }
    TLIBATTR *attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr)) {
        return hr;
    }
    hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                           attributes->syskind);
    library->ReleaseTLibAttr(attributes);
    return hr;
}

} // namespace com
