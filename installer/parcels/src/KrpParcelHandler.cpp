#include "parcels/KrpParcelHandler.h"

#include <com/Bstr.h>

#include "automation/ProxyStubRegistration.h"
#include "conditions/KrpInstalledCondition.h"
#include "kr/copy_file.h"
#include "kr/file_system.h"
#include "kr/temp_folders.h"
#include "kr/trace_log.h"
#include "parcels/EngineServices.h"
#include "parcels/Operation.h"
#include "parcels/Parcel.h"
#include "parcels/ParcelRoutines.h"
#include "parcels/ProxyConversation.h"
#include "parcels/ProxyProvider.h"

#define KRP_SOURCE TraceSource{L"KrpParcelHandler", __LINE__}

namespace {

constexpr DWORD kSuiteExtensionCall = 9;
constexpr DWORD kKrpRequest = 10;
constexpr DWORD kCallbackError = 1;
constexpr DWORD kCallbackProgress = 2;
constexpr DWORD kCallbackEnded = 3;
constexpr DWORD kCallbackQuery = 4;
constexpr HRESULT kNoProxy = static_cast<HRESULT>(0x800700E9);
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr wchar_t kScriptEngine[] = L"REViziz.dll";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool Contains(const _stringx& text, const wchar_t* part)
{
    return text.to_wstringx().find(_wstringx(part)) != _wstringx::npos;
}

bool ContainsNoCase(const _stringx& text, const wchar_t* part)
{
    return text.find(_stringx(part)) != _stringx::npos;
}

DWORD TextLength(const _stringx& text)
{
    return static_cast<DWORD>(text.length() * sizeof(wchar_t));
}

void WriteAnswer(CProxyHandler& pipe, const std::vector<BYTE>& bytes)
{
    pipe.WriteMessage(kPipeReply | kPipeCallback, bytes.data(), static_cast<DWORD>(bytes.size()));
}

class KeyHolder {
public:
    KeyHolder() noexcept = default;
    ~KeyHolder()
    {
        if (key_)
            RegCloseKey(key_);
    }
    KeyHolder(const KeyHolder&) = delete;
    KeyHolder& operator=(const KeyHolder&) = delete;
    HKEY* put() noexcept { return &key_; }
    HKEY get() const noexcept { return key_; }

private:
    HKEY key_ = nullptr;
};

} // namespace

HRESULT MarshalParcel(IParcel2* parcel, IStream** stream)
{
    if (!stream)
        return E_POINTER;
    *stream = nullptr;
    com::ComPtr<IStream> made;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, made.Put());
    if (FAILED(hr))
        return hr;
    hr = CoMarshalInterface(made.Get(), IID_IParcel2, parcel, MSHCTX_INPROC, nullptr, MSHLFLAGS_TABLESTRONG);
    if (FAILED(hr))
        return hr;
    *stream = made.Detach();
    return S_OK;
}

HRESULT UnmarshalParcel(IStream* stream, IParcel2** parcel)
{
    if (!parcel)
        return E_POINTER;
    *parcel = nullptr;
    if (!stream)
        return E_INVALIDARG;
    const LARGE_INTEGER start = {};
    HRESULT hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr))
        return hr;
    return CoUnmarshalInterface(stream, IID_IParcel2, reinterpret_cast<void**>(parcel));
}

CKrpParcelHandler::~CKrpParcelHandler()
{
    ReleaseMarshalledParcel();
}

std::unique_ptr<CParcelHandler> CKrpParcelHandler::Make(CParcel& parcel)
{
    return std::make_unique<CKrpParcelHandler>(parcel);
}

// A table-strong marshalling holds a reference to the parcel until its data is released.
void CKrpParcelHandler::ReleaseMarshalledParcel()
{
    m_unmarshalledParcel.Reset();
    if (!m_marshalledParcel)
        return;
    const LARGE_INTEGER start = {};
    if (SUCCEEDED(m_marshalledParcel->Seek(start, STREAM_SEEK_SET, nullptr)))
        CoReleaseMarshalData(m_marshalledParcel.Get());
    m_marshalledParcel.Reset();
}

