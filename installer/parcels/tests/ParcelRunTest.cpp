// A parcel's run: the engine's events around it, its event actions, the
// handler's result turned into reboots or aborts, re-detection with the
// operation's ExitBehavior, the saved state, and the resumed run.

#include <gtest/gtest.h>

#include <optional>

#include "ParcelTestSupport.h"
#include "kr/bootstrap_exception.h"
#include "kr/reboot_exception.h"

using namespace parcel_testing;
using testing_support::TraceCapture;

namespace {

constexpr HRESULT kRebootHr = static_cast<HRESULT>(0x80070BC2);
constexpr HRESULT kUserExitHr = static_cast<HRESULT>(0x80070642);

// What Run did: its result, or the reboot it threw.
struct Outcome {
    std::optional<HRESULT> result;
    std::optional<bool> rebootNow;
    std::optional<HRESULT> eventFailure;
};

Outcome RunParcel(CParcel& parcel)
{
    Outcome outcome;
    try {
        outcome.result = parcel.Run();
    } catch (const reboot_exception& reboot) {
        outcome.rebootNow = reboot.restart_now();
    } catch (const parcel_event_failure_exception& failure) {
        outcome.eventFailure = failure.hresult();
    }
    return outcome;
}

class ParcelRun : public ::testing::Test {
protected:
    // A parcel with one Install operation (and the given attributes), chosen.
    void Prepare(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> operation = {})
    {
        parcel = MakeParcel(L"P", record, &handler);
        handler->detectResult = S_OK;
        handler->detectedState = episAbsent;
        handler->detectedAfterRun = episInstalled;
        parcel->AddOperation(MakeOperation(L"Install", operation));
        parcel->ApplyFeatureRequest(1);
        ASSERT_EQ(parcel->GetActionState(), episInstalled);
    }

    FakeEngineServices engine;
    std::shared_ptr<HandlerRecord> record = std::make_shared<HandlerRecord>();
    ScriptedHandler* handler = nullptr;
    com::ComPtr<CParcel> parcel;
};

TEST_F(ParcelRun, RebootRequestAgainstRebootStatus)
{
    const struct {
        const wchar_t* rebootRequest; // null: the default, DetectExit
        HRESULT status;
        bool rebootStatus;
        VARIANT_BOOL answer;
        std::optional<bool> rebootNow; // thrown reboot
        HRESULT result;                // else the result
        bool asked;                    // OnQueryReboot fired
        int delayed;
    } cases[] = {
        {nullptr, kRebootHr, true, VARIANT_TRUE, false, 0, false, 0},
        {L"DetectReboot", kRebootHr, true, VARIANT_TRUE, true, 0, true, 0},
        {L"AlwaysPrompt", kRebootHr, true, VARIANT_FALSE, false, 0, true, 0},
        {L"DetectIgnore", kRebootHr, true, VARIANT_TRUE, std::nullopt, S_OK, false, 0},
        {L"AlwaysSilent", kRebootHr, true, VARIANT_FALSE, true, 0, false, 0},
        {L"DetectDelay", kRebootHr, true, VARIANT_TRUE, std::nullopt, S_OK, false, 1},
        {L"AlwaysReboot", kRebootHr, true, VARIANT_TRUE, std::nullopt, kRebootHr, false, 0},
        {L"AlwaysSilent", S_OK, false, VARIANT_TRUE, true, 0, true, 0},
        {L"AlwaysPrompt", S_OK, false, VARIANT_FALSE, false, 0, true, 0},
        {L"AlwaysReboot", S_FALSE, false, VARIANT_TRUE, true, 0, true, 0},
        {L"DetectReboot", S_FALSE, false, VARIANT_TRUE, std::nullopt, S_FALSE, false, 0},
        {L"DetectExit", E_FAIL, false, VARIANT_TRUE, std::nullopt, E_FAIL, false, 0},
        // A cancel or a user exit never becomes a reboot.
        {L"AlwaysSilent", E_ABORT, true, VARIANT_TRUE, std::nullopt, E_ABORT, false, 0},
        {L"AlwaysSilent", kUserExitHr, true, VARIANT_TRUE, std::nullopt, kUserExitHr, false, 0},
        {L"DetectExit", 1602, true, VARIANT_TRUE, std::nullopt, 1602, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.rebootRequest ? c.rebootRequest : L"(default)") << L" status 0x"
                                        << std::hex << c.status);
        engine.events.clear();
        engine.delayedReboots = 0;
        engine.rebootAnswer = c.answer;
        if (c.rebootRequest)
            Prepare({{L"RebootRequest", c.rebootRequest}});
        else
            Prepare();
        handler->runResult = c.status;
        handler->rebootStatus = c.rebootStatus;
        const int detections = record->detections;

        const Outcome outcome = RunParcel(*parcel.Get());
        EXPECT_EQ(outcome.rebootNow, c.rebootNow);
        if (!c.rebootNow) {
            EXPECT_EQ(outcome.result, c.result);
        }
        EXPECT_EQ(record->runs, 1);
        const bool asked =
            std::find(engine.events.begin(), engine.events.end(), L"OnQueryReboot") != engine.events.end();
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(engine.delayedReboots, c.delayed);
        // Every road that does not throw detects again; a reboot leaves the detection to the resumed run.
        EXPECT_EQ(parcel->HasRanDetection(), !c.rebootNow.has_value());
        EXPECT_EQ(record->detections > detections, !c.rebootNow.has_value());
        EXPECT_TRUE(parcel->IsComplete());
        record->runs = 0;
    }
}

