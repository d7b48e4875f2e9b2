#include "conditions/ConditionGroup.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "conditions/ConditionKind.h"
#include "kr/bootstrap_exception.h"
#include "support/ConditionTestSupport.h"

namespace {

using testing_support::ConditionRecord;
using testing_support::ScriptedCondition;
using testing_support::TraceCapture;

struct Member {
    bool result;
    HRESULT evaluateResult = S_OK;
    HRESULT validateResult = S_OK;
};

// A group of scripted members and what each of them was asked.
struct ScriptedGroup {
    ScriptedGroup(int kind, std::initializer_list<Member> script)
    {
        group.SetKind(kind);
        for (const Member& member : script) {
            records.push_back(std::make_shared<ConditionRecord>());
            auto condition = std::make_unique<ScriptedCondition>(records.back(), member.result,
                                                                 member.evaluateResult, member.validateResult);
            members.push_back(condition.get());
            group.AddCondition(std::move(condition));
        }
    }

    CConditionGroup group;
    std::vector<std::shared_ptr<ConditionRecord>> records;
    std::vector<ScriptedCondition*> members;
};

TEST(ConditionGroup, AnyAllNot)
{
    struct Case {
        int kind;
        std::initializer_list<Member> members;
        bool result;
    };
    const Case cases[] = {
        {cgkAny, {}, true},
        {cgkAll, {}, true},
        {cgkNot, {}, false},
        {cgkNot, {{false}}, true},
        {cgkNot, {{false}, {true}}, false},
        {cgkAny, {{false}, {true}}, true},
        {cgkAny, {{false}, {false}}, false},
        {cgkAll, {{true}, {true}}, true},
        {cgkAll, {{true}, {false}, {true}}, false},
    };
    for (const Case& c : cases) {
        ScriptedGroup scripted(c.kind, c.members);
        bool result = !c.result;
        EXPECT_EQ(scripted.group.Evaluate(&result), S_OK);
        EXPECT_EQ(result, c.result) << "kind " << c.kind << ", " << c.members.size() << " members";
        // No short cut: every member is asked.
        for (const auto& record : scripted.records)
            EXPECT_EQ(record->evaluations, 1);
    }
}

TEST(ConditionGroup, FirstFailureEndsTheEvaluation)
{
    ScriptedGroup scripted(cgkAny, {{true}, {false, E_ACCESSDENIED}, {false, E_FAIL}});
    bool result = true;
    EXPECT_EQ(scripted.group.Evaluate(&result), E_ACCESSDENIED);
    EXPECT_FALSE(result);
    EXPECT_EQ(scripted.records[0]->evaluations, 1);
    EXPECT_EQ(scripted.records[2]->evaluations, 0);

    // A success code other than S_OK is no failure.
    ScriptedGroup quiet(cgkAll, {{true, S_FALSE}});
    EXPECT_EQ(quiet.group.Evaluate(&result), S_OK);
    EXPECT_TRUE(result);
}

TEST(ConditionGroup, KindMustBeSet)
{
    ScriptedGroup unset(cgkNotSet, {{true}});
    bool result = true;
    EXPECT_EQ(unset.group.Evaluate(&result), E_INVALIDARG);
    EXPECT_EQ(unset.records[0]->evaluations, 0);
    unset.group.SetKind(-1);
    EXPECT_EQ(unset.group.Evaluate(&result), E_INVALIDARG);
    EXPECT_EQ(unset.group.Evaluate(nullptr), E_POINTER);
}

TEST(ConditionGroup, ValidatesEachMemberOnce)
{
    ScriptedGroup scripted(cgkAll, {{true}, {true}});
    EXPECT_EQ(scripted.group.Validate(), S_OK);
    EXPECT_EQ(scripted.group.Validate(), S_OK);
    EXPECT_EQ(scripted.records[0]->validations, 1);
    EXPECT_EQ(scripted.records[1]->validations, 1);

    // A nested group validated when its element closed is not validated again
    // by its parent, and neither are its members.
    CConditionGroup parent;
    parent.SetKind(cgkAny);
    auto record = std::make_shared<ConditionRecord>();
    auto inner = std::make_unique<CConditionGroup>();
    inner->SetKind(cgkAll);
    inner->AddCondition(std::make_unique<ScriptedCondition>(record, true));
    EXPECT_EQ(inner->Validate(), S_OK);
    parent.AddCondition(std::move(inner));
    EXPECT_EQ(parent.Validate(), S_OK);
    EXPECT_EQ(parent.Validate(), S_OK);
    EXPECT_EQ(record->validations, 1);
}

TEST(ConditionGroup, FailedValidationThrowsTheMembersTexts)
{
    ScriptedGroup scripted(cgkAll, {{true}, {true, S_OK, E_INVALIDARG}, {true}});
    CProperties& attributes = scripted.members[1]->Attributes();
    attributes.SetAttribute(L"ExtType", L"RegistryValue");
    attributes.SetAttribute(L"convert", L"Bogus");
    attributes.SetAttribute(L"CompareTo", L"7");
    for (int attempt = 1; attempt <= 2; ++attempt) {
        try {
            scripted.group.Validate();
            ADD_FAILURE() << "no exception";
        } catch (const invalid_condition_exception& failure) {
            EXPECT_EQ(failure.hresult(), E_INVALIDARG);
            EXPECT_EQ(failure.conversion(), L"Bogus");
            EXPECT_EQ(failure.comparison(), L"7");
            EXPECT_EQ(failure.type_name(), L"RegistryValue");
        }
        // The failing member is asked again next time; the one after it never was.
        EXPECT_EQ(scripted.records[0]->validations, 1);
        EXPECT_EQ(scripted.records[1]->validations, attempt);
        EXPECT_EQ(scripted.records[2]->validations, 0);
    }
}

TEST(ConditionGroup, DestroysItsMembers)
{
    auto scripted = std::make_unique<ScriptedGroup>(cgkAny, std::initializer_list<Member>{{true}, {false}});
    const auto records = scripted->records;
    scripted.reset();
    EXPECT_TRUE(records[0]->destroyed && records[1]->destroyed);
}

// Makers for two kinds, standing in for the leaf classes.
std::shared_ptr<ConditionRecord> g_made;

std::unique_ptr<CCondition> MakeScripted()
{
    g_made = std::make_shared<ConditionRecord>();
    return std::make_unique<ScriptedCondition>(g_made, true);
}

class ConditionFactory : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_[0] = SetConditionMaker(ckPropertyValue, MakeScripted);
        previous_[1] = SetConditionMaker(ckExtension, MakeScripted);
    }
    void TearDown() override
    {
        SetConditionMaker(ckPropertyValue, previous_[0]);
        SetConditionMaker(ckExtension, previous_[1]);
        g_made.reset();
    }

    ConditionMaker previous_[2] = {};
};

