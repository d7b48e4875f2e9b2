// The engine's self-update against the test web server: the description read
// from beside UpdateUrl during initialisation, the new launcher downloaded,
// its signer compared with this (signed) test program's and the update
// stand-in started in place of the run.

#include <winsock2.h>

#include "suite/SetupEngine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "EngineTestSupport.h"
#include "Relay.h"
#include "TestFolder.h"
#include "WebServer.h"
#include "support/ConditionTestSupport.h"
#include "staging/StagingHost.h"
#include "update/FileSignatureVerifier.h"

namespace {

using namespace engine_testing;

constexpr HRESULT kCancelled = static_cast<HRESULT>(0x80070642);
constexpr HRESULT kAbortedByPolicy = static_cast<HRESULT>(0x80070643);
constexpr DWORD kRebootRequired = 3010;

// Answers the trust dialog without showing it and counts the questions.
struct TrustAnswer {
    static inline LONG answer = 0;
    static inline int asked = 0;
    static LONG Verify(HWND, const _stringx&)
    {
        ++asked;
        return answer;
    }
};

// Cancels every staging progress report; everything else is answered plainly.
class CancellingStagingHost : public IStagingHost {
public:
    EnumInstallMode GetInstallMode() override { return eimInstall; }
    _stringx GetSourceFolder() override { return _stringx(); }
    STREAM* GetStream() override { return nullptr; }
    bool IsFileStaged(const _stringx&) override { return false; }
    void MarkFileStaged(const _stringx&) override {}
    HRESULT ReportStagingProgress(const _stringx&, ULONGLONG, ULONGLONG) override { return kCancelled; }
    HRESULT ResolveParcelSource(const _stringx&, _stringx& mediaPath) override
    {
        mediaPath.clear();
        return S_OK;
    }
    _stringx ResolveStringId(const _stringx& id) override { return id; }
    HRESULT Fire_OnNonFatalError(const _stringx&, int, int* answer) override
    {
        *answer = IDCANCEL;
        return S_OK;
    }
    bool IsWow64() override { return false; }
    _stringx GetStagingFolder() override { return _stringx(); }
    HRESULT Fire_OnStagingParcel(EnumParcelStagingState, IParcel*) override { return S_OK; }
};

class SuiteUpdate : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.available()) << "KR_WEB_SERVER names no running fixture";
        TrustAnswer::answer = 0;
        TrustAnswer::asked = 0;
        previousVerifier = SetFileSignatureVerifier(&TrustAnswer::Verify);
        // A folder of its own on the server for each case.
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        location = L"update-" + std::wstring(info->name(), info->name() + strlen(info->name())) + L"-" +
                   std::to_wstring(GetTickCount());
        served = server.Root() + L"\\" + location;
        MakeFolder(served);
        wchar_t guid[64] = {};
        GUID id;
        CoCreateGuid(&id);
        StringFromGUID2(id, guid, 64);
        suiteId = guid;
        SetEnvironmentVariableW(L"UPDATE_STANDIN_REPORT", (folder / L"standin.txt").c_str());
        SetEnvironmentVariableW(L"UPDATE_STANDIN_MUTEX", suiteId.c_str());
    }
    void TearDown() override
    {
        SetFileSignatureVerifier(previousVerifier);
        SetStagingHost(nullptr);
        SetEnvironmentVariableW(L"UPDATE_STANDIN_STAGING", nullptr);
        RemoveTree(served);
    }

    std::wstring Address(const std::wstring& path, unsigned short port = 0) const
    {
        return L"http://127.0.0.1:" + std::to_wstring(port ? port : server.http_port()) + L"/" + location + path;
    }
    // Serves a description with one entry for this suite, and the stand-in at the entry's path.
    void ServeUpdate(const std::wstring& entryPath, const std::wstring& standin, const std::wstring& entryUrl = L"")
    {
        WriteBytes(served + L"\\krupdate.xml",
                   "<Metadata xmlns=\"korvanstilmer/2014/update\"><Update Id=\"" + Narrow(suiteId) +
                       "\" Version=\"2.0\" Url=\"" + Narrow(entryUrl.empty() ? Address(entryPath) : entryUrl) +
                       "\"/></Metadata>");
        std::wstring target = served + entryPath;
        for (wchar_t& c : target)
            if (c == L'/')
                c = L'\\';
        for (size_t slash = served.size() + 1; (slash = target.find(L'\\', slash)) != std::wstring::npos; ++slash)
            MakeFolder(target.substr(0, slash));
        CopyFileW((ProgramFolder() + L"update_signed\\" + standin).c_str(), target.c_str(), FALSE);
    }
    // Initialises an engine whose suite has this id, version 1.0 and UpdateUrl.
    void Initialize(const std::wstring& arguments, const std::wstring& updateUrl)
    {
        engine->SetSetupXmlLoader([this, updateUrl](CSetupEngine& target, const _stringx&) {
            target.SetProperty(L"SuiteId", suiteId.c_str(), false);
            target.SetProperty(L"ProductVersion", L"1.0", false);
            target.SetProperty(L"UpdateUrl", updateUrl.c_str(), false);
            auto mode = std::make_unique<CInstallMode>(eimInstall);
            mode->SetCondition(std::make_unique<testing_support::ScriptedCondition>(
                std::make_shared<testing_support::ConditionRecord>(), true, S_OK));
            target.Model().installModes.push_back(std::move(mode));
            stagingFolder = target.StagingFolder().c_str();
            SetEnvironmentVariableW(L"UPDATE_STANDIN_STAGING", stagingFolder.c_str());
            return S_OK;
        });
        const std::wstring line = arguments + L" /f3:" + setupXml.Path();
        BSTR text = SysAllocString(line.c_str());
        result = engine->Initialize(text, &exitNow);
        SysFreeString(text);
    }
    std::string StandinReport() const { return ReadBytes(folder / L"standin.txt"); }
    bool StandinRan() const { return Exists(folder / L"standin.txt"); }
    std::vector<AccessLogLine> Requests() const { return server.Requests(Narrow(location)); }

    WebServer server;
    TestFolder folder;
    std::wstring location;
    std::wstring served;
    std::wstring suiteId;
    std::wstring stagingFolder;
    FileSignatureVerifier previousVerifier = nullptr;
    com::ComPtr<CSetupEngine> engine = NewEngine();
    EventSink sink{*engine.Get()};
    BoxRecorder boxes;
    TempFile setupXml{L"<Setup/>"};
    bool exitNow = false;
    HRESULT result = E_FAIL;
};

