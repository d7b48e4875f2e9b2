#include <gtest/gtest.h>

#include <string>

#include "EngineTestSupport.h"
#include "support/ConditionTestSupport.h"

using engine_testing::EventSink;
using engine_testing::NewEngine;
using engine_testing::TempFile;
using testing_support::TraceCapture;

namespace {

using Builder = std::function<void(CSetupEngine& engine)>;

// A silent initialisation of a fresh engine whose setup.xml is read by builder.
struct SilentRun {
    com::ComPtr<CSetupEngine> engine = NewEngine();
    EventSink sink{*engine.Get()};
    TempFile setupXml{L"<Setup/>"};
    bool exitNow = true;
    HRESULT result = E_FAIL;

    SilentRun& Initialize(const std::wstring& arguments, Builder builder)
    {
        engine->SetSetupXmlLoader([builder](CSetupEngine& target, const _stringx&) {
            builder(target);
            return S_OK;
        });
        const std::wstring line = L"/silent " + arguments + L" /f3:" + setupXml.Path();
        BSTR text = SysAllocString(line.c_str());
        result = engine->Initialize(text, &exitNow);
        SysFreeString(text);
        return *this;
    }
};

void GermanAndEnglish(CSetupEngine& engine)
{
    engine.LanguageManager()->SetAttribute(L"Languages", L"1033,1031");
    engine.StringTable(1033)->SetAttribute(L"IDS_WELCOME", L"Welcome");
    engine.StringTable(1031)->SetAttribute(L"IDS_WELCOME", L"Willkommen");
}

std::wstring Resolved(CSetupEngine& engine, const wchar_t* id)
{
    return engine.ResolveStringId(id).c_str();
}

TEST(EngineLanguage, CommandLineLanguageIsChosenAndTextsFollowIt)
{
    SilentRun run;
    run.Initialize(L"/language:2055", GermanAndEnglish);
    ASSERT_EQ(run.result, S_OK);
    EXPECT_EQ(std::wstring(run.engine->GetProperty(L"KRSelectedLanguage").c_str()), L"1031");
    EXPECT_EQ(Resolved(*run.engine.Get(), L"IDS_WELCOME"), L"Willkommen");
    EXPECT_EQ(Resolved(*run.engine.Get(), L"IDS_ABSENT"), L"IDS_ABSENT");

    // The user interface switches the language through the property.
    run.engine->SetProperty(L"KRSelectedLanguage", L"1033", false);
    EXPECT_EQ(Resolved(*run.engine.Get(), L"IDS_WELCOME"), L"Welcome");
    EXPECT_EQ(run.engine->Languages().SelectedLanguage(), 1033);
}

TEST(EngineLanguage, WithoutAMatchTheDefaultLanguageIsChosen)
{
    SilentRun run;
    TraceCapture trace;
    run.Initialize(L"/language:1041", [](CSetupEngine& engine) {
        engine.LanguageManager()->SetAttribute(L"Languages", L"1049");
        engine.LanguageManager()->SetAttribute(L"Default", L"1049");
        engine.LanguageManager()->SetAttribute(L"RequireExactMatch", L"1049");
    });
    ASSERT_EQ(run.result, S_OK);
    EXPECT_EQ(std::wstring(run.engine->GetProperty(L"KRSelectedLanguage").c_str()), L"1049");
    EXPECT_NE(trace.Messages().find(L"Language passed from command line: 1041"), std::wstring::npos);
    EXPECT_NE(trace.Messages().find(L"Using default language 1049"), std::wstring::npos);
}

TEST(EngineLanguage, ResourcesAreInitializedAndFound)
{
    TempFile notes(L"not a module");
    const std::wstring missing = notes.Path() + L".absent";
    SilentRun run;
    TraceCapture trace;
    run.Initialize(L"", [&](CSetupEngine& engine) {
        engine.AddResource({{L"Source", notes.Path().c_str()}, {L"Namespace", L"urn:notes"}});
        engine.AddResource({{L"Source", missing.c_str()}, {L"Name", L"broken"}});
    });
    ASSERT_EQ(run.result, S_OK);

    CResource* found = run.engine->FindResourceByNamespace(L"URN:Notes");
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(found->IsInitialized());
    EXPECT_EQ(found, run.engine->Resources()[0].get());
    EXPECT_EQ(run.engine->FindResourceByName(L"BROKEN"), run.engine->Resources()[1].get());
    EXPECT_FALSE(run.engine->Resources()[1]->IsInitialized());
    EXPECT_EQ(run.engine->FindResourceByNamespace(L"urn:absent"), nullptr);
    EXPECT_NE(trace.Messages().find(L"The resource broken failed to initialize, status 80070002"), std::wstring::npos)
        << trace.Messages();
}

TEST(EngineLanguage, WindowsVersionIsReadOnceAndShared)
{
    com::ComPtr<CSetupEngine> engine = NewEngine();
    const OSVERSIONINFOEXW& read = engine->OsVersionInfo();
    EXPECT_EQ(read.dwOSVersionInfoSize, sizeof(OSVERSIONINFOEXW));
    EXPECT_GT(read.dwMajorVersion, 0u);

    OSVERSIONINFOEXW seven{};
    seven.dwOSVersionInfoSize = sizeof(seven);
    seven.dwMajorVersion = 6;
    seven.dwMinorVersion = 1;
    engine->SetOsVersionInfo(seven);
    EXPECT_EQ(SetupEngine()->OsVersionInfo().dwMinorVersion, 1u);

    // No app-package helper before Windows 8.
    SetLastError(0);
    EXPECT_EQ(engine->GetAppxHelperProxyHandler(), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

} // namespace
