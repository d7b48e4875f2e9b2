#pragma once

// Texts of parcels and features that name a string id, as the user sees them.

#include <windows.h>
#include <oleauto.h>

// Reads a text member of a parcel or feature and answers it resolved as a
// string id in the selected language. A failing getter still answers what it
// gave (the empty text when nothing).
template <class Object>
HRESULT ResolvedTextOut(Object* object, HRESULT (STDMETHODCALLTYPE Object::*getter)(BSTR*), BSTR* out);

// Takes raw (freed here, may be null).
HRESULT ResolvedTextOut(BSTR raw, BSTR* out);

template <class Object>
HRESULT ResolvedTextOut(Object* object, HRESULT (STDMETHODCALLTYPE Object::*getter)(BSTR*), BSTR* out)
{
    BSTR raw = nullptr;
    (object->*getter)(&raw);
    return ResolvedTextOut(raw, out);
}
