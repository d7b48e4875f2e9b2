// The "Msi" and "Msp" handler against the recording msi.dll table and a
// recording installed-product condition: targets, command lines, logs,
// results, detection and the parcel events msi.dll's messages become.

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "MsiRecording.h"
#include "ParcelTestSupport.h"
#include "conditions/ConditionKind.h"
#include "kr/bootstrap_exception.h"
#include "parcels/MsiParcelHandler.h"
#include "parcels/ParcelFactory.h"

using namespace parcel_testing;
using namespace msi_testing;
using testing_support::TraceCapture;

namespace {

constexpr wchar_t kProduct[] = L"{7B2E4D52-3C8A-4B1F-8D2E-4C6B8F0A2301}";
constexpr wchar_t kPackage[] = L"{7B2E4D52-3C8A-4B1F-8D2E-4C6B8F0A2311}";

// What the recording condition was asked, and its answers in turn.
struct ConditionScript {
    std::vector<std::wstring> validations; // "product|package|version|compare|patch"
    std::deque<HRESULT> validateResults;   // S_OK once they run out
    std::deque<bool> evaluations;          // false once they run out
    HRESULT evaluateResult = S_OK;
};
ConditionScript g_condition;

class RecordingCondition : public CCondition {
public:
    HRESULT Validate() override
    {
        g_condition.validations.push_back(Text(L"ProductCode") + L"|" + Text(L"PackageCode") + L"|" +
                                          Text(L"ProductVersion") + L"|" + Text(L"Compare") + L"|" +
                                          Text(L"PatchCode"));
        if (g_condition.validateResults.empty())
            return S_OK;
        const HRESULT result = g_condition.validateResults.front();
        g_condition.validateResults.pop_front();
        return result;
    }
    HRESULT Evaluate(bool* result) override
    {
        *result = false;
        if (!g_condition.evaluations.empty()) {
            *result = g_condition.evaluations.front();
            g_condition.evaluations.pop_front();
        }
        return g_condition.evaluateResult;
    }

private:
    std::wstring Text(const wchar_t* name) const
    {
        const _stringx value = ReadAttribute(name);
        return std::wstring(value.c_str(), value.size());
    }
};

std::unique_ptr<CCondition> MakeRecordingCondition()
{
    return std::make_unique<RecordingCondition>();
}

std::wstring NewFolder()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    std::wstring folder = std::wstring(temp) + L"parcels_msi_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                          std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

class MsiParcel : public testing::Test {
protected:
    void SetUp() override
    {
        Reset();
        g_condition = ConditionScript{};
        m_previousMaker = SetConditionMaker(ckMsiInstalled, &MakeRecordingCondition);
        initialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        package = NewFolder();
        std::ofstream((package + L"\\package.msi").c_str()) << "stand-in";
        parcel = Make(L"Msi", L"P1");
        engine.setupEngine.store.SetAttribute(L"SETUPEXEDIR", L"C:\\Setup");
        engine.setupEngine.store.SetAttribute(L"SETUPEXENAME", L"setup.exe");
    }

    void TearDown() override
    {
        SetConditionMaker(ckMsiInstalled, m_previousMaker);
        parcel.Reset();
        for (DispatchSink* sink : sinks)
            sink->Release();
        DeleteFileW((package + L"\\package.msi").c_str());
        RemoveDirectoryW(package.c_str());
        if (initialized)
            CoUninitialize();
    }

    com::ComPtr<CParcel> Make(const wchar_t* element, const wchar_t* id)
    {
        CParcel* made = nullptr;
        EXPECT_EQ(MakeParcelForElement(element, &made), S_OK);
        auto created = com::ComPtr<CParcel>::Adopt(made);
        created->SetAttribute(L"Id", id);
        created->SetAttribute(L"ProductCode", kProduct);
        created->SetAttribute(L"PackageCode", kPackage);
        created->SetAttribute(L"ProductVersion", L"1.2.3");
        created->SetAttribute(L"KRPREREQDIR", package.c_str());
        created->LoadStateValue(CStateEntry(L"PackagePath", package.c_str()));
        Handler(*created.Get()).SetMsiFunctions(RecordingTable());
        DispatchSink* sink = new DispatchSink(IID__IParcelEvents);
        sinks.push_back(sink);
        AdviseParcelEvents(*created.Get(), sink);
        return created;
    }

