#include "conditions/PlatformCondition.h"

#include <gtest/gtest.h>

#include <string>

#include "conditions/ConditionKind.h"
#include "support/ConditionTestSupport.h"

namespace {

using testing_support::FakeEngine;
using testing_support::TraceCapture;

struct Machine {
    DWORD major;
    DWORD minor;
    WORD servicePack = 0;
    DWORD build = 7601;
    BYTE productType = VER_NT_WORKSTATION;
    const wchar_t* csd = L"";
};

struct Attribute {
    const wchar_t* name;
    const wchar_t* value;
};

void Fill(FakeEngine& engine, const Machine& machine)
{
    engine.osVersion = OSVERSIONINFOEXW{};
    engine.osVersion.dwOSVersionInfoSize = sizeof(engine.osVersion);
    engine.osVersion.dwMajorVersion = machine.major;
    engine.osVersion.dwMinorVersion = machine.minor;
    engine.osVersion.wServicePackMajor = machine.servicePack;
    engine.osVersion.dwBuildNumber = machine.build;
    engine.osVersion.wProductType = machine.productType;
    wcsncpy(engine.osVersion.szCSDVersion, machine.csd, 127);
}

std::unique_ptr<CCondition> Platform(std::initializer_list<Attribute> attributes)
{
    std::unique_ptr<CCondition> condition = MakeCondition(ckPlatform);
    for (const Attribute& attribute : attributes)
        condition->Attributes().SetAttribute(attribute.name, attribute.value);
    return condition;
}

bool EvaluateOn(FakeEngine& engine, const Machine& machine, CCondition& condition)
{
    Fill(engine, machine);
    bool result = false;
    EXPECT_EQ(condition.Evaluate(&result), S_OK);
    return result;
}

TEST(PlatformCondition, VersionRanges)
{
    FakeEngine engine;
    struct Case {
        const wchar_t* osVersion;
        Machine machine;
        bool result;
    };
    const Case cases[] = {
        {L"6.1-6.3", {6, 1}, true},
        {L"6.1-6.3", {6, 2}, true},
        {L"6.1-6.3", {6, 3}, true},
        {L"6.1-6.3", {10, 0}, false},
        {L"6.1", {6, 1}, true},
        {L"6.1", {6, 2}, false},
        {L"6.1-", {10, 0}, true},
        {L"6.1-", {6, 0}, false},
        {L"-6.1", {5, 1}, true},
        {L"-6.1", {6, 2}, false},
        {L" 10 - ", {10, 0}, true},
        {L"10.0.19041", {10, 0}, true},
    };
    for (const Case& c : cases) {
        auto condition = Platform({{L"OSVersion", c.osVersion}});
        ASSERT_EQ(condition->Validate(), S_OK) << c.osVersion;
        EXPECT_EQ(EvaluateOn(engine, c.machine, *condition), c.result)
            << c.osVersion << " on " << c.machine.major << "." << c.machine.minor;
    }
}

TEST(PlatformCondition, InvalidAttributes)
{
    FakeEngine engine;
    struct Case {
        std::initializer_list<Attribute> attributes;
        const wchar_t* line;
    };
    const Case cases[] = {
        {{{L"OSVersion", L"5.1-6.0-7"}}, L"Platform: invalid OS version supplied (5.1-6.0-7)"},
        {{{L"OSVersion", L"six"}}, L"Platform: invalid OS version supplied (six)"},
        {{{L"ServicePack", L"2"}}, L"Platform: SP version '2' specified but no OS version was provided"},
        {{{L"OSVersion", L"6.1"}, {L"ServicePack", L"x-2"}}, L"Platform: invalid SP version minimum provided (x-2)"},
        {{{L"OSVersion", L"6.1"}, {L"ServicePack", L"1-y"}}, L"Platform: invalid SP version maximum provided (1-y)"},
        {{{L"BuildNumber", L"76o1"}}, L"Platform: invalid build number provided (76o1)"},
        {{{L"ProductType", L"Server, Desktop"}}, L"Platform: invalid platform type provided (Server, Desktop)"},
        {{{L"Architecture", L"x64,arm64"}}, L"Platform: invalid architecture provided (x64,arm64)"},
    };
    for (const Case& c : cases) {
        TraceCapture trace;
        auto condition = Platform(c.attributes);
        EXPECT_EQ(condition->Validate(), E_INVALIDARG) << c.line;
        EXPECT_NE(trace.Messages().find(c.line), std::wstring::npos) << trace.Messages();
    }
}

TEST(PlatformCondition, ServicePackCsdBuildAndProductType)
{
    FakeEngine engine;
    struct Case {
        std::initializer_list<Attribute> attributes;
        Machine machine;
        bool result;
    };
    const Case cases[] = {
        {{{L"OSVersion", L"6.1"}, {L"ServicePack", L"1"}}, {6, 1, 1}, true},
        {{{L"OSVersion", L"6.1"}, {L"ServicePack", L"1"}}, {6, 1, 0}, false},
        {{{L"OSVersion", L"6.1"}, {L"ServicePack", L"-1"}}, {6, 1, 0}, true},
        {{{L"OSVersion", L"6.1"}, {L"ServicePack", L"2-"}}, {6, 1, 1}, false},
        {{{L"CSDVersion", L"service pack 1"}}, {6, 1, 1, 7601, VER_NT_WORKSTATION, L"Service Pack 1"}, true},
        {{{L"CSDVersion", L"Service Pack 2"}}, {6, 1, 1, 7601, VER_NT_WORKSTATION, L"Service Pack 1"}, false},
        {{{L"BuildNumber", L"7601"}}, {6, 1, 0, 7601}, true},
        {{{L"BuildNumber", L"7602"}}, {6, 1, 0, 7601}, false},
        {{{L"ProductType", L"Server"}}, {6, 1, 0, 7601, VER_NT_DOMAIN_CONTROLLER}, true},
        {{{L"ProductType", L"Server"}}, {6, 1, 0, 7601, VER_NT_SERVER}, true},
        {{{L"ProductType", L"DomainController"}}, {6, 1, 0, 7601, VER_NT_SERVER}, false},
        {{{L"ProductType", L"DomainController"}}, {6, 1, 0, 7601, VER_NT_DOMAIN_CONTROLLER}, true},
        {{{L"ProductType", L" Workstation , Server "}}, {6, 1, 0, 7601, VER_NT_WORKSTATION}, true},
        {{{L"ProductType", L"Server"}}, {6, 1, 0, 7601, VER_NT_WORKSTATION}, false},
    };
    for (const Case& c : cases) {
        auto condition = Platform(c.attributes);
        ASSERT_EQ(condition->Validate(), S_OK) << c.attributes.begin()->value;
        EXPECT_EQ(EvaluateOn(engine, c.machine, *condition), c.result) << c.attributes.begin()->value;
    }
}

TEST(PlatformCondition, ArchitectureOfThisMachine)
{
    FakeEngine engine;
    // The test's Wine prefix is a 64-bit one.
    auto x64 = Platform({{L"Architecture", L"x64"}});
    auto x86 = Platform({{L"Architecture", L"x86,ia64"}});
    ASSERT_EQ(x64->Validate(), S_OK);
    ASSERT_EQ(x86->Validate(), S_OK);
    EXPECT_TRUE(EvaluateOn(engine, {10, 0}, *x64));
    EXPECT_FALSE(EvaluateOn(engine, {10, 0}, *x86));
}

} // namespace
