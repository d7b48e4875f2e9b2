#pragma once

// Every member of the scripting objects answers text: numbers in decimal,
// booleans as "true" or "false".

#include <windows.h>
#include <oleauto.h>

#include "kr/stringx.h"

// E_POINTER without an output, E_OUTOFMEMORY when the BSTR cannot be made.
HRESULT TextOut(const _stringx& text, BSTR* out);
HRESULT NumberOut(long long number, BSTR* out);
HRESULT BooleanOut(bool value, BSTR* out);
// A BSTR argument as text; null counts as empty.
_stringx TextIn(BSTR text);
