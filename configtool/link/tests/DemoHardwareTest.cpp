// The hardware-free demo: with VANTREL_SIMULATION=1 and VANTREL_SIM_DEMO=1 the simulated driver
// that ferrolink loads already holds the demo adapter with its encoder, and the link reaches it
// like real hardware, in real time.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "BlockTransfer.h"
#include "LinkServices.h"
#include "LiveRead.h"
#include "MasterSetup.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"

namespace {

std::string ImageText(std::uint16_t address, std::uint16_t length)
{
    std::string text;
    for (std::uint16_t i = 0; i < length; ++i)
        text += static_cast<char>(calvista::ImageByte(address + i));
    return text;
}

std::uint64_t ScdNow()
{
    EXPECT_EQ(0, StartSensorRead());
    return std::uint64_t{g_scd.high[0]} << 32 | g_scd.low[0];
}

TEST(DemoHardware, TheLinkReadsTheDemoEncodersIdentifierAndSeesItTurn)
{
    SetEnvironmentVariableA("VANTREL_SIMULATION", "1");
    SetEnvironmentVariableA("VANTREL_SIM_DEMO", "1");
    SensorLinkServices services;
    // The pauses add nothing here.
    services.delayWithEvents = [](double) { return 0; };
    services.sleep = [](unsigned) {};
    SetSensorLinkServices(services);

    SetInterfaceTool();
    ASSERT_EQ(0, ConfigInterface());
    ASSERT_EQ(1, g_link.connected);
    EXPECT_EQ(0, TransferBissData(2, 196, 8));
    EXPECT_EQ("HX2648QP", ImageText(196, 8));

    LiveReadDisplay display;
    display.readingOn = [] { return true; };
    SetLiveReadDisplay(display);
    // Every cycle leaves its frame in the link's SCD state, also the first, which starts the
    // error byte read.
    const std::uint64_t before = ScdNow();
    Sleep(400);
    const std::uint64_t after = ScdNow();
    EXPECT_NE(before, after) << "the ring turns";

    EXPECT_EQ(0, CloseInterface(&g_link.handle));
}

} // namespace
