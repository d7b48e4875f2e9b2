#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "support/ConditionTestSupport.h"
#include "EngineTestSupport.h"
#include "kr/bootstrap_exception.h"
#include "kr/folders.h"

using engine_testing::BoxRecorder;
using engine_testing::EventSink;
using engine_testing::NewEngine;
using engine_testing::TempFile;

namespace {

constexpr HRESULT kInvalidCommandLine = static_cast<HRESULT>(0x8004070B);
constexpr HRESULT kCancelled = static_cast<HRESULT>(0x80070642);

constexpr HRESULT Status(unsigned long value)
{
    return static_cast<HRESULT>(value);
}

using Builder = std::function<void(CSetupEngine& engine)>;

// One initialisation of a fresh engine whose setup.xml is read by builder,
// with a recording sink advised and message boxes recorded.
struct EngineRun {
    com::ComPtr<CSetupEngine> engine = NewEngine();
    EventSink sink{*engine.Get()};
    BoxRecorder boxes;
    TempFile setupXml{L"<Setup/>"};
    bool exitNow = true;
    HRESULT result = E_FAIL;

    EngineRun& Initialize(const std::wstring& arguments, Builder builder = {}, bool withFile = true)
    {
        engine->SetSetupXmlLoader([builder](CSetupEngine& target, const _stringx&) {
            if (builder)
                builder(target);
            return S_OK;
        });
        std::wstring line = arguments;
        if (withFile)
            line += L" /f3:" + setupXml.Path();
        BSTR text = SysAllocString(line.c_str());
        result = engine->Initialize(text, &exitNow);
        SysFreeString(text);
        return *this;
    }

