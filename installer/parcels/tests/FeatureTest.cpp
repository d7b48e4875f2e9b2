// Features: their attributes, the tree and its collection, the first action
// state and the installed state, and the selection passed down the tree to
// the parcels and into the state file.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ParcelTestSupport.h"
#include "parcels/Feature.h"
#include "parcels/FeatureHost.h"
#include "parcels/ParcelMapping.h"

using namespace parcel_testing;
using testing_support::ConditionRecord;
using testing_support::ScriptedCondition;
using testing_support::TraceCapture;

namespace {

constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80070032);

class RecordingFeatureHost : public IFeatureHost {
public:
    RecordingFeatureHost() { SetFeatureHost(this); }
    ~RecordingFeatureHost() { SetFeatureHost(nullptr); }

    CParcel* FindParcel(const _stringx& id) override
    {
        for (auto& [name, parcel] : parcels) {
            if (_stringx(name.c_str()) == id)
                return parcel.Get();
        }
        return nullptr;
    }
    bool IsTopLevelFeature(const _stringx& name) override
    {
        for (const std::wstring& top : topLevel) {
            if (_stringx(top.c_str()) == name)
                return true;
        }
        return false;
    }
    void SaveStateValue(const _stringx& section, const _stringx& key, const _stringx& value) override
    {
        saves.push_back(std::wstring(section.c_str()) + L"/" + key.c_str() + L"=" + value.c_str());
    }

    std::map<std::wstring, com::ComPtr<CParcel>> parcels;
    std::vector<std::wstring> topLevel;
    std::vector<std::wstring> saves;
};

com::ComPtr<CFeature> MakeFeature(const wchar_t* name,
                                  std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> more = {})
{
    CFeature* made = nullptr;
    EXPECT_EQ(CFeature::CreateInstance(&made), S_OK);
    auto feature = com::ComPtr<CFeature>::Adopt(made);
    feature->SetAttribute(L"Name", name);
    for (const auto& [attribute, value] : more)
        feature->SetAttribute(attribute, value);
    return feature;
}

class Features : public ::testing::Test {
protected:
    // A parcel with an Install operation whose detection finds the given state.
    ScriptedHandler* AddParcel(const wchar_t* id, EnumParcelInstallState detected = episAbsent)
    {
        ScriptedHandler* handler = nullptr;
        com::ComPtr<CParcel> parcel = MakeParcel(id, nullptr, &handler);
        handler->detectResult = S_OK;
        handler->detectedState = detected;
        parcel->AddOperation(MakeOperation(L"Install"));
        parcel->AddOperation(MakeOperation(L"Uninstall"));
        host.parcels[id] = parcel;
        return handler;
    }
    CParcel& Parcel(const wchar_t* id) { return *host.parcels.at(id).Get(); }

    FakeEngineServices engine;
    RecordingFeatureHost host;
};

TEST(ParcelMappings, SplitAtFirstColon)
{
    const struct {
        const wchar_t* entry;
        const wchar_t* parcel;
        const wchar_t* feature;
        bool hasFeature;
    } cases[] = {
        {L"A", L"A", L"", false},
        {L"B:F1", L"B", L"F1", true},
        {L"B:F1:x", L"B", L"F1:x", true},
        {L"B:", L"B", L"", true},
    };
    for (const auto& c : cases) {
        const ParcelMapping mapping = SplitParcelMapping(c.entry);
        EXPECT_EQ(std::wstring(mapping.parcelId.c_str()), c.parcel) << c.entry;
        EXPECT_EQ(std::wstring(mapping.packageFeature.c_str()), c.feature) << c.entry;
        EXPECT_EQ(mapping.hasPackageFeature, c.hasFeature) << c.entry;
    }
}

