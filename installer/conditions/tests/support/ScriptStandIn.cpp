#include "support/ScriptStandIn.h"

namespace testing_support {

std::wstring BesideProgram(const std::wstring& name)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.erase(folder.rfind(L'\\') + 1);
    return folder + name;
}

std::wstring ScriptStandInRecords(HMODULE engine)
{
    using Reader = DWORD(WINAPI*)(wchar_t*, DWORD);
    const auto read =
        reinterpret_cast<Reader>(reinterpret_cast<void*>(GetProcAddress(engine, "ScriptStandInRecords")));
    if (!read)
        return {};
    std::wstring text(read(nullptr, 0), L'\0');
    read(text.data(), static_cast<DWORD>(text.size()));
    text.resize(text.size() - 1);
    return text;
}

STDMETHODIMP RecordingDispatch::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP RecordingDispatch::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

STDMETHODIMP RecordingDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    for (UINT i = 0; i < count; ++i) {
        auto found = m_ids.find(names[i]);
        if (found == m_ids.end()) {
            found = m_ids.emplace(names[i], static_cast<DISPID>(m_names.size() + 1)).first;
            m_names.push_back(names[i]);
        }
        ids[i] = found->second;
    }
    return S_OK;
}

STDMETHODIMP RecordingDispatch::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                       EXCEPINFO*, UINT*)
{
    if (id < 1 || static_cast<size_t>(id) > m_names.size())
        return DISP_E_MEMBERNOTFOUND;
    std::wstring call = m_names[id - 1] + L"(";
    const UINT count = params ? params->cArgs : 0;
    for (UINT i = 0; i < count; ++i) {
        // Arguments arrive last first.
        VARIANT& argument = params->rgvarg[count - 1 - i];
        VARIANT text;
        VariantInit(&text);
        if (i)
            call += L",";
        if (argument.vt == VT_EMPTY)
            call += L"<empty>";
        else if (SUCCEEDED(VariantChangeType(&text, &argument, 0, VT_BSTR)))
            call += std::wstring(text.bstrVal, SysStringLen(text.bstrVal));
        VariantClear(&text);
    }
    m_calls.push_back(call + L")");
    if (result) {
        VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocString(L"answered");
    }
    return S_OK;
}

} // namespace testing_support