HRESULT CKrpParcelHandler::Run()
{
    COperation* operation = GetOperation();
    if (!operation)
        return S_FALSE;
    CParcel& parcel = GetParcel();
    IEngineServices& engine = *EngineServices();
    TraceFormat(KRP_SOURCE, L"Running KRP parcel operation");
    TakeSnapshot();
    parcel.Fire_OnParcelEvent(ParcelProgressStateOf(operation->GetKind()));

    const EnumInstallMode mode = engine.GetInstallMode();
    _stringx tempDisk1 = kr::get_temp_file_name(_stringx(), _stringx(), true);
    // Without a name there is no folder: a lone backslash would make the
    // clean-up below delete the current drive's root.
    if (!tempDisk1.empty() && !tempDisk1.ends_with_char(L'\\'))
        tempDisk1 += L"\\";

    _stringx target;
    _stringx engineDll;
    if (mode == eimInstall || (parcel.GetDetectedState() == episAbsent && operation->GetKind() == episInstalled)) {
        target = parcel.FormatString(operation->GetTarget());
        if (!target.is_absolute_path())
            target = parcel.GetPackagePath().path_combine(target);
        engineDll = target.path_folder().path_combine(kScriptEngine);
    } else {
        _stringx disk1;
        if (const HRESULT hr = LocateDisk1Folder(disk1); FAILED(hr)) {
            TraceFormat(KRP_SOURCE, L"KRP parcel: failed to locate disk1 target, error %x", hr);
            m_lastStatus = hr;
            return hr;
        }
        target = disk1.path_combine(operation->GetTarget());
        engineDll = tempDisk1.path_combine(kScriptEngine);
        kr::create_directory_tree(tempDisk1);
        kr::copy_file(disk1.path_combine(kScriptEngine), engineDll, kr::copy_chunk_size, false);
    }
    TraceFormat(KRP_SOURCE, L"KRP parcel target: %s", target.c_str());
    TraceFormat(KRP_SOURCE, L"Will launch KRP parcel from: %s", engineDll.c_str());
    if (!kr::path_test(target, kr::path_accept_file)) {
        TraceFormat(KRP_SOURCE, L"Parcel target exe does not exist");
        kr::delete_tree(tempDisk1, false);
        m_lastStatus = kFileNotFound;
        return kFileNotFound;
    }

    _stringx raw = engine.IsSilent() ? operation->GetSilentCommandLine() : operation->GetCommandLine();
    raw += L" -l[KRSelectedLanguage] -tempdisk1folder:\"";
    raw += tempDisk1;
    raw += L"\"";
    _stringx commandLine = parcel.FormatString(raw);
    TraceFormat(KRP_SOURCE, L"KRP parcel command line: %s", MaskHiddenPropertyValues(commandLine).c_str());
    const _stringx switches = BuildFeatureSwitches(mode, operation->GetKind(), commandLine);
    if (!switches.empty())
        commandLine = JoinWithSpace(commandLine, switches);
    CParcelLoggingParameters* logging = parcel.LoggingParameters();
    if (!engine.GetParcelLogFolder().empty() && logging) {
        const _stringx logCommandLine = parcel.FormatString(logging->GetCommandLine());
        if (!logCommandLine.empty())
            commandLine = JoinWithSpace(commandLine, logCommandLine);
        else
            TraceFormat(KRP_SOURCE, L"KRP parcel: empty log command line provided for parcel");
    }
    TraceFormat(KRP_SOURCE, L"KRP parcel final command line: %s", MaskHiddenPropertyValues(commandLine).c_str());

    com::ComPtr<com::Object<CProxySuiteExtension>> extension;
    if (const HRESULT created = CProxySuiteExtension::CreateInstance(extension); FAILED(created)) {
        TraceFormat(KRP_SOURCE, L"Failed to create extension handler for KRP parcel, error %x", created);
        m_lastStatus = created;
    } else {
        extension->SetParcel(&parcel);
        extension->SetLogPrefix(L"(KRP Parcel): ");
        m_extension = std::move(extension);
        m_inProcess = false;
        if ((parcel.IsElevationRequired() && !engine.IsElevated()) || Is64Bit())
            m_lastStatus = RunElevated(engineDll, target, commandLine);
        else
            m_lastStatus = RunInProcess(engineDll, target, commandLine);
    }

    kr::delete_tree(tempDisk1, false);
    TraceFormat(KRP_SOURCE, L"Final result status for KRP parcel: %x", m_lastStatus);
    parcel.Fire_OnParcelEvent(eppsComplete);
    return m_lastStatus;
}

