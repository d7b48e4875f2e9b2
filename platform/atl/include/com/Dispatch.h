// IDispatch of a dual interface, served by the interface's description in a
// type library (ITypeInfo::GetIDsOfNames and ITypeInfo::Invoke).
#pragma once

#include <com/ComPtr.h>
#include <com/Lock.h>

#include <oaidl.h>

namespace com {

// Finds and keeps the description of one interface. The library comes from a
// loader the owner supplies (a file beside the module, a resource, the registry).
class TypeInfoSource {
public:
    using LibraryLoader = HRESULT (*)(ITypeLib **out);

    TypeInfoSource(LibraryLoader loader, const IID &iid) noexcept : loader_(loader), iid_(&iid) {}
    TypeInfoSource(const TypeInfoSource &) = delete;
    TypeInfoSource &operator=(const TypeInfoSource &) = delete;

    // The description as the library holds it (the dispatch view of a dual interface).
    HRESULT Describe(ITypeInfo **out) noexcept;
    // The virtual-table view that ITypeInfo::Invoke calls through.
    HRESULT Invoker(ITypeInfo **out) noexcept;
    // Drops what was loaded (before the library goes away).
    void Clear() noexcept;

private:
    HRESULT Load() noexcept;

    LibraryLoader loader_;
    const IID *iid_;
    CriticalSection lock_;
    ComPtr<ITypeInfo> described_;
    ComPtr<ITypeInfo> invoker_;
};

template <class Interface>
class DispatchImpl : public Interface {
public:
    STDMETHODIMP GetTypeInfoCount(UINT *count) override
    {
        if (!count) {
            return E_POINTER;
        }
        *count = 1;
        return S_OK;
    }

    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo **out) override
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (index != 0) {
            return DISP_E_BADINDEX;
        }
        return source_.Describe(out);
    }

    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        if (!IsEqualIID(iid, IID_NULL)) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        ComPtr<ITypeInfo> info;
        HRESULT hr = source_.Invoker(info.Put());
        if (FAILED(hr)) {
            return hr;
        }
        return info->GetIDsOfNames(names, count, ids);
    }

    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                        EXCEPINFO *exception, UINT *argumentError) override
    {
        if (!IsEqualIID(iid, IID_NULL)) {
            return DISP_E_UNKNOWNINTERFACE;
        }
        ComPtr<ITypeInfo> info;
        HRESULT hr = source_.Invoker(info.Put());
        if (FAILED(hr)) {
            return hr;
        }
        return info->Invoke(static_cast<Interface *>(this), id, flags, params, result, exception, argumentError);
    }

protected:
    explicit DispatchImpl(TypeInfoSource &source) noexcept : source_(source) {}
    ~DispatchImpl() = default;

private:
    TypeInfoSource &source_;
};

} // namespace com
