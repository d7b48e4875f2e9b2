#include "SimulatedAdapter.h"

#include "HandleFixtures.h"

#include <windows.h>

#include <stdexcept>

namespace ferrolink_test {

namespace {

HMODULE SimModule()
{
    static const HMODULE module = [] {
        SetEnvironmentVariableA("VANTREL_SIMULATION", "1");
        HMODULE loaded = LoadLibraryA("dravio_sim.dll");
        if (loaded == nullptr)
            throw std::runtime_error("dravio_sim.dll does not load");
        return loaded;
    }();
    return module;
}

template <class Function>
Function *SimExport(const char *name)
{
    return reinterpret_cast<Function *>(reinterpret_cast<void *>(GetProcAddress(SimModule(), name)));
}

} // namespace

// ferrolink's waits read the rig's virtual clock while a rig is plugged in.
void UseClockOf(sim::biss::UsbAdapterRig *rig)
{
    using SetClock = void(uint32_t (*)(void *), void *);
    static SetClock *const setClock = SimExport<SetClock>("DravioSim_SetClock");
    if (rig == nullptr) {
        setClock(nullptr, nullptr);
        return;
    }
    setClock([](void *context) { return static_cast<sim::biss::UsbAdapterRig *>(context)->clock.NowMilliseconds(); },
             rig);
}

dravio::sim::ISimController &SimulatedDriver()
{
    static dravio::sim::ISimController *const controller =
        SimExport<dravio::sim::ISimController *()>("DravioSim_GetController")();
    return *controller;
}

void SimulatedAdapterTest::Plug(sim::biss::AdapterIdentity identity, const sim::biss::MasterChipProfile &chip)
{
    rig_ = std::make_unique<sim::biss::UsbAdapterRig>(SimulatedDriver(), chip, std::move(identity));
    ASSERT_EQ(0u, rig_->link.Status());
    UseClockOf(rig_.get());
    ASSERT_EQ(0, BISS(BISS_Open)(&handle_));
}

sim::biss::SimBissSlave &SimulatedAdapterTest::PlugOneSlave(const sim::biss::MasterChipProfile &chip)
{
    Plug({"SN-0042", true}, chip);
    sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
    slave.SetChannels({{18, 0x2ABCD, 0x43, 0}});
    Select();
    ConfigureChannel(0, 24, 0x43);
    EXPECT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    return slave;
}

void SimulatedAdapterTest::TearDown()
{
    if (handle_ != 0)
        BISS(BISS_Close)(handle_);
    UseClockOf(nullptr);
    rig_.reset();
}

BISS_U32 SimulatedAdapterTest::LastCode()
{
    return LastErrorCode(handle_);
}

void SimulatedAdapterTest::Select()
{
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
}

void SimulatedAdapterTest::ConfigureChannel(BISS_U32 channel, BISS_U32 length, BISS_U32 poly, BISS_U32 invert,
                                            BISS_U32 start)
{
    auto *set = BISS(BISS_SetFrameParam);
    ASSERT_EQ(0, set(handle_, channel, eBISS_FP_SCD_LENGTH, length));
    ASSERT_EQ(0, set(handle_, channel, eBISS_FP_CRC_POLY, poly));
    ASSERT_EQ(0, set(handle_, channel, eBISS_FP_CRC_INVERT, invert));
    ASSERT_EQ(0, set(handle_, channel, eBISS_FP_CRC_START, start));
}

void SimulatedAdapterTest::SetComParam(BISS_U32 index, BISS_U32 value)
{
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, index, value));
}

} // namespace ferrolink_test
