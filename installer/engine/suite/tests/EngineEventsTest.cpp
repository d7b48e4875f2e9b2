// The engine's event actions, suite actions, install-mode change, lookups and
// automation members, called in process with recording stand-ins for the
// actions and an event sink that records argument types.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/ConditionTestSupport.h"
#include "EngineTestSupport.h"
#include "kr/holders.h"

using engine_testing::NewEngine;
using engine_testing::TempFile;

namespace {

constexpr HRESULT kUserExit = static_cast<HRESULT>(0x80070642);
constexpr HRESULT kRebootPending = static_cast<HRESULT>(0x80070BC2);
constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80070032);

using CallLog = std::shared_ptr<std::vector<std::wstring>>;

class RecordingAction : public ISuiteAction {
public:
    RecordingAction(const wchar_t* id, HRESULT result, CallLog calls) : m_id(id), m_result(result), m_calls(calls) {}
    _stringx GetId() const override { return _stringx(m_id.c_str()); }
    HRESULT Execute(IParcel2* parcel) override
    {
        m_calls->push_back(m_id + (parcel ? L"(parcel)" : L""));
        return m_result;
    }

private:
    std::wstring m_id;
    HRESULT m_result;
    CallLog m_calls;
};

class StandInEventAction : public IEventAction {
public:
    StandInEventAction(const wchar_t* actionId, bool condition, const wchar_t* text = L"")
        : m_actionId(actionId), m_condition(condition), m_text(text)
    {
    }
    bool EvaluateEntryCondition() override { return m_condition; }
    _stringx GetActionId() const override { return _stringx(m_actionId.c_str()); }
    _stringx GetDisplayText() const override { return _stringx(m_text.c_str()); }
    void SetCondition(std::unique_ptr<CCondition>) override {}

private:
    std::wstring m_actionId;
    bool m_condition;
    std::wstring m_text;
};

// Records each event as its name-free argument types in declaration order,
// and answers "cancel" to one event id.
class TypeSink : public IDispatch {
public:
    explicit TypeSink(CSetupEngine& engine)
    {
        com::ComPtr<IConnectionPointContainer> container;
        engine.QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
        container->FindConnectionPoint(IID__IBootstrapEvents, m_point.Put());
        m_point->Advise(this, &m_cookie);
    }
    ~TypeSink() { m_point->Unadvise(m_cookie); }

    DISPID cancelId = 0;
    std::vector<std::wstring> events;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID__IBootstrapEvents)) {
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        std::wstring line = std::to_wstring(id);
        for (UINT index = params->cArgs; index-- > 0;) {
            const VARIANT& argument = params->rgvarg[index];
            line += L" " + std::to_wstring(argument.vt);
            if (argument.vt == VT_BSTR)
                line += std::wstring(L":") + argument.bstrVal;
            if (argument.vt == VT_I8 || argument.vt == VT_I4)
                line += L":" + std::to_wstring(argument.vt == VT_I8 ? argument.llVal : argument.lVal);
            if (argument.vt == (VT_BOOL | VT_BYREF) && id == cancelId)
                *argument.pboolVal = VARIANT_TRUE;
        }
        events.push_back(line);
        return S_OK;
    }

private:
    com::ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};

struct EventRow {
    const char* name;
    std::vector<HRESULT> results; // one action each, ids A, B, C...
    HRESULT expected;
    std::vector<std::wstring> ran;
    bool delayedReboot;
};

