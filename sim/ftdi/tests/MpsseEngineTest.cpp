// The MPSSE engine and the master chip's serial register interface behind it,
// against a register file that records every access.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MpsseEngine.h"

namespace {

using Bytes = std::vector<uint8_t>;

class RecordingChip final : public sim::chipbus::IMasterChipBus {
public:
    uint8_t ReadRegister(uint8_t address) override
    {
        accesses.push_back("read " + std::to_string(address));
        return registers[address];
    }
    void WriteRegister(uint8_t address, uint8_t value) override
    {
        accesses.push_back("write " + std::to_string(address) + " " + std::to_string(value));
        registers[address] = value;
    }
    bool EndOfCycle() override { return true; }
    void Elapse(uint32_t) override {}

    uint8_t registers[256] = {};
    std::vector<std::string> accesses;
};

class MpsseEngineTest : public ::testing::Test {
protected:
    Bytes Run(const Bytes &commands)
    {
        Bytes answers;
        engine_.Execute(commands.data(), commands.size(), &chip_, answers);
        return answers;
    }

    sim::ftdi::MpsseEngine engine_;
    RecordingChip chip_;
};

// Clock, data out and chip select as outputs; chip select high.
const Bytes kIdle = {0x80, 0x18, 0x1B};
const Bytes kSelect = {0x80, 0x10, 0x1B};

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(MpsseEngineTest, RegisterAccessesTravelBetweenChipSelectEdges)
{
    chip_.registers[0xEB] = 0x52;
    EXPECT_TRUE(Run(Join({kIdle, kSelect, {0x11, 0x02, 0x00, 0x02, 0xE2, 0x5A}, kIdle})).empty());
    EXPECT_EQ(0x5A, chip_.registers[0xE2]);
    const Bytes answers = Run(Join({kSelect, {0x35, 0x02, 0x00, 0x03, 0xEB, 0x00}, kIdle, {0x87}}));
    EXPECT_EQ((Bytes{0xFF, 0xFF, 0x52}), answers) << "data out is released until the value is shifted out";
    EXPECT_EQ((std::vector<std::string>{"write 226 90", "read 235"}), chip_.accesses);
}

TEST_F(MpsseEngineTest, TheInstructionAndStatusOpcodesNeedNoAddress)
{
    chip_.registers[0xF0] = 0x71;
    Run(Join({kIdle, kSelect, {0x11, 0x01, 0x00, 0x07, 0x04}, kIdle}));
    EXPECT_EQ(4, chip_.registers[0xF4]);
    EXPECT_EQ((Bytes{0xFF, 0x71}), Run(Join({kSelect, {0x35, 0x01, 0x00, 0x05, 0x00}, kIdle})));
}

TEST_F(MpsseEngineTest, UnknownOpcodesAreAnsweredAndTheNextCommandStillRuns)
{
    Run(kIdle);
    // Bit-wise clocking and the high pin byte read are outside the engine's set.
    EXPECT_EQ((Bytes{0xFA, 0x13, 0xFA, 0x83, 0x1C}), Run({0x13, 0x83, 0x81}));
}

TEST_F(MpsseEngineTest, ACommandCutOffByTheEndOfAWriteCompletesWithTheNext)
{
    EXPECT_TRUE(Run(Join({kIdle, kSelect, {0x11, 0x02}})).empty());
    EXPECT_TRUE(chip_.accesses.empty());
    Run(Join({{0x00, 0x02, 0xE2, 0x5A}, kIdle}));
    EXPECT_EQ((std::vector<std::string>{"write 226 90"}), chip_.accesses);
}

TEST_F(MpsseEngineTest, NothingReachesAChipThatIsNotSelected)
{
    // Chip select high, and then chip select not driven at all.
    EXPECT_EQ((Bytes{0xFF, 0xFF, 0xFF}), Run(Join({kIdle, {0x35, 0x02, 0x00, 0x03, 0xEB, 0x00}})));
    Run(Join({{0x80, 0x10, 0x13}, {0x11, 0x02, 0x00, 0x02, 0xE2, 0x5A}}));
    // An access cut short by deselecting is dropped.
    Run(Join({kIdle, kSelect, {0x11, 0x01, 0x00, 0x02, 0xE2}, kIdle, {0x11, 0x00, 0x00, 0x5A}}));
    EXPECT_TRUE(chip_.accesses.empty());
}

} // namespace
