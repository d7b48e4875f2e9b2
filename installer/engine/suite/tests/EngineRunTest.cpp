// The engine's whole run in process: a suite read from setup.xml, its
// packages staged from a packed setup stream and started as stand-in
// programs, with a recording sink, the resume entry watched while they run
// and restarts recorded.

#include <gtest/gtest.h>

#include <filesystem>

#include "SuiteRunSupport.h"
#include "kr/bootstrap_exception.h"
#include "NotElevatedProcess.h"

namespace fs = std::filesystem;
using namespace engine_testing;

namespace {

constexpr HRESULT kCancelled = static_cast<HRESULT>(0x80070642);
constexpr HRESULT kPasswordRequired = static_cast<HRESULT>(0x8004070A);
constexpr HRESULT kNoStagePath = static_cast<HRESULT>(0x8004070D);
constexpr HRESULT kBadDigest = static_cast<HRESULT>(0x80040705);
constexpr DISPID kOnInstallingParcel = 3;
constexpr DISPID kOnStagingParcel = 4;

std::vector<TransactionSpec> TwoTransactions()
{
    return {{ParcelSpec{L"P1", L"p1.exe"}}, {ParcelSpec{L"P2", L"p2.exe"}}};
}

// A parcel of a maintenance run, which stages only its path: its program
// waits in the folder named by its package, as an earlier install left it.
ParcelSpec Cached(const std::wstring& id, const std::wstring& entry, const std::wstring& folder)
{
    fs::create_directories(folder);
    fs::copy_file(fs::path(OwnFolder()) / L"parcel_package_standin.exe", fs::path(folder) / entry,
                  fs::copy_options::overwrite_existing);
    ParcelSpec parcel{id, entry};
    parcel.package = L"<Package Name=\"" + folder + L"\"><Folder Stream=\"s\"><File Name=\"" + entry +
                     L"\"/></Folder></Package>";
    return parcel;
}

std::vector<TransactionSpec> ThreeTransactions(const ParcelSpec& middle)
{
    return {{ParcelSpec{L"P1", L"p1.exe"}}, {middle}, {ParcelSpec{L"P3", L"p3.exe"}}};
}

TEST(EngineRun, FreshInstallRunsEveryParcelUnderTheResumeEntry)
{
    SuiteRun run;
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml(TwoTransactions())));
    run.engine->SetDebugLogPath(L"C:\\logs\\suite.log");
    ASSERT_EQ(S_OK, run.Run());

    EXPECT_EQ((std::vector<int>{ebsResourceInit, ebsInitializing, ebsUISelection, ebsStage, ebsInstall, ebsComplete}),
              run.sink->BootstrapStates());
    EXPECT_EQ((std::vector<std::wstring>{L"P1", L"P2"}), run.sink->ParcelsOf(kOnStagingParcel));
    EXPECT_EQ((std::vector<std::wstring>{L"P1", L"P2"}), run.sink->ParcelsOf(kOnInstallingParcel));
    EXPECT_EQ((std::vector<std::wstring>{L"P1 Install", L"P2 Install"}), run.Started());

    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring relaunch =
        L"runonce=\"" + std::wstring(self) + L"\" /debuglog\"C:\\logs\\suite.log\" /silent";
    const auto calls = run.Calls();
    ASSERT_EQ(8u, calls.size());
    for (size_t parcel = 0; parcel < 2; ++parcel) {
        EXPECT_EQ(relaunch, calls[parcel * 4 + 2]);
        EXPECT_EQ(L"reboot=1", calls[parcel * 4 + 3]);
    }
    EXPECT_EQ(L"", RunOnceEntry());
    EXPECT_FALSE(StateKeyExists());

    const std::wstring staged = run.engine->StagingFolder().c_str();
    ASSERT_FALSE(staged.empty());
    EXPECT_TRUE(fs::exists(fs::path(staged) / L"p1.exe"));
    run.ReleaseEngine();
    EXPECT_FALSE(fs::exists(staged));
}