HRESULT CKrpParcelHandler::RunInProcess(const _stringx& engineDll, const _stringx& target,
                                        const _stringx& commandLine)
{
    m_inProcess = true;
    ReleaseMarshalledParcel();
    com::ComPtr<IParcel2> parcel;
    HRESULT hr = GetParcel().QueryInterface(IID_IParcel2, parcel.PutVoid());
    if (SUCCEEDED(hr))
        hr = MarshalParcel(parcel.Get(), m_marshalledParcel.Put());
    if (FAILED(hr))
        TraceFormat(KRP_SOURCE,
                    L"KRP parcel handler: failed to marshal parcel, error 0x%08x. Parcel progress information will "
                    L"be unavailable.",
                    hr);
    const HRESULT result =
        RunSetup(engineDll, target, commandLine, static_cast<ISuiteExtension2*>(m_extension.Get()));
    parcel.Reset();
    return result;
}

_stringx CKrpParcelHandler::BuildFeatureSwitches(EnumInstallMode mode, int operationKind,
                                                  const _stringx& commandLine)
{
    CParcel& parcel = GetParcel();
    const _stringx install = parcel.GetAttributeNoCase(L"KRParcelFeatureInstall");
    const _stringx remove = parcel.GetAttributeNoCase(L"KRParcelFeatureRemove");
    const bool hasInstall = Contains(commandLine, L"KRFeatureInstall=");
    const bool hasRemove = Contains(commandLine, L"KRFeatureRemove=");
    switch (mode) {
    case eimInstall: {
        if (hasInstall)
            return _stringx();
        _stringx switches = L"KRFeatureInstall=" + (install.empty() ? _stringx(L"ALL") : install);
        if (!remove.empty())
            switches += L" KRFeatureRemove=" + remove;
        return switches;
    }
    case eimModify: {
        if (operationKind == episRemove)
            return L"/removeonly";
        const _stringx installPart = !hasInstall && !install.empty() ? L"KRFeatureInstall=" + install : _stringx();
        const _stringx removePart = !hasRemove && !remove.empty() ? L"KRFeatureRemove=" + remove : _stringx();
        return installPart + L" " + removePart;
    }
    case eimRemove:
        if (hasRemove || ContainsNoCase(commandLine, L"/removeonly") || ContainsNoCase(commandLine, L"-removeonly"))
            return _stringx();
        return L"/removeonly";
    case eimRepair:
        if (ContainsNoCase(commandLine, L"-repaironly") || ContainsNoCase(commandLine, L"/repaironly"))
            return _stringx();
        return L"/repaironly";
    default:
        return _stringx();
    }
}

