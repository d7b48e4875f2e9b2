#pragma once

// Turns an entered setup password into the decimal check text that setup.xml
// stores as Password, and compares the two. A hasher lives for one check; its
// CRC table is built for each hash and freed after it.

#include <memory>

#include <windows.h>

#include "kr/stringx.h"

class CPasswordHasher {
public:
    CPasswordHasher() = default;
    CPasswordHasher(const CPasswordHasher&) = delete;
    CPasswordHasher& operator=(const CPasswordHasher&) = delete;
    ~CPasswordHasher() = default;

    // Builds the table unless one is held.
    void BuildTable();
    // The hash of the text's first n bytes in the thread's ANSI code page
    // (n = its UTF-16 length); leaves no table behind.
    DWORD HashPassword(const _stringx& entered);
    // True when stored equals the check text ("%u" of the hash) by the string
    // class's comparison.
    bool CheckSetupPassword(const _stringx& stored, const _stringx& entered);

    bool HoldsTable() const noexcept { return static_cast<bool>(table_); }

private:
    std::unique_ptr<DWORD[]> table_;
};