// Suite actions read from setup.xml run by id from the suite's event actions.
TEST(EngineRun, EventActionsRunTheSuitesActionsById)
{
    const struct {
        const wchar_t* eventActionId;
        HRESULT result;
        const wchar_t* marked;
        size_t started;
    } rows[] = {
        {L"Mark", S_OK, L"yes", 2},
        {L"Absent", E_FAIL, L"", 0},
    };
    for (const auto& row : rows) {
        SuiteRun run;
        const std::wstring extra =
            L"<Actions><SetProperty Id=\"Mark\" Name=\"Marked\" Value=\"yes\"/></Actions>"
            L"<Events><OnStaging><Action Id=\"" + std::wstring(row.eventActionId) + L"\"/></OnStaging></Events>";
        ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml(TwoTransactions(), L"", extra)));
        EXPECT_EQ(row.result, run.Run()) << row.eventActionId;
        EXPECT_EQ(std::wstring(row.marked), run.engine->GetProperty(L"Marked").c_str()) << row.eventActionId;
        EXPECT_EQ(row.started, run.Started().size()) << row.eventActionId;
    }
}

TEST(EngineRun, PasswordIsRequiredForAFreshInstallOnly)
{
    const std::wstring password = L"<Password>x</Password>";
    {
        SuiteRun run;
        ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml(TwoTransactions(), L"", password)));
        EXPECT_EQ(kPasswordRequired, run.Run());
        ASSERT_EQ(1u, run.sink->Errors().size());
        EXPECT_EQ(kPasswordRequired, run.sink->Errors()[0].error);
        EXPECT_TRUE(run.Started().empty());
    }
    SuiteRun run;
    const std::wstring cache = run.Root() + L"\\cache";
    const std::vector<TransactionSpec> cached = {{Cached(L"P1", L"p1.exe", cache)}, {Cached(L"P2", L"p2.exe", cache)}};
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml(cached, L"", password), L"/repair"));
    run.DetectInstalled({L"P1", L"P2"});
    EXPECT_EQ(S_OK, run.Run());
    EXPECT_EQ((std::vector<std::wstring>{L"P1 Repair", L"P2 Repair"}), run.Started());
    EXPECT_TRUE(run.sink->Errors().empty());
}

TEST(EngineRun, RemoveRunsInTheReverseOfPackageOrder)
{
    SuiteRun run;
    const std::wstring cache = run.Root() + L"\\cache";
    const std::vector<TransactionSpec> suite = {{Cached(L"P1", L"p1.exe", cache), Cached(L"P2", L"p2.exe", cache)},
                                                {Cached(L"P3", L"p3.exe", cache)}};
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml(suite, L"UninstallOrder=\"ReverseOfPackageOrder\""), L"/remove"));
    run.DetectInstalled({L"P1", L"P2", L"P3"});
    ASSERT_EQ(S_OK, run.Run());
    EXPECT_EQ((std::vector<std::wstring>{L"P3 Remove", L"P2 Remove", L"P1 Remove"}), run.Started());
}

TEST(EngineRun, FailedTransactionStopsTheRunAndDropsTheState)
{
    SuiteRun run;
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml(
                        ThreeTransactions({L"P2", L"p2.exe", L"", L"", L"ExitBehavior=\"DetectAbort\""}))));
    EXPECT_EQ(E_ABORT, run.Run());
    EXPECT_EQ((std::vector<std::wstring>{L"P1 Install", L"P2 Install"}), run.Started());
    EXPECT_EQ(L"", RunOnceEntry());
    EXPECT_EQ(-1, RebootValue());
    EXPECT_FALSE(StateKeyExists());
}

