// The suite's Add/Remove Programs entry written and removed by an elevated
// engine in place, and by an engine under a restricted token through its
// elevated proxy (request 8): the values, the launcher copy, the event, the
// installed language, and the failures that must leave no entry behind.

#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "ProxyTestSupport.h"
#include "TestFolder.h"
#include "kr/elevation.h"
#include "parcels/MaintenanceRegistrar.h"
#include "payload/Stream.h"

using namespace proxy_testing;

namespace {

constexpr wchar_t kRootVariable[] = L"ARP_REGISTRATION_TEST_ROOT";
constexpr DISPID kOnSuiteRegistration = 10;

struct Child {
    const wchar_t* name;
    const wchar_t* text;
};

// Expected values: "#" and a decimal number for a REG_DWORD, "-" for a value
// that is not there, else the text, where {cached}, {folder} and {root} stand
// for the launcher copy, its folder and the test's folder.
struct Expected {
    const wchar_t* name;
    const wchar_t* value;
};

struct ArpRow {
    const wchar_t* id;
    std::vector<Child> children;
    bool passive;
    std::vector<Expected> values;
};

const std::vector<ArpRow>& Rows()
{
    static const std::vector<ArpRow> rows = {
        {L"{3C6E0A51-7D2B-4E8F-9A1C-5B4D3E2F1A01}",
         {{L"DISPLAYNAME", L"IDS_ARP_NAME"}, {L"Publisher", L"Vantrel"}, {L"Version", L"1.2"}, {L"Size", L"1024"},
          {L"Remove", L"No"}, {L"Icon", L""}, {L"Readme", L"[ProgramFilesFolder]readme.txt"}, {L"Other", L"x"}},
         true,
         {{L"DisplayName", L"Registered Suite"}, {L"DisplayVersion", L"1.2"}, {L"Publisher", L"Vantrel"},
          {L"Version", L"#16908288"}, {L"VersionMajor", L"#1"}, {L"VersionMinor", L"#2"}, {L"EstimatedSize", L"#1024"},
          {L"Language", L"#1031"}, {L"NoRemove", L"#1"}, {L"NoModify", L"-"}, {L"NoRepair", L"#1"},
          {L"UninstallString", L"\"{cached}\" -remove -runfromtemp /passive"},
          {L"ModifyPath", L"\"{cached}\" -modify -runfromtemp"}, {L"DisplayIcon", L"{cached}"},
          {L"Readme", L"{root}\\pf\\readme.txt"}, {L"Other", L"-"}}},
        {L"{3C6E0A51-7D2B-4E8F-9A1C-5B4D3E2F1A02}",
         {{L"Version", L"256.0"}, {L"Size", L"abc"}, {L"Remove", L"yes"}, {L"Modify", L"NO"},
          {L"Icon", L"Stream:Veltrun64.exe,1"}},
         false,
         {{L"DisplayVersion", L"256.0"}, {L"Version", L"#0"}, {L"VersionMajor", L"#0"}, {L"VersionMinor", L"#0"},
          {L"EstimatedSize", L"#0"}, {L"NoRemove", L"-"}, {L"NoModify", L"#1"}, {L"NoRepair", L"#1"},
          {L"UninstallString", L"\"{cached}\" -remove -runfromtemp"}, {L"DisplayName", L""},
          {L"DisplayIcon", L"{folder}\\Veltrun64.exe,1"}}},
        {L"{3C6E0A51-7D2B-4E8F-9A1C-5B4D3E2F1A03}",
         {{L"Icon", L"Stream:Veltrun64.exe"}},
         false,
         {{L"DisplayIcon", L"{folder}\\Veltrun64.exe"}, {L"NoRepair", L"#1"}}},
    };
    return rows;
}

std::wstring EntryKey(const std::wstring& id)
{
    return std::wstring(kUninstallKey) + L"\\" + id;
}

std::wstring CachedPath(const std::wstring& root, const std::wstring& id)
{
    const std::wstring self = SelfPath();
    return root + L"\\pf\\Korvanstilmer Installation Information\\" + id + self.substr(self.rfind(L'\\'));
}

std::wstring Replace(std::wstring text, const std::wstring& what, const std::wstring& with)
{
    for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

bool EntryExists(const std::wstring& id)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, EntryKey(id).c_str(), 0, KEY_READ | kArpRegistryView, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring ReadValue(const std::wstring& id, const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, EntryKey(id).c_str(), 0, KEY_READ | kArpRegistryView, &key) !=
        ERROR_SUCCESS)
        return L"-";
    BYTE data[2048] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    const LONG read = RegQueryValueExW(key, name, nullptr, &type, data, &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS)
        return L"-";
    if (type == REG_DWORD)
        return L"#" + std::to_wstring(*reinterpret_cast<DWORD*>(data));
    return reinterpret_cast<wchar_t*>(data);
}

