#pragma once

// A fresh folder under the temporary folder for one test, removed with its
// content at the end, and small file helpers that use Windows directly.

#include <windows.h>

#include <string>

class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    // The folder without a trailing backslash.
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
void MakeFolder(const std::wstring& path);
// The folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder();
// How many files (not folders) a folder holds.
size_t FilesIn(const std::wstring& folder);
// Removes a folder and everything in it.
void RemoveTree(const std::wstring& path);
