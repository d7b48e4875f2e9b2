// The "Exe" handler against a stand-in package program: where it starts, with
// which command line, what its exit code becomes, what reboot work it leaves
// behind, and the elevated road.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "ParcelTestSupport.h"
#include "kr/reboot_exception.h"
#include "parcels/ExeParcelHandler.h"
#include "parcels/ParcelFactory.h"

using namespace parcel_testing;
using testing_support::TraceCapture;

namespace {

const wchar_t kRunOnce[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t kRunOnceValue[] = L"ParcelsExeTestValue";

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\'));
}

// A new empty folder under the temporary folder.
std::wstring NewFolder(const wchar_t* name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    std::wstring folder = std::wstring(temp) + L"parcels_" + name + L"_" + std::to_wstring(GetCurrentProcessId()) +
                          L"_" + std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void RemoveFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// The lines the stand-in wrote: "args=..." and "cwd=...", per start.
std::vector<std::wstring> StandInLog(const std::wstring& program)
{
    std::ifstream file((program + L".log").c_str(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end = text.find(L'\n'); end != std::wstring::npos; end = text.find(L'\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool SameFolder(const std::wstring& a, const std::wstring& b)
{
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

class ExeParcel : public ::testing::Test {
protected:
    void SetUp() override
    {
        initialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        package = NewFolder(L"pkg");
        program = package + L"\\setup.exe";
        ASSERT_TRUE(CopyFileW((OwnFolder() + L"\\parcel_package_standin.exe").c_str(), program.c_str(), FALSE));
        CParcel* made = nullptr;
        ASSERT_EQ(MakeParcelForElement(L"Exe", &made), S_OK);
        parcel = com::ComPtr<CParcel>::Adopt(made);
        parcel->SetAttribute(L"Id", L"Tool");
        parcel->LoadStateValue(CStateEntry(L"PackagePath", package.c_str()));
        sink = new DispatchSink(IID__IParcelEvents);
        AdviseParcelEvents(*parcel.Get(), sink);
    }

    void TearDown() override
    {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunOnce, kRunOnceValue);
        parcel.Reset();
        if (sink)
            sink->Release();
        RemoveFolder(package);
        if (initialized)
            CoUninitialize();
    }

    // Gives the parcel its operation and runs the handler as the parcel does.
    HRESULT RunOperation(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> attributes)
    {
        COperation* operation = parcel->AddOperation(MakeOperation(L"Install", attributes));
        parcel->Handler()->SetOperation(operation);
        return parcel->Handler()->Run();
    }

    int ExitCode()
    {
        int code = 0;
        EXPECT_EQ(parcel->get_ExitCode(&code), S_OK);
        return code;
    }

    std::vector<LONG> ParcelEventStates() const
    {
        std::vector<LONG> states;
        for (const SinkCall& call : sink->calls) {
            if (call.id == 1)
                states.push_back(std::stol(call.arguments[0].substr(3)));
        }
        return states;
    }

    bool initialized = false;
    FakeEngineServices engine;
    TraceCapture trace;
    std::wstring package;
    std::wstring program;
    com::ComPtr<CParcel> parcel;
    DispatchSink* sink = nullptr;
};

TEST_F(ExeParcel, RelativeTargetStartsInThePackageFolder)
{
    EXPECT_EQ(RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0 /install"}}), S_OK);
    const std::vector<std::wstring> log = StandInLog(program);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], L"args=exit:0 /install");
    EXPECT_TRUE(SameFolder(log[1], L"cwd=" + package)) << log[1];
    EXPECT_EQ(ParcelEventStates(), (std::vector<LONG>{eppsInstalling, eppsComplete}));
    EXPECT_NE(trace.Messages().find(L"Will launch exe: " + program), std::wstring::npos);
}

TEST_F(ExeParcel, AbsoluteTargetIsUsedUnchanged)
{
    const std::wstring elsewhere = NewFolder(L"abs");
    const std::wstring tool = elsewhere + L"\\tool.exe";
    ASSERT_TRUE(CopyFileW(program.c_str(), tool.c_str(), FALSE));
    EXPECT_EQ(RunOperation({{L"Target", tool.c_str()}, {L"CommandLine", L"exit:0"}}), S_OK);
    const std::vector<std::wstring> log = StandInLog(tool);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(SameFolder(log[1], L"cwd=" + elsewhere)) << log[1];
    EXPECT_TRUE(StandInLog(program).empty());
    RemoveFolder(elsewhere);
}

TEST_F(ExeParcel, MissingTargetIsNotLaunched)
{
    EXPECT_EQ(RunOperation({{L"Target", L"absent.exe"}}), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(ExitCode(), 0);
    EXPECT_EQ(ParcelEventStates(), std::vector<LONG>{eppsInstalling});
    EXPECT_NE(trace.Messages().find(L"Parcel target exe does not exist"), std::wstring::npos);
}

TEST_F(ExeParcel, WithoutOperationNothingHappens)
{
    EXPECT_EQ(parcel->Handler()->Run(), S_FALSE);
    EXPECT_TRUE(sink->calls.empty());
}

TEST_F(ExeParcel, ExitCodesAndRebootCodes)
{
    const struct {
        const wchar_t* rebootCodes;
        const wchar_t* commandLine;
        HRESULT run;
        HRESULT exitCode;
    } cases[] = {
        {L"3010", L"exit:3010", static_cast<HRESULT>(0x80070BC2), static_cast<HRESULT>(0x80070BC2)},
        {L"", L"exit:3010", S_OK, static_cast<HRESULT>(0x80070BC2)},
        {L"1641, 3010", L"exit:3010", static_cast<HRESULT>(0x80070BC2), static_cast<HRESULT>(0x80070BC2)},
        {L"3010", L"exit:1", S_OK, static_cast<HRESULT>(0x80070001)},
        {L"3010", L"exit:1603", S_OK, static_cast<HRESULT>(0x80070643)},
        {L"3010", L"exit:0", S_OK, S_OK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rebootCodes << L" / " << c.commandLine);
        parcel->SetAttribute(L"RebootCodes", c.rebootCodes);
        EXPECT_EQ(RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", c.commandLine}}), c.run);
        EXPECT_EQ(ExitCode(), c.exitCode);
    }
    EXPECT_NE(trace.Messages().find(L"Final result status for EXE parcel: 80070643"), std::wstring::npos);
}

TEST_F(ExeParcel, SilentRunsUseTheSilentCommandLine)
{
    engine.silent = true;
    RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:5"}, {L"Silent", L"exit:0 /quiet"}});
    RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:5"}});
    const std::vector<std::wstring> log = StandInLog(program);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], L"args=exit:0 /quiet");
    EXPECT_EQ(log[2], L"args=");
    EXPECT_EQ(ExitCode(), 0);
}

TEST_F(ExeParcel, LoggingCommandLineIsAppendedWhenPerParcelLoggingIsOn)
{
    parcel->SetAttribute(L"LogFile", L"tool.log");
    parcel->EnableLogging().SetAttribute(L"CommandLine", L"/log:[LogFile]");
    RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0"}});
    engine.logFolder = L"C:\\logs";
    RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0"}});
    engine.silent = true;
    RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0"}});
    parcel->EnableLogging();
    RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0"}});

    const std::vector<std::wstring> log = StandInLog(program);
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[0], L"args=exit:0");
    EXPECT_EQ(log[2], L"args=exit:0 /log:tool.log");
    EXPECT_EQ(log[4], L"args=/log:tool.log");
    EXPECT_EQ(log[6], L"args=");
    EXPECT_NE(trace.Messages().find(L"EXE parcel: empty log command line provided for parcel"), std::wstring::npos);
}

TEST_F(ExeParcel, HiddenValuesAreMaskedInTheTrace)
{
    engine.hidden = {L"Password"};
    engine.properties.SetAttribute(L"Password", L"hunter2");
    engine.setupEngine.store.SetAttribute(L"Password", L"hunter2");
    RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0 /pw:[Password]"}});
    EXPECT_EQ(StandInLog(program).at(0), L"args=exit:0 /pw:hunter2");
    const std::wstring messages = trace.Messages();
    EXPECT_NE(messages.find(L"EXE parcel command line: exit:0 /pw:[Password]"), std::wstring::npos);
    EXPECT_NE(messages.find(L"EXE parcel resolved command line: exit:0 /pw:**********"), std::wstring::npos);
    EXPECT_EQ(messages.find(L"hunter2"), std::wstring::npos);
}

TEST_F(ExeParcel, ARunOnceValueLeftBehindIsARebootStatus)
{
    auto* handler = dynamic_cast<CExeParcelHandler*>(parcel->Handler());
    ASSERT_NE(handler, nullptr);
    // Before any run there is no snapshot to compare with.
    EXPECT_FALSE(handler->IsRebootStatus());

    EXPECT_EQ(RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0"}}), S_OK);
    EXPECT_FALSE(handler->IsRebootStatus());
    EXPECT_EQ(RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0 runonce:ParcelsExeTestValue"}}),
              S_OK);
    EXPECT_TRUE(handler->IsRebootStatus());
    EXPECT_NE(trace.Messages().find(L"HKCU RunOnce key appears to have been updated, reboot is required"),
              std::wstring::npos);
    // The run itself judges by the exit code alone.
    EXPECT_FALSE(handler->IsRebootRequired(0, false));

    // A value that was there before the run is no sign.
    EXPECT_EQ(RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0"}}), S_OK);
    EXPECT_FALSE(handler->IsRebootStatus());
    // Nor is one removed meanwhile.
    RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0"}});
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunOnce, kRunOnceValue);
    EXPECT_FALSE(handler->IsRebootStatus());
}

TEST_F(ExeParcel, ParcelRunAppliesTheRebootRequest)
{
    parcel->SetAttribute(L"RebootCodes", L"3010");
    parcel->AddOperation(MakeOperation(
        L"Install", {{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:3010"}, {L"RebootRequest", L"DetectIgnore"}}));
    parcel->ApplyFeatureRequest(1);
    EXPECT_EQ(parcel->Run(), S_OK);
    EXPECT_EQ(ExitCode(), static_cast<HRESULT>(0x80070BC2));

    // The default request ends the run with a reboot.
    CParcel* made = nullptr;
    ASSERT_EQ(MakeParcelForElement(L"exe", &made), S_OK);
    auto other = com::ComPtr<CParcel>::Adopt(made);
    other->SetAttribute(L"Id", L"Other");
    other->SetAttribute(L"RebootCodes", L"3010");
    other->AddOperation(MakeOperation(L"Install", {{L"Target", program.c_str()}, {L"CommandLine", L"exit:3010"}}));
    other->ApplyFeatureRequest(1);
    bool rebooted = false;
    try {
        other->Run();
    } catch (const reboot_exception& reboot) {
        rebooted = !reboot.restart_now();
    }
    EXPECT_TRUE(rebooted);
}

TEST_F(ExeParcel, AProgramThatCannotStartIsItsStatus)
{
    const std::wstring broken = package + L"\\broken.exe";
    std::ofstream(broken.c_str()) << "not a program";
    EXPECT_EQ(RunOperation({{L"Target", L"broken.exe"}, {L"CommandLine", L"exit:0"}}), S_OK);
    const int status = ExitCode();
    EXPECT_LT(status, 0);
    EXPECT_EQ(HRESULT_FACILITY(status), FACILITY_WIN32);
    EXPECT_EQ(ParcelEventStates(), (std::vector<LONG>{eppsInstalling, eppsComplete}));
}

TEST_F(ExeParcel, ElevationRequiredGoesToTheElevatedProxy)
{
    parcel->SetAttribute(L"Elevation", L"required");
    engine.elevated = false;
    LONG callbackAnswer = 1;
    LONG finishedAnswer = 1;
    engine.elevatedLaunch = [&](CProxyExeCallbackWrapper& callbacks) {
        const BYTE payload[4] = {};
        EXPECT_EQ(callbacks.OnCallback(nullptr, payload), -1);
        callbackAnswer = callbacks.OnQueryValue(nullptr);
        finishedAnswer = callbacks.OnProcessFinished(nullptr);
        return 233; // no proxy
    };
    EXPECT_EQ(RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0 /elevated"}}), S_OK);
    ASSERT_EQ(engine.elevatedLaunches.size(), 1u);
    EXPECT_EQ(engine.elevatedLaunches[0], program + L"|exit:0 /elevated||1|wait");
    EXPECT_EQ(callbackAnswer, 0);
    EXPECT_EQ(finishedAnswer, 0);
    EXPECT_EQ(ExitCode(), static_cast<HRESULT>(0x800700E9));
    EXPECT_TRUE(StandInLog(program).empty());

    bool progress = false;
    for (const SinkCall& call : sink->calls) {
        if (call.id == 2) {
            progress = true;
            EXPECT_EQ(call.arguments, (std::vector<std::wstring>{L"BSTR:", L"I4:0", L"I4:0", L"I4:0", L"BOOL*"}));
        }
    }
    EXPECT_TRUE(progress);

    // An elevated launcher starts the program itself.
    engine.elevated = true;
    EXPECT_EQ(RunOperation({{L"Target", L"setup.exe"}, {L"CommandLine", L"exit:0"}}), S_OK);
    EXPECT_EQ(engine.elevatedLaunches.size(), 1u);
    EXPECT_EQ(StandInLog(program).size(), 2u);
}

} // namespace
