#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <com/ComPtr.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "TestFolder.h"
#include "automation/TypeLibrary.h"
#include "parcels/MachineWorkers.h"
#include "parcels/ProxyHandler.h"
#include "support/ScriptStandIn.h"

using testing_support::BesideProgram;
using testing_support::ScriptStandInRecords;

namespace {

// The engine's extension object as the script sees it: its IDispatch is the
// type library's, and what it is asked to log is kept.
class LoggingExtension : public com::ObjectRoot, public com::DispatchImpl<ISuiteExtension> {
public:
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept
    {
        static const com::InterfaceEntry table[] = {
            com::InterfaceOf<LoggingExtension, ISuiteExtension>(IID_ISuiteExtension),
            com::InterfaceOf<LoggingExtension, ISuiteExtension>(IID_IDispatch),
        };
        return table;
    }
    std::vector<std::wstring> lines;

    STDMETHODIMP get_Attribute(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP LogInfo(BSTR text) override
    {
        lines.emplace_back(text ? text : L"");
        return S_OK;
    }
    STDMETHODIMP get_Property(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Property(BSTR, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP FormatProperty(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP ResolveString(BSTR, BSTR*) override { return E_NOTIMPL; }

protected:
    LoggingExtension() : com::DispatchImpl<ISuiteExtension>(TessarelTypeInfo<&IID_ISuiteExtension>()) {}
};

constexpr const char* kRuntime = R"(
var ext = null;
function __KRRTSuiteExtInit(context, folder) { Host.Record('init ' + folder); return 0; }
function __RevokeSuiteExtension() { ext = null; Host.Record('revoke'); }
function __KRRTSuiteExtUninit() { Host.Record('uninit'); }
)";
constexpr const char* kActions = R"(
function __SetSuiteExtension(e) { ext = e; }
function Seven(e) { e.LogInfo('seven ran'); return 7; }
function Words(e) { return 'done'; }
function Crash(e) { Host.Fault(); return 1; }
)";

// Request 14's work in the proxy, over the script-engine stand-in in a folder
// with the suite's script.
class ProxyScriptFunction : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        ASSERT_EQ(com::MakeObject(m_extension), S_OK);
        CopyFileW(BesideProgram(L"REViziz.dll").c_str(), (m_folder / L"REViziz.dll").c_str(), FALSE);
        m_engine = LoadLibraryW((m_folder / L"REViziz.dll").c_str());
        ASSERT_NE(m_engine, nullptr);
    }
    void TearDown() override
    {
        m_extension = nullptr;
        FreeLibrary(m_engine);
        CoUninitialize();
    }

    HRESULT Run(const std::string& script, const wchar_t* function, bool debug = false)
    {
        WriteBytes(m_folder / L"setup.qlx", script);
        QuillexCallData call;
        call.debug = debug ? 1 : 0;
        call.function = function;
        call.debug_text = L"symbols";
        CMachineWorkers workers;
        CProxyHandler pipe(nullptr, nullptr);
        return workers.RunQuillex(pipe, m_engine, (m_folder.path() + L"\\").c_str(), call, m_extension.Get());
    }

    TestFolder m_folder;
    HMODULE m_engine = nullptr;
    com::ComPtr<com::Object<LoggingExtension>> m_extension;
};

TEST_F(ProxyScriptFunction, TheFunctionsIntegerIsTheResult)
{
    EXPECT_EQ(Run(std::string(kRuntime) + kActions, L"Seven", true), static_cast<HRESULT>(7));
    EXPECT_EQ(m_extension->lines, std::vector<std::wstring>{L"seven ran"});
    const std::wstring records = ScriptStandInRecords(m_engine);
    EXPECT_NE(records.find(L"OpenScript " + m_folder.path() + L"\\setup.qlx\nStartDebugging symbols with context\n"
                           L"init " + m_folder.path() + L"\\\nrevoke\nuninit\n"),
              std::wstring::npos)
        << records;

    EXPECT_EQ(Run(std::string(kRuntime) + kActions, L"Words"), S_OK);
    EXPECT_EQ(Run(std::string(kRuntime) + kActions, L"Absent"), DISP_E_UNKNOWNNAME);
}

TEST_F(ProxyScriptFunction, AFailedSetUpInvokesNothing)
{
    // Without __SetSuiteExtension the runtime's set-up fails.
    EXPECT_EQ(Run(std::string(kRuntime) + "function Seven(e) { Host.Record('seven'); return 7; }", L"Seven"),
              DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ScriptStandInRecords(m_engine).find(L"seven"), std::wstring::npos);
}

TEST_F(ProxyScriptFunction, AFaultInsideTheEngineEndsTheCallWithItsCode)
{
    EXPECT_EQ(Run(std::string(kRuntime) + kActions, L"Crash"), static_cast<HRESULT>(EXCEPTION_ACCESS_VIOLATION));
    ASSERT_EQ(m_extension->lines.size(), 2u);
    EXPECT_EQ(m_extension->lines[0].rfind(L"Exception caught while running script action, exception code 0xc0000005 at 0x", 0),
              0u);
    EXPECT_NE(m_extension->lines[1].find(L"REViziz.dll (base 0x"), std::wstring::npos) << m_extension->lines[1];
}

} // namespace