HRESULT CKrpParcelHandler::LocateDisk1Folder(_stringx& folder)
{
    folder.clear();
    const _stringx productCode = GetParcel().GetAttributeNoCase(L"ProductCode");
    if (productCode.empty()) {
        TraceFormat(KRP_SOURCE, L"KRP parcel: can't find disk1 target, no product code defined");
        return E_INVALIDARG;
    }
    const _stringx keyPath = kUninstallKey + productCode;
    KeyHolder key;
    LSTATUS opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, key.put());
    if (opened != ERROR_SUCCESS)
        opened = RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, key.put());
    if (opened != ERROR_SUCCESS) {
        TraceFormat(KRP_SOURCE, L"KRP parcel: failed to open uninstall key, error %x", opened);
        return HRESULT_FROM_WIN32(opened);
    }
    wchar_t logFile[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH * sizeof(wchar_t);
    DWORD type = 0;
    LSTATUS read = RegQueryValueExW(key.get(), L"LogFile", nullptr, &type, reinterpret_cast<BYTE*>(logFile), &size);
    // A missing value, or one that is no text, reads as nothing.
    if (read == ERROR_FILE_NOT_FOUND || (read == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ)) {
        read = ERROR_SUCCESS;
        logFile[0] = L'\0';
    }
    if (read != ERROR_SUCCESS || logFile[0] == L'\0') {
        TraceFormat(KRP_SOURCE, L"KRP parcel: unable to obtain log file path (result %x)", read);
        return read == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(read);
    }
    folder = _stringx(logFile).path_folder();
    return S_OK;
}

bool CKrpParcelHandler::IsRebootStatus()
{
    return IsRebootRequired(static_cast<DWORD>(m_lastStatus) & 0xFFFF, false);
}

void CKrpParcelHandler::GetRebootCodes(std::vector<DWORD>& codes)
{
    codes = {1641, 3010, 3011};
}

HRESULT CKrpParcelHandler::Detect(EnumParcelInstallState* state, bool)
{
    if (!HasOwnDetection()) {
        TraceFormat(KRP_SOURCE, L"KRP parcel detect: condition is overridden by setup.xml detect");
        return 1;
    }
    CParcel& parcel = GetParcel();
    std::unique_ptr<CKrpInstalledCondition> condition;
    try {
        condition = std::make_unique<CKrpInstalledCondition>();
        for (const wchar_t* name : {L"ProductCode", L"ProductVersion"})
            condition->Attributes().SetAttribute(name, parcel.GetAttributeNoCase(name));
        condition->Attributes().SetAttribute(L"Compare", L"Equal");
    } catch (const std::bad_alloc&) {
        TraceFormat(KRP_SOURCE, L"Krp parcel detection: failed to create new installed condition");
        return E_OUTOFMEMORY;
    }
    HRESULT hr = condition->Validate();
    if (FAILED(hr)) {
        TraceFormat(KRP_SOURCE, L"Krp parcel detection: failed to validate installed condition, error %x", hr);
        return hr;
    }
    bool installed = false;
    hr = condition->Evaluate(&installed);
    if (FAILED(hr)) {
        TraceFormat(KRP_SOURCE, L"Krp parcel detection: failed to evaluate installed condition, error %x", hr);
        return hr;
    }
    *state = installed ? episInstalled : episAbsent;
    return S_OK;
}

HRESULT CKrpParcelHandler::GetFeatureState(const _stringx& feature, int* state)
{
    _stringx disk1;
    if (const HRESULT hr = LocateDisk1Folder(disk1); FAILED(hr)) {
        TraceFormat(KRP_SOURCE, L"KRP parcel: could not determine feature state for %s, error %x", feature.c_str(), hr);
        return hr;
    }
    const HMODULE engine = LoadLibraryW(disk1.path_combine(kScriptEngine).c_str());
    if (!engine) {
        const DWORD error = GetLastError();
        TraceFormat(KRP_SOURCE, L"KRP parcel: failed to load REViziz.dll for feature detection, error %x", error);
        return HRESULT_FROM_WIN32(error);
    }
    HRESULT hr = S_OK;
    const auto entry = reinterpret_cast<SuiteIsFeatureInstalledEntry>(
        reinterpret_cast<void*>(GetProcAddress(engine, "SuiteIsFeatureInstalled")));
    if (!entry) {
        TraceFormat(KRP_SOURCE,
                    L"KRP parcel: could not detect feature state, cached REViziz does not support feature query");
        hr = static_cast<HRESULT>(0x8007007F);
    } else {
        BYTE installed = 0;
        hr = entry(disk1.path_combine(L"Setup.qlg").c_str(), feature.c_str(), &installed);
        if (hr < 0) {
            TraceFormat(KRP_SOURCE, L"KRP parcel: failed to detect feature state, script engine returned %d", hr);
        } else {
            *state = installed != 0 ? 1 : 0;
            hr = S_OK;
        }
    }
    FreeLibrary(engine);
    return hr;
}

