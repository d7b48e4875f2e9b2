#include <iterator>

#include <gtest/gtest.h>

#include "suite/PasswordHasher.h"

namespace {

struct HashCase {
    const wchar_t* entered;
    LCID locale; // thread locale of the check; 0 keeps the thread's own
    const wchar_t* check;
};

// Sets the thread locale, and with it the thread's ANSI code page, for one scope.
class ThreadLocale {
public:
    explicit ThreadLocale(LCID locale) : previous_(GetThreadLocale())
    {
        if (locale)
            SetThreadLocale(locale);
    }
    ~ThreadLocale() { SetThreadLocale(previous_); }

private:
    LCID previous_;
};

constexpr LCID kEnglish = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT); // 1252
constexpr LCID kJapanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT); // 932

UINT ThreadCodePage()
{
    CPINFOEXW info{};
    GetCPInfoExW(CP_THREAD_ACP, 0, &info);
    return info.CodePage;
}

// Worked out from the published CRC-32 of the narrow bytes, then the byte
// transform and the swap of each pair.
const HashCase kCases[] = {
    {L"", 0, L"1953789044"},
    {L"123456789", 0, L"1953318005"},
    {L"Passw\u00f6rd", kEnglish, L"1953731697"},       // o-umlaut is 0xF6 in 1252
    {L"\u30d1\u30b9", kJapanese, L"1953770609"},       // 83 70 83 58: only the first two bytes count
};

TEST(PasswordHasherTest, CheckTextsOfKnownPasswords)
{
    for (size_t i = 0; i < std::size(kCases); ++i) {
        const HashCase& row = kCases[i];
        ThreadLocale scope(row.locale);
        if (row.locale == kJapanese)
            ASSERT_EQ(932u, ThreadCodePage());
        if (row.locale == kEnglish)
            ASSERT_EQ(1252u, ThreadCodePage());
        CPasswordHasher hasher;
        EXPECT_TRUE(hasher.CheckSetupPassword(row.check, row.entered)) << i;
        _stringx text;
        text.format(L"%u", CPasswordHasher().HashPassword(row.entered));
        EXPECT_STREQ(row.check, text.c_str()) << i;
    }
}

TEST(PasswordHasherTest, OnlyTheExactDigitsMatch)
{
    for (const wchar_t* stored : {L"01953318005", L"+1953318005", L" 1953318005", L"1953318005 ", L"0x746D4475",
                                  L"195331800", L""}) {
        CPasswordHasher hasher;
        EXPECT_FALSE(hasher.CheckSetupPassword(stored, L"123456789")) << stored;
    }
}

TEST(PasswordHasherTest, RepeatedChecksAgreeAndKeepNoTable)
{
    CPasswordHasher hasher;
    const DWORD first = hasher.HashPassword(L"Secret");
    EXPECT_FALSE(hasher.HoldsTable());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(first, hasher.HashPassword(L"Secret"));
        EXPECT_TRUE(CPasswordHasher().CheckSetupPassword(L"1953318005", L"123456789"));
    }
    hasher.BuildTable();
    EXPECT_TRUE(hasher.HoldsTable());
}

// Characters the code page lacks become its default character before hashing.
TEST(PasswordHasherTest, UnmappableCharactersHashAsTheDefaultCharacter)
{
    ThreadLocale scope(kEnglish);
    EXPECT_EQ(CPasswordHasher().HashPassword(L"??"), CPasswordHasher().HashPassword(L"\u30d1\u30b9"));
}

} // namespace
