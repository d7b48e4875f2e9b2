// Status texts against the driver's documented table (data/status_texts.tsv).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Dravio.h"

using dravio::CDravio;
using TString = std::basic_string<TCHAR>;

namespace {

constexpr char kFallback[] = "Windows system error code.";

TString Text(const std::string &ascii)
{
    return TString(ascii.begin(), ascii.end());
}

TString Format(DWORD status)
{
    TCHAR buffer[256];
    return CDravio::FormatStatusText(buffer, ARRAYSIZE(buffer), status);
}

TEST(StatusText, FormatsCodeAndText)
{
    const struct {
        DWORD status;
        const char *expected;
    } cases[] = {
        {0x00000000, "Error code 0x00000000: No error."},
        {0xE000100C, "Error code 0xE000100C: The request has been timed out."},
        {0xE8001000, "Error code 0xE8001000: USBD Error: Insufficient resources."},
        // Library codes without a row, an unknown driver code, a Windows error.
        {0xE000101E, "Error code 0xE000101E: Windows system error code."},
        {0xE0001106, "Error code 0xE0001106: Windows system error code."},
        {0xE0001FFF, "Error code 0xE0001FFF: Windows system error code."},
        {ERROR_FILE_NOT_FOUND, "Error code 0x00000002: Windows system error code."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Format(c.status), Text(c.expected)) << std::hex << c.status;
}

TEST(StatusText, EveryRowOfTheDriverTable)
{
    std::ifstream table("data/status_texts.tsv");
    ASSERT_TRUE(table) << "run from the tests folder";
    std::string line;
    int rows = 0;
    while (std::getline(table, line)) {
        const size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        const DWORD status = std::stoul(line.substr(0, tab), nullptr, 16);
        std::string text = line.substr(tab + 1);
#ifndef UNICODE
        // The narrow build's table ends before these two rows.
        if (status == 0xE0001108 || status == 0xE0001109)
            text = kFallback;
#endif
        char prefix[32];
        snprintf(prefix, sizeof prefix, "Error code 0x%08lX: ", static_cast<unsigned long>(status));
        EXPECT_EQ(Format(status), Text(prefix + text)) << line;
        ++rows;
    }
    EXPECT_EQ(rows, 87);
}

TEST(StatusText, ShortCapacityEndsWithZeroInTheLastPosition)
{
    TCHAR buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), TEXT('#'));
    EXPECT_EQ(CDravio::FormatStatusText(buffer, 12, 0xE000100C), buffer);
    EXPECT_EQ(TString(buffer), Text("Error code "));
    EXPECT_EQ(buffer[11], TEXT('\0'));
    EXPECT_EQ(buffer[12], TEXT('#'));

    CDravio::FormatStatusText(buffer, 1, 0);
    EXPECT_EQ(buffer[0], TEXT('\0'));
    EXPECT_EQ(buffer[1], TEXT('r'));
}

TEST(StatusText, NullBufferOrNoCapacityLeavesEverythingUntouched)
{
    EXPECT_EQ(CDravio::FormatStatusText(nullptr, 64, 0), nullptr);

    TCHAR buffer[4] = {TEXT('a'), TEXT('b'), TEXT('c'), TEXT('\0')};
    EXPECT_EQ(CDravio::FormatStatusText(buffer, 0, 0), buffer);
    EXPECT_EQ(TString(buffer), Text("abc"));
}

} // namespace
