#include "suite/SetupEngine.h"

#include "automation/SuiteErrors.h"
#include "automation/TypeLibrary.h"
#include "conditions/FormattedString.h"
#include "conditions/SuiteConditionKinds.h"
#include "conditions/InstalledProductConditions.h"
#include "kr/bootstrap_exception.h"
#include "kr/com_exception.h"
#include "kr/elevation.h"
#include "kr/holders.h"
#include "kr/trace_log.h"
#include "objects/SuiteObjectFactory.h"
#include "payload/Stream.h"
#include "suite/PasswordHasher.h"
#include "suite/SetupXmlLoad.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr const wchar_t* kCommandLineReserved[] = {
    L"KRDelayReboot", L"ProgramFilesFolder", L"ProgramFiles64Folder", L"CommonFilesFolder", L"CommonFiles64Folder",
    L"WindowsFolder", L"SystemFolder", L"System64Folder", L"SETUPEXEDIR", L"SETUPEXENAME", L"KRPasswordValid",
    L"KROnRebooted", L"SETUPSUPPORTDIR", L"REVizizLanguages", L"KRSelectedLanguage", L"KRDefaultLanguage",
    L"KRShowLanguageSelection", L"KRPerformDelayedReboot", L"Password", L"SuiteId", L"KRElevationRequired",
    L"UpdateUrl", L"ProductVersion", L"KRHiddenProperties", L"UninstallOrder"};
constexpr const wchar_t* kAutomationReserved[] = {L"UninstallOrder", L"SuiteId"};

_stringx ModulePath()
{
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return _stringx(path);
}

bool IsWebAddress(const _stringx& value)
{
    return value.starts_with(L"http://") || value.starts_with(L"https://");
}

} // namespace

const NameSet& CSetupEngine::CommandLineReservedNames()
{
    static const NameSet names(std::begin(kCommandLineReserved), std::end(kCommandLineReserved));
    return names;
}

const NameSet& CSetupEngine::AutomationReservedNames()
{
    static const NameSet names(std::begin(kAutomationReserved), std::end(kAutomationReserved));
    return names;
}

std::span<const com::InterfaceEntry> CSetupEngine::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CSetupEngine, IBootstrap2>(IID_IUnknown),
        com::InterfaceOf<CSetupEngine, IBootstrap2>(IID_IDispatch),
        com::InterfaceOf<CSetupEngine, IBootstrap2>(IID_IBootstrap),
        com::InterfaceOf<CSetupEngine, IBootstrap2>(IID_IBootstrap2),
        com::InterfaceOf<CSetupEngine, IConnectionPointContainer>(IID_IConnectionPointContainer),
    };
    return table;
}

CSetupEngine::CSetupEngine()
    : com::DispatchImpl<IBootstrap2>(TessarelTypeInfo<&IID_IBootstrap2>()),
      m_events(*this, IID__IBootstrapEvents),
      m_model(std::make_unique<CSuiteModel>()),
      m_loadSetupXml(DefaultSetupXmlLoader()),
      m_update(DefaultUpdateHandler(*this))
{
    AddConnectionPoint(m_events);
    SetSetupEngine(this);
    RegisterInstalledProductConditions();
    SetEngineServices(this);
    SetFeatureHost(this);
    RegisterSuiteConditionKinds();
    SetStagingHost(this);
    SetTransactionHost(this);

    m_launcherPath = ModulePath();
    const size_t slash = m_launcherPath.rfind(L"\\");
    m_launcherFolder = slash == _stringx::npos ? _stringx() : m_launcherPath.substr(0, slash);
    const _stringx launcherName = slash == _stringx::npos ? m_launcherPath : m_launcherPath.substr(slash + 1);
    ENGINE_TRACE(L"Engine: we're running from %s", m_launcherPath.c_str());
    m_properties.SetAttributeLocked(L"SETUPEXEDIR", m_launcherFolder);
    m_properties.SetAttributeLocked(L"SETUPEXENAME", launcherName);

    m_elevated = kr::is_elevated();
    if (!m_elevated)
        m_properties.SetAttributeLocked(L"KRElevationRequired", L"true");
    ENGINE_TRACE(L"Engine: running with elevated privileges: %s", m_elevated ? L"yes" : L"no");

    // A stream that cannot be opened shows up when setup.xml is extracted.
    m_stream = std::make_unique<STREAM>(m_launcherPath);
    CommandLineReservedNames();
    AutomationReservedNames();
    m_properties.SetAttributeLocked(L"KRSuiteParcelAbsentState", L"0");
    m_properties.SetAttributeLocked(L"KRSuiteParcelInstalledState", L"1");
}

CSetupEngine::~CSetupEngine()
{
    ShutdownUIThread();
    m_model.reset();
    // The user interface's and other resource DLLs are loaded from the
    // staging folder: a loaded one would keep it from being removed.
    m_uiResource.reset();
    m_resources.clear();
    if (!m_keepStagedFiles)
        m_savedState.RemoveStagingFiles();
    if (m_instanceMutex.get()) {
        ReleaseMutex(m_instanceMutex.get());
        m_instanceMutex.reset(nullptr);
    }
    m_stream.reset();
    // The engine pointer stays: nothing may use it after the engine is gone,
    // and the services faces go with the parcels and features they served.
    SetEngineServices(nullptr);
    SetFeatureHost(nullptr);
    SetStagingHost(nullptr);
    SetTransactionHost(nullptr);
}

STDMETHODIMP CSetupEngine::QueryInterface(REFIID iid, void** out)
{
    return com::QueryInterfaceTable(this, InterfaceTable(), iid, out);
}

STDMETHODIMP_(ULONG) CSetupEngine::AddRef()
{
    return InternalAddRef();
}