TEST_F(ParcelRun, ExitBehaviorWhenTheOperationDidNotTakeEffect)
{
    const struct {
        const wchar_t* operation;
        const wchar_t* exitBehavior;
        int detectedAfter;
        HRESULT status;
        VARIANT_BOOL abortAnswer;
        HRESULT result;
        bool prompted;
    } cases[] = {
        {L"Install", L"DetectAbort", episAbsent, S_OK, VARIANT_FALSE, E_ABORT, false},
        {L"Install", L"DetectAbort", episAbsent, S_FALSE, VARIANT_FALSE, E_ABORT, false},
        {L"Install", L"DetectAbort", episAbsent, E_FAIL, VARIANT_FALSE, E_FAIL, false},
        {L"Install", L"DetectPrompt", episAbsent, S_OK, VARIANT_TRUE, E_ABORT, true},
        {L"Install", L"DetectPrompt", episAbsent, S_OK, VARIANT_FALSE, S_OK, true},
        {L"Install", L"DetectPrompt", episAbsent, E_FAIL, VARIANT_TRUE, E_FAIL, true},
        {L"Install", L"DetectIgnore", episAbsent, S_OK, VARIANT_TRUE, S_OK, false},
        {L"Install", L"DetectAbort", episInstalled, S_OK, VARIANT_TRUE, S_OK, false},
        {L"Remove", L"DetectAbort", episInstalled, S_OK, VARIANT_TRUE, E_ABORT, false},
        {L"Remove", L"DetectPrompt", episAbsent, S_OK, VARIANT_TRUE, S_OK, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.operation << L" " << c.exitBehavior << L" after " << c.detectedAfter);
        engine.events.clear();
        engine.notDetectedAnswer = c.abortAnswer;
        parcel = MakeParcel(L"P", record, &handler);
        handler->detectResult = S_OK;
        handler->detectedState = _stringx(c.operation) == L"Remove" ? episInstalled : episAbsent;
        handler->detectedAfterRun = c.detectedAfter;
        handler->runResult = c.status;
        parcel->AddOperation(MakeOperation(c.operation, {{L"ExitBehavior", c.exitBehavior}}));
        parcel->ApplyFeatureRequest(_stringx(c.operation) == L"Remove" ? 2 : 1);

        const Outcome outcome = RunParcel(*parcel.Get());
        EXPECT_EQ(outcome.result, c.result);
        const bool prompted = std::find(engine.events.begin(), engine.events.end(), L"OnQueryParcelNotDetected") !=
                              engine.events.end();
        EXPECT_EQ(prompted, c.prompted);
    }
}

TEST_F(ParcelRun, SavesItsKeysInOrder)
{
    Prepare();
    parcel->SetAttribute(L"DisplayName", L"Runtime");
    parcel->LoadStateValue(CStateEntry(L"PackagePath", L"C:\\pkg"));
    engine.saves.clear();
    const Outcome outcome = RunParcel(*parcel.Get());
    ASSERT_EQ(outcome.result, S_OK);
    const std::vector<std::wstring> expected = {
        L"Parcel_P DisplayName=Runtime",
        L"Parcel_P Action=1 Detect=0 Complete=true",
        L"Parcel_P RanDetection=true",
    };
    EXPECT_EQ(engine.saves, expected);
    EXPECT_EQ(engine.events, std::vector<std::wstring>{L"OnInstallingParcel"});
    EXPECT_EQ(record->operationAtRun, parcel->ChosenOperation());
    EXPECT_EQ(parcel->GetDetectedState(), episInstalled);
}

TEST_F(ParcelRun, ResumedRunReDetectsOnlyWhenTheOperationRanWithoutDetection)
{
    engine.afterReboot = true;
    Prepare();
    parcel->LoadStateValue(CStateEntry(L"Complete", L"true"));
    parcel->LoadStateValue(CStateEntry(L"RanDetection", L"false"));
    // The operation took effect before the reboot.
    handler->detectedState = episInstalled;
    engine.saves.clear();
    Outcome outcome = RunParcel(*parcel.Get());
    EXPECT_EQ(outcome.result, S_OK);
    EXPECT_EQ(record->runs, 0);
    EXPECT_TRUE(engine.events.empty());
    EXPECT_EQ(engine.saves, std::vector<std::wstring>{L"Parcel_P RanDetection=true"});

    // Complete with detection: the operation runs again.
    parcel->LoadStateValue(CStateEntry(L"RanDetection", L"true"));
    outcome = RunParcel(*parcel.Get());
    EXPECT_EQ(outcome.result, S_OK);
    EXPECT_EQ(record->runs, 1);

    // Only a resumed run skips.
    engine.afterReboot = false;
    parcel->LoadStateValue(CStateEntry(L"RanDetection", L"false"));
    RunParcel(*parcel.Get());
    EXPECT_EQ(record->runs, 2);
}

