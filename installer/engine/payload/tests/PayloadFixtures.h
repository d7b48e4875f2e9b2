#pragma once

// Fixtures the build wrote beside the test program (bin/payload-fixtures) and
// small file helpers of the setup-stream tests.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Full path of a fixture file.
std::wstring FixturePath(std::wstring_view name);
// Full path of a file beside the test program.
std::wstring BinPath(std::wstring_view name);

// The whole file; empty when it cannot be read (the test fails).
std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, std::string_view bytes);
bool FileExists(const std::wstring& path);
ULONGLONG FileSize(const std::wstring& path);

// One line of a manifest the packer read.
struct ManifestEntry {
    std::wstring name;
    std::wstring file;   // full path of the original
    bool zlib = false;
    std::wstring scrambling;
};
std::vector<ManifestEntry> ReadManifest(std::wstring_view list);

// A new folder under the temporary folder, removed with its files at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring file(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

private:
    std::wstring path_;
};

// Runs a program and gives its exit code; ~0u when it cannot be started.
DWORD RunProgram(const std::wstring& program, const std::vector<std::wstring>& arguments);
