// The end of a good run registers or unregisters the suite as its maintenance
// condition says, and the optional Windows features of the parcels to be
// installed go in before the transactions, through a recording stand-in of
// the Windows-features objects.

#include <gtest/gtest.h>

#include <filesystem>

#include "SuiteRunSupport.h"
#include "support/ConditionTestSupport.h"
#include "suite/UniversalPath.h"

#include <winnetwk.h>

namespace fs = std::filesystem;
using namespace engine_testing;

namespace {

constexpr wchar_t kArpInfo[] = L"<ARPInfo><DisplayName>Run Suite</DisplayName><Version>1.2</Version></ARPInfo>";
// False while the install mode is chosen: command-line properties come later.
constexpr wchar_t kMaintenanceMode[] =
    L"<Mode><Maintenance><When><All><PropertyValue Name=\"ArpRegister\" Compare=\"Equal\" CompareTo=\"1\"/></All></When>"
    L"</Maintenance></Mode>";

std::wstring UninstallKey()
{
    return std::wstring(kUninstallKey) + L"\\" + kRunSuiteId;
}

bool EntryExists()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKey().c_str(), 0, KEY_READ | kArpRegistryView, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring EntryText(const wchar_t* name)
{
    wchar_t text[MAX_PATH] = {};
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKey().c_str(), 0, KEY_READ | kArpRegistryView, &key) !=
        ERROR_SUCCESS)
        return L"";
    DWORD size = sizeof(text) - sizeof(wchar_t);
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return text;
}

// The launcher copy's folder for a suite run by this program.
std::wstring CacheFolder(CSetupEngine& engine)
{
    return std::wstring(engine.GetProperty(L"ProgramFilesFolder").c_str()) +
           L"Korvanstilmer Installation Information\\" + kRunSuiteId;
}

void RemoveEntry(CSetupEngine* engine)
{
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, UninstallKey().c_str(), kArpRegistryView, 0);
    if (engine) {
        std::error_code ignored;
        fs::remove_all(CacheFolder(*engine), ignored);
    }
}

TEST(EngineArpRun, MaintenanceConditionRegistersOrUnregisters)
{
    RemoveEntry(nullptr);
    {
        SuiteRun run;
        testing_support::TraceCapture trace;
        ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{ParcelSpec{L"P1"}}}, L"", std::wstring(kArpInfo) + kMaintenanceMode),
                                       L"ArpRegister=1"));
        ASSERT_EQ(S_OK, run.Run());
        EXPECT_NE(std::wstring::npos, trace.Messages().find(L"Engine: registering ARP entry")) << trace.Messages();
        ASSERT_TRUE(EntryExists());
        EXPECT_EQ(L"Run Suite", EntryText(L"DisplayName"));
        EXPECT_EQ(L"1.2", EntryText(L"DisplayVersion"));
        EXPECT_EQ(L"1.2", std::wstring(run.engine->GetProperty(L"ProductVersion").c_str()));
        EXPECT_TRUE(fs::exists(fs::path(CacheFolder(*run.engine.Get())) / L"engine_run_test.exe"));
        EXPECT_EQ(1u, run.sink->Count(10));
    }
    {
        SuiteRun run;
        testing_support::TraceCapture trace;
        ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{ParcelSpec{L"P1"}}}, L"", std::wstring(kArpInfo) + kMaintenanceMode)));
        // The registered language is the installed one and asks the user for none.
        EXPECT_NE(std::wstring::npos, trace.Messages().find(L"Maintenance: got installed language: 1033"));
        ASSERT_EQ(S_OK, run.Run());
        EXPECT_NE(std::wstring::npos, trace.Messages().find(L"Engine: unregistering ARP entry"));
        EXPECT_FALSE(EntryExists());
        EXPECT_FALSE(fs::exists(CacheFolder(*run.engine.Get())));
        RemoveEntry(run.engine.Get());
    }
}

