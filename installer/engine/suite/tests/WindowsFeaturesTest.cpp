// Windows optional features: the running system's key, the resolution of a
// parcel's item list against setup.xml's definitions, and the install step
// through the package manager (in a real proxy server on a thread of the
// test) or the features DLL (request 12 to a scripted peer, and the DLL
// stand-in called directly); and the engine's own step under a restricted
// token, through its real elevated proxy.

#include "ParcelKindsSupport.h"

#include "kr/registry.h"
#include "kr/system_info.h"
#include "parcels/ParcelFactory.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyProvider.h"
#include "parcels/WindowsFeatureDefinition.h"
#include "parcels/WindowsFeatureParcel.h"

using namespace parcel_kinds;
using namespace proxy_testing;

namespace {

constexpr DWORD kReply = kPipeReply | kPipeRequest;
const wchar_t kServerLevels[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Server\\ServerLevels";

DWORD g_productType = 0;
BOOL g_productKnown = FALSE;

BOOL WINAPI ScriptedProductInfo(DWORD, DWORD, DWORD, DWORD, DWORD* type)
{
    *type = g_productType;
    return g_productKnown;
}

// The package manager's place: the 64-bit system folder, which a 32-bit
// process reaches through Sysnative.
std::wstring PackageManagerPath()
{
    wchar_t system[MAX_PATH] = {};
    if (kr::is_wow64()) {
        GetWindowsDirectoryW(system, MAX_PATH);
        wcscat(system, L"\\Sysnative");
    } else {
        GetSystemDirectoryW(system, MAX_PATH);
    }
    return std::wstring(system) + L"\\pkgmgr.exe";
}

// The system's package manager is a program of the system's architecture, so
// a 32-bit test places the 64-bit stand-in there.
std::wstring PackageManagerStandIn()
{
    return kr::is_wow64() ? std::wstring(COMPANION_BIN) + L"\\pkgmgr.exe" : ProgramFolder() + L"pkgmgr.exe";
}

// An extension that keeps what the features DLL does with it.
class RecordingExtension final : public ISuiteExtension2 {
public:
    explicit RecordingExtension(const std::wstring& features) : m_features(features) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ISuiteExtension || iid == IID_ISuiteExtension2) {
            *out = static_cast<ISuiteExtension2*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_refs); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = InterlockedDecrement(&m_refs);
        if (!left)
            delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Attribute(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP LogInfo(BSTR message) override
    {
        calls.push_back(L"LogInfo " + Text(message));
        return S_OK;
    }
    STDMETHODIMP get_Property(BSTR name, BSTR* value) override
    {
        calls.push_back(L"get " + Text(name));
        const std::wstring text = Text(name) == L"KRWindowsFeatureList" ? m_features : result;
        *value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return S_OK;
    }
    STDMETHODIMP put_Property(BSTR name, BSTR value) override
    {
        calls.push_back(L"put " + Text(name) + L"=" + Text(value));
        return S_OK;
    }
    STDMETHODIMP FormatProperty(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP ResolveString(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SendProgressMessage(BSTR message, int current, int maximum, EnumProgressFlags flags) override
    {
        calls.push_back(L"progress " + Text(message) + L" " + std::to_wstring(current) + L"/" +
                        std::to_wstring(maximum) + L" " + std::to_wstring(flags));
        return S_OK;
    }

    std::vector<std::wstring> calls;
    // What any other property reads as.
    std::wstring result;

private:
    static std::wstring Text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }
    std::wstring m_features;
    LONG m_refs = 1;
};

class WindowsFeatures : public ParcelKinds {
protected:
    void SetUp() override
    {
        ParcelKinds::SetUp();
        SetOS(6, 2, VER_NT_WORKSTATION);
        m_previousLookup = SetProductInfoLookup(&ScriptedProductInfo);
    }
    void TearDown() override
    {
        SetProductInfoLookup(m_previousLookup);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kServerLevels, KEY_WOW64_64KEY, 0);
        ParcelKinds::TearDown();
    }

    void SetOS(DWORD major, DWORD minor, BYTE productType)
    {
        OSVERSIONINFOEXW& os = m_services.setupEngine.osVersion;
        os.dwOSVersionInfoSize = sizeof(os);
        os.dwMajorVersion = major;
        os.dwMinorVersion = minor;
        os.wProductType = productType;
    }

    // Fills the definitions as the setup.xml reader does: "Item/Element=text" and "Item/DependsOn=a;b".
    void Define(CWindowsFeatureDefinition& definitions, std::initializer_list<const wchar_t*> lines)
    {
        for (const wchar_t* line : lines) {
            const std::wstring text = line;
            const size_t slash = text.find(L'/');
            const size_t equals = text.find(L'=');
            const _wstringx item = text.substr(0, slash).c_str();
            const _wstringx element = text.substr(slash + 1, equals - slash - 1).c_str();
            const _wstringx value = text.substr(equals + 1).c_str();
            CWindowsFeatureItem& defined = definitions.GetItem(item);
            if (element == L"DependsOn") {
                std::vector<_wstringx> names;
                value.split(L';', 0, names);
                defined.AddDependencies(names);
            } else {
                defined.AddOSDefinition(element);
                defined.SetFeatureList(element, value);
            }
        }
    }

    ProductInfoLookup m_previousLookup = nullptr;
};

TEST_F(WindowsFeatures, TheRunningSystemsKey)
{
    const struct {
        DWORD major, minor;
        BYTE type;
        DWORD product;
        BOOL known;
        int serverCore, guiShell; // registry values, -1 absent
        DWORD key;
    } cases[] = {
        {6, 1, 2, 0x0D, TRUE, -1, -1, 601},           // domain controller: a client
        {6, 1, VER_NT_SERVER, 0x0D, TRUE, -1, -1, 0xC0000259},
        {6, 1, VER_NT_SERVER, 0x07, TRUE, -1, -1, 0x80000259},
        {6, 1, VER_NT_SERVER, 0x0D, FALSE, -1, -1, 0x80000259},
        {6, 2, VER_NT_SERVER, 0x0D, TRUE, 1, 1, 0x8000025A}, // Server Core with the shell: a server
        {6, 2, VER_NT_SERVER, 0, FALSE, 1, 0, 0xC000025A},
        {10, 0, VER_NT_WORKSTATION, 0, FALSE, 1, 0, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << " type " << int(c.type));
        SetOS(c.major, c.minor, c.type);
        g_productType = c.product;
        g_productKnown = c.known;
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kServerLevels, KEY_WOW64_64KEY, 0);
        if (c.serverCore >= 0) {
            HKEY key = nullptr;
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kServerLevels, 0, nullptr, 0,
                                                     KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key, nullptr));
            const DWORD core = static_cast<DWORD>(c.serverCore), shell = static_cast<DWORD>(c.guiShell);
            RegSetValueExW(key, L"ServerCore", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&core), sizeof(core));
            RegSetValueExW(key, L"Server-Gui-Shell", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&shell),
                           sizeof(shell));
            RegCloseKey(key);
        }
        EXPECT_EQ(c.key, GetOSFeatureKey());
    }
    SetOS(6, 1, VER_NT_SERVER);
    g_productType = 0x0D;
    g_productKnown = TRUE;
    CWindowsFeatureDefinition definitions;
    definitions.GetFeatureList(L"IIS");
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Getting feature items for OS version 0601 (Server Core)"));
}

