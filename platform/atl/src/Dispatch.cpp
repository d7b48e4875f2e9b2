#include <com/Dispatch.h>

namespace com {

HRESULT TypeInfoSource::Load() noexcept
{
    if (described_) {
        return S_OK;
    }
    ComPtr<ITypeLib> library;
    HRESULT hr = loader_(library.Put());
    if (FAILED(hr)) {
        return hr;
    }
    if (!library) {
        return TYPE_E_CANTLOADLIBRARY;
    }
    ComPtr<ITypeInfo> described;
    hr = library->GetTypeInfoOfGuid(*iid_, described.Put());
    if (FAILED(hr)) {
        return hr;
    }
    // A dual interface is described as a dispatch type; Invoke needs its
    // virtual-table twin so that calls reach the object's methods.
    ComPtr<ITypeInfo> invoker = described;
    TYPEATTR *attributes = nullptr;
    hr = described->GetTypeAttr(&attributes);
    if (FAILED(hr)) {
        return hr;
    }
    bool dual = attributes->typekind == TKIND_DISPATCH && (attributes->wTypeFlags & TYPEFLAG_FDUAL);
    described->ReleaseTypeAttr(attributes);
    if (dual) {
        HREFTYPE twin = 0;
        hr = described->GetRefTypeOfImplType(static_cast<UINT>(-1), &twin);
        if (SUCCEEDED(hr)) {
            hr = described->GetRefTypeInfo(twin, invoker.Put());
        }
        if (FAILED(hr)) {
            return hr;
        }
    }
    described_ = std::move(described);
    invoker_ = std::move(invoker);
    return S_OK;
}

HRESULT TypeInfoSource::Describe(ITypeInfo **out) noexcept
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    ScopedLock lock(lock_);
    HRESULT hr = Load();
    if (SUCCEEDED(hr)) {
        *out = described_.CopyOut();
    }
    return hr;
}

HRESULT TypeInfoSource::Invoker(ITypeInfo **out) noexcept
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    ScopedLock lock(lock_);
    HRESULT hr = Load();
    if (SUCCEEDED(hr)) {
        *out = invoker_.CopyOut();
    }
    return hr;
}

void TypeInfoSource::Clear() noexcept
{
    ComPtr<ITypeInfo> described;
    ComPtr<ITypeInfo> invoker;
    {
        ScopedLock lock(lock_);
        described.Swap(described_);
        invoker.Swap(invoker_);
    }
}

} // namespace com