// A handler whose run fails the way a parcel's install or event actions do.
class ThrowingHandler : public CParcelHandler {
public:
    ThrowingHandler(CParcel& parcel, bool withParcel) : CParcelHandler(parcel), m_withParcel(withParcel) {}
    bool SupportsTransaction() override { return false; }
    HRESULT Run() override
    {
        if (m_withParcel)
            throw parcel_install_failure_exception(kFailed, static_cast<IParcel2*>(&GetParcel()));
        throw parcel_event_failure_exception(kFailed);
    }
    EnumParcelType GetType() override { return eptExe; }
    bool IsRebootStatus() override { return false; }

    static constexpr HRESULT kFailed = static_cast<HRESULT>(0x80070643);

private:
    bool m_withParcel;
};

class EngineRunParcelFailure : public ::testing::TestWithParam<bool> {};

TEST_P(EngineRunParcelFailure, EndsTheRunWithTheFailureReported)
{
    SuiteRun run;
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml(TwoTransactions())));
    CParcel* parcel = run.engine->FindParcel(L"P1");
    ASSERT_NE(nullptr, parcel);
    parcel->SetHandler(std::make_unique<ThrowingHandler>(*parcel, GetParam()));
    EXPECT_EQ(ThrowingHandler::kFailed, run.Run());
    ASSERT_EQ(1u, run.sink->Errors().size());
    EXPECT_EQ(ThrowingHandler::kFailed, run.sink->Errors()[0].error);
    EXPECT_TRUE(run.Started().empty());
    EXPECT_EQ(L"", RunOnceEntry());
    EXPECT_EQ(-1, RebootValue());
    EXPECT_NE(ebsComplete, run.sink->BootstrapStates().back());
}

INSTANTIATE_TEST_SUITE_P(InstallOrEventFailure, EngineRunParcelFailure, ::testing::Values(true, false));

struct RebootCase {
    const char* name;
    const wchar_t* rebootRequest;
    const wchar_t* performDelayed;  // KRPerformDelayedReboot, or none
    HRESULT result;
    int restarts;
    bool resumeKept;
};

class EngineRunReboot : public ::testing::TestWithParam<RebootCase> {};

TEST_P(EngineRunReboot, EndsWithTheRebootStatus)
{
    const RebootCase& row = GetParam();
    RestartRecorder restarts;
    SuiteRun run;
    const ParcelSpec rebooting{L"P1", L"p1.exe", L"exit:1234", L"RebootCodes=\"1234\"",
                               L"RebootRequest=\"" + std::wstring(row.rebootRequest) + L"\""};
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{rebooting}, {ParcelSpec{L"P2", L"p2.exe"}}})));
    if (row.performDelayed)
        run.engine->SetProperty(L"KRPerformDelayedReboot", row.performDelayed, true);
    EXPECT_EQ(row.result, run.Run());
    EXPECT_EQ(row.restarts, RestartRecorder::Count());
    const std::wstring staged = run.engine->StagingFolder().c_str();
    if (row.resumeKept) {
        // The run stopped at the parcel: it resumes there after the restart.
        EXPECT_EQ((std::vector<std::wstring>{L"P1 Install"}), run.Started());
        EXPECT_NE(L"", RunOnceEntry());
        EXPECT_EQ(1, RebootValue());
        run.ReleaseEngine();
        EXPECT_TRUE(fs::exists(fs::path(staged) / L"p1.exe"));
        std::error_code ignored;
        fs::remove_all(staged, ignored);
    } else {
        EXPECT_EQ((std::vector<std::wstring>{L"P1 Install", L"P2 Install"}), run.Started());
        EXPECT_EQ(L"", RunOnceEntry());
        EXPECT_FALSE(StateKeyExists());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EngineRunReboot,
    ::testing::Values(RebootCase{"DetectExitAsksForALaterRestart", L"DetectExit", nullptr, 3010, 0, true},
                      RebootCase{"AlwaysSilentRestartsNow", L"AlwaysSilent", nullptr, 1641, 1, true},
                      RebootCase{"DelayedRebootIsPending", L"DetectDelay", nullptr, 3010, 0, false},
                      RebootCase{"DelayedRebootIsPerformed", L"DetectDelay", L"TRUE", 1641, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EngineRun, StageOnlyStagesIntoTheRootAndRunsNothing)
{
    SuiteRun run;
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml(TwoTransactions()), L"/stage_only"));
    const std::wstring root = run.Root() + L"\\layout\\deep";
    run.engine->SetProperty(L"KRRootStagePath", root.c_str(), true);
    EXPECT_EQ(S_OK, run.Run());
    EXPECT_TRUE(fs::exists(fs::path(root) / L"p1.exe"));
    EXPECT_TRUE(fs::exists(fs::path(root) / L"p2.exe"));
    EXPECT_TRUE(run.Started().empty());
    EXPECT_EQ(L"", RunOnceEntry());
    EXPECT_EQ(ebsComplete, run.sink->BootstrapStates().back());
}

