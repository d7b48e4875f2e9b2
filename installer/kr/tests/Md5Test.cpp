#include "kr/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Digest(const void* bytes, size_t count)
{
    kr::md5_context context;
    context.update(bytes, count);
    unsigned char digest[16];
    context.final(digest);
    return kr::md5_text(digest).c_str();
}

TEST(Md5, Rfc1321TestSuite)
{
    struct Case {
        const char* input;
        const wchar_t* digest;
    };
    const Case cases[] = {
        {"", L"D41D8CD98F00B204E9800998ECF8427E"},
        {"a", L"0CC175B9C0F1B6A831C399E269772661"},
        {"abc", L"900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", L"F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", L"C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", L"D174AB98D277D9F5A5611C2C9F419D9F"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         L"57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Digest(c.input, strlen(c.input)), c.digest) << c.input;
}

TEST(Md5, PiecesOfAnySizeGiveTheSameDigest)
{
    const std::string million(1000000, 'a');
    EXPECT_EQ(Digest(million.data(), million.size()), L"7707D6AE4E027C70EEA2A935C2296F21");

    std::vector<unsigned char> bytes(10000);
    unsigned seed = 12345;
    for (unsigned char& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<unsigned char>(seed >> 16);
    }
    const std::wstring whole = Digest(bytes.data(), bytes.size());

    const size_t piece_sizes[] = {1, 3, 55, 56, 63, 64, 65, 127, 4096};
    for (size_t piece : piece_sizes) {
        kr::md5_context context;
        for (size_t done = 0; done < bytes.size(); done += piece) {
            const size_t count = bytes.size() - done < piece ? bytes.size() - done : piece;
            context.update(bytes.data() + done, count);
            context.update(bytes.data(), 0);
        }
        unsigned char digest[16];
        context.final(digest);
        EXPECT_EQ(std::wstring(kr::md5_text(digest).c_str()), whole) << L"pieces of " << piece;
    }
}

TEST(Md5, InitStartsAFreshDigestAfterFinal)
{
    kr::md5_context context;
    context.update("abc", 3);
    unsigned char digest[16];
    context.final(digest);
    context.init();
    context.update("abc", 3);
    context.final(digest);
    EXPECT_STREQ(kr::md5_text(digest).c_str(), L"900150983CD24FB0D6963F7D28E17F72");
}

} // namespace
