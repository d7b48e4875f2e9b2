// The parcel as an automation object: IParcel2 late-bound through IDispatch,
// its events at sinks that know only IDispatch, and null out pointers.

#include <gtest/gtest.h>

#include <functional>

#include <com/Bstr.h>

#include "ParcelTestSupport.h"

using namespace parcel_testing;
using testing_support::ConditionRecord;
using testing_support::ScriptedCondition;

namespace {

class ParcelAutomation : public ::testing::Test {
protected:
    void SetUp() override
    {
        initialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        parcel = MakeParcel(L"P1", nullptr, &handler);
        parcel->SetAttribute(L"displayname", L"Runtime");
        parcel->SetAttribute(L"Description", L"The run-time");
        parcel->SetAttribute(L"ProgressCapture", L"Full");
        parcel->AddOperation(MakeOperation(L"Install"));
        parcel->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    }
    void TearDown() override
    {
        dispatch.Reset();
        parcel.Reset();
        if (initialized)
            CoUninitialize();
    }

    DISPID IdOf(const wchar_t* name)
    {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
        return id;
    }

    HRESULT Get(const wchar_t* name, VARIANT* result)
    {
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        return dispatch->Invoke(IdOf(name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result,
                                nullptr, nullptr);
    }

    DWORD Advise(IDispatch* sink)
    {
        com::ComPtr<IConnectionPointContainer> container;
        EXPECT_EQ(parcel->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);
        com::ComPtr<IConnectionPoint> point;
        EXPECT_EQ(container->FindConnectionPoint(IID__IParcelEvents, point.Put()), S_OK);
        DWORD cookie = 0;
        EXPECT_EQ(point->Advise(sink, &cookie), S_OK);
        return cookie;
    }

    bool initialized = false;
    FakeEngineServices engine;
    ScriptedHandler* handler = nullptr;
    com::ComPtr<CParcel> parcel;
    com::ComPtr<IDispatch> dispatch;
};

TEST_F(ParcelAutomation, LateBoundThroughIDispatch)
{
    const struct {
        const wchar_t* name;
        DISPID id;
    } ids[] = {{L"Name", 1},     {L"ID", 3},       {L"ActionState", 6}, {L"ExitCode", 8},
               {L"UIType", 10},  {L"SendOnParcelProgress", 11}, {L"SendOnError", 13}};
    for (const auto& entry : ids)
        EXPECT_EQ(IdOf(entry.name), entry.id) << entry.name;

    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(Get(L"Name", &value), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_STREQ(value.bstrVal, L"Runtime");
    VariantClear(&value);
    ASSERT_EQ(Get(L"Description", &value), S_OK);
    EXPECT_STREQ(value.bstrVal, L"The run-time");
    VariantClear(&value);
    ASSERT_EQ(Get(L"UIType", &value), S_OK);
    EXPECT_EQ(value.lVal, eputCaptureFull);
    ASSERT_EQ(Get(L"Type", &value), S_OK);
    EXPECT_EQ(value.lVal, eptExe);

    // ActionState put through Invoke, read back the same way.
    VARIANT state;
    VariantInit(&state);
    state.vt = VT_I4;
    state.lVal = episInstalled;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&state, &named, 1, 1};
    ASSERT_EQ(dispatch->Invoke(IdOf(L"ActionState"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put,
                               nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(parcel->GetActionState(), episInstalled);
    ASSERT_EQ(Get(L"ActionState", &value), S_OK);
    EXPECT_EQ(value.lVal, episInstalled);

    com::ComPtr<ITypeInfo> info;
    ASSERT_EQ(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()), S_OK);
    com::Bstr name;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.View(), L"IParcel2");
}

TEST_F(ParcelAutomation, EventsReachDispatchOnlySinksInOrder)
{
    auto* first = new DispatchSink(IID__IParcelEvents);
    auto* second = new DispatchSink(IID__IParcelEvents);
    second->answer = VARIANT_TRUE;
    Advise(first);
    Advise(second);

    VARIANT_BOOL cancel = VARIANT_FALSE;
    com::Bstr message(L"Copying");
    EXPECT_EQ(parcel->SendOnParcelProgress(message.Get(), 3, 9, epfMessageValid, &cancel), S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);
    int action = 0;
    EXPECT_EQ(parcel->SendOnError(message.Get(), 16, &action), S_OK);
    EXPECT_EQ(parcel->Fire_OnParcelEvent(eppsRemove), S_OK);
    VARIANT items;
    VariantInit(&items);
    items.vt = VT_BSTR;
    items.bstrVal = SysAllocString(L"app.exe");
    EXPECT_EQ(parcel->Events().Fire_OnFilesInUse(parcel.Get(), items, VARIANT_TRUE, &action), S_OK);
    VariantClear(&items);

    const std::vector<SinkCall> expected = {
        {2, {L"BSTR:Copying", L"I4:3", L"I4:9", L"I4:2", L"BOOL*"}},
        {3, {L"DISPATCH", L"BSTR:Copying", L"I4:16", L"I4*"}},
        {1, {L"I4:3", L"DISPATCH", L"BOOL*"}},
        {4, {L"DISPATCH", L"BSTR:app.exe", L"BOOL:true", L"I4*"}},
    };
    for (const DispatchSink* sink : {first, second}) {
        ASSERT_EQ(sink->calls.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(sink->calls[i].id, expected[i].id) << i;
            EXPECT_EQ(sink->calls[i].arguments, expected[i].arguments) << i;
        }
    }
    first->Release();
    second->Release();
}

TEST_F(ParcelAutomation, NullOutPointers)
{
    const std::function<HRESULT()> calls[] = {
        [&] { return parcel->get_Name(nullptr); },
        [&] { return parcel->get_Description(nullptr); },
        [&] { return parcel->get_ID(nullptr); },
        [&] { return parcel->get_Eligible(nullptr); },
        [&] { return parcel->get_Required(nullptr); },
        [&] { return parcel->get_ActionState(nullptr); },
        [&] { return parcel->get_DetectedState(nullptr); },
        [&] { return parcel->get_ExitCode(nullptr); },
        [&] { return parcel->get_Type(nullptr); },
        [&] { return parcel->get_UIType(nullptr); },
        [&] { return parcel->SendOnParcelProgress(nullptr, 0, 0, epfProgressValid, nullptr); },
        [&] {
            BSTR media = nullptr;
            return parcel->SendOnNextDisk(nullptr, nullptr, &media);
        },
        [&] {
            VARIANT_BOOL cancel = VARIANT_FALSE;
            return parcel->SendOnNextDisk(nullptr, &cancel, nullptr);
        },
        [&] { return parcel->SendOnError(nullptr, 0, nullptr); },
    };
    for (size_t i = 0; i < std::size(calls); ++i)
        EXPECT_EQ(calls[i](), E_POINTER) << i;
}

TEST_F(ParcelAutomation, MembersThatAskTheConditionsAndTheEngine)
{
    VARIANT_BOOL value = VARIANT_TRUE;
    EXPECT_EQ(parcel->get_Required(&value), S_OK);
    EXPECT_EQ(value, VARIANT_FALSE);
    parcel->SetAttribute(L"IsRequired", L"TRUE");
    EXPECT_EQ(parcel->get_Required(&value), S_OK);
    EXPECT_EQ(value, VARIANT_TRUE);

    parcel->SetConditionSlot(L"Eligible");
    parcel->SetCondition(std::make_unique<ScriptedCondition>(std::make_shared<ConditionRecord>(), true, E_FAIL));
    EXPECT_EQ(parcel->get_Eligible(&value), E_FAIL);
    parcel->SetConditionSlot(L"Detect");
    parcel->SetCondition(std::make_unique<ScriptedCondition>(std::make_shared<ConditionRecord>(), true, E_ABORT));
    EnumParcelInstallState state = episInstalled;
    EXPECT_EQ(parcel->get_DetectedState(&state), E_ABORT);

    VARIANT_BOOL cancel = VARIANT_TRUE;
    com::Bstr source(L"disk2.cab");
    com::Bstr media;
    EXPECT_EQ(parcel->SendOnNextDisk(source.Get(), &cancel, media.Put()), S_OK);
    EXPECT_EQ(media.View(), L"D:\\media");
    EXPECT_EQ(cancel, VARIANT_FALSE);
    EXPECT_EQ(engine.events, std::vector<std::wstring>{L"OnPromptForSourceMedia:disk2.cab"});

    int exitCode = 1;
    EXPECT_EQ(parcel->get_ExitCode(&exitCode), S_OK);
    EXPECT_EQ(exitCode, 0);
}

} // namespace