    static CMsiParcelHandler& Handler(CParcel& of) { return *dynamic_cast<CMsiParcelHandler*>(of.Handler()); }
    CMsiParcelHandler& Handler() { return Handler(*parcel.Get()); }
    DispatchSink& Sink() { return *sinks.front(); }

    HRESULT RunOperation(const wchar_t* name, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> more)
    {
        COperation* operation = parcel->AddOperation(MakeOperation(name, more));
        Handler().SetOperation(operation);
        return Handler().Run();
    }

    // The command line of the last install, configure or patch call.
    std::wstring LastCommandLine() const
    {
        for (auto call = Script().calls.rbegin(); call != Script().calls.rend(); ++call)
            if (call->rfind(L"install ", 0) == 0 || call->rfind(L"configure ", 0) == 0 ||
                call->rfind(L"patch ", 0) == 0)
                return call->substr(call->rfind(L'|') + 1);
        return L"<none>";
    }

    // The sink's calls of one event, by dispatch id.
    std::vector<std::vector<std::wstring>> Events(DISPID id)
    {
        std::vector<std::vector<std::wstring>> found;
        for (const SinkCall& call : Sink().calls)
            if (call.id == id)
                found.push_back(call.arguments);
        return found;
    }

    std::wstring Base() const
    {
        return L"KRPREREQDIR=\"" + package + L"\" SETUPEXEDIR=\"C:\\Setup\" SETUPEXENAME=\"setup.exe\"";
    }

