// Tessarel.exe updating itself as a real process: the signed launcher with a
// packed suite whose UpdateUrl names the test web server, started from a
// download folder, silently or with the stand-in user interface that logs
// the events it receives and cancels where its script says; what the server
// offers decides whether the update stand-in takes over the run. Exit codes
// are read with GetExitCodeProcess.

#include <winsock2.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "LauncherProcess.h"
#include "Relay.h"
#include "TestFolder.h"
#include "WebServer.h"

namespace {

constexpr wchar_t kLocation[] = L"update-suite";

// The value of a "key=value" line of the stand-in's report.
std::string ReportValue(const std::string& report, const std::string& key)
{
    const std::string lines = "\n" + report;
    size_t start = lines.find("\n" + key + "=");
    if (start == std::string::npos)
        return "(none)";
    start += key.size() + 2;
    return lines.substr(start, lines.find('\n', start) - start);
}

std::wstring Leaf(const std::wstring& path)
{
    return path.substr(path.rfind(L'\\') + 1);
}

// The names of the files and folders in a folder.
std::vector<std::wstring> Entries(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (std::wstring(found.cFileName) != L"." && std::wstring(found.cFileName) != L"..")
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

struct UpdateRow {
    const char* name;
    const wchar_t* standin;  // served as the update
    bool cutDownload;        // the update's address goes through a relay that cuts every connection
    bool updatedFromEntry;   // the launcher is started with -updated_from: naming the entry
    DWORD exitCode;
    bool standinRuns;
    bool suiteInstalls;      // the suite's own package ran
    const wchar_t* traced;   // a line of the run's trace
    const char* uiScript;    // the stand-in user interface's script; none: a silent run
    std::vector<int> updateStates; // the bootstrap states the user interface sees from the update's first on
};

constexpr int kShowDownloadUpdateUI = 14;

// The states of the OnBootstrapEvent lines of the stand-in user interface's
// log, from the first update state on, as many as expected.
std::vector<int> UpdateStates(const std::string& log, size_t count)
{
    std::vector<int> states;
    const std::string marker = "event OnBootstrapEvent I4:";
    for (size_t at = log.find(marker); at != std::string::npos && states.size() < count;
         at = log.find(marker, at + 1)) {
        const int state = std::atoi(log.c_str() + at + marker.size());
        if (!states.empty() || state == kShowDownloadUpdateUI)
            states.push_back(state);
    }
    return states;
}

void PrintTo(const UpdateRow& row, std::ostream* out)
{
    *out << row.name;
}

class UpdateProcess : public ::testing::TestWithParam<UpdateRow> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.available()) << "KR_WEB_SERVER names no running fixture";
        served = server.Root() + L"\\" + kLocation;
        RemoveTree(served);
        MakeFolder(served);
        MakeFolder(served + L"\\v2");
        // The launcher's temporary copies, staging and download folders stay in this test's folder.
        temp = folder / L"temp";
        MakeFolder(temp);
        SetEnvironmentVariableW(L"TMP", temp.c_str());
        SetEnvironmentVariableW(L"TEMP", temp.c_str());
        SetEnvironmentVariableW(L"UPDATE_STANDIN_REPORT", report.c_str());
        SetEnvironmentVariableW(L"UPDATE_STANDIN_MUTEX", UPDATE_SUITE_ID);
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"TMP", originalTmp.c_str());
        SetEnvironmentVariableW(L"TEMP", originalTemp.c_str());
        SetEnvironmentVariableW(L"UPDATE_STANDIN_REPORT", nullptr);
        SetEnvironmentVariableW(L"UPDATE_STANDIN_MUTEX", nullptr);
        SetEnvironmentVariableW(L"SUITE_UI_SCRIPT", nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Korvanstilmer\\SuiteInstallers\\") +
                                           UPDATE_SUITE_ID).c_str());
        RemoveTree(served);
    }

    std::wstring Address(const std::wstring& path, unsigned short port = 0) const
    {
        return L"http://127.0.0.1:" + std::to_wstring(port ? port : server.http_port()) + L"/" + kLocation + path;
    }
    // A description with one entry of version 2.0 for the suite, and the stand-in at the entry's address.
    void ServeUpdate(const std::wstring& standin, const std::wstring& entryUrl)
    {
        WriteBytes(served + L"\\krupdate.xml",
                   "<Metadata xmlns=\"korvanstilmer/2014/update\"><Update Id=\"" + Narrow(UPDATE_SUITE_ID) +
                       "\" Version=\"2.0\" Url=\"" + Narrow(entryUrl) + "\"/></Metadata>");
        ASSERT_TRUE(CopyFileW((ProgramFolder() + L"update_signed\\" + standin).c_str(),
                              (served + L"\\v2\\setup.exe").c_str(), FALSE));
    }

    static std::wstring Environment(const wchar_t* name)
    {
        wchar_t value[MAX_PATH] = {};
        GetEnvironmentVariableW(name, value, MAX_PATH);
        return value;
    }

    WebServer server;
    TestFolder folder;
    std::wstring originalTmp = Environment(L"TMP");
    std::wstring originalTemp = Environment(L"TEMP");
    std::wstring served;
    std::wstring temp;
    std::wstring report = folder / L"standin.txt";
    std::wstring packageLog = folder / L"package.log";
    std::wstring trace = folder / L"trace.log";
    std::wstring uiScript = folder / L"ui-script.txt";
    std::wstring uiLog = folder / L"ui.log";
};