void RemoveEntry(const std::wstring& id)
{
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, EntryKey(id).c_str(), kArpRegistryView, 0);
}

void RemoveEntries()
{
    for (const ArpRow& row : Rows()) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, EntryKey(row.id).c_str(), 0, KEY_ALL_ACCESS | kArpRegistryView, &key) ==
            ERROR_SUCCESS) {
            RegDeleteKeyExW(key, L"Child", kArpRegistryView, 0);
            RegCloseKey(key);
        }
        RemoveEntry(row.id);
    }
}

// An engine whose program-files folder lies in the test's folder and whose
// setup payload carries Veltrun64.exe.
com::ComPtr<CSetupEngine> RowEngine(const std::wstring& root)
{
    com::ComPtr<CSetupEngine> engine = engine_testing::NewEngine();
    engine->SetSupportFolder((root + L"\\staging").c_str());
    engine->SetSetupStream(std::make_unique<STREAM>(CompanionCarrierPath().c_str()));
    engine->SetProperty(L"ProgramFilesFolder", (root + L"\\pf\\").c_str(), false);
    engine->StringTable(1033)->SetAttribute(L"IDS_ARP_NAME", L"Registered Suite");
    engine->SetProperty(L"KRSelectedLanguage", L"1033", false);
    return engine;
}

std::wstring Hex(HRESULT value)
{
    wchar_t text[16] = {};
    swprintf(text, 16, L"0x%08x", static_cast<unsigned>(value));
    return text;
}

// "count:value/type" of the registration events.
std::wstring Events(const engine_testing::EventSink& sink)
{
    std::wstring text = std::to_wstring(sink.Count(kOnSuiteRegistration));
    for (const engine_testing::RecordedEvent& event : sink.Events())
        if (event.id == kOnSuiteRegistration)
            text += L":" + std::to_wstring(event.state) + L"/" + std::to_wstring(event.type);
    return text;
}

using Results = std::map<std::wstring, std::wstring>;

// Runs in the engine's process: in place in an elevated test, through the
// elevated proxy in a restricted one.
Results RegisterRows(const std::wstring& root, bool registering)
{
    Results results;
    for (const ArpRow& row : Rows()) {
        testing_support::TraceCapture trace;
        com::ComPtr<CSetupEngine> engine = RowEngine(root);
        engine_testing::EventSink sink(*engine.Get());
        CProperties* arp = engine->ArpInfo();
        CMaintenanceRegistrar& registrar = *engine->Registrar();
        registrar.SetSuiteId(row.id);
        if (registering) {
            for (const Child& child : row.children)
                arp->SetAttribute(child.name, child.text);
            registrar.SetLauncherSourcePath((ProgramFolder() + L"launcher_exit_standin.exe").c_str());
            registrar.SetLanguage(1031);
            registrar.SetPassive(row.passive);
        }
        const std::wstring id = row.id;
        results[id + L".result"] = Hex(registering ? registrar.Register() : registrar.Unregister());
        results[id + L".events"] = Events(sink);
        results[id + L".logged"] =
            trace.Messages().find(L"Failed to convert product version '256.0' to numeric value") != std::wstring::npos
                ? L"1"
                : L"0";
    }
    return results;
}

void ExpectNotRegistered()
{
    for (const ArpRow& row : Rows()) {
        CMaintenanceRegistrar reader(true, nullptr);
        reader.SetSuiteId(row.id);
        LANGID language = 1;
        EXPECT_FALSE(reader.GetInstalledLanguage(language));
        EXPECT_EQ(0, language);
    }
}