TEST_F(WindowsFeatures, ItemListsResolveForTheSystem)
{
    const struct {
        const char* name;
        std::initializer_list<const wchar_t*> definitions;
        const wchar_t* initial;
        DWORD key;
        const wchar_t* list;
    } cases[] = {
        {"own list of the system", {L"IIS/Client_602=Web;Asp", L"IIS/Client_601=Old"}, L"IIS", 602, L"Web;Asp"},
        {"ItemAllOS when the system has none", {L"IIS/Client_601=Old", L"IIS/ItemAllOS=Any"}, L"IIS", 602, L"Any"},
        {"no definition: the name itself", {L"IIS/Client_601=Old"}, L"IIS", 602, L"IIS"},
        {"empty definition adds nothing", {L"IIS/Client_602=", L"IIS/ItemAllOS=Any", L"Net/Client_602=Fx"},
         L"IIS;Net", 602, L"Fx"},
        {"the later duplicate wins", {L"IIS/Client_602=First", L"IIS/Client_602=Second"}, L"IIS", 602, L"Second"},
        {"dependencies before the own list",
         {L"IIS/DependsOn=A1;C1", L"IIS/Client_602=D", L"A1/Client_602=A;B", L"C1/Client_602=C"}, L"IIS", 602,
         L"A;B;C;D"},
        {"repeats are dropped", {L"One/Client_602=A;B", L"Two/Client_602=B;C", L"Three/Client_602=A;C"},
         L"One;Two;Three", 602, L"A;B;C"},
        {"unknown names stand for themselves", {L"IIS/Server_602=Srv"}, L"Telnet;IIS", 0x8000025A, L"Telnet;Srv"},
        {"empty attribute", {L"IIS/Client_602=Web"}, L"", 602, L""},
        {"bad version texts match nothing", {L"IIS/Client_6x2=Bad", L"IIS/Desktop_602=Odd"}, L"IIS", 602, L"IIS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CWindowsFeatureDefinition definitions;
        Define(definitions, c.definitions);
        EXPECT_EQ(std::wstring(c.list), definitions.GetFeatureList(c.initial, c.key).c_str());
    }
    const std::wstring log = m_trace.Messages();
    EXPECT_NE(std::wstring::npos, log.find(L"Unknown Windows feature definition type: 'Desktop_602'"));
    EXPECT_NE(std::wstring::npos, log.find(L"Invalid feature version definition: 'Desktop_602'"));
    EXPECT_NE(std::wstring::npos, log.find(L"Invalid feature version definition: 'Client_6x2'"));
    EXPECT_NE(std::wstring::npos, log.find(L"Final feature list for current item is: A;B;C"));
    EXPECT_EQ(std::wstring::npos, log.find(L"Getting feature list for initial feature items ''"));
}

TEST_F(WindowsFeatures, AResolvedDependencyIsNotAddedAgainInALaterList)
{
    CWindowsFeatureDefinition definitions;
    Define(definitions, {L"Web/DependsOn=Net", L"Web/Client_602=W", L"Net/Client_602=N", L"Tools/DependsOn=Net",
                         L"Tools/Client_602=T", L"Gone/DependsOn=Missing", L"Gone/Client_602=G"});
    EXPECT_EQ(L"N;W", std::wstring(definitions.GetFeatureList(L"Web", 602).c_str()));
    EXPECT_EQ(L"T", std::wstring(definitions.GetFeatureList(L"Tools", 602).c_str()));
    // An initial item is always resolved, visited or not.
    EXPECT_EQ(L"N", std::wstring(definitions.GetFeatureList(L"Net", 602).c_str()));
    EXPECT_EQ(L"G", std::wstring(definitions.GetFeatureList(L"Gone", 602).c_str()));
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Unknown Windows feature dependency: Missing"));
}

TEST_F(WindowsFeatures, TheEngineKeepsWhatSetupXmlDefines)
{
    // Without definitions every name stands for itself.
    EXPECT_EQ(L"X;Y", std::wstring(m_engine->GetWindowsFeatureList(L"X;Y;X").c_str()));
    EXPECT_EQ(nullptr, m_engine->WindowsFeatureDefinitions());
    EXPECT_FALSE(m_engine->AddWindowsFeatureOSDefinition(L"IIS", L"Client_602"));

    ASSERT_TRUE(m_engine->AddWindowsFeatureItem(L"IIS"));
    m_engine->AddWindowsFeatureDependencies(L"IIS", {L"Net"});
    ASSERT_TRUE(m_engine->AddWindowsFeatureItem(L"Net"));
    ASSERT_TRUE(m_engine->AddWindowsFeatureOSDefinition(L"Net", L"Client_602"));
    m_engine->SetWindowsFeatureList(L"Net", L"Client_602", L"NetFx");
    ASSERT_TRUE(m_engine->AddWindowsFeatureOSDefinition(L"IIS", L"Client_602"));
    m_engine->SetWindowsFeatureList(L"IIS", L"Client_602", L"Web");
    EXPECT_EQ(L"NetFx;Web;Other", std::wstring(m_engine->GetWindowsFeatureList(L"IIS;Other").c_str()));
}

TEST_F(WindowsFeatures, BeforeWindows8ThePackageManagerRunsInTheElevatedProxy)
{
    SetOS(6, 1, VER_NT_WORKSTATION);
    const std::wstring program = PackageManagerPath();
    ASSERT_TRUE(CopyFileW((PackageManagerStandIn()).c_str(), program.c_str(), FALSE));
    DeleteFileW((program + L".log").c_str());
    WriteBytes(program + L".exit", "3010");
    ThreadProxy proxy;
    m_proxies.elevated = proxy.TakeEngineEnd();

    CWindowsFeatureParcel step;
    step.SetFeatureList(L"A;B");
    bool reboot = false;
    EXPECT_EQ(static_cast<HRESULT>(0x80070BC2), step.Install(reboot));
    EXPECT_TRUE(reboot);
    EXPECT_EQ(std::vector<std::wstring>{L"/norestart /quiet /iu:A;B"}, ReadWideLines(program + L".log"));
    EXPECT_NE(std::wstring::npos,
              m_trace.Messages().find(L"CWindowsFeatureParcel::Install: using pkgmgr on Windows 7 or earlier"));
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Windows feature install result status: 0x80070bc2"));

    WriteBytes(program + L".exit", "0");
    EXPECT_EQ(S_OK, step.Install(reboot));
    EXPECT_FALSE(reboot);
    m_proxies.elevated.reset();
    DeleteFileW(program.c_str());
    DeleteFileW((program + L".log").c_str());
    DeleteFileW((program + L".exit").c_str());
}

TEST_F(WindowsFeatures, FromWindows8TheFeaturesDllRunsInTheElevatedProxy)
{
    m_staging.stream = std::make_unique<STREAM>(_stringx(PayloadCarrier().c_str()));
    std::vector<PeerMessage> answers;
    ProxyRequestView seen;
    std::vector<BYTE> request;
    ScriptedPeer peer([&](CNamedPipeHandler& proxy) {
        if (!ReadNext(proxy))
            return;
        request.assign(proxy.Payload().begin(), proxy.Payload().end());
        WriteWordMessage(proxy, kReply, 0);
        auto call = [&](DWORD subCode, const wchar_t* text1, const wchar_t* text2) {
            ExtensionCallRequest record;
            record.sub_code = subCode;
            record.text1 = text1;
            record.text2 = text2;
            if (subCode == 6) {
                record.has_progress = true;
                record.progress[0] = 1;
                record.progress[1] = 4;
                record.progress[2] = epfMessageValid;
            }
            const std::vector<BYTE> message = WriteProxyRequest(9, 0, WriteExtensionCallRequest(record), {});
            proxy.WriteMessage(kPipeRequest, message.data(), static_cast<DWORD>(message.size()));
            for (int i = 0; i < 2 && ReadNext(proxy); ++i)
                answers.push_back({proxy.Type(), std::vector<BYTE>(proxy.Payload().begin(), proxy.Payload().end())});
        };
        call(2, L"KRWindowsFeatureList", L"");
        call(3, L"KR2012CoreInstalled", L"1");
        call(6, L"Enabling", L"");
        WriteWordMessage(proxy, kReply, 3010);
        ReadNext(proxy);
    });
    m_proxies.elevated = peer.TakeEngineEnd();
    RecordingExtension* extension = nullptr;
    CWindowsFeatureParcel step([&](const _stringx& features, com::ComPtr<ISuiteExtension>& made) {
        extension = new RecordingExtension(features.c_str());
        made = com::ComPtr<ISuiteExtension>::Adopt(extension);
        extension->AddRef();
        return S_OK;
    });
    step.SetFeatureList(L"A;B");
    bool reboot = false;
    EXPECT_EQ(static_cast<HRESULT>(0x80070BC2), step.Install(reboot));
    EXPECT_TRUE(reboot);
    m_proxies.elevated.reset();
    peer.Join();

    ASSERT_TRUE(ReadProxyRequest(request, seen));
    EXPECT_EQ(12u, seen.code);
    EXPECT_EQ(0u, seen.value);
    const std::wstring dll(reinterpret_cast<const wchar_t*>(seen.data1.data()), seen.data1.size() / 2);
    const wchar_t* name = kr::is_wow64() ? L"KRWindowsFeaturesAction64.dll" : L"KRWindowsFeaturesAction.dll";
    EXPECT_EQ(m_staging.stagingFolder.path_combine(name).c_str(), dll);
    EXPECT_TRUE(Exists(dll));
    ASSERT_EQ(6u, answers.size());
    ExtensionCallResult list;
    ASSERT_TRUE(ReadExtensionCallResult(answers[1].payload, list));
    EXPECT_EQ(L"A;B", std::wstring(reinterpret_cast<const wchar_t*>(list.result.data()), list.result.size() / 2));
    ASSERT_NE(nullptr, extension);
    EXPECT_EQ((std::vector<std::wstring>{L"get KRWindowsFeatureList", L"put KR2012CoreInstalled=1",
                                         L"progress Enabling 1/4 2"}),
              extension->calls);
    extension->Release();
    EXPECT_NE(std::wstring::npos,
              m_trace.Messages().find(L"CWindowsFeatureParcel::Install: using DismAPI on Windows 8 or newer"));
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"CWindowsFeatureParcel::CallDismApi result: 0x00000bc2"));
}

