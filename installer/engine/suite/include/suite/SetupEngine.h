#pragma once

// The one engine object of a launcher process in engine mode: the suite's
// property store, its model, the setup stream and the suite-instance mutex,
// the automation object Bootstrap with its event source, and the services the
// conditions, the parcels and the setup.xml reader reach through the
// process-wide engine pointer.

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <span>

#include <com/ConnectionPoint.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "actions/ActionEngine.h"
#include "automation/Interfaces.h"
#include "conditions/ExtensionHost.h"
#include "conditions/SetupEngine.h"
#include "kr/handle_holder.h"
#include "kr/stringx.h"
#include "languages/LanguageManager.h"
#include "parcels/EngineServices.h"
#include "parcels/FeatureHost.h"
#include "parcels/MaintenanceRegistrar.h"
#include "parcels/ProxyHandler.h"
#include "parcels/ProxyProvider.h"
#include "parcels/TransactionHost.h"
#include "parcels/WindowsFeatureDefinition.h"
#include "properties/Properties.h"
#include "staging/StagingHost.h"
#include "resources/Resource.h"
#include "suite/EngineFaces.h"
#include "suite/StateManager.h"
#include "suite/SuiteActions.h"
#include "suite/SuiteModel.h"
#include "suitemodel/SuiteModelBuilder.h"
#include "update/UpdateHandler.h"
#include "update/UpdateHost.h"

class STREAM;

// Names compared without regard to case.
struct NoCaseLess {
    bool operator()(const _stringx& a, const _stringx& b) const noexcept { return a.compare(b) < 0; }
};
using NameSet = std::set<_stringx, NoCaseLess>;