STDMETHODIMP_(ULONG) CSetupEngine::Release()
{
    const ULONG left = InternalRelease();
    if (left == 0)
        delete this;
    return left;
}

void CSetupEngine::SetProperty(const _stringx& name, const _stringx& value, bool overwriteLocked)
{
    const _wstringx exact(name.c_str());
    if (exact == L"KRPassword") {
        SetPassword(value);
    } else if (exact == L"KRPasswordValid") {
        // Only the password check sets it.
    } else if (exact == L"KRSelectedLanguage") {
        m_languages.SetAttribute(name, value);
        m_properties.SetAttribute(name, value);
        ResolveProductName();
    } else if (exact == L"ORIGINALSETUPEXEDIR") {
        ENGINE_TRACE(L"Engine: running from temp, original setup: %s", value.c_str());
        m_properties.SetAttributeLocked(name, value);
    } else if (exact == L"ORIGINALSETUPEXENAME") {
        m_properties.SetAttributeLocked(name, value);
    } else if (exact == L"SuiteId") {
        TakeSuiteId(value);
    } else if (exact == L"UpdateUrl") {
        if (IsWebAddress(value))
            m_updateUrl = value;
    } else if (name == L"KRHiddenProperties") {
        if (!m_hiddenNamesSet) {
            m_hiddenNamesSet = true;
            size_t start = 0;
            while (start <= value.length()) {
                const size_t end = value.find(L';', start);
                const _stringx item = value.substr(start, end == _stringx::npos ? _stringx::npos : end - start);
                if (!item.empty())
                    m_hiddenNames.push_back(item);
                if (end == _stringx::npos)
                    break;
                start = end + 1;
            }
        }
    } else if (exact == L"UninstallOrder") {
        m_reverseUninstallOrder = value == L"ReverseOfPackageOrder";
    } else {
        const bool previous = m_properties.OverwriteLocked();
        m_properties.SetOverwriteLocked(overwriteLocked);
        m_properties.SetAttribute(name, value);
        m_properties.SetOverwriteLocked(previous);
        bool hidden = false;
        for (const _stringx& hiddenName : m_hiddenNames)
            hidden = hidden || hiddenName == name;
        ENGINE_TRACE(L"Engine: property '%s' value now '%s'", name.c_str(), hidden ? L"********" : value.c_str());
    }
}

void CSetupEngine::SetPassword(const _stringx& entered)
{
    const _stringx stored = m_properties.GetAttribute(L"Password");
    if (stored.empty()) {
        ENGINE_TRACE(L"Password set with no password in setup.xml");
        m_properties.SetAttributeLocked(L"KRPasswordValid", L"true");
        m_passwordValid = true;
        return;
    }
    CPasswordHasher hasher;
    m_passwordValid = hasher.CheckSetupPassword(stored, entered);
    if (m_passwordValid) {
        ENGINE_TRACE(L"Valid password supplied");
        m_properties.SetAttributeLocked(L"KRPasswordValid", L"true");
    } else {
        ENGINE_TRACE(L"Invalid password supplied");
    }
}

void CSetupEngine::TakeSuiteId(const _stringx& value)
{
    m_properties.SetAttributeLocked(L"SuiteId", value);
    HANDLE mutex = CreateMutexW(nullptr, TRUE, value.c_str());
    const DWORD error = GetLastError();
    if (!mutex)
        return;
    // The handle is kept even when another run owns the mutex; the destructor closes it.
    m_instanceMutex.reset(mutex);
    if (error == ERROR_ALREADY_EXISTS)
        throw bootstrap_exception(static_cast<HRESULT>(0x80040711));
}

_stringx CSetupEngine::FormatString(const _stringx& text)
{
    return FormatPropertyString(text, &m_properties);
}

_stringx CSetupEngine::ResolveStringId(const _stringx& id)
{
    kr::bstr_holder resolved;
    BSTR idText = SysAllocStringLen(id.c_str(), static_cast<UINT>(id.length()));
    const HRESULT hr = ResolveString(idText, resolved.address());
    SysFreeString(idText);
    if (FAILED(hr) || !resolved.get())
        return _stringx();
    return _stringx(resolved.get());
}

void CSetupEngine::RequestDelayedReboot()
{
    SetProperty(L"KRDelayReboot", L"true", false);
    m_delayedReboot = true;
}

HRESULT CSetupEngine::ReportStagingProgress(const _stringx& file, ULONGLONG current, ULONGLONG maximum)
{
    kr::bstr_holder name(SysAllocStringLen(file.c_str(), static_cast<UINT>(file.length())));
    const HRESULT hr = Fire_OnStagingProgress(name.get(), static_cast<LONGLONG>(current),
                                              static_cast<LONGLONG>(maximum), &m_uiAnswer);
    if (FAILED(hr))
        return hr;
    if (m_uiAnswer == VARIANT_TRUE)
        return HRESULT_FROM_WIN32(ERROR_INSTALL_USEREXIT);
    return hr;
}

void CSetupEngine::OnBootstrapEvent(EnumBootstrapState state)
{
    m_bootstrapState = state;
    Fire_OnBootstrapEvent(state, &m_uiAnswer);
}

HRESULT CSetupEngine::CreateSuiteObject(const _stringx& name, IDispatch** object, HMODULE* module)
{
    return CreateNamedSuiteObject(name, GetStagingFolder(), object, module);
}

void ThrowModelEntryMissing()
{
    throw com_exception(E_OUTOFMEMORY);
}

_stringx GetEngineProperty(const _stringx& name)
{
    IEngineServices* engine = EngineServices();
    return engine ? engine->GetProperty(name) : _stringx();
}
