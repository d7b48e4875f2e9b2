#include "parcels/ProxyParcelExtension.h"

#include <new>

#include <com/Bstr.h>

#include "automation/TypeLibrary.h"
#include "kr/trace_log.h"
#include "parcels/Parcel.h"
#include "parcels/PipeRecords.h"

#define PROXYAPI_TRACE(...) TraceFormat({L"ProxyApi", __LINE__}, __VA_ARGS__)

namespace {

constexpr DWORD kReply = kPipeReply | kPipeRequest;
constexpr DWORD kLastSubCode = 10;

void Answer(CProxyHandler& pipe, DWORD status)
{
    pipe.WriteMessage(kReply, &status, sizeof(status));
}

} // namespace

CProxyParcelExtension::CProxyParcelExtension() : com::DispatchImpl<IParcel>(TessarelTypeInfo<&IID_IParcel>()) {}

HRESULT CProxyParcelExtension::CreateInstance(com::ComPtr<com::Object<CProxyParcelExtension>>& out)
{
    return com::MakeObject(out);
}

std::span<const com::InterfaceEntry> CProxyParcelExtension::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CProxyParcelExtension, IParcel>(IID_IParcel),
        com::InterfaceOf<CProxyParcelExtension, IParcel>(IID_IDispatch),
    };
    return table;
}

IParcel2* CProxyParcelExtension::Parcel() const
{
    return m_parcel ? static_cast<IParcel2*>(m_parcel) : nullptr;
}

#define FORWARD(call)                                                                                                  \
    {                                                                                                                  \
        IParcel2* parcel = Parcel();                                                                                   \
        return parcel ? parcel->call : E_FAIL;                                                                         \
    }

STDMETHODIMP CProxyParcelExtension::get_Name(BSTR* name) FORWARD(get_Name(name))
STDMETHODIMP CProxyParcelExtension::get_Description(BSTR* description) FORWARD(get_Description(description))
STDMETHODIMP CProxyParcelExtension::get_ID(BSTR* id) FORWARD(get_ID(id))
STDMETHODIMP CProxyParcelExtension::get_Eligible(VARIANT_BOOL* eligible) FORWARD(get_Eligible(eligible))
STDMETHODIMP CProxyParcelExtension::get_Required(VARIANT_BOOL* required) FORWARD(get_Required(required))
STDMETHODIMP CProxyParcelExtension::get_ActionState(EnumParcelInstallState* state) FORWARD(get_ActionState(state))
STDMETHODIMP CProxyParcelExtension::get_DetectedState(EnumParcelInstallState* state)
    FORWARD(get_DetectedState(state))
STDMETHODIMP CProxyParcelExtension::get_ExitCode(int* code) FORWARD(get_ExitCode(code))
STDMETHODIMP CProxyParcelExtension::get_Type(EnumParcelType* type) FORWARD(get_Type(type))
STDMETHODIMP CProxyParcelExtension::get_UIType(EnumParcelUIType* type) FORWARD(get_UIType(type))

#undef FORWARD

STDMETHODIMP CProxyParcelExtension::put_ActionState(EnumParcelInstallState)
{
    return E_NOTIMPL;
}

HRESULT CProxyParcelExtension::HandleRequest(CProxyHandler* pipe, const BYTE* data1, DWORD length1)
{
    ExtensionCallRequest call;
    if (!data1 || !length1 || !ReadExtensionCallRequest(PipeBytes(data1, length1), false, call)) {
        PROXYAPI_TRACE(L"Parcel extension received no data for out-proc extension request");
        Answer(*pipe, static_cast<DWORD>(E_FAIL));
        return E_FAIL;
    }
    if (call.sub_code > kLastSubCode) {
        PROXYAPI_TRACE(L"Parcel extension received unsupported request (%x) for out-proc extension", call.sub_code);
        Answer(*pipe, static_cast<DWORD>(DISP_E_BADINDEX));
        return DISP_E_BADINDEX;
    }
    Answer(*pipe, 0);

    com::Bstr text;
    DWORD number = 0;
    HRESULT hr = S_OK;
    switch (call.sub_code) {
    case 0:
        hr = get_Name(text.Put());
        break;
    case 1:
        hr = get_Description(text.Put());
        break;
    case 2:
        hr = get_ID(text.Put());
        break;
    case 3:
    case 4: {
        VARIANT_BOOL flag = VARIANT_FALSE;
        hr = call.sub_code == 3 ? get_Eligible(&flag) : get_Required(&flag);
        number = static_cast<DWORD>(static_cast<LONG>(flag));
        break;
    }
    case 5:
    case 7: {
        EnumParcelInstallState state = {};
        hr = call.sub_code == 5 ? get_ActionState(&state) : get_DetectedState(&state);
        number = static_cast<DWORD>(state);
        break;
    }
    case 6:
        hr = E_NOTIMPL;
        break;
    case 8: {
        int code = 0;
        hr = get_ExitCode(&code);
        number = static_cast<DWORD>(code);
        break;
    }
    case 9: {
        EnumParcelType type = {};
        hr = get_Type(&type);
        number = static_cast<DWORD>(type);
        break;
    }
    default: {
        EnumParcelUIType type = {};
        hr = get_UIType(&type);
        number = static_cast<DWORD>(type);
        break;
    }
    }

    try {
        ExtensionCallResult record;
        record.sub_code = call.sub_code;
        record.status = hr;
        if (call.sub_code <= 2) {
            const BYTE* bytes = reinterpret_cast<const BYTE*>(text.Get());
            record.result.assign(bytes, bytes + text.Length() * sizeof(wchar_t));
        } else {
            const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
            record.result.assign(bytes, bytes + sizeof(number));
        }
        const std::vector<BYTE> written = WriteExtensionCallResult(record);
        pipe->WriteMessage(kReply, written.data(), static_cast<DWORD>(written.size()));
    } catch (const std::bad_alloc&) {
        const DWORD bare[7] = {call.sub_code, static_cast<DWORD>(E_OUTOFMEMORY), 0, 0, 0, 0, 0};
        pipe->WriteMessage(kReply, bare, sizeof(bare));
    }
    return hr;
}