void ExpectRegistered(Results& results, const std::wstring& root)
{
    for (const ArpRow& row : Rows()) {
        SCOPED_TRACE(row.id);
        const std::wstring id = row.id;
        const std::wstring cached = CachedPath(root, id);
        EXPECT_EQ(L"0x00000000", results[id + L".result"]);
        EXPECT_EQ(L"1:-1/2", results[id + L".events"]) << "once, VT_I2 -1";
        EXPECT_EQ(id == Rows()[1].id ? L"1" : L"0", results[id + L".logged"]);
        // Wine shows a file set to FILE_ATTRIBUTE_NORMAL as an archive; what matters is that nothing guards it.
        const DWORD attributes = GetFileAttributesW(cached.c_str());
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
        EXPECT_EQ(0u, attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
        for (const Expected& value : row.values) {
            std::wstring expected = Replace(value.value, L"{cached}", cached);
            expected = Replace(expected, L"{folder}", cached.substr(0, cached.rfind(L'\\')));
            expected = Replace(expected, L"{root}", root);
            EXPECT_EQ(expected, ReadValue(id, value.name)) << value.name;
        }
        CMaintenanceRegistrar reader(true, nullptr);
        reader.SetSuiteId(row.id);
        LANGID language = 0;
        EXPECT_TRUE(reader.GetInstalledLanguage(language));
        EXPECT_EQ(1031, language);
    }
}

// The first entry has a subkey: it stays, and so does nothing else.
void AddSubkeyToFirst()
{
    HKEY child = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, (EntryKey(Rows()[0].id) + L"\\Child").c_str(), 0,
                                             nullptr, 0, KEY_WRITE | kArpRegistryView, nullptr, &child, nullptr));
    RegCloseKey(child);
}

void ExpectUnregistered(Results& results, const std::wstring& root)
{
    for (const ArpRow& row : Rows()) {
        SCOPED_TRACE(row.id);
        const std::wstring id = row.id;
        EXPECT_EQ(L"0x00000000", results[id + L".result"]);
        EXPECT_EQ(L"1:0/2", results[id + L".events"]);
        EXPECT_FALSE(Exists(root + L"\\pf\\Korvanstilmer Installation Information\\" + id));
        EXPECT_EQ(id == Rows()[0].id, EntryExists(id));
    }
}

TEST(ArpRegistration, ElevatedEngineRegistersInPlace)
{
    if (!kr::is_elevated())
        GTEST_SKIP() << "the test does not run elevated here";
    TestFolder root;
    RemoveEntries();
    ExpectNotRegistered();
    Results registered = RegisterRows(root.path(), true);
    ExpectRegistered(registered, root.path());
    AddSubkeyToFirst();
    Results unregistered = RegisterRows(root.path(), false);
    ExpectUnregistered(unregistered, root.path());
    RemoveEntries();
}

TEST(ArpRegistrationChild, DISABLED_RegisterReport)
{
    Report report;
    report.Put(L"elevated", kr::is_elevated() ? L"1" : L"0");
    for (const auto& [name, value] : RegisterRows(Variable(kRootVariable), true))
        report.Put(name, value);
}

TEST(ArpRegistrationChild, DISABLED_UnregisterReport)
{
    Report report;
    for (const auto& [name, value] : RegisterRows(Variable(kRootVariable), false))
        report.Put(name, value);
}

TEST(ArpRegistration, RestrictedEngineRegistersThroughTheElevatedProxy)
{
    TestFolder root;
    RemoveEntries();
    ExpectNotRegistered();
    SetEnvironmentVariableW(kRootVariable, root.path().c_str());
    Results registered = RunReportingChild(L"ArpRegistrationChild.DISABLED_RegisterReport", true);
    ASSERT_EQ(L"0", registered[L"exit"]);
    EXPECT_EQ(L"0", registered[L"elevated"]);
    ExpectRegistered(registered, root.path());
    AddSubkeyToFirst();
    Results unregistered = RunReportingChild(L"ArpRegistrationChild.DISABLED_UnregisterReport", true);
    SetEnvironmentVariableW(kRootVariable, nullptr);
    ASSERT_EQ(L"0", unregistered[L"exit"]);
    ExpectUnregistered(unregistered, root.path());
    RemoveEntries();
}

constexpr wchar_t kFailingId[] = L"{3C6E0A51-7D2B-4E8F-9A1C-5B4D3E2F1A09}";