HRESULT CKrpParcelHandler::RunElevated(const _stringx& engineDll, const _stringx& target,
                                       const _stringx& commandLine)
{
    TraceFormat(KRP_SOURCE, L"KRP parcel requires elevation");
    IProxyProvider* provider = ProxyProvider();
    CProxyHandler* proxy = provider ? provider->GetElevatedProxy() : nullptr;
    if (!proxy) {
        TraceFormat(KRP_SOURCE, L"Could not obtain proxy handler for elevated KRP parcel");
        return kNoProxy;
    }
    ProxyHandlerRegistration registration(*proxy, kSuiteExtensionCall, m_extension.Get());
    const _stringx data2 = commandLine + L" -krenginedir:\"" + engineDll + L"\"";
    const DWORD status = proxy->SendRequest(kKrpRequest, 0, target.c_str(), TextLength(target), data2.c_str(),
                                            TextLength(data2));
    if (status != 0)
        return HresultOfStatus(status);
    for (;;) {
        if (const DWORD error = proxy->ReadMessage())
            return HresultOfStatus(error);
        if (!proxy->HasPayload())
            return kNoProxy;
        const PipeBytes payload = proxy->Payload();
        if (proxy->Type() == kPipeRequest) {
            ServeExtensionRequest(*proxy, payload);
            continue;
        }
        DWORD code = 0;
        if (proxy->Type() != kPipeCallback || !ReadWord(payload, code))
            continue;
        if (code == kCallbackEnded) {
            // A lost result is no success.
            DWORD result = 0;
            if (const DWORD error = ReadFinalResult(*proxy, result))
                return HresultOfStatus(error);
            return static_cast<HRESULT>(result);
        }
        KrpProgressCallback callback;
        if ((code != kCallbackError && code != kCallbackProgress && code != kCallbackQuery) ||
            !ReadKrpProgressCallback(payload, callback))
            continue;
        if (code == kCallbackError)
            AnswerError(*proxy, callback);
        else if (code == kCallbackProgress)
            AnswerProgress(*proxy, callback);
        else
            AnswerQuery(*proxy, callback);
    }
}

DWORD CKrpParcelHandler::AnswerError(CProxyHandler& pipe, const KrpProgressCallback& callback)
{
    CParcel& parcel = GetParcel();
    int action = 0;
    com::Bstr text(std::wstring_view(callback.text.c_str(), callback.text.length()));
    CallbackAnswer answer;
    answer.status = parcel.Events().Fire_OnFileError(static_cast<IParcel2*>(&parcel), text.Get(),
                                                     static_cast<int>(callback.words[0]), &action);
    answer.action = static_cast<DWORD>(action);
    WriteAnswer(pipe, WriteCallbackAnswer(answer));
    return static_cast<DWORD>(answer.status);
}

DWORD CKrpParcelHandler::AnswerProgress(CProxyHandler& pipe, const KrpProgressCallback& callback)
{
    VARIANT_BOOL cancel = VARIANT_FALSE;
    CallbackAnswer answer;
    answer.status = GetParcel().Fire_OnParcelProgress(callback.text, static_cast<int>(callback.words[1]),
                                                      static_cast<int>(callback.words[2]),
                                                      static_cast<EnumProgressFlags>(callback.words[0]), &cancel);
    answer.cancel = static_cast<WORD>(cancel);
    WriteAnswer(pipe, WriteCallbackAnswer(answer));
    return static_cast<DWORD>(answer.status);
}