class CSetupEngine : public com::ObjectRoot,
                     public com::ConnectionPointContainer,
                     public com::DispatchImpl<IBootstrap2>,
                     public ISetupEngine,
                     public IEngineServices,
                     public IFeatureHost,
                     public ISuiteModelBuilder,
                     public IActionEngine,
                     public IStagingHost,
                     public ITransactionHost,
                     public IUpdateHost {
public:
    CSetupEngine();
    virtual ~CSetupEngine();

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    // IUnknown: the entry creates the engine with new and owns one reference.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // Start-up, run and end as the launcher's entry calls them.
    HRESULT Initialize(BSTR commandLine, bool* exitNow);
    HRESULT DetermineFeatureStates();
    void ShutdownUIThread();
    void OnBootstrapEvent(EnumBootstrapState state);
    void SetDebugLogPath(const _stringx& path) { m_debugLogPath = path; }

    // Seams for what this engine does not build itself yet; tests put stand-ins in.
    void SetSetupXmlLoader(SetupXmlLoader loader) { m_loadSetupXml = std::move(loader); }
    void SetUpdateHandler(std::unique_ptr<IUpdateHandler> handler) { m_update = std::move(handler); }
    void SetUserInterfaceStarted(bool started) noexcept { m_uiStarted = started; }

    // Properties.
    void SetProperty(const _stringx& name, const _stringx& value, bool overwriteLocked) override;
    _stringx GetProperty(const _stringx& name) override { return m_properties.GetAttribute(name); }
    CProperties& Properties() noexcept { return m_properties; }
    _stringx FormatString(const _stringx& text) override;
    _stringx ResolveStringId(const _stringx& id) override;
    void RequestDelayedReboot() override;
    HRESULT ReportStagingProgress(const _stringx& file, ULONGLONG current, ULONGLONG maximum) override;
    HRESULT ReportError(EnumBootstrapErrorSource source, HRESULT hr, const _stringx& text, IParcel* parcel);

    // Initialisation's services.
    void InitializePathProperties();
    void InitializeState() override;
    HRESULT ApplyPropertySetters();
    bool ValidateCommandLine(const _stringx& commandLine);
    _stringx LogCommandLine(const _stringx& commandLine) const;

    // Members that tests and later parts read.
    CSuiteModel& Model() noexcept { return *m_model; }
    const _stringx& StagingFolder() const noexcept { return m_supportFolder; }
    const _stringx& LogFolder() const noexcept { return m_logFolder; }
    const _stringx& UpdateUrl() const noexcept { return m_updateUrl; }
    const _stringx& RemainingCommandLine() const noexcept { return m_remainingCommandLine; }
    bool PasswordValid() const noexcept { return m_passwordValid; }
    bool ReverseUninstallOrder() const noexcept { return m_reverseUninstallOrder; }
    bool IsMaintenance() const noexcept { return m_maintenance; }
    bool IsPassive() const noexcept { return m_passive; }
    bool HoldsInstanceMutex() const noexcept { return m_instanceMutex.get() != nullptr; }
    HRESULT Status() const noexcept { return m_status; }
    static const NameSet& CommandLineReservedNames();
    static const NameSet& AutomationReservedNames();

    // ISuiteModelBuilder: what the setup.xml reader builds. Classes that are
    // not built yet are answered with none, which skips their elements.
    void InitializeUI(CResource& resource) override;
    CParcel* CreateParcel(const _stringx& typeName) override;
    CTransaction& AddTransaction(std::unique_ptr<CTransaction> transaction) override;
    std::vector<CTransaction*> Transactions() override;
    CTransaction* OpenTransaction() override { return m_model->openTransaction; }
    void SetOpenTransaction(CTransaction* transaction) override { m_model->openTransaction = transaction; }
    CInstallMode& AddInstallMode(std::unique_ptr<CInstallMode> mode) override;
    CPropertySetter& AddPropertySetter(std::unique_ptr<CPropertySetter> setter) override;
    CAbortCondition& AddAbortCondition(std::unique_ptr<CAbortCondition> condition) override;
    IEventAction* AddEventAction(int eventType, const _stringx& actionId) override;
    CResource* NewUIResource(const ElementAttributes& attributes) override;
    CResource* AddResource(const ElementAttributes& attributes) override;
    CAction* AddAction(const _stringx& elementName, const ElementAttributes& attributes) override;
    CFeature* AddFeature(CFeature* parent, const ElementAttributes& attributes) override;
    IConditionContainer* FeatureConditionTarget(CFeature& feature, const _stringx& slot) override;
    CPackage* SetPackage(CParcel& parcel, const ElementAttributes& attributes) override;
    CFolder* SetRootFolder(CPackage& package, const ElementAttributes& attributes) override;
    CFolder* AddSubFolder(CFolder& parent, const ElementAttributes& attributes) override;
    CFile* AddPackageFile(CPackage& package, const ElementAttributes& attributes) override;
    CFile* AddFolderFile(CFolder& folder, const ElementAttributes& attributes) override;
    CProperties* ArpInfo() override;
    CProperties* LanguageManager() override { return &m_languages; }
    CProperties* StringTable(LANGID language) override { return &m_languages.GetStringTable(language); }
    bool AddWindowsFeatureItem(const _wstringx& item) override;
    void AddWindowsFeatureDependencies(const _wstringx& item, const std::vector<_wstringx>& names) override;
    bool AddWindowsFeatureOSDefinition(const _wstringx& item, const _wstringx& osName) override;
    void SetWindowsFeatureList(const _wstringx& item, const _wstringx& osName, const _wstringx& features) override;

    // ISetupEngine
    HRESULT CreateSuiteObject(const _stringx& name, IDispatch** object, HMODULE* module) override;

    // IEngineServices
    EnumInstallMode GetInstallMode() override { return m_installMode; }
    bool IsSilent() override { return m_silent; }
    bool IsElevated() override { return m_elevated; }
    bool IsAfterReboot() override { return m_rebooted; }
    _stringx GetSuiteId() override { return m_properties.GetAttribute(L"SuiteId"); }
    kr::stringx_vector GetHiddenPropertyNames() override { return m_hiddenNames; }
    _stringx GetParcelLogFolder() override { return m_logFolder; }
    VARIANT_BOOL* CancelCell() override { return &m_uiAnswer; }
    HRESULT Fire_OnInstallingParcel(IParcel* parcel, VARIANT_BOOL* cancel) override;
    HRESULT Fire_OnQueryReboot(IParcel* parcel, VARIANT_BOOL* rebootNow) override;
    HRESULT Fire_OnQueryParcelNotDetected(IParcel* parcel, VARIANT_BOOL* abort) override;
    HRESULT Fire_OnPromptForSourceMedia(IParcel* parcel, BSTR sourceFile, VARIANT_BOOL* cancel,
                                        BSTR* mediaPath) override;
    HRESULT Fire_OnActionEventInfo(BSTR message, int current, int maximum, EnumProgressFlags flags,
                                   VARIANT_BOOL* cancel) override;
    void SetLastRebootAnswer(bool rebootNow) override { m_lastRebootAnswer = rebootNow; }
    HRESULT RunAction(const _stringx& actionId, IParcel2* parcel) override;
    void GetParcelClients(const _stringx& parcelId, kr::stringx_vector& clients) override;
    HRESULT WriteParcelClients(const _stringx& parcelId, const kr::stringx_vector& clients) override;
    bool AddSuiteToClients(kr::stringx_vector& clients) override;
    bool RemoveSuiteFromClients(kr::stringx_vector& clients) override;
    IPropertyStateWriter& StateWriter() override { return m_savedState; }
    void SaveParcelState(const _stringx& parcelId, int action, int detected, bool complete) override;
    LONG LaunchElevatedExe(const _stringx& program, const _stringx& arguments, const _stringx& verb, int show,
                           bool wait, CProxyExeCallbackWrapper& callbacks) override;

    // IFeatureHost
    CParcel* FindParcel(const _stringx& id) override;
    bool IsTopLevelFeature(const _stringx& name) override;
    void SaveStateValue(const _stringx& section, const _stringx& key, const _stringx& value) override
    {
        m_savedState.SaveValue(section, key, value);
    }

    // Firings of _IBootstrapEvents; each returns the last sink's result.
    HRESULT Fire_OnBootstrapEvent(EnumBootstrapState state, VARIANT_BOOL* cancel);
    HRESULT Fire_OnError(IBootstrapError* error);
    HRESULT Fire_OnStagingProgress(BSTR file, LONGLONG current, LONGLONG maximum, VARIANT_BOOL* cancel);

    // IBootstrap2
    STDMETHODIMP get_Property(BSTR name, BSTR* value) override;
    STDMETHODIMP put_Property(BSTR name, BSTR value) override;
    STDMETHODIMP get_Parcels(IParcels** parcels) override;
    STDMETHODIMP get_InstallMode(EnumInstallMode* mode) override;
    STDMETHODIMP put_InstallMode(EnumInstallMode mode) override;
    STDMETHODIMP get_BootstrapState(EnumBootstrapState* state) override;
    STDMETHODIMP get_CommandLine(BSTR* commandLine) override;
    STDMETHODIMP LogInfo(BSTR text) override;
    STDMETHODIMP get_ExitStatus(HRESULT* status) override;
    STDMETHODIMP get_Features(IFeatures** features) override;
    STDMETHODIMP get_IsMaintenance(VARIANT_BOOL* maintenance) override;
    STDMETHODIMP SubstitutePropertyValues(BSTR original, BSTR* formatted) override;
    STDMETHODIMP ResolveString(BSTR id, BSTR* resolved) override;
    STDMETHODIMP ResolveStringAndPerformSubstitutionForEmbeddedProperties(BSTR id, BSTR* resolved) override;
    STDMETHODIMP IsUpdateAvailable(VARIANT_BOOL* available) override;
    STDMETHODIMP InstallUpdate() override;
    STDMETHODIMP RunAction(BSTR action) override;

    // Condition reach: what the suite-state conditions read (FindParcel and get_Parcels above serve them too).
    _stringx GetEngineProperty(const _stringx& name) override { return m_properties.GetAttribute(name); }
    CFeature* FindFeature(const _stringx& name) override;

    // Action reach: what suite actions read of the engine.
    bool ExtractStreamFile(const _stringx& name, const _stringx& path) override;
    bool IsScriptDebugging() override { return m_scriptDebugging; }
    _stringx GetSymbolPath() override { return m_symbolPath; }
    std::unique_ptr<IActionProxyCalls> NewProxyCalls() override;

    // Saved state and resume after a reboot.
    bool CheckRunRebooted();
    void ReloadSavedState();
    void LoadStateValue(const CStateEntry& entry);
    void SaveProperties();
    CStateManager& SavedState() noexcept { return m_savedState; }
    // The transaction to run next: 0, or the saved "CurrentTx" of a resumed run.
    int CurrentTransaction() const noexcept { return m_currentTransaction; }
    // Automation face: event actions, suite actions, upgrade confirmation,
    // lookups and the user-interface thread.
    HRESULT RunEvents(int eventType);
    // The engine keeps the event action; none for the parcel events.
    IEventAction* AddEventAction(int eventType, std::unique_ptr<IEventAction> action);
    void AddSuiteAction(std::unique_ptr<ISuiteAction> action);
    void AddUpgradingParcel(IParcel* parcel);
    // S_OK, or 0x80070642 when the user interface cancelled.
    HRESULT NotifyUIForUpgradingParcels();
    HRESULT Fire_OnUpgradingParcels(IParcels* parcels, VARIANT_BOOL* cancel);
    // Starts the user-interface thread over a loaded user-interface DLL;
    // throws ui_resource_exception when it does not come up.
    void StartUserInterface(HMODULE module);
    void SetUIResourceLoader(UIResourceLoader loader) { m_loadUIResource = std::move(loader); }
    bool DelayedRebootRequested() const noexcept { return m_delayedReboot; }
    bool UserInterfaceRunning() const noexcept { return m_uiStarted; }
    // Every parcel determines its action state again for the install mode.
    void DetermineParcelActionStates();
    // The process remembers the install mode of its first change request;
    // tests that start over forget it.
    static void ForgetInitialInstallMode() noexcept;
    // Proxy processes: each started on its first need and kept in the suite model.
    CProxyHandler* GetProxyHandler(bool elevated, bool is64Bit) override;
    CProxyHandler* GetElevatedProxy();
    CProxyHandler* GetNonElevatedProxy();
    CProxyHandler* Get64BitProxy();
    CProxyHandler* Launch64BitProxy();
    CProxyHandler* GetAppxHelperProxyHandler() override;
    std::unique_ptr<CProxyHandler> LaunchProxy(const _stringx& program, bool elevated);
    _stringx GetHelperPath(const _stringx& fileName);
    // Seams for tests: the folder companions are taken from, and the stream they are extracted from.
    void SetSupportFolder(const _stringx& folder) { m_supportFolder = folder; }
    void SetSetupStream(std::unique_ptr<STREAM> stream);
    // Staging, transactions and the run: the second half of the run, its services and the engine's faces.
    HRESULT ApplySelectionAndStage();
    HRESULT StageParcels(const _stringx& stageRoot);
    HRESULT ClearResumeAndReportParcelError(HRESULT status, IParcel* parcel);
    HRESULT Fire_OnStagingParcel(EnumParcelStagingState state, IParcel* parcel) override;
    HRESULT Fire_OnNonFatalError(const _stringx& message, int flags, int* answer) override;
    _stringx GetSourceFolder() override;
    STREAM* GetStream() override { return m_stream.get(); }
    bool IsFileStaged(const _stringx& path) override { return m_savedState.IsFileStaged(path); }
    void MarkFileStaged(const _stringx& path) override { m_savedState.MarkFileStaged(path); }
    HRESULT ResolveParcelSource(const _stringx& parcelId, _stringx& mediaPath) override;
    bool IsWow64() override;
    _stringx GetStagingFolder() override { return m_supportFolder; }
    void SetTransactionProxy(IProxyConnection* proxy) override { m_transactionProxy = proxy; }
    IProxyConnection* TransactionProxy() const noexcept { return m_transactionProxy; }
    // Tests read the setup stream appended to another program.
    void UseSetupStream(const _stringx& programPath);
    // Languages, resources and the Windows version (EngineLanguage.cpp, EngineResources.cpp).
    const OSVERSIONINFOEXW& OsVersionInfo() override;
    // Tests put a machine of their choice in place of the one GetVersionExW reports.
    void SetOsVersionInfo(const OSVERSIONINFOEXW& info) noexcept { m_osVersion = info; }
    CLanguageManager& Languages() noexcept { return m_languages; }
    // Chooses the language and keeps the choice in KRSelectedLanguage and the saved state.
    void ChooseSuiteLanguage(LANGID installedLanguage);
    CResource* UIResource() noexcept { return m_uiResource.get(); }
    const std::vector<std::unique_ptr<CResource>>& Resources() const noexcept { return m_resources; }
    CResource* FindResourceByNamespace(const _stringx& name);
    CResource* FindResourceByName(const _stringx& name);
    // Stages and loads every resource not initialised yet; 0x80070642 when the user cancels.
    HRESULT InitializeResources();
    // Suite self-update.
    HRESULT DownloadUpdateDescription(bool& available);
    // Downloads the launcher at the effective update address, checks its
    // signer and starts it; launched is set once it has been verified.
    HRESULT DownloadAndLaunchUpdate(const _stringx& commandLine, bool& launched);
    HRESULT LaunchUpdate(const _stringx& address, const _stringx& commandLine, bool& launched) override;
    CUpdateHandler& UpdateHandler() noexcept { return m_updateHandler; }
    const _stringx& EffectiveUpdateUrl() const noexcept { return m_effectiveUpdateUrl; }
    static std::unique_ptr<IUpdateHandler> DefaultUpdateHandler(CSetupEngine& engine);
    // Add/Remove Programs and engine services.
    // Registers or unregisters the suite as the maintenance condition says, at the end of a good run.
    void RegisterArpEntry();
    // The language of the suite's uninstall entry, 0 when it has none; it then
    // chooses the language without asking the user.
    LANGID InstalledLanguage();
    CMaintenanceRegistrar* Registrar() noexcept { return m_registrar.get(); }
    HRESULT Fire_OnSuiteRegistration(VARIANT_BOOL registering);
    // The optional features of every parcel to be installed, before the transactions.
    HRESULT InstallWindowsFeatures();
    // Turns one parcel's resolved feature list on; rebootNeeded is set when the
    // features take effect only after a restart.
    using WindowsFeatureInstaller = std::function<HRESULT(const _wstringx& features, bool& rebootNeeded)>;
    // Tests put a recorder in place of the features step.
    void SetWindowsFeatureInstaller(WindowsFeatureInstaller install) { m_installWindowsFeatures = std::move(install); }
    // Drops clients whose suite is gone; the null id and this suite stay.
    void PruneParcelClients(kr::stringx_vector& clients);
    // Shows nothing when silent; returns the value given.
    HRESULT ShowErrorBox(const _stringx& caption, const _stringx& text, HRESULT value);
    // ProductName in the selected language, from the id setup.xml gave it.
    void ResolveProductName();
    // Windows optional features.
    // The definitions read from setup.xml; null when it has none.
    CWindowsFeatureDefinition* WindowsFeatureDefinitions() noexcept { return m_featureDefinitions.get(); }
    // A parcel's WindowsFeatures item list resolved for the running system.
    _wstringx GetWindowsFeatureList(const _wstringx& initial);

private:
    void SetPassword(const _stringx& entered);
    HRESULT CheckForSuiteUpdate(const _stringx& commandLine, bool* exitNow);
    void TakeSuiteId(const _stringx& value);

    com::ConnectionPoint m_events;
    CProperties m_properties;
    std::unique_ptr<CSuiteModel> m_model;
    _stringx m_supportFolder;
    _stringx m_launcherFolder;
    VARIANT_BOOL m_uiAnswer = VARIANT_FALSE;
    EnumInstallMode m_installMode = eimInvalid;
    EnumBootstrapState m_bootstrapState = ebsInitializing;
    _stringx m_remainingCommandLine;
    bool m_uiStarted = false;
    bool m_keepStagedFiles = false;
    bool m_elevated = false;
    HRESULT m_status = S_OK;
    std::unique_ptr<STREAM> m_stream;
    _stringx m_launcherPath;
    bool m_passwordValid = false;
    bool m_rebooted = false;
    bool m_delayedReboot = false;
    bool m_silent = false;
    bool m_passive = false;
    bool m_maintenance = false;
    bool m_lastRebootAnswer = false;
    kr::handle_holder m_instanceMutex;
    _stringx m_debugLogPath;
    _stringx m_logFolder;
    _stringx m_updateUrl;
    bool m_scriptDebugging = false;
    _stringx m_symbolPath;
    kr::stringx_vector m_hiddenNames;
    bool m_hiddenNamesSet = false;
    bool m_reverseUninstallOrder = false;
    CStateManager m_savedState;
    SetupXmlLoader m_loadSetupXml;
    std::unique_ptr<IUpdateHandler> m_update;

    // Saved state and resume after a reboot.
    int m_currentTransaction = 0;
    // Automation face: event actions, suite actions, upgrade confirmation
    // and the user-interface thread.
    static unsigned __stdcall UIThreadProc(void* context);
    static void WaitWithMessageLoop(HANDLE handle);
    std::map<int, std::vector<std::unique_ptr<IEventAction>>> m_eventActions;
    std::vector<std::unique_ptr<ISuiteAction>> m_actions;
    std::map<_stringx, com::ComPtr<IParcel>, NoCaseLess> m_upgradingParcels;
    kr::handle_holder m_uiThread;
    DWORD m_uiThreadId = 0;
    UIResourceLoader m_loadUIResource;
    // Proxy processes: the face through which proxy calls reach them, registered while the engine lives.
    class ProxyProviderFace : public IProxyProvider {
    public:
        explicit ProxyProviderFace(CSetupEngine& engine);
        ~ProxyProviderFace();
        CProxyHandler* GetProxyHandler(bool elevated, bool is64Bit) override;
        CProxyHandler* GetElevatedProxy() override;
        IBootstrap2* Bootstrap() override;

    private:
        CSetupEngine& m_engine;
    };
    // Languages, resources and the Windows version.
    class ResourceHost : public IResourceHost {
    public:
        explicit ResourceHost(CSetupEngine& engine) : m_engine(engine) {}
        _stringx GetStagingFolder() override;
        int ExtractStreamFile(const _stringx& name, const _stringx& target, IStreamProgress* progress) override;

    private:
        CSetupEngine& m_engine;
    };
    ProxyProviderFace m_proxyProvider{*this};
    // Staging, transactions and the run.
    HRESULT RunTransactions();
    HRESULT OnRebootRequested(bool restartNow);
    _stringx RelaunchCommandLine();
    void WriteResumeEntry();
    void RemoveResumeEntry();
    IProxyConnection* m_transactionProxy = nullptr;
    OSVERSIONINFOEXW m_osVersion{};
    CLanguageManager m_languages;
    ResourceHost m_resourceHost{*this};
    std::unique_ptr<CResource> m_uiResource;
    std::vector<std::unique_ptr<CResource>> m_resources;
    // Suite self-update.
    HRESULT FetchUpdateDescription(const _stringx& address, _stringx& localPath);
    HRESULT DownloadUpdateLauncher(const _stringx& base, const _stringx& fileName, const _stringx& folder,
                                   _stringx& downloaded);
    void RemoveStagingForUpdate(const _stringx& keep);
    void ReleaseInstanceMutex();
    CUpdateHandler m_updateHandler{*this};
    _stringx m_effectiveUpdateUrl;
    // Extension conditions: the face through which they reach this engine, registered while it lives.
    class ExtensionHostFace : public IExtensionHost {
    public:
        explicit ExtensionHostFace(CSetupEngine& engine);
        ~ExtensionHostFace();
        CResource* FindResourceByNamespace(const _stringx& name) override;
        CResource* FindResourceByName(const _stringx& name) override;
        _stringx GetStagingFolder() override;
        bool IsScriptDebugging() override;
        _stringx GetSymbolPath() override;
        IBootstrap* Bootstrap() override;

    private:
        CSetupEngine& m_engine;
    };
    ExtensionHostFace m_extensionHost{*this};
    // Add/Remove Programs and engine services.
    class MaintenanceHost : public IMaintenanceHost {
    public:
        explicit MaintenanceHost(CSetupEngine& engine) : m_engine(engine) {}
        _stringx FormatString(const _stringx& text) override { return m_engine.FormatString(text); }
        _stringx ResolveStringId(const _stringx& id) override { return m_engine.ResolveStringId(id); }
        _stringx GetEngineProperty(const _stringx& name) override { return m_engine.GetEngineProperty(name); }
        _stringx GetStagingFolder() override { return m_engine.GetStagingFolder(); }
        bool ExtractStreamFile(const _stringx& name, const _stringx& path) override
        {
            return m_engine.ExtractStreamFile(name, path);
        }
        HRESULT Fire_OnSuiteRegistration(VARIANT_BOOL registering) override
        {
            return m_engine.Fire_OnSuiteRegistration(registering);
        }
        bool IsElevated() override { return m_engine.IsElevated(); }
        CProxyHandler* GetElevatedProxy() override { return m_engine.GetElevatedProxy(); }

    private:
        CSetupEngine& m_engine;
    };
    MaintenanceHost m_maintenanceHost{*this};
    std::unique_ptr<CMaintenanceRegistrar> m_registrar;
    WindowsFeatureInstaller m_installWindowsFeatures;
    _stringx m_productNameId;
    bool m_productNameIdTaken = false;
    // Windows optional features.
    std::unique_ptr<CWindowsFeatureDefinition> m_featureDefinitions;
};

// A property of the process's engine; empty when unknown or when no engine is there.
_stringx GetEngineProperty(const _stringx& name);
