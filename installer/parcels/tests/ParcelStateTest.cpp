// How a parcel chooses its action state: Evaluate with the install mode, the
// requests of its features, FinalizeActionState with the clients of a shared
// parcel, and the user interface's ActionState changes.

#include <gtest/gtest.h>

#include "ParcelTestSupport.h"

using namespace parcel_testing;
using testing_support::ConditionRecord;
using testing_support::ScriptedCondition;
using testing_support::TraceCapture;

namespace {

const wchar_t kSuite[] = L"{AAAAAAAA-0000-0000-0000-00000000000A}";
const wchar_t kOther[] = L"{BBBBBBBB-0000-0000-0000-00000000000B}";

struct StateCase {
    const char* name;
    EnumInstallMode mode;
    int detected;
    bool eligible;
    bool shared;
    std::vector<std::wstring> stored;      // the stored clients of the shared parcel
    std::vector<const wchar_t*> operations; // Names, in order; the n-th gets Target "n"
    std::vector<int> requests;             // feature requests, in order
    int afterEvaluate;                     // action state after Evaluate
    int action;                            // after FinalizeActionState
    int chosen;                            // index of the chosen operation, -1 for none
    std::vector<int> requested;            // requested action states kept
    std::vector<std::wstring> clients;     // clients list in memory at the end
    const wchar_t* trace = nullptr;        // a line the decision logs
};

kr::stringx_vector ClientList(const std::vector<std::wstring>& ids)
{
    kr::stringx_vector list;
    for (const std::wstring& id : ids)
        list.push_back(id.c_str());
    return list;
}

const StateCase kCases[] = {
    {"no operations", eimInstall, 0, true, false, {}, {}, {1}, 5, 5, -1, {}, {},
     L"Parcel P contains no operations, parcel will not run"},
    {"no operations, admin", eimAdmin, 0, true, false, {}, {}, {}, 1, 5, -1, {}, {}},
    {"admin installs", eimAdmin, 0, true, false, {}, {L"Install"}, {1}, 1, 1, 0, {1}, {}},
    {"install of two installs: Evaluate first, requests twice, Finalize last", eimInstall, 0, true, false, {},
     {L"Install", L"Remove", L"Install"}, {1}, 1, 1, 2, {1, 1}, {}},
    {"install of an installed parcel", eimInstall, 1, true, false, {}, {L"Install"}, {1}, 5, 5, -1, {}, {}},
    {"remove request in install mode", eimInstall, 1, true, false, {}, {L"Install", L"Remove"}, {2}, 5, 5, -1,
     {4}, {}},
    {"ineligible", eimInstall, 0, false, false, {}, {L"Install"}, {0, 1}, 5, 5, -1, {5}, {},
     L"Parcel is ineligible or the current parcel state and install mode to not allow parcel configuration"},
    {"modify of an absent parcel", eimModify, 0, true, false, {}, {L"Modify"}, {}, 5, 5, -1, {}, {}},
    {"maintenance selection installs an absent parcel", eimUIMaintSelection, 0, true, false, {},
     {L"Install", L"Modify"}, {1}, 5, 1, 0, {1}, {}},
    {"remove with one feature keeping it", eimRemove, 1, true, false, {}, {L"Remove"}, {2, 0}, 4, 5, -1, {4, 5},
     {}},
    {"installed shared parcel, no stored clients: placeholder and this suite", eimInstall, 1, true, true, {},
     {L"Install"}, {1}, 5, 5, -1, {}, {L"{00000000-0000-0000-0000-000000000000}", kSuite},
     L"was already installed prior to this suite with no existing clients"},
    {"installed shared parcel with clients: this suite joins", eimInstall, 1, true, true, {kOther}, {L"Install"},
     {1}, 5, 5, -1, {}, {kOther, kSuite}, L"was already installed prior to this suite, disabling installation"},
    {"install of a shared parcel adds this suite", eimInstall, 0, true, true, {}, {L"Install"}, {1}, 1, 1, 0, {1},
     {kSuite}},
    {"remove with two clients leaves one", eimRemove, 1, true, true, {kSuite, kOther}, {L"Remove"}, {2}, 4, 5, -1,
     {4}, {kOther}, L"Parcel: disabling remove of parcel 'P' due to share count of 1"},
    {"remove as the last client", eimRemove, 1, true, true, {kSuite}, {L"Remove"}, {2}, 4, 4, 0, {4}, {}},
    {"repair when not a client", eimRepair, 1, true, true, {kOther}, {L"Repair"}, {1}, 3, 5, -1, {3}, {kOther},
     L"Parcel: disabling repair of parcel 'P' as this suite is not a client"},
    {"repair as a client", eimRepair, 1, true, true, {kOther, kSuite}, {L"Repair"}, {1}, 3, 3, 0, {3},
     {kOther, kSuite}},
    {"remove with no requests drops the suite", eimRemove, 1, true, true, {kSuite, kOther}, {L"Remove"}, {}, 4, 5,
     -1, {}, {kOther}},
    {"remove with no requests, not shared", eimRemove, 1, true, false, {}, {L"Remove"}, {}, 4, 5, -1, {}, {}},
    // A modify run that no feature asked about keeps the parcel and this suite's place among its clients.
    {"modify with no requests keeps the clients", eimModify, 1, true, true, {kSuite, kOther},
     {L"Install", L"Modify", L"Remove"}, {}, 2, 5, -1, {}, {kSuite, kOther}},
    {"maintenance selection with no requests keeps the clients", eimUIMaintSelection, 1, true, true, {kSuite},
     {L"Modify", L"Remove"}, {}, 5, 5, -1, {}, {kSuite}},
    {"modify with every feature removed removes", eimModify, 1, true, false, {}, {L"Modify", L"Remove"}, {2, 2}, 2,
     4, 1, {4, 4}, {}},
    {"modify with a modify request", eimModify, 1, true, false, {}, {L"Modify"}, {1}, 2, 2, 0, {2}, {}},
};

TEST(ParcelState, DecisionTable)
{
    for (const StateCase& c : kCases) {
        SCOPED_TRACE(c.name);
        FakeEngineServices engine;
        engine.mode = c.mode;
        engine.storedClients[L"P"] = ClientList(c.stored);
        TraceCapture trace;
        ScriptedHandler* handler = nullptr;
        auto parcel = MakeParcel(L"P", nullptr, &handler);
        handler->detectResult = S_OK;
        handler->detectedState = static_cast<EnumParcelInstallState>(c.detected);
        if (c.shared)
            parcel->SetAttribute(L"Shared", L"yes");
        auto eligibility = std::make_shared<ConditionRecord>();
        if (!c.eligible) {
            parcel->SetConditionSlot(L"Eligible");
            parcel->SetCondition(std::make_unique<ScriptedCondition>(eligibility, false));
        }
        for (size_t i = 0; i < c.operations.size(); ++i)
            parcel->AddOperation(MakeOperation(c.operations[i], {{L"Target", std::to_wstring(i).c_str()}}));

        ASSERT_EQ(parcel->Evaluate(c.mode), S_OK);
        EXPECT_EQ(parcel->GetActionState(), c.afterEvaluate);
        // Evaluate chooses the first operation of the wanted kind.
        if (const COperation* chosen = parcel->ChosenOperation()) {
            for (const auto& operation : parcel->Operations()) {
                if (operation->GetKind() == chosen->GetKind()) {
                    EXPECT_EQ(operation.get(), chosen);
                    break;
                }
            }
        }
        if (c.operations.empty()) {
            EXPECT_EQ(handler->GetLastStatus(), S_OK);
            EXPECT_EQ(eligibility->evaluations, 0);
        }
        for (int request : c.requests)
            EXPECT_EQ(parcel->ApplyFeatureRequest(request), S_OK);
        EXPECT_EQ(parcel->FinalizeActionState(), S_OK);

        EXPECT_EQ(parcel->GetActionState(), c.action);
        const COperation* chosen = parcel->ChosenOperation();
        EXPECT_EQ(chosen ? std::stoi(chosen->GetTarget().c_str()) : -1, c.chosen);
        EXPECT_EQ(parcel->RequestedActionStates(), c.requested);
        std::vector<std::wstring> clients;
        for (const _stringx& client : parcel->Clients())
            clients.push_back(client.c_str());
        EXPECT_EQ(clients, c.clients);
        if (c.trace) {
            EXPECT_NE(trace.Messages().find(c.trace), std::wstring::npos) << trace.Messages();
        }
        // The decision is saved; the clients are written only when the transaction runs.
        ASSERT_FALSE(engine.saves.empty());
        EXPECT_EQ(engine.saves[0], L"Parcel_P Action=" + std::to_wstring(c.action) +
                                       L" Detect=" + std::to_wstring(c.detected) + L" Complete=false");
        EXPECT_EQ(engine.storedClients[L"P"], ClientList(c.stored));
    }
}

TEST(ParcelState, FinalizeSavesStateThenPathThenAttributes)
{
    FakeEngineServices engine;
    auto parcel = MakeParcel(L"P");
    parcel->AddOperation(MakeOperation(L"Install"));
    parcel->SetAttribute(L"DisplayName", L"Runtime");
    parcel->LoadStateValue(CStateEntry(L"PackagePath", L"C:\\pkg"));
    parcel->ApplyFeatureRequest(1);
    parcel->FinalizeActionState();
    const std::vector<std::wstring> expected = {
        L"Parcel_P Action=1 Detect=0 Complete=false",
        L"Parcel_P PackagePath=C:\\pkg",
        L"Parcel_P DisplayName=Runtime",
    };
    EXPECT_EQ(engine.saves, expected);
}

TEST(ParcelState, EvaluateReturnsConditionFailures)
{
    FakeEngineServices engine;
    auto parcel = MakeParcel(L"P");
    parcel->AddOperation(MakeOperation(L"Install"));
    parcel->SetConditionSlot(L"Eligible");
    parcel->SetCondition(std::make_unique<ScriptedCondition>(std::make_shared<ConditionRecord>(), true, E_FAIL));
    EXPECT_EQ(parcel->Evaluate(eimInstall), E_FAIL);
    EXPECT_EQ(parcel->GetActionState(), episNoAction);

    auto detected = MakeParcel(L"Q");
    detected->AddOperation(MakeOperation(L"Install"));
    detected->SetConditionSlot(L"Detect");
    detected->SetCondition(std::make_unique<ScriptedCondition>(std::make_shared<ConditionRecord>(), true, E_ACCESSDENIED));
    EXPECT_EQ(detected->Evaluate(eimInstall), E_ACCESSDENIED);
}

TEST(ParcelState, ActionStatePut)
{
    FakeEngineServices engine;
    ScriptedHandler* handler = nullptr;
    auto parcel = MakeParcel(L"P", nullptr, &handler);
    handler->detectResult = S_OK;
    handler->detectedState = episInstalled;
    parcel->AddOperation(MakeOperation(L"Install", {{L"Target", L"0"}}));
    parcel->AddOperation(MakeOperation(L"Repair", {{L"Target", L"1"}}));
    parcel->AddOperation(MakeOperation(L"Repair", {{L"Target", L"2"}}));

    // No operation chosen: 5 is the current state.
    EXPECT_EQ(parcel->put_ActionState(episNoAction), S_FALSE);
    // An installed parcel cannot be installed: nothing changes.
    EXPECT_EQ(parcel->put_ActionState(episInstalled), static_cast<HRESULT>(0x80070032));
    EXPECT_EQ(parcel->GetActionState(), episNoAction);
    EXPECT_EQ(parcel->ChosenOperation(), nullptr);
    // No Remove operation.
    EXPECT_EQ(parcel->put_ActionState(episRemove), static_cast<HRESULT>(0x80070032));
    // The first operation of the kind.
    EXPECT_EQ(parcel->put_ActionState(episRepair), S_OK);
    EXPECT_EQ(parcel->GetActionState(), episRepair);
    EXPECT_STREQ(parcel->ChosenOperation()->GetTarget().c_str(), L"1");
    EXPECT_EQ(parcel->put_ActionState(episRepair), S_FALSE);
    EXPECT_TRUE(engine.saves.empty());

    // Ineligible: only "no action" is accepted.
    parcel->SetConditionSlot(L"Eligible");
    parcel->SetCondition(std::make_unique<ScriptedCondition>(std::make_shared<ConditionRecord>(), false));
    EXPECT_EQ(parcel->put_ActionState(episModify), E_INVALIDARG);
    EXPECT_EQ(parcel->put_ActionState(episNoAction), S_OK);
    EXPECT_EQ(parcel->GetActionState(), episNoAction);
    EXPECT_EQ(parcel->ChosenOperation(), nullptr);

    // An absent parcel can only be installed.
    auto absent = MakeParcel(L"Q");
    absent->AddOperation(MakeOperation(L"Install"));
    absent->AddOperation(MakeOperation(L"Repair"));
    EXPECT_EQ(absent->put_ActionState(episRepair), static_cast<HRESULT>(0x80070032));
    EXPECT_EQ(absent->put_ActionState(episInstalled), S_OK);
}

} // namespace