TEST_F(WindowsFeatures, MissingDllCancelAndNoExtensionEndTheStep)
{
    CWindowsFeatureParcel step([](const _stringx&, com::ComPtr<ISuiteExtension>&) { return E_OUTOFMEMORY; });
    step.SetFeatureList(L"A");
    bool reboot = true;
    EXPECT_EQ(static_cast<HRESULT>(0x80070002), step.Install(reboot));
    EXPECT_FALSE(reboot);
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Failed to extract 'KRWindowsFeaturesAction"));

    m_staging.stream = std::make_unique<STREAM>(_stringx(PayloadCarrier().c_str()));
    EXPECT_EQ(E_OUTOFMEMORY, step.Install(reboot));
    EXPECT_NE(
        std::wstring::npos,
        m_trace.Messages().find(L"CWindowsFeatureParcel::CallDismApi: failed to create extension, status 0x8007000e"));

    // A cancel at the start message ends the step before anything runs; the flag is left alone.
    m_services.eventInfoCancel = VARIANT_TRUE;
    reboot = true;
    EXPECT_EQ(static_cast<HRESULT>(0x80070642), step.Install(reboot));
    EXPECT_TRUE(reboot);
    ASSERT_FALSE(m_services.events.empty());
    EXPECT_EQ(L"OnActionEventInfo:IDS_INSTALLING_WINDOWS_FEATURES:2", m_services.events.back());
}

