#include "suite/PasswordHasher.h"

#include <vector>

namespace {

constexpr DWORD kPolynomial = 0xEDB88320;
constexpr BYTE kMask = 0x74;

// The text and its terminator in the thread's ANSI code page, sized by the
// conversion itself so a code page of more than two bytes per unit still fits.
std::vector<BYTE> NarrowForm(const _stringx& text)
{
    const int count = static_cast<int>(text.length() + 1);
    const int needed = WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), count, nullptr, 0, nullptr, nullptr);
    std::vector<BYTE> bytes(needed > 0 ? static_cast<size_t>(needed) : 0);
    if (needed > 0 &&
        WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), count, reinterpret_cast<char*>(bytes.data()), needed,
                            nullptr, nullptr) <= 0)
        bytes.clear();
    return bytes;
}

} // namespace

void CPasswordHasher::BuildTable()
{
    if (table_)
        return;
    table_ = std::make_unique<DWORD[]>(256);
    for (DWORD i = 0; i < 256; ++i) {
        DWORD c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
        table_[i] = c;
    }
}

DWORD CPasswordHasher::HashPassword(const _stringx& entered)
{
    BuildTable();
    const size_t n = entered.length();
    const std::vector<BYTE> narrow = NarrowForm(entered);

    // Bytes past a shorter narrow form count as zero.
    DWORD crc = 0xFFFFFFFF;
    for (size_t i = 0; i < n; ++i) {
        const BYTE b = i < narrow.size() ? narrow[i] : 0;
        crc = table_[(crc ^ b) & 0xFF] ^ (crc >> 8);
    }
    table_.reset();

    const DWORD c = ~crc;
    const BYTE t0 = static_cast<BYTE>(static_cast<BYTE>((c & 0xFF) << 3) ^ kMask);
    const BYTE t1 = static_cast<BYTE>(static_cast<BYTE>(((c >> 8) & 0xFF) >> 5) ^ kMask);
    const BYTE t2 = static_cast<BYTE>(static_cast<BYTE>(((c >> 16) & 0xFF) << 7) ^ kMask);
    const BYTE t3 = static_cast<BYTE>(static_cast<BYTE>((c >> 24) >> 3) ^ kMask);
    // The pairs are swapped: t1 t0 t3 t2, least significant first.
    return static_cast<DWORD>(t1) | static_cast<DWORD>(t0) << 8 | static_cast<DWORD>(t3) << 16 |
           static_cast<DWORD>(t2) << 24;
}

bool CPasswordHasher::CheckSetupPassword(const _stringx& stored, const _stringx& entered)
{
    _stringx check;
    check.format(L"%u", HashPassword(entered));
    return stored == check;
}