TEST(EngineEventsTest, RunEventsOverActionResults)
{
    const EventRow rows[] = {
        {"all succeed", {S_OK, S_FALSE}, S_FALSE, {L"A", L"B"}, false},
        {"reboot last", {S_OK, kRebootPending}, S_OK, {L"A", L"B"}, true},
        {"reboot first", {kRebootPending, S_OK}, S_OK, {L"A", L"B"}, true},
        {"failure stops", {S_OK, E_FAIL, S_OK}, E_FAIL, {L"A", L"B"}, false},
        {"reboot then failure", {kRebootPending, E_FAIL, S_OK}, E_FAIL, {L"A", L"B"}, true},
    };
    for (const EventRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto engine = NewEngine();
        const CallLog calls = std::make_shared<std::vector<std::wstring>>();
        std::wstring id = L"A";
        for (HRESULT result : row.results) {
            engine->AddSuiteAction(std::make_unique<RecordingAction>(id.c_str(), result, calls));
            ASSERT_NE(nullptr,
                      engine->AddEventAction(kSuiteOnBegin, std::make_unique<StandInEventAction>(id.c_str(), true)));
            ++id[0];
        }
        EXPECT_EQ(row.expected, engine->RunEvents(kSuiteOnBegin));
        EXPECT_EQ(row.ran, *calls);
        EXPECT_EQ(row.delayedReboot, engine->DelayedRebootRequested());
        EXPECT_EQ(row.delayedReboot ? L"true" : L"", std::wstring(engine->GetProperty(L"KRDelayReboot").c_str()));
    }
}

TEST(EngineEventsTest, RunEventsSkipsFalseConditionsAndShowsDisplayTexts)
{
    testing_support::TraceCapture trace;
    const auto engine = NewEngine();
    TypeSink sink(*engine.Get());
    const CallLog calls = std::make_shared<std::vector<std::wstring>>();
    engine->SetProperty(L"Product", L"Widget", false);
    engine->AddSuiteAction(std::make_unique<RecordingAction>(L"Skipped", E_FAIL, calls));
    engine->AddSuiteAction(std::make_unique<RecordingAction>(L"Shown", S_OK, calls));
    engine->AddEventAction(kSuiteOnEnd, std::make_unique<StandInEventAction>(L"Skipped", false, L"never"));
    engine->AddEventAction(kSuiteOnEnd, std::make_unique<StandInEventAction>(L"Shown", true, L"Closing [Product]"));

    EXPECT_EQ(S_FALSE, engine->RunEvents(kSuiteOnBegin)) << "no list";
    EXPECT_EQ(S_OK, engine->RunEvents(kSuiteOnEnd));
    EXPECT_EQ(std::vector<std::wstring>{L"Shown"}, *calls);
    // Message, current and maximum as 64-bit numbers, flags, the cancel cell.
    EXPECT_EQ(std::vector<std::wstring>{L"12 8:Closing Widget 20:0 20:0 3:2 16395"}, sink.events);
    const std::wstring log = trace.Messages();
    EXPECT_NE(std::wstring::npos, log.find(L"Skipping event 'Skipped' since condition is false")) << log;
    EXPECT_NE(std::wstring::npos, log.find(L"Running event 'Shown'")) << log;
    EXPECT_NE(std::wstring::npos, log.find(L"Action 'Shown' returned status 0x00000000")) << log;

    sink.cancelId = 12;
    EXPECT_EQ(kUserExit, engine->RunEvents(kSuiteOnEnd));
    EXPECT_EQ(1u, calls->size()) << "a cancel at the display text runs nothing";
}

TEST(EngineEventsTest, RunActionFindsItsIdExactly)
{
    testing_support::TraceCapture trace;
    const auto engine = NewEngine();
    const CallLog calls = std::make_shared<std::vector<std::wstring>>();
    engine->AddSuiteAction(std::make_unique<RecordingAction>(L"Setup", static_cast<HRESULT>(0x80040714), calls));
    engine->AddSuiteAction(std::make_unique<RecordingAction>(L"Setup", S_OK, calls));

    EXPECT_EQ(E_FAIL, engine->RunAction(_stringx(L"setup"), nullptr));
    EXPECT_NE(std::wstring::npos, trace.Messages().find(L"Action 'setup' does not exist")) << trace.Messages();
    kr::bstr_holder id(SysAllocString(L"Setup"));
    EXPECT_EQ(static_cast<HRESULT>(0x80040714), engine->RunAction(id.get())) << "the first of that id";
    EXPECT_EQ(std::vector<std::wstring>{L"Setup"}, *calls);
    EXPECT_NE(std::wstring::npos, trace.Messages().find(L"Action 'Setup' returned status 0x80040714"));

    engine->AddEventAction(kSuiteOnBegin, std::make_unique<StandInEventAction>(L"Missing", true));
    EXPECT_EQ(E_FAIL, engine->RunEvents(kSuiteOnBegin));
}