TEST_F(WindowsFeatures, TheDllStandInReadsTheListThroughItsExtension)
{
    const HMODULE dll = LoadLibraryW(FeaturesDllStandIn().c_str());
    ASSERT_NE(nullptr, dll);
    using Entry = HRESULT(WINAPI*)(ISuiteExtension2*);
    const auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(dll, "KRInstallWindowsFeatures")));
    ASSERT_NE(nullptr, entry);
    auto* extension = new RecordingExtension(L"IIS-WebServer;NetFx3");
    extension->result = L"3010";
    EXPECT_EQ(3010, entry(extension));
    EXPECT_EQ((std::vector<std::wstring>{L"get KRWindowsFeatureList", L"put KR2012CoreInstalled=1",
                                         L"LogInfo Turning on Windows features",
                                         L"progress Turning on Windows features 1/2 2",
                                         L"get KRWindowsFeaturesTestResult"}),
              extension->calls);
    extension->Release();
    FreeLibrary(dll);
    const std::wstring log = FeaturesDllStandIn() + L".log";
    EXPECT_EQ(L"features IIS-WebServer;NetFx3", ReadWideLines(log).at(0));
    DeleteFileW(log.c_str());
}

// The engine's own step from its run, with real proxies: a parcel to be
// installed names the features, and the engine turns them on.
class WindowsFeaturesRun : public ProxyEngine {
protected:
    void AddParcel(const wchar_t* features)
    {
        CParcel* made = nullptr;
        ASSERT_EQ(S_OK, MakeParcelForElement(L"Exe", &made));
        com::ComPtr<CParcel> parcel = com::ComPtr<CParcel>::Adopt(made);
        parcel->SetAttribute(L"Id", L"Features");
        parcel->SetAttribute(L"Name", L"Features");
        parcel->SetAttribute(L"WindowsFeatures", features);
        parcel->AddOperation(parcel_testing::MakeOperation(L"Install", {}));
        ASSERT_EQ(S_OK, parcel->put_ActionState(episInstalled));
        m_engine->Model().parcels.push_back(parcel);
    }
    void SetOS(DWORD major, DWORD minor)
    {
        OSVERSIONINFOEXW os = {};
        os.dwOSVersionInfoSize = sizeof(os);
        os.dwMajorVersion = major;
        os.dwMinorVersion = minor;
        os.wProductType = VER_NT_WORKSTATION;
        m_engine->SetOsVersionInfo(os);
    }
    // The step's result in hexadecimal, and whether it left the delayed-reboot mark.
    std::wstring Install()
    {
        m_engine->SetProperty(L"KRDelayReboot", L"", false);
        wchar_t text[16] = {};
        swprintf(text, 16, L"%08lx", static_cast<unsigned long>(m_engine->InstallWindowsFeatures()));
        return std::wstring(text) + L" " + m_engine->GetProperty(L"KRDelayReboot").c_str();
    }
};