    std::wstring Property(const wchar_t* name) { return engine->GetProperty(name).c_str(); }
};

void AddMode(CSetupEngine& engine, EnumInstallMode mode, bool result, HRESULT evaluated = S_OK, bool condition = true)
{
    auto entry = std::make_unique<CInstallMode>(mode);
    if (condition)
        entry->SetCondition(std::make_unique<testing_support::ScriptedCondition>(
            std::make_shared<testing_support::ConditionRecord>(), result, evaluated));
    engine.Model().installModes.push_back(std::move(entry));
}

void AddAbort(CSetupEngine& engine, const wchar_t* text, bool result, HRESULT evaluated = S_OK)
{
    auto entry = std::make_unique<CAbortCondition>();
    entry->SetAttribute(L"Text", text);
    entry->SetCondition(std::make_unique<testing_support::ScriptedCondition>(
        std::make_shared<testing_support::ConditionRecord>(), result, evaluated));
    engine.Model().abortConditions.push_back(std::move(entry));
}

struct ModeRow {
    const wchar_t* arguments;
    EnumInstallMode mode;
};

TEST(InitializeTest, ModeSwitchesAndSilentPrefix)
{
    const ModeRow rows[] = {
        {L"/silentplease", eimInvalid},       {L"/silent /repair", eimRepair},
        {L"/silent /repairX", eimInvalid},    {L"/silent /repair /remove", eimRepair},
        {L"/silent /REMOVE", eimRemove},      {L"/silent /modify", eimUIMaintSelection},
        {L"/silent /stage_only /modify", eimAdmin},
    };
    for (const ModeRow& row : rows) {
        EngineRun run;
        run.Initialize(row.arguments);
        EXPECT_EQ(S_OK, run.result) << row.arguments;
        EXPECT_FALSE(run.exitNow);
        EXPECT_EQ(row.mode, run.engine->GetInstallMode()) << row.arguments;
        EXPECT_EQ(L"true", run.Property(L"KRSilentInstall")) << row.arguments;
        EXPECT_EQ(row.mode != eimInstall && row.mode != eimAdmin, run.engine->IsMaintenance()) << row.arguments;
        EXPECT_TRUE(run.boxes.Texts().empty());
    }
}

TEST(InitializeTest, PassiveRunsWithoutUserInterfaceFail)
{
    EngineRun run;
    run.Initialize(L"/passive");
    EXPECT_EQ(static_cast<HRESULT>(0x80040702), run.result);
    EXPECT_EQ(L"true", run.Property(L"KRPassiveInstall"));
    ASSERT_EQ(1u, run.boxes.Texts().size());
    EXPECT_EQ(L"No UI DLL was initialized. This is likely due to a missing UIResource in setup.xml.",
              run.boxes.Texts()[0]);

    EngineRun started;
    started.engine->SetUserInterfaceStarted(true);
    started.Initialize(L"");
    EXPECT_EQ(S_OK, started.result);
}

TEST(InitializeTest, InstallModeConditionsFirstTrueWins)
{
    EngineRun run;
    run.Initialize(L"/silent", [](CSetupEngine& engine) {
        AddMode(engine, eimRemove, true, S_OK, false); // no condition: skipped
        AddMode(engine, eimRepair, false);
        AddMode(engine, eimUIMaintSelection, true);
        AddMode(engine, eimInstall, true);
    });
    EXPECT_EQ(S_OK, run.result);
    EXPECT_EQ(eimUIMaintSelection, run.engine->GetInstallMode());
    EXPECT_EQ(L"1", run.Property(L"KRInstallMode"));

    EngineRun install;
    install.Initialize(L"/silent", [](CSetupEngine& engine) { AddMode(engine, eimInstall, true); });
    EXPECT_FALSE(install.engine->IsMaintenance());
    EXPECT_EQ(L"0", install.Property(L"KRInstallMode"));

    EngineRun failing;
    failing.Initialize(L"/passive", [](CSetupEngine& engine) {
        AddMode(engine, eimInstall, true, E_INVALIDARG);
    });
    EXPECT_EQ(static_cast<HRESULT>(0x8004070F), failing.result);
    ASSERT_EQ(1u, failing.boxes.Texts().size());
    EXPECT_NE(std::wstring::npos, failing.boxes.Texts()[0].find(L"Error: 0x80070057"));
}

TEST(InitializeTest, LogSwitch)
{
    const std::wstring temp = kr::get_temp_path().c_str();
    struct Row {
        const wchar_t* arguments;
        const wchar_t* configured; // KRLogDir from setup.xml
        std::wstring folder;
    };
    const Row rows[] = {
        {L"/silent /log", L"", temp},
        {L"/silent /log", L"D:\\logs", L"D:\\logs\\"},
        {L"/silent /log", L"relative", temp},
        {L"/silent /log:C:\\x", L"", L"C:\\x\\"},
        {L"/silent /log\"C:\\y\"", L"", L"C:\\y\\"},
        {L"/silent", L"", L""},
    };
    for (const Row& row : rows) {
        EngineRun run;
        const std::wstring configured = row.configured;
        run.Initialize(row.arguments, [configured](CSetupEngine& engine) {
            if (!configured.empty())
                engine.SetProperty(L"KRLogDir", configured.c_str(), false);
        });
        EXPECT_EQ(S_OK, run.result) << row.arguments;
        EXPECT_EQ(row.folder, run.engine->LogFolder().c_str()) << row.arguments << " " << row.configured;
    }
    EngineRun configured;
    configured.Initialize(L"/silent", [](CSetupEngine& engine) {
        engine.SetProperty(L"KREnablePerParcelLogging", L"1", false);
    });
    EXPECT_EQ(temp, configured.engine->LogFolder().c_str());
}

TEST(InitializeTest, InvalidCommandLineIsReportedAfterTheFirstEvents)
{
    EngineRun run;
    run.Initialize(L"/silent /logC:\\x");
    EXPECT_EQ(kInvalidCommandLine, run.result);
    EXPECT_EQ(kInvalidCommandLine, run.engine->Status());
    EXPECT_EQ((std::vector<int>{ebsResourceInit, ebsInitializing}), run.sink.BootstrapStates());
    const auto errors = run.sink.Errors();
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(kInvalidCommandLine, errors[0].error);
}

TEST(InitializeTest, SetupXmlMissing)
{
    EngineRun absent;
    absent.Initialize(L"/silent /f3:C:\\no\\such\\setup.xml", {}, false);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), absent.result);

    // This test program carries no payload.
    EngineRun silent;
    silent.Initialize(L"/silent", {}, false);
    EXPECT_EQ(static_cast<HRESULT>(0x80040706), silent.result);
    EXPECT_TRUE(silent.boxes.Texts().empty());

    EngineRun shown;
    shown.Initialize(L"", {}, false);
    EXPECT_EQ(static_cast<HRESULT>(0x80040706), shown.result);
    EXPECT_EQ(std::vector<std::wstring>{L"Error extracting setup.xml."}, shown.boxes.Texts());
}

struct ReaderFailureRow {
    std::function<void()> raise;
    bool silent;
    HRESULT result;
    size_t boxes;
};

