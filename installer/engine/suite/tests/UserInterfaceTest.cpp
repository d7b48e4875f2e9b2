// The user-interface thread with the stand-in user-interface DLL: the engine
// starts it while setup.xml is read, the DLL calls back through the
// marshalled IBootstrap2 from its own apartment, sinks the events, and ends
// when the engine shuts the thread down. The DLL's call log is compared.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/ConditionTestSupport.h"
#include "EngineTestSupport.h"
#include "automation/ProxyStubRegistration.h"
#include "kr/bootstrap_exception.h"
#include "kr/holders.h"

using engine_testing::BoxRecorder;
using engine_testing::NewEngine;
using engine_testing::TempFile;

namespace {

constexpr HRESULT kUserExit = static_cast<HRESULT>(0x80070642);
constexpr wchar_t kSuiteId[] = L"{0C4C3F1A-5B1E-4C55-9E0A-7D2B8F3A1C6E}";

std::wstring BinFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path);
    return text.substr(0, text.rfind(L'\\') + 1);
}

HMODULE LoadStandIn(const wchar_t* name)
{
    return LoadLibraryW((BinFolder() + name).c_str());
}

class HelloAction : public ISuiteAction {
public:
    _stringx GetId() const override { return L"Hello"; }
    HRESULT Execute(IParcel2*) override { return S_FALSE; }
};

// The engine's thread is a single-threaded apartment with the launcher's
// marshalling registered, as the launcher's entry sets it up.
class Apartment {
public:
    Apartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) { m_proxyStubs.RegisterAll(); }
    ~Apartment()
    {
        m_proxyStubs.Revoke();
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }

private:
    HRESULT m_result;
    CProxyStubRegistration m_proxyStubs;
};

// A script for the stand-in, its call log, and the engine it runs against.
class StandInRun {
    Apartment m_apartment;

public:
    explicit StandInRun(const std::wstring& script)
    {
        // The script is plain text; every line here is ASCII.
        const std::wstring text = L"log " + m_log.Path() + L"\n" + script;
        std::ofstream(std::filesystem::path(m_script.Path()), std::ios::binary | std::ios::trunc) << std::string(text.begin(), text.end());
        SetEnvironmentVariableW(L"SUITE_UI_SCRIPT", m_script.Path().c_str());
        CSetupEngine::ForgetInitialInstallMode();
    }
    ~StandInRun()
    {
        SetEnvironmentVariableW(L"SUITE_UI_SCRIPT", nullptr);
        CSetupEngine::ForgetInitialInstallMode();
    }

    // Initialises the engine; the stand-in starts while setup.xml is read.
    HRESULT Initialize(const wchar_t* arguments, const wchar_t* dll = L"suiteui_standin.dll")
    {
        const HMODULE module = LoadStandIn(dll);
        EXPECT_NE(nullptr, module) << dll;
        engine->SetSetupXmlLoader([module](CSetupEngine& target, const _stringx&) {
            target.SetProperty(L"SuiteId", kSuiteId, false);
            target.SetProperty(L"Product", L"Widget", false);
            target.AddFeature(nullptr, {{L"Name", L"Main"}});
            // Without a mode switch the suite installs.
            auto install = std::make_unique<CInstallMode>(eimInstall);
            install->SetCondition(std::make_unique<testing_support::ScriptedCondition>(
                std::make_shared<testing_support::ConditionRecord>(), true, S_OK));
            target.AddInstallMode(std::move(install));
            target.AddSuiteAction(std::make_unique<HelloAction>());
            target.StartUserInterface(module);
            return S_OK;
        });
        const std::wstring line = std::wstring(arguments) + L" /f3:" + m_setupXml.Path();
        kr::bstr_holder text(SysAllocString(line.c_str()));
        bool exitNow = false;
        return engine->Initialize(text.get(), &exitNow);
    }

