#include "ServerIdentity.h"

#include <com/LastError.h>

#include <oleauto.h>

GUID LIBID_DravioCOMLibInt;
IID DIID__IDravioInterfaceEventsInt;
IID IID_IDravioInterfaceInt;
CLSID CLSID_DravioInterfaceInt;

namespace {

ServerIdentity &ModuleIdentity()
{
    static ServerIdentity identity;
    return identity;
}

class TypeAttributes {
public:
    explicit TypeAttributes(ITypeInfo *info) : info_(info) {}
    TypeAttributes(const TypeAttributes &) = delete;
    TypeAttributes &operator=(const TypeAttributes &) = delete;
    ~TypeAttributes()
    {
        if (attributes_) {
            info_->ReleaseTypeAttr(attributes_);
        }
    }
    HRESULT Read() { return info_->GetTypeAttr(&attributes_); }
    const TYPEATTR *operator->() const { return attributes_; }

private:
    ITypeInfo *info_;
    TYPEATTR *attributes_ = nullptr;
};

HRESULT RegistryString(REFGUID guid, CoTaskMemString &out)
{
    wchar_t *text = nullptr;
    HRESULT hr = StringFromCLSID(guid, &text);
    out.reset(SUCCEEDED(hr) ? text : nullptr);
    return hr;
}

} // namespace

HRESULT ServerIdentity::Load(const std::wstring &typeLibraryPath)
{
    *this = ServerIdentity();
    HRESULT hr = LoadTypeLib(typeLibraryPath.c_str(), library.Put());
    if (FAILED(hr)) {
        library.Reset();
        return hr;
    }

    TLIBATTR *libraryAttributes = nullptr;
    hr = library->GetLibAttr(&libraryAttributes);
    if (FAILED(hr)) {
        return hr;
    }
    libid = libraryAttributes->guid;
    library->ReleaseTLibAttr(libraryAttributes);

    // The events dispinterface is the first dispatch type, the dual interface the next.
    bool haveEvents = false;
    bool haveInterface = false;
    bool haveClass = false;
    UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        com::ComPtr<ITypeInfo> info;
        hr = library->GetTypeInfo(i, info.Put());
        if (FAILED(hr)) {
            return hr;
        }
        TypeAttributes attributes(info.Get());
        hr = attributes.Read();
        if (FAILED(hr)) {
            return hr;
        }
        if (attributes->typekind == TKIND_DISPATCH) {
            if (!haveEvents) {
                eventsIid = attributes->guid;
                haveEvents = true;
            } else {
                interfaceIid = attributes->guid;
                haveInterface = true;
            }
        } else if (attributes->typekind == TKIND_COCLASS) {
            clsid = attributes->guid;
            hr = info->GetDocumentation(MEMBERID_NIL, coclassName.Put(), coclassInfo.Put(), nullptr, nullptr);
            if (FAILED(hr)) {
                return hr; // no class without the name its registration needs
            }
            haveClass = true;
        }
    }
    if (!haveEvents || !haveInterface || !haveClass) {
        return TYPE_E_ELEMENTNOTFOUND;
    }

    hr = RegistryString(libid, libidString);
    if (SUCCEEDED(hr)) {
        hr = RegistryString(clsid, clsidString);
    }
    return hr;
}

HRESULT TypeLibraryPathBeside(HMODULE module, std::wstring &path)
{
    wchar_t buffer[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        // An unreadable (or cut) path would leave the server without identity.
        return length == 0 ? com::LastErrorAsHResult() : HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    path.assign(buffer, length);
    size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos) {
        path.replace(dot + 1, std::wstring::npos, L"tlb");
    }
    return S_OK;
}

HRESULT AttachServerIdentity(HMODULE module)
{
    std::wstring path;
    HRESULT hr = TypeLibraryPathBeside(module, path);
    if (FAILED(hr)) {
        return hr;
    }
    ServerIdentity &identity = ModuleIdentity();
    hr = identity.Load(path);
    if (FAILED(hr)) {
        identity = ServerIdentity();
        return hr;
    }
    LIBID_DravioCOMLibInt = identity.libid;
    DIID__IDravioInterfaceEventsInt = identity.eventsIid;
    IID_IDravioInterfaceInt = identity.interfaceIid;
    CLSID_DravioInterfaceInt = identity.clsid;
    return S_OK;
}

void DetachServerIdentity()
{
    ModuleIdentity() = ServerIdentity();
}

const ServerIdentity &TheServerIdentity()
{
    return ModuleIdentity();
}
