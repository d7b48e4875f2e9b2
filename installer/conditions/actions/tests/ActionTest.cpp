// Suite actions: their attributes and code lists, CallExe against a program
// that exits with the code it is told, and the proxy-called kinds against a
// recording stand-in of the proxy calls.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ParcelTestSupport.h"
#include "actions/Action.h"
#include "actions/ActionCallClr.h"
#include "actions/ActionCallExe.h"
#include "actions/ActionEngine.h"

using namespace parcel_testing;
using testing_support::TraceCapture;

namespace {

constexpr HRESULT kFailed = static_cast<HRESULT>(0x80070643);
constexpr HRESULT kCancelled = static_cast<HRESULT>(0x80070642);
constexpr HRESULT kReboot = static_cast<HRESULT>(0x80070BC2);

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\'));
}

// What the proxy was asked, one line per call, and what it answers.
struct ProxyScript {
    std::vector<std::wstring> calls;
    LONG answer = 0;
};

class RecordingProxyCalls : public IActionProxyCalls {
public:
    explicit RecordingProxyCalls(ProxyScript& script) : m_script(script) {}

    LONG CallDll(const _stringx& dll, const _stringx& entry, CParcel* parcel, bool elevated) override
    {
        return Record(L"CallDll|" + Text(dll) + L"|" + Text(entry) + Tail(parcel, elevated));
    }
    LONG CallPowerShell(const _stringx& halvecall, const _stringx& script, CParcel* parcel, bool elevated) override
    {
        return Record(L"CallPowerShell|" + Text(halvecall) + L"|" + Text(script) + Tail(parcel, elevated));
    }
    LONG CallClr(const _stringx& halvecall, const _stringx& file, const _stringx& name, const _stringx& arguments,
                 CParcel* parcel, bool elevated) override
    {
        return Record(L"CallClr|" + Text(halvecall) + L"|" + Text(file) + L"|" + Text(name) + L"|" + Text(arguments) +
                      Tail(parcel, elevated));
    }
    LONG CallQuillex(const _stringx& folder, const _stringx& function, CParcel* parcel, bool elevated, bool debug,
                     const _stringx& symbols) override
    {
        return Record(L"CallQuillex|" + Text(folder) + L"|" + Text(function) + Tail(parcel, elevated) +
                      (debug ? L"|debug|" : L"|nodebug|") + Text(symbols));
    }

private:
    static std::wstring Text(const _stringx& text) { return text.c_str(); }
    static std::wstring Tail(CParcel* parcel, bool elevated)
    {
        return std::wstring(parcel ? L"|parcel" : L"|suite") + (elevated ? L"|elevated" : L"|plain");
    }
    LONG Record(std::wstring call)
    {
        m_script.calls.push_back(std::move(call));
        return m_script.answer;
    }

    ProxyScript& m_script;
};

// The engine's services with the actions' own reach: a staging folder, a
// setup stream that may hold the managed-code DLL, and the proxy stand-in.
class FakeActionEngine : public FakeEngineServices, public IActionEngine {
public:
    _stringx GetStagingFolder() override { return stagingFolder; }
    bool ExtractStreamFile(const _stringx& name, const _stringx& path) override
    {
        extracted.push_back(std::wstring(name.c_str()) + L"->" + path.c_str());
        return streamHoldsHalvecall && name == L"Halvecall.dll";
    }
    bool IsScriptDebugging() override { return scriptDebugging; }
    _stringx GetSymbolPath() override { return symbolPath; }
    std::unique_ptr<IActionProxyCalls> NewProxyCalls() override
    {
        ++proxiesMade;
        return std::make_unique<RecordingProxyCalls>(proxy);
    }

    _stringx stagingFolder = L"C:\\Staging";
    bool streamHoldsHalvecall = false;
    bool scriptDebugging = false;
    _stringx symbolPath;
    std::vector<std::wstring> extracted;
    ProxyScript proxy;
    int proxiesMade = 0;
};

using Attributes = std::vector<std::pair<std::wstring, std::wstring>>;