    // The log's lines; the DLL writes each line as it goes.
    std::vector<std::wstring> Log() const
    {
        std::ifstream file(std::filesystem::path(m_log.Path()));
        std::vector<std::wstring> lines;
        std::string line;
        while (std::getline(file, line))
            lines.emplace_back(line.begin(), line.end());
        return lines;
    }

    // The engine's references other than this run's own.
    ULONG OtherReferences()
    {
        engine->AddRef();
        return engine->Release() - 1;
    }

    com::ComPtr<CSetupEngine> engine = NewEngine();
    BoxRecorder boxes;

private:
    TempFile m_log{L""};
    TempFile m_script{L""};
    TempFile m_setupXml{L"<Setup/>"};
};

std::vector<std::wstring> Lines(std::initializer_list<const wchar_t*> lines)
{
    return std::vector<std::wstring>(lines.begin(), lines.end());
}

TEST(UserInterfaceTest, TheStandInDrivesTheEngineAndReceivesEveryEvent)
{
    StandInRun run(L"at-init get Product\n"
                   L"at-init put Product Gadget\n"
                   L"at-init put SuiteId {changed}\n"
                   L"at-init get SuiteId\n"
                   L"at-init get NoSuchProperty\n"
                   L"at-init state\n"
                   L"at-init features\n"
                   L"at-init run-action Hello\n"
                   L"at-init run-action Missing\n"
                   L"at-state 0 get Product\n"
                   L"at-state 0 mode\n"
                   L"at-state 0 set-mode 3\n"
                   L"source C:\\media\\disk2\n"
                   L"reboot-now\n");
    ASSERT_EQ(S_OK, run.Initialize(L""));
    EXPECT_TRUE(run.engine->UserInterfaceRunning());
    EXPECT_EQ(std::wstring(L"Gadget"), run.engine->GetProperty(L"Product").c_str());
    EXPECT_EQ(std::wstring(kSuiteId), run.engine->GetProperty(L"SuiteId").c_str());

    // Events as the run fires them, with 64-bit numbers where they go as such.
    EXPECT_EQ(S_OK, run.engine->ReportStagingProgress(L"pkg.msi", 5, 0x100000000ull));
    run.engine->ReportError(ebesEngine, static_cast<HRESULT>(0x8004070B), L"", nullptr);
    kr::bstr_holder message(SysAllocString(L"Configuring"));
    run.engine->Fire_OnActionEventInfo(message.get(), 1, 3, epfMessageValid, nullptr);
    CParcel* parcel = run.engine->CreateParcel(L"Exe");
    ASSERT_NE(nullptr, parcel);
    parcel->SetAttribute(L"Id", L"RuntimeA");
    kr::bstr_holder source(SysAllocString(L"runtime.exe"));
    kr::bstr_holder media(SysAllocString(L""));
    VARIANT_BOOL cancel = VARIANT_FALSE;
    run.engine->Fire_OnPromptForSourceMedia(parcel, source.get(), &cancel, media.address());
    EXPECT_EQ(std::wstring(L"C:\\media\\disk2"), media.get()) << "the prompt's answer reaches the engine";
    EXPECT_EQ(VARIANT_FALSE, cancel);
    VARIANT_BOOL rebootNow = VARIANT_FALSE;
    run.engine->Fire_OnQueryReboot(parcel, &rebootNow);
    EXPECT_EQ(VARIANT_TRUE, rebootNow) << "restart now";

    run.engine->ShutdownUIThread();
    EXPECT_FALSE(run.engine->UserInterfaceRunning());
    EXPECT_EQ(Lines({
                  L"InitializeSuiteUI",
                  L"QueryInterface IBootstrap2 -> 0x00000000",
                  L"Advise -> 0x00000000",
                  L"call get Product -> 0x00000000 'Widget'",
                  L"call put Product Gadget -> 0x00000000",
                  L"call put SuiteId {changed} -> 0x00000000",
                  L"call get SuiteId -> 0x00000000 '{0C4C3F1A-5B1E-4C55-9E0A-7D2B8F3A1C6E}'",
                  L"call get NoSuchProperty -> 0x00000000",
                  L"call state -> 0x80004001",
                  L"call features -> 0x00000000 'Main'",
                  L"call run-action Hello -> 0x00000001",
                  L"call run-action Missing -> 0x80004005",
                  L"event OnBootstrapEvent I4:17 BOOL*",
                  L"event OnBootstrapEvent I4:0 BOOL*",
                  L"call get Product -> 0x00000000 'Gadget'",
                  L"call mode -> 0x00000000 '0'",
                  L"call set-mode 3 -> 0x80070032",
                  L"event OnStagingProgress BSTR:pkg.msi I8:5 I8:4294967296 BOOL*",
                  L"event OnError ERROR:0x8004070b",
                  L"event OnActionEventInfo BSTR:Configuring I8:1 I8:3 I4:2 EMPTY",
                  L"event OnPromptForSourceMedia PARCEL:RuntimeA BSTR:runtime.exe BOOL* BSTR*",
                  L"event OnQueryReboot PARCEL:RuntimeA BOOL*",
                  L"ShutdownSuiteUI",
              }),
              run.Log());
}