TEST_F(SuiteUpdate, SameSignerUpdateRunsInPlaceOfTheSuiteAndItsExitCodeEndsTheRun)
{
    ServeUpdate(L"/v2/setup.exe", L"standin-same-signer.exe");
    engine->SetDebugLogPath(L"C:\\logs\\suite log.txt");
    Initialize(L"/silent Extra=1", Address(L"/setup.exe"));

    EXPECT_EQ(static_cast<HRESULT>(kRebootRequired), result);
    EXPECT_TRUE(exitNow);
    EXPECT_EQ(0, TrustAnswer::asked);
    EXPECT_EQ(L"1", std::wstring(engine->GetProperty(L"KRUpdateAvailable").c_str()));
    EXPECT_EQ(L"2.0", std::wstring(engine->GetProperty(L"KRUpdateVersion").c_str()));
    const std::string report = StandinReport();
    EXPECT_NE(std::string::npos,
              report.find("Extra=1 -updated_from:\"" + Narrow(Address(L"/setup.exe")) +
                          "\" /debuglog\"C:\\logs\\suite log.txt\"\n"))
        << report;
    EXPECT_NE(std::string::npos, report.find("mutex=1")) << report;
    EXPECT_NE(std::string::npos, report.find("staging_gone=1")) << report;
    EXPECT_NE(std::string::npos, report.find("state_gone=1")) << report;
    EXPECT_FALSE(engine->HoldsInstanceMutex());
    const auto states = sink.BootstrapStates();
    ASSERT_GE(states.size(), 2u);
    EXPECT_EQ(ebsShowDownloadUpdateUI, states[states.size() - 2]);
    EXPECT_EQ(ebsDownloadUpdateSuccess, states.back());

    // The description, then the update (after the test that it can be reached).
    const auto requests = Requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ("/" + Narrow(location) + "/krupdate.xml", requests.front().uri);
    EXPECT_EQ("/" + Narrow(location) + "/v2/setup.exe", requests.back().uri);
    EXPECT_EQ(200, requests.back().status);
}

