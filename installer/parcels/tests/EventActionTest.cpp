// Event actions as the reader makes them and a parcel runs them: the event
// names, the one kept attribute, and the entry condition.

#include <gtest/gtest.h>

#include "ParcelTestSupport.h"
#include "parcels/EventAction.h"

using namespace parcel_testing;
using testing_support::ConditionRecord;
using testing_support::ScriptedCondition;
using testing_support::TraceCapture;

namespace {

std::unique_ptr<CCondition> Scripted(std::shared_ptr<ConditionRecord> record, bool result, HRESULT hr = S_OK)
{
    return std::make_unique<ScriptedCondition>(std::move(record), result, hr);
}

TEST(EventAction, EventTypesByExactName)
{
    const struct {
        const wchar_t* name;
        int type;
    } cases[] = {
        {L"OnBegin", 0},       {L"OnResuming", 1},          {L"OnStaging", 2},
        {L"OnStaged", 3},      {L"OnParcelsInstalling", 4}, {L"OnParcelsInstalled", 5},
        {L"OnRebooting", 6},   {L"OnEnd", 7},               {L"OnParcelConfiguring", 8},
        {L"OnParcelConfigured", 9}, {L"onbegin", 13},       {L"OnFinish", 13},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CEventAction::ParseEventType(c.name), c.type) << c.name;
}

TEST(EventAction, KeepsOnlyItsDisplayText)
{
    CEventAction action(L"Act");
    action.SetAttribute(L"displaytext", L"Working");
    action.SetAttribute(L"Foo", L"bar");
    EXPECT_STREQ(action.GetDisplayText().c_str(), L"Working");
    EXPECT_STREQ(action.GetActionId().c_str(), L"Act");
    EXPECT_TRUE(action.GetAttribute(L"Foo").empty());
    EXPECT_TRUE(action.GetAttribute(L"DisplayText").empty());
}

TEST(EventAction, EntryCondition)
{
    CEventAction action(L"Act");
    EXPECT_TRUE(action.EvaluateEntryCondition());

    auto first = std::make_shared<ConditionRecord>();
    action.SetCondition(Scripted(first, false));
    EXPECT_FALSE(action.EvaluateEntryCondition());

    // A second condition replaces the first and destroys it.
    auto failing = std::make_shared<ConditionRecord>();
    action.SetCondition(Scripted(failing, true, E_ACCESSDENIED));
    EXPECT_TRUE(first->destroyed);
    TraceCapture trace;
    EXPECT_FALSE(action.EvaluateEntryCondition());
    EXPECT_NE(trace.Messages().find(L"Failed to evaluate event action entry condition, status: 0x80070005"),
              std::wstring::npos);

    // Evaluated afresh each time the event occurs.
    auto holding = std::make_shared<ConditionRecord>();
    action.SetCondition(Scripted(holding, true));
    EXPECT_TRUE(action.EvaluateEntryCondition());
    EXPECT_TRUE(action.EvaluateEntryCondition());
    EXPECT_EQ(holding->evaluations, 2);
}

TEST(EventAction, ParcelRunsItsEventsPastSkippedOnes)
{
    FakeEngineServices engine;
    std::shared_ptr<HandlerRecord> record = std::make_shared<HandlerRecord>();
    ScriptedHandler* handler = nullptr;
    com::ComPtr<CParcel> parcel = MakeParcel(L"P", record, &handler);
    engine.setupEngine.store.SetAttribute(L"Step", L"two");

    // Refused types make nothing.
    EXPECT_EQ(parcel->AddEventAction(0, _stringx(L"Begin")), nullptr);
    EXPECT_EQ(parcel->AddEventAction(13, _stringx(L"Unknown")), nullptr);

    IEventAction* skipped = parcel->AddEventAction(kOnParcelConfigured, _stringx(L"Skipped"));
    ASSERT_NE(skipped, nullptr);
    skipped->SetCondition(Scripted(std::make_shared<ConditionRecord>(), false));
    IEventAction* failing = parcel->AddEventAction(kOnParcelConfigured, _stringx(L"Failing"));
    failing->SetCondition(Scripted(std::make_shared<ConditionRecord>(), true, E_FAIL));
    IEventAction* shown = parcel->AddEventAction(kOnParcelConfigured, _stringx(L"Shown"));
    shown->SetAttribute(L"DisplayText", L"Step [Step]");
    shown->SetAttribute(L"Foo", L"ignored");

    EXPECT_EQ(parcel->RunEvents(kOnParcelConfigured), S_OK);
    EXPECT_EQ(engine.actionsRun, (std::vector<std::wstring>{L"Shown"}));
    EXPECT_EQ(engine.events, (std::vector<std::wstring>{L"OnActionEventInfo:Step two:2"}));
}

} // namespace
