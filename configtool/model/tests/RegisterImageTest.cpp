#include "ModelStateFixture.h"
#include "SensorMemoryMap.h"

#include <algorithm>

using namespace calvista;

using RegisterImageTest = ModelStateTest;

TEST_F(RegisterImageTest, InitialisationMarksEveryAddressedCellNeverRead)
{
    PutBytes(0, {1, 2, 3});
    ASSERT_TRUE(UpdateBuffers(2047, 0, 0x12));
    InitAllDatabuffers();
    InitAllDatabuffers();

    const auto &image = RegisterImage();
    ASSERT_EQ(image.size(), 2049u);
    EXPECT_TRUE(std::all_of(image.begin(), image.begin() + 2048, [](std::uint16_t c) { return c == 0x1FF; }));
    EXPECT_EQ(image[2048], 0);
    EXPECT_EQ(ImageByte(5), 0xFF);
}

TEST_F(RegisterImageTest, UpdateBuffersWritesBasePlusOffsetAndRefusesCellsPastTheImage)
{
    EXPECT_TRUE(UpdateBuffers(0x30, 0x0F, 0x1A5));
    EXPECT_EQ(RegisterImage()[0x3F], 0x1A5);
    EXPECT_EQ(ImageByte(0x3F), 0xA5);

    EXPECT_TRUE(UpdateBuffers(2000, 48, 7));
    EXPECT_EQ(RegisterImage()[2048], 7);

    const auto before = RegisterImage();
    EXPECT_FALSE(UpdateBuffers(2000, 49, 9));
    EXPECT_FALSE(UpdateBuffers(0xFFFF, 0xFFFF, 9));
    EXPECT_EQ(RegisterImage(), before);
    EXPECT_EQ(ImageByte(5000), 0xFF);
}

TEST(SensorMemoryMapTest, MirrorReadsLandOnThePrimaryCells)
{
    struct Case { std::uint16_t address, cell; };
    const Case cases[] = {
        {0, 0}, {0x5F, 0x5F}, {0x60, 0x00}, {145, 49}, {0x9F, 0x3F}, {0xBF, 0x5F},
        {0xC0, 0xC0}, {0xC4, 0xC4}, {214, 214}, {659, 659}, {2047, 2047},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ImageIndexForRead(c.address), c.cell) << c.address;
}
