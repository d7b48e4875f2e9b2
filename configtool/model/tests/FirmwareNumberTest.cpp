#include "FirmwareNumber.h"

#include <gtest/gtest.h>

#include <string>

using namespace calvista;

TEST(FirmwareNumberTest, NumberIsTheLeadingDigitsOfTheFirstPart)
{
    struct Case { std::string text; std::int32_t number; };
    const Case cases[] = {
        {"141000_R01.07", 141000},
        {"141001_R01.07", 141001},
        {"308012", 308012},
        {"1290x1_R", 1290},
        {"_141000", 0},                        // an empty first part
        {"R01.07_141000", 0},                  // no leading digit
        {"", 0},
        {std::string(13, '\xFF'), 0},          // never read
        {std::string("1390\0" "01_R", 9), 1390},
        {"9999999999999", 2147483647},         // more than 32 bits hold
        {"2147483647_R", 2147483647},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FirmwareNumberFromText(c.text), c.number) << c.text;
}

TEST(FirmwareNumberTest, FrameTypeCapableRanges)
{
    struct Case { std::int32_t firmware; bool capable; };
    const Case cases[] = {
        {0, false},      {141001, false}, {142999, false}, {143000, true},  {299999, true},
        {300000, false}, {306999, false}, {307000, true},  {2147483647, true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsFrameTypeCapable(c.firmware), c.capable) << c.firmware;
}
