#pragma once

// A test payload reader for the launcher entry: the names of its files are
// listed in a trailer "\nKR-TEST-PAYLOAD:name;name\n" at the end of the
// program file. The real reader offers the same members.

#include <windows.h>

#include "kr/stringx.h"

struct StreamFileEntry {
    _stringx name;
};

class STREAM {
public:
    explicit STREAM(const _stringx& path);
    virtual ~STREAM() = default;

    bool IsOpen() const noexcept { return open_; }
    bool FindStreamFile(const _stringx& name, StreamFileEntry** entry, DWORD* data_offset);

private:
    bool open_ = false;
    kr::stringx_vector names_;
    StreamFileEntry found_;
};
