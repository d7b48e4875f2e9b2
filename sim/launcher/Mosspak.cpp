// Stands in for the app-package helper program: it connects to the engine's
// pipe, answers the hello, and answers each installed query (request 11,
// sub-operation 3) with the code its script gives for the package name,
// 1605 (unknown product) for a name the script does not list. Every request
// is logged, its records in hexadecimal, so tests see what travelled.
//
// Usage: Mosspak.exe <pipe name> <script file> <log file>
// Script: one "name code" pair per line, code in decimal.

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "parcels/PipeRecords.h"
#include "parcels/ProxyHandler.h"

namespace {

constexpr DWORD kAppxRequest = 11;
constexpr DWORD kInstalledQuery = 3;
constexpr DWORD kUnknownProduct = 1605;
constexpr DWORD kReplyToRequest = kPipeReply | kPipeRequest;

std::map<std::wstring, DWORD> ReadScript(const wchar_t* path)
{
    std::map<std::wstring, DWORD> answers;
    std::wifstream script(path);
    std::wstring line;
    while (std::getline(script, line)) {
        std::wistringstream fields(line);
        std::wstring name;
        DWORD code = 0;
        if (fields >> name >> code)
            answers[name] = code;
    }
    return answers;
}

std::string Hex(PipeBytes bytes)
{
    std::string text;
    char digits[4];
    for (BYTE byte : bytes) {
        std::snprintf(digits, sizeof(digits), "%02X", byte);
        text += digits;
    }
    return text;
}

std::wstring Name(PipeBytes bytes)
{
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

DWORD Answer(const ProxyRequestView& request, const std::map<std::wstring, DWORD>& answers)
{
    DWORD operation = 0;
    if (request.code != kAppxRequest || !ReadWord(request.data2, operation) || operation != kInstalledQuery)
        return ERROR_NOT_SUPPORTED;
    const auto found = answers.find(Name(request.data1));
    return found != answers.end() ? found->second : kUnknownProduct;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return ERROR_INVALID_PARAMETER;
    const std::map<std::wstring, DWORD> answers = ReadScript(argv[2]);
    std::ofstream log(argv[3], std::ios::app);
    CProxyHandler pipe{_stringx(argv[1])};
    if (pipe.Pipe() == INVALID_HANDLE_VALUE)
        return static_cast<int>(GetLastError());

    while (pipe.ReadMessage() == 0) {
        if (pipe.Type() == kPipeQuit)
            break;
        DWORD status = 0;
        if (pipe.Type() == kPipeRequest) {
            ProxyRequestView request;
            if (!ReadProxyRequest(pipe.Payload(), request)) {
                status = ERROR_INVALID_PARAMETER;
                log << "malformed request\n";
            } else {
                status = Answer(request, answers);
                log << "request " << request.code << " value " << request.value << " data1 " << Hex(request.data1)
                    << " data2 " << Hex(request.data2) << " answer " << status << "\n";
            }
            log.flush();
            pipe.WriteMessage(kReplyToRequest, &status, sizeof(status));
        } else {
            pipe.WriteMessage(pipe.Type() | kPipeReply, &status, sizeof(status));
        }
    }
    return 0;
}
