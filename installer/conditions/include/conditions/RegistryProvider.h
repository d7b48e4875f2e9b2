#pragma once

// Reads what registry conditions and the registry scripting object compare:
// whether a key or value exists, a value's raw data, and that data as a
// VARIANT. With the 64-bit flag a process under WOW64 opens the 64-bit view.

#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "conditions/ConditionValueTypeConverter.h"
#include "kr/stringx.h"

// The root named before the first backslash: only the short names HKLM,
// HKCU, HKCR and HKU (any case); kInvalidRegistryRoot for anything else.
extern const HKEY kInvalidRegistryRoot;
HKEY ParseRegistryRoot(const _stringx& keyPath);
// The part after the first backslash; empty when there is none.
_stringx ParseRegistrySubKey(const _stringx& keyPath);

// A value's data as a VARIANT: text values as VT_BSTR up to the first NUL
// (never past the data), REG_DWORD as VT_UI4, REG_QWORD as VT_UI8; VT_EMPTY
// for any other type or for data too short for its type.
HRESULT RegDataToVariant(DWORD type, const BYTE* data, DWORD size, VARIANT* out);

// Converts like a converter whose "Convert" is "String".
class CRegistryProvider : public CConditionValueTypeConverter {
public:
    // An empty value name means the key's default value.
    CRegistryProvider(HKEY root, const _stringx& subKey, bool check64Bit, const _stringx& valueName);

    _stringx GetAttribute(const _stringx& name) const override;
    DWORD GetAllowedTypes() const override;

    // False when the key does not open or the value is absent; any other
    // answer of the value query counts as existing.
    bool Exists() const;
    // The value's type and data, followed by two zero bytes so that a text
    // stored without its NUL still ends in one. A value that cannot even be
    // sized gives S_OK with type 0 and no data.
    HRESULT GetData(DWORD* type, std::vector<BYTE>* data) const;
    HRESULT ConvertData(DWORD type, const BYTE* data, DWORD size, VARIANT* out) const;

private:
    REGSAM Access() const;

    HKEY m_root;
    _stringx m_subKey;
    _stringx m_valueName;
    bool m_check64Bit;
};