TEST(UserInterfaceTest, MaintenanceSelectionHandsAChangedModeToTheTopLevelFeatures)
{
    StandInRun run(L"at-state 0 mode\nat-state 0 set-mode 3\nat-state 0 mode\n");
    ASSERT_EQ(S_OK, run.Initialize(L"/modify"));
    run.engine->ShutdownUIThread();
    const std::vector<std::wstring> log = run.Log();
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(L"call mode -> 0x00000000 '1'", log[5]);
    EXPECT_EQ(L"call set-mode 3 -> 0x00000000", log[6]);
    EXPECT_EQ(L"call mode -> 0x00000000 '3'", log[7]);
    EXPECT_EQ(std::wstring(L"3"), run.engine->GetProperty(L"KRInstallMode").c_str());
    ASSERT_EQ(1u, run.engine->Model().topLevelFeatures.size());
    EXPECT_EQ(2, run.engine->Model().topLevelFeatures[0]->GetActionState());
}

TEST(UserInterfaceTest, ACancelAtTheInitializeEventEndsInitialisation)
{
    StandInRun run(L"cancel-state 0\n");
    EXPECT_EQ(kUserExit, run.Initialize(L""));
    run.engine->ShutdownUIThread();
    ASSERT_FALSE(run.Log().empty());
    EXPECT_EQ(L"ShutdownSuiteUI", run.Log().back());
}

struct FailedStartRow {
    const char* name;
    const wchar_t* script;
    const wchar_t* dll;
    HRESULT expected;
    std::vector<std::wstring> log;
};

// A user interface that does not come up ends initialisation with its code,
// and leaves no reference on the engine behind, so the engine can end.
TEST(UserInterfaceTest, AFailedStartEndsInitialisationAndReleasesTheEngine)
{
    const FailedStartRow rows[] = {
        {"no ShutdownSuiteUI", L"", L"suiteui_standin_noshutdown.dll", HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), {}},
        {"failing InitializeSuiteUI", L"init-result 80040123\n", L"suiteui_standin.dll",
         static_cast<HRESULT>(0x80040123),
         Lines({L"InitializeSuiteUI", L"QueryInterface IBootstrap2 -> 0x00000000", L"Advise -> 0x00000000",
                L"InitializeSuiteUI fails with 0x80040123"})},
    };
    for (const FailedStartRow& row : rows) {
        SCOPED_TRACE(row.name);
        StandInRun run(row.script);
        EXPECT_EQ(row.expected, run.Initialize(L"", row.dll));
        EXPECT_FALSE(run.engine->UserInterfaceRunning());
        EXPECT_EQ(0u, run.OtherReferences());
        EXPECT_EQ(row.log, run.Log());
        run.engine->ShutdownUIThread();
    }
}

} // namespace
