#include <gtest/gtest.h>

#include <string>

#include <com/Bstr.h>

#include <com/Module.h>

#include "EngineTestSupport.h"
#include "TestFolder.h"
#include "conditions/ConditionGroup.h"
#include "conditions/ConditionKind.h"
#include "support/ConditionTestSupport.h"
#include "support/ScriptStandIn.h"

using engine_testing::NewEngine;
using testing_support::BesideProgram;
using testing_support::ScriptStandInRecords;
using testing_support::TraceCapture;

namespace {

constexpr HRESULT kProcedureNotFound = static_cast<HRESULT>(0x8007007F);

// The suite's script: the runtime's four functions and extensions' entries.
constexpr const char* kSuiteScript = R"(
var ext = null;
function __KRRTSuiteExtInit(context, folder) { Host.Record('init'); return 0; }
function __SetSuiteExtension(e) { ext = e; Host.Record('set'); }
function __RevokeSuiteExtension() { ext = null; Host.Record('revoke'); }
function __KRRTSuiteExtUninit() { Host.Record('uninit'); }
function Five_Validate(e) { e.LogInfo('five validated'); Host.Record('absent=[' + e.Attribute('Absent') + ']'); return 0; }
function Five_Evaluate(e) { return 5; }
function Text_Validate(e) { return 0; }
function Text_Evaluate(e) { return 'true'; }
function Zero_Validate(e) { return 0; }
function Zero_Evaluate(e) { return 0; }
function Bool_Validate(e) { return 0; }
function Bool_Evaluate(e) { return e.Attribute('Expect') == 'yes'; }
function Refuse_Validate(e) { return -2147467259; }
)";

// Extension conditions in trees of a real engine, whose resources are the
// stand-in DLLs and files of a sources folder, staged into a fresh folder.
class ExtensionConditions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        wchar_t current[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, current);
        m_previousFolder = current;
        // Resources named by a relative source are taken from the current folder.
        SetCurrentDirectoryW(m_sources.path().c_str());
        m_engine = NewEngine();
        m_engine->SetSupportFolder(m_staging.path().c_str());
    }
    void TearDown() override
    {
        m_engine = nullptr;
        SetCurrentDirectoryW(m_previousFolder.c_str());
        CoUninitialize();
    }

    void AddDllResource(const wchar_t* namespaceUri)
    {
        m_engine->AddResource({{L"Source", BesideProgram(L"ConditionExtension.dll").c_str()},
                               {L"Namespace", namespaceUri}});
    }
    // The script runtime, the compiled script and the script engine, each when asked for.
    void AddScriptResources(bool runtime = true, bool script = true, bool engine = true)
    {
        if (runtime) {
            WriteBytes(m_sources / L"KRRT.dll", "runtime");
            m_engine->AddResource({{L"Source", L"KRRT.dll"}});
        }
        if (script) {
            WriteBytes(m_sources / L"setup.qlx", kSuiteScript);
            m_engine->AddResource({{L"Source", L"setup.qlx"}});
        }
        if (engine)
            m_engine->AddResource({{L"Source", BesideProgram(L"REViziz.dll").c_str()}, {L"Namespace", L"REViziz.dll"}});
    }
    static CCondition* AddExtension(CConditionGroup& group, const wchar_t* namespaceUri, const wchar_t* name,
                                    const wchar_t* expect = nullptr, const wchar_t* extensionType = nullptr)
    {
        CCondition* condition = group.CreateCondition(ckExtension);
        condition->SetExtension(namespaceUri, name);
        condition->Attributes().SetAttribute(L"ExtType", extensionType ? extensionType : name);
        if (expect)
            condition->Attributes().SetAttribute(L"Expect", expect);
        return condition;
    }
    // A fresh engine staging into folder; the old one goes first.
    void StartOver(const TestFolder& folder)
    {
        m_engine = nullptr;
        m_engine = NewEngine();
        m_engine->SetSupportFolder(folder.path().c_str());
    }
    // The records of the loaded script-engine stand-in.
    std::wstring Records()
    {
        CResource* engine = m_engine->FindResourceByNamespace(L"REViziz.dll");
        return engine && engine->Module() ? ScriptStandInRecords(engine->Module()) : std::wstring();
    }

    TestFolder m_sources;
    TestFolder m_staging;
    std::wstring m_previousFolder;
    com::ComPtr<CSetupEngine> m_engine;
    TraceCapture m_trace;
};