TEST_F(Features, AttributesThroughAutomation)
{
    com::ComPtr<CFeature> feature = MakeFeature(L"Core", {{L"DisplayName", L"Core files"},
                                                          {L"visible", L"No"},
                                                          {L"AllowSelectionChange", L"NO"},
                                                          {L"Cost", L"-1234567890123"},
                                                          {L"Install", L"A B:F1  C"},
                                                          {L"Extra", L"kept"}});
    IDispatch* dispatch = static_cast<IFeature*>(feature.Get());
    auto get = [&](const wchar_t* name) {
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
        DISPPARAMS none = {};
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr,
                                   nullptr),
                  S_OK)
            << name;
        return result;
    };
    VARIANT name = get(L"DisplayName");
    EXPECT_EQ(std::wstring(name.bstrVal), L"Core files");
    VariantClear(&name);
    EXPECT_EQ(get(L"Visible").boolVal, VARIANT_FALSE);
    EXPECT_EQ(get(L"AllowSelectionChange").boolVal, VARIANT_FALSE);
    EXPECT_EQ(get(L"Cost").llVal, -1234567890123LL);
    EXPECT_EQ(feature->ParcelMappings(), (kr::stringx_vector{L"A", L"B:F1", L"C"}));
    EXPECT_EQ(std::wstring(feature->GetAttribute(L"Extra").c_str()), L"kept");

    // Put of ActionState, refused while the selection may not change.
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ActionState")};
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = efasRemove;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&value, &named, 1, 1};
    EXCEPINFO error = {};
    const HRESULT refused =
        dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, &error, nullptr);
    EXPECT_TRUE(refused == kNotSupported || (refused == DISP_E_EXCEPTION && error.scode == kNotSupported))
        << std::hex << refused;
    EXPECT_EQ(feature->GetActionState(), efasNoAction);

    com::ComPtr<CFeature> free = MakeFeature(L"Free", {{L"Visible", L"false"}, {L"AllowSelectionChange", L"yes"}});
    EXPECT_TRUE(free->IsVisible());
    EXPECT_EQ(free->put_ActionState(efasRemove), S_OK);
    EXPECT_EQ(free->GetActionState(), efasRemove);
}

TEST_F(Features, CollectionIsTakenOnceAndSearchedDepthFirst)
{
    com::ComPtr<CFeature> top = MakeFeature(L"Top");
    com::ComPtr<CFeature> first = MakeFeature(L"First");
    com::ComPtr<CFeature> second = MakeFeature(L"Second");
    com::ComPtr<CFeature> deep = MakeFeature(L"Deep");
    top->AddChild(*first.Get());
    first->AddChild(*deep.Get());

    com::ComPtr<IFeatures> before;
    ASSERT_EQ(top->get_Features(before.Put()), S_OK);
    top->AddChild(*second.Get());
    com::ComPtr<IFeatures> after;
    ASSERT_EQ(top->get_Features(after.Put()), S_OK);
    EXPECT_EQ(before.Get(), after.Get());
    long count = 0;
    EXPECT_EQ(after->get_Count(&count), S_OK);
    EXPECT_EQ(count, 1);

    EXPECT_EQ(top->FindFeature(L"FIRST").Get(), static_cast<IFeature*>(first.Get()));
    EXPECT_EQ(top->FindFeature(L"deep").Get(), static_cast<IFeature*>(deep.Get()));
    // Missing from the collection taken before it was added.
    EXPECT_EQ(top->FindFeature(L"Second").Get(), nullptr);
}

TEST_F(Features, CommandLineSelectionInRemoveMode)
{
    com::ComPtr<CFeature> a = MakeFeature(L"A");
    com::ComPtr<CFeature> b = MakeFeature(L"B");
    com::ComPtr<CFeature> child = MakeFeature(L"Child");
    a->AddChild(*child.Get());

    a->SetDefaultActionState(eimRemove);
    EXPECT_EQ(a->GetActionState(), efasRemove);
    for (CFeature* feature : {a.Get(), b.Get()})
        feature->InitializeState(eimRemove, {L"a"}, {});
    EXPECT_EQ(a->GetActionState(), efasInstall);
    EXPECT_EQ(b->GetActionState(), efasNoAction);
    EXPECT_EQ(child->GetActionState(), efasNoAction);

    b->InitializeState(eimRemove, {}, {});
    EXPECT_EQ(b->GetActionState(), efasRemove);
    b->InitializeState(eimRepair, {L"X"}, {L"b"});
    EXPECT_EQ(b->GetActionState(), efasRemove);
}

