// The "Krp" handler against the script engine's stand-in, calling back from a
// thread of its own, in this process and in the engine's real elevated proxy
// (the engine under a restricted token): the feature switches, the command
// line, where the setup and the script engine are taken from, the call-backs'
// way to the parcel's events; lost results come from a scripted peer in the
// elevated proxy's place.

#include "ParcelKindsSupport.h"

#include "automation/ProxyStubRegistration.h"
#include "kr/system_info.h"
#include "parcels/KrpParcelHandler.h"
#include "parcels/PipeRecords.h"

using namespace parcel_kinds;
using namespace proxy_testing;

namespace {

const wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::wstring LineStartingWith(const std::vector<std::wstring>& lines, const std::wstring& start)
{
    for (const std::wstring& line : lines)
        if (line.compare(0, start.size(), start) == 0)
            return line.substr(start.size());
    return L"<none>";
}

// The temporary disk1 folder the command line names.
std::wstring TempDisk1(const std::wstring& commandLine)
{
    const std::wstring key = L"-tempdisk1folder:\"";
    const size_t at = commandLine.find(key);
    if (at == std::wstring::npos)
        return L"";
    const size_t end = commandLine.find(L'"', at + key.size());
    return commandLine.substr(at + key.size(), end - at - key.size());
}

class KrpParcel : public ParcelKinds {
protected:
    void SetUp() override
    {
        ParcelKinds::SetUp();
        m_services.setupEngine.store.SetAttribute(L"KRSelectedLanguage", L"1033");
        MakeParcel(L"Krp");
    }
    void TearDown() override
    {
        if (!m_productCode.empty())
            RegDeleteKeyW(HKEY_CURRENT_USER, (kUninstall + m_productCode).c_str());
        ParcelKinds::TearDown();
    }

    CKrpParcelHandler& Handler() { return *dynamic_cast<CKrpParcelHandler*>(m_parcel->Handler()); }

    // A setup folder with the script engine stand-in, its script and the setup file.
    void PlaceSetup(const std::wstring& folder, const std::string& script)
    {
        MakeFolder(folder);
        ASSERT_TRUE(CopyFileW((ProgramFolder() + L"REViziz.dll").c_str(),
                              (folder + L"\\REViziz.dll").c_str(), FALSE));
        WriteBytes(folder + L"\\REViziz.script", script);
        WriteBytes(folder + L"\\setup.qlg", "setup");
    }

    // The product registered under the current user, with its log file in folder when given.
    void RegisterProduct(const wchar_t* logFolder)
    {
        m_productCode = L"{" + std::wstring(kr::new_guid_string().c_str()) + L"}";
        m_parcel->SetAttribute(L"ProductCode", m_productCode.c_str());
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (kUninstall + m_productCode).c_str(), 0, nullptr,
                                                 0, KEY_WRITE, nullptr, &key, nullptr));
        if (logFolder) {
            const std::wstring log = std::wstring(logFolder) + L"\\Setup.log";
            RegSetValueExW(key, L"LogFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(log.c_str()),
                           static_cast<DWORD>((log.size() + 1) * sizeof(wchar_t)));
        }
        RegCloseKey(key);
    }

    std::wstring m_productCode;
};

