// The FTDI adapter through the exports, against the stand-in ftd2xx.dll: the
// bytes it is sent are compared with the MPSSE sequences of the adapter's
// description (chip select on bit 3 of the low pin byte, the master's serial
// register protocol: 0x02 write, 0x03 read, value third).
#include <string>
#include <vector>

#include "DirectAdapter.h"

namespace {

using ferrolink_test::DirectAdapterTest;
using ferrolink_test::SimulatedFtdi;
using sim::ftdi::D2xxCall;
using Lines = std::vector<std::string>;

// Chip select low, 0x11 with three bytes (write opcode, address, value), chip select high.
std::string RegisterWrite(const char *addressAndValue)
{
    return std::string("write 80 10 1B 11 02 00 02 ") + addressAndValue + " 80 18 1B";
}

// Chip select low, 0x35 with three bytes (read opcode, address, 0), chip select high, send immediate.
std::string RegisterRead(const char *address)
{
    return std::string("write 80 10 1B 35 02 00 03 ") + address + " 00 80 18 1B 87";
}

Lines Slice(const Lines &lines, size_t first, size_t count)
{
    if (first >= lines.size())
        return {};
    return Lines(lines.begin() + static_cast<std::ptrdiff_t>(first),
                 lines.begin() + static_cast<std::ptrdiff_t>(std::min(lines.size(), first + count)));
}

class FtdiAdapterTest : public DirectAdapterTest {
protected:
    void Select()
    {
        AddFtdiDevice();
        ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, ""));
        SimulatedFtdi().ClearLog();
        rig_->master.Trace().Clear();
    }
};

TEST_F(FtdiAdapterTest, OpeningSetsTheAdapterUpStopsTheMasterAndIdentifiesIt)
{
    AddFtdiDevice();
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, ""));
    const Lines expected = {
        "open \"Zeptor A\"",
        "latency 16",
        "bitmode 00 00",
        "bitmode 00 02",
        "timeouts 1000 1000",
        "write 80 18 1B 82 00 0A 86 00 00 85",
        "purge 1",
        RegisterWrite("F4 80"),
        RegisterRead("EB"),
        "read 3 = FF FF 52",
        "queue = 0",
    };
    EXPECT_EQ(expected, Slice(FtdiLog(), 0, expected.size()));
    BISS_U32 type = 0;
    EXPECT_EQ(0, BISS(BISS_GetInterface)(handle_, &type));
    EXPECT_EQ(4u, type);
    EXPECT_EQ(0x52u, ComParam(eBISS_CP_MASTER_ID));
    EXPECT_EQ(8u, ComParam(eBISS_CP_CHANNEL_LIMIT));
}

TEST_F(FtdiAdapterTest, TheNameSelectsTheDescriptionAndAMissingDeviceGivesNoConnection)
{
    AddFtdiDevice("Box A");
    EXPECT_EQ(eBISS_NO_CONNECTION, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, ""));
    EXPECT_EQ(eBISS_NO_CONNECTION, LastCode());
    BISS_U32 type = 9;
    EXPECT_EQ(0, BISS(BISS_GetInterface)(handle_, &type));
    EXPECT_EQ(0u, type);
    EXPECT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, "Box"));
    const Lines log = FtdiLog();
    EXPECT_EQ("open \"Zeptor A\" -> 2", log.at(0));
    EXPECT_EQ("open \"Box A\"", log.at(1));
}

TEST_F(FtdiAdapterTest, AFailedInitialisationClosesTheDeviceAgain)
{
    AddFtdiDevice();
    SimulatedFtdi().FailCalls(D2xxCall::Write, 0, 1);
    EXPECT_EQ(eBISS_NO_CONNECTION, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, ""));
    const Lines log = FtdiLog();
    ASSERT_EQ(7u, log.size());
    EXPECT_EQ("write 80 18 1B 82 00 0A 86 00 00 85 -> 4", log[5]);
    EXPECT_EQ("close", log[6]);
    EXPECT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, "")) << "the device can be opened again";
}

