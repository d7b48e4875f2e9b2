#include <gtest/gtest.h>

#include <string>

#include <com/Variant.h>

#include "TestFolder.h"
#include "conditions/NimbrelExtension.h"
#include "support/ConditionTestSupport.h"
#include "support/ScriptStandIn.h"

using testing_support::BesideProgram;
using testing_support::RecordingDispatch;
using testing_support::ScriptStandInRecords;
using testing_support::TraceCapture;

namespace {

// The script runtime's four functions and a few of the script's own.
constexpr const char* kRuntime = R"(
var ext = null;
function __KRRTSuiteExtInit(context, folder) { Host.Record('init ' + typeof context + ' ' + folder); return 0; }
function __RevokeSuiteExtension() { ext = null; Host.Record('revoke'); }
function __KRRTSuiteExtUninit() { Host.Record('uninit'); }
)";
constexpr const char* kSetExtension = R"(
function __SetSuiteExtension(e) { ext = e; Host.Record('set'); }
)";
constexpr const char* kOwnFunctions = R"(
function Count(a, b, c) { Host.Record('count ' + arguments.length + ' ' + a + ' ' + typeof b + ' ' + c); return arguments.length; }
function Truth() { return true; }
function Text() { return 'true'; }
function CallHost(x) { return ext.Describe(x, 7); }
)";

class ScriptConnection : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override
    {
        if (m_engine)
            FreeLibrary(m_engine);
        CoUninitialize();
    }

    HMODULE LoadEngine(const wchar_t* name)
    {
        m_engine = LoadLibraryW(BesideProgram(name).c_str());
        return m_engine;
    }
    std::wstring WriteScript(const std::string& text)
    {
        const std::wstring path = m_folder / L"setup.qlx";
        WriteBytes(path, text);
        return path;
    }
    std::wstring Records() const { return ScriptStandInRecords(m_engine); }

    TestFolder m_folder;
    HMODULE m_engine = nullptr;
    RecordingDispatch m_host;
    TraceCapture m_trace;
};

