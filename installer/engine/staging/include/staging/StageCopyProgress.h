#pragma once

// The copy call-back of staging: progress of copies and downloads to the user
// interface, cancel, and the retry question after a failed read. Its
// remembered paths and sizes are process-wide: one file is staged at a time.

#include <windows.h>

class CFile;

// The context is the CFile being staged.
DWORD CALLBACK StageCopyProgress(void* file, DWORD code, const wchar_t* text, DWORD low, DWORD high);

// Installs the call-back for one file's copy and removes it again.
class CStageCopyProgressScope {
public:
    explicit CStageCopyProgressScope(CFile& file);
    ~CStageCopyProgressScope();
    CStageCopyProgressScope(const CStageCopyProgressScope&) = delete;
    CStageCopyProgressScope& operator=(const CStageCopyProgressScope&) = delete;
};