std::unique_ptr<CAction> MakeAction(const wchar_t* element, const Attributes& attributes)
{
    std::unique_ptr<CAction> action = CreateSuiteAction(element);
    if (!action)
        return nullptr;
    for (const auto& [name, value] : attributes)
        action->SetAttribute(name.c_str(), value.c_str());
    action->InitDefaults();
    return action;
}

class Actions : public ::testing::Test {
protected:
    Actions() { engine.setupEngine.store.SetAttribute(L"StandIn", (OwnFolder() + L"\\launcher_exit_standin.exe").c_str()); }

    // A waiting CallExe of the stand-in with these arguments and attributes.
    HRESULT RunStandIn(const wchar_t* exitCode, Attributes more = {})
    {
        Attributes attributes = {{L"Id", L"Exe"}, {L"File", L"[StandIn]"}, {L"Arguments", exitCode},
                                 {L"WaitForExit", L"Yes"}};
        attributes.insert(attributes.end(), more.begin(), more.end());
        return MakeAction(L"CallExe", attributes)->Execute(nullptr);
    }

    FakeActionEngine engine;
};

TEST(ActionCodes, ListsAndDefaults)
{
    const struct {
        const wchar_t* value;
        std::vector<DWORD> codes;
    } lists[] = {
        {L"", {}},
        {L"1,2", {1, 2}},
        {L"1,,2", {1, 0, 2}},
        {L"5,", {5}},
        {L",5", {0, 5}},
        {L"abc", {0}},
        {L" \t7x \n, 8", {7, 8}},
        {L"-1", {0xFFFFFFFF}},
        {L"3010", {3010}},
    };
    for (const auto& c : lists)
        EXPECT_EQ(ParseActionCodeList(c.value), c.codes) << c.value;

    // Repeated attributes append.
    auto action = MakeAction(L"CallExe", {{L"IgnoreCode", L"1"}, {L"ignorecode", L"2,3"}});
    EXPECT_EQ(action->IgnoreCodes(), (std::vector<DWORD>{1, 2, 3}));

    TraceCapture trace;
    const struct {
        const wchar_t* value;
        int code;
    } defaults[] = {{L"ignore", adcIgnore}, {L"REBOOT", adcReboot}, {L"Cancel", adcCancel}, {L"Later", adcAbort}};
    for (const auto& c : defaults)
        EXPECT_EQ(MakeAction(L"CallExe", {{L"Id", L"X"}, {L"DefaultCode", c.value}})->DefaultCode(), c.code);
    EXPECT_NE(trace.Messages().find(
                  L"Suite action 'X' has invalid default error code processing value (Later), ignoring and setting "
                  L"to abort"),
              std::wstring::npos);

    EXPECT_EQ(MakeAction(L"CallExe", {{L"ExecutionLevel", L"admin"}})->ExecutionLevel(), aelAdmin);
    EXPECT_EQ(MakeAction(L"CallExe", {{L"ExecutionLevel", L"Root"}})->ExecutionLevel(), aelInvoker);
    EXPECT_NE(trace.Messages().find(L"Invalid execution level attribute value specified (Root), will default to invoker"),
              std::wstring::npos);
}