TEST_F(KrpParcel, FeatureSwitchesFollowTheInstallMode)
{
    const struct {
        EnumInstallMode mode;
        int kind;
        const wchar_t* install;
        const wchar_t* remove;
        const wchar_t* commandLine;
        const wchar_t* switches;
    } cases[] = {
        {eimInstall, episInstalled, L"", L"", L"", L"KRFeatureInstall=ALL"},
        {eimInstall, episInstalled, L"Core", L"Docs", L"", L"KRFeatureInstall=Core KRFeatureRemove=Docs"},
        {eimInstall, episInstalled, L"Core", L"", L"/s KRFeatureInstall=Mine", L""},
        {eimInstall, episInstalled, L"", L"", L"/s krfeatureinstall=Mine", L"KRFeatureInstall=ALL"},
        {eimModify, episRemove, L"Core", L"Docs", L"", L"/removeonly"},
        {eimModify, episModify, L"Core", L"", L"", L"KRFeatureInstall=Core "},
        {eimModify, episModify, L"", L"Docs", L"", L" KRFeatureRemove=Docs"},
        {eimModify, episModify, L"Core", L"Docs", L"KRFeatureInstall=A KRFeatureRemove=B", L" "},
        {eimRemove, episRemove, L"", L"", L"", L"/removeonly"},
        {eimRemove, episRemove, L"", L"", L"-REMOVEONLY", L""},
        {eimRemove, episRemove, L"", L"", L"KRFeatureRemove=Docs", L""},
        {eimRepair, episRepair, L"", L"", L"", L"/repaironly"},
        {eimRepair, episRepair, L"", L"", L"/RepairOnly", L""},
        {eimAdmin, episInstalled, L"Core", L"", L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " line " << c.commandLine);
        m_parcel->SetAttribute(L"KRParcelFeatureInstall", c.install);
        m_parcel->SetAttribute(L"KRParcelFeatureRemove", c.remove);
        EXPECT_EQ(std::wstring(c.switches), Handler().BuildFeatureSwitches(c.mode, c.kind, c.commandLine).c_str());
    }
}

TEST_F(KrpParcel, InProcessSetupReportsFromItsOwnThreadToTheParcel)
{
    // The launcher registers its marshalling code on the engine's thread at start.
    CProxyStubRegistration proxyStubs;
    PlaceSetup(m_folder.path(), "progress 30 0 1\nprogress 40 1 0 Copying files\nprogress 50 0 0\n"
                                "error 16 Disk full\nquery 1 data1.cab\nlog from the script\nresult 80070bc2\n");
    EXPECT_EQ(static_cast<HRESULT>(0x80070BC2),
              RunOperation(L"Install", {{L"Target", L"setup.qlg"}, {L"CommandLine", L"/s"}}));
    EXPECT_TRUE(Handler().IsRebootStatus());

    const std::vector<std::wstring> log = ReadWideLines(m_folder / L"REViziz.log");
    EXPECT_EQ(m_folder / L"REViziz.dll", LineStartingWith(log, L"engine="));
    EXPECT_EQ(m_folder.path(), LineStartingWith(log, L"folder="));
    const std::wstring commandLine = LineStartingWith(log, L"cmd=");
    const std::wstring temp = TempDisk1(commandLine);
    ASSERT_FALSE(temp.empty()) << commandLine;
    EXPECT_EQ(L"/s -l1033 -tempdisk1folder:\"" + temp + L"\" KRFeatureInstall=ALL", commandLine);
    EXPECT_EQ(L'\\', temp.back());
    EXPECT_FALSE(Exists(temp));
    EXPECT_NE(LineStartingWith(log, L"caller thread "), LineStartingWith(log, L"worker thread "));
    EXPECT_EQ(L"00000000 kind 4 answer D:\\media", LineStartingWith(log, L"query -> "));
    EXPECT_EQ(L"00000000", LineStartingWith(log, L"log -> "));

    const std::vector<parcel_testing::SinkCall> progress = SinkCallsOf(2);
    ASSERT_EQ(3u, progress.size());
    EXPECT_EQ((std::vector<std::wstring>{L"BSTR:", L"I4:30", L"I4:100", L"I4:1", L"BOOL*"}), progress[0].arguments);
    EXPECT_EQ((std::vector<std::wstring>{L"BSTR:Copying files", L"I4:40", L"I4:100", L"I4:2", L"BOOL*"}),
              progress[1].arguments);
    EXPECT_EQ(L"I4:0", progress[2].arguments[3]);
    const std::vector<parcel_testing::SinkCall> errors = SinkCallsOf(3);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(L"BSTR:Disk full", errors[0].arguments[1]);
    EXPECT_EQ(L"I4:16", errors[0].arguments[2]);
    EXPECT_EQ(std::vector<std::wstring>{L"OnPromptForSourceMedia:data1.cab"}, m_services.events);
    EXPECT_EQ(eppsComplete, std::stoi(SinkCallsOf(1).back().arguments[0].substr(3)));

    const std::wstring trace = m_trace.Messages();
    EXPECT_NE(std::wstring::npos, trace.find(L"(KRP Parcel): from the script"));
    EXPECT_EQ(std::wstring::npos, trace.find(L"failed to marshal parcel"));
    EXPECT_EQ(std::wstring::npos, trace.find(L"failed to unmarshal parcel"));
    EXPECT_NE(std::wstring::npos, trace.find(L"Final result status for KRP parcel: 80070bc2"));
}

