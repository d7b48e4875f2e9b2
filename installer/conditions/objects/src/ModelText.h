#pragma once

// Members of parcels and features as the scripting objects answer them: texts
// that name a string id resolved as the user sees them, numbers and booleans
// as text.

#include <windows.h>
#include <oleauto.h>

#include <type_traits>

#include "ObjectText.h"

// Takes raw (freed here, may be null) and answers it resolved as a string id
// in the selected language.
HRESULT ResolvedTextOut(BSTR raw, BSTR* out);

// A text member; a failing getter still answers what it gave (the empty text when nothing).
template <class Object>
HRESULT ResolvedTextOut(Object* object, HRESULT (STDMETHODCALLTYPE Object::*getter)(BSTR*), BSTR* out)
{
    BSTR raw = nullptr;
    (object->*getter)(&raw);
    return ResolvedTextOut(raw, out);
}

// A number or boolean member; a failing getter's result is answered.
template <class Object, class Value>
HRESULT ValueOut(Object* object, HRESULT (STDMETHODCALLTYPE Object::*getter)(Value*), BSTR* out)
{
    Value value{};
    const HRESULT hr = (object->*getter)(&value);
    if (FAILED(hr))
        return hr;
    if constexpr (std::is_same_v<Value, VARIANT_BOOL>)
        return BooleanOut(value != VARIANT_FALSE, out);
    else
        return NumberOut(static_cast<long long>(value), out);
}
