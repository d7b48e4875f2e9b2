#include "conditions/UWPApiIsTypePresentCondition.h"

#include <gtest/gtest.h>

#include <activation.h>

#include <set>
#include <string>

#include "conditions/ConditionKind.h"
#include "conditions/UwpApiInformation.h"
#include "support/ConditionTestSupport.h"

namespace {

using testing_support::FakeEngine;
using testing_support::TraceCapture;

constexpr IID kIidApiInformationStatics = {
    0x997439FE, 0xF681, 0x4A11, {0xB4, 0x16, 0xC1, 0x3A, 0x47, 0xE8, 0xBA, 0x36}};
constexpr IID kIidInspectable = {0xAF86E2E0, 0xB12D, 0x4C6A, {0x9C, 0x5A, 0xD7, 0xAA, 0x65, 0x10, 0x1E, 0x90}};
constexpr IID kIidActivationFactory = {0x00000035, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// What the fake runtime was asked and what it still holds out.
struct Runtime {
    HRESULT factoryResult = S_OK;
    HRESULT queryResult = S_OK;
    HRESULT presentResult = S_OK;
    std::set<std::wstring> presentTypes;
    std::set<HSTRING> liveStrings;
    int stringsMade = 0;
    long references = 0;
    std::wstring askedClass;
    std::wstring askedType;
};
Runtime g_runtime;

struct FakeString {
    std::wstring text;
};

std::wstring Text(HSTRING string)
{
    return reinterpret_cast<FakeString*>(string)->text;
}

// One object serves as the factory and as the statics interface.
struct FakeApiInformation : IActivationFactory {
    struct Statics : IInspectable {
        FakeApiInformation* owner;
        STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return owner->QueryInterface(iid, out); }
        STDMETHODIMP_(ULONG) AddRef() override { return owner->AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return owner->Release(); }
        STDMETHODIMP GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
        STDMETHODIMP GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
        STDMETHODIMP GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }
        virtual HRESULT STDMETHODCALLTYPE IsTypePresent(HSTRING type, boolean* present)
        {
            g_runtime.askedType = Text(type);
            if (FAILED(g_runtime.presentResult))
                return g_runtime.presentResult;
            *present = g_runtime.presentTypes.count(Text(type)) != 0;
            return S_OK;
        }
    } statics;

    FakeApiInformation() { statics.owner = this; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == kIidApiInformationStatics) {
            if (FAILED(g_runtime.queryResult))
                return g_runtime.queryResult;
            *out = &statics;
        } else if (iid == IID_IUnknown || iid == kIidInspectable || iid == kIidActivationFactory) {
            *out = static_cast<IActivationFactory*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++g_runtime.references; }
    STDMETHODIMP_(ULONG) Release() override { return --g_runtime.references; }
    STDMETHODIMP GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    STDMETHODIMP GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }
    STDMETHODIMP ActivateInstance(IInspectable**) override { return E_NOTIMPL; }
};
FakeApiInformation g_apiInformation;

HRESULT WINAPI FakeGetActivationFactory(HSTRING classId, REFIID iid, void** factory)
{
    g_runtime.askedClass = Text(classId);
    if (FAILED(g_runtime.factoryResult))
        return g_runtime.factoryResult;
    return g_apiInformation.QueryInterface(iid, factory);
}

HRESULT WINAPI FakeCreateString(PCNZWCH text, UINT32 length, HSTRING* string)
{
    auto* made = new FakeString{std::wstring(text, length)};
    *string = reinterpret_cast<HSTRING>(made);
    g_runtime.liveStrings.insert(*string);
    ++g_runtime.stringsMade;
    return S_OK;
}

HRESULT WINAPI FakeDeleteString(HSTRING string)
{
    g_runtime.liveStrings.erase(string);
    delete reinterpret_cast<FakeString*>(string);
    return S_OK;
}

class FakeRuntime {
public:
    FakeRuntime()
    {
        g_runtime = Runtime{};
        m_previous = SetWinRtFunctions(&m_table);
    }
    ~FakeRuntime() { SetWinRtFunctions(m_previous); }

private:
    WinRtFunctions m_table{FakeGetActivationFactory, FakeCreateString, FakeDeleteString};
    const WinRtFunctions* m_previous = nullptr;
};

// Lines the test's capture holds, counted by their ending newline.
size_t LineCount(const std::wstring& messages)
{
    size_t count = 0;
    for (size_t at = messages.find(L"0x"); at != std::wstring::npos; at = messages.find(L"0x", at + 1))
        ++count;
    return count;
}