TEST_F(KrpParcel, ACancelFromTheUserInterfaceStopsTheSetup)
{
    CProxyStubRegistration proxyStubs;
    PlaceSetup(m_folder.path(), "progress 10 1 0 Starting\n");
    m_sink->answer = VARIANT_TRUE;
    RunOperation(L"Install", {{L"Target", L"setup.qlg"}});
    EXPECT_EQ(L"80004004", LineStartingWith(ReadWideLines(m_folder / L"REViziz.log"), L"progress -> "));
}

TEST_F(KrpParcel, MissingTargetOrScriptEngineStopsTheRun)
{
    EXPECT_EQ(static_cast<HRESULT>(0x80070002), RunOperation(L"Install", {{L"Target", L"absent.qlg"}}));
    EXPECT_EQ(static_cast<HRESULT>(0x80070002), Handler().GetLastStatus()) << "the parcel's exit code";
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Parcel target exe does not exist"));
    EXPECT_EQ(std::vector<DISPID>{1}, SinkIds());

    WriteBytes(m_folder / L"setup.qlg", "setup");
    EXPECT_EQ(kScriptEngineNotLoaded, RunOperation(L"Install", {{L"Target", L"setup.qlg"}}));
    CopyFileW(FeaturesDllStandIn().c_str(), (m_folder / L"REViziz.dll").c_str(), FALSE);
    EXPECT_EQ(kScriptEngineEntryMissing, RunOperation(L"Install", {{L"Target", L"setup.qlg"}}));
}

TEST_F(KrpParcel, MaintenanceRunsTheSetupOfTheInstalledProduct)
{
    m_services.mode = eimRemove;
    RegisterProduct(nullptr);
    EXPECT_EQ(E_FAIL, RunOperation(L"Remove", {{L"Target", L"setup.qlg"}}));
    EXPECT_EQ(E_FAIL, Handler().GetLastStatus());
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"KRP parcel: unable to obtain log file path (result 0)"));
    EXPECT_EQ(std::vector<DISPID>{1}, SinkIds());

    const std::wstring disk1 = m_folder / L"disk1";
    PlaceSetup(disk1, "result 0\n");
    RegisterProduct(disk1.c_str());
    EXPECT_EQ(S_OK, RunOperation(L"Remove", {{L"Target", L"setup.qlg"}}));
    const std::vector<std::wstring> log = ReadWideLines(disk1 + L"\\REViziz.log");
    const std::wstring commandLine = LineStartingWith(log, L"cmd=");
    const std::wstring temp = TempDisk1(commandLine);
    EXPECT_EQ(temp + L"REViziz.dll", LineStartingWith(log, L"engine="));
    EXPECT_EQ(disk1, LineStartingWith(log, L"folder="));
    EXPECT_NE(std::wstring::npos, commandLine.find(L" /removeonly"));
    EXPECT_FALSE(Exists(temp));
}