TEST(EngineRun, StageOnlyNeedsARoot)
{
    SuiteRun run;
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml(TwoTransactions()), L"/stage_only"));
    EXPECT_EQ(kNoStagePath, run.Run());
    ASSERT_EQ(1u, run.sink->Errors().size());
    EXPECT_EQ(kNoStagePath, run.sink->Errors()[0].error);
}

// A later transaction that stages well must not hide an earlier failure.
TEST(EngineRun, StageOnlyReturnsTheFirstStagingFailure)
{
    SuiteRun run;
    const ParcelSpec bad{L"P1", L"p1.exe", L"", L"", L"", L"00000000000000000000000000000000"};
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{bad}, {ParcelSpec{L"P2", L"p2.exe"}}}), L"/stage_only"));
    const std::wstring root = run.Root() + L"\\layout";
    run.engine->SetProperty(L"KRRootStagePath", root.c_str(), true);
    EXPECT_EQ(kBadDigest, run.Run());
    ASSERT_EQ(1u, run.sink->Errors().size());
    EXPECT_EQ(kBadDigest, run.sink->Errors()[0].error);
    EXPECT_FALSE(fs::exists(fs::path(root) / L"p1.exe"));
    EXPECT_TRUE(fs::exists(fs::path(root) / L"p2.exe"));
}

class EngineRunCancel : public ::testing::TestWithParam<int> {};

TEST_P(EngineRunCancel, CancelRunsNothingAndLeavesNoResumeEntry)
{
    SuiteRun run;
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml(TwoTransactions())));
    run.sink->CancelAt(GetParam());
    EXPECT_EQ(kCancelled, run.Run());
    EXPECT_TRUE(run.Started().empty());
    EXPECT_EQ(L"", RunOnceEntry());
    EXPECT_EQ(-1, RebootValue());
}

INSTANTIATE_TEST_SUITE_P(States, EngineRunCancel, ::testing::Values(ebsUISelection, ebsStage, ebsInstall));

// Run in a child that is not elevated: the elevated proxy a parcel that
// requires elevation asks for ends at once, as when the user refuses
// elevation, so the run ends before staging.
TEST(EngineRunNotElevated, DISABLED_ElevationRequiredEndsBeforeStaging)
{
    SuiteRun run;
    ASSERT_FALSE(run.engine->IsElevated());
    const ParcelSpec elevated{L"P1", L"p1.exe", L"", L"Elevation=\"required\""};
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{elevated}})));
    EXPECT_EQ(kCancelled, run.Run());
    EXPECT_EQ(0u, run.sink->Count(kOnStagingParcel));
    EXPECT_TRUE(run.Started().empty());
    EXPECT_NE(ebsStage, run.sink->BootstrapStates().back());
}

TEST(EngineRun, ElevationRequiredWithoutElevationEndsBeforeStaging)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const DWORD code = RunWithAdministratorsDenied(
        L"\"" + std::wstring(self) +
            L"\" --gtest_also_run_disabled_tests --gtest_filter=EngineRunNotElevated.DISABLED_*",
        60000);
    EXPECT_EQ(0u, code);
}

} // namespace
