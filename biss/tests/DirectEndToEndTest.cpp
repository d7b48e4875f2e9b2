// The whole road on the FTDI adapter and on the parallel port in its three
// wirings, through the exports: selection, master parameters, start-up,
// single-cycle data and slave registers in both modes, with the results the
// USB adapter gives for the same slave.
#include <string>
#include <vector>

#include "DirectAdapter.h"

namespace {

using ferrolink_test::DirectAdapterTest;
using ferrolink_test::SimulatedFtdi;
using Values = std::vector<BISS_U32>;

struct Scd {
    BISS_U32 high[8] = {};
    BISS_U32 low[8] = {};
    BISS_U32 mask = 0;
    BISS_U32 done = 0;
};

class BackEndTest : public DirectAdapterTest, public ::testing::WithParamInterface<BISS_U32> {
protected:
    // The encoder on the line, its adapter wired, selected and the master configured.
    sim::biss::SimBissSlave &Connect()
    {
        sim::biss::SimBissSlave &slave = AddEncoder(0x654321);
        if (GetParam() == eBISS_IF_FTDI)
            AddFtdiDevice();
        else
            ConnectPort(0x378, GetParam());
        EXPECT_EQ(0, BISS(BISS_SetInterface)(handle_, GetParam(), ""));
        ConfigureEncoderChannel();
        return slave;
    }
    int ReadScd(Scd &scd, BISS_U32 withControl = 0)
    {
        return BISS(BISS_ReadSCD)(handle_, scd.high, scd.low, &scd.mask, withControl, &scd.done);
    }
};

TEST_P(BackEndTest, TheEncoderIsReachedLikeOverTheUsbAdapter)
{
    sim::biss::SimBissSlave &slave = Connect();
    EXPECT_EQ(0x52u, ComParam(eBISS_CP_MASTER_ID));
    EXPECT_EQ(0, BISS(BISS_InitBissComm)(handle_));

    Scd scd;
    EXPECT_EQ(0, ReadScd(scd));
    EXPECT_EQ(0x654321u, scd.low[0]);
    EXPECT_EQ(0u, scd.high[0]);
    EXPECT_EQ(1u, scd.mask);

    for (BISS_U32 mode : {0u, 1u}) {
        const Values written = {0x5A + mode, 0x00, 0xC3};
        BISS_U32 count = 3;
        EXPECT_EQ(0, BISS(BISS_WriteSlaveRegister)(handle_, mode, 0, 0x20, &count, written.data())) << mode;
        EXPECT_EQ(3u, count);
        EXPECT_EQ(0x5A + mode, slave.Registers().Read(0x20));
        EXPECT_EQ(0xC3, slave.Registers().Read(0x22));
        Values read(3, 0xEEEE);
        count = 3;
        EXPECT_EQ(0, BISS(BISS_ReadSlaveRegister)(handle_, mode, 0, 0x20, &count, read.data())) << mode;
        EXPECT_EQ(3u, count);
        EXPECT_EQ(written, read) << "mode " << mode;
    }
    EXPECT_EQ(0, ReadScd(scd));
    EXPECT_EQ(0x654321u, scd.low[0]);
}

TEST_P(BackEndTest, ASlaveThatRefusesAWriteGivesARejection)
{
    sim::biss::SimBissSlave &slave = Connect();
    slave.Registers().SetWriteProtected(0x30, true);
    const Values data = {0x11};
    BISS_U32 count = 1;
    EXPECT_EQ(eBISS_REGISTER_REJECTED, BISS(BISS_WriteSlaveRegister)(handle_, 0, 0, 0x30, &count, data.data()));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(0, slave.Registers().Read(0x30));
    Scd scd;
    EXPECT_EQ(0, ReadScd(scd)) << "the line is usable afterwards";
}

TEST_P(BackEndTest, AFrameTheMasterFlagsAsFailedReportsNoGoodChannel)
{
    Connect();
    // The FTDI adapter runs its cycle through master registers when time-outs are off.
    if (GetParam() == eBISS_IF_FTDI) {
        ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_DISABLE_TIMEOUT, 1));
    }
    Scd scd;
    ASSERT_EQ(0, ReadScd(scd));
    ASSERT_EQ(1u, scd.mask);

    // Error flag set, acceptance clear, every channel valid by itself.
    rig_->master.SetFlagsFrameError(true);
    EXPECT_EQ(eBISS_FRAME_FAILED, ReadScd(scd));
    EXPECT_EQ(0u, scd.mask) << "the code says the frame failed: the mask must not call its channel good";
    EXPECT_EQ(0u, scd.low[0]);
}

INSTANTIATE_TEST_SUITE_P(BackEnds, BackEndTest,
                         ::testing::Values(BISS_U32{eBISS_IF_FTDI}, BISS_U32{eBISS_IF_LPT_1},
                                           BISS_U32{eBISS_IF_LPT_2}, BISS_U32{eBISS_IF_LPT_3}),
                         [](const auto &info) {
                             return info.param == eBISS_IF_FTDI ? std::string("Ftdi")
                                                                : "Lpt" + std::to_string(info.param);
                         });

