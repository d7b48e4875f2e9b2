// What an automation collection's Item argument asks for: a 1-based position
// (16- or 32-bit integers) or a name (anything else, as text).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace com {

struct CollectionKey {
    bool byPosition = false;
    LONG position = 0;
    std::wstring name;
};

// Follows by-reference variants of variants first. A value that converts to
// neither fails with the conversion's HRESULT.
HRESULT ResolveCollectionKey(const VARIANT &argument, CollectionKey &key);

} // namespace com
