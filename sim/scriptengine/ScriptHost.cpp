#include <initguid.h>

#include "ScriptHost.h"

#include "StandInRecords.h"

namespace {

const CLSID kJScript = {0xf414c260, 0x6ac0, 0x11cf, {0xb6, 0xd1, 0x00, 0xaa, 0x00, 0xbb, 0xbb, 0x58}};
constexpr DISPID kRecordId = 1;
constexpr DISPID kFaultId = 2;

// The script's Host object: Record(text) keeps the text as a record; Fault()
// writes through a null pointer, as a faulting engine would.
class RecordObject : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // One static object for the DLL's life.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (count == 1 && lstrcmpiW(names[0], L"Record") == 0)
            ids[0] = kRecordId;
        else if (count == 1 && lstrcmpiW(names[0], L"Fault") == 0)
            ids[0] = kFaultId;
        else
            return DISP_E_UNKNOWNNAME;
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override
    {
        if (id == kFaultId) {
            *static_cast<volatile int*>(nullptr) = 1;
            return S_OK;
        }
        if (id != kRecordId)
            return DISP_E_MEMBERNOTFOUND;
        if (!params || params->cArgs != 1)
            return DISP_E_BADPARAMCOUNT;
        VARIANT text;
        VariantInit(&text);
        const HRESULT hr = VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR);
        if (FAILED(hr))
            return hr;
        Record(std::wstring(text.bstrVal, SysStringLen(text.bstrVal)));
        VariantClear(&text);
        if (result)
            VariantInit(result);
        return S_OK;
    }
};

RecordObject g_recordObject;

class Site : public IActiveScriptSite {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IActiveScriptSite)) {
            *out = static_cast<IActiveScriptSite*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetLCID(LCID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override
    {
        if (lstrcmpiW(name, L"Host") != 0)
            return TYPE_E_ELEMENTNOTFOUND;
        if (mask & SCRIPTINFO_IUNKNOWN)
            *item = static_cast<IDispatch*>(&g_recordObject);
        if (mask & SCRIPTINFO_ITYPEINFO)
            *info = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override
    {
        EXCEPINFO info{};
        if (error && SUCCEEDED(error->GetExceptionInfo(&info))) {
            Record(L"script error: " + std::wstring(info.bstrDescription ? info.bstrDescription : L""));
            SysFreeString(info.bstrSource);
            SysFreeString(info.bstrDescription);
            SysFreeString(info.bstrHelpFile);
        }
        return S_OK;
    }
    STDMETHODIMP OnEnterScript() override { return S_OK; }
    STDMETHODIMP OnLeaveScript() override { return S_OK; }
};

Site g_site;

} // namespace

ScriptHost::~ScriptHost()
{
    if (m_parse)
        m_parse->Release();
    if (m_script) {
        m_script->Close();
        m_script->Release();
    }
}

HRESULT ScriptHost::Load(const std::wstring& text)
{
    if (m_script)
        return E_UNEXPECTED;
    HRESULT hr = CoCreateInstance(kJScript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                  reinterpret_cast<void**>(&m_script));
    if (FAILED(hr))
        return hr;
    hr = m_script->SetScriptSite(&g_site);
    if (SUCCEEDED(hr))
        hr = m_script->QueryInterface(IID_IActiveScriptParse, reinterpret_cast<void**>(&m_parse));
    if (SUCCEEDED(hr))
        hr = m_parse->InitNew();
    if (SUCCEEDED(hr))
        hr = m_script->AddNamedItem(L"Host", SCRIPTITEM_ISVISIBLE);
    EXCEPINFO error{};
    if (SUCCEEDED(hr)) {
        hr = m_parse->ParseScriptText(text.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, nullptr, &error);
        SysFreeString(error.bstrSource);
        SysFreeString(error.bstrDescription);
        SysFreeString(error.bstrHelpFile);
    }
    if (SUCCEEDED(hr))
        hr = m_script->SetScriptState(SCRIPTSTATE_CONNECTED);
    return hr;
}

HRESULT ScriptHost::Dispatch(IDispatch** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    return m_script ? m_script->GetScriptDispatch(nullptr, out) : E_UNEXPECTED;
}
