#include "parcels/AppxParcelHandler.h"

#include "conditions/AppxInstalledCondition.h"
#include "conditions/SetupEngine.h"
#include "conditions/Version.h"
#include "kr/trace_log.h"
#include "parcels/EngineServices.h"
#include "parcels/Operation.h"
#include "parcels/Parcel.h"
#include "parcels/ParcelRoutines.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyConversation.h"
#include "parcels/ProxyProvider.h"
#include "parcels/TrustedPeopleCertificate.h"

#define APPX_SOURCE TraceSource{L"AppxParcelHandler", __LINE__}

namespace {

constexpr DWORD kAppxRequest = 11;
constexpr DWORD kInstall = 1;
constexpr DWORD kRemove = 2;
constexpr DWORD kFullName = 4;
constexpr DWORD kCertificate = 5;
constexpr DWORD kNoProxy = ERROR_PIPE_NOT_CONNECTED; // 233
constexpr HRESULT kNoCompanion = static_cast<HRESULT>(0x800700E9);

DWORD ByteLength(const _stringx& text)
{
    return static_cast<DWORD>(text.length() * sizeof(wchar_t));
}

// A request without version or texts.
AppxRequestRecord PlainRequest(DWORD operation, DWORD value = 0)
{
    AppxRequestRecord record;
    record.operation = operation;
    record.value = value;
    return record;
}

// The companion's connection is a pipe handler of the engine: the
// conversation reads the messages that follow its first reply.
CProxyHandler* Companion()
{
    ISetupEngine* engine = SetupEngine();
    return engine ? dynamic_cast<CProxyHandler*>(engine->GetAppxHelperProxyHandler()) : nullptr;
}

// A path of a parcel attribute: expanded when that gives an absolute path,
// else the attribute as written joined to the package folder.
_stringx ParcelPath(const CParcel& parcel, const _stringx& written)
{
    const _stringx expanded = parcel.FormatString(written);
    return expanded.is_absolute_path() ? expanded : parcel.GetPackagePath().path_combine(written);
}

} // namespace

std::unique_ptr<CParcelHandler> CAppxParcelHandler::Make(CParcel& parcel)
{
    return std::make_unique<CAppxParcelHandler>(parcel);
}

HRESULT CAppxParcelHandler::Run()
{
    COperation* operation = GetOperation();
    if (!operation)
        return S_FALSE;
    CParcel& parcel = GetParcel();
    IEngineServices& engine = *EngineServices();
    TraceFormat(APPX_SOURCE, L"Running Appx parcel operation");
    parcel.Fire_OnParcelEvent(ParcelProgressStateOf(operation->GetKind()));

    const EnumInstallMode mode = engine.GetInstallMode();
    const bool firstInstall =
        mode == eimInstall || (parcel.GetDetectedState() == episAbsent && operation->GetKind() == episInstalled);
    _stringx target;
    if (!firstInstall) {
        target = parcel.FormatString(operation->GetTarget());
        if (operation->GetTarget().empty())
            target = GetPackageFullName();
    } else {
        target = ParcelPath(parcel, operation->GetTarget());
    }
    TraceFormat(APPX_SOURCE, L"Appx parcel target: %s", target.c_str());

    HRESULT result = S_OK;
    if (operation->GetKind() == episInstalled)
        result = Install(target, parcel.GetAttributeNoCase(L"ForceAppShutdown").compare(L"yes") == 0);
    else if (operation->GetKind() == episRemove)
        result = Remove(target);
    m_lastStatus = result;
    TraceFormat(APPX_SOURCE, L"Appx parcel final status: 0x%08x", result);
    parcel.Fire_OnParcelEvent(eppsComplete);
    return result;
}

HRESULT CAppxParcelHandler::Install(const _stringx& packagePath, bool forceShutdown)
{
    return SendAppxRequest(packagePath, WriteAppxRequestRecord(PlainRequest(kInstall, forceShutdown ? 1 : 0)));
}

HRESULT CAppxParcelHandler::Remove(const _stringx& target)
{
    return SendAppxRequest(target, WriteAppxRequestRecord(PlainRequest(kRemove)));
}

