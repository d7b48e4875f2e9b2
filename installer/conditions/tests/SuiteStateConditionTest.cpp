#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "conditions/ConditionGroup.h"
#include "conditions/ConditionKind.h"
#include "support/ConditionKindTestSupport.h"
#include "support/ConditionTestSupport.h"
#include "support/SuiteModelFakes.h"

namespace {

using testing_support::EvaluateOnce;
using testing_support::FakeEngine;
using testing_support::FakeFeature;
using testing_support::FakeParcel;
using testing_support::FakeParcels;
using testing_support::MakeKind;
using testing_support::TraceCapture;

std::unique_ptr<CCondition> ParcelRef(const wchar_t* id)
{
    auto condition = MakeKind(ckParcelRef, {{L"Id", id}});
    EXPECT_EQ(condition->Validate(), S_OK);
    return condition;
}

// A parcel whose eligible condition is a ParcelRef to another parcel.
HRESULT EligibleThrough(CCondition& condition, VARIANT_BOOL* eligible)
{
    bool result = false;
    const HRESULT hr = condition.Evaluate(&result);
    *eligible = result ? VARIANT_TRUE : VARIANT_FALSE;
    return hr;
}

class SuiteStateConditions : public ::testing::Test {
protected:
    void SetUp() override { engine.parcels = &collection; }