TEST(ActionKinds, ElementNamesAndTheirSettings)
{
    for (const wchar_t* name : {L"CallExe", L"CallDll", L"CallPowerShell", L"CallQuillex", L"SetProperty", L"CallClr"})
        EXPECT_NE(CreateSuiteAction(name), nullptr) << name;
    for (const wchar_t* name : {L"callexe", L"CALLDLL", L"Run", L""})
        EXPECT_EQ(CreateSuiteAction(name), nullptr) << name;

    auto exe = MakeAction(L"CallExe", {{L"Window", L"hide"}, {L"Verb", L"runas"}, {L"Extra", L"kept"}});
    auto& callExe = static_cast<CActionCallExe&>(*exe);
    EXPECT_FALSE(callExe.WaitsForExit());
    EXPECT_EQ(callExe.ShowCommand(), SW_HIDE);
    EXPECT_STREQ(callExe.Verb().c_str(), L"runas");
    // Attributes the action does not know go into its bag.
    EXPECT_STREQ(exe->GetAttribute(L"Extra").c_str(), L"kept");
    const struct {
        const wchar_t* window;
        int show;
    } windows[] = {{L"Normal", SW_SHOWNORMAL}, {L"Maximize", SW_MAXIMIZE}, {L"Show", SW_SHOW}, {L"Tiny", SW_SHOW}};
    for (const auto& c : windows)
        EXPECT_EQ(static_cast<CActionCallExe&>(*MakeAction(L"CallExe", {{L"Window", c.window}})).ShowCommand(), c.show);

    auto clr = MakeAction(L"CallClr", {{L"Name", L"Type.Method"}});
    EXPECT_STREQ(static_cast<CActionCallClr&>(*clr).Name().c_str(), L"Type.Method");
}

TEST(ActionKinds, ProxyCalledKindsUseFixedLists)
{
    const struct {
        const wchar_t* element;
        DWORD refused;
    } kinds[] = {
        {L"CallDll", 0x80040715}, {L"CallQuillex", 0x80040715}, {L"CallPowerShell", 0x80040716}, {L"CallClr", 0x8004071C}};
    for (const auto& kind : kinds) {
        auto action = MakeAction(kind.element, {{L"IgnoreCode", L"1603"}, {L"DefaultCode", L"Ignore"}, {L"RebootCode", L"7"}});
        EXPECT_EQ(action->DefaultCode(), adcAbort) << kind.element;
        EXPECT_EQ(action->IgnoreCodes(), (std::vector<DWORD>{0})) << kind.element;
        EXPECT_EQ(action->CancelCodes(), (std::vector<DWORD>{0x80070642, 1602, 0x80004004})) << kind.element;
        EXPECT_EQ(action->AbortCodes(), (std::vector<DWORD>{0x80070643, 1603, 0x80004005, kind.refused}))
            << kind.element;
        EXPECT_EQ(action->RebootCodes(), (std::vector<DWORD>{0x80070669, 1641, 0x80070BC2, 3010})) << kind.element;
    }
}

TEST_F(Actions, CallExeTable)
{
    const struct {
        const wchar_t* exitCode;
        Attributes attributes;
        HRESULT result;
    } cases[] = {
        {L"0", {}, S_OK},
        {L"7", {}, kFailed},
        {L"1", {{L"IgnoreCode", L"1,2"}}, S_OK},
        {L"2", {{L"IgnoreCode", L"1,2"}}, S_OK},
        // The lists come before the rule for 0.
        {L"0", {{L"AbortCode", L"0"}}, kFailed},
        {L"7", {{L"DefaultCode", L"REBOOT"}}, kReboot},
        {L"7", {{L"DefaultCode", L"Later"}}, kFailed},
        {L"7", {{L"DefaultCode", L"ignore"}}, S_OK},
        {L"0", {{L"IgnoreCode", L"1,,2"}, {L"AbortCode", L"0"}}, S_OK},
        {L"5", {{L"CancelCode", L"5,"}}, kCancelled},
        {L"0", {{L"AbortCode", L"abc"}}, kFailed},
        // Whole exit codes arrive, not their low byte.
        {L"3010", {{L"RebootCode", L"3010"}}, kReboot},
        {L"1602", {{L"CancelCode", L"1602"}}, kCancelled},
        {L"3010", {{L"RebootCode", L"194"}, {L"DefaultCode", L"Ignore"}}, S_OK},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunStandIn(c.exitCode, c.attributes), c.result) << c.exitCode << " " << c.attributes.size();
}

