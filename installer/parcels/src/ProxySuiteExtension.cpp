#include "parcels/ProxySuiteExtension.h"

#include <new>

#include <com/Bstr.h>

#include "automation/TypeLibrary.h"
#include "conditions/SetupEngine.h"
#include "kr/trace_log.h"
#include "parcels/EngineServices.h"
#include "parcels/Parcel.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyProvider.h"

#define PROXYAPI_TRACE(...) TraceFormat({L"ProxyApi", __LINE__}, __VA_ARGS__)

namespace {

constexpr DWORD kReply = kPipeReply | kPipeRequest;

void Answer(CProxyHandler& pipe, DWORD status)
{
    pipe.WriteMessage(kReply, &status, sizeof(status));
}

// The result record; a 28-byte one with E_OUTOFMEMORY when it cannot be made.
void AnswerResult(CProxyHandler& pipe, DWORD subCode, HRESULT status, std::span<const BYTE> result)
{
    try {
        ExtensionCallResult record;
        record.sub_code = subCode;
        record.status = status;
        record.result.assign(result.begin(), result.end());
        const std::vector<BYTE> bytes = WriteExtensionCallResult(record);
        pipe.WriteMessage(kReply, bytes.data(), static_cast<DWORD>(bytes.size()));
    } catch (const std::bad_alloc&) {
        const DWORD bare[7] = {subCode, static_cast<DWORD>(E_OUTOFMEMORY), 0, 0, 0, 0, 0};
        pipe.WriteMessage(kReply, bare, sizeof(bare));
    }
}

std::span<const BYTE> TextBytes(const com::Bstr& text)
{
    return {reinterpret_cast<const BYTE*>(text.Get()), text.Length() * sizeof(wchar_t)};
}

HRESULT CopyOut(const _stringx& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

_stringx In(BSTR text)
{
    return text ? _stringx(text, SysStringLen(text)) : _stringx();
}

IBootstrap2* EngineBootstrap()
{
    IProxyProvider* provider = ProxyProvider();
    return provider ? provider->Bootstrap() : nullptr;
}

} // namespace

CProxySuiteExtension::CProxySuiteExtension()
    : com::DispatchImpl<ISuiteExtension2>(TessarelTypeInfo<&IID_ISuiteExtension2>())
{
}

CProxySuiteExtension::~CProxySuiteExtension() = default;

HRESULT CProxySuiteExtension::CreateInstance(com::ComPtr<com::Object<CProxySuiteExtension>>& out)
{
    return com::MakeObject(out);
}

std::span<const com::InterfaceEntry> CProxySuiteExtension::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CProxySuiteExtension, ISuiteExtension2>(IID_ISuiteExtension2),
        com::InterfaceOf<CProxySuiteExtension, ISuiteExtension2>(IID_ISuiteExtension),
        com::InterfaceOf<CProxySuiteExtension, ISuiteExtension2>(IID_IDispatch),
    };
    return table;
}

void CProxySuiteExtension::SetAttachedExtension(ISuiteExtension* extension)
{
    m_attached = com::ComPtr<ISuiteExtension>(extension);
}

STDMETHODIMP CProxySuiteExtension::get_Attribute(BSTR, BSTR*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CProxySuiteExtension::LogInfo(BSTR message)
{
    if (m_logPrefix.empty())
        m_logPrefix = L"(Extension): ";
    IBootstrap2* engine = EngineBootstrap();
    if (!engine)
        return E_FAIL;
    com::Bstr line(std::wstring_view((m_logPrefix + In(message)).c_str()));
    if (line.IsNull())
        return E_OUTOFMEMORY;
    return engine->LogInfo(line.Get());
}

STDMETHODIMP CProxySuiteExtension::get_Property(BSTR name, BSTR* value)
{
    if (m_parcel) {
        const _stringx own = m_parcel->GetAttribute(In(name));
        if (!own.empty())
            return CopyOut(own, value);
    }
    IBootstrap2* engine = EngineBootstrap();
    return engine ? engine->get_Property(name, value) : E_FAIL;
}

STDMETHODIMP CProxySuiteExtension::put_Property(BSTR name, BSTR value)
{
    IBootstrap2* engine = EngineBootstrap();
    return engine ? engine->put_Property(name, value) : E_FAIL;
}

STDMETHODIMP CProxySuiteExtension::FormatProperty(BSTR text, BSTR* formatted)
{
    if (!formatted)
        return E_POINTER;
    if (m_parcel)
        return CopyOut(m_parcel->FormatString(In(text)), formatted);
    ISetupEngine* engine = SetupEngine();
    return engine ? CopyOut(engine->FormatString(In(text)), formatted) : E_FAIL;
}

STDMETHODIMP CProxySuiteExtension::ResolveString(BSTR id, BSTR* resolved)
{
    IBootstrap2* engine = EngineBootstrap();
    return engine ? engine->ResolveString(id, resolved) : E_FAIL;
}

STDMETHODIMP CProxySuiteExtension::SendProgressMessage(BSTR message, int current, int maximum,
                                                       EnumProgressFlags flags)
{
    if (m_attached) {
        com::ComPtr<ISuiteExtension2> second;
        if (FAILED(m_attached->QueryInterface(IID_ISuiteExtension2, reinterpret_cast<void**>(second.Put()))) ||
            !second)
            return E_NOINTERFACE;
        return second->SendProgressMessage(message, current, maximum, flags);
    }
    IEngineServices* services = EngineServices();
    if (!services)
        return E_FAIL;
    return services->Fire_OnActionEventInfo(message, current, maximum, flags, services->CancelCell());
}

HRESULT CProxySuiteExtension::HandleRequest(CProxyHandler* pipe, const BYTE* data1, DWORD length1)
{
    ExtensionCallRequest call;
    // A record whose texts run past data1 counts as no data.
    if (!data1 || !length1 || !ReadExtensionCallRequest(PipeBytes(data1, length1), true, call)) {
        PROXYAPI_TRACE(L"Suite extension received no data for out-proc extension request");
        Answer(*pipe, static_cast<DWORD>(E_FAIL));
        return E_FAIL;
    }
    if (call.sub_code == 0 || call.sub_code > 6) {
        PROXYAPI_TRACE(L"Suite extension received unsupported request (%x) for out-proc extension", call.sub_code);
        Answer(*pipe, static_cast<DWORD>(call.sub_code == 0 ? E_NOTIMPL : DISP_E_BADINDEX));
        return DISP_E_BADINDEX;
    }
    Answer(*pipe, 0);

    com::Bstr text1(std::wstring_view(call.text1.c_str(), call.text1.size()));
    com::Bstr text2(std::wstring_view(call.text2.c_str(), call.text2.size()));
    com::Bstr result;
    ISuiteExtension* target = m_attached ? m_attached.Get() : static_cast<ISuiteExtension2*>(this);
    HRESULT hr = S_OK;
    switch (call.sub_code) {
    case 1:
        hr = target->LogInfo(text1.Get());
        break;
    case 2:
        hr = target->get_Property(text1.Get(), result.Put());
        break;
    case 3:
        hr = target->put_Property(text1.Get(), text2.Get());
        break;
    case 4:
        hr = target->FormatProperty(text1.Get(), result.Put());
        break;
    case 5:
        hr = target->ResolveString(text1.Get(), result.Put());
        break;
    default:
        hr = SendProgressMessage(text1.Get(), static_cast<int>(call.progress[0]), static_cast<int>(call.progress[1]),
                                 static_cast<EnumProgressFlags>(call.progress[2]));
        break;
    }
    AnswerResult(*pipe, call.sub_code, hr, TextBytes(result));
    return hr;
}