std::unique_ptr<CCondition> TypePresent(const wchar_t* type)
{
    std::unique_ptr<CCondition> condition = MakeCondition(ckUWPIsTypePresent);
    condition->Attributes().SetAttribute(L"Type", type);
    return condition;
}

bool EvaluateOn(FakeEngine& engine, DWORD major, DWORD minor, CCondition& condition)
{
    engine.osVersion.dwOSVersionInfoSize = sizeof(engine.osVersion);
    engine.osVersion.dwMajorVersion = major;
    engine.osVersion.dwMinorVersion = minor;
    bool result = true;
    EXPECT_EQ(condition.Evaluate(&result), S_OK);
    return result;
}

TEST(UwpTypePresent, AnswersOfTheRuntime)
{
    FakeEngine engine;
    struct Case {
        HRESULT factory;
        HRESULT query;
        HRESULT present;
        bool listed;
        bool result;
        const wchar_t* line;
    };
    const Case cases[] = {
        {S_OK, S_OK, S_OK, true, true, nullptr},
        {S_OK, S_OK, S_OK, false, false, nullptr},
        {REGDB_E_CLASSNOTREG, S_OK, S_OK, true, false,
         L"Failed to create activation factory Windows.Foundation.Metadata.ApiInformation, error 0x80040154\n"},
        {S_OK, E_NOINTERFACE, S_OK, true, false,
         L"Failed to QI from IActivationFactory to IApiInformationStatics, error 0x80004002\n"},
        {S_OK, S_OK, E_NOTIMPL, true, false, L"ApiInfo IsTypePresent failed with error 0x80004001\n"},
    };
    const wchar_t* type = L"Windows.Foundation.UniversalApiContract";
    for (const Case& c : cases) {
        FakeRuntime runtime;
        g_runtime.factoryResult = c.factory;
        g_runtime.queryResult = c.query;
        g_runtime.presentResult = c.present;
        if (c.listed)
            g_runtime.presentTypes.insert(type);
        TraceCapture trace;
        auto condition = TypePresent(type);
        ASSERT_EQ(condition->Validate(), S_OK);
        EXPECT_EQ(EvaluateOn(engine, 10, 0, *condition), c.result);
        EXPECT_EQ(g_runtime.askedClass, L"Windows.Foundation.Metadata.ApiInformation");
        // Every string made is deleted, every reference returned.
        EXPECT_GT(g_runtime.stringsMade, 0);
        EXPECT_TRUE(g_runtime.liveStrings.empty());
        EXPECT_EQ(g_runtime.references, 0);
        const std::wstring messages = trace.Messages();
        if (c.line) {
            EXPECT_NE(messages.find(c.line), std::wstring::npos) << messages;
            EXPECT_EQ(LineCount(messages), 1u) << messages;
        } else {
            EXPECT_EQ(g_runtime.askedType, type);
            EXPECT_EQ(g_runtime.stringsMade, 2);
            EXPECT_TRUE(messages.empty()) << messages;
        }
    }
}

TEST(UwpTypePresent, OlderWindowsHasNoRuntimeToAsk)
{
    FakeEngine engine;
    FakeRuntime runtime;
    TraceCapture trace;
    auto condition = TypePresent(L"Windows.Foundation.UniversalApiContract");
    ASSERT_EQ(condition->Validate(), S_OK);
    EXPECT_FALSE(EvaluateOn(engine, 6, 1, *condition));
    EXPECT_EQ(g_runtime.stringsMade, 0);
    EXPECT_NE(trace.Messages().find(L"UWPIsTypePresent: unsupported platform (minimum required Windows 8.x), "
                                    L"condition evaluated as false"),
              std::wstring::npos);
}

TEST(UwpTypePresent, TypeIsRequired)
{
    TraceCapture trace;
    auto condition = MakeCondition(ckUWPIsTypePresent);
    EXPECT_EQ(condition->Validate(), E_INVALIDARG);
    EXPECT_NE(trace.Messages().find(L"UWP API type present condition: no type specified"), std::wstring::npos);
}

TEST(UwpTypePresent, WinesOwnRuntime)
{
    // Wine's runtime makes the factory and the statics but does not
    // implement the query itself.
    TraceCapture trace;
    EXPECT_FALSE(IsUwpApiTypePresent(L"Windows.Foundation.UniversalApiContract"));
    EXPECT_NE(trace.Messages().find(L"ApiInfo IsTypePresent failed with error 0x80004001"), std::wstring::npos)
        << trace.Messages();
}

} // namespace
