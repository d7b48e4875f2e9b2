#include "DirectAdapter.h"

#include <windows.h>

#include <stdexcept>

namespace ferrolink_test {

namespace {

// ferrolink reads the simulation's clock from the simulated driver's module
// once the simulation is switched on.
void UseClockOf(sim::chipbus::MasterChipRig *rig)
{
    using SetClock = void(uint32_t (*)(void *), void *);
    static SetClock *const setClock = [] {
        SetEnvironmentVariableA("VANTREL_SIMULATION", "1");
        HMODULE module = LoadLibraryA("dravio_sim.dll");
        if (module == nullptr)
            throw std::runtime_error("dravio_sim.dll does not load");
        return ModuleEntry<SetClock>(module, "DravioSim_SetClock");
    }();
    if (rig == nullptr) {
        setClock(nullptr, nullptr);
        return;
    }
    // Time goes on while the library watches the clock, also in waits that
    // make no hardware access.
    setClock(
        [](void *context) {
            auto *clockRig = static_cast<sim::chipbus::MasterChipRig *>(context);
            clockRig->clock.Advance(20);
            return clockRig->clock.NowMilliseconds();
        },
        rig);
}

} // namespace

void DirectAdapterTest::SetUp()
{
    SimulatedFtdi().Reset();
    SimulatedPorts().Reset();
    UseChip(sim::biss::MasterChipProfile::Chip52Rev4());
    ASSERT_EQ(0, BISS(BISS_Open)(&handle_));
}

void DirectAdapterTest::TearDown()
{
    if (handle_ != 0)
        BISS(BISS_Close)(handle_);
    SimulatedFtdi().Reset();
    SimulatedPorts().Reset();
    UseClockOf(nullptr);
    rig_.reset();
}

void DirectAdapterTest::UseChip(const sim::biss::MasterChipProfile &chip)
{
    rig_ = std::make_unique<sim::chipbus::MasterChipRig>(chip);
    UseClockOf(rig_.get());
}

void DirectAdapterTest::AddFtdiDevice(const char *description)
{
    SimulatedFtdi().AddDevice(description, rig_.get());
}

void DirectAdapterTest::ConnectPort(uint32_t base, uint32_t wiring)
{
    SimulatedPorts().Connect(base, wiring, rig_.get());
}

std::vector<std::string> DirectAdapterTest::FtdiLog()
{
    return FtdiLogLines();
}

std::vector<std::string> DirectAdapterTest::PortLog()
{
    return PortLogLines();
}

BISS_U32 DirectAdapterTest::LastCode()
{
    BISS_U32 code = 0, level = 0;
    char text[BISS_ERROR_TEXT_SIZE];
    BISS(BISS_GetLastError)(handle_, &code, &level, text);
    return code;
}

BISS_U32 DirectAdapterTest::ComParam(BISS_U32 index)
{
    BISS_U32 value = 0;
    EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, index, &value));
    return value;
}

sim::biss::SimBissSlave &DirectAdapterTest::AddEncoder(uint64_t position)
{
    sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
    slave.SetChannels({{24, position, 0x43, 0}});
    return slave;
}

void DirectAdapterTest::ConfigureEncoderChannel()
{
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_SCD_LENGTH, 30));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_CRC_POLY, 0x43));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_CRC_INVERT, 1));
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
}

} // namespace ferrolink_test
