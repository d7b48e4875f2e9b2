#include "conditions/RegistryProvider.h"

#include <cstring>

#include "kr/holders.h"
#include "kr/system_info.h"
#include "kr/trace_log.h"

const HKEY kInvalidRegistryRoot = reinterpret_cast<HKEY>(static_cast<LONG_PTR>(-1));

namespace {

#define CONDITION_SOURCE TraceSource{L"Condition", __LINE__}

struct NamedRoot {
    const wchar_t* name;
    HKEY root;
};

const NamedRoot kRoots[] = {
    {L"HKLM", HKEY_LOCAL_MACHINE},
    {L"HKCU", HKEY_CURRENT_USER},
    {L"HKCR", HKEY_CLASSES_ROOT},
    {L"HKU", HKEY_USERS},
};

const wchar_t* NameOrNull(const _stringx& name) noexcept
{
    return name.empty() ? nullptr : name.c_str();
}

} // namespace

HKEY ParseRegistryRoot(const _stringx& keyPath)
{
    const size_t slash = keyPath.find(L'\\');
    const _stringx rootName = slash == _stringx::npos ? keyPath : keyPath.substr(0, slash);
    for (const NamedRoot& named : kRoots) {
        if (rootName == named.name)
            return named.root;
    }
    return kInvalidRegistryRoot;
}

_stringx ParseRegistrySubKey(const _stringx& keyPath)
{
    const size_t slash = keyPath.find(L'\\');
    return slash == _stringx::npos ? _stringx() : keyPath.substr(slash + 1);
}

HRESULT RegDataToVariant(DWORD type, const BYTE* data, DWORD size, VARIANT* out)
{
    VariantClear(out);
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
        // Up to the first NUL, and never past the data: an odd size leaves
        // its last byte out.
        const size_t limit = size / sizeof(wchar_t);
        std::wstring text(limit, L'\0');
        if (limit)
            std::memcpy(text.data(), data, limit * sizeof(wchar_t));
        const size_t end = text.find(L'\0');
        if (end != std::wstring::npos)
            text.resize(end);
        out->bstrVal = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.length()));
        if (!out->bstrVal)
            return E_OUTOFMEMORY;
        out->vt = VT_BSTR;
        return S_OK;
    }
    case REG_DWORD:
        if (size >= sizeof(DWORD)) {
            std::memcpy(&out->ulVal, data, sizeof(DWORD));
            out->vt = VT_UI4;
            return S_OK;
        }
        break;
    case REG_QWORD:
        if (size >= sizeof(ULONGLONG)) {
            std::memcpy(&out->ullVal, data, sizeof(ULONGLONG));
            out->vt = VT_UI8;
            return S_OK;
        }
        break;
    default:
        break;
    }
    TraceFormat(CONDITION_SOURCE, L"Convert reg data: unsupported reg value type (%x)", type);
    return S_OK;
}

CRegistryProvider::CRegistryProvider(HKEY root, const _stringx& subKey, bool check64Bit, const _stringx& valueName)
    : m_root(root), m_subKey(subKey), m_valueName(valueName), m_check64Bit(check64Bit)
{
    Parse();
}

_stringx CRegistryProvider::GetAttribute(const _stringx& name) const
{
    return name == L"Convert" ? _stringx(L"String") : _stringx();
}

DWORD CRegistryProvider::GetAllowedTypes() const
{
    return cvtString;
}

REGSAM CRegistryProvider::Access() const
{
    return m_check64Bit && kr::is_wow64() ? KEY_READ | KEY_WOW64_64KEY : KEY_READ;
}

bool CRegistryProvider::Exists() const
{
    kr::registry_key_holder key(m_root, m_subKey.c_str(), Access());
    if (!key.get())
        return false;
    if (m_valueName.empty())
        return true;
    return RegQueryValueExW(key.get(), m_valueName.c_str(), nullptr, nullptr, nullptr, nullptr) !=
           ERROR_FILE_NOT_FOUND;
}

HRESULT CRegistryProvider::GetData(DWORD* type, std::vector<BYTE>* data) const
{
    *type = 0;
    kr::registry_key_holder key(m_root, m_subKey.c_str(), Access());
    DWORD size = 0;
    LONG result = RegQueryValueExW(key.get(), NameOrNull(m_valueName), nullptr, type, nullptr, &size);
    if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) {
        TraceFormat(CONDITION_SOURCE,
                    L"Evaluate registry value condition: unexpected error 0x%08x querying registry value '%s'",
                    result, m_valueName.c_str());
        *type = 0;
        data->clear();
        return S_OK;
    }
    try {
        data->assign(static_cast<size_t>(size) + 2, 0);
    } catch (const std::bad_alloc&) {
        TraceFormat(CONDITION_SOURCE, L"Evaluate registry value condition: unable to allocate memory for reg value");
        return E_OUTOFMEMORY;
    }
    // Read with the queried size as the length, so the two zero bytes stay zero.
    DWORD read = size;
    result = RegQueryValueExW(key.get(), NameOrNull(m_valueName), nullptr, type, data->data(), &read);
    if (result != ERROR_SUCCESS) {
        const HRESULT hr = HRESULT_FROM_WIN32(result);
        TraceFormat(CONDITION_SOURCE, L"Evaluate registry condition: error %x querying reg value", hr);
        return hr;
    }
    return S_OK;
}

HRESULT CRegistryProvider::ConvertData(DWORD type, const BYTE* data, DWORD size, VARIANT* out) const
{
    kr::variant_holder value;
    HRESULT hr = RegDataToVariant(type, data, size, value.get());
    if (FAILED(hr)) {
        VariantClear(out);
        return hr;
    }
    switch (value.get()->vt) {
    case VT_I4:
    case VT_UI4:
        return ConvertDword(value.get()->ulVal, out);
    case VT_BSTR:
        return Convert(_stringx(value.get()->bstrVal, SysStringLen(value.get()->bstrVal)), out);
    case VT_I8:
    case VT_UI8:
        return ConvertQword(static_cast<DWORD>(value.get()->ullVal), static_cast<DWORD>(value.get()->ullVal >> 32),
                            out);
    default:
        VariantClear(out);
        return DISP_E_BADVARTYPE;
    }
}