VARIANT Int(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Nothing()
{
    VARIANT v;
    VariantInit(&v);
    return v;
}

TEST_F(ScriptConnection, RunsTheScriptsFunctionsAndEndsTheRuntime)
{
    ASSERT_NE(LoadEngine(L"REViziz.dll"), nullptr);
    const std::wstring script = WriteScript(std::string(kRuntime) + kSetExtension + kOwnFunctions);
    {
        CNimbrelExtension connection(m_engine, script.c_str(), L"C:\\stage", true, L"srv*symbols");
        ASSERT_EQ(connection.Initialize(&m_host), S_OK);
        EXPECT_TRUE(connection.IsInitialized());

        // An empty argument before the last given one is passed as empty.
        com::Variant result;
        EXPECT_EQ(connection.ScriptInvoke(L"Count", result.Put(), {Int(1), Nothing(), Int(3)}), S_OK);
        ASSERT_EQ(result.Type(), VT_I4);
        EXPECT_EQ(result.Get().lVal, 3);
        EXPECT_EQ(connection.ScriptInvoke(L"Count", result.Put(), {Int(1), Nothing(), Nothing()}), S_OK);
        EXPECT_EQ(result.Get().lVal, 1);

        EXPECT_EQ(connection.ScriptInvoke(L"Truth", result.Put()), S_OK);
        ASSERT_EQ(result.Type(), VT_BOOL);
        EXPECT_EQ(result.Get().boolVal, VARIANT_TRUE);
        EXPECT_EQ(connection.ScriptInvoke(L"Text", result.Put()), S_OK);
        ASSERT_EQ(result.Type(), VT_BSTR);
        EXPECT_STREQ(result.Get().bstrVal, L"true");

        // The script calls back into the extension object it was given.
        const com::Variant hello = com::Variant::String(L"hello");
        EXPECT_EQ(connection.ScriptInvoke(L"CallHost", result.Put(), {hello.Get()}), S_OK);
        ASSERT_EQ(result.Type(), VT_BSTR);
        EXPECT_STREQ(result.Get().bstrVal, L"answered");
        EXPECT_EQ(m_host.Calls(), std::vector<std::wstring>{L"Describe(hello,7)"});

        EXPECT_EQ(connection.RevokeSuiteExtension(), S_OK);
        EXPECT_EQ(connection.ScriptInvoke(L"Absent", result.Put()), DISP_E_UNKNOWNNAME);
    }
    const std::wstring records = Records();
    const std::wstring expected = L"GetScriptEngine\nOpenScript " + script +
                                  L"\nStartDebugging srv*symbols with context\ninit number C:\\stage\nset\n"
                                  L"count 3 1 undefined 3\ncount 1 1 undefined undefined\nrevoke\nuninit\n";
    EXPECT_EQ(records.substr(0, expected.size()), expected) << records;
    EXPECT_NE(records.find(L"engine released"), std::wstring::npos) << records;
    EXPECT_NE(records.find(L"context released"), std::wstring::npos) << records;
    EXPECT_EQ(m_host.References(), 1);
    EXPECT_NE(m_trace.Messages().find(L"ScriptInvoke: failed to get id for function 'Absent', error 0x80020006"),
              std::wstring::npos);
}

TEST_F(ScriptConnection, WithoutTheEngineEntryEveryCallGivesEPointer)
{
    ASSERT_NE(LoadEngine(L"REVizizNoEntry.dll"), nullptr);
    const std::wstring script = WriteScript(std::string(kRuntime) + kSetExtension);
    {
        CNimbrelExtension connection(m_engine, script.c_str(), L"C:\\stage", false, L"");
        EXPECT_FALSE(connection.HasEngine());
        EXPECT_EQ(connection.Initialize(&m_host), E_POINTER);
        EXPECT_FALSE(connection.IsInitialized());
        com::Variant result;
        EXPECT_EQ(connection.ScriptInvoke(L"Count", result.Put(), {Int(1)}), E_POINTER);
        EXPECT_EQ(connection.RevokeSuiteExtension(), E_POINTER);
    }
    EXPECT_TRUE(m_host.Calls().empty());
    EXPECT_EQ(m_host.References(), 1);
    EXPECT_NE(m_trace.Messages().find(
                  L"Script extension: script entry point not found in REViziz.dll, is this a supported version?"),
              std::wstring::npos);
}

TEST_F(ScriptConnection, WithoutSetSuiteExtensionTheConnectionIsNotInitialised)
{
    ASSERT_NE(LoadEngine(L"REViziz.dll"), nullptr);
    const std::wstring script = WriteScript(kRuntime);
    {
        CNimbrelExtension connection(m_engine, script.c_str(), L"C:\\stage", false, L"");
        EXPECT_EQ(connection.Initialize(&m_host), DISP_E_UNKNOWNNAME);
        EXPECT_FALSE(connection.IsInitialized());
    }
    const std::wstring records = Records();
    EXPECT_NE(records.find(L"init number C:\\stage"), std::wstring::npos) << records;
    EXPECT_EQ(records.find(L"uninit"), std::wstring::npos) << records;
    EXPECT_EQ(records.find(L"StartDebugging"), std::wstring::npos) << records;
    EXPECT_NE(m_trace.Messages().find(
                  L"ScriptInvoke: failed to get id for function '__SetSuiteExtension', error 0x80020006"),
              std::wstring::npos);
}

TEST_F(ScriptConnection, AScriptThatCannotBeOpenedLeavesNoEngine)
{
    ASSERT_NE(LoadEngine(L"REViziz.dll"), nullptr);
    {
        CNimbrelExtension connection(m_engine, (m_folder / L"absent.qlx").c_str(), L"C:\\stage", true, L"x");
        EXPECT_FALSE(connection.HasEngine());
        EXPECT_EQ(connection.Initialize(&m_host), E_POINTER);
    }
    const std::wstring records = Records();
    EXPECT_NE(records.find(L"engine released"), std::wstring::npos) << records;
    EXPECT_EQ(records.find(L"StartDebugging"), std::wstring::npos) << records;
    EXPECT_NE(m_trace.Messages().find(L"Script extension: failed to open script, error 0x80070002"),
              std::wstring::npos);
}

} // namespace