TEST_F(Actions, CallExeWithoutWaiting)
{
    TraceCapture trace;
    auto started = MakeAction(L"CallExe", {{L"Id", L"Go"}, {L"File", L"[StandIn]"}, {L"Arguments", L"7"}});
    EXPECT_EQ(started->Execute(nullptr), S_OK);
    auto missing = MakeAction(L"CallExe", {{L"Id", L"Gone"}, {L"File", L"[StandIn].missing.exe"}});
    EXPECT_EQ(missing->Execute(nullptr), kFailed);
    const std::wstring log = trace.Messages();
    EXPECT_NE(log.find(L"Launching EXE action (no wait) 'Go', file '"), std::wstring::npos);
    EXPECT_NE(log.find(L"EXE (non-elevated) launch failed with status 0x8007"), std::wstring::npos);
    EXPECT_NE(log.find(L"EXE for action 'Gone' returned value 0x80040714"), std::wstring::npos);
}

TEST_F(Actions, CallExeExpandsFileAndArgumentsForTheParcelOrTheSuite)
{
    engine.setupEngine.store.SetAttribute(L"Code", L"4");
    const Attributes attributes = {{L"File", L"[StandIn]"}, {L"Arguments", L"[Code]"}, {L"WaitForExit", L"yes"},
                                   {L"IgnoreCode", L"3"}};
    auto action = MakeAction(L"CallExe", attributes);
    EXPECT_EQ(action->Execute(nullptr), kFailed);
    // The parcel's own attribute wins over the engine property.
    com::ComPtr<CParcel> parcel = MakeParcel(L"P");
    parcel->SetAttribute(L"Code", L"3");
    EXPECT_EQ(action->Execute(parcel.Get()), S_OK);
}

TEST_F(Actions, AdminCallExeGoesThroughTheElevatedProxyOnlyWhenNotElevated)
{
    engine.elevatedLaunch = [](CProxyExeCallbackWrapper& callbacks) {
        // The action answers no call-back itself.
        EXPECT_EQ(callbacks.OnQueryValue(nullptr), -1);
        return 3010;
    };
    const Attributes admin = {{L"Id", L"Up"}, {L"File", L"[StandIn]"}, {L"Arguments", L"0"},
                              {L"WaitForExit", L"yes"}, {L"ExecutionLevel", L"Admin"}, {L"Window", L"Hide"},
                              {L"RebootCode", L"3010"}};
    engine.elevated = false;
    EXPECT_EQ(MakeAction(L"CallExe", admin)->Execute(nullptr), kReboot);
    ASSERT_EQ(engine.elevatedLaunches.size(), 1u);
    EXPECT_EQ(engine.elevatedLaunches[0], OwnFolder() + L"\\launcher_exit_standin.exe|0||0|wait");

    engine.elevated = true;
    EXPECT_EQ(MakeAction(L"CallExe", admin)->Execute(nullptr), S_OK);
    EXPECT_EQ(engine.elevatedLaunches.size(), 1u);
}

TEST_F(Actions, CallDllMapsThroughItsFixedLists)
{
    engine.setupEngine.store.SetAttribute(L"Dir", L"C:\\Ext");
    const Attributes attributes = {{L"Id", L"Dll"}, {L"File", L"[Dir]\\ext.dll"}, {L"Arguments", L"Entry[Dir]"},
                                   {L"IgnoreCode", L"1603"}, {L"DefaultCode", L"Ignore"},
                                   {L"ExecutionLevel", L"Admin"}};
    auto action = MakeAction(L"CallDll", attributes);
    const struct {
        LONG answer;
        HRESULT result;
    } cases[] = {
        {1603, kFailed},
        {3010, kReboot},
        {static_cast<LONG>(0x80004004), kCancelled},
        {0, S_OK},
        {42, kFailed},
    };
    engine.elevated = false;
    for (const auto& c : cases) {
        engine.proxy.answer = c.answer;
        EXPECT_EQ(action->Execute(nullptr), c.result) << c.answer;
    }
    // The function name is not expanded; a fresh proxy caller serves each run.
    EXPECT_EQ(engine.proxy.calls.front(), L"CallDll|C:\\Ext\\ext.dll|Entry[Dir]|suite|elevated");
    EXPECT_EQ(engine.proxiesMade, 5);
}

