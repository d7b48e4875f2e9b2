#include "properties/PropertySetter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/ConditionTestSupport.h"

namespace {

using testing_support::ConditionRecord;
using testing_support::FakeEngine;
using testing_support::ScriptedCondition;

std::wstring Text(const _stringx& value)
{
    return std::wstring(value.c_str(), value.length());
}

class PropertySetter : public ::testing::Test {
protected:
    void SetUp() override { engine_.store.SetAttribute(L"B", L"1"); }

    std::shared_ptr<ConditionRecord> Condition(CPropertySetter& setter, bool result, HRESULT hr = S_OK)
    {
        auto record = std::make_shared<ConditionRecord>();
        setter.SetCondition(std::make_unique<ScriptedCondition>(record, result, hr));
        return record;
    }

    std::wstring Property(const wchar_t* name) const { return Text(engine_.store.GetAttribute(name)); }

    FakeEngine engine_;
};

TEST_F(PropertySetter, ReadsItsThreeAttributes)
{
    struct Case {
        const wchar_t* format;
        bool formats;
    };
    const Case cases[] = {{L"yes", true}, {L"YES", true}, {L"no", false}, {L"", false}, {L"yes ", false}};
    for (const Case& c : cases) {
        CPropertySetter setter;
        setter.SetAttribute(L"name", L"Target");
        setter.SetAttribute(L"VALUE", L"[B]");
        setter.SetAttribute(L"Other", L"ignored");
        setter.SetAttribute(L"formatpropertyvalue", c.format);
        EXPECT_EQ(Text(setter.Name()), L"Target");
        EXPECT_EQ(Text(setter.Value()), L"[B]");
        EXPECT_EQ(setter.FormatsValue(), c.formats) << c.format;

        EXPECT_EQ(setter.Apply(), S_OK);
        EXPECT_EQ(Property(L"Target"), c.formats ? L"1" : L"[B]") << c.format;
    }
}

TEST_F(PropertySetter, ConditionDecides)
{
    CPropertySetter setter;
    setter.SetAttribute(L"Name", L"Target");
    setter.SetAttribute(L"Value", L"v");

    const auto falseRecord = Condition(setter, false);
    EXPECT_EQ(setter.Apply(), S_FALSE);
    EXPECT_EQ(Property(L"Target"), L"");

    const auto failing = Condition(setter, true, E_ACCESSDENIED);
    EXPECT_TRUE(falseRecord->destroyed);
    EXPECT_EQ(setter.Apply(), E_ACCESSDENIED);
    EXPECT_EQ(Property(L"Target"), L"");

    const auto holding = Condition(setter, true);
    EXPECT_EQ(setter.Apply(), S_OK);
    EXPECT_EQ(setter.Apply(), S_OK);
    EXPECT_EQ(holding->evaluations, 2);
    EXPECT_EQ(Property(L"Target"), L"v");
}

TEST_F(PropertySetter, LockedPropertiesStay)
{
    engine_.store.SetAttributeLocked(L"SETUPEXEDIR", L"C:\\Setup");
    CPropertySetter setter;
    setter.SetAttribute(L"Name", L"SETUPEXEDIR");
    setter.SetAttribute(L"Value", L"elsewhere");
    EXPECT_EQ(setter.Apply(), S_OK);
    EXPECT_EQ(Property(L"SETUPEXEDIR"), L"C:\\Setup");
}

TEST_F(PropertySetter, ConditionOwnership)
{
    CPropertySetter setter;
    auto record = std::make_shared<ConditionRecord>();
    auto condition = std::make_unique<ScriptedCondition>(record, true);
    CCondition* held = condition.get();
    setter.SetCondition(std::move(condition));

    // Handing back the tree already held keeps it.
    setter.SetCondition(std::unique_ptr<CCondition>(held));
    EXPECT_FALSE(record->destroyed);
    EXPECT_EQ(setter.Condition(), held);

    setter.SetCondition(nullptr);
    EXPECT_TRUE(record->destroyed);
    EXPECT_EQ(setter.Condition(), nullptr);

    auto last = Condition(setter, true);
    {
        CPropertySetter gone;
        last = Condition(gone, true);
    }
    EXPECT_TRUE(last->destroyed);
}

TEST(PropertySetterWithoutEngine, SetsNothing)
{
    CPropertySetter setter;
    setter.SetAttribute(L"Name", L"A");
    EXPECT_EQ(setter.Apply(), E_UNEXPECTED);
}

} // namespace