TEST_F(ExtensionConditions, DllEntriesOfBothConventionsValidateAndAnswer)
{
    AddDllResource(L"urn:checks");
    const struct {
        const wchar_t* name;
        const wchar_t* expect;
        bool result;
    } cases[] = {
        {L"Std", L"yes", true},  {L"Std", L"no", false},   {L"Std", nullptr, false},
        {L"Cdecl", L"yes", true}, {L"Cdecl", L"no", false}, {L"Loose", nullptr, false}, // 1 is not VARIANT_TRUE
    };
    for (const auto& c : cases) {
        CConditionGroup tree;
        tree.SetKind(cgkAll);
        CCondition* condition = AddExtension(tree, L"urn:checks", c.name, c.expect);
        ASSERT_NE(condition, nullptr);
        EXPECT_EQ(condition->Validate(), S_OK) << c.name;
        bool result = !c.result;
        EXPECT_EQ(condition->Evaluate(&result), S_OK) << c.name;
        EXPECT_EQ(result, c.result) << c.name << (c.expect ? c.expect : L"");
    }
    const std::wstring trace = m_trace.Messages();
    EXPECT_NE(trace.find(L"(Extension condition): Std validated"), std::wstring::npos) << trace;
    EXPECT_NE(trace.find(L"(Extension condition): Cdecl validated"), std::wstring::npos) << trace;
}

TEST_F(ExtensionConditions, LookUpFailuresFailValidation)
{
    AddDllResource(L"urn:checks");
    m_engine->AddResource({{L"Source", (m_sources / L"notes.txt").c_str()}, {L"Namespace", L"urn:notes"}});
    WriteBytes(m_sources / L"notes.txt", "not a module");
    const struct {
        const wchar_t* namespaceUri;
        const wchar_t* name;
        HRESULT validation;
        const wchar_t* line;
        HRESULT evaluation; // the handler made at validation stays
    } cases[] = {
        {L"urn:nowhere", L"Std", E_FAIL, L"Extension handler: error 0x80004005 trying to get validator", E_FAIL},
        {L"urn:checks", L"Lonely", kProcedureNotFound,
         L"Validation function entry point 'Lonely_Validate' not found for extension condition in DLL", S_OK},
        {L"urn:notes", L"Std", static_cast<HRESULT>(0x8007007E),
         L"Extension resource for entry point 'Std' failed to load or is not a DLL (validate)",
         static_cast<HRESULT>(0x8007007E)},
    };
    for (const auto& c : cases) {
        CConditionGroup tree;
        CCondition* condition = AddExtension(tree, c.namespaceUri, c.name);
        EXPECT_EQ(condition->Validate(), c.validation) << c.name;
        EXPECT_NE(m_trace.Messages().find(c.line), std::wstring::npos) << c.line;
        bool result = false;
        EXPECT_EQ(condition->Evaluate(&result), c.evaluation) << c.name;
        EXPECT_EQ(result, SUCCEEDED(c.evaluation)) << c.name;
    }
}

TEST_F(ExtensionConditions, WithoutValidationThereIsNoHandler)
{
    AddDllResource(L"urn:checks");
    CConditionGroup tree;
    CCondition* condition = AddExtension(tree, L"urn:checks", L"Std", L"yes");
    bool result = true;
    EXPECT_EQ(condition->Evaluate(&result), E_FAIL);
    EXPECT_NE(m_trace.Messages().find(L"Unable to evaluate extension condition 'urn:checks:Std', no handler available"),
              std::wstring::npos);
}