TEST_F(SuiteUpdate, BaseAddressEndsAtTheLastSlashWhenTheFileNameOccursEarlier)
{
    ServeUpdate(L"/setup.exe/v2/setup.exe", L"standin-same-signer.exe");
    Initialize(L"/silent", Address(L"/setup.exe"));
    EXPECT_EQ(static_cast<HRESULT>(kRebootRequired), result);
    EXPECT_TRUE(StandinRan());
    // Every request after the description's goes to the update's own address.
    const auto requests = Requests();
    size_t first = 0;
    while (first < requests.size() && requests[first].uri.ends_with("/krupdate.xml"))
        ++first;
    ASSERT_GE(first, 1u);
    ASSERT_LT(first, requests.size());
    const std::string update = Narrow(L"/" + location + L"/setup.exe/v2/setup.exe");
    for (size_t i = first; i < requests.size(); ++i)
        EXPECT_EQ(update, requests[i].uri);
}

TEST_F(SuiteUpdate, OtherSignerInASilentRunAbortsWithoutStartingIt)
{
    ServeUpdate(L"/v2/setup.exe", L"standin-other-signer.exe");
    Initialize(L"/silent", Address(L"/setup.exe"));
    EXPECT_EQ(kAbortedByPolicy, result);
    EXPECT_FALSE(exitNow);
    EXPECT_FALSE(StandinRan());
    EXPECT_EQ(0, TrustAnswer::asked);
    EXPECT_TRUE(engine->HoldsInstanceMutex());
}

TEST_F(SuiteUpdate, OtherSignerTheUserDoesNotTrustCancels)
{
    ServeUpdate(L"/v2/setup.exe", L"standin-other-signer.exe");
    TrustAnswer::answer = static_cast<LONG>(TRUST_E_SUBJECT_NOT_TRUSTED);
    engine->SetUserInterfaceStarted(true);
    Initialize(L"", Address(L"/setup.exe"));
    EXPECT_EQ(kCancelled, result);
    EXPECT_EQ(1, TrustAnswer::asked);
    EXPECT_FALSE(StandinRan());
}

TEST_F(SuiteUpdate, OtherSignerTheUserTrustsRuns)
{
    ServeUpdate(L"/v2/setup.exe", L"standin-other-signer.exe");
    engine->SetUserInterfaceStarted(true);
    Initialize(L"", Address(L"/setup.exe"));
    EXPECT_EQ(static_cast<HRESULT>(kRebootRequired), result);
    EXPECT_EQ(1, TrustAnswer::asked);
    EXPECT_TRUE(StandinRan());
}

TEST_F(SuiteUpdate, DownloadCutOnEveryConnectionLetsTheRunGoOn)
{
    Relay relay(server.http_port(), Relay::every_connection, 1000);
    ServeUpdate(L"/v2/setup.exe", L"standin-same-signer.exe", Address(L"/v2/setup.exe", relay.port()));
    Initialize(L"/silent", Address(L"/setup.exe"));
    EXPECT_EQ(S_OK, result);
    EXPECT_FALSE(exitNow);
    EXPECT_FALSE(StandinRan());
    const auto states = sink.BootstrapStates();
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(ebsDownloadUpdateFailure, states.back());
    EXPECT_GE(relay.connections(), 1);
}