    bool initialized = false;
    FakeEngineServices engine;
    TraceCapture trace;
    std::wstring package;
    com::ComPtr<CParcel> parcel;
    std::vector<DispatchSink*> sinks;
    ConditionMaker m_previousMaker = nullptr;
};

TEST_F(MsiParcel, SlotValues)
{
    for (const wchar_t* name : {L"Msi", L"MSI", L"Msp", L"msp"}) {
        CParcel* made = nullptr;
        ASSERT_EQ(MakeParcelForElement(name, &made), S_OK) << name;
        auto madeParcel = com::ComPtr<CParcel>::Adopt(made);
        ASSERT_NE(dynamic_cast<CMsiParcelHandler*>(madeParcel->Handler()), nullptr) << name;
    }
    EXPECT_EQ(Handler().GetType(), eptMsi);
    com::ComPtr<CParcel> patch = Make(L"Msp", L"Fix");
    EXPECT_EQ(Handler(*patch.Get()).GetType(), eptMsp);

    EXPECT_TRUE(Handler().SupportsTransaction());
    parcel->SetAttribute(L"TransactionMode", L"disabled");
    EXPECT_FALSE(Handler().SupportsTransaction());
    parcel->SetAttribute(L"TransactionMode", L"Enabled");
    EXPECT_TRUE(Handler().SupportsTransaction());

    EXPECT_FALSE(Handler().Is64Bit());
    for (const auto& [platform, is64] : {std::pair{L"x64", true}, {L"Intel", false}, {L"intel", false}, {L"", false}}) {
        parcel->SetAttribute(L"Platform", platform);
        EXPECT_EQ(Handler().Is64Bit(), is64) << platform;
    }

    std::vector<DWORD> codes;
    Handler().GetRebootCodes(codes);
    EXPECT_EQ(codes, (std::vector<DWORD>{1641, 3010, 3011}));
    EXPECT_FALSE(Handler().IsInPlaceUpgrade());
    Handler().Mark(false);
    EXPECT_TRUE(Handler().IsInPlaceUpgrade());
}

TEST_F(MsiParcel, InstallRunsThePackageInItsFolder)
{
    EXPECT_EQ(RunOperation(L"Install", {{L"Target", L"package.msi"}, {L"CommandLine", L"A=1"}}), S_OK);
    const std::wstring target = package + L"\\package.msi";
    ASSERT_GE(Script().calls.size(), 3u);
    EXPECT_EQ(Script().calls[2], L"install " + target + L"|A=1 " + Base() + L" ADDLOCAL=ALL");
    EXPECT_EQ(Events(1).size(), 2u);
    EXPECT_EQ(Events(1).at(0).at(0), L"I4:0");
    EXPECT_EQ(Events(1).at(1).at(0), L"I4:4");
    EXPECT_NE(trace.Messages().find(L"Using parcel operation target"), std::wstring::npos);
    EXPECT_NE(trace.Messages().find(L"MSI parcel launch result: 0"), std::wstring::npos);
}

TEST_F(MsiParcel, AMissingPackageRunsNothing)
{
    EXPECT_EQ(RunOperation(L"Install", {{L"Target", L"absent.msi"}}), static_cast<HRESULT>(0x80070002));
    EXPECT_TRUE(Script().calls.empty());
    EXPECT_TRUE(Sink().calls.empty());
}

TEST_F(MsiParcel, RepairOfAnInstalledProductReconfiguresIt)
{
    engine.mode = eimRepair;
    g_condition.evaluations = {true, true}; // product, then product and package
    EXPECT_EQ(RunOperation(L"Install", {{L"Target", L"package.msi"}}), S_OK);
    ASSERT_GE(Script().calls.size(), 3u);
    EXPECT_EQ(Script().calls[2], std::wstring(L"configure ") + kProduct + L"|0|5|" + Base() + L" REINSTALL=ALL");
    EXPECT_NE(trace.Messages().find(L"Changing internal state operation to modify"), std::wstring::npos);
    EXPECT_NE(trace.Messages().find(L"MSI parcel operation, mode: 4, operation mode: 2"), std::wstring::npos);
    // The parcel reports a modification.
    EXPECT_EQ(Events(1).at(0).at(0), L"I4:1");
}

TEST_F(MsiParcel, AnAbsentProductInstallsFromThePackageInAnyMode)
{
    engine.mode = eimModify;
    parcel->SetAttribute(L"KRParcelFeatureInstall", L"Main");
    EXPECT_EQ(RunOperation(L"Install", {{L"Target", L"package.msi"}}), S_OK);
    EXPECT_EQ(Script().calls.at(2).rfind(L"install " + package + L"\\package.msi|", 0), 0u) << Script().calls.at(2);
    EXPECT_EQ(LastCommandLine(), Base() + L" ADDLOCAL=Main ");
}

TEST_F(MsiParcel, FeatureLists)
{
    const struct {
        int mode;
        int kind;
        const wchar_t* install;
        const wchar_t* remove;
        const wchar_t* commandLine;
        const wchar_t* features;
    } cases[] = {
        {eimInstall, 1, L"", L"", L"", L"ADDLOCAL=ALL"},
        {eimInstall, 1, L"Main,Extra", L"", L"", L"ADDLOCAL=Main,Extra"},
        {eimInstall, 1, L"Main", L"", L"ADDLOCAL=Extra", L""},
        // The tests see letter case.
        {eimInstall, 1, L"Main", L"", L"addlocal=Extra", L"ADDLOCAL=Main"},
        {eimModify, 2, L"Main,Extra", L"", L"", L"ADDLOCAL=Main,Extra "},
        {eimModify, 2, L"", L"Extra", L"", L" REMOVE=Extra"},
        {eimModify, 2, L"Main", L"Extra", L"", L"ADDLOCAL=Main REMOVE=Extra"},
        {eimModify, 2, L"Main", L"Extra", L"ADDLOCAL=X REMOVE=Y", L" "},
        {eimModify, 2, L"", L"", L"", L" "},
        {eimModify, 4, L"Main", L"Extra", L"", L"REMOVE=ALL"},
        {eimRemove, 4, L"", L"", L"", L"REMOVE=ALL"},
        {eimRemove, 4, L"", L"", L"REMOVE=Main", L""},
        {eimRemove, 4, L"", L"", L"remove=Main", L"REMOVE=ALL"},
        {eimRepair, 2, L"", L"", L"", L"REINSTALL=ALL"},
        {eimRepair, 2, L"", L"", L"REINSTALL=Main", L""},
        {eimUIMaintSelection, 1, L"Main", L"", L"", L""},
        {eimAdmin, 1, L"Main", L"", L"", L""},
    };
    for (const auto& c : cases) {
        parcel->SetAttribute(L"KRParcelFeatureInstall", c.install);
        parcel->SetAttribute(L"KRParcelFeatureRemove", c.remove);
        const _stringx features = Handler().BuildFeatureList(c.mode, c.kind, c.commandLine);
        EXPECT_EQ(std::wstring(features.c_str(), features.size()), c.features)
            << c.mode << " " << c.kind << " " << c.commandLine;
    }
}

TEST_F(MsiParcel, InPlaceUpgradeRules)
{
    const struct {
        const wchar_t* commandLine;
        const wchar_t* tail;
    } cases[] = {
        {L"", L"REINSTALL=ALL REINSTALLMODE=vomus"},
        {L"reinstallmode=amus", L"REINSTALL=ALL"},
        {L"Reinstall=Main", L"REINSTALLMODE=vomus"},
        {L"REINSTALL=Main REINSTALLMODE=omus", L""},
    };
    Handler().Mark(false);
    for (const auto& c : cases) {
        Reset();
        RunOperation(L"Install", {{L"Target", L"package.msi"}, {L"CommandLine", c.commandLine}});
        const std::wstring expected = std::wstring(c.commandLine) + (*c.commandLine ? L" " : L"") + Base() +
                                      (*c.tail ? L" " : L"") + c.tail;
        EXPECT_EQ(LastCommandLine(), expected) << c.commandLine;
    }
    EXPECT_NE(trace.Messages().find(L"Running MSI parcel as in-place upgrade"), std::wstring::npos);
}

TEST_F(MsiParcel, TheFeaturePartIsNotExpandedAndHiddenValuesAreMasked)
{
    engine.hidden = {L"Password"};
    engine.properties.SetAttribute(L"Password", L"hunter2");
    engine.setupEngine.store.SetAttribute(L"Password", L"hunter2");
    engine.setupEngine.store.SetAttribute(L"Name", L"expanded");
    parcel->SetAttribute(L"KRParcelFeatureInstall", L"Main[Name]");
    RunOperation(L"Install", {{L"Target", L"package.msi"}, {L"CommandLine", L"PW=[Password] N=[Name]"}});
    EXPECT_EQ(LastCommandLine(), L"PW=hunter2 N=expanded " + Base() + L" ADDLOCAL=Main[Name]");
    const std::wstring messages = trace.Messages();
    EXPECT_NE(messages.find(L"MSI parcel command line: PW=[Password] N=[Name]"), std::wstring::npos);
    EXPECT_NE(messages.find(L"Final command line: PW=********** N=expanded"), std::wstring::npos);
    EXPECT_EQ(messages.find(L"hunter2"), std::wstring::npos);
}

TEST_F(MsiParcel, SilentRunsUseTheSilentCommandLine)
{
    engine.silent = true;
    RunOperation(L"Install", {{L"Target", L"package.msi"}, {L"CommandLine", L"A=1"}, {L"Silent", L"Q=1"}});
    EXPECT_EQ(LastCommandLine(), L"Q=1 " + Base() + L" ADDLOCAL=ALL");
}

TEST_F(MsiParcel, LogFileAndMode)
{
    // Without a log folder nothing is logged.
    parcel->EnableLogging();
    RunOperation(L"Install", {{L"Target", L"package.msi"}});
    for (const std::wstring& call : Script().calls)
        EXPECT_NE(call.rfind(L"log ", 0), 0u) << call;

    engine.logFolder = L"C:\\Logs";
    const struct {
        const wchar_t* name;
        const wchar_t* options;
        const wchar_t* call;
    } cases[] = {
        {L"", L"", L"log 1f9e|C:\\Logs\\P1.log|0"},
        {L"sub\\my.log", L"iwe+", L"log 16|C:\\Logs\\sub\\my.log|1"},
        {L"D:\\elsewhere\\[Name].log", L"VX", L"log 3000|D:\\elsewhere\\expanded.log|1"},
    };
    engine.setupEngine.store.SetAttribute(L"Name", L"expanded");
    for (const auto& c : cases) {
        Reset();
        CParcelLoggingParameters& logging = parcel->EnableLogging();
        logging.SetAttribute(L"LogName", c.name);
        logging.SetAttribute(L"LogOptions", c.options);
        RunOperation(L"Install", {{L"Target", L"package.msi"}});
        ASSERT_GE(Script().calls.size(), 3u);
        EXPECT_EQ(Script().calls[2], c.call);
    }
}

TEST_F(MsiParcel, ResultsBecomeStatuses)
{
    Script().result = 3010;
    EXPECT_EQ(RunOperation(L"Install", {{L"Target", L"package.msi"}}), static_cast<HRESULT>(0x80070BC2));
    EXPECT_TRUE(Handler().IsRebootStatus());
    Script().result = 1603;
    EXPECT_EQ(RunOperation(L"Install", {{L"Target", L"package.msi"}}), static_cast<HRESULT>(0x80070643));
    EXPECT_FALSE(Handler().IsRebootStatus());

    // Another version installed: the run ends with an exception carrying the status.
    Script().result = 1638;
    HRESULT thrown = S_OK;
    try {
        RunOperation(L"Install", {{L"Target", L"package.msi"}});
    } catch (const parcel_install_failure_exception& failure) {
        thrown = failure.hresult();
        EXPECT_EQ(failure.parcel(), static_cast<IParcel2*>(parcel.Get()));
    }
    EXPECT_EQ(thrown, static_cast<HRESULT>(0x80070666));
    EXPECT_EQ(Handler().GetLastStatus(), static_cast<HRESULT>(0x80070666));
    EXPECT_NE(trace.Messages().find(L"MSI parcel launch result: 80070666"), std::wstring::npos);
}

TEST_F(MsiParcel, WithoutOperationNothingHappens)
{
    EXPECT_EQ(Handler().Run(), S_FALSE);
    EXPECT_TRUE(Script().calls.empty());
}

TEST_F(MsiParcel, APatchIsAppliedFromItsPackage)
{
    com::ComPtr<CParcel> patch = Make(L"Msp", L"Fix");
    patch->SetAttribute(L"PatchCode", L"{7B2E4D52-3C8A-4B1F-8D2E-4C6B8F0A23F1}");
    engine.mode = eimRepair;
    COperation* operation = patch->AddOperation(MakeOperation(L"Install", {{L"Target", L"package.msi"}}));
    Handler(*patch.Get()).SetOperation(operation);
    EXPECT_EQ(Handler(*patch.Get()).Run(), S_OK);
    ASSERT_GE(Script().calls.size(), 3u);
    EXPECT_EQ(Script().calls[2], L"patch " + package + L"\\package.msi||0|" + Base() + L" REINSTALL=ALL");
    EXPECT_EQ(g_condition.validations.back(), std::wstring(kProduct) + L"||||{7B2E4D52-3C8A-4B1F-8D2E-4C6B8F0A23F1}");
}

TEST_F(MsiParcel, FeatureStateIsTrueOnlyForLocal)
{
    const struct {
        INT state;
        int result;
    } cases[] = {{3, 1}, {2, 0}, {4, 0}, {-1, 0}, {5, 0}};
    for (const auto& c : cases) {
        Script().featureState = c.state;
        int state = -7;
        EXPECT_EQ(Handler().GetFeatureState(L"Main", &state), S_OK);
        EXPECT_EQ(state, c.result) << c.state;
    }
    EXPECT_EQ(Script().calls.front(), std::wstring(L"feature ") + kProduct + L"|Main");
    EXPECT_NE(trace.Messages().find(L"MSI parcel: requesting feature state for product '" + std::wstring(kProduct) +
                                    L"', feature 'Main', state: 3"),
              std::wstring::npos);
}

TEST_F(MsiParcel, MessagesBecomeParcelEvents)
{
    Sink().answer = VARIANT_FALSE;
    Sink().answerActions = true;
    Sink().action = 4;
    Script().messages = {
        {0x0A000000, {L"", L"0", L"1000", L"0", L"0"}},
        {0x0A000000, {L"", L"2", L"400"}},
        {0x01000031, {L"Cannot write [1]", L"C:\\f.txt"}},
        {0x05000000, {L"", L"a.exe", L"Window A", L"b.exe", L"Window B"}},
    };
    RunOperation(L"Install", {{L"Target", L"package.msi"}});
    const auto progress = Events(2);
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[0], (std::vector<std::wstring>{L"BSTR:", L"I4:0", L"I4:1000", L"I4:1", L"BOOL*"}));
    EXPECT_EQ(progress[1], (std::vector<std::wstring>{L"BSTR:", L"I4:400", L"I4:1000", L"I4:1", L"BOOL*"}));
    const auto errors = Events(3);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], (std::vector<std::wstring>{L"DISPATCH", L"BSTR:Cannot write C:\\f.txt", L"I4:49", L"I4*"}));
    const auto files = Events(4);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], (std::vector<std::wstring>{L"DISPATCH", L"ARRAY:1:Window A|Window B", L"BOOL:false", L"I4*"}));
    EXPECT_EQ(Script().answers, (std::vector<int>{1, 1, 4, 4}));
}