    FakeEngine engine;
    FakeParcels collection;
};

TEST_F(SuiteStateConditions, ParcelRefReadsEligibility)
{
    FakeParcel yes;
    yes.eligible = [](VARIANT_BOOL* v) { *v = VARIANT_TRUE; return S_OK; };
    FakeParcel no;
    collection.parcels = {{L"Yes", &yes}, {L"No", &no}};
    EXPECT_TRUE(EvaluateOnce(*ParcelRef(L"yes")).result);
    EXPECT_FALSE(EvaluateOnce(*ParcelRef(L"No")).result);

    TraceCapture trace;
    const auto unknown = EvaluateOnce(*ParcelRef(L"Other"));
    EXPECT_EQ(unknown.hr, S_OK);
    EXPECT_FALSE(unknown.result);
    EXPECT_NE(trace.Messages().find(L"Invalid/unknown parcel ID specified for ParcelRef: Other"), std::wstring::npos);

    engine.parcels = nullptr;
    EXPECT_EQ(EvaluateOnce(*ParcelRef(L"Yes")).hr, E_NOTIMPL);
    EXPECT_NE(trace.Messages().find(L"Failed to obtain parcel collection for ParcelRef, error 80004001"),
              std::wstring::npos);
    EXPECT_EQ(MakeKind(ckParcelRef, {})->Validate(), E_INVALIDARG);
}

TEST_F(SuiteStateConditions, ParcelRefLoopFails)
{
    // A is eligible when B is; B is eligible when A is.
    auto refersToB = ParcelRef(L"B");
    auto refersToA = ParcelRef(L"A");
    FakeParcel a;
    FakeParcel b;
    a.eligible = [&](VARIANT_BOOL* v) { return EligibleThrough(*refersToB, v); };
    b.eligible = [&](VARIANT_BOOL* v) { return EligibleThrough(*refersToA, v); };
    collection.parcels = {{L"A", &a}, {L"B", &b}};

    TraceCapture trace;
    const auto evaluation = EvaluateOnce(*ParcelRef(L"A"));
    EXPECT_EQ(evaluation.hr, E_INVALIDARG);
    EXPECT_FALSE(evaluation.result);
    EXPECT_NE(trace.Messages().find(L"Parcel ref condition of parcel ID A appears to be causing an infinite loop"),
              std::wstring::npos);
    // The failed look-ups left no marks behind: B alone is plainly eligible.
    b.eligible = [](VARIANT_BOOL* v) { *v = VARIANT_TRUE; return S_OK; };
    EXPECT_EQ(EvaluateOnce(*ParcelRef(L"A")).hr, S_OK);
    EXPECT_TRUE(EvaluateOnce(*ParcelRef(L"A")).result);
}

TEST_F(SuiteStateConditions, ParcelRefAfterAFailedReadEvaluatesAgain)
{
    FakeParcel flaky;
    int reads = 0;
    flaky.eligible = [&](VARIANT_BOOL* v) {
        *v = VARIANT_TRUE;
        return ++reads == 1 ? E_FAIL : S_OK;
    };
    collection.parcels = {{L"Flaky", &flaky}};
    auto condition = ParcelRef(L"Flaky");
    EXPECT_EQ(EvaluateOnce(*condition).hr, E_FAIL);
    const auto again = EvaluateOnce(*condition);
    EXPECT_EQ(again.hr, S_OK);
    EXPECT_TRUE(again.result);
}

TEST_F(SuiteStateConditions, PropertyValueOnUndefinedAndDefinedProperties)
{
    struct Case {
        const wchar_t* convert;
        const wchar_t* compare;
        const wchar_t* compareTo;
        HRESULT hr;
        bool result;
    };
    const Case undefined[] = {
        {L"String", L"Equal", L"[Nothing]x", S_OK, false},
        {L"DWORD", L"Equal", L"0", DISP_E_TYPEMISMATCH, false},
    };
    for (const Case& c : undefined) {
        auto condition = MakeKind(ckPropertyValue, {{L"Name", L"Undefined"},
                                                    {L"Convert", c.convert},
                                                    {L"Compare", c.compare},
                                                    {L"CompareTo", c.compareTo}});
        ASSERT_EQ(condition->Validate(), S_OK);
        const auto evaluation = EvaluateOnce(*condition);
        EXPECT_EQ(evaluation.hr, c.hr) << c.convert << " " << c.compareTo;
        EXPECT_EQ(evaluation.result, c.result) << c.convert << " " << c.compareTo;
    }

    // The empty text against a comparison text that expands to empty.
    engine.store.SetAttribute(L"Blank", L"");
    auto empty = MakeKind(ckPropertyValue, {{L"Name", L"Undefined"}, {L"Compare", L"Equal"}, {L"CompareTo", L"[Blank]"}});
    ASSERT_EQ(empty->Validate(), S_OK);
    EXPECT_TRUE(EvaluateOnce(*empty).result);

    engine.store.SetAttribute(L"Count", L"0x10");
    engine.store.SetAttribute(L"Limit", L"15");
    auto count = MakeKind(ckPropertyValue, {{L"Name", L"Count"},
                                            {L"Convert", L"DWORD"},
                                            {L"Compare", L"GreaterThan"},
                                            {L"CompareTo", L"[Limit]"}});
    ASSERT_EQ(count->Validate(), S_OK);
    EXPECT_TRUE(EvaluateOnce(*count).result);
    engine.store.SetAttribute(L"Limit", L"16");
    EXPECT_FALSE(EvaluateOnce(*count).result);

    TraceCapture trace;
    EXPECT_EQ(MakeKind(ckPropertyValue, {{L"Convert", L"MultiString"}})->Validate(), E_INVALIDARG);
    EXPECT_EQ(MakeKind(ckPropertyValue, {{L"Compare", L"Equal"}})->Validate(), E_INVALIDARG);
    EXPECT_EQ(MakeKind(ckPropertyValue, {{L"Compare", L"Equal"}, {L"Name", L"N"}})->Validate(), E_INVALIDARG);
    const std::wstring log = trace.Messages();
    EXPECT_NE(log.find(L"Validate property value condition: type conversion is invalid (80070057)"),
              std::wstring::npos);
    EXPECT_NE(log.find(L"Validate property value condition: no property name specified"), std::wstring::npos);
    EXPECT_NE(log.find(L"Validate property value condition: no comparison data provided"), std::wstring::npos);
}

TEST_F(SuiteStateConditions, FeatureAndParcelActions)
{
    FakeFeature feature;
    feature.actionState = efasRemove;
    FakeParcel parcel;
    parcel.actionState = episRepair;
    engine.findFeature = [&](const _stringx& name) -> IFeature* { return name == L"Core" ? &feature : nullptr; };
    engine.findParcel = [&](const _stringx& id) -> IParcel2* { return id == L"P" ? &parcel : nullptr; };

    struct Case {
        int kind;
        const wchar_t* nameAttribute;
        const wchar_t* name;
        const wchar_t* state;
        HRESULT hr;
        bool result;
    };
    const Case cases[] = {
        {ckFeatureAction, L"FeatureName", L"Core", L"REMOVE", S_OK, true},
        {ckFeatureAction, L"FeatureName", L"Core", L"install", S_OK, false},
        {ckFeatureAction, L"FeatureName", L"Missing", L"noaction", static_cast<HRESULT>(0x80070646), false},
        {ckParcelAction, L"Id", L"P", L"repair", S_OK, true},
        {ckParcelAction, L"Id", L"P", L"modify", S_OK, false},
        {ckParcelAction, L"Id", L"Missing", L"remove", static_cast<HRESULT>(0x80070647), false},
    };
    for (const Case& c : cases) {
        auto condition = MakeKind(c.kind, {{c.nameAttribute, c.name}, {L"State", c.state}});
        ASSERT_EQ(condition->Validate(), S_OK) << c.name << " " << c.state;
        const auto evaluation = EvaluateOnce(*condition);
        EXPECT_EQ(evaluation.hr, c.hr) << c.name << " " << c.state;
        EXPECT_EQ(evaluation.result, c.result) << c.name << " " << c.state;
    }

    // A missing feature ends its group's evaluation.
    CConditionGroup group;
    group.SetKind(cgkAny);
    auto missing = MakeKind(ckFeatureAction, {{L"FeatureName", L"Missing"}, {L"State", L"install"}});
    ASSERT_EQ(missing->Validate(), S_OK);
    group.AddCondition(std::move(missing));
    bool result = true;
    EXPECT_EQ(group.Evaluate(&result), static_cast<HRESULT>(0x80070646));
    EXPECT_FALSE(result);

    TraceCapture trace;
    EXPECT_EQ(MakeKind(ckFeatureAction, {{L"FeatureName", L"Core"}, {L"State", L"modify"}})->Validate(),
              E_INVALIDARG);
    EXPECT_EQ(MakeKind(ckParcelAction, {{L"Id", L"P"}})->Validate(), E_INVALIDARG);
    EXPECT_EQ(MakeKind(ckParcelAction, {{L"State", L"install"}})->Validate(), E_INVALIDARG);
    const std::wstring log = trace.Messages();
    EXPECT_NE(log.find(L"Feature state condition validate: invalid action state provided: 'modify'"),
              std::wstring::npos);
    EXPECT_NE(log.find(L"Parcel state condition validate: no action state specified"), std::wstring::npos);
    EXPECT_NE(log.find(L"Parcel state condition validate: no parcel ID specified"), std::wstring::npos);
}

} // namespace