TEST_F(ExtensionConditions, AFaultInTheEvaluatorFailsTheConditionAndTheSuiteGoesOn)
{
    AddDllResource(L"urn:checks");
    CConditionGroup tree;
    tree.SetKind(cgkAny);
    AddExtension(tree, L"urn:checks", L"Fault");
    AddExtension(tree, L"urn:checks", L"Std", L"yes");
    EXPECT_EQ(tree.Validate(), S_OK);
    for (int round = 0; round < 2; ++round) {
        bool result = true;
        EXPECT_EQ(tree.Evaluate(&result), E_FAIL);
    }
    CConditionGroup crashing;
    EXPECT_EQ(AddExtension(crashing, L"urn:checks", L"Crash")->Validate(), E_FAIL);

    const std::wstring trace = m_trace.Messages();
    EXPECT_NE(trace.find(L"Extension: unhandled exception from DLL extension evaluation entry point"),
              std::wstring::npos);
    EXPECT_NE(trace.find(L"Extension: unhandled exception from DLL extension validate entry point"),
              std::wstring::npos);
    EXPECT_NE(trace.find(L"Extension condition evaluation failed with status 80004005"), std::wstring::npos);

    CConditionGroup next;
    next.SetKind(cgkAll);
    AddExtension(next, L"urn:checks", L"Std", L"yes");
    EXPECT_EQ(next.Validate(), S_OK);
    bool result = false;
    EXPECT_EQ(next.Evaluate(&result), S_OK);
    EXPECT_TRUE(result);
}

TEST_F(ExtensionConditions, ScriptEntriesAnswerByTheirResultType)
{
    AddScriptResources();
    const struct {
        const wchar_t* name;
        const wchar_t* expect;
        HRESULT validation;
        HRESULT evaluation;
        bool result;
    } cases[] = {
        {L"Five", nullptr, S_OK, S_OK, true},
        {L"Text", nullptr, S_OK, DISP_E_TYPEMISMATCH, false},
        {L"Zero", nullptr, S_OK, S_OK, false},
        {L"Bool", L"yes", S_OK, S_OK, true},
        {L"Bool", L"no", S_OK, S_OK, false},
        {L"Refuse", nullptr, E_FAIL, E_FAIL, false},
    };
    for (const auto& c : cases) {
        CConditionGroup tree;
        CCondition* condition = AddExtension(tree, L"REViziz.dll", c.name, c.expect);
        EXPECT_EQ(condition->Validate(), c.validation) << c.name;
        if (FAILED(c.validation))
            continue;
        bool result = !c.result;
        EXPECT_EQ(condition->Evaluate(&result), c.evaluation) << c.name;
        EXPECT_EQ(result, c.result) << c.name;
    }
    EXPECT_NE(m_trace.Messages().find(L"(Extension condition): five validated"), std::wstring::npos);
    EXPECT_NE(Records().find(L"absent=[]"), std::wstring::npos) << Records();

    // A script extension by its type, in a namespace of another name.
    m_engine->AddResource({{L"Source", BesideProgram(L"REViziz.dll").c_str()}, {L"Namespace", L"urn:script"}});
    CConditionGroup tree;
    CCondition* condition = AddExtension(tree, L"urn:script", L"Five", nullptr, L"Nimbrel:Five");
    EXPECT_EQ(condition->Validate(), S_OK);
    bool result = false;
    EXPECT_EQ(condition->Evaluate(&result), S_OK);
    EXPECT_TRUE(result);
}