TEST_P(UpdateProcess, SignedPackedLauncher)
{
    const UpdateRow& row = GetParam();
    SetupFolder setup(L"TessarelUpdating.exe");
    ASSERT_TRUE(setup.ready()) << "the fixture packs TessarelUpdating.exe";

    std::unique_ptr<Relay> relay;
    if (row.cutDownload)
        relay = std::make_unique<Relay>(server.http_port(), Relay::every_connection, 1000);
    const std::wstring entryUrl = Address(L"/v2/setup.exe", relay ? relay->port() : 0);
    ServeUpdate(row.standin, entryUrl);

    std::wstring switches = L"CALLLOG=\"" + packageLog + L"\" /debuglog\"" + trace + L"\"";
    if (row.uiScript) {
        WriteBytes(uiScript, "log " + Narrow(uiLog) + "\n" + row.uiScript);
        SetEnvironmentVariableW(L"SUITE_UI_SCRIPT", uiScript.c_str());
    } else {
        switches = L"/silent " + switches;
    }
    if (row.updatedFromEntry)
        switches += L" -updated_from:\"" + entryUrl + L"\"";
    const std::string description = Narrow(kLocation) + "/krupdate.xml";
    const size_t described = server.Requests(description).size();
    const DWORD exitCode = RunProgram(setup.setup(), switches, 120000);

    EXPECT_EQ(row.exitCode, exitCode);
    // Temporary copy, staging and download folders are gone: only the setup's own folder is left.
    EXPECT_EQ(std::vector<std::wstring>{Leaf(setup.path())}, Entries(temp));
    const std::wstring traced = ReadUtf16(trace);
    EXPECT_NE(std::wstring::npos, traced.find(row.traced)) << Narrow(traced);
    // The description was read from beside UpdateUrl on every road.
    EXPECT_GT(server.Requests(description).size(), described);
    EXPECT_EQ(row.suiteInstalls, Exists(packageLog));
    if (relay) {
        EXPECT_GE(relay->connections(), 1);
    }

    if (row.uiScript) {
        const std::string events = ReadBytes(uiLog);
        EXPECT_EQ(row.updateStates, UpdateStates(events, row.updateStates.size())) << events;
    }

    EXPECT_EQ(row.standinRuns, Exists(report));
    if (!row.standinRuns)
        return;
    const std::string found = ReadBytes(report);
    const std::string commandLine = ReportValue(found, "commandline");
    // The rest of this run's command line, then where this suite came from and its trace log.
    EXPECT_NE(std::string::npos, commandLine.find(" CALLLOG=\"" + Narrow(packageLog) + "\"")) << commandLine;
    const std::string added = " -updated_from:\"" + Narrow(Address(L"/setup.exe")) + "\" /debuglog\"" +
                              Narrow(trace) + "\"";
    EXPECT_TRUE(commandLine.ends_with(added)) << commandLine;
    EXPECT_EQ("1", ReportValue(found, "mutex")) << found;
    EXPECT_EQ("1", ReportValue(found, "state_gone")) << found;
    EXPECT_EQ(0u, ReportValue(found, "staging").rfind(Narrow(temp), 0)) << found;
    // The user interface's DLL stays loaded while the update runs; the run's
    // end removes it with the folder (the temporary folder's check above).
    EXPECT_EQ(row.uiScript ? "suiteui.dll" : "", ReportValue(found, "staging_left")) << found;
    EXPECT_EQ(row.uiScript ? "0" : "1", ReportValue(found, "staging_gone")) << found;
}

// The engine's 0x80070642 and 0x80070643, as the launcher's exit codes.
constexpr DWORD kUserExit = 1602;
constexpr DWORD kInstallFailure = 1603;
constexpr int kCanceled = 5;
constexpr int kDownloadUpdateSuccess = 15;
constexpr int kDownloadUpdateFailure = 16;

const UpdateRow kRows[] = {
    {"SameSignerTakesOverWithItsExitCode", L"standin-same-signer.exe", false, false, 3010, true, false,
     L"Engine: launching suite update", nullptr, {}},
    {"SameSignerWithTheUserInterface", L"standin-same-signer.exe", false, false, 3010, true, false,
     L"Engine: launching suite update", "", {kShowDownloadUpdateUI, kDownloadUpdateSuccess}},
    {"OtherSignerInASilentRunAborts", L"standin-other-signer.exe", false, false, kInstallFailure, false, false,
     L"Engine: Certificates for base and update do not match, no UI to prompt user for allowance.", nullptr, {}},
    // Wine's trust check takes the test signer's certificate without a trusted root: the update it
    // refuses is one changed after signing.
    {"UntrustedUpdateCancels", L"standin-tampered.exe", false, false, kUserExit, false, false,
     L"Engine: verifytrust return value 0x", "", {kShowDownloadUpdateUI, kCanceled}},
    {"CutDownloadLetsTheSuiteInstall", L"standin-same-signer.exe", true, false, 0, false, true,
     L"Engine: failed to download suite update", nullptr, {}},
    {"CutDownloadReportedToTheUserInterface", L"standin-same-signer.exe", true, false, 0, false, true,
     L"Engine: failed to download suite update", "", {kShowDownloadUpdateUI, kDownloadUpdateFailure}},
    // The first staging progress the user interface sees is the update's download.
    {"CancelDuringTheDownload", L"standin-same-signer.exe", false, false, kUserExit, false, false,
     L"Engine: failed to download suite update, error 0x80070642", "cancel-event 5\n",
     {kShowDownloadUpdateUI, kDownloadUpdateFailure, kCanceled}},
    {"UpdatedFromTheEntrySkipsIt", L"standin-same-signer.exe", false, true, 0, false, true,
     L"UpdateHandler: skipping entry since this suite was launched from the same URL as update entry Id", nullptr,
     {}},
};

INSTANTIATE_TEST_SUITE_P(Rows, UpdateProcess, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<UpdateRow>& info) { return info.param.name; });

} // namespace