HRESULT RegisterFailing(const std::wstring& root, const std::wstring& launcher)
{
    com::ComPtr<CSetupEngine> engine = RowEngine(root);
    engine->ArpInfo()->SetAttribute(L"DisplayName", L"Failing");
    CMaintenanceRegistrar& registrar = *engine->Registrar();
    registrar.SetSuiteId(kFailingId);
    registrar.SetLauncherSourcePath(launcher.c_str());
    return registrar.Register();
}

TEST(ArpRegistration, EntryWithoutItsLauncherCopyIsNotWritten)
{
    TestFolder root;
    RemoveEntry(kFailingId);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), RegisterFailing(root.path(), root / L"absent.exe"));
    EXPECT_FALSE(EntryExists(kFailingId));
}

TEST(ArpRegistration, EntryKeyThatRefusesWritingIsReported)
{
    TestFolder root;
    RemoveEntry(kFailingId);
    // Everyone may read and delete the key, nobody may write it (Wine takes
    // the DACL when it is set on the key, not from the creation's attributes).
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KRSD;;;WD)", SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, EntryKey(kFailingId).c_str(), 0, nullptr, 0,
                                             KEY_READ | WRITE_DAC | kArpRegistryView, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor));
    RegCloseKey(key);
    LocalFree(descriptor);

    EXPECT_EQ(E_ACCESSDENIED, RegisterFailing(root.path(), ProgramFolder() + L"launcher_exit_standin.exe"));
    EXPECT_EQ(L"-", ReadValue(kFailingId, L"DisplayName"));
    RemoveEntry(kFailingId);
    EXPECT_FALSE(EntryExists(kFailingId));
}

// Request 8 as a damaged engine might send it: only a cached launcher in a
// folder named by the suite id may have its folder deleted.
TEST(ArpRegistration, ProxyDeletesNoFolderButTheSuitesOwn)
{
    TestFolder root;
    com::ComPtr<CSetupEngine> engine = engine_testing::NewEngine();
    CProxyHandler* proxy = engine->GetElevatedProxy();
    ASSERT_NE(nullptr, proxy);
    const std::wstring id = kFailingId;
    auto unregister = [&](const std::wstring& cached, DWORD operation = 0, const std::wstring& suite = kFailingId) {
        ArpRecord record;
        record.operation = operation;
        record.texts[CMaintenanceRegistrar::SuiteId] = suite.c_str();
        record.texts[CMaintenanceRegistrar::CachedLauncher] = cached.c_str();
        const std::vector<BYTE> bytes = WriteArpRecord(record);
        return static_cast<HRESULT>(
            proxy->SendRequest(8, 0, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, 0));
    };
    MakeFolder(root / L"other");
    MakeFolder(root / L"other\\sub");
    WriteBytes(root / L"other\\keep.txt", "keep");
    MakeFolder(root / id);
    WriteBytes(root / (id + L"\\setup.exe"), "copy");

    // The harmless damages first: each must be refused before the worse ones go out.
    ASSERT_EQ(E_INVALIDARG, unregister(root / L"other\\setup.exe"));
    ASSERT_EQ(E_INVALIDARG, unregister(root / (id + L"\\setup.exe"), 7)) << "no such operation";
    ASSERT_EQ(E_INVALIDARG, unregister(L"relative\\" + id + L"\\setup.exe"));
    // A suite id that is no plain folder name lets the folder's name lead elsewhere.
    ASSERT_EQ(E_INVALIDARG, unregister(root / L"other\\sub\\..\\setup.exe", 0, L".."));
    ASSERT_EQ(E_INVALIDARG, unregister(root / L"other\\sub/..\\setup.exe", 0, L"sub/.."));
    ASSERT_EQ(E_INVALIDARG, unregister(L""));
    ASSERT_EQ(E_INVALIDARG, unregister(L"C:\\"));
    EXPECT_TRUE(Exists(root / L"other\\keep.txt"));
    EXPECT_TRUE(Exists(root / (id + L"\\setup.exe")));

    EXPECT_EQ(S_OK, unregister(root / (id + L"\\setup.exe")));
    EXPECT_FALSE(Exists(root / id));
    EXPECT_TRUE(Exists(root / L"other\\keep.txt"));
}

} // namespace