TEST(EngineArpRun, WithoutMaintenanceModeOrArpInfoNothingIsTouched)
{
    RemoveEntry(nullptr);
    const struct {
        std::wstring extra;
        const wchar_t* logged;
    } rows[] = {
        {kArpInfo, L"No maintenance mode detection condition in setup.xml, skipping register/unregister ARP info"},
        {kMaintenanceMode, L"No ARP information provided in setup.xml, skipping register/unregister ARP info"},
    };
    for (const auto& row : rows) {
        SuiteRun run;
        testing_support::TraceCapture trace;
        ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{ParcelSpec{L"P1"}}}, L"", row.extra), L"ArpRegister=1"));
        ASSERT_EQ(S_OK, run.Run());
        EXPECT_NE(std::wstring::npos, trace.Messages().find(row.logged)) << row.logged;
        EXPECT_FALSE(EntryExists());
        EXPECT_EQ(0u, run.sink->Count(10));
        EXPECT_FALSE(fs::exists(CacheFolder(*run.engine.Get())));
    }
}

// A launcher on a mapped drive: the first buffer is too small, the second
// holds the universal name.
struct MappedDrive {
    static inline std::vector<DWORD> sizes;

    static UINT WINAPI DriveType(LPCWSTR) { return DRIVE_REMOTE; }
    static DWORD WINAPI UniversalName(LPCWSTR, DWORD level, LPVOID buffer, LPDWORD size)
    {
        sizes.push_back(*size);
        const wchar_t name[] = L"\\\\fileserver\\suites\\engine_run_test.exe";
        if (level != UNIVERSAL_NAME_INFO_LEVEL)
            return ERROR_INVALID_LEVEL;
        if (sizes.size() == 1) {
            *size = 600;
            return ERROR_MORE_DATA;
        }
        if (*size < sizeof(UNIVERSAL_NAME_INFOW) + sizeof(name))
            return ERROR_MORE_DATA;
        auto* info = static_cast<UNIVERSAL_NAME_INFOW*>(buffer);
        info->lpUniversalName = reinterpret_cast<wchar_t*>(info + 1);
        memcpy(info->lpUniversalName, name, sizeof(name));
        return NO_ERROR;
    }
};

// A maintenance condition that cannot be evaluated at the end neither
// registers nor removes an entry that is there.
TEST(EngineArpRun, UnevaluableMaintenanceConditionKeepsTheEntry)
{
    RemoveEntry(nullptr);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, UninstallKey().c_str(), 0, nullptr, 0,
                                             KEY_WRITE | kArpRegistryView, nullptr, &key, nullptr));
    RegCloseKey(key);
    SuiteRun run;
    testing_support::TraceCapture trace;
    const std::wstring mode = L"<Mode><Maintenance><When><All><PropertyValue Name=\"ArpRegister\" Convert=\"DWORD\" "
                              L"Compare=\"Equal\" CompareTo=\"1\"/></All></When></Maintenance></Mode>";
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{ParcelSpec{L"P1"}}}, L"ArpRegister=\"0\"", kArpInfo + mode),
                                   L"ArpRegister=many"));
    ASSERT_EQ(S_OK, run.Run());
    EXPECT_NE(std::wstring::npos, trace.Messages().find(L"Engine: failed to evaluate the maintenance mode condition"))
        << trace.Messages();
    EXPECT_TRUE(EntryExists());
    EXPECT_EQ(L"", EntryText(L"DisplayName"));
    EXPECT_EQ(0u, run.sink->Count(10));
    RemoveEntry(run.engine.Get());
}

TEST(EngineArpRun, LauncherOnAMappedDriveIsRegisteredByItsUniversalName)
{
    RemoveEntry(nullptr);
    MappedDrive::sizes.clear();
    SuiteRun run;
    testing_support::TraceCapture trace;
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{ParcelSpec{L"P1"}}}, L"", std::wstring(kArpInfo) + kMaintenanceMode),
                                   L"ArpRegister=1"));
    const NetworkDriveCalls previous = SetNetworkDriveCalls({&MappedDrive::DriveType, &MappedDrive::UniversalName});
    const HRESULT result = run.Run();
    SetNetworkDriveCalls(previous);
    ASSERT_EQ(S_OK, result);

    EXPECT_EQ((std::vector<DWORD>{520, 602}), MappedDrive::sizes);
    EXPECT_EQ(L"\\\\fileserver\\suites\\engine_run_test.exe",
              std::wstring(run.engine->Registrar()->GetText(CMaintenanceRegistrar::LauncherSource).c_str()));
    // That share is not there: the copy fails and no entry names a missing program.
    EXPECT_FALSE(EntryExists());
    EXPECT_NE(std::wstring::npos, trace.Messages().find(L"Engine: registering ARP entry failed, error 0x8007"));
    RemoveEntry(run.engine.Get());
}