DWORD CKrpParcelHandler::AnswerQuery(CProxyHandler& pipe, const KrpProgressCallback& callback)
{
    QueryAnswer answer;
    _stringx media = callback.default_answer;
    int kind = QueryAnswer::kNone;
    answer.status = OnQuery(callback.text, static_cast<int>(callback.query_kind), media, &kind);
    answer.kind = static_cast<DWORD>(kind);
    answer.answer = media;
    WriteAnswer(pipe, WriteQueryAnswer(answer));
    return static_cast<DWORD>(answer.status);
}

IParcel2* CKrpParcelHandler::CallbackParcel()
{
    if (m_inProcess && !m_unmarshalledParcel) {
        const HRESULT hr = UnmarshalParcel(m_marshalledParcel.Get(), m_unmarshalledParcel.Put());
        if (FAILED(hr))
            TraceFormat(KRP_SOURCE,
                        L"KRP parcel handler: failed to unmarshal parcel, error 0x%08x. Progress information will not "
                        L"be available.",
                        hr);
    }
    return m_inProcess ? m_unmarshalledParcel.Get() : nullptr;
}

HRESULT CKrpParcelHandler::OnError(const _stringx& text, int errorFlags, int* action)
{
    CProxyStubRegistration proxyStubs;
    com::Bstr message(std::wstring_view(text.c_str(), text.length()));
    if (IParcel2* parcel = CallbackParcel())
        return parcel->SendOnError(message.Get(), errorFlags, action);
    CParcel& parcel = GetParcel();
    return parcel.Events().Fire_OnFileError(static_cast<IParcel2*>(&parcel), message.Get(), errorFlags, action);
}

HRESULT CKrpParcelHandler::OnProgress(const _stringx& text, int current, int maximum, int flags,
                                      VARIANT_BOOL* cancel)
{
    CProxyStubRegistration proxyStubs;
    if (IParcel2* parcel = CallbackParcel()) {
        com::Bstr message(std::wstring_view(text.c_str(), text.length()));
        return parcel->SendOnParcelProgress(message.Get(), current, maximum, static_cast<EnumProgressFlags>(flags),
                                            cancel);
    }
    return GetParcel().Fire_OnParcelProgress(text, current, maximum, static_cast<EnumProgressFlags>(flags), cancel);
}

HRESULT CKrpParcelHandler::OnQuery(const _stringx& sourceFile, int, _stringx& answer, int* answerKind)
{
    CProxyStubRegistration proxyStubs;
    com::Bstr source(std::wstring_view(sourceFile.c_str(), sourceFile.length()));
    VARIANT_BOOL cancel = VARIANT_FALSE;
    com::Bstr media;
    HRESULT hr = S_OK;
    if (IParcel2* parcel = CallbackParcel()) {
        hr = parcel->SendOnNextDisk(source.Get(), &cancel, media.Put());
    } else {
        CParcel& own = GetParcel();
        hr = EngineServices()->Fire_OnPromptForSourceMedia(static_cast<IParcel2*>(&own), source.Get(), &cancel,
                                                            media.Put());
    }
    int kind = 4;
    if (FAILED(hr)) {
        TraceFormat(KRP_SOURCE, L"KRP parcel handler: failed to resolve source media file %s, error %x, requesting "
                                L"parcel abort",
                    sourceFile.c_str(), hr);
        kind = 2;
    } else if (cancel == VARIANT_TRUE) {
        kind = 2;
    } else {
        answer = media.Get() ? _stringx(media.Get()) : _stringx();
    }
    if (answerKind)
        *answerKind = kind;
    return S_OK;
}