TEST_F(Features, DefaultActionStateByMode)
{
    const struct {
        EnumInstallMode mode;
        int expected;
    } cases[] = {
        {eimInstall, efasInstall}, {eimUIMaintSelection, efasNoAction}, {eimModify, efasRemove},
        {eimRemove, efasRemove},   {eimRepair, efasInstall},            {eimAdmin, efasInstall},
    };
    for (const auto& c : cases) {
        com::ComPtr<CFeature> feature = MakeFeature(L"F");
        feature->SetActionState(efasRemove); // modify leaves what it finds
        feature->SetDefaultActionState(c.mode);
        EXPECT_EQ(feature->GetActionState(), c.expected) << c.mode;
    }
}

TEST_F(Features, ConditionsDecideFirstInstallOnly)
{
    const struct {
        const char* name;
        EnumInstallMode mode;
        bool visibleResult;
        HRESULT visibleHr;
        bool installResult;
        HRESULT installHr;
        bool visible;
        int action;
        int installEvaluations;
    } cases[] = {
        {"install, condition holds", eimInstall, true, S_OK, true, S_OK, true, efasInstall, 1},
        {"install, condition fails", eimInstall, false, S_OK, false, S_OK, false, efasNoAction, 1},
        {"repair ignores the condition", eimRepair, true, S_OK, false, S_OK, true, efasInstall, 0},
        {"visible condition error stops", eimInstall, true, E_FAIL, false, S_OK, true, efasInstall, 0},
        {"install condition error stops", eimInstall, true, S_OK, false, E_FAIL, true, efasInstall, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto visibleRecord = std::make_shared<ConditionRecord>();
        auto installRecord = std::make_shared<ConditionRecord>();
        com::ComPtr<CFeature> feature = MakeFeature(L"F");
        feature->SetConditionSlot(L"Visible");
        feature->SetCondition(std::make_unique<ScriptedCondition>(visibleRecord, c.visibleResult, c.visibleHr));
        feature->SetConditionSlot(L"Condition");
        feature->SetCondition(std::make_unique<ScriptedCondition>(installRecord, c.installResult, c.installHr));
        feature->InitializeState(c.mode, {}, {});
        EXPECT_EQ(feature->IsVisible(), c.visible);
        EXPECT_EQ(feature->GetActionState(), c.action);
        EXPECT_EQ(installRecord->evaluations, c.installEvaluations);
    }
}

TEST_F(Features, InstalledStateFromParcels)
{
    AddParcel(L"In1", episInstalled);
    AddParcel(L"In2", episInstalled);
    AddParcel(L"Out", episAbsent);
    AddParcel(L"Shared", episInstalled);
    Parcel(L"Shared").SetAttribute(L"Shared", L"yes");
    AddParcel(L"Client", episInstalled);
    Parcel(L"Client").SetAttribute(L"Shared", L"yes");
    engine.storedClients[L"Client"] = {engine.suiteId};

    const struct {
        const wchar_t* install;
        EnumInstallMode mode;
        int expected;
    } cases[] = {
        {L"In1 In2", eimRepair, efisInstalled},
        {L"In1 Out", eimRepair, efisPartialInconsistent},
        {L"Out", eimRemove, efisAbsent},
        {L"", eimRepair, efisInstalled},
        {L"Shared", eimRepair, efisAbsent},
        {L"Client", eimRepair, efisInstalled},
        // A missing parcel ends the computation: the state stays as it was.
        {L"In1 Missing In2", eimRepair, efisPartialSomeChildren},
        // First-time install detects nothing.
        {L"In1", eimInstall, efisPartialSomeChildren},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.install << L" mode " << c.mode);
        com::ComPtr<CFeature> feature = MakeFeature(L"F", {{L"Install", c.install}});
        feature->LoadStateValue(CStateEntry(L"Detect", L"2"));
        feature->InitializeState(c.mode, {}, {});
        EXPECT_EQ(feature->GetInstalledState(), c.expected);
    }
}