// The proxies as the engine of a 32-bit launcher on 64-bit Windows sees them
// for the 64-bit features DLL: every DLL call needs the 64-bit companion.
class CompanionForEveryDll final : public IProxyProvider {
public:
    explicit CompanionForEveryDll(CSetupEngine& engine) : m_engine(engine), m_previous(ProxyProvider())
    {
        SetProxyProvider(this);
    }
    ~CompanionForEveryDll() { SetProxyProvider(m_previous); }

    CProxyHandler* GetProxyHandler(bool elevated, bool) override { return m_engine.GetProxyHandler(elevated, true); }
    CProxyHandler* GetElevatedProxy() override { return m_engine.GetElevatedProxy(); }
    IBootstrap2* Bootstrap() override { return static_cast<IBootstrap2*>(&m_engine); }

private:
    CSetupEngine& m_engine;
    IProxyProvider* m_previous;
};

// Runs in the restricted child.
TEST_F(WindowsFeaturesRun, DISABLED_RestrictedEngineReport)
{
    Report report;
    engine_testing::EventSink sink(*m_engine.Get());
    report.Put(L"elevated", m_engine->IsElevated() ? L"1" : L"0");
    AddParcel(L"A;B");
    SetOS(6, 1);
    report.Put(L"pkgmgr", Install());
    report.Put(L"proxy", Slots().elevated ? L"1" : L"0");

    SetOS(6, 2);
    CompanionForEveryDll companion(*m_engine.Get());
    report.Put(L"nodll", Install());
    m_engine->SetSetupStream(std::make_unique<STREAM>(_stringx(PayloadCarrier().c_str())));
    m_engine->SetProperty(L"KRWindowsFeaturesTestResult", L"3010", false);
    report.Put(L"dll", Install());
    report.Put(L"core", m_engine->GetProperty(L"KR2012CoreInstalled").c_str());
    std::wstring messages;
    for (const engine_testing::RecordedEvent& event : sink.Events())
        if (event.id == 12)
            messages += event.file + L"|";
    report.Put(L"messages", messages);
    // A 32-bit engine on 64-bit Windows stages the 64-bit DLL.
    const wchar_t* name = kr::is_wow64() ? L"KRWindowsFeaturesAction64.dll" : L"KRWindowsFeaturesAction.dll";
    const std::wstring dll = m_engine->GetStagingFolder().path_combine(name).c_str();
    report.Put(L"read", ReadWideLines(dll + L".log").at(0));
    HANDLE veltrun = Slots().elevated && Slots().elevatedX64
                         ? FindChildProcess(GetProcessId(Slots().elevated->Process()), L"Veltrun64.exe")
                         : nullptr;
    report.Put(L"companion", veltrun ? L"1" : L"0");
    if (veltrun)
        CloseHandle(veltrun);

    sink.CancelActionEventInfo(L"IDS_INSTALLING_WINDOWS_FEATURES");
    report.Put(L"cancel", Install());
    const std::wstring log = m_trace.Messages();
    report.Put(L"logged", log.find(L"Windows feature install result status: 0x80070bc2") != std::wstring::npos &&
                                  log.find(L"Windows feature install requires a reboot, deferring") !=
                                      std::wstring::npos
                              ? L"1"
                              : L"0");
}