// Detection ------------------------------------------------------------------

TEST_F(MsiParcel, DetectionByProductPackageAndVersion)
{
    const std::wstring product = kProduct;
    const struct {
        const wchar_t* name;
        std::deque<bool> evaluations;
        int state;
        size_t validations;
    } cases[] = {
        {L"absent", {false}, episAbsent, 1},
        {L"exact", {true, true}, episInstalled, 2},
        {L"newer installed", {true, false, true}, episInstalled, 3},
        // No upgrade type: an older installed product reads as installed.
        {L"older installed", {true, false, false}, episInstalled, 3},
    };
    for (const auto& c : cases) {
        g_condition = ConditionScript{};
        g_condition.evaluations = c.evaluations;
        EnumParcelInstallState state = episInvalid;
        EXPECT_EQ(Handler().Detect(&state, false), S_OK) << c.name;
        EXPECT_EQ(state, c.state) << c.name;
        EXPECT_EQ(g_condition.validations.size(), c.validations) << c.name;
    }
    EXPECT_EQ(g_condition.validations, (std::vector<std::wstring>{product + L"||||", product + L"|" + kPackage + L"|||",
                                                                  product + L"||1.2.3|GreaterThan|"}));
    EXPECT_NE(trace.Messages().find(L"MSI parcel detect: product code: '" + product + L"', package code: '" + kPackage +
                                    L"'"),
              std::wstring::npos);
}

