#include "parcels/WebDeployParcelHandler.h"

#include "kr/trace_log.h"
#include "parcels/EngineServices.h"
#include "parcels/Operation.h"
#include "parcels/Parcel.h"
#include "parcels/ParcelRoutines.h"
#include "parcels/PayloadFile.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyConversation.h"
#include "parcels/ProxyProvider.h"

#define WEBDEPLOY_SOURCE TraceSource{L"WebDeployParcelHandler", __LINE__}

namespace {

constexpr DWORD kSuiteExtensionCall = 9;
constexpr DWORD kWebDeployRequest = 16;
constexpr DWORD kEntryReturned = 1;
constexpr DWORD kNoProxy = ERROR_PIPE_NOT_CONNECTED; // 233
constexpr DWORD kNoManagedDll = 0x8004071B;

} // namespace

std::unique_ptr<CParcelHandler> CWebDeployParcelHandler::Make(CParcel& parcel)
{
    return std::make_unique<CWebDeployParcelHandler>(parcel);
}

HRESULT CWebDeployParcelHandler::Run()
{
    COperation* operation = GetOperation();
    if (!operation)
        return S_FALSE;
    CParcel& parcel = GetParcel();
    IEngineServices& engine = *EngineServices();
    TraceFormat(WEBDEPLOY_SOURCE, L"Running webdeploy parcel operation");
    parcel.Fire_OnParcelEvent(ParcelProgressStateOf(operation->GetKind()));

    _stringx package = parcel.FormatString(operation->GetTarget());
    if (!package.is_absolute_path())
        package = parcel.GetPackagePath().path_combine(operation->GetTarget());
    TraceFormat(WEBDEPLOY_SOURCE, L"Webdeploy package target: %s", package.c_str());

    const _stringx commandLine = parcel.FormatString(engine.IsSilent() ? operation->GetSilentCommandLine()
                                                                       : operation->GetCommandLine());
    TraceFormat(WEBDEPLOY_SOURCE, L"Passing webdeploy command line: %s", MaskHiddenPropertyValues(commandLine).c_str());

    com::ComPtr<com::Object<CProxySuiteExtension>> extension;
    if (const HRESULT created = CProxySuiteExtension::CreateInstance(extension); FAILED(created)) {
        m_lastStatus = created;
        TraceFormat(WEBDEPLOY_SOURCE, L"Failed to create extension handler for webdeploy parcel, error %x", created);
        return created;
    }
    extension->SetParcel(&parcel);
    extension->SetLogPrefix(L"(WebDeploy Parcel): ");
    m_extension = std::move(extension);

    m_lastStatus = HresultOfStatus(Deploy(package, commandLine));
    return m_lastStatus;
}

DWORD CWebDeployParcelHandler::Deploy(const _stringx& packagePath, const _stringx& commandLine)
{
    IProxyProvider* provider = ProxyProvider();
    CProxyHandler* proxy = provider ? provider->GetProxyHandler(false, false) : nullptr;
    if (!proxy) {
        TraceFormat(WEBDEPLOY_SOURCE, L"Webdeploy parcel: failed to obtain proxy handler");
        return HRESULT_FROM_WIN32(kNoProxy);
    }
    ProxyHandlerRegistration registration(*proxy, kSuiteExtensionCall, m_extension.Get());

    const _stringx dll = ExtractPayloadFile(L"Halvecall.dll");
    if (dll.empty()) {
        TraceFormat(WEBDEPLOY_SOURCE, L"WebDeploy: Can't deploy web parcel, halvecall.dll not present on setup stream");
        return kNoManagedDll;
    }
    const std::vector<BYTE> data = WriteWebDeployCallData({packagePath, commandLine});
    const DWORD status = proxy->SendRequest(kWebDeployRequest, 0, dll.c_str(),
                                            static_cast<DWORD>(dll.length() * sizeof(wchar_t)), data.data(),
                                            static_cast<DWORD>(data.size()));
    if (status != 0) {
        TraceFormat(WEBDEPLOY_SOURCE, L"Webdeploy proxy request failed with status 0x%08x", status);
        return HresultOfStatus(status);
    }
    for (;;) {
        if (const DWORD error = proxy->ReadMessage())
            return HresultOfStatus(error);
        if (!proxy->HasPayload())
            return HRESULT_FROM_WIN32(kNoProxy);
        const PipeBytes payload = proxy->Payload();
        if (proxy->Type() == kPipeRequest) {
            ServeExtensionRequest(*proxy, payload);
            continue;
        }
        DWORD code = 0;
        if (proxy->Type() != kPipeCallback || !ReadWord(payload, code) || code != kEntryReturned)
            continue;
        // The entry has returned; a lost result is no success.
        DWORD result = 0;
        if (const DWORD error = ReadFinalResult(*proxy, result))
            return HresultOfStatus(error);
        return result;
    }
}

HRESULT CWebDeployParcelHandler::Detect(EnumParcelInstallState* state, bool)
{
    *state = episAbsent;
    return S_OK;
}
