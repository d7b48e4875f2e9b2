// Late-bound calls through IDispatch, served by the type library's description.
#include "TestSupport.h"

#include <com/Bstr.h>
#include <com/SafeArray.h>

namespace {

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        com::ComPtr<ICounter> counter = server.NewCounter();
        ASSERT_TRUE(counter);
        ASSERT_EQ(counter.As(IID_IDispatch, dispatch), S_OK);
    }

    DISPID IdOf(const wchar_t *name)
    {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
        return id;
    }

    // Arguments in declaration order.
    HRESULT Call(DISPID id, WORD flags, std::vector<com::Variant> arguments, com::Variant *result = nullptr,
                 UINT *argumentError = nullptr)
    {
        std::vector<VARIANTARG> reversed;
        for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) {
            reversed.push_back(it->Get());
        }
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
        if (flags == DISPATCH_PROPERTYPUT) {
            params.rgdispidNamedArgs = &named;
            params.cNamedArgs = 1;
        }
        EXCEPINFO exception = {};
        UINT error = 0;
        HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                      result ? result->Put() : nullptr, &exception, &error);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        if (argumentError) {
            *argumentError = error;
        }
        return hr;
    }

    Apartment apartment;
    TestServer server;
    com::ComPtr<IDispatch> dispatch;
};

TEST_F(DispatchTest, NamesMapToTheLibrarysIdentifiers)
{
    EXPECT_EQ(IdOf(L"Add"), 1);
    EXPECT_EQ(IdOf(L"name"), 2); // names are matched without regard to case
    EXPECT_EQ(IdOf(L"_NewEnum"), DISPID_NEWENUM);

    DISPID id = 0;
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_IUnknown, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchTest, TypeInfoDescribesTheDualInterface)
{
    UINT count = 0;
    ASSERT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    com::ComPtr<ITypeInfo> info;
    EXPECT_EQ(dispatch->GetTypeInfo(1, LOCALE_USER_DEFAULT, info.Put()), DISP_E_BADINDEX);
    ASSERT_EQ(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.Put()), S_OK);
    TYPEATTR *attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_ICounter));
    EXPECT_EQ(attributes->typekind, TKIND_DISPATCH);
    info->ReleaseTypeAttr(attributes);
}

TEST_F(DispatchTest, MethodsAndPropertiesReachTheObject)
{
    com::Variant result;
    ASSERT_EQ(Call(1, DISPATCH_METHOD, {com::Variant::Int32(7)}, &result), S_OK);
    EXPECT_EQ(result.Type(), VT_I4);
    EXPECT_EQ(result.Get().lVal, 7);
    // A 16-bit argument is converted to the declared 32-bit one.
    ASSERT_EQ(Call(1, DISPATCH_METHOD, {com::Variant::Int16(3)}, &result), S_OK);
    EXPECT_EQ(result.Get().lVal, 10);

    ASSERT_EQ(Call(2, DISPATCH_PROPERTYPUT, {com::Variant::String(L"meter")}), S_OK);
    ASSERT_EQ(Call(2, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ASSERT_EQ(result.Type(), VT_BSTR);
    EXPECT_STREQ(result.Get().bstrVal, L"meter");
}

TEST_F(DispatchTest, OutArgumentsAndArraysTravelByReference)
{
    LONG high = 0;
    com::Variant highRef;
    highRef.Get().vt = VT_I4 | VT_BYREF;
    highRef.Get().plVal = &high;
    com::Variant low;
    ASSERT_EQ(Call(4, DISPATCH_METHOD, {com::Variant::Int32(0x00120034), highRef}, &low), S_OK);
    EXPECT_EQ(high, 0x12);
    EXPECT_EQ(low.Get().lVal, 0x34);

    com::SafeArray values = com::SafeArray::CreateVector(VT_I4, 3);
    ASSERT_TRUE(values);
    {
        com::SafeArrayAccess<LONG> data(values.Get());
        ASSERT_EQ(data.Status(), S_OK);
        data.Data()[0] = 1;
        data.Data()[1] = 20;
        data.Data()[2] = 300;
    }
    SAFEARRAY *array = values.Get();
    com::Variant arrayRef;
    arrayRef.Get().vt = VT_ARRAY | VT_I4 | VT_BYREF;
    arrayRef.Get().pparray = &array;
    com::Variant sum;
    ASSERT_EQ(Call(3, DISPATCH_METHOD, {arrayRef}, &sum), S_OK);
    EXPECT_EQ(sum.Get().lVal, 321);
}

TEST_F(DispatchTest, FailuresAndBadCallsComeBackAsResults)
{
    EXPECT_EQ(Call(5, DISPATCH_METHOD, {com::Variant::Int32(static_cast<LONG>(E_ACCESSDENIED))}),
              DISP_E_EXCEPTION);
    EXPECT_EQ(Call(99, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(1, DISPATCH_METHOD, {}), DISP_E_BADPARAMCOUNT);
    UINT argumentError = 99;
    EXPECT_EQ(Call(1, DISPATCH_METHOD, {com::Variant::String(L"not a number")}, nullptr, &argumentError),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(argumentError, 0u);

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(dispatch->Invoke(1, IID_IUnknown, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr,
                               nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

} // namespace