TEST_F(MsiParcel, AnOlderProductIsUpgradedInPlaceWhenAuto)
{
    parcel->SetAttribute(L"UpgradeType", L"Auto");
    g_condition.evaluations = {true, false, false, true};
    EnumParcelInstallState state = episInvalid;
    EXPECT_EQ(Handler().Detect(&state, false), S_OK);
    EXPECT_EQ(state, episAbsent);
    EXPECT_TRUE(Handler().IsInPlaceUpgrade());
    EXPECT_EQ(g_condition.validations.back(), std::wstring(kProduct) + L"||1.2.3|LessEqual|");
    EXPECT_NE(trace.Messages().find(L"MSI parcel detect: setup.xml parcel version appears newer than installed parcel"),
              std::wstring::npos);

    // The run then upgrades: the parcel's package with both properties.
    Reset();
    g_condition.evaluations = {true, false, false, true};
    RunOperation(L"Install", {{L"Target", L"package.msi"}});
    EXPECT_EQ(LastCommandLine(), Base() + L" REINSTALL=ALL REINSTALLMODE=vomus");
}

TEST_F(MsiParcel, APromptedUpgradeGoesToTheEngineOnce)
{
    parcel->SetAttribute(L"UpgradeType", L"Prompt");
    for (int i = 0; i < 2; ++i) {
        g_condition.evaluations = {true, false, false, true};
        EnumParcelInstallState state = episInvalid;
        EXPECT_EQ(Handler().Detect(&state, false), S_OK);
        EXPECT_EQ(state, episAbsent);
    }
    EXPECT_EQ(engine.upgradingParcels, std::vector<IParcel*>{static_cast<IParcel2*>(parcel.Get())});
    EXPECT_FALSE(Handler().IsInPlaceUpgrade());
}