// 6.1: the package manager through the elevated proxy; 6.2: the features DLL
// from the payload in the elevated 64-bit companion, its list read and its
// progress passed on; without the DLL, or cancelled at the start, nothing runs.
TEST(WindowsFeaturesRunTest, ARestrictedEngineTurnsFeaturesOnThroughTheElevatedProxy)
{
    const std::wstring program = PackageManagerPath();
    ASSERT_TRUE(CopyFileW((PackageManagerStandIn()).c_str(), program.c_str(), FALSE));
    DeleteFileW((program + L".log").c_str());
    WriteBytes(program + L".exit", "3010");
    auto report = RunReportingChild(L"WindowsFeaturesRun.DISABLED_RestrictedEngineReport", true);
    const std::vector<std::wstring> arguments = ReadWideLines(program + L".log");
    DeleteFileW(program.c_str());
    DeleteFileW((program + L".log").c_str());
    DeleteFileW((program + L".exit").c_str());

    ASSERT_EQ(L"0", report[L"exit"]);
    EXPECT_EQ(L"0", report[L"elevated"]);
    // The reboot codes count as success for the run.
    EXPECT_EQ(L"00000000 true", report[L"pkgmgr"]);
    EXPECT_EQ(std::vector<std::wstring>{L"/norestart /quiet /iu:A;B"}, arguments);
    EXPECT_EQ(L"1", report[L"proxy"]);
    EXPECT_EQ(L"80070002 ", report[L"nodll"]);
    EXPECT_EQ(L"00000000 true", report[L"dll"]);
    EXPECT_EQ(L"features A;B", report[L"read"]);
    EXPECT_EQ(L"1", report[L"companion"]);
    EXPECT_EQ(L"", report[L"core"]);
    EXPECT_EQ(L"80070642 ", report[L"cancel"]);
    EXPECT_EQ(L"1", report[L"logged"]);
    EXPECT_NE(std::wstring::npos, report[L"messages"].find(L"Turning on Windows features|"))
        << report[L"messages"];
}

} // namespace
