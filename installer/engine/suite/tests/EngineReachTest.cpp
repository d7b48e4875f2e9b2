// What conditions and actions reach of the real engine: the condition kinds it
// registers, its properties and model, and the action services.

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "actions/Action.h"
#include "conditions/ConditionKind.h"

using engine_testing::NewEngine;

namespace {

std::unique_ptr<CCondition> Validated(int kind, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> attributes)
{
    std::unique_ptr<CCondition> condition = MakeCondition(kind);
    EXPECT_NE(condition, nullptr) << kind;
    if (!condition)
        return nullptr;
    for (const auto& [name, value] : attributes)
        condition->Attributes().SetAttribute(name, value);
    EXPECT_EQ(condition->Validate(), S_OK) << kind;
    return condition;
}

TEST(EngineReach, ConditionKindsReadTheEnginesModel)
{
    const auto engine = NewEngine();
    engine->SetProperty(L"Mode", L"full", false);
    bool result = false;
    auto property = Validated(ckPropertyValue, {{L"Name", L"Mode"}, {L"Compare", L"Equal"}, {L"CompareTo", L"FULL"}});
    EXPECT_EQ(property->Evaluate(&result), S_OK);
    EXPECT_TRUE(result);

    auto feature = Validated(ckFeatureAction, {{L"FeatureName", L"Absent"}, {L"State", L"install"}});
    EXPECT_EQ(feature->Evaluate(&result), static_cast<HRESULT>(0x80070646));
    auto parcel = Validated(ckParcelAction, {{L"Id", L"Absent"}, {L"State", L"install"}});
    EXPECT_EQ(parcel->Evaluate(&result), static_cast<HRESULT>(0x80070647));
    auto reference = Validated(ckParcelRef, {{L"Id", L"Absent"}});
    EXPECT_EQ(reference->Evaluate(&result), S_OK);
    EXPECT_FALSE(result);
    auto registry = Validated(ckRegistryExists, {{L"Key", L"HKLM\\Software"}});
    EXPECT_EQ(registry->Evaluate(&result), S_OK);
    EXPECT_TRUE(result);
}

TEST(EngineReach, ActionsWithoutTheManagedCodeDllInThePayload)
{
    const auto engine = NewEngine();
    EXPECT_EQ(ActionEngine(), static_cast<IActionEngine*>(engine.Get()));
    // This test program carries no payload.
    EXPECT_FALSE(engine->ExtractStreamFile(L"Halvecall.dll", L"C:\\nowhere\\Halvecall.dll"));
    for (const auto& [element, refused] : {std::pair{L"CallPowerShell", 0x80040716u}, std::pair{L"CallClr", 0x8004071Cu}}) {
        std::unique_ptr<CAction> action = CreateSuiteAction(element);
        action->SetAttribute(L"File", L"script");
        action->InitDefaults();
        EXPECT_EQ(action->Execute(nullptr), static_cast<HRESULT>(refused)) << element;
    }
    // Without a proxy caller a DLL action finds no proxy connection, which aborts.
    std::unique_ptr<CAction> dll = CreateSuiteAction(L"CallDll");
    dll->InitDefaults();
    EXPECT_EQ(dll->Execute(nullptr), static_cast<HRESULT>(0x80070643));

    std::unique_ptr<CAction> set = CreateSuiteAction(L"SetProperty");
    set->SetAttribute(L"Name", L"FromAction");
    set->SetAttribute(L"Value", L"[SETUPEXENAME]");
    set->SetAttribute(L"FormatPropertyValue", L"yes");
    set->InitDefaults();
    EXPECT_EQ(set->Execute(nullptr), S_OK);
    EXPECT_STREQ(engine->GetProperty(L"FromAction").c_str(), L"engine_suite_test.exe");
}

} // namespace
