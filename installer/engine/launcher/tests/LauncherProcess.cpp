#include "LauncherProcess.h"

#include <vector>

std::wstring TempFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    return path;
}

std::wstring Folder(const std::wstring& path)
{
    return path.substr(0, path.rfind(L'\\'));
}

std::wstring ReadUtf16(const std::wstring& path)
{
    const std::string bytes = ReadBytes(path);
    if (bytes.size() < 2)
        return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

std::wstring PendingRenames()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key))
        return std::wstring();
    // The list grows with every run in the same prefix: size the buffer by the value.
    DWORD size = 0;
    std::vector<wchar_t> data;
    LONG result = ERROR_MORE_DATA;
    while (result == ERROR_MORE_DATA) {
        RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size);
        data.assign(size / sizeof(wchar_t) + 1, 0);
        size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        result = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                                  reinterpret_cast<BYTE*>(data.data()), &size);
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return std::wstring();
    std::wstring joined(data.data(), size / sizeof(wchar_t));
    for (wchar_t& c : joined) {
        if (c == 0)
            c = L'|';
    }
    return joined;
}

DWORD RunProgram(const std::wstring& program, const std::wstring& arguments, DWORD timeout)
{
    std::wstring command_line = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return ~0u - 1;
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, timeout) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

SetupFolder::SetupFolder(const std::wstring& program_name)
    : path_(TempFolder() + L"kr launcher " + std::to_wstring(GetCurrentProcessId())),
      setup_(path_ + L"\\My Setup.exe")
{
    CreateDirectoryW(path_.c_str(), nullptr);
    ready_ = CopyFileW((ProgramFolder() + program_name).c_str(), setup_.c_str(), FALSE) != FALSE;
}

SetupFolder::~SetupFolder()
{
    WIN32_FIND_DATAW found = {};
    const HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW(file(found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
}

EngineSide::EngineSide(const std::wstring& id)
{
    started_ = CreateEventW(nullptr, TRUE, FALSE, (L"KR_ProxyWaiter_" + id).c_str());
    pipe_ = CreateNamedPipeW((L"\\\\.\\pipe\\KREngine_" + id).c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                             1, 4096, 4096, 0, nullptr);
}

EngineSide::~EngineSide()
{
    if (process_) {
        TerminateProcess(process_, 1);
        CloseHandle(process_);
    }
    CloseHandle(pipe_);
    CloseHandle(started_);
}

bool EngineSide::Start(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring command_line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    return true;
}

bool EngineSide::Connected()
{
    if (WaitForSingleObject(started_, 20000) != WAIT_OBJECT_0)
        return false;
    return ConnectNamedPipe(pipe_, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
}

void EngineSide::Write(DWORD type, DWORD size, const void* payload, DWORD payload_bytes)
{
    const DWORD header[4] = {0xDE55ADFF, type, size, 0x55ADFFDE};
    WriteRaw(header, sizeof(header));
    if (payload_bytes)
        WriteRaw(payload, payload_bytes);
}

void EngineSide::WriteRaw(const void* bytes, DWORD count)
{
    DWORD written = 0;
    WriteFile(pipe_, bytes, count, &written, nullptr);
}

std::pair<DWORD, DWORD> EngineSide::Read()
{
    DWORD header[4] = {};
    DWORD status = 0xFFFFFFFF;
    DWORD read = 0;
    ReadFile(pipe_, header, sizeof(header), &read, nullptr);
    if (header[2] >= 4)
        ReadFile(pipe_, &status, 4, &read, nullptr);
    return {header[1], status};
}

void EngineSide::Disconnect()
{
    DisconnectNamedPipe(pipe_);
}

DWORD EngineSide::ExitCode()
{
    DWORD code = ~0u;
    if (WaitForSingleObject(process_, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process_, &code);
    else
        TerminateProcess(process_, 1);
    CloseHandle(process_);
    process_ = nullptr;
    return code;
}
