// What happens once per run: the first mailbox access reads register 12 before its writes, and
// the sequence numbers start at 2. A process of its own, so no other access comes first.
#include "LinkRig.h"

#include "SensorMailbox.h"

namespace {

using link_test::LinkRigTest;
using link_test::Read;

TEST_F(LinkRigTest, TheFirstAccessReadsTheCountAndSequencesStartAt2)
{
    PlugAndConnect();
    ClearTrace();
    for (int access = 0; access < 6; ++access)
        ASSERT_EQ(0, OperateSlaveRegByAddress(196 + access, 0, 2));

    const auto accesses = SlaveAccesses();
    ASSERT_FALSE(accesses.empty());
    EXPECT_EQ(Read(12), accesses.front());
    std::vector<int> sequences;
    int countReads = 0;
    for (const auto &access : accesses) {
        if (access.write && access.reg == 0)
            sequences.push_back(access.value >> 4);
        countReads += access == Read(12) ? 1 : 0;
    }
    EXPECT_EQ((std::vector<int>{2, 3, 4, 5, 1, 2}), sequences);
    EXPECT_EQ(1, countReads);
    EXPECT_EQ(std::uint32_t{'8'}, MailboxResult()) << "the identifier's sixth character";
}

} // namespace
