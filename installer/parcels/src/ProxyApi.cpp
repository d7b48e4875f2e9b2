#include "parcels/ProxyApi.h"

#include <memory>
#include <new>
#include <vector>

#include "kr/trace_log.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyExeCallbackWrapper.h"
#include "parcels/ProxyConversation.h"
#include "parcels/ProxyHandler.h"
#include "parcels/ProxyParcelExtension.h"
#include "parcels/ProxyProvider.h"
#include "parcels/ProxySuiteExtension.h"

#define PROXYAPI_TRACE(...) TraceFormat({L"ProxyApi", __LINE__}, __VA_ARGS__)

namespace {

constexpr DWORD kReply = kPipeReply | kPipeRequest;
constexpr DWORD kSuiteExtensionCall = 9;
constexpr DWORD kParcelExtensionCall = 13;
constexpr DWORD kLastRequestCode = 17;
constexpr DWORD kNotSupported = ERROR_NOT_SUPPORTED; // 50

DWORD TextLength(const _stringx& text)
{
    return static_cast<DWORD>(text.size() * sizeof(wchar_t));
}

// Whether a DLL must go to a 64-bit proxy: this process cannot load it for its format.
bool NeedsOtherBitness(const _stringx& dll)
{
    if (HMODULE module = LoadLibraryW(dll.c_str())) {
        FreeLibrary(module);
        return false;
    }
    return GetLastError() == ERROR_BAD_EXE_FORMAT;
}

} // namespace

struct CProxyApi::CallKind {
    const wchar_t* prefix;
    const wchar_t* noProxy;
    const wchar_t* creationFailed;
    const wchar_t* refused;
    HRESULT refusedResult;
    bool dll;
};

CProxyApi::CProxyApi(ISuiteExtension* callerExtension) : m_callerExtension(callerExtension) {}

CProxyApi::~CProxyApi() = default;

HRESULT CProxyApi::CallExtension(const CallKind& kind, bool is64Bit, CParcel* parcel, bool elevated, DWORD code,
                                 DWORD value, const void* data1, DWORD length1, const void* data2, DWORD length2)
{
    IProxyProvider* provider = ProxyProvider();
    CProxyHandler* proxy = provider ? provider->GetProxyHandler(elevated, is64Bit) : nullptr;
    if (!proxy) {
        PROXYAPI_TRACE(kind.noProxy);
        m_lastStatus = kNoProxy;
        return static_cast<HRESULT>(kNoProxy);
    }

    com::ComPtr<com::Object<CProxySuiteExtension>> suite;
    if (const HRESULT created = CProxySuiteExtension::CreateInstance(suite); FAILED(created)) {
        PROXYAPI_TRACE(kind.creationFailed, created);
        return created;
    }
    suite->SetParcel(parcel);
    suite->SetLogPrefix(kind.prefix);
    if (kind.dll && m_callerExtension)
        suite->SetAttachedExtension(m_callerExtension.Get());
    ProxyHandlerRegistration suiteRegistration(*proxy, kSuiteExtensionCall, suite.Get());

    com::ComPtr<com::Object<CProxyParcelExtension>> parcelExtension;
    std::unique_ptr<ProxyHandlerRegistration> parcelRegistration;
    if (kind.dll) {
        const HRESULT created = CProxyParcelExtension::CreateInstance(parcelExtension);
        if (FAILED(created) && parcel) {
            PROXYAPI_TRACE(L"Failed to create extension handler for parcel interface on DLL call, error 0x%08x",
                           created);
            return created;
        }
        if (SUCCEEDED(created)) {
            parcelExtension->SetParcel(parcel);
            parcelRegistration =
                std::make_unique<ProxyHandlerRegistration>(*proxy, kParcelExtensionCall, parcelExtension.Get());
        }
    }

    m_lastStatus = proxy->SendRequest(code, value, data1, length1, data2, length2);
    if (m_lastStatus != 0) {
        PROXYAPI_TRACE(kind.refused, m_lastStatus);
        return kind.refusedResult;
    }
    return static_cast<HRESULT>(WaitForReply(*proxy));
}