// The features step as the run sees it: it records each resolved list; the
// list "A;B" asks for a restart (0x80070BC2), "Broken" fails.
CSetupEngine::WindowsFeatureInstaller RecordingInstaller(std::vector<std::wstring>& installed)
{
    return [&installed](const _wstringx& list, bool& rebootNeeded) {
        installed.push_back(list.c_str());
        rebootNeeded = list == L"A;B";
        if (rebootNeeded)
            return static_cast<HRESULT>(0x80070BC2);
        return list == L"Broken" ? static_cast<HRESULT>(0x80070643) : S_OK;
    };
}

// The run resolves the lists against setup.xml's definitions for Windows 10.
void RunOnWindows10(CSetupEngine& engine)
{
    OSVERSIONINFOEXW os = {};
    os.dwOSVersionInfoSize = sizeof(os);
    os.dwMajorVersion = 10;
    os.wProductType = VER_NT_WORKSTATION;
    engine.SetOsVersionInfo(os);
}

TEST(EngineArpRun, WindowsFeaturesGoInBeforeTheTransactions)
{
    RestartRecorder restarts;
    std::vector<std::wstring> installed;
    SuiteRun run;
    testing_support::TraceCapture trace;
    ParcelSpec rebooting{L"P1", L"p1.exe", L"", L"Name=\"Reboot\" WindowsFeatures=\"A;B\""};
    ParcelSpec empty{L"P2", L"p2.exe", L"", L"Name=\"Empty\" WindowsFeatures=\"Nothing\""};
    ParcelSpec plain{L"P3", L"p3.exe", L"", L"Name=\"Plain\" WindowsFeatures=\"Web\""};
    ParcelSpec none{L"P4", L"p1.exe"};
    const std::wstring definitions =
        L"<WindowsFeaturesDefinitions><Nothing><Client_1000></Client_1000><ItemAllOS>X</ItemAllOS></Nothing>"
        L"<Web><DependsOn>Net</DependsOn><Client_1000>W</Client_1000></Web><Net><Client_1000>N</Client_1000></Net>"
        L"</WindowsFeaturesDefinitions>";
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{rebooting}, {empty}, {plain}, {none}}, L"", definitions)));
    RunOnWindows10(*run.engine.Get());
    run.engine->SetWindowsFeatureInstaller(RecordingInstaller(installed));
    EXPECT_EQ(3010, run.Run());

    EXPECT_EQ((std::vector<std::wstring>{L"A;B", L"N;W"}), installed);
    EXPECT_EQ(L"true", std::wstring(run.engine->GetProperty(L"KRDelayReboot").c_str()));
    EXPECT_EQ((std::vector<std::wstring>{L"P1 Install", L"P2 Install", L"P3 Install", L"P4 Install"}), run.Started());
    const std::wstring log = trace.Messages();
    EXPECT_NE(std::wstring::npos,
              log.find(L"Windows feature install requires a reboot, deferring reboot to end of suite install"));
    EXPECT_NE(std::wstring::npos,
              log.find(L"Skipping installation of Windows features for parcel 'Empty' due to empty list"));
    EXPECT_NE(std::wstring::npos, log.find(L"No Windows features associated with parcel 'P4'"));
    EXPECT_EQ(0, RestartRecorder::Count());
}

TEST(EngineArpRun, FailedWindowsFeaturesEndTheRunAtOnce)
{
    RestartRecorder restarts;
    std::vector<std::wstring> installed;
    SuiteRun run;
    testing_support::TraceCapture trace;
    ParcelSpec broken{L"P1", L"p1.exe", L"", L"Name=\"Broken\" WindowsFeatures=\"Broken\""};
    ParcelSpec later{L"P2", L"p2.exe", L"", L"Name=\"Later\" WindowsFeatures=\"B\""};
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{broken}, {later}})));
    run.engine->SetWindowsFeatureInstaller(RecordingInstaller(installed));
    EXPECT_EQ(static_cast<HRESULT>(0x80070643), run.Run());
    EXPECT_EQ((std::vector<std::wstring>{L"Broken"}), installed);
    EXPECT_TRUE(run.Started().empty());
    EXPECT_NE(std::wstring::npos,
              trace.Messages().find(L"Failed installing Windows features for parcel 'Broken', error 0x80070643"));
}

} // namespace