TEST_F(FtdiAdapterTest, ClockSettingsAndPinsWaitForTheNextOpen)
{
    AddFtdiDevice();
    EXPECT_EQ(0, BISS(BISS_SetFtdiFreq)(handle_, 0, 2));
    EXPECT_EQ(0, BISS(BISS_SetZeptorPins)(handle_, 0xE0, 0xA0));
    BISS_U32 direction = 0, value = 0;
    EXPECT_EQ(0, BISS(BISS_GetZeptorPins)(handle_, &direction, &value));
    EXPECT_EQ(0xE0u, direction);
    EXPECT_EQ(0xA0u, value);
    EXPECT_TRUE(FtdiLog().empty()) << "nothing reaches an adapter that is not selected";

    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, ""));
    EXPECT_EQ("write 80 B8 FB 82 00 0A 86 02 00 85", FtdiLog().at(5));
    // Chip select now toggles bit 3 of the stored pin byte.
    SimulatedFtdi().ClearLog();
    EXPECT_EQ(0, BISS(BISS_WriteMasterRegister)(handle_, 0xE2, 0x5A));
    EXPECT_EQ(Lines{"write 80 B0 FB 11 02 00 02 E2 5A 80 B8 FB"}, FtdiLog());
}

TEST_F(FtdiAdapterTest, PinsAreAppliedAndReadBackWhileTheAdapterIsSelected)
{
    Select();
    SimulatedFtdi().SetInputPins(0xC0);
    EXPECT_EQ(0, BISS(BISS_SetZeptorPins)(handle_, 0x20, 0x20));
    EXPECT_EQ((Lines{"write 80 38 3B 82 00 0A", "purge 1"}), FtdiLog());
    SimulatedFtdi().ClearLog();
    BISS_U32 direction = 0, value = 0;
    EXPECT_EQ(0, BISS(BISS_GetZeptorPins)(handle_, &direction, &value));
    // Outputs show what is driven; inputs what the lines carry (bit 2: the chip's idle data out).
    EXPECT_EQ((Lines{"write 81", "read 1 = FC"}), FtdiLog());
    EXPECT_EQ(0x3Bu, direction);
    EXPECT_EQ(0xFCu, value);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetZeptorPins)(handle_, &direction, nullptr));
}

TEST_F(FtdiAdapterTest, MasterRegistersTravelAsOneWriteAndOneRead)
{
    Select();
    EXPECT_EQ(0, BISS(BISS_WriteMasterRegister)(handle_, 0xE2, 0x5A));
    BISS_U32 value = 0;
    EXPECT_EQ(0, BISS(BISS_ReadMasterRegister)(handle_, 0xE2, &value));
    EXPECT_EQ(0x5Au, value);
    EXPECT_EQ((Lines{RegisterWrite("E2 5A"), RegisterRead("E2"), "read 3 = FF FF 5A", "queue = 0"}), FtdiLog());
    EXPECT_EQ(0x5A, rig_->master.Peek(0xE2));
}

TEST_F(FtdiAdapterTest, ExtraBytesAfterAReadGiveATransferErrorAndAreThrownAway)
{
    Select();
    SimulatedFtdi().AddStrayBytes(2);
    BISS_U32 value = 7;
    EXPECT_EQ(eBISS_USB_CONNECTION, BISS(BISS_ReadMasterRegister)(handle_, 0xEB, &value));
    EXPECT_EQ(0u, value);
    EXPECT_EQ(eBISS_USB_CONNECTION, LastCode());
    EXPECT_EQ((Lines{RegisterRead("EB"), "read 3 = FF FF 52", "queue = 2", "purge 1"}), FtdiLog());
    EXPECT_EQ(0u, SimulatedFtdi().WaitingBytes());
    EXPECT_EQ(0, BISS(BISS_ReadMasterRegister)(handle_, 0xEB, &value));
    EXPECT_EQ(0x52u, value);
}

TEST_F(FtdiAdapterTest, FailedAndShortTransfersGiveATransferError)
{
    Select();
    SimulatedFtdi().FailCalls(D2xxCall::Write, 0, 1);
    EXPECT_EQ(eBISS_USB_CONNECTION, BISS(BISS_WriteMasterRegister)(handle_, 0xE2, 1));
    SimulatedFtdi().FailCalls(D2xxCall::Write, 0, 1);
    BISS_U32 value = 0;
    EXPECT_EQ(eBISS_USB_CONNECTION, BISS(BISS_ReadMasterRegister)(handle_, 0xE2, &value));
    SimulatedFtdi().FailCalls(D2xxCall::Read, 0, 1);
    EXPECT_EQ(eBISS_USB_CONNECTION, BISS(BISS_ReadMasterRegister)(handle_, 0xE2, &value));
    EXPECT_EQ(eBISS_USB_CONNECTION, LastCode());
    // The answers of the failed read are still waiting: the next read finds too many and is refused too.
    EXPECT_EQ(eBISS_USB_CONNECTION, BISS(BISS_ReadMasterRegister)(handle_, 0xE2, &value));
    EXPECT_EQ(0, BISS(BISS_ReadMasterRegister)(handle_, 0xE2, &value));
}

