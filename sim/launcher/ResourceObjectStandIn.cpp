// A resource DLL of a suite: GetSuiteObject makes an object whose members
// "Member" and "Echo" answer text, after asking the extension it is handed
// for the feature list and a formatted text. What it saw goes back into the
// engine's properties through the extension, so a test reads it after the
// launcher has unloaded this DLL again.

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "automation/Interfaces.h"

namespace {

std::wstring Text(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// Puts a property of the engine through the extension.
void Record(ISuiteExtension2* extension, const wchar_t* name, const std::wstring& value)
{
    BSTR nameText = SysAllocString(name);
    BSTR valueText = SysAllocStringLen(value.c_str(), static_cast<UINT>(value.size()));
    extension->put_Property(nameText, valueText);
    SysFreeString(valueText);
    SysFreeString(nameText);
}

std::wstring Ask(ISuiteExtension2* extension, bool format, const wchar_t* argument)
{
    BSTR in = SysAllocString(argument);
    BSTR out = nullptr;
    const HRESULT hr = format ? extension->FormatProperty(in, &out) : extension->get_Property(in, &out);
    SysFreeString(in);
    std::wstring answer = FAILED(hr) ? L"<failed>" : Text(out);
    SysFreeString(out);
    return answer;
}

class StandInObject final : public IDispatch {
public:
    StandInObject(ISuiteExtension2* extension, std::wstring text) : m_extension(extension), m_text(std::move(text))
    {
        m_extension->AddRef();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
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
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0) {
            // Runs this DLL's code: the launcher must still hold the module.
            Record(m_extension, L"ResStandInReleased", m_text);
            m_extension->Release();
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        if (count != 1)
            return E_INVALIDARG;
        if (_wcsicmp(names[0], L"Member") == 0)
            ids[0] = 1;
        else if (_wcsicmp(names[0], L"Echo") == 0)
            ids[0] = 2;
        else {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO*, UINT*) override
    {
        std::wstring answer;
        if (id == 1) {
            answer = m_text;
        } else if (id == 2) {
            // Arguments arrive last first.
            for (UINT i = parameters->cArgs; i-- > 0;) {
                if (V_VT(&parameters->rgvarg[i]) != VT_BSTR)
                    return DISP_E_TYPEMISMATCH;
                answer += (answer.empty() ? L"" : L",") + Text(V_BSTR(&parameters->rgvarg[i]));
            }
        } else {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (!result)
            return S_OK;
        VariantInit(result);
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocStringLen(answer.c_str(), static_cast<UINT>(answer.size()));
        return V_BSTR(result) ? S_OK : E_OUTOFMEMORY;
    }

private:
    ULONG m_references = 1;
    ISuiteExtension2* m_extension;
    std::wstring m_text;
};

} // namespace

extern "C" HRESULT __stdcall GetSuiteObject(BSTR objectName, IUnknown* reserved, ISuiteExtension2* extension,
                                            IDispatch** object)
{
    if (!object || !extension)
        return E_POINTER;
    *object = nullptr;
    const std::wstring name = Text(objectName);

    BSTR line = SysAllocString((L"Resource stand-in: GetSuiteObject(" + name + L")").c_str());
    extension->LogInfo(line);
    SysFreeString(line);
    const std::wstring features = Ask(extension, false, L"KRWindowsFeatureList");
    const std::wstring greeting = Ask(extension, true, L"[Greeting]");
    Record(extension, L"ResStandInCalls",
           name + L"|" + (reserved ? L"reserved" : L"null") + L"|" + features + L"|" + greeting);
    if (name == L"Refused")
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

    *object = new StandInObject(extension, name + L":" + greeting);
    return S_OK;
}