TEST(InitializeTest, ReaderExceptions)
{
    const ReaderFailureRow rows[] = {
        {[] { throw ui_resource_exception(static_cast<HRESULT>(0x80040777)); }, false, Status(0x80040777), 0},
        {[] { throw invalid_condition_exception(E_INVALIDARG, L"version", L"equal", L"Registry"); }, false,
         Status(0x8004070F), 1},
        {[] { throw invalid_condition_exception(E_INVALIDARG, L"version", L"equal", L"Registry"); }, true,
         Status(0x8004070F), 0},
        {[] { throw bootstrap_exception(static_cast<HRESULT>(0x80040711)); }, false, Status(0x80040711), 1},
        {[] { throw bootstrap_exception(static_cast<HRESULT>(0x80040711)); }, true, Status(0x80040711), 0},
        {[] { throw bootstrap_exception(static_cast<HRESULT>(0x80040701)); }, false, Status(0x80040701), 0},
        {[] { throw std::runtime_error("x"); }, false, Status(0x8000FFFF), 0},
    };
    for (const ReaderFailureRow& row : rows) {
        EngineRun run;
        auto raise = row.raise;
        run.Initialize(row.silent ? L"/silent" : L"", [raise](CSetupEngine&) { raise(); });
        EXPECT_EQ(row.result, run.result);
        EXPECT_EQ(row.boxes, run.boxes.Texts().size()) << std::hex << row.result;
    }
    EngineRun shown;
    shown.Initialize(L"", [](CSetupEngine&) {
        throw invalid_condition_exception(E_INVALIDARG, L"version", L"equal", L"Registry");
    });
    ASSERT_EQ(1u, shown.boxes.Texts().size());
    EXPECT_EQ(L"An invalid condition was encountered:\nType: Registry\nConversion: version\nCompare: equal\n"
              L"Error: 0x80070057\n\nThe setup will now abort.",
              shown.boxes.Texts()[0]);
}

TEST(InitializeTest, SecondInstanceThroughTheReader)
{
    const wchar_t* id = L"{0B7A5C52-3C1E-4C55-9C1A-2A8F3E0D6B11}";
    HANDLE other = CreateMutexW(nullptr, TRUE, id);
    const Builder takeSuiteId = [id](CSetupEngine& engine) { engine.SetProperty(L"SuiteId", id, false); };
    {
        EngineRun run;
        run.Initialize(L"", takeSuiteId);
        EXPECT_EQ(static_cast<HRESULT>(0x80040711), run.result);
        EXPECT_EQ(std::vector<std::wstring>{L"Another instance of this setup is already running. Please wait for the "
                                            L"other instance to finish and then try again."},
                  run.boxes.Texts());
    }
    ReleaseMutex(other);
    CloseHandle(other);
    EngineRun run;
    run.Initialize(L"/silent", takeSuiteId);
    EXPECT_EQ(S_OK, run.result);
    EXPECT_TRUE(run.engine->HoldsInstanceMutex());
}

TEST(InitializeTest, EventsAndCancel)
{
    EngineRun run;
    run.Initialize(L"/silent");
    EXPECT_EQ((std::vector<int>{ebsResourceInit, ebsInitializing}), run.sink.BootstrapStates());

    EngineRun cancelled;
    cancelled.sink.CancelAt(ebsInitializing);
    cancelled.Initialize(L"/silent");
    EXPECT_EQ(kCancelled, cancelled.result);
}

TEST(InitializeTest, AbortConditionsAreReportedTogether)
{
    EngineRun run;
    run.Initialize(L"/silent", [](CSetupEngine& engine) {
        AddMode(engine, eimInstall, true);
        engine.SetProperty(L"Which", L"2", false);
        AddAbort(engine, L"t1", true);
        AddAbort(engine, L"skipped", false);
        AddAbort(engine, L"broken", true, E_FAIL);
        AddAbort(engine, L"t[Which]", true);
    });
    EXPECT_EQ(static_cast<HRESULT>(0x80070643), run.result);
    const auto errors = run.sink.Errors();
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(static_cast<HRESULT>(0x80040710), errors[0].error);
    EXPECT_EQ(L"t1\nt2\n", errors[0].file);

    // Only an install run evaluates them.
    EngineRun maintenance;
    maintenance.Initialize(L"/silent /repair", [](CSetupEngine& engine) { AddAbort(engine, L"t1", true); });
    EXPECT_EQ(S_OK, maintenance.result);
}

