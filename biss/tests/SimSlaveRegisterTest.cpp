// Slave registers read and written through BISS_ReadSlaveRegister and
// BISS_WriteSlaveRegister against the simulated adapter: mode 0 (the adapter's
// master-assisted transfer), mode 1 (the master chip's own access), and the
// checks every call makes.
#include <numeric>
#include <string>
#include <vector>

#include "SimulatedAdapter.h"

namespace {

using ferrolink_test::SimulatedAdapterTest;
using sim::biss::MasterChipProfile;
using sim::biss::TraceKind;

class SlaveRegisterTest : public SimulatedAdapterTest {
protected:
    int Read(BISS_U32 mode, BISS_U32 address, BISS_U32 *count, BISS_U32 *data, BISS_U32 slave = 0)
    {
        return BISS(BISS_ReadSlaveRegister)(handle_, mode, slave, address, count, data);
    }
    int Write(BISS_U32 mode, BISS_U32 address, BISS_U32 *count, const BISS_U32 *data, BISS_U32 slave = 0)
    {
        return BISS(BISS_WriteSlaveRegister)(handle_, mode, slave, address, count, data);
    }

    // The values the host wrote to one master register, in order.
    std::vector<uint8_t> WritesTo(uint8_t address)
    {
        std::vector<uint8_t> values;
        for (const auto &event : rig_->master.Trace().Select(TraceKind::RegisterWrite))
            if (event.address == address && event.origin == sim::biss::AccessOrigin::Host)
                values.push_back(event.value);
        return values;
    }
};

struct TransferRow {
    BISS_U32 mode;
    BISS_U32 count;
};

class TransferTest : public SlaveRegisterTest, public ::testing::WithParamInterface<TransferRow> {};

TEST_P(TransferTest, BytesWrittenAreInTheSlaveAndReadBack)
{
    const TransferRow &row = GetParam();
    sim::biss::SimBissSlave &slave = PlugOneSlave();
    const BISS_U32 address = 0x10 + row.count;
    std::vector<BISS_U32> written = {0xA5, 0x00, 0x7E};
    written.resize(row.count);
    BISS_U32 count = row.count;
    EXPECT_EQ(0, Write(row.mode, address, &count, written.data()));
    EXPECT_EQ(row.count, count);
    for (BISS_U32 i = 0; i < row.count; ++i)
        EXPECT_EQ(written[i], slave.Registers().Read(static_cast<uint8_t>(address + i))) << "byte " << i;

    std::vector<BISS_U32> read(row.count, 0xEEEE);
    count = row.count;
    EXPECT_EQ(0, Read(row.mode, address, &count, read.data()));
    EXPECT_EQ(row.count, count);
    EXPECT_EQ(written, read);
}

INSTANTIATE_TEST_SUITE_P(Modes, TransferTest,
                         ::testing::Values(TransferRow{0, 1}, TransferRow{0, 2}, TransferRow{0, 3},
                                           TransferRow{1, 1}, TransferRow{1, 2}, TransferRow{1, 3}),
                         [](const auto &info) {
                             return "Mode" + std::to_string(info.param.mode) + "Bytes" +
                                    std::to_string(info.param.count);
                         });

TEST_F(SlaveRegisterTest, AMode0ReadOf70BytesGoesOutAs64And6)
{
    sim::biss::SimBissSlave &slave = PlugOneSlave();
    // Register 0x40 chooses the bank the first 64 registers show: it stays 0.
    const auto expected = [](uint8_t address) { return address == 0x40 ? 0 : 0x7E + address; };
    for (uint8_t address = 0x02; address < 0x02 + 70; ++address)
        slave.Registers().Write(address, static_cast<uint8_t>(expected(address)));
    rig_->master.Trace().Clear();
    std::vector<BISS_U32> data(70);
    BISS_U32 count = 70;
    EXPECT_EQ(0, Read(0, 0x02, &count, data.data()));
    EXPECT_EQ(70u, count);
    for (uint8_t i = 0; i < 70; ++i)
        ASSERT_EQ(static_cast<BISS_U32>(expected(0x02 + i) & 0xFF), data[i]) << "byte " << int{i};
    EXPECT_EQ((std::vector<uint8_t>{0x02, 0x42}), WritesTo(0xE2));
    EXPECT_EQ((std::vector<uint8_t>{63, 5}), WritesTo(0xE3));
}

TEST_F(SlaveRegisterTest, AMode0WriteLongerThanTheTransferMemoryGoesInPieces)
{
    sim::biss::SimBissSlave &slave = PlugOneSlave();
    rig_->master.Trace().Clear();
    std::vector<BISS_U32> data(70);
    std::iota(data.begin(), data.end(), 0x20);
    BISS_U32 count = 70;
    EXPECT_EQ(0, Write(0, 0x01, &count, data.data()));
    EXPECT_EQ(70u, count);
    EXPECT_EQ((std::vector<uint8_t>{0x81, 0xC1}), WritesTo(0xE2));
    // The first piece's last byte lands in 0x40 and switches the bank: look into bank 0 itself.
    for (uint8_t i = 0; i < 70; ++i) {
        const uint8_t address = static_cast<uint8_t>(0x01 + i);
        const uint8_t value = address < 0x40 ? slave.Registers().BankByte(0, address) : slave.Registers().Read(address);
        ASSERT_EQ(0x20 + i, value) << "register " << int{address};
    }
    EXPECT_TRUE(WritesTo(0xC0).empty()) << "nothing spilled past the transfer memory";
}

TEST_F(SlaveRegisterTest, ARejectionPartWayGives14WithTheBytesThatCame)
{
    sim::biss::SimBissSlave &slave = PlugOneSlave();
    slave.Registers().Write(0x30, 0x11);
    slave.Registers().Write(0x31, 0x22);
    slave.Registers().SetReadProtected(0x31, true);
    BISS_U32 data[3] = {};
    BISS_U32 count = 3;
    EXPECT_EQ(eBISS_REGISTER_REJECTED, Read(0, 0x30, &count, data));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(0x11u, data[0]);
    // The master's own access reports an answered but refused access with nothing moved.
    count = 3;
    EXPECT_EQ(eBISS_REGISTER_REJECTED, Read(1, 0x30, &count, data));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(14u, LastCode());

    // After the rejections the line works again.
    count = 1;
    EXPECT_EQ(0, Read(0, 0x20, &count, data));
    count = 1;
    EXPECT_EQ(0, Read(1, 0x20, &count, data));
}

TEST_F(SlaveRegisterTest, AWriteTheSlaveRefusesGives14)
{
    sim::biss::SimBissSlave &slave = PlugOneSlave();
    slave.Registers().Write(0x7E, 0x12);
    slave.Registers().SetWriteProtected(0x7E, true);
    for (BISS_U32 mode : {0u, 1u}) {
        const BISS_U32 data[1] = {0x34};
        BISS_U32 count = 1;
        EXPECT_EQ(eBISS_REGISTER_REJECTED, Write(mode, 0x7E, &count, data)) << "mode " << mode;
        EXPECT_EQ(0u, count);
        EXPECT_EQ(0x12, slave.Registers().Read(0x7E));
    }
}

TEST_F(SlaveRegisterTest, Mode1AboveTheMastersRegisterCountGives16)
{
    PlugOneSlave(MasterChipProfile::Chip84());
    std::vector<BISS_U32> data(40);
    BISS_U32 count = 40;
    EXPECT_EQ(eBISS_REGCNT_EXCEEDED, Read(1, 0, &count, data.data()));
    EXPECT_EQ(0u, count);
    count = 40;
    EXPECT_EQ(eBISS_REGCNT_EXCEEDED, Write(1, 0, &count, data.data()));
    EXPECT_EQ(0u, count);
}

TEST_F(SlaveRegisterTest, AnSsiWriteGoesOutInSoftwareFramesWithTheMasterSetUpForIt)
{
    sim::biss::SimBissSlave &slave = PlugOneSlave();
    SetComParam(eBISS_CP_SSI_WRITE, 1);
    rig_->master.Trace().Clear();
    const BISS_U32 data[2] = {0x5A, 0xC3};
    BISS_U32 count = 2;
    EXPECT_EQ(0, Write(0, 0x30, &count, data));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(0x5A, slave.Registers().Read(0x30));
    EXPECT_EQ(0xC3, slave.Registers().Read(0x31));
    const std::vector<uint8_t> setup = WritesTo(0xE5);
    ASSERT_EQ(2u, setup.size());
    EXPECT_EQ(0xC1, setup.front());
    EXPECT_EQ(0xC0, setup.back());
    EXPECT_EQ(0x80, WritesTo(0xF4).back());
    EXPECT_EQ(2, rig_->master.Peek(0xED)) << "channel 0 in SSI during the write";
}

struct BadCall {
    const char *name;
    BISS_U32 mode, slave, address, count;
    int result;
};

class BadCallTest : public SlaveRegisterTest, public ::testing::WithParamInterface<BadCall> {};

TEST_P(BadCallTest, IsRefusedWithItsCodeAndNoTransfer)
{
    const BadCall &row = GetParam();
    PlugOneSlave();
    rig_->master.Trace().Clear();
    std::vector<BISS_U32> data(256);
    BISS_U32 count = row.count;
    EXPECT_EQ(row.result, Read(row.mode, row.address, &count, data.data(), row.slave));
    EXPECT_EQ(0u, count);
    count = row.count;
    EXPECT_EQ(row.result, Write(row.mode, row.address, &count, data.data(), row.slave));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(static_cast<BISS_U32>(row.result), LastCode());
    EXPECT_TRUE(rig_->master.Trace().Events().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Checks, BadCallTest,
    ::testing::Values(BadCall{"Slave8", 0, 8, 0, 1, eBISS_INVALID_PARAMETER},
                      BadCall{"Address256", 0, 0, 256, 1, eBISS_ADDRESS_RANGE},
                      BadCall{"CountZero", 0, 0, 0, 0, eBISS_REGCNT_EXCEEDED},
                      BadCall{"Mode2", 2, 0, 0, 1, eBISS_INVALID_PARAMETER},
                      BadCall{"PastRegister127", 1, 0, 0x7F, 2, eBISS_ADDRESS_RANGE},
                      BadCall{"Address0x80", 1, 0, 0x80, 1, eBISS_ADDRESS_RANGE},
                      BadCall{"HugeCount", 0, 0, 0, 0xFFFFFFFF, eBISS_ADDRESS_RANGE}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SlaveRegisterTest, MissingArraysAndAMissingLineGetCodes)
{
    Plug();
    BISS_U32 data[1] = {};
    BISS_U32 count = 1;
    EXPECT_EQ(eBISS_INVALID_PARAMETER, Read(0, 0, nullptr, data));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, Read(0, 0, &count, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, Write(0, 0, &count, nullptr));
    EXPECT_EQ(0u, count);
    count = 1;
    EXPECT_EQ(eBISS_NO_INTERFACE, Read(1, 0, &count, data)) << "no interface selected";
    Select();
    count = 1;
    EXPECT_EQ(eBISS_FRAME_FAILED, Read(0, 0, &count, data)) << "no channel configured";
    ConfigureChannel(0, 24, 0x43);
    SetComParam(eBISS_CP_PROTOCOL, 2);
    count = 1;
    EXPECT_EQ(eBISS_FRAME_FAILED, Read(0, 0, &count, data)) << "SSI has no control channel";
    SetComParam(eBISS_CP_PROTOCOL, 0);
    count = 1;
    EXPECT_NE(0, Read(0, 0, &count, data)) << "nobody on the line";
    EXPECT_EQ(0u, count);
}

} // namespace

namespace {

TEST_F(SlaveRegisterTest, AtFullSpeedSixtyRegistersAreFetchedAs28And28And4)
{
    Plug({"SN-FS", false});
    sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
    slave.SetChannels({{18, 0x2ABCD, 0x43, 0}});
    ASSERT_EQ(eBISS_USB_NOT_HIGH_SPEED, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    ConfigureChannel(0, 24, 0x43);
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    rig_->master.Trace().Clear();
    std::vector<BISS_U32> data(60);
    BISS_U32 count = 60;
    EXPECT_EQ(0, Read(0, 0x02, &count, data.data()));
    EXPECT_EQ(60u, count);
    // Read requests of the master's transfer memory, by the number of pairs they carry.
    std::vector<int> pairs;
    for (const auto &event : rig_->master.Trace().Select(TraceKind::AdapterRequest))
        if (event.bytes.size() > 4 && event.bytes[2] == 0x15 && event.bytes[4] >= 0x80 && event.bytes[4] < 0xC0)
            pairs.push_back(event.bytes[0] / 2);
    EXPECT_EQ((std::vector<int>{28, 28, 4}), pairs);
}

} // namespace