HRESULT CAppxParcelHandler::SendAppxRequest(const _stringx& data1, const std::vector<BYTE>& record)
{
    CProxyHandler* companion = Companion();
    if (!companion) {
        TraceFormat(APPX_SOURCE, L"Appx parcel: failed to obtain proxy handler");
        return kNoCompanion;
    }
    DWORD operation = 0;
    ReadWord(record, operation);
    const DWORD status = companion->SendRequest(kAppxRequest, 0, data1.c_str(), ByteLength(data1), record.data(),
                                                static_cast<DWORD>(record.size()));
    if (status != 0) {
        TraceFormat(APPX_SOURCE, L"Appx operation: failed proxy request with status 0x%08x", status);
        return HresultOfStatus(status);
    }
    for (;;) {
        if (const DWORD error = companion->ReadMessage()) {
            TraceFormat(APPX_SOURCE, L"Appx parcel: failed waiting for proxy, status 0x%08x", error);
            return HresultOfStatus(error);
        }
        if (!companion->HasPayload())
            return kNoCompanion;
        const PipeBytes payload = companion->Payload();
        if (companion->Type() == kPipeRequest) {
            AnswerCompanionRequest(*companion, payload);
            continue;
        }
        DWORD code = 0;
        if (companion->Type() != kPipeCallback || !ReadWord(payload, code))
            continue;
        if (code == 1 && payload.size() >= 12) {
            DWORD words[3] = {};
            memcpy(words, payload.data(), sizeof(words));
            if (words[1] == 1)
                AnswerProgress(*companion, words[2], operation == kInstall);
        } else if (code == 2) {
            // The operation has ended; a lost result is no success.
            DWORD result = 0;
            if (const DWORD error = ReadFinalResult(*companion, result)) {
                TraceFormat(APPX_SOURCE, L"Appx parcel: failed waiting for proxy, status 0x%08x", error);
                return HresultOfStatus(error);
            }
            return HresultOfStatus(result);
        }
    }
}

void CAppxParcelHandler::AnswerCompanionRequest(CProxyHandler& companion, PipeBytes payload)
{
    // A request too short to name what it wants is not read past, and not answered.
    ProxyRequestView request;
    DWORD wanted = 0;
    if (!ReadProxyRequest(payload, request) || !ReadWord(request.data1, wanted))
        return;
    TraceFormat(APPX_SOURCE, L"Appx parcel: proxy request %x", wanted);
    if (wanted != kCertificate)
        return;
    const DWORD status = InstallCertificate();
    TraceFormat(APPX_SOURCE, L"Appx parcel handler: final cert install status: 0x%08x", status);
    companion.WriteMessage(kPipeReply | kPipeRequest, &status, sizeof(status));
}

DWORD CAppxParcelHandler::InstallCertificate()
{
    CParcel& parcel = GetParcel();
    const _stringx certificate = ParcelPath(parcel, parcel.GetAttributeNoCase(L"CertFile"));
    TraceFormat(APPX_SOURCE, L"Appx parcel: cert file: %s", certificate.c_str());
    if (EngineServices()->IsElevated()) {
        TraceFormat(APPX_SOURCE, L"Appx parcel: engine is elevated, running cert install in current process");
        return ImportTrustedPeopleCertificate(certificate);
    }
    TraceFormat(APPX_SOURCE, L"Appx parcel: engine is not elevated, requesting cert install in proxy");
    IProxyProvider* provider = ProxyProvider();
    CProxyHandler* elevated = provider ? provider->GetElevatedProxy() : nullptr;
    if (!elevated) {
        TraceFormat(APPX_SOURCE,
                    L"Appx parcel handler: failed to obtain elevated proxy handler for cert install request");
        return kNoProxy;
    }
    const std::vector<BYTE> record = WriteAppxRequestRecord(PlainRequest(kCertificate));
    return elevated->SendRequest(kAppxRequest, 0, certificate.c_str(), ByteLength(certificate), record.data(),
                                 static_cast<DWORD>(record.size()));
}

