#include "parcels/EmbeddedProxySuiteExtension.h"

#include <new>

#include "automation/TypeLibrary.h"
#include "parcels/EmbeddedExtensionCall.h"
#include "parcels/EmbeddedProxyParcelExtension.h"
#include "parcels/PipeRecords.h"

namespace {

constexpr DWORD kSuiteExtensionCall = 9;

_stringx In(BSTR text)
{
    return text ? _stringx(text, SysStringLen(text)) : _stringx();
}

} // namespace

CEmbeddedProxySuiteExtension::CEmbeddedProxySuiteExtension()
    : com::DispatchImpl<ISuiteExtension2>(TessarelTypeInfo<&IID_ISuiteExtension2>())
{
}

HRESULT CEmbeddedProxySuiteExtension::CreateInstance(com::ComPtr<com::Object<CEmbeddedProxySuiteExtension>>& out)
{
    return com::MakeObject(out);
}

std::span<const com::InterfaceEntry> CEmbeddedProxySuiteExtension::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CEmbeddedProxySuiteExtension, ISuiteExtension2>(IID_ISuiteExtension2),
        com::InterfaceOf<CEmbeddedProxySuiteExtension, ISuiteExtension2>(IID_ISuiteExtension),
        com::InterfaceOf<CEmbeddedProxySuiteExtension, ISuiteExtension2>(IID_IDispatch),
        com::InterfaceFunction<CEmbeddedProxySuiteExtension, &CEmbeddedProxySuiteExtension::QueryParcel>(IID_IParcel),
    };
    return table;
}

HRESULT CEmbeddedProxySuiteExtension::QueryParcel(CEmbeddedProxySuiteExtension* self, REFIID, void** out)
{
    *out = nullptr;
    if (!self->m_parcel)
        return E_NOINTERFACE;
    com::ComPtr<com::Object<CEmbeddedProxyParcelExtension>> parcel;
    if (const HRESULT created = CEmbeddedProxyParcelExtension::CreateInstance(parcel); FAILED(created))
        return created;
    parcel->SetPipe(self->m_pipe);
    *out = static_cast<IParcel*>(parcel.Detach());
    return S_OK;
}

// One request 9: the texts go as given (a null one as empty), the result text
// comes back when the call succeeded and a result pointer was given.
HRESULT CEmbeddedProxySuiteExtension::Call(DWORD subCode, BSTR text1, BSTR text2, BSTR* result)
{
    std::vector<BYTE> record;
    try {
        ExtensionCallRequest request;
        request.sub_code = subCode;
        request.text1 = In(text1);
        request.text2 = In(text2);
        record = WriteExtensionCallRequest(request);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    ExtensionCallOutcome outcome = CallEngineExtension(m_pipe, kSuiteExtensionCall, record);
    if (result && outcome.result && SUCCEEDED(outcome.status)) {
        const std::vector<BYTE>& bytes = outcome.result->result;
        *result = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(bytes.data()),
                                    static_cast<UINT>(bytes.size() / sizeof(OLECHAR)));
        if (!*result)
            return E_OUTOFMEMORY;
    }
    return outcome.status;
}

STDMETHODIMP CEmbeddedProxySuiteExtension::get_Attribute(BSTR, BSTR*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CEmbeddedProxySuiteExtension::LogInfo(BSTR message)
{
    return Call(1, message, nullptr, nullptr);
}

STDMETHODIMP CEmbeddedProxySuiteExtension::get_Property(BSTR name, BSTR* value)
{
    if (!value)
        return E_POINTER;
    *value = nullptr;
    return Call(2, name, nullptr, value);
}

STDMETHODIMP CEmbeddedProxySuiteExtension::put_Property(BSTR name, BSTR value)
{
    return Call(3, name, value, nullptr);
}

STDMETHODIMP CEmbeddedProxySuiteExtension::FormatProperty(BSTR text, BSTR* formatted)
{
    if (!formatted)
        return E_POINTER;
    *formatted = nullptr;
    return Call(4, text, nullptr, formatted);
}

STDMETHODIMP CEmbeddedProxySuiteExtension::ResolveString(BSTR id, BSTR* resolved)
{
    if (!resolved)
        return E_POINTER;
    *resolved = nullptr;
    return Call(5, id, nullptr, resolved);
}

STDMETHODIMP CEmbeddedProxySuiteExtension::SendProgressMessage(BSTR message, int current, int maximum,
                                                               EnumProgressFlags flags)
{
    std::vector<BYTE> record;
    try {
        ExtensionCallRequest request;
        request.sub_code = 6;
        request.text1 = In(message);
        request.has_progress = true;
        request.progress[0] = static_cast<DWORD>(current);
        request.progress[1] = static_cast<DWORD>(maximum);
        request.progress[2] = static_cast<DWORD>(flags);
        record = WriteExtensionCallRequest(request);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return CallEngineExtension(m_pipe, kSuiteExtensionCall, record).status;
}