TEST_F(SuiteUpdate, CancelDuringTheDownloadCancelsTheRun)
{
    CancellingStagingHost host;
    SetStagingHost(&host);
    ServeUpdate(L"/v2/setup.exe", L"standin-same-signer.exe");
    Initialize(L"/silent", Address(L"/setup.exe"));
    EXPECT_EQ(kCancelled, result);
    EXPECT_FALSE(StandinRan());
    const auto states = sink.BootstrapStates();
    ASSERT_GE(states.size(), 2u);
    EXPECT_EQ(ebsDownloadUpdateFailure, states[states.size() - 2]);
    EXPECT_EQ(ebsCanceled, states.back());
}

TEST_F(SuiteUpdate, UpdateFromTheUserInterface)
{
    ServeUpdate(L"/v2/setup.exe", L"standin-same-signer.exe");
    // A run started by that update skips the entry it came from.
    Initialize(L"/silent -updated_from:\"" + Address(L"/v2/setup.exe") + L"\"", Address(L"/setup.exe"));
    EXPECT_EQ(S_OK, result);
    EXPECT_FALSE(StandinRan());
    VARIANT_BOOL available = VARIANT_TRUE;
    EXPECT_EQ(S_OK, engine->IsUpdateAvailable(&available));
    EXPECT_EQ(VARIANT_FALSE, available);
    EXPECT_EQ(S_FALSE, engine->InstallUpdate());

    // The description staged by the first check is read again, not fetched again.
    const auto fetches = [this] {
        size_t count = 0;
        for (const AccessLogLine& line : Requests())
            count += line.uri.ends_with("/krupdate.xml") ? 1 : 0;
        return count;
    };
    const size_t fetched = fetches();
    EXPECT_NE(0u, fetched);
    engine->UpdateHandler().SetLaunchedFrom(L"");
    EXPECT_EQ(S_OK, engine->IsUpdateAvailable(&available));
    EXPECT_EQ(VARIANT_TRUE, available);
    EXPECT_EQ(fetched, fetches());
    EXPECT_EQ(static_cast<HRESULT>(kRebootRequired), engine->InstallUpdate());
    EXPECT_TRUE(StandinRan());
}

TEST_F(SuiteUpdate, AddressWithoutAWebPathGivesNoDescription)
{
    const std::wstring addresses[] = {L"ftp://127.0.0.1/setup.exe", L"C:\\setup\\setup.exe",
                                      L"http://127.0.0.1:1"};
    for (const std::wstring& address : addresses) {
        com::ComPtr<CSetupEngine> other = NewEngine();
        other->SetProperty(L"UpdateUrl", address.c_str(), false);
        bool found = true;
        EXPECT_EQ(S_OK, other->DownloadUpdateDescription(found)) << address;
        EXPECT_FALSE(found) << address;
    }
    EXPECT_TRUE(Requests().empty());
}

TEST_F(SuiteUpdate, MissingDescriptionIsTheFetchError)
{
    engine->SetProperty(L"UpdateUrl", Address(L"/setup.exe").c_str(), false);
    bool found = true;
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), engine->DownloadUpdateDescription(found));
    EXPECT_FALSE(found);
    // The resource made for the description is dropped with the failure.
    EXPECT_TRUE(engine->Resources().empty());
}

TEST_F(SuiteUpdate, DescriptionIsAResourceOfTheSuite)
{
    ServeUpdate(L"/v2/setup.exe", L"standin-other-signer.exe");
    Initialize(L"/silent", Address(L"/setup.exe"));
    const _stringx address = (Address(L"/krupdate.xml")).c_str();
    const CResource* description = engine->FindResourceByName(address);
    ASSERT_NE(nullptr, description);
    EXPECT_EQ(rstUrl, description->SourceType());
    EXPECT_TRUE(Exists(std::wstring(engine->StagingFolder().path_combine(L"krupdate.xml").c_str())));
}

TEST_F(SuiteUpdate, UpdateAddressNotNamingAProgramIsNotUsed)
{
    ServeUpdate(L"/v2/setup.msi", L"standin-same-signer.exe");
    Initialize(L"/silent", Address(L"/setup.exe"));
    EXPECT_EQ(S_OK, result);
    EXPECT_FALSE(StandinRan());
    const auto states = sink.BootstrapStates();
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(ebsShowDownloadUpdateUI, states.back());
}

} // namespace
