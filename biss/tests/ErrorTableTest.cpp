// Every code's level and text, and the ring of one master's history.
#include <gtest/gtest.h>

#include "BissMaster.h"

using ferrolink::BissMasterClass;
using ferrolink::ErrorHistory;

namespace {

struct Row {
    uint32_t code;
    uint32_t level;
    const char *text;
};

const Row kRows[] = {
    {0, 0, "Nothing to Report"},
    {1, 3, "Use the handle returned by the Open function."},
    {2, 4, "Install FTDI interface drivers."},
    {3, 4, "Check wire connections and power supply."},
    {4, 5, "Interface not specified."},
    {5, 3, "Parameter not specified."},
    {6, 3, "Address out of range."},
    {7, 4, "Value out of range."},
    {8, 5, "Check USB to interface connection."},
    {9, 4, "Check if file exists."},
    {10, 4, "Check file format."},
    {11, 5, "Verification failed, check device connection."},
    {12, 5, "Failed communication to BiSS master, check the selected interface."},
    {13, 5, "BiSS communication failed, check wire connections and power supply."},
    {14, 5, "Register communication failed, the slave has rejected the access to the register."},
    {15, 5, "BiSS communication failed, check device connection and frame configuration."},
    {16, 3, "Parameter pulNumberOfBytes > eBISS_MAX_REGCNT value."},
    {17, 5, "Frame Repetition Rate is to high."},
    {18, 4, "High speed USB device plugged into non high speed USB hub."},
    {19, 4, "Slow down the Frame Repetition Rate to reduce the amount of data."},
    {20, 4, "Insufficient permission to access file."},
    {21, 4, "EDS is not used in current EEPROM configuration."},
    {22, 4, "EDS contains invalid values."},
    {23, 4, "EDS checksum error."},
    {24, 5, "Register communication failed, check device connection and frame configuration."},
    {25, 4, "Current number of data channels exeeds the maximum data channel count. (BiSS master dependent)"},
    {26, 5, " Error Text missing!"},
    {0xFFFFFFFF, 5, " Error Text missing!"},
};

TEST(ErrorTable, EveryCodeHasItsLevelAndText)
{
    for (const Row &row : kRows) {
        SCOPED_TRACE(row.code);
        uint32_t level = 99;
        std::string text;
        EXPECT_EQ(0, BissMasterClass::GetErrorText(row.code, &level, &text));
        EXPECT_EQ(row.level, level);
        EXPECT_EQ(row.text, text);
        EXPECT_LT(text.size(), 95u) << "a 95-byte caller buffer holds every text";
    }
}

TEST(ErrorTable, RecordedCodesCarryTheirRowAndTheCounterCountsEveryEntry)
{
    ErrorHistory history;
    EXPECT_EQ(1u, history.WriteCounter());
    EXPECT_EQ("OK", history.Newest().text);
    EXPECT_EQ(0u, history.Record(0));
    EXPECT_EQ(1u, history.WriteCounter()) << "success is not recorded";
    for (uint32_t i = 0; i < 300; ++i)
        history.Record(1 + i % 25);
    EXPECT_EQ(301u, history.WriteCounter());
    EXPECT_EQ(1 + 299u % 25, history.Newest().code);
    history.Record(25);
    EXPECT_EQ(25u, history.Newest().code);
    EXPECT_EQ(4u, history.Newest().level);
}

} // namespace
