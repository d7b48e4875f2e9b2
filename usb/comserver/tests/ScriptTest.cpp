// The registered server from a script host: registration, ProgID and
// late-bound dispatch as a JScript program meets them.
#include "ServerSupport.h"

#include <string>

namespace {

// Runs a program with its standard output on a pipe; returns what it wrote, or
// an empty text when it could not run or did not end in time.
std::string RunCapturing(std::wstring command, DWORD &exitCode)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        return {};
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process);
    CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char chunk[512];
        DWORD read = 0;
        while (ReadFile(readEnd, chunk, sizeof(chunk), &read, nullptr) && read > 0) {
            output.append(chunk, read);
        }
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    return output;
}

TEST(Script, JScriptCreatesTheObjectByProgIdAndCallsItLateBound)
{
    Apartment apartment;
    ServerModule server(ProgramFolder() + L"\\DravioCOM_x64.dll");
    ASSERT_TRUE(server.Loaded());
    ASSERT_EQ(server.Register(), S_OK);

    wchar_t script[MAX_PATH] = {};
    GetFullPathNameW(L"data\\smoke.js", MAX_PATH, script, nullptr);
    DWORD exitCode = 1;
    std::string output =
        RunCapturing(L"cscript.exe //NoLogo \"" + std::wstring(script) + L"\"", exitCode);
    EXPECT_EQ(exitCode, 0u) << output;

    std::string normalized;
    for (char c : output) {
        if (c != '\r') {
            normalized.push_back(c);
        }
    }
    EXPECT_EQ(normalized, "Error code 0xE000A005: DravioCOM: No data received.\n"
                          "-1\n"
                          "-1\n"
                          "1\n"
                          "done\n");
    EXPECT_EQ(server.Unregister(), S_OK);
}

} // namespace