TEST(EngineEventsTest, ParcelEventsAreNotKeptByTheEngine)
{
    const auto engine = NewEngine();
    for (int type : {kOnParcelConfiguring, kOnParcelConfigured})
        EXPECT_EQ(nullptr, engine->AddEventAction(type, std::make_unique<StandInEventAction>(L"A", true)));
    EXPECT_NE(nullptr, engine->AddEventAction(kSuiteOnStaging, std::make_unique<StandInEventAction>(L"A", true)));
}

// An engine initialised silently with the mode switch given.
com::ComPtr<CSetupEngine> InitializedEngine(const wchar_t* modeSwitch)
{
    auto engine = NewEngine();
    static const TempFile setupXml(L"<Setup/>");
    engine->SetSetupXmlLoader([](CSetupEngine& target, const _stringx&) {
        // Without a mode switch the suite installs.
        auto install = std::make_unique<CInstallMode>(eimInstall);
        install->SetCondition(std::make_unique<testing_support::ScriptedCondition>(
            std::make_shared<testing_support::ConditionRecord>(), true, S_OK));
        target.AddInstallMode(std::move(install));
        target.AddFeature(nullptr, {{L"Name", L"Main"}});
        target.AddFeature(nullptr, {{L"Name", L"Docs"}});
        return S_OK;
    });
    const std::wstring line = std::wstring(L"/silent ") + modeSwitch + L" /f3:" + setupXml.Path();
    kr::bstr_holder text(SysAllocString(line.c_str()));
    bool exitNow = false;
    EXPECT_EQ(S_OK, engine->Initialize(text.get(), &exitNow));
    return engine;
}

TEST(EngineEventsTest, InstallModeChangesOnlyFromMaintenanceSelection)
{
    testing_support::TraceCapture trace;
    CSetupEngine::ForgetInitialInstallMode();
    const auto installing = InitializedEngine(L"");
    EXPECT_EQ(kNotSupported, installing->put_InstallMode(eimRemove));
    EXPECT_EQ(eimInstall, installing->GetInstallMode());
    EXPECT_NE(std::wstring::npos, trace.Messages().find(L"Engine: changing install mode from 0 to 3"));
    EXPECT_NE(std::wstring::npos, trace.Messages().find(L"Engine: ***warning: attempt to change install mode not allowed"));
    // The first request's mode holds for the whole process.
    const auto later = InitializedEngine(L"/modify");
    EXPECT_EQ(kNotSupported, later->put_InstallMode(eimRemove));

    CSetupEngine::ForgetInitialInstallMode();
    const auto maintenance = InitializedEngine(L"/modify");
    EXPECT_EQ(S_OK, maintenance->put_InstallMode(eimRemove));
    EXPECT_EQ(eimRemove, maintenance->GetInstallMode());
    EXPECT_EQ(L"3", std::wstring(maintenance->GetProperty(L"KRInstallMode").c_str()));
    for (CFeature* feature : maintenance->Model().topLevelFeatures)
        EXPECT_EQ(2, feature->GetActionState()) << feature->GetName().c_str();
    EXPECT_EQ(S_OK, maintenance->put_InstallMode(eimModify)) << "any number of times";
    EXPECT_EQ(L"2", std::wstring(maintenance->GetProperty(L"KRInstallMode").c_str()));
    for (CFeature* feature : maintenance->Model().topLevelFeatures)
        EXPECT_EQ(2, feature->GetActionState()) << "only remove and repair reach the features";
    CSetupEngine::ForgetInitialInstallMode();
}