TEST_F(Actions, ManagedCodeKindsNeedHalvecallFromTheStream)
{
    const Attributes powerShell = {{L"File", L"[Dir]\\setup.ps1"}, {L"Arguments", L"ignored"}};
    const Attributes clr = {{L"File", L"[Dir]\\lib.dll"}, {L"Name", L"Type.Run"}, {L"Arguments", L"[Dir]"}};
    engine.setupEngine.store.SetAttribute(L"Dir", L"C:\\Scripts");

    TraceCapture trace;
    EXPECT_EQ(MakeAction(L"CallPowerShell", powerShell)->Execute(nullptr), static_cast<HRESULT>(0x80040716));
    EXPECT_EQ(MakeAction(L"CallClr", clr)->Execute(nullptr), static_cast<HRESULT>(0x8004071C));
    EXPECT_TRUE(engine.proxy.calls.empty());
    const std::wstring log = trace.Messages();
    EXPECT_NE(log.find(L"Halvecall.dll not present on stream"), std::wstring::npos);
    EXPECT_NE(log.find(L"Can't run powershell action, halvecall.dll not present"), std::wstring::npos);
    EXPECT_NE(log.find(L"Can't run CLR action, halvecall.dll not present"), std::wstring::npos);
    EXPECT_EQ(engine.extracted.front(), L"Halvecall.dll->C:\\Staging\\Halvecall.dll");

    engine.streamHoldsHalvecall = true;
    engine.proxy.answer = static_cast<LONG>(0x80040716);
    EXPECT_EQ(MakeAction(L"CallPowerShell", powerShell)->Execute(nullptr), kFailed);
    engine.proxy.answer = 0;
    EXPECT_EQ(MakeAction(L"CallClr", clr)->Execute(nullptr), S_OK);
    const std::vector<std::wstring> calls = {
        L"CallPowerShell|C:\\Staging\\Halvecall.dll|C:\\Scripts\\setup.ps1|suite|plain",
        L"CallClr|C:\\Staging\\Halvecall.dll|C:\\Scripts\\lib.dll|Type.Run|[Dir]|suite|plain",
    };
    EXPECT_EQ(engine.proxy.calls, calls);
}

TEST_F(Actions, CallQuillexTakesTheEnginesScriptSettings)
{
    engine.scriptDebugging = true;
    engine.symbolPath = L"srv*C:\\Symbols";
    com::ComPtr<CParcel> parcel = MakeParcel(L"P");
    engine.proxy.answer = 1602;
    auto action = MakeAction(L"CallQuillex", {{L"File", L"unused"}, {L"Arguments", L"OnInstall[X]"}});
    EXPECT_EQ(action->Execute(parcel.Get()), kCancelled);
    EXPECT_EQ(engine.proxy.calls,
              (std::vector<std::wstring>{L"CallQuillex|C:\\Staging|OnInstall[X]|parcel|plain|debug|srv*C:\\Symbols"}));
}

TEST_F(Actions, SetPropertyNeedsAName)
{
    TraceCapture trace;
    EXPECT_EQ(MakeAction(L"SetProperty", {{L"Id", L"Nameless"}, {L"Value", L"x"}})->Execute(nullptr), S_FALSE);
    EXPECT_NE(trace.Messages().find(L"SetProperty action 'Nameless' has no property name"), std::wstring::npos);

    engine.setupEngine.store.SetAttribute(L"Product", L"Vantrel");
    EXPECT_EQ(MakeAction(L"SetProperty", {{L"Name", L"Plain"}, {L"Value", L"[Product] 2"}})->Execute(nullptr), S_OK);
    EXPECT_EQ(MakeAction(L"SetProperty", {{L"Name", L"Formatted"}, {L"Value", L"[Product] 2"},
                                          {L"FormatPropertyValue", L"YES"}})
                  ->Execute(nullptr),
              S_OK);
    EXPECT_STREQ(engine.setupEngine.store.GetAttribute(L"Plain").c_str(), L"[Product] 2");
    EXPECT_STREQ(engine.setupEngine.store.GetAttribute(L"Formatted").c_str(), L"Vantrel 2");
}

} // namespace