TEST_F(Features, ChildOverrideByMode)
{
    const struct {
        EnumInstallMode mode;
        int parentState;
        bool parentOverride;
        bool expected;
    } cases[] = {
        {eimInstall, efasNoAction, false, true},  {eimInstall, efasRemove, false, true},
        {eimInstall, efasInstall, false, false},  {eimInstall, efasInstall, true, true},
        {eimModify, efasRemove, false, true},     {eimModify, efasInstall, false, false},
        {eimRemove, efasRemove, false, true},     {eimRemove, efasNoAction, false, false},
        {eimRepair, efasInstall, false, true},    {eimRepair, efasRemove, false, false},
        {eimUIMaintSelection, efasRemove, false, false}, {eimAdmin, efasInstall, false, false},
    };
    for (const auto& c : cases) {
        com::ComPtr<CFeature> feature = MakeFeature(L"F");
        feature->SetActionState(c.parentState);
        EXPECT_EQ(feature->ChildOverride(c.mode, c.parentOverride), c.expected)
            << "mode " << c.mode << " state " << c.parentState << " override " << c.parentOverride;
    }
}

TEST_F(Features, StatesPassDownTheTree)
{
    const struct {
        const char* name;
        EnumInstallMode mode;
        int parent;
        const wchar_t* follow; // the child's FollowParentState
        int child;
        int expected;
    } cases[] = {
        {"repair overrides with install", eimRepair, efasInstall, L"no", efasNoAction, efasInstall},
        {"install passes no action", eimInstall, efasNoAction, L"no", efasInstall, efasNoAction},
        {"install passes remove", eimInstall, efasRemove, L"no", efasInstall, efasRemove},
        {"install keeps the child's own", eimInstall, efasInstall, L"no", efasNoAction, efasNoAction},
        {"nested follower without override", eimInstall, efasInstall, L"yes", efasNoAction, efasInstall},
        {"maintenance keeps the child's own", eimUIMaintSelection, efasRemove, L"no", efasInstall, efasInstall},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine.mode = c.mode;
        host.topLevel = {L"Parent"};
        com::ComPtr<CFeature> parent = MakeFeature(L"Parent", {{L"FollowParentState", L"yes"}});
        com::ComPtr<CFeature> child = MakeFeature(L"Child", {{L"FollowParentState", c.follow}});
        parent->AddChild(*child.Get());
        parent->SetActionState(c.parent);
        child->SetActionState(c.child);
        parent->SetParcelStates(efasNoAction, false);
        // At the top of the tree FollowParentState follows nothing.
        EXPECT_EQ(parent->GetActionState(), c.parent);
        EXPECT_EQ(child->GetActionState(), c.expected);
    }
}