TEST_F(ConditionFactory, CreatesMembersOfTheKindsItCanMake)
{
    CConditionGroup group;
    group.SetKind(cgkAll);
    CCondition* made = group.CreateCondition(ckPropertyValue);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(group.Count(), 1u);
    EXPECT_NE(group.CreateCondition(ckExtension), nullptr);
    EXPECT_EQ(group.Count(), 2u);

    const int unmade[] = {ckInvalid, -1, 17, ckRegistryExists};
    for (int kind : unmade)
        EXPECT_EQ(group.CreateCondition(kind), nullptr) << kind;
    EXPECT_EQ(group.Count(), 2u);

    bool result = false;
    EXPECT_EQ(group.Evaluate(&result), S_OK);
    EXPECT_TRUE(result);
    EXPECT_EQ(g_made->evaluations, 1);
    EXPECT_EQ(SetConditionMaker(ckInvalid, MakeScripted), nullptr);
}

TEST(ConditionKind, ParsesTypeNames)
{
    struct Case {
        const wchar_t* name;
        bool foreign;
        int kind;
    };
    const Case cases[] = {
        {L"RegistryExists", false, ckRegistryExists},
        {L"registryvalue", false, ckRegistryValue},
        {L"FILEEXISTS", false, ckFileExists},
        {L"FileValue", false, ckFileValue},
        {L"Platform", false, ckPlatform},
        {L"MsiInstalled", false, ckMsiInstalled},
        {L"ParcelRef", false, ckParcelRef},
        {L"MsiRelated", false, ckMsiRelated},
        {L"KrpInstalled", false, ckKrpInstalled},
        {L"Locale", false, ckLocale},
        {L"AppxInstalled", false, ckAppxInstalled},
        {L"PropertyValue", false, ckPropertyValue},
        {L"FeatureAction", false, ckFeatureAction},
        {L"ParcelAction", false, ckParcelAction},
        {L"UWPIsTypePresent", false, ckUWPIsTypePresent},
        // A built-in name is never an extension.
        {L"PropertyValue", true, ckPropertyValue},
        {L"ext:Check", false, ckExtension},
        {L"Check", true, ckExtension},
        {L"Extension", false, ckInvalid},
        {L"", false, ckInvalid},
        {L"PropertyValue2", false, ckInvalid},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseConditionType(c.name, c.foreign), c.kind) << c.name;

    const TraceCapture trace;
    EXPECT_EQ(ParseConditionType(L"Bogus", false), ckInvalid);
    EXPECT_EQ(trace.Messages(), L"Invalid condition conversion type: Bogus\n");
}

} // namespace
