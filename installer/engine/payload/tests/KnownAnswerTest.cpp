// The container format pinned by bytes worked out by hand, so that a misreading
// shared by the packer and the reader cannot hide.
//
// Entry "ab" holds "xyz" (78 79 7A), stored, scrambled in blocks (flag 0x4).
// The key is the constant 0x5A17C3E9 taken in little-endian order (E9 C3 17 5A)
// XORed with the name's bytes: E9^61 = 88, C3^62 = A1; key length 2.
// Scrambling is swap-halves(NOT(p) XOR k):
//   78: NOT 87, ^88 = 0F, swapped F0
//   79: NOT 86, ^A1 = 27, swapped 72
//   7A: NOT 85, ^88 = 0D, swapped D0  (position 2 wraps to key byte 0)

#include "PayloadFixtures.h"

#include "payload/Descramble.h"
#include "payload/PayloadOffset.h"
#include "payload/Stream.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr DWORD kImageEnd = 0x800;   // the synthetic image the vectors sit behind

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int v : values)
        bytes.push_back(static_cast<char>(v));
    return bytes;
}

std::string Zeros(size_t count)
{
    return std::string(count, '\0');
}

// The two kept fields of an entry are the packer's own; the reader ignores them.
std::string Masked(std::string bytes, size_t at)
{
    bytes.replace(at, 8, Zeros(8));
    return bytes;
}

void ExpectExtractsXyz(const std::wstring& program)
{
    STREAM stream(program.c_str());
    TempFolder folder;
    ASSERT_EQ(1, stream.ExtractStreamFile(L"ab", folder.file(L"ab").c_str(), nullptr));
    EXPECT_EQ("xyz", ReadBytes(folder.file(L"ab")));
}

} // namespace

// The same container behind a synthetic image and behind Tessarel.exe itself.
struct Carrier {
    const wchar_t* prefix;   // the fixtures are <prefix>-f1.exe and <prefix>-f2.exe
    DWORD image_end;         // 0: the size of Tessarel.exe, which ends where its image ends
};

class KnownAnswerContainer : public ::testing::TestWithParam<Carrier> {
protected:
    std::wstring Program(int format) const
    {
        return FixturePath(std::wstring(GetParam().prefix) + L"-f" + std::to_wstring(format) + L".exe");
    }

    DWORD ImageEnd() const
    {
        return GetParam().image_end ? GetParam().image_end
                                    : static_cast<DWORD>(FileSize(BinPath(L"Tessarel.exe")));
    }
};

TEST_P(KnownAnswerContainer, LaterFormatContainerBytes)
{
    const std::wstring program = Program(2);
    ASSERT_NE(0u, ImageEnd());
    ASSERT_EQ(ImageEnd(), FindPayloadOffset(program.c_str(), true));
    const std::string container = ReadBytes(program).substr(ImageEnd());

    const std::string expected = std::string("VIVezozArazov") + Bytes({0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00}) +
                                 Zeros(26) +
                                 Bytes({0x04, 0x00, 0x00, 0x00,   // name length
                                        0x04, 0x00, 0x00, 0x00,   // flags: blocks
                                        0x00, 0x00,               // kept
                                        0x03, 0x00, 0x00, 0x00}) + // stored size
                                 Zeros(8) +                       // kept
                                 Bytes({0x00, 0x00,               // stored
                                        0x61, 0x00, 0x62, 0x00,   // "ab", UTF-16LE
                                        0xF0, 0x72, 0xD0});
    EXPECT_EQ(expected, Masked(container, 46 + 14));
    ExpectExtractsXyz(program);
}

TEST_P(KnownAnswerContainer, FirstFormatContainerBytes)
{
    const std::wstring program = Program(1);
    ASSERT_EQ(ImageEnd(), FindPayloadOffset(program.c_str(), true));
    const std::string container = ReadBytes(program).substr(ImageEnd());

    const std::string expected = std::string("Korvanstilmer") + Bytes({0x00, 0x01, 0x00}) + Zeros(4 + 26) +
                                 std::string("ab") + Zeros(258) +
                                 Bytes({0x04, 0x00, 0x00, 0x00,   // flags at 260
                                        0x00, 0x00, 0x00, 0x00,   // kept word, padding
                                        0x03, 0x00, 0x00, 0x00}) + // stored size at 268
                                 Zeros(8) +                       // kept
                                 Zeros(2 + 30) +                  // stored; unused
                                 Bytes({0xF0, 0x72, 0xD0});
    ASSERT_EQ(expected.size(), container.size());
    // The format-1 header's field at 16 is not read; the packer writes 1 there.
    EXPECT_EQ(expected.substr(0, 16), container.substr(0, 16));
    EXPECT_EQ(expected.substr(20), Masked(container, 46 + 272).substr(20));
    ExpectExtractsXyz(program);
}

INSTANTIATE_TEST_SUITE_P(Carriers, KnownAnswerContainer,
                         ::testing::Values(Carrier{L"known", kImageEnd}, Carrier{L"known-tessarel", 0}),
                         [](const ::testing::TestParamInfo<Carrier>& info) {
                             return info.param.image_end ? std::string("SyntheticImage") : std::string("Tessarel");
                         });

TEST(KnownAnswer, DescrambleBufferFollowsTheKeyPosition)
{
    std::string bytes = Bytes({0xF0, 0x72, 0xD0});
    ASSERT_EQ(1, DescrambleBuffer(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), "ab", 0));
    EXPECT_EQ("xyz", bytes);

    // Starting at key position 1: F0 -> NOT(0F ^ A1) = 51.
    std::string shifted = Bytes({0xF0});
    ASSERT_EQ(1, DescrambleBuffer(reinterpret_cast<unsigned char*>(shifted.data()), 1, "ab", 1));
    EXPECT_EQ(Bytes({0x51}), shifted);
}

TEST(KnownAnswer, NoKeyWithoutAName)
{
    std::string bytes = Bytes({0xF0, 0x72});
    EXPECT_EQ(0, DescrambleBuffer(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), "", 0));
    EXPECT_EQ(Bytes({0xF0, 0x72}), bytes);
    EXPECT_TRUE(MakeDescrambleKey("").empty());
    EXPECT_EQ((std::vector<unsigned char>{0x88, 0xA1}), MakeDescrambleKey("ab"));
}
