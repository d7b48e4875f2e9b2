#include <com/CollectionKey.h>
#include <com/Variant.h>

namespace com {

HRESULT ResolveCollectionKey(const VARIANT &argument, CollectionKey &key)
{
    key = CollectionKey();
    const VARIANT *v = &argument;
    while (v->vt == (VT_VARIANT | VT_BYREF)) {
        if (!v->pvarVal) {
            return E_INVALIDARG;
        }
        v = v->pvarVal;
    }
    switch (v->vt & ~VT_BYREF) {
    case VT_I2:
    case VT_I4:
    case VT_UI2:
    case VT_UI4: {
        Variant number;
        HRESULT hr = VariantChangeType(number.Put(), const_cast<VARIANT *>(v), 0, VT_I4);
        if (FAILED(hr)) {
            // A 32-bit unsigned value above the signed range still names a position, one that matches nothing.
            if ((v->vt & ~VT_BYREF) != VT_UI4) {
                return hr;
            }
            key.byPosition = true;
            key.position = -1;
            return S_OK;
        }
        key.byPosition = true;
        key.position = number.Get().lVal;
        return S_OK;
    }
    default: {
        Variant text;
        HRESULT hr = VariantChangeType(text.Put(), const_cast<VARIANT *>(v), 0, VT_BSTR);
        if (FAILED(hr)) {
            return hr;
        }
        try {
            key.name.assign(text.Get().bstrVal, SysStringLen(text.Get().bstrVal));
        } catch (const std::bad_alloc &) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }
    }
}

} // namespace com
