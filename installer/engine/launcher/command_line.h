#pragma once

// The launcher's switch list: the command line split into arguments at spaces
// outside double quotes, each kept with its quotes as typed, and a consumed
// flag per argument so that what the entry's switches leave can be handed on.

#include <windows.h>
#include <oleauto.h>

#include <vector>

class command_line {
public:
    explicit command_line(const wchar_t* text);
    ~command_line();
    command_line(const command_line&) = delete;
    command_line& operator=(const command_line&) = delete;

    // The first argument "-name..." or "/name..." (name compared without
    // regard to case); its value is the rest of the argument. With exact an
    // argument that goes on after the name does not count. The value, when
    // asked for, is a new BSTR the caller frees.
    bool find_switch(const wchar_t* name, BSTR* value, bool exact, bool consume);
    // The unconsumed arguments joined by single spaces; empty when none is left.
    HRESULT remaining(BSTR* text) const;

    size_t count() const noexcept { return arguments_.size(); }
    BSTR argument(size_t index) const noexcept { return arguments_[index]; }

    static const wchar_t* skip_blanks(const wchar_t* text);
    static size_t count_arguments(const wchar_t* text);

private:
    void split();

    BSTR line_ = nullptr;
    std::vector<BSTR> arguments_;
    std::vector<DWORD> consumed_;
    bool split_done_ = false;
};
