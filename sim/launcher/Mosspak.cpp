// Stands in for the app-package helper program: it connects to the engine's
// pipe, answers the hello, and answers request 11 as its script says:
//   - an installed query (sub-operation 3) with the code given for the
//     package name, 1605 (unknown product) for a name the script does not list;
//   - an install or remove (1, 2): accepted, then, as scripted, a certificate
//     request to the engine, progress call-backs, and the end call-back
//     followed by the result (or nothing, when the script drops it);
//   - a full-name query (4): the scripted name, or a length beyond the reply.
// Every request and every answer of the engine is logged, records in
// hexadecimal, so tests see what travelled.
//
// Usage: Mosspak.exe <pipe name> <script file> <log file>
// Script lines:
//   <name> <code>                                     installed query answer
//   @op <sub-operation> <result> <progress,...|-> <certificate 0|1> [drop]
//   @fullname <name>
//   @badlength
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "parcels/PipeRecords.h"
#include "parcels/ProxyHandler.h"

namespace {

constexpr DWORD kAppxRequest = 11;
constexpr DWORD kInstall = 1;
constexpr DWORD kRemove = 2;
constexpr DWORD kInstalledQuery = 3;
constexpr DWORD kFullName = 4;
constexpr DWORD kCertificate = 5;
constexpr DWORD kUnknownProduct = 1605;
constexpr DWORD kReplyToRequest = kPipeReply | kPipeRequest;

struct Operation {
    DWORD result = 0;
    std::vector<DWORD> progress;
    bool certificate = false;
    bool drop = false;
};

struct Script {
    std::map<std::wstring, DWORD> answers;
    std::map<DWORD, Operation> operations;
    std::wstring fullName;
    bool badLength = false;
};

Script ReadScript(const wchar_t* path)
{
    Script script;
    std::wifstream file(path);
    std::wstring line;
    while (std::getline(file, line)) {
        std::wistringstream fields(line);
        std::wstring name;
        if (!(fields >> name))
            continue;
        if (name == L"@op") {
            DWORD operation = 0;
            Operation scripted;
            std::wstring progress;
            int certificate = 0;
            std::wstring drop;
            fields >> operation >> scripted.result >> progress >> certificate >> drop;
            std::wistringstream values(progress);
            for (std::wstring value; std::getline(values, value, L',');)
                if (value != L"-")
                    scripted.progress.push_back(static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10)));
            scripted.certificate = certificate != 0;
            scripted.drop = drop == L"drop";
            script.operations[operation] = scripted;
        } else if (name == L"@fullname") {
            fields >> script.fullName;
        } else if (name == L"@badlength") {
            script.badLength = true;
        } else {
            DWORD code = 0;
            if (fields >> code)
                script.answers[name] = code;
        }
    }
    return script;
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

DWORD Answer(const ProxyRequestView& request, const Script& script)
{
    DWORD operation = 0;
    if (request.code != kAppxRequest || !ReadWord(request.data2, operation) || operation != kInstalledQuery)
        return ERROR_NOT_SUPPORTED;
    const auto found = script.answers.find(Name(request.data1));
    return found != script.answers.end() ? found->second : kUnknownProduct;
}

void WriteWords(CProxyHandler& pipe, DWORD type, std::initializer_list<DWORD> words)
{
    const std::vector<DWORD> payload(words);
    pipe.WriteMessage(type, payload.data(), static_cast<DWORD>(payload.size() * sizeof(DWORD)));
}

// The full name reply: {status, byte length, name}.
void AnswerFullName(CProxyHandler& pipe, const Script& script, std::ofstream& log)
{
    std::vector<BYTE> reply(8);
    const DWORD length = script.badLength ? 0x7FFFFFF0 : static_cast<DWORD>(script.fullName.size() * sizeof(wchar_t));
    memcpy(reply.data() + 4, &length, sizeof(length));
    const BYTE* text = reinterpret_cast<const BYTE*>(script.fullName.data());
    reply.insert(reply.end(), text, text + script.fullName.size() * sizeof(wchar_t));
    log << "full name length " << length << "\n";
    pipe.WriteMessage(kReplyToRequest, reply.data(), static_cast<DWORD>(reply.size()));
}

// Accepts an install or remove and plays its script; false when the pipe is to be dropped.
bool RunOperation(CProxyHandler& pipe, const Operation& operation, std::ofstream& log)
{
    WriteWords(pipe, kReplyToRequest, {0});
    if (operation.certificate) {
        const DWORD record[8] = {kCertificate};
        const std::vector<BYTE> request =
            WriteProxyRequest(kAppxRequest, 0, PipeBytes(reinterpret_cast<const BYTE*>(record), sizeof(record)), {});
        pipe.WriteMessage(kPipeRequest, request.data(), static_cast<DWORD>(request.size()));
        const std::optional<PipeBytes> answer = pipe.ReadReply();
        DWORD status = 0;
        if (answer && ReadWord(*answer, status))
            log << "certificate answer " << status << " type " << pipe.Type() << "\n";
    }
    for (DWORD value : operation.progress) {
        WriteWords(pipe, kPipeCallback, {1, 1, value});
        const std::optional<PipeBytes> answer = pipe.ReadReply();
        CallbackAnswer read;
        if (answer && ReadCallbackAnswer(*answer, read))
            log << "progress answer " << read.status << " cancel " << read.cancel << " type " << pipe.Type() << "\n";
    }
    WriteWords(pipe, kPipeCallback, {2});
    if (operation.drop)
        return false;
    WriteWords(pipe, kReplyToRequest, {operation.result});
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return ERROR_INVALID_PARAMETER;
    const Script script = ReadScript(argv[2]);
    // Unbuffered: each line is in the file before the answer that lets the engine go on.
    std::ofstream log(argv[3], std::ios::app);
    log << std::unitbuf;
    CProxyHandler pipe{_stringx(argv[1])};
    if (pipe.Pipe() == INVALID_HANDLE_VALUE)
        return static_cast<int>(GetLastError());

    while (pipe.ReadMessage() == 0) {
        if (pipe.Type() == kPipeQuit)
            break;
        if (pipe.Type() != kPipeRequest) {
            WriteWords(pipe, pipe.Type() | kPipeReply, {0});
            continue;
        }
        ProxyRequestView request;
        if (!ReadProxyRequest(pipe.Payload(), request)) {
            log << "malformed request\n";
            WriteWords(pipe, kReplyToRequest, {ERROR_INVALID_PARAMETER});
            continue;
        }
        DWORD operation = 0;
        ReadWord(request.data2, operation);
        log << "request " << request.code << " value " << request.value << " data1 " << Hex(request.data1)
            << " data2 " << Hex(request.data2);
        const auto scripted = script.operations.find(operation);
        if (request.code == kAppxRequest && (operation == kInstall || operation == kRemove) &&
            scripted != script.operations.end()) {
            log << " operation\n";
            const bool keep = RunOperation(pipe, scripted->second, log);
            if (!keep)
                return 0;
        } else if (request.code == kAppxRequest && operation == kFullName) {
            log << " full name\n";
            AnswerFullName(pipe, script, log);
        } else {
            const DWORD status = Answer(request, script);
            log << " answer " << status << "\n";
            WriteWords(pipe, kReplyToRequest, {status});
        }
    }
    return 0;
}
