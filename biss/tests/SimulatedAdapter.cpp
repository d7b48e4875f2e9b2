#include "SimulatedAdapter.h"

#include <windows.h>

#include <stdexcept>

namespace ferrolink_test {

dravio::sim::ISimController &SimulatedDriver()
{
    static dravio::sim::ISimController *const controller = [] {
        SetEnvironmentVariableA("VANTREL_SIMULATION", "1");
        HMODULE module = LoadLibraryA("dravio_sim.dll");
        if (module == nullptr)
            throw std::runtime_error("dravio_sim.dll does not load");
        using GetController = dravio::sim::ISimController *(*)();
        auto get = reinterpret_cast<GetController>(
            reinterpret_cast<void *>(GetProcAddress(module, "DravioSim_GetController")));
        return get();
    }();
    return *controller;
}

void SimulatedAdapterTest::Plug(sim::biss::AdapterIdentity identity, const sim::biss::MasterChipProfile &chip)
{
    rig_ = std::make_unique<sim::biss::UsbAdapterRig>(SimulatedDriver(), chip, std::move(identity));
    ASSERT_EQ(0u, rig_->link.Status());
    ASSERT_EQ(0, BISS(BISS_Open)(&handle_));
}

void SimulatedAdapterTest::TearDown()
{
    if (handle_ != 0)
        BISS(BISS_Close)(handle_);
    rig_.reset();
}

BISS_U32 SimulatedAdapterTest::LastCode()
{
    BISS_U32 code = 0, level = 0;
    char text[BISS_ERROR_TEXT_SIZE];
    BISS(BISS_GetLastError)(handle_, &code, &level, text);
    return code;
}

} // namespace ferrolink_test