TEST_F(MsiParcel, DetectionFailures)
{
    // A validation failure is returned with the state unchanged.
    for (size_t at = 0; at < 4; ++at) {
        g_condition = ConditionScript{};
        parcel->SetAttribute(L"UpgradeType", L"Auto");
        g_condition.evaluations = {true, false, false};
        g_condition.validateResults.assign(at, S_OK);
        g_condition.validateResults.push_back(E_INVALIDARG);
        EnumParcelInstallState state = episInvalid;
        EXPECT_EQ(Handler().Detect(&state, false), E_INVALIDARG) << at;
        EXPECT_EQ(state, at == 0 ? episInvalid : episInstalled) << at;
    }
    EXPECT_NE(trace.Messages().find(L"MSI parcel detect: failed to validate condition, error: 80070057"),
              std::wstring::npos);
    EXPECT_NE(trace.Messages().find(
                  L"MSI parcel detect: failed validation of installed condition for upgrade, error 80070057"),
              std::wstring::npos);

    // A failing evaluation reads as absent.
    g_condition = ConditionScript{};
    g_condition.evaluateResult = E_FAIL;
    g_condition.evaluations = {true};
    EnumParcelInstallState state = episInvalid;
    EXPECT_EQ(Handler().Detect(&state, false), S_OK);
    EXPECT_EQ(state, episAbsent);

    // No condition can be made.
    SetConditionMaker(ckMsiInstalled, nullptr);
    EXPECT_EQ(Handler().Detect(&state, false), E_OUTOFMEMORY);
    EXPECT_NE(trace.Messages().find(L"Failed to allocate msi installed condition"), std::wstring::npos);

    // A setup.xml detect condition takes over.
    Handler().ClearOwnDetection();
    EXPECT_EQ(Handler().Detect(&state, false), 1);
    EXPECT_NE(trace.Messages().find(L"MSI parcel detect: condition is overridden by setup.xml detect"),
              std::wstring::npos);
}