HRESULT CProxyApi::CallDll(const _stringx& dll, const _stringx& entry, CParcel* parcel, bool elevated)
{
    static const CallKind kind = {L"(DLL Action): ",
                                  L"Failed to obtain proxy handler for DLL call action",
                                  L"Failed to create extension handler for DLL action, error %x",
                                  L"Proxy DLL call action request failed, status 0x%08x",
                                  kProxyDllCallRefused,
                                  true};
    return CallExtension(kind, NeedsOtherBitness(dll), parcel, elevated, 12, parcel ? 1 : 0, dll.c_str(),
                         TextLength(dll), entry.c_str(), TextLength(entry));
}

HRESULT CProxyApi::CallPowerShell(const _stringx& managedDll, const _stringx& script, CParcel* parcel,
                                  bool elevated)
{
    static const CallKind kind = {L"(PowerShell Action): ",
                                  L"Failed to obtain proxy handler for DLL call action",
                                  L"Failed to create extension handler for PowerShell action, error %x",
                                  L"Proxy PowerShell call action request failed, status 0x%08x",
                                  kProxyPowerShellCallRefused,
                                  false};
    return CallExtension(kind, false, parcel, elevated, 12, 4, managedDll.c_str(), TextLength(managedDll),
                         script.c_str(), TextLength(script));
}

HRESULT CProxyApi::CallClr(const _stringx& managedDll, const _stringx& file, const _stringx& name,
                           const _stringx& arguments, CParcel* parcel, bool elevated)
{
    static const CallKind kind = {L"(CLR Action): ",
                                  L"Failed to obtain proxy handler for CLR call action",
                                  L"Failed to create extension handler for CLR action, error %x",
                                  L"Proxy CLR call action request failed, status 0x%08x",
                                  kProxyClrCallRefused,
                                  false};
    const std::vector<BYTE> data = WriteClrCallData({file, name, arguments});
    return CallExtension(kind, false, parcel, elevated, 12, 2, managedDll.c_str(), TextLength(managedDll),
                         data.data(), static_cast<DWORD>(data.size()));
}

HRESULT CProxyApi::CallQuillex(const _stringx& folder, const _stringx& function, CParcel* parcel, bool elevated,
                               bool debug, const _stringx& debugText)
{
    static const CallKind kind = {L"(KRP Action): ",
                                  L"Failed to obtain proxy handler for KRP call action",
                                  L"Failed to create extension handler for KRP action, error %x",
                                  L"Proxy KRP call action request failed, status 0x%08x",
                                  kProxyQuillexCallRefused,
                                  false};
    std::vector<BYTE> data;
    try {
        data = WriteQuillexCallData({debug ? 1u : 0u, function, debugText});
    } catch (const std::bad_alloc&) {
        PROXYAPI_TRACE(L"Failed to allocate buffer for Nimbrel proxy command data");
        return E_OUTOFMEMORY;
    }
    return CallExtension(kind, false, parcel, elevated, 14, 0, folder.c_str(), TextLength(folder), data.data(),
                         static_cast<DWORD>(data.size()));
}

DWORD CProxyApi::WaitForReply(CProxyHandler& proxy)
{
    for (;;) {
        if (const DWORD error = proxy.ReadMessage()) {
            m_lastStatus = error;
            return error;
        }
        if (!proxy.HasPayload()) {
            m_lastStatus = kNoProxy;
            return kNoProxy;
        }
        const PipeBytes payload = proxy.Payload();
        if (proxy.Type() == kReply) {
            DWORD status = 0;
            if (!ReadWord(payload, status))
                continue;
            m_lastStatus = status;
            return status;
        }
        if (proxy.Type() != kPipeRequest)
            continue;
        DWORD code = 0;
        if (!ReadWord(payload, code))
            continue;
        // An unknown code is answered, or the proxy would wait for ever.
        IProxyHandler* handler = code <= kLastRequestCode ? proxy.FindHandler(code) : nullptr;
        if (!handler) {
            proxy.WriteMessage(kReply, &kNotSupported, sizeof(kNotSupported));
            continue;
        }
        ProxyRequestView request;
        if (!ReadProxyRequest(payload, request))
            request.data1 = {};
        handler->HandleRequest(&proxy, request.data1.empty() ? nullptr : request.data1.data(),
                               static_cast<DWORD>(request.data1.size()));
    }
}

