#include "BissCrc.h"

#include <gtest/gtest.h>

using namespace sim::biss;

TEST(BissCrc, WidthIsTheDegree)
{
    EXPECT_EQ(CrcWidth(0x43), 6u);
    EXPECT_EQ(CrcWidth(0x13), 4u);
    EXPECT_EQ(CrcWidth(0x25), 5u);
    EXPECT_EQ(CrcWidth(0), 0u);
}
