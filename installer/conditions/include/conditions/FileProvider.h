#pragma once

// Reads the facts that file conditions and the file scripting object compare:
// a file's text, one of its times, its size, attributes or version. With the
// 64-bit flag a 32-bit process reads the 64-bit system folder (WOW64 file
// redirection is off for the length of one read). Reads never fail outward:
// they log and give an empty text or 0.

#include <windows.h>

#include "kr/stringx.h"

enum FileDataKind {
    fdkLastWriteTime = 0,
    fdkLastAccessTime = 1,
    fdkCreationTime = 2,
    fdkSize = 3,
    fdkAttributes = 4,
};

class FileProvider {
public:
    FileProvider(const _stringx& path, bool check64Bit);

    _stringx GetContent() const;
    // Times are local file times in whole seconds.
    ULONGLONG GetData(int kind) const;
    // "a.b.c.d", or empty when the file has no version information.
    _stringx GetVersion() const;

private:
    _stringx m_path;
    bool m_check64Bit;
};
