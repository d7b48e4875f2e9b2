#pragma once

// Helpers of the tests that start the launcher as a real process: starting
// programs and reading their exit codes, the files they leave, and the
// engine's side of a proxy's pipe.

#include <windows.h>

#include "TestFolder.h"

#include <string>
#include <utility>

// The user's temporary folder, with a trailing backslash.
std::wstring TempFolder();
// The folder part of a path, without a trailing backslash.
std::wstring Folder(const std::wstring& path);
// A UTF-16 file with its mark, without the mark.
std::wstring ReadUtf16(const std::wstring& path);
// The values under HKLM that Windows works through at the next restart, joined by "|".
std::wstring PendingRenames();

// Starts a program and waits for it; its exit code, or ~0 when it did not end
// (it is then ended).
DWORD RunProgram(const std::wstring& program, const std::wstring& arguments, DWORD timeout = 30000);

// A folder with spaces in its name, like a download folder, holding a copy of
// one of the launcher programs beside the test as "My Setup.exe". Removed
// with everything in it at the end.
class SetupFolder {
public:
    explicit SetupFolder(const std::wstring& program_name);
    ~SetupFolder();
    SetupFolder(const SetupFolder&) = delete;
    SetupFolder& operator=(const SetupFolder&) = delete;

    bool ready() const { return ready_; }
    // Without a trailing backslash.
    const std::wstring& path() const { return path_; }
    const std::wstring& setup() const { return setup_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
    std::wstring setup_;
    bool ready_ = false;
};

// The engine's side of a proxy: the named event the proxy sets when it is up,
// and the pipe server it connects to.
class EngineSide {
public:
    explicit EngineSide(const std::wstring& id);
    ~EngineSide();
    EngineSide(const EngineSide&) = delete;
    EngineSide& operator=(const EngineSide&) = delete;

    bool Start(const std::wstring& program, const std::wstring& arguments);
    // The proxy said it is up and connected to the pipe.
    bool Connected();
    // A header {magic, type, size, magic}, then the payload bytes given.
    void Write(DWORD type, DWORD size, const void* payload, DWORD payload_bytes);
    // Bytes as they are, in one write.
    void WriteRaw(const void* bytes, DWORD count);
    // Type and first word of the reply.
    std::pair<DWORD, DWORD> Read();
    void Disconnect();
    // The proxy's exit code; ~0 when it did not end within 20 s (it is then ended).
    DWORD ExitCode();

private:
    HANDLE started_ = nullptr;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    HANDLE process_ = nullptr;
};