class FtdiRoadTest : public DirectAdapterTest {
protected:
    void SetUp() override
    {
        DirectAdapterTest::SetUp();
        AddEncoder(0x654321);
        AddFtdiDevice();
        ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, ""));
        ConfigureEncoderChannel();
        SimulatedFtdi().ClearLog();
    }
    int ReadScd(Scd &scd) { return BISS(BISS_ReadSCD)(handle_, scd.high, scd.low, &scd.mask, 0, &scd.done); }
};

TEST_F(FtdiRoadTest, EachScdReadIsOneWriteAndOneReadResentUnchanged)
{
    Scd scd;
    ASSERT_EQ(0, ReadScd(scd));
    ASSERT_EQ(0, ReadScd(scd));
    const std::vector<std::string> log = FtdiLog();
    ASSERT_EQ(6u, log.size());
    EXPECT_EQ(log[0], log[3]);
    EXPECT_EQ(0u, log[0].find("write 80 10 1B 11 02 00 02 F4 04 "));
    EXPECT_EQ("queue = 0", log[5]);
    // New master parameters drop the kept sequence; the next one is built again.
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_FREQ_SCD, 0));
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    SimulatedFtdi().ClearLog();
    ASSERT_EQ(0, ReadScd(scd));
    EXPECT_LT(FtdiLog().at(0).size(), log[0].size()) << "fewer status polls with the faster clock";
}

TEST_F(FtdiRoadTest, WithTimeOutsDisabledTheCycleGoesRegisterByRegister)
{
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_DISABLE_TIMEOUT, 1));
    Scd scd;
    EXPECT_EQ(0, ReadScd(scd));
    EXPECT_EQ(0x654321u, scd.low[0]);
    for (const std::string &line : FtdiLog()) {
        if (line.compare(0, 5, "write") == 0) {
            EXPECT_LE(line.size(), std::string("write 80 10 1B 35 02 00 03 F0 00 80 18 1B 87").size()) << line;
        }
    }
}

TEST_F(FtdiRoadTest, AFailedTransferInASoftwareFrameEndsTheAccessAtOnce)
{
    Values read(2, 0);
    BISS_U32 count = 2;
    // The control status read and some frames go through, then the adapter fails.
    SimulatedFtdi().FailCalls(sim::ftdi::D2xxCall::Read, 10, 1000);
    EXPECT_EQ(eBISS_USB_CONNECTION, BISS(BISS_ReadSlaveRegister)(handle_, 0, 0, 0x20, &count, read.data()));
    EXPECT_EQ(eBISS_USB_CONNECTION, LastCode());
    EXPECT_EQ(0u, count);
    EXPECT_EQ("read 81 -> 4", FtdiLog().back()) << "no recovery frames after the failure";
}

TEST_F(FtdiRoadTest, AnSsiWriteEndsWithTheClockIdle)
{
    // An SSI write runs blind in SSI frames, which an SSI slave answers.
    rig_->line.Slave(0).SetProtocol(sim::biss::LineProtocol::Ssi);
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_SSI_WRITE, 1));
    const Values data = {0x42};
    BISS_U32 count = 1;
    SimulatedFtdi().ClearLog();
    EXPECT_EQ(0, BISS(BISS_WriteSlaveRegister)(handle_, 0, 0, 0x20, &count, data.data()));
    const std::vector<std::string> log = FtdiLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("write 80 10 1B 11 02 00 02 F5 00 80 18 1B", log.back());
    BISS_U32 protocol = 0;
    EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_PROTOCOL, &protocol));
    EXPECT_EQ(2u, protocol) << "the protocol stays SSI";
}

TEST_F(DirectAdapterTest, Chip84BehindTheFtdiAdapterMovesSoftwareModeBytesThroughItsRam)
{
    UseChip(sim::biss::MasterChipProfile::Chip84());
    sim::biss::SimBissSlave &slave = AddEncoder(0x654321);
    AddFtdiDevice();
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, ""));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_SCD_LENGTH, 30));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_CRC_POLY, 0x43));
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    rig_->master.Trace().Clear();
    const Values written = {1, 2, 3, 4};
    BISS_U32 count = 4;
    EXPECT_EQ(0, BISS(BISS_WriteSlaveRegister)(handle_, 0, 0, 0x10, &count, written.data()));
    EXPECT_EQ(4, slave.Registers().Read(0x13));
    Values read(4, 0);
    EXPECT_EQ(0, BISS(BISS_ReadSlaveRegister)(handle_, 0, 0, 0x10, &count, read.data()));
    EXPECT_EQ(written, read);
    EXPECT_TRUE(rig_->master.Trace().Frames(sim::biss::FrameKind::Single).empty()) << "no software frames";
}

} // namespace