TEST_F(ParcelRun, InstallingParcelAnswersComeFirst)
{
    const struct {
        HRESULT fired;
        VARIANT_BOOL cancel;
        HRESULT result;
    } cases[] = {
        {S_OK, VARIANT_TRUE, kUserExitHr},
        {E_FAIL, VARIANT_FALSE, E_FAIL},
        {S_FALSE, VARIANT_FALSE, S_FALSE},
    };
    for (const auto& c : cases) {
        Prepare();
        parcel->AddEventAction(kOnParcelConfiguring, std::make_unique<ScriptedEventAction>(L"Before", true));
        engine.saves.clear();
        engine.installingResult = c.fired;
        engine.installingCancel = c.cancel;
        const Outcome outcome = RunParcel(*parcel.Get());
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_EQ(record->runs, 0);
        EXPECT_TRUE(engine.saves.empty());
        EXPECT_TRUE(engine.actionsRun.empty());
        EXPECT_FALSE(parcel->IsComplete());
    }
}

TEST_F(ParcelRun, EventActionsAroundTheOperation)
{
    Prepare();
    engine.setupEngine.store.SetAttribute(L"ProductName", L"Vantrel");
    parcel->AddEventAction(kOnParcelConfiguring,
                           std::make_unique<ScriptedEventAction>(L"Skipped", false, L"IDS_CONFIGURING"));
    parcel->AddEventAction(kOnParcelConfiguring,
                           std::make_unique<ScriptedEventAction>(L"Before", true, L"IDS_CONFIGURING"));
    parcel->AddEventAction(kOnParcelConfigured, std::make_unique<ScriptedEventAction>(L"After", true));
    TraceCapture trace;
    const Outcome outcome = RunParcel(*parcel.Get());
    EXPECT_EQ(outcome.result, S_OK);
    EXPECT_EQ(engine.actionsRun, (std::vector<std::wstring>{L"Before", L"After"}));
    const std::vector<std::wstring> events = {L"OnInstallingParcel", L"OnActionEventInfo:Configuring Vantrel:2"};
    EXPECT_EQ(engine.events, events);
    EXPECT_NE(trace.Messages().find(L"Skipping parcel event 'Skipped' since condition is false"), std::wstring::npos);
    EXPECT_EQ(parcel->RunEvents(kOnParcelConfigured), S_OK);
}

TEST_F(ParcelRun, AFailingEventActionThrows)
{
    const struct {
        int eventType;
        HRESULT actionResult;
        VARIANT_BOOL cancelText;
        HRESULT thrown;
        int runs;
    } cases[] = {
        {kOnParcelConfiguring, E_FAIL, VARIANT_FALSE, E_FAIL, 0},
        {kOnParcelConfiguring, S_OK, VARIANT_TRUE, kUserExitHr, 0},
        {kOnParcelConfigured, static_cast<HRESULT>(0x80070643), VARIANT_FALSE, static_cast<HRESULT>(0x80070643), 1},
    };
    for (const auto& c : cases) {
        record->runs = 0;
        Prepare();
        engine.actionResults[L"Act"] = c.actionResult;
        engine.eventInfoCancel = c.cancelText;
        engine.saves.clear();
        parcel->AddEventAction(c.eventType, std::make_unique<ScriptedEventAction>(L"Act", true, L"Working"));
        const Outcome outcome = RunParcel(*parcel.Get());
        EXPECT_EQ(outcome.eventFailure, c.thrown);
        EXPECT_EQ(record->runs, c.runs);
        // Configured fails after the operation's completion was saved.
        EXPECT_EQ(parcel->IsComplete(), c.runs == 1);
        if (c.runs == 1) {
            EXPECT_EQ(engine.saves.back(), L"Parcel_P Action=1 Detect=0 Complete=true");
        }
    }
}

TEST_F(ParcelRun, ADeferredRebootOfAnEventActionIsNoFailure)
{
    Prepare();
    engine.actionResults[L"NeedsReboot"] = kRebootHr;
    parcel->AddEventAction(kOnParcelConfigured, std::make_unique<ScriptedEventAction>(L"First", true));
    parcel->AddEventAction(kOnParcelConfigured, std::make_unique<ScriptedEventAction>(L"NeedsReboot", true));
    const Outcome outcome = RunParcel(*parcel.Get());
    EXPECT_FALSE(outcome.eventFailure.has_value());
    EXPECT_EQ(outcome.result, S_OK);
    EXPECT_EQ(engine.delayedReboots, 1);

    // A later failure still counts.
    parcel->AddEventAction(kOnParcelConfigured, std::make_unique<ScriptedEventAction>(L"Broken", true));
    engine.actionResults[L"Broken"] = E_FAIL;
    EXPECT_EQ(parcel->RunEvents(kOnParcelConfigured), E_FAIL);
    EXPECT_EQ(engine.delayedReboots, 2);
}

} // namespace