TEST_F(MsiParcel, PatchDetection)
{
    com::ComPtr<CParcel> patch = Make(L"Msp", L"Fix");
    patch->SetAttribute(L"PatchCode", L"{7B2E4D52-3C8A-4B1F-8D2E-4C6B8F0A23F1}");
    const struct {
        std::deque<bool> evaluations;
        HRESULT evaluated;
        HRESULT validated;
        HRESULT result;
        int state;
    } cases[] = {
        {{true}, S_OK, S_OK, S_OK, episInstalled},
        {{false}, S_OK, S_OK, S_OK, episAbsent},
        {{true}, E_FAIL, S_OK, E_FAIL, episAbsent},
        {{true}, S_OK, E_INVALIDARG, E_INVALIDARG, episRemove},
    };
    for (const auto& c : cases) {
        g_condition = ConditionScript{};
        g_condition.evaluations = c.evaluations;
        g_condition.evaluateResult = c.evaluated;
        g_condition.validateResults = {c.validated};
        EnumParcelInstallState state = episRemove;
        EXPECT_EQ(Handler(*patch.Get()).Detect(&state, false), c.result);
        EXPECT_EQ(state, c.state);
    }
    EXPECT_NE(trace.Messages().find(L"MSI patch detect: evaluate status: 0, is installed: true"), std::wstring::npos);
    EXPECT_NE(trace.Messages().find(L"MSI patch detect: failed to validate condition, error: 80070057"),
              std::wstring::npos);
}

} // namespace