TEST(EngineEventsTest, AutomationMembers)
{
    const auto engine = NewEngine();
    kr::bstr_holder name(SysAllocString(L"KRPasswordValid"));
    kr::bstr_holder value;
    EXPECT_EQ(S_OK, engine->get_Property(name.get(), value.address()));
    EXPECT_EQ(std::wstring(L"false"), value.get());
    kr::bstr_holder unknown(SysAllocString(L"NoSuchProperty"));
    kr::bstr_holder empty;
    EXPECT_EQ(S_OK, engine->get_Property(unknown.get(), empty.address()));
    EXPECT_EQ(0u, SysStringLen(empty.get()));
    EXPECT_EQ(E_POINTER, engine->get_Property(unknown.get(), nullptr));

    EnumBootstrapState state = ebsInvalid;
    EXPECT_EQ(E_NOTIMPL, engine->get_BootstrapState(&state));
    EXPECT_EQ(E_POINTER, engine->get_BootstrapState(nullptr));

    engine->SetProperty(L"Product", L"Widget", false);
    kr::bstr_holder text(SysAllocString(L"[Product] setup"));
    kr::bstr_holder resolved;
    EXPECT_EQ(S_OK, engine->ResolveStringAndPerformSubstitutionForEmbeddedProperties(text.get(), resolved.address()));
    EXPECT_EQ(std::wstring(L"Widget setup"), resolved.get());
    EXPECT_EQ(E_POINTER, engine->ResolveStringAndPerformSubstitutionForEmbeddedProperties(text.get(), nullptr));
}

TEST(EngineEventsTest, ReportErrorFiresTheErrorAndReturnsItsCode)
{
    testing_support::TraceCapture trace;
    const auto engine = NewEngine();
    TypeSink sink(*engine.Get());
    EXPECT_EQ(static_cast<HRESULT>(0x8004070B),
              engine->ReportError(ebesEngine, static_cast<HRESULT>(0x8004070B), _stringx(), nullptr));
    EXPECT_EQ(std::vector<std::wstring>{L"2 9"}, sink.events);
    EXPECT_NE(std::wstring::npos, trace.Messages().find(L"Error code: 0x8004070b"));
}

TEST(EngineEventsTest, FeaturesAreFoundDepthFirstAndTopLevelNamesExactly)
{
    testing_support::TraceCapture trace;
    const auto engine = NewEngine();
    CFeature* main = engine->AddFeature(nullptr, {{L"Name", L"Main"}});
    CFeature* extras = engine->AddFeature(main, {{L"Name", L"Extras"}});
    CFeature* deep = engine->AddFeature(extras, {{L"Name", L"Samples"}});
    CFeature* docs = engine->AddFeature(nullptr, {{L"Name", L"Docs"}});
    engine->AddFeature(docs, {{L"Name", L"Samples"}});

    EXPECT_EQ(main, engine->FindFeature(L"main"));
    EXPECT_EQ(extras, engine->FindFeature(L"Extras"));
    EXPECT_EQ(deep, engine->FindFeature(L"Samples")) << "the first top-level feature's tree first";
    EXPECT_EQ(nullptr, engine->FindFeature(L"Missing"));
    EXPECT_NE(std::wstring::npos, trace.Messages().find(L"Engine: couldn't get feature 'Missing'"));
    EXPECT_TRUE(engine->IsTopLevelFeature(L"Docs"));
    EXPECT_FALSE(engine->IsTopLevelFeature(L"docs"));
    EXPECT_FALSE(engine->IsTopLevelFeature(L"Extras"));
}