TEST_F(FtdiAdapterTest, DeselectingClosesTheDeviceOnce)
{
    Select();
    EXPECT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_NONE, ""));
    EXPECT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_NONE, ""));
    EXPECT_EQ(Lines{"close"}, FtdiLog());
    EXPECT_EQ(1u, SimulatedFtdi().CallCount(D2xxCall::Close));
}

TEST_F(FtdiAdapterTest, StartUpRunsFourteenSsiFramesAndPutsTheFramesBack)
{
    AddEncoder();
    Select();
    ConfigureEncoderChannel();
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_PROTOCOL, 0));
    rig_->master.Trace().Clear();
    EXPECT_EQ(0, BISS(BISS_InitBissComm)(handle_));
    EXPECT_EQ(14u, rig_->master.Trace().Frames(sim::biss::FrameKind::Single).size());
    EXPECT_EQ(0u, rig_->TestClockPulses()) << "the line was free";
    BISS_U32 length = 0, protocol = 9;
    EXPECT_EQ(0, BISS(BISS_GetFrameParam)(handle_, 0, eBISS_FP_SCD_LENGTH, &length));
    EXPECT_EQ(30u, length);
    EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_PROTOCOL, &protocol));
    EXPECT_EQ(0u, protocol);
    EXPECT_EQ(1u, ComParam(eBISS_CP_CHANNEL_COUNT));
    // The master holds the caller's configuration again.
    EXPECT_EQ(30 - 6 + 63, rig_->master.Peek(0xC0));
    EXPECT_EQ(0x55, rig_->master.Peek(0xED));
}

TEST_F(FtdiAdapterTest, ClockPulsesFreeALineThatASlaveHoldsLow)
{
    AddEncoder();
    Select();
    ConfigureEncoderChannel();
    rig_->HoldLineLow(2);
    SimulatedFtdi().ClearLog();
    EXPECT_EQ(0, BISS(BISS_InitBissComm)(handle_));
    EXPECT_EQ(2u, rig_->TestClockPulses());
    // Two pulses and the clock left high in one write, then the test mode ended.
    const std::string pulses = "write 80 10 1B 11 02 00 02 F5 10 80 18 1B 80 10 1B 11 02 00 02 F5 30 80 18 1B "
                               "80 10 1B 11 02 00 02 F5 10 80 18 1B 80 10 1B 11 02 00 02 F5 30 80 18 1B";
    const Lines log = FtdiLog();
    const auto at = std::find(log.begin(), log.end(), pulses);
    ASSERT_NE(log.end(), at);
    EXPECT_EQ(RegisterWrite("F5 30"), *(at + 1));
    EXPECT_NE(log.end(), std::find(at, log.end(), RegisterWrite("F5 00")));
}

TEST_F(FtdiAdapterTest, ALineThatStaysLowFailsTheStartUp)
{
    AddEncoder();
    Select();
    ConfigureEncoderChannel();
    rig_->HoldLineLow(0);
    EXPECT_EQ(eBISS_FRAME_FAILED, BISS(BISS_InitBissComm)(handle_));
    EXPECT_EQ(2u, rig_->TestClockPulses());
    EXPECT_TRUE(rig_->master.Trace().Frames(sim::biss::FrameKind::Single).empty());
}

TEST_F(FtdiAdapterTest, AFailedTransferInTheClockPulsesGivesATransferError)
{
    AddEncoder();
    Select();
    ConfigureEncoderChannel();
    rig_->HoldLineLow(0);
    // The stop, the end-of-cycle read and the line read go through; the pulses do not.
    SimulatedFtdi().FailCalls(D2xxCall::Write, 3, 100);
    EXPECT_EQ(eBISS_USB_CONNECTION, BISS(BISS_InitBissComm)(handle_));
    EXPECT_EQ(eBISS_USB_CONNECTION, LastCode());
}

TEST_F(FtdiAdapterTest, AMasterThatNeverEndsAFrameTimesOutInVirtualTime)
{
    AddEncoder();
    Select();
    ConfigureEncoderChannel();
    rig_->master.SetNeverEndsCycle(true);
    const uint32_t before = rig_->clock.NowMilliseconds();
    EXPECT_EQ(eBISS_BISS_COMM_FAILED, BISS(BISS_InitBissComm)(handle_));
    EXPECT_GE(rig_->clock.NowMilliseconds() - before, 1000u);
    rig_->master.SetNeverEndsCycle(false);
    BISS_U32 length = 0;
    EXPECT_EQ(0, BISS(BISS_GetFrameParam)(handle_, 0, eBISS_FP_SCD_LENGTH, &length));
    EXPECT_EQ(30u, length);
}

} // namespace