DWORD CAppxParcelHandler::AnswerProgress(CProxyHandler& pipe, DWORD current, bool install)
{
    VARIANT_BOOL cancel = VARIANT_FALSE;
    const HRESULT status = GetParcel().Fire_OnParcelProgress(_stringx(), static_cast<int>(current), 100,
                                                             static_cast<EnumProgressFlags>(1), &cancel);
    CallbackAnswer answer;
    answer.status = status;
    answer.cancel = install ? static_cast<DWORD>(static_cast<WORD>(cancel)) : 0;
    const std::vector<BYTE> bytes = WriteCallbackAnswer(answer);
    pipe.WriteMessage(kPipeReply | kPipeCallback, bytes.data(), static_cast<DWORD>(bytes.size()));
    return static_cast<DWORD>(status);
}

_stringx CAppxParcelHandler::GetPackageFullName()
{
    CParcel& parcel = GetParcel();
    const _stringx name = parcel.GetAttributeNoCase(L"Name");
    const _stringx publisher = parcel.GetAttributeNoCase(L"Publisher");
    const _stringx architecture = parcel.GetAttributeNoCase(L"ProcessorArchitecture");
    DWORD high = 0;
    DWORD low = 0;
    const _stringx version = parcel.GetAttributeNoCase(L"Version");
    if (!version.empty())
        ParseVersion4(version, &high, &low);
    const std::vector<BYTE> record = WriteAppxRequestRecord({kFullName, 0, high, low, architecture, publisher});

    CProxyHandler* companion = Companion();
    if (!companion)
        return _stringx();
    if (companion->SendRequest(kAppxRequest, 0, name.c_str(), ByteLength(name), record.data(),
                               static_cast<DWORD>(record.size())) != 0)
        return _stringx();
    // {status, byte length, name}: a length beyond the reply, or one that
    // splits a character, gives no name.
    const PipeBytes reply = companion->Payload();
    _stringx fullName;
    DWORD length = 0;
    if (reply.size() >= 8) {
        memcpy(&length, reply.data() + 4, sizeof(length));
        if (length % sizeof(wchar_t) == 0 && length <= reply.size() - 8)
            fullName = _stringx(reinterpret_cast<const wchar_t*>(reply.data() + 8), length / sizeof(wchar_t));
    }
    if (fullName.empty()) {
        TraceFormat(APPX_SOURCE, L"Appx parcel: failed to obtain package full name, status 0x%08x", 0);
        return _stringx();
    }
    TraceFormat(APPX_SOURCE, L"Appx parcel: requested full name for package: %s", fullName.c_str());
    return fullName;
}

HRESULT CAppxParcelHandler::Detect(EnumParcelInstallState* state, bool)
{
    if (!HasOwnDetection()) {
        TraceFormat(APPX_SOURCE, L"Appx parcel detect: condition is overridden by setup.xml detect");
        return 1;
    }
    CParcel& parcel = GetParcel();
    std::unique_ptr<CAppxInstalledCondition> condition;
    try {
        condition = std::make_unique<CAppxInstalledCondition>();
        for (const wchar_t* name : {L"Name", L"Publisher", L"ProcessorArchitecture", L"Version"})
            condition->Attributes().SetAttribute(name, parcel.GetAttributeNoCase(name));
        condition->Attributes().SetAttribute(L"Compare", L"Equal");
    } catch (const std::bad_alloc&) {
        TraceFormat(APPX_SOURCE, L"Appx parcel detect: failed to create new installed condition");
        return E_OUTOFMEMORY;
    }
    HRESULT hr = condition->Validate();
    if (FAILED(hr)) {
        TraceFormat(APPX_SOURCE, L"Appx detect condition: failed to validate condition, status 0x%08x", hr);
        return hr;
    }
    bool installed = false;
    hr = condition->Evaluate(&installed);
    if (FAILED(hr)) {
        TraceFormat(APPX_SOURCE, L"Appx detect condition: failed to evaluate condition, status 0x%08x", hr);
        return hr;
    }
    *state = installed ? episInstalled : episAbsent;
    return S_OK;
}
