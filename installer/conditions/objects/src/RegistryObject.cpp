#include "RegistryObject.h"

#include <vector>

#include "ObjectText.h"
#include "automation/TypeLibrary.h"
#include "conditions/RegistryProvider.h"
#include "kr/holders.h"
#include "kr/trace_log.h"

#define OBJECT_TRACE(...) TraceFormat({L"SuiteObject", __LINE__}, __VA_ARGS__)

CRegistryObject::CRegistryObject()
    : com::DispatchImpl<IRegistryObject>(TessarelTypeInfo<&IID_IRegistryObject>()), m_root(kInvalidRegistryRoot)
{
}

std::span<const com::InterfaceEntry> CRegistryObject::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CRegistryObject, IRegistryObject>(IID_IRegistryObject),
        com::InterfaceOf<CRegistryObject, IRegistryObject>(IID_IDispatch),
    };
    return table;
}

STDMETHODIMP CRegistryObject::get_Value(BSTR* value)
{
    return get_KeyValue(nullptr, value);
}

STDMETHODIMP CRegistryObject::get_KeyValue(BSTR valueName, BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    if (m_subKey.empty() || m_root == kInvalidRegistryRoot)
        return HRESULT_FROM_WIN32(ERROR_BADKEY);

    const _stringx name = TextIn(valueName);
    const CRegistryProvider provider(m_root, m_subKey, m_check64Bit, name);
    DWORD type = 0;
    std::vector<BYTE> data;
    HRESULT hr = provider.GetData(&type, &data);
    if (FAILED(hr)) {
        OBJECT_TRACE(L"RegistryObject get_keyvalue: failed to get data for value '%s' in key '%s' (64-bit: %s), "
                     L"error %08x",
                     name.c_str(), m_subKey.c_str(), m_check64Bit ? L"yes" : L"no", hr);
        return hr;
    }
    // The provider adds two zero bytes after the value's own data.
    const DWORD size = data.size() >= 2 ? static_cast<DWORD>(data.size() - 2) : 0;
    kr::variant_holder text;
    hr = provider.ConvertData(type, data.data(), size, text.get());
    if (FAILED(hr))
        return hr;
    hr = VariantChangeType(text.get(), text.get(), 0, VT_BSTR);
    if (FAILED(hr))
        return hr;
    *value = V_BSTR(text.get());
    V_VT(text.get()) = VT_EMPTY;
    return S_OK;
}

STDMETHODIMP CRegistryObject::Ctor(BSTR key, BSTR is64BitKey)
{
    if (TextIn(is64BitKey) == L"true")
        m_check64Bit = true;
    const _stringx path = TextIn(key);
    const HKEY root = ParseRegistryRoot(path);
    if (root == kInvalidRegistryRoot) {
        OBJECT_TRACE(L"RegistyObject ctor: failed to get key root from key path '%s'", path.c_str());
        return E_INVALIDARG;
    }
    m_root = root;
    m_subKey = ParseRegistrySubKey(path);
    return S_OK;
}
