#include "EncoderRig.h"

#include <windows.h>

#include <stdexcept>

#include "AdapterPowerSupply.h"
#include "FieldPacking.h"
#include "ParameterPages.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"

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

// The driver ferrolink.dll routes its USB calls to.
dravio::sim::ISimController &SimulatedDriver()
{
    static dravio::sim::ISimController *const controller =
        SimExport<dravio::sim::ISimController *()>("DravioSim_GetController")();
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

} // namespace

EncoderRig::EncoderRig(sim::kelto::KeltoModel model)
    : rig_(std::make_unique<sim::biss::UsbAdapterRig>(SimulatedDriver(), sim::biss::MasterChipProfile::Chip52Rev4(),
                                                      sim::biss::AdapterIdentity{"KELTO-0001", true})),
      encoder_(std::make_unique<sim::kelto::SimKeltoEncoder>(std::move(model)))
{
    encoder_->Attach(rig_->line.AddSlave());
    encoder_->SetClock(&rig_->clock);
    encoder_->SetPowerSupply(sim::kelto::PoweredWhileAdapterOpen(SimulatedDriver(), rig_->link.DeviceNumber()));
    UseClockOf(rig_.get());
}

sim::kelto::SimKeltoEncoder &EncoderRig::Replace(sim::kelto::KeltoModel model)
{
    encoder_->Detach();
    encoder_ = std::make_unique<sim::kelto::SimKeltoEncoder>(std::move(model));
    encoder_->Attach(rig_->line.Slave(0));
    encoder_->SetClock(&rig_->clock);
    encoder_->SetPowerSupply(sim::kelto::PoweredWhileAdapterOpen(SimulatedDriver(), rig_->link.DeviceNumber()));
    return *encoder_;
}

EncoderRig::~EncoderRig()
{
    // As the tool disconnects: the handle closed, the link settings back to their reset values.
    CloseInterface(&g_link.handle);
    ResetLinkSettings();
    UseClockOf(nullptr);
    encoder_.reset();
    rig_.reset();
}

void EncoderRig::TakeOverEeprom(std::uint16_t first, std::uint16_t end)
{
    for (std::uint16_t address = first; address < end; ++address)
        calvista::UpdateBuffers(address, 0, encoder_->Eeprom(address));
}

void EncoderRig::ShowImage()
{
    calvista::SysCfgvectorToRegfields();
    calvista::DorvelCfgvectorToRegfields();
    Visualize();
}