TEST_F(KrpParcel, FeatureStateIsAskedOfTheInstalledScriptEngine)
{
    const std::wstring disk1 = m_folder / L"disk1";
    PlaceSetup(disk1, "installed Tools\n");
    RegisterProduct(disk1.c_str());
    int state = -1;
    EXPECT_EQ(S_OK, Handler().GetFeatureState(L"Tools", &state));
    EXPECT_EQ(1, state);
    EXPECT_EQ(S_OK, Handler().GetFeatureState(L"Docs", &state));
    EXPECT_EQ(0, state);
    EXPECT_EQ(disk1 + L"\\Setup.qlg Tools", LineStartingWith(ReadWideLines(disk1 + L"\\REViziz.log"), L"feature "));

    WriteBytes(disk1 + L"\\REViziz.script", "featurefail 80004005\n");
    EXPECT_EQ(E_FAIL, Handler().GetFeatureState(L"Tools", &state));
    DeleteFileW((disk1 + L"\\REViziz.dll").c_str());
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND), Handler().GetFeatureState(L"Tools", &state));
}

TEST_F(KrpParcel, DetectionLooksForTheRegisteredProductAndItsLog)
{
    EnumParcelInstallState state = episInvalid;
    m_parcel->SetAttribute(L"ProductCode", L"not a code");
    EXPECT_EQ(E_INVALIDARG, Handler().Detect(&state, false));
    EXPECT_NE(std::wstring::npos,
              m_trace.Messages().find(L"Krp parcel detection: failed to validate installed condition"));

    const std::wstring disk1 = m_folder / L"disk1";
    RegisterProduct(disk1.c_str());
    EXPECT_EQ(S_OK, Handler().Detect(&state, false));
    EXPECT_EQ(episAbsent, state) << "no log file yet";
    MakeFolder(disk1);
    WriteBytes(disk1 + L"\\Setup.log", "log");
    EXPECT_EQ(S_OK, Handler().Detect(&state, false));
    EXPECT_EQ(episInstalled, state);

    Handler().ClearOwnDetection();
    EXPECT_EQ(1, Handler().Detect(&state, false));
}

// Runs in the restricted child: the engine is not elevated, so the parcel's
// setup goes to the engine's real elevated proxy, where the script engine's
// stand-in calls back from its own thread.
TEST_F(KrpParcel, DISABLED_ElevatedRunReport)
{
    Report report;
    report.Put(L"elevated", m_engine->IsElevated() ? L"1" : L"0");
    m_proxies.realProxies = m_engine.Get();
    m_parcel->SetAttribute(L"Elevation", L"required");
    PlaceSetup(m_folder.path(), "progress 30 0 1\nprogress 40 1 0 Copying files\nerror 16 Disk full\n"
                                "query 1 data1.cab\nlog from the script\nresult 80070bc2\n");
    const HRESULT result = RunOperation(L"Install", {{L"Target", L"setup.qlg"}, {L"CommandLine", L"/s"}});
    wchar_t hex[16] = {};
    swprintf(hex, 16, L"%08x", static_cast<unsigned>(result));
    report.Put(L"result", hex);
    const CProxyHandler* proxy = m_engine->Model().proxies.elevated.get();
    report.Put(L"ownProcess", proxy && GetProcessId(proxy->Process()) != GetCurrentProcessId() ? L"1" : L"0");
    report.Put(L"handler9", proxy && proxy->FindHandler(9) ? L"1" : L"0");

    const std::vector<std::wstring> log = ReadWideLines(m_folder / L"REViziz.log");
    report.Put(L"engine", LineStartingWith(log, L"engine="));
    report.Put(L"disk1", LineStartingWith(log, L"folder="));
    const std::wstring commandLine = LineStartingWith(log, L"cmd=");
    report.Put(L"cmd", commandLine);
    report.Put(L"tempGone", Exists(TempDisk1(commandLine)) ? L"0" : L"1");
    report.Put(L"threads", LineStartingWith(log, L"caller thread ") != LineStartingWith(log, L"worker thread ")
                               ? L"apart"
                               : L"same");
    report.Put(L"query", LineStartingWith(log, L"query -> "));
    report.Put(L"error", LineStartingWith(log, L"error -> "));
    report.Put(L"log", LineStartingWith(log, L"log -> "));

    std::wstring progress;
    for (const parcel_testing::SinkCall& call : SinkCallsOf(2)) {
        progress += L"[";
        for (const std::wstring& argument : call.arguments)
            progress += argument + L";";
        progress += L"]";
    }
    report.Put(L"progress", progress);
    const std::vector<parcel_testing::SinkCall> errors = SinkCallsOf(3);
    report.Put(L"errors", std::to_wstring(errors.size()) +
                              (errors.empty() ? L"" : L":" + errors[0].arguments[1] + L";" + errors[0].arguments[2]));
    std::wstring events;
    for (const std::wstring& event : m_services.events)
        events += event + L";";
    report.Put(L"events", events);
    const std::wstring trace = m_trace.Messages();
    report.Put(L"extensionLog", trace.find(L"(KRP Parcel): from the script") != std::wstring::npos ? L"1" : L"0");
    report.Put(L"requested", trace.find(L"KRP parcel requires elevation") != std::wstring::npos ? L"1" : L"0");
}

