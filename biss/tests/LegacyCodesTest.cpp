// The older code set of the older exported names.
#include <gtest/gtest.h>

#include "LegacyCodes.h"

namespace {

TEST(LegacyCodes, EveryCodeMapsToTheOlderSet)
{
    const int expected[] = {0, 1, 3, 3, 2, 7, 7, 7, 12, 12, 12, 12, 4, 9, 10, 11, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12};
    for (int code = 0; code < 26; ++code)
        EXPECT_EQ(expected[code], ferrolink::TranslateLegacyCode(code)) << code;
    EXPECT_EQ(12, ferrolink::TranslateLegacyCode(-1));
}

} // namespace
