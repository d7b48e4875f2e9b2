// Auto-detection behind the FTDI adapter (stand-in ftd2xx.dll): the channel
// set-up the detection writes for the library's own access, and what a later
// start-up makes of it.
#include <algorithm>

#include "DirectAdapter.h"

namespace {

using ferrolink_test::DirectAdapterTest;

class FtdiDetectionTest : public DirectAdapterTest {
protected:
    int HostWrites(uint8_t address, uint8_t value)
    {
        const auto events = rig_->master.Trace().Select(sim::biss::TraceKind::RegisterWrite);
        return static_cast<int>(std::count_if(events.begin(), events.end(), [&](const auto &event) {
            return event.address == address && event.value == value;
        }));
    }
};

TEST_F(FtdiDetectionTest, TheOpenedChannelsAreClosedAgainByTheNextStartUp)
{
    sim::biss::SimBissSlave &slave = AddEncoder(0x654321);
    slave.Registers().SetIdentification({0x22, 0, 0, 0, 0, 0, 0x4B, 0x56});
    AddFtdiDevice();
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, ""));
    rig_->master.Trace().Clear();

    BISS_U32 count = 0;
    ASSERT_EQ(0, BISS(BISS_AutoDetection)(handle_, "data/chain_idbiss.xml", &count, 0));
    EXPECT_EQ(1u, count);
    EXPECT_GE(HostWrites(0xC8, 0x7F), 1) << "three channel groups opened";
    EXPECT_EQ(0, HostWrites(0xCC, 0x7F)) << "the FTDI adapter has no fourth";

    // The start-up writes only what changed, and the opened groups count as changed.
    ASSERT_EQ(0, BISS(BISS_InitBissComm)(handle_));
    for (uint8_t address : {0xC4, 0xC8})
        EXPECT_EQ(0, rig_->master.Peek(address)) << std::hex << int{address};
    BISS_U32 high[8] = {}, low[8] = {}, mask = 0, done = 0;
    BISS(BISS_SetComParam)(handle_, eBISS_CP_PROTOCOL, 0);
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    ASSERT_EQ(0, BISS(BISS_ReadSCD)(handle_, high, low, &mask, 0, &done));
    EXPECT_EQ(0x654321u, low[0]);
}

} // namespace