TEST(KrpParcelElevated, RestrictedEngineRunsTheSetupInItsElevatedProxy)
{
    auto report = RunReportingChild(L"KrpParcel.DISABLED_ElevatedRunReport", true);
    ASSERT_EQ(L"0", report[L"exit"]);
    EXPECT_EQ(L"0", report[L"elevated"]);
    EXPECT_EQ(L"1", report[L"requested"]);
    EXPECT_EQ(L"1", report[L"ownProcess"]);
    EXPECT_EQ(L"0", report[L"handler9"]) << "unregistered after the run";
    EXPECT_EQ(L"80070bc2", report[L"result"]);

    // The proxy found the script engine by "-krenginedir:" and took the switch off the command line.
    const std::wstring disk1 = report[L"disk1"];
    EXPECT_EQ(disk1 + L"\\REViziz.dll", report[L"engine"]);
    const std::wstring temp = TempDisk1(report[L"cmd"]);
    ASSERT_FALSE(temp.empty()) << report[L"cmd"];
    EXPECT_EQ(L"/s -l1033 -tempdisk1folder:\"" + temp + L"\" KRFeatureInstall=ALL ", report[L"cmd"]);
    EXPECT_EQ(L"1", report[L"tempGone"]);

    // Call-backs from the stand-in's own thread reached the parcel's events and came back answered.
    EXPECT_EQ(L"apart", report[L"threads"]);
    EXPECT_EQ(L"[BSTR:;I4:30;I4:100;I4:1;BOOL*;][BSTR:Copying files;I4:40;I4:100;I4:2;BOOL*;]", report[L"progress"]);
    EXPECT_EQ(L"1:BSTR:Disk full;I4:16", report[L"errors"]);
    EXPECT_EQ(L"00000000 action 0", report[L"error"]);
    EXPECT_EQ(L"OnPromptForSourceMedia:data1.cab;", report[L"events"]);
    EXPECT_EQ(L"00000000 kind 4 answer D:\\media", report[L"query"]);
    EXPECT_EQ(L"00000000", report[L"log"]);
    EXPECT_EQ(L"1", report[L"extensionLog"]);
}

TEST_F(KrpParcel, ALostResultOfTheElevatedRunIsAnError)
{
    m_parcel->SetAttribute(L"Elevation", L"required");
    PlaceSetup(m_folder.path(), "result 0\n");
    for (LostResult ending : {LostResult::Dropped, LostResult::Empty}) {
        ScriptedPeer peer(LosingProxy(ending, {3, 0, 0, 0, 0, 0}));
        m_proxies.elevated = peer.TakeEngineEnd();
        const HRESULT hr = RunOperation(L"Install", {{L"Target", L"setup.qlg"}});
        m_proxies.elevated.reset();
        peer.Join();
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        if (ending == LostResult::Empty) {
            EXPECT_EQ(static_cast<HRESULT>(0x800700E9), hr);
        }
    }
    EXPECT_EQ(static_cast<HRESULT>(0x800700E9), RunOperation(L"Install", {{L"Target", L"setup.qlg"}}));
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Could not obtain proxy handler for elevated KRP parcel"));
}

} // namespace