TEST_F(Features, ModifiedChildSharingAParcelInstallsItsParent)
{
    engine.mode = eimModify;
    host.topLevel = {L"Parent"};
    AddParcel(L"A");
    AddParcel(L"B");
    com::ComPtr<CFeature> parent = MakeFeature(L"Parent", {{L"Install", L"A"}});
    com::ComPtr<CFeature> sharing = MakeFeature(L"Sharing", {{L"Install", L"a:Part"}});
    com::ComPtr<CFeature> other = MakeFeature(L"Other", {{L"Install", L"B"}});
    parent->AddChild(*sharing.Get());
    parent->AddChild(*other.Get());
    sharing->SetActionState(efasInstall);
    other->SetActionState(efasInstall);
    EXPECT_TRUE(sharing->SharesParcelWith(*parent.Get()));
    EXPECT_FALSE(other->SharesParcelWith(*parent.Get()));

    TraceCapture trace;
    parent->SetParcelStates(efasNoAction, false);
    EXPECT_EQ(parent->GetActionState(), efasInstall);
    EXPECT_NE(trace.Messages().find(L"Feature has 1 children that are being configured"), std::wstring::npos);
}

TEST_F(Features, RequestsReachParcelsAndAreSaved)
{
    const struct {
        const char* name;
        EnumInstallMode mode;
        int state;
        EnumParcelType typeOfB;
        int actionOfA;
        const wchar_t* installList; // B's KRParcelFeatureInstall
        const wchar_t* removeList;  // B's KRParcelFeatureRemove
    } cases[] = {
        {"install", eimInstall, efasInstall, eptExe, episInstalled, L"F1", L""},
        {"remove", eimRemove, efasRemove, eptExe, episNoAction, L"", L"F1"},
        {"no action", eimInstall, efasNoAction, eptExe, episNoAction, L"", L""},
        {"no action on a script project", eimInstall, efasNoAction, eptScript, episNoAction, L"", L"F1"},
        {"no action on a script project, repair", eimRepair, efasNoAction, eptScript, episNoAction, L"", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        engine.mode = c.mode;
        host.parcels.clear();
        host.saves.clear();
        host.topLevel = {L"Main"};
        AddParcel(L"A");
        AddParcel(L"B")->type = c.typeOfB;
        AddParcel(L"C");
        com::ComPtr<CFeature> feature = MakeFeature(L"Main", {{L"Install", L"A B:F1  C Missing A"}});
        feature->SetActionState(c.state);
        TraceCapture trace;
        feature->SetParcelStates(efasNoAction, false);

        EXPECT_EQ(Parcel(L"A").GetActionState(), c.actionOfA);
        EXPECT_EQ(std::wstring(Parcel(L"B").GetAttribute(L"KRParcelFeatureInstall").c_str()), c.installList);
        EXPECT_EQ(std::wstring(Parcel(L"B").GetAttribute(L"KRParcelFeatureRemove").c_str()), c.removeList);
        const std::wstring log = trace.Messages();
        // B is only asked to list its package feature; the entries stop at the missing parcel.
        EXPECT_EQ(log.find(L"Containing feature is request state change to parcel B"), std::wstring::npos);
        EXPECT_NE(log.find(L"Containing feature is request state change to parcel C"), std::wstring::npos);
        EXPECT_NE(log.find(L"Parcel Missing mapped to feature Main was not found"), std::wstring::npos);
        EXPECT_EQ(log.find(L"Requesting action state " + std::to_wstring(c.state) + L" for parcel 'A'"),
                  log.rfind(L"Requesting action state " + std::to_wstring(c.state) + L" for parcel 'A'"));
        EXPECT_EQ(host.saves, (std::vector<std::wstring>{L"Feature_Main/Action=" + std::to_wstring(c.state),
                                                         L"Feature_Main/Detect=0"}));
    }
}

TEST_F(Features, StateReload)
{
    com::ComPtr<CFeature> feature = MakeFeature(L"F");
    feature->LoadStateValue(CStateEntry(L"Action", L"2"));
    feature->LoadStateValue(CStateEntry(L"detect", L"3"));
    feature->LoadStateValue(CStateEntry(L"Other", L"value"));
    EXPECT_EQ(feature->GetActionState(), efasRemove);
    EXPECT_EQ(feature->GetInstalledState(), efisInstalled);
    EXPECT_EQ(std::wstring(feature->GetAttribute(L"Other").c_str()), L"value");
}

} // namespace
