// The registered server from a script host: registration, ProgID and
// late-bound dispatch as a JScript program meets them.
#include "ServerSupport.h"

#include <string>

namespace {

// Runs a program with its standard output in a file and returns what it wrote
// once it has ended. (A pipe would not do: a program it starts, such as the
// desktop process Wine launches on first need, inherits the pipe and keeps it open.)
std::string RunCapturing(const std::wstring &folder, std::wstring command, DWORD &exitCode)
{
    const std::wstring outputPath = folder + L"\\output.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE output = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) {
        return {};
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process);
    CloseHandle(output);
    if (!started) {
        return {};
    }
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    HANDLE written = CreateFileW(outputPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string text;
    if (written != INVALID_HANDLE_VALUE) {
        char chunk[512];
        DWORD read = 0;
        while (ReadFile(written, chunk, sizeof(chunk), &read, nullptr) && read > 0) {
            text.append(chunk, read);
        }
        CloseHandle(written);
    }
    return text;
}

TEST(Script, JScriptCreatesTheObjectByProgIdAndCallsItLateBound)
{
    Apartment apartment;
    ServerModule server(ProgramFolder() + L"\\DravioCOM_x64.dll");
    ASSERT_TRUE(server.Loaded());
    ASSERT_EQ(server.Register(), S_OK);

    wchar_t script[MAX_PATH] = {};
    GetFullPathNameW(L"data\\smoke.js", MAX_PATH, script, nullptr);
    TempFolder folder;
    DWORD exitCode = 1;
    std::string output =
        RunCapturing(folder.Path(), L"cscript.exe //NoLogo \"" + std::wstring(script) + L"\"", exitCode);
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