LONG CProxyApi::LaunchElevatedExe(const _stringx& program, const _stringx& arguments, const _stringx& verb, int show,
                                  bool wait)
{
    PROXYAPI_TRACE(L"Launching EXE as elevated process");
    IProxyProvider* provider = ProxyProvider();
    CProxyHandler* proxy = provider ? provider->GetElevatedProxy() : nullptr;
    if (!proxy) {
        PROXYAPI_TRACE(L"Could not obtain proxy handler for launching elevated EXE parcel");
        m_lastStatus = kNoProxy;
        return kNoProxy;
    }
    std::vector<BYTE> record;
    try {
        record = WriteExeLaunchData({static_cast<DWORD>(show), wait ? 1u : 0u, arguments, verb});
    } catch (const std::bad_alloc&) {
        PROXYAPI_TRACE(L"Failed to allocate buffer for EXE launch proxy command data");
        return E_OUTOFMEMORY;
    }
    m_lastStatus = proxy->SendRequest(15, 0, program.c_str(), TextLength(program), record.data(),
                                      static_cast<DWORD>(record.size()));
    if (m_lastStatus != 0) {
        PROXYAPI_TRACE(L"EXE (elevated) launch failed with status 0x%08x", m_lastStatus);
        return kProxyExeLaunchRefused;
    }
    if (!wait)
        return 0;

    for (;;) {
        if (const DWORD error = proxy->ReadMessage()) {
            m_lastStatus = error;
            return static_cast<LONG>(error);
        }
        if (!proxy->HasPayload()) {
            m_lastStatus = kNoProxy;
            return kNoProxy;
        }
        if (proxy->Type() != kPipeCallback)
            continue;
        const PipeBytes payload = proxy->Payload();
        if (m_callbacks && m_callbacks->OnCallback(this, payload) != -1)
            continue;
        DWORD code = 0;
        if (!ReadWord(payload, code))
            continue;
        if (code == 1) {
            const LONG value = m_callbacks ? m_callbacks->OnQueryValue(this) : 0;
            const DWORD answer = value == -1 ? 0 : static_cast<DWORD>(value);
            proxy->WriteMessage(kPipeReply | kPipeCallback, &answer, sizeof(answer));
        } else if (code == 2) {
            if (m_callbacks)
                m_callbacks->OnProcessFinished(this);
            // A result that cannot be read is no success.
            const std::optional<PipeBytes> result = proxy->ReadReply();
            DWORD exitCode = 0;
            if (!result || !ReadWord(*result, exitCode)) {
                m_lastStatus = kNoProxy;
                return kNoProxy;
            }
            return static_cast<LONG>(exitCode);
        }
    }
}

DWORD CProxyApi::SetRegistryValue(const _stringx& key, const _stringx& name, const void* data, DWORD length)
{
    RegistryRecord record;
    record.type = REG_SZ;
    record.flags = 2;
    record.key_path = key;
    record.value_name = name;
    if (data && length)
        record.data.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + length);
    const std::vector<BYTE> bytes = WriteRegistryRecord(record);
    return SendRegistryRequest(1, bytes.data(), static_cast<DWORD>(bytes.size()));
}

DWORD CProxyApi::DeleteRegistryKey(const _stringx& key)
{
    RegistryRecord record;
    record.key_path = key;
    const std::vector<BYTE> bytes = WriteRegistryRecord(record);
    return SendRegistryRequest(2, bytes.data(), static_cast<DWORD>(bytes.size()));
}

DWORD CProxyApi::SendRegistryRequest(DWORD operation, const void* record, DWORD size)
{
    IProxyProvider* provider = ProxyProvider();
    CProxyHandler* proxy = provider ? provider->GetElevatedProxy() : nullptr;
    if (!proxy) {
        PROXYAPI_TRACE(L"ProxyApi: registry request for proxy failed to obtain a proxy handler");
        m_lastStatus = kNoProxy;
        return kNoProxy;
    }
    m_lastStatus = proxy->SendRequest(17, operation, record, size, nullptr, 0);
    return m_lastStatus;
}
