#include "SimulatedDriver.h"

#include <windows.h>

#include <stdexcept>
#include <string>

#include "AdapterPowerSupply.h"

namespace calvista_sim {
namespace {

HMODULE SimModule()
{
    static const HMODULE module = [] {
        SetEnvironmentVariableA("VANTREL_SIMULATION", "1");
        const HMODULE loaded = LoadLibraryA("dravio_sim.dll");
        if (loaded == nullptr)
            throw std::runtime_error("dravio_sim.dll does not load");
        return loaded;
    }();
    return module;
}

template <class Function>
Function *SimExport(const char *name)
{
    auto *function = reinterpret_cast<Function *>(reinterpret_cast<void *>(GetProcAddress(SimModule(), name)));
    if (function == nullptr)
        throw std::runtime_error(std::string("dravio_sim.dll lacks ") + name);
    return function;
}

} // namespace

dravio::sim::ISimController &SimulatedDriver()
{
    static dravio::sim::ISimController *const controller =
        SimExport<dravio::sim::ISimController *()>(dravio::sim::kGetControllerExport)();
    return *controller;
}

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

void AttachEncoder(sim::kelto::SimKeltoEncoder &encoder, sim::biss::UsbAdapterRig &rig, sim::biss::SimBissSlave &slave)
{
    encoder.Attach(slave);
    encoder.SetClock(&rig.clock);
    encoder.SetPowerSupply(sim::kelto::PoweredWhileAdapterOpen(SimulatedDriver(), rig.link.DeviceNumber()));
}

} // namespace calvista_sim