TEST_F(ExtensionConditions, TheScriptConnectionEndsWithItsTree)
{
    AddScriptResources();
    const LONG locks = com::ThisModule().LockCount();
    {
        CConditionGroup tree;
        tree.SetKind(cgkAll);
        AddExtension(tree, L"REViziz.dll", L"Five");
        EXPECT_EQ(tree.Validate(), S_OK);
        bool result = false;
        EXPECT_EQ(tree.Evaluate(&result), S_OK);
        EXPECT_TRUE(result);
        EXPECT_EQ(com::ThisModule().LockCount(), locks + 1);
    }
    EXPECT_EQ(com::ThisModule().LockCount(), locks);
    const std::wstring records = Records();
    EXPECT_NE(records.find(L"init\nset\nabsent=[]\nrevoke\nrevoke\nuninit\n"), std::wstring::npos) << records;
    EXPECT_NE(records.find(L"engine released"), std::wstring::npos) << records;
}

TEST_F(ExtensionConditions, AScriptWithoutItsResourcesFailsValidation)
{
    const struct {
        bool runtime;
        bool script;
        bool engine;
        const wchar_t* line;
    } cases[] = {
        {false, true, true, L"Extension: failed to get KRRT.dll resource, error 0x80070002"},
        {true, false, true, L"Extension: failed to get setup.qlx resource, error 0x80070002"},
        {true, true, false, L"Extension: the script engine resource is missing or not loaded"},
    };
    for (const auto& c : cases) {
        TestFolder staging;
        StartOver(staging);
        AddScriptResources(c.runtime, c.script, c.engine);
        {
            CConditionGroup tree;
            CCondition* condition = AddExtension(tree, L"REViziz.dll", L"Five");
            EXPECT_EQ(condition->Validate(), E_FAIL) << c.line;
            EXPECT_NE(m_trace.Messages().find(c.line), std::wstring::npos) << c.line;
        }
        m_engine = nullptr;
    }
    // A script type in a namespace whose resource is no module.
    TestFolder staging;
    StartOver(staging);
    AddScriptResources(true, true, false);
    WriteBytes(m_sources / L"engine.txt", "not a module");
    m_engine->AddResource({{L"Source", L"engine.txt"}, {L"Namespace", L"urn:script"}});
    {
        CConditionGroup tree;
        CCondition* condition = AddExtension(tree, L"urn:script", L"Five", nullptr, L"Nimbrel:Five");
        EXPECT_EQ(condition->Validate(), E_FAIL);
    }
    m_engine = nullptr;
}

TEST_F(ExtensionConditions, SetupXmlElementsInANamespaceOfTheirOwnAreExtensionConditions)
{
    const std::wstring dll = BesideProgram(L"ConditionExtension.dll");
    const std::string setupXml =
        "<?xml version=\"1.0\"?><Setup xmlns=\"korvanstilmer/2018/bootstrap\" SuiteId=\"ExtensionConditionSuite\">"
        "<Resources><Resource Source=\"" + std::string(dll.begin(), dll.end()) + "\" Namespace=\"urn:checks\"/></Resources>"
        "<SetProperty Name=\"Checked\" Value=\"yes\"><When><All><c:Std xmlns:c=\"urn:checks\" Expect=\"yes\"/>"
        "</All></When></SetProperty>"
        "<SetProperty Name=\"Refused\" Value=\"yes\"><When><All><c:Cdecl xmlns:c=\"urn:checks\" Expect=\"no\"/>"
        "</All></When></SetProperty></Setup>";
    WriteBytes(m_sources / L"setup.xml", setupXml);
    com::Bstr line(L"/silent /f3:" + (m_sources / L"setup.xml"));
    bool exitNow = true;
    ASSERT_EQ(m_engine->Initialize(line.Get(), &exitNow), S_OK) << m_trace.Messages();
    EXPECT_EQ(std::wstring(m_engine->GetProperty(L"Checked").c_str()), L"yes");
    EXPECT_EQ(std::wstring(m_engine->GetProperty(L"Refused").c_str()), L"");
    EXPECT_NE(m_trace.Messages().find(L"(Extension condition): Std validated"), std::wstring::npos);
}

} // namespace