TEST(EngineEventsTest, UpgradeNotificationWithoutInstallingParcelsFiresNothing)
{
    testing_support::TraceCapture trace;
    const auto engine = NewEngine();
    TypeSink sink(*engine.Get());
    EXPECT_EQ(S_OK, engine->NotifyUIForUpgradingParcels());
    EXPECT_EQ(std::wstring::npos, trace.Messages().find(L"upgrade confirmation")) << "an empty map does nothing";

    CParcel* parcel = engine->CreateParcel(L"Exe");
    ASSERT_NE(nullptr, parcel);
    parcel->SetAttribute(L"Id", L"RuntimeA");
    engine->AddUpgradingParcel(parcel);
    EXPECT_EQ(S_OK, engine->NotifyUIForUpgradingParcels());
    EXPECT_TRUE(sink.events.empty());
    EXPECT_NE(std::wstring::npos,
              trace.Messages().find(L"Engine: upgrade notification has no parcels installing, skipping notify"));
}

// A handler that finds its parcel absent and records the upgrade mark.
class MarkRecordingHandler : public CParcelHandler {
public:
    MarkRecordingHandler(CParcel& parcel, std::vector<std::wstring>& marks) : CParcelHandler(parcel), m_marks(marks) {}
    bool SupportsTransaction() override { return false; }
    HRESULT Run() override { return S_OK; }
    EnumParcelType GetType() override { return eptExe; }
    bool IsRebootStatus() override { return false; }
    HRESULT Detect(EnumParcelInstallState* state, bool) override
    {
        *state = episAbsent;
        return S_OK;
    }
    void Mark(bool mark) override { m_marks.push_back(std::wstring(GetParcel().GetId().c_str()) + (mark ? L"=1" : L"=0")); }

private:
    std::vector<std::wstring>& m_marks;
};

// An Exe parcel of the engine's model with an Install operation, chosen
// when install is true.
CParcel* UpgradingParcel(CSetupEngine& engine, const wchar_t* id, bool install, std::vector<std::wstring>& marks)
{
    CParcel* parcel = engine.CreateParcel(L"Exe");
    parcel->SetAttribute(L"Id", id);
    parcel->SetHandler(std::make_unique<MarkRecordingHandler>(*parcel, marks));
    auto operation = std::make_unique<COperation>();
    operation->SetAttribute(L"Name", L"Install");
    operation->SetAttribute(L"Target", L"setup.exe");
    parcel->AddOperation(std::move(operation));
    if (install)
        EXPECT_EQ(S_OK, parcel->put_ActionState(episInstalled)) << id;
    return parcel;
}

TEST(EngineEventsTest, UpgradeConfirmationShowsInstallingParcelsAndMarksTheirHandlers)
{
    const auto engine = NewEngine();
    TypeSink sink(*engine.Get());
    std::vector<std::wstring> marks;
    CParcel* first = UpgradingParcel(*engine.Get(), L"RuntimeA", true, marks);
    CParcel* idle = UpgradingParcel(*engine.Get(), L"ToolB", false, marks);
    CParcel* second = UpgradingParcel(*engine.Get(), L"DriverC", true, marks);
    for (CParcel* parcel : {first, idle, second, first})
        engine->AddUpgradingParcel(parcel);

    EXPECT_EQ(S_OK, engine->NotifyUIForUpgradingParcels());
    EXPECT_EQ(std::vector<std::wstring>{L"8 9 16395"}, sink.events);
    EXPECT_EQ((std::vector<std::wstring>{L"DriverC=1", L"RuntimeA=1"}), marks);
    EXPECT_EQ(S_OK, engine->NotifyUIForUpgradingParcels()) << "the map is emptied";
    EXPECT_EQ(1u, sink.events.size());

    sink.cancelId = 8;
    marks.clear();
    engine->AddUpgradingParcel(second);
    EXPECT_EQ(kUserExit, engine->NotifyUIForUpgradingParcels());
    EXPECT_TRUE(marks.empty());
}

} // namespace
