#include "ObjectText.h"

HRESULT TextOut(const _stringx& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.length()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT NumberOut(long long number, BSTR* out)
{
    _stringx text;
    text.format(L"%I64d", number);
    return TextOut(text, out);
}

HRESULT BooleanOut(bool value, BSTR* out)
{
    return TextOut(value ? L"true" : L"false", out);
}

_stringx TextIn(BSTR text)
{
    return text ? _stringx(text, SysStringLen(text)) : _stringx();
}