TEST(InitializeTest, PasswordAndCommandLineProperties)
{
    testing_support::TraceCapture trace;
    EngineRun run;
    run.Initialize(L"/silent /password:123456789 Target=here suiteid=x /nosplash /x:1", [](CSetupEngine& engine) {
        engine.SetProperty(L"Password", L"1953318005", false);
    });
    EXPECT_EQ(S_OK, run.result);
    EXPECT_TRUE(run.engine->PasswordValid());
    EXPECT_EQ(L"here", run.Property(L"Target"));
    EXPECT_EQ(L"", run.Property(L"SuiteId"));
    EXPECT_EQ(L"", run.Property(L"password"));
    EXPECT_EQ(L"1", run.Property(L"x"));
    EXPECT_NE(L"", run.Property(L"KRSelectedLanguage"));
    EXPECT_NE(L"", run.Property(L"SETUPSUPPORTDIR"));
    EXPECT_NE(L"", run.Property(L"ProgramFilesFolder"));
    EXPECT_EQ(run.Property(L"ProgramFilesFolder"), run.Property(L"ProgramFiles64Folder"));
    EXPECT_EQ(run.Property(L"SystemFolder"), run.Property(L"System64Folder"));
    const std::wstring remaining = run.engine->RemainingCommandLine().c_str();
    EXPECT_EQ(std::wstring::npos, remaining.find(L"password")) << remaining;
    EXPECT_NE(std::wstring::npos, remaining.find(L"Target=here")) << remaining;

    const std::wstring log = trace.Messages();
    EXPECT_NE(std::wstring::npos, log.find(L"/password:**********")) << log;
    EXPECT_EQ(std::wstring::npos, log.find(L"123456789")) << log;
}

TEST(InitializeTest, HiddenPropertiesSetterTakesEffectBeforeTheCommandLineIsLogged)
{
    testing_support::TraceCapture trace;
    EngineRun run;
    run.Initialize(L"/silent Pin=4711", [](CSetupEngine& engine) {
        auto setter = std::make_unique<CPropertySetter>();
        setter->SetAttribute(L"Name", L"KRHiddenProperties");
        setter->SetAttribute(L"Value", L"Pin");
        engine.Model().propertySetters.push_back(std::move(setter));
    });
    EXPECT_EQ(S_OK, run.result);
    EXPECT_EQ(L"4711", run.Property(L"Pin"));
    const std::wstring log = trace.Messages();
    EXPECT_NE(std::wstring::npos, log.find(L"Pin=**********")) << log;
    EXPECT_EQ(std::wstring::npos, log.find(L"4711")) << log;
}

// An update face that finds an update at a reachable address and launches it as told.
class ScriptedUpdate : public IUpdateHandler {
public:
    ScriptedUpdate(std::wstring address, bool launched, HRESULT result)
        : m_address(std::move(address)), m_launched(launched), m_result(result)
    {}
    void SetUpdatedFrom(const _stringx&) override {}
    HRESULT DownloadUpdateDescription(bool& found) override
    {
        found = true;
        return S_OK;
    }
    _stringx ChosenAddress() override { return m_address.c_str(); }
    HRESULT DownloadAndLaunchUpdate(const _stringx&, const _stringx&, bool& launched) override
    {
        launched = m_launched;
        return m_result;
    }

private:
    std::wstring m_address;
    bool m_launched;
    HRESULT m_result;
};

TEST(InitializeTest, LaunchedUpdateEndsTheRunWithItsExitCode)
{
    struct Row {
        bool launched;
        HRESULT launch;
        HRESULT result;
        bool exitNow;
    };
    const Row rows[] = {
        {true, 1, 1, true},
        {true, 0, 0, true},
        {false, S_FALSE, S_OK, false},
        {false, E_FAIL, E_FAIL, false},
    };
    for (const Row& row : rows) {
        EngineRun run;
        run.engine->SetUpdateHandler(
            std::make_unique<ScriptedUpdate>(run.setupXml.Path(), row.launched, row.launch));
        run.Initialize(L"/silent", [](CSetupEngine& engine) { AddMode(engine, eimInstall, true); });
        EXPECT_EQ(row.result, run.result) << row.launched << " " << row.launch;
        EXPECT_EQ(row.exitNow, run.exitNow) << row.launched << " " << row.launch;
        const auto states = run.sink.BootstrapStates();
        EXPECT_EQ(ebsShowDownloadUpdateUI, states.back());
    }
}

} // namespace
