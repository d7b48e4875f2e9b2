// A parcel as the setup.xml reader and the state reload build it, the factory
// that makes it, and the small routines its handlers use.

#include <gtest/gtest.h>

#include <com/Module.h>

#include "ParcelTestSupport.h"
#include "parcels/AbortCondition.h"
#include "parcels/ExeParcelHandler.h"
#include "parcels/ParcelFactory.h"
#include "parcels/ParcelRoutines.h"

using namespace parcel_testing;
using testing_support::ConditionRecord;
using testing_support::ScriptedCondition;
using testing_support::TraceCapture;

namespace {

class ParcelSetup : public ::testing::Test {
protected:
    FakeEngineServices engine;
    com::ComPtr<CParcel> parcel = MakeParcel(L"P1");
};

TEST_F(ParcelSetup, AttributeTable)
{
    const struct {
        const wchar_t* name;
        const wchar_t* value;
        int uiType;
        int upgradeType;
        bool shared;
    } steps[] = {
        // Each step applies to the parcel as the previous ones left it.
        {L"ProgressCapture", L"fullverbose", 4, 0, false},
        {L"progresscapture", L"KRBB", 2, 0, false},
        {L"ProgressCapture", L"Partial", 0, 0, false},
        {L"UpgradeType", L"prompt", 0, 2, false},
        {L"UpgradeType", L"Sometimes", 0, 2, false},
        {L"UpgradeType", L"NoUpgrade", 0, 0, false},
        {L"Shared", L"YES", 0, 0, true},
        {L"Shared", L"true", 0, 0, false},
    };
    for (const auto& step : steps) {
        parcel->SetAttribute(step.name, step.value);
        EXPECT_EQ(parcel->GetUIType(), step.uiType) << step.name << L"=" << step.value;
        EXPECT_EQ(parcel->GetUpgradeType(), step.upgradeType) << step.name << L"=" << step.value;
        EXPECT_EQ(parcel->IsShared(), step.shared) << step.name << L"=" << step.value;
    }
    parcel->SetAttribute(L"ID", L"Other");
    parcel->SetAttribute(L"WindowsFeatures", L"IIS-WebServer");
    parcel->SetAttribute(L"DisplayName", L"Runtime");
    EXPECT_STREQ(parcel->GetId().c_str(), L"Other");
    EXPECT_STREQ(parcel->GetWindowsFeatures().c_str(), L"IIS-WebServer");
    EXPECT_STREQ(parcel->GetAttribute(L"DisplayName").c_str(), L"Runtime");
    // Kept fields do not reach the bag.
    EXPECT_TRUE(parcel->GetAttribute(L"Shared").empty());
    EXPECT_TRUE(parcel->GetAttribute(L"ProgressCapture").empty());
}

TEST_F(ParcelSetup, ASecondLoggingElementReplacesTheFirst)
{
    CParcelLoggingParameters& first = parcel->EnableLogging();
    first.SetAttribute(L"CommandLine", L"/log first.log");
    CParcelLoggingParameters& second = parcel->EnableLogging();
    EXPECT_EQ(parcel->LoggingParameters(), &second);
    EXPECT_TRUE(second.GetCommandLine().empty());
    second.SetAttribute(L"CommandLine", L"/log second.log");
    EXPECT_STREQ(parcel->LoggingParameters()->GetCommandLine().c_str(), L"/log second.log");
}

TEST_F(ParcelSetup, LoggingParametersFollowTheHandlerFamily)
{
    ScriptedHandler* handler = nullptr;
    auto msi = MakeParcel(L"M", nullptr, &handler);
    handler->type = eptMsp;
    CParcelLoggingParameters& logging = msi->EnableLogging();
    logging.SetAttribute(L"CommandLine", L"/log x");
    logging.SetAttribute(L"LogName", L"x.log");
    EXPECT_TRUE(logging.GetCommandLine().empty());
    EXPECT_STREQ(logging.GetLogName().c_str(), L"x.log");
}

TEST_F(ParcelSetup, ConditionsGoToTheSlotBeingRead)
{
    auto first = std::make_shared<ConditionRecord>();
    auto second = std::make_shared<ConditionRecord>();
    auto stray = std::make_shared<ConditionRecord>();
    EXPECT_TRUE(parcel->Handler()->HasOwnDetection());

    parcel->SetConditionSlot(L"Detect");
    parcel->SetCondition(std::make_unique<ScriptedCondition>(first, true));
    EXPECT_FALSE(parcel->Handler()->HasOwnDetection());
    parcel->SetCondition(std::make_unique<ScriptedCondition>(second, true));
    EXPECT_TRUE(first->destroyed);
    EXPECT_FALSE(second->destroyed);

    parcel->SetConditionSlot(L"Somewhere");
    parcel->SetCondition(std::make_unique<ScriptedCondition>(stray, false));
    EXPECT_TRUE(stray->destroyed);

    parcel->SetConditionSlot(L"eligible");
    parcel->SetCondition(std::make_unique<ScriptedCondition>(stray = std::make_shared<ConditionRecord>(), false));
    VARIANT_BOOL eligible = VARIANT_TRUE;
    EXPECT_EQ(parcel->get_Eligible(&eligible), S_OK);
    EXPECT_EQ(eligible, VARIANT_FALSE);
    EXPECT_EQ(stray->evaluations, 1);

    // The detect condition decides once the handler leaves detection to it.
    EnumParcelInstallState detected = episAbsent;
    EXPECT_EQ(parcel->get_DetectedState(&detected), S_OK);
    EXPECT_EQ(detected, episInstalled);
    EXPECT_EQ(second->evaluations, 1);
}

TEST_F(ParcelSetup, TheHandlerDecidesDetectionUnlessItDefers)
{
    ScriptedHandler* handler = nullptr;
    auto detected = MakeParcel(L"D", nullptr, &handler);
    auto record = std::make_shared<ConditionRecord>();
    detected->SetConditionSlot(L"Detect");
    detected->SetCondition(std::make_unique<ScriptedCondition>(record, false));

    handler->detectResult = S_OK;
    handler->detectedState = episInstalled;
    EXPECT_EQ(detected->Detect(), S_OK);
    EXPECT_EQ(detected->GetDetectedState(), episInstalled);
    EXPECT_EQ(record->evaluations, 0);

    // A failing handler is dropped: the condition decides.
    handler->detectResult = E_FAIL;
    EXPECT_EQ(detected->Detect(), S_OK);
    EXPECT_EQ(detected->GetDetectedState(), episAbsent);
    EXPECT_EQ(record->evaluations, 1);

    // Not handled and no condition: the state stays as it was.
    parcel->LoadStateValue(CStateEntry(L"Detect", L"1"));
    EXPECT_EQ(parcel->Detect(), S_OK);
    EXPECT_EQ(parcel->GetDetectedState(), episInstalled);
}

TEST_F(ParcelSetup, OperationTargetOfTheChosenOperation)
{
    parcel->AddOperation(MakeOperation(L"Install", {{L"Target", L"setup.exe"}}));
    EXPECT_TRUE(parcel->GetOperationTarget().empty());
    ASSERT_EQ(parcel->put_ActionState(episInstalled), S_OK);
    EXPECT_STREQ(parcel->GetOperationTarget().c_str(), L"setup.exe");
}

TEST_F(ParcelSetup, AFailingDetectConditionMeansAbsent)
{
    auto record = std::make_shared<ConditionRecord>();
    parcel->SetConditionSlot(L"detect");
    parcel->SetCondition(std::make_unique<ScriptedCondition>(record, true, E_FAIL));
    parcel->LoadStateValue(CStateEntry(L"Detect", L"1"));
    EXPECT_EQ(parcel->Detect(), E_FAIL);
    EXPECT_EQ(parcel->GetDetectedState(), episAbsent);
}

TEST_F(ParcelSetup, EventActionsOfTheParcelsTwoTypesOnly)
{
    EXPECT_EQ(parcel->AddEventAction(0, _stringx(L"A0")), nullptr);
    EXPECT_EQ(parcel->AddEventAction(7, _stringx(L"A7")), nullptr);
    EXPECT_EQ(parcel->AddEventAction(13, _stringx(L"A13")), nullptr);
    EXPECT_EQ(parcel->RunEvents(8), S_FALSE);
    IEventAction* made = parcel->AddEventAction(8, _stringx(L"A1"));
    ASSERT_NE(made, nullptr);
    EXPECT_STREQ(made->GetActionId().c_str(), L"A1");

    EXPECT_EQ(parcel->AddEventAction(0, std::make_unique<ScriptedEventAction>(L"A", true)), nullptr);
    EXPECT_EQ(parcel->AddEventAction(13, std::make_unique<ScriptedEventAction>(L"A", true)), nullptr);
    EXPECT_EQ(parcel->RunEvents(0), S_FALSE);
    IEventAction* kept = parcel->AddEventAction(9, std::make_unique<ScriptedEventAction>(L"A", true));
    ASSERT_NE(kept, nullptr);
    EXPECT_STREQ(kept->GetActionId().c_str(), L"A");
}

TEST_F(ParcelSetup, StateReloadKeys)
{
    const struct {
        const wchar_t* key;
        const wchar_t* value;
    } entries[] = {
        {L"Detect", L"1"},       {L"action", L"4"},          {L"Complete", L"true"},
        {L"PackagePath", L"C:\\pkg"}, {L"RanDetection", L"Yes"}, {L"Shared", L"yes"},
        {L"Custom", L"value"},
    };
    for (const auto& entry : entries)
        parcel->LoadStateValue(CStateEntry(entry.key, entry.value));
    EXPECT_EQ(parcel->GetDetectedState(), 1);
    EXPECT_EQ(parcel->GetActionState(), 4);
    EXPECT_TRUE(parcel->IsComplete());
    EXPECT_TRUE(parcel->HasRanDetection());
    EXPECT_STREQ(parcel->GetPackagePath().c_str(), L"C:\\pkg");
    // Other keys go through the parcel's own attribute rules.
    EXPECT_TRUE(parcel->IsShared());
    EXPECT_STREQ(parcel->GetAttribute(L"Custom").c_str(), L"value");
}

TEST_F(ParcelSetup, FeatureListsKeepEachFeatureOnce)
{
    parcel->AddFeatureToList(L"KRParcelFeatureInstall", L"Core");
    parcel->AddFeatureToList(L"KRParcelFeatureInstall", L"Docs");
    parcel->AddFeatureToList(L"KRParcelFeatureInstall", L"core");
    EXPECT_STREQ(parcel->GetAttribute(L"KRParcelFeatureInstall").c_str(), L"Core,Docs");
    parcel->SetAttribute(L"KRParcelFeatureRemove", L",Old,,");
    parcel->AddFeatureToList(L"KRParcelFeatureRemove", L"Old");
    EXPECT_STREQ(parcel->GetAttribute(L"KRParcelFeatureRemove").c_str(), L",Old,,");
}

TEST_F(ParcelSetup, ParcelAttributesWinOverEngineProperties)
{
    parcel->SetAttribute(L"Folder", L"parcel");
    engine.setupEngine.store.SetAttribute(L"Folder", L"engine");
    engine.setupEngine.store.SetAttribute(L"Drive", L"D:");
    EXPECT_STREQ(parcel->FormatString(L"[Drive]\\[Folder]\\[Missing]").c_str(), L"D:\\parcel\\");
}

TEST_F(ParcelSetup, SharedClientsAreReadAfreshAndWrittenOnlyForASharedParcel)
{
    engine.storedClients[L"P1"] = {L"{OTHER}", engine.suiteId};
    EXPECT_TRUE(parcel->IsSuiteClient());
    engine.storedClients[L"P1"] = {L"{OTHER}"};
    EXPECT_FALSE(parcel->IsSuiteClient());

    parcel->ReloadClients();
    ASSERT_EQ(parcel->Clients().size(), 1u);
    engine.storedClients.clear();
    parcel->WriteClients();
    EXPECT_TRUE(engine.storedClients.empty());

    TraceCapture trace;
    parcel->SetAttribute(L"Shared", L"yes");
    parcel->WriteClients();
    EXPECT_EQ(engine.storedClients[L"P1"], kr::stringx_vector{L"{OTHER}"});
    engine.writeClientsResult = static_cast<HRESULT>(0x800700E9);
    parcel->WriteClients();
    EXPECT_NE(trace.Messages().find(L"Parcel: error 0x800700e9 when attempting to write shared client data"),
              std::wstring::npos);
}

TEST(ParcelFactory, MakesAParcelOnlyForAHandlerItKnows)
{
    FakeEngineServices engine;
    const LONG locks = com::ThisModule().LockCount();
    for (const wchar_t* name : {L"Exe", L"EXE", L"exe"}) {
        CParcel* made = nullptr;
        ASSERT_EQ(MakeParcelForElement(name, &made), S_OK) << name;
        auto parcel = com::ComPtr<CParcel>::Adopt(made);
        ASSERT_NE(dynamic_cast<CExeParcelHandler*>(parcel->Handler()), nullptr) << name;
        EXPECT_TRUE(parcel->Handler()->HasOwnDetection());
        EXPECT_EQ(parcel->Handler()->GetLastStatus(), S_OK);
        EXPECT_EQ(parcel->Handler()->GetOperation(), nullptr);
        EXPECT_FALSE(parcel->Handler()->SupportsTransaction());
        EXPECT_FALSE(parcel->Handler()->Is64Bit());
        EXPECT_EQ(parcel->Handler()->Reserved(), E_NOTIMPL);
        EnumParcelInstallState state = episAbsent;
        EXPECT_EQ(parcel->Handler()->Detect(&state, false), 1);
        int featureState = 0;
        EXPECT_EQ(parcel->Handler()->GetFeatureState(L"F", &featureState), 1);
    }
    // Names without a handler (yet, or ever) give no parcel, and the one made is gone.
    for (const wchar_t* name : {L"Msu", L"Package", L""}) {
        CParcel* made = reinterpret_cast<CParcel*>(1);
        EXPECT_EQ(MakeParcelForElement(name, &made), S_FALSE) << name;
        EXPECT_EQ(made, nullptr);
    }
    EXPECT_EQ(com::ThisModule().LockCount(), locks);
    EXPECT_EQ(MakeParcelForElement(L"Exe", nullptr), E_POINTER);
}

TEST(AbortCondition, HoldsItsTextAndOneCondition)
{
    auto first = std::make_shared<ConditionRecord>();
    auto second = std::make_shared<ConditionRecord>();
    {
        CAbortCondition abort;
        abort.SetAttribute(L"Text", L"IDS_ABORT");
        abort.SetCondition(std::make_unique<ScriptedCondition>(first, true));
        abort.SetCondition(std::make_unique<ScriptedCondition>(second, true));
        EXPECT_TRUE(first->destroyed);
        EXPECT_STREQ(abort.GetText().c_str(), L"IDS_ABORT");
        bool holds = false;
        ASSERT_NE(abort.Condition(), nullptr);
        EXPECT_EQ(abort.Condition()->Evaluate(&holds), S_OK);
        EXPECT_TRUE(holds);
    }
    EXPECT_TRUE(second->destroyed);
}

TEST(ParcelRoutines, ProgressStateAndJoin)
{
    const EnumParcelProgressState states[] = {eppsInstalling, eppsInstalling, eppsModify, eppsRepair,
                                              eppsRemove,     eppsInstalling, eppsInstalling};
    for (int action = 0; action < 7; ++action)
        EXPECT_EQ(ParcelProgressStateOf(action), states[action]) << action;
    EXPECT_STREQ(JoinWithSpace(L"", L"b").c_str(), L"b");
    EXPECT_STREQ(JoinWithSpace(L"a", L"").c_str(), L"a");
    EXPECT_STREQ(JoinWithSpace(L"a", L"b").c_str(), L"a b");
}

TEST(ParcelRoutines, HiddenValuesAreMaskedWherevertheyOccur)
{
    FakeEngineServices engine;
    engine.hidden = {L"Password", L"Token", L"Empty"};
    engine.properties.SetAttribute(L"Password", L"s3cret");
    engine.properties.SetAttribute(L"Token", L"AbC");
    EXPECT_STREQ(MaskHiddenPropertyValues(L"/p:s3cret /t:abc /x:S3CRETabc /e:").c_str(),
                 L"/p:********** /t:********** /x:******************** /e:");
}

TEST(ParcelRoutines, QueryRebootNow)
{
    FakeEngineServices engine;
    engine.silent = true;
    EXPECT_TRUE(QueryRebootNow(nullptr));
    engine.properties.SetAttribute(L"KRSUITEREBOOT", L"Suppress");
    EXPECT_FALSE(QueryRebootNow(nullptr));
    EXPECT_EQ(engine.lastRebootAnswer, 0);
    EXPECT_TRUE(engine.events.empty());

    engine.silent = false;
    engine.rebootAnswer = VARIANT_TRUE;
    EXPECT_TRUE(QueryRebootNow(nullptr));
    EXPECT_EQ(engine.lastRebootAnswer, 1);
    EXPECT_EQ(engine.events, std::vector<std::wstring>{L"OnQueryReboot"});
}

} // namespace
