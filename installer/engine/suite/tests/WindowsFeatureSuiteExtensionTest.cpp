// The extension object handed to code the suite carries: what it keeps to
// itself (the feature list, the Server Core mark) and what it passes to the
// real engine.

#include <gtest/gtest.h>

#include <string>

#include <com/Bstr.h>
#include <com/ComPtr.h>

#include "EngineTestSupport.h"
#include "parcels/WindowsFeatureSuiteExtension.h"
#include "support/ConditionTestSupport.h"

using engine_testing::EventSink;
using engine_testing::NewEngine;

namespace {

com::Bstr Text(const wchar_t* text)
{
    return com::Bstr(std::wstring_view(text));
}

class FeatureExtension : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, CWindowsFeatureSuiteExtension::CreateInstance(extension_)); }

    testing_support::TraceCapture trace_;
    com::ComPtr<CSetupEngine> engine_ = NewEngine();
    com::ComPtr<com::Object<CWindowsFeatureSuiteExtension>> extension_;
};

TEST_F(FeatureExtension, FeatureListIsItsOwnAndOtherPropertiesAreTheEngines)
{
    extension_->SetFeatureList(L"IIS-WebServer;NetFx3");
    engine_->SetProperty(L"krwindowsfeaturelist", L"engine's", false);
    com::Bstr value;
    EXPECT_EQ(S_OK, extension_->get_Property(Text(L"KRWindowsFeatureList").Get(), value.Put()));
    EXPECT_EQ(L"IIS-WebServer;NetFx3", value.View());
    EXPECT_EQ(S_OK, extension_->get_Property(Text(L"krwindowsfeaturelist").Get(), value.Put()))
        << "the name matches exactly";
    EXPECT_EQ(L"engine's", value.View());
    EXPECT_EQ(E_POINTER, extension_->get_Property(Text(L"KRWindowsFeatureList").Get(), nullptr));

    // The Server Core mark stays with the object; other names reach the engine.
    EXPECT_EQ(S_OK, extension_->put_Property(Text(L"KR2012CoreInstalled").Get(), Text(L"1").Get()));
    EXPECT_EQ(L"1", std::wstring(extension_->Core2012Installed().c_str()));
    EXPECT_STREQ(L"", engine_->GetProperty(L"KR2012CoreInstalled").c_str());
    EXPECT_EQ(S_OK, extension_->put_Property(Text(L"KR2012CoreInstalled").Get(), nullptr));
    EXPECT_TRUE(extension_->Core2012Installed().empty());
    EXPECT_EQ(S_OK, extension_->put_Property(Text(L"FromExtension").Get(), Text(L"set").Get()));
    EXPECT_STREQ(L"set", engine_->GetProperty(L"FromExtension").c_str());

    // A client that knows only IDispatch reads the list through the type library.
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(L"Property");
    ASSERT_EQ(S_OK, extension_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
    com::Bstr argumentText = Text(L"KRWindowsFeatureList");
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = argumentText.Get();
    DISPPARAMS parameters = {&argument, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(S_OK, extension_->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &parameters, &result, nullptr, nullptr));
    ASSERT_EQ(VT_BSTR, V_VT(&result));
    EXPECT_STREQ(L"IIS-WebServer;NetFx3", V_BSTR(&result));
    VariantClear(&result);
}

TEST_F(FeatureExtension, FormatsLogsResolvesAndReportsProgressThroughTheEngine)
{
    engine_->SetProperty(L"Who", L"world", false);
    com::Bstr value;
    EXPECT_EQ(S_OK, extension_->FormatProperty(Text(L"hello [Who]").Get(), value.Put()));
    EXPECT_EQ(L"hello world", value.View());
    EXPECT_EQ(S_OK, extension_->FormatProperty(nullptr, value.Put()));
    EXPECT_EQ(L"", value.View());
    EXPECT_EQ(E_POINTER, extension_->FormatProperty(Text(L"x").Get(), nullptr));
    EXPECT_EQ(E_NOTIMPL, extension_->get_Attribute(Text(L"Name").Get(), value.Put()));

    EXPECT_EQ(S_OK, extension_->ResolveString(Text(L"IDS_NOT_IN_ANY_TABLE").Get(), value.Put()));
    EXPECT_EQ(L"IDS_NOT_IN_ANY_TABLE", value.View());
    EXPECT_EQ(S_OK, extension_->LogInfo(Text(L"features DLL says hi").Get()));
    EXPECT_NE(std::wstring::npos, trace_.Messages().find(L"features DLL says hi"));

    EventSink sink(*engine_.Get());
    EXPECT_EQ(S_OK, extension_->SendProgressMessage(Text(L"Enabling").Get(), 1, 4, epfMessageValid));
    EXPECT_EQ(1u, sink.Count(12)) << "OnActionEventInfo";
}

} // namespace
