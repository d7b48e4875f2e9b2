#include "EncoderRig.h"

#include "FieldPacking.h"
#include "ParameterPages.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "SimulatedDriver.h"

using calvista_sim::SimulatedDriver;
using calvista_sim::UseClockOf;

EncoderRig::EncoderRig(sim::kelto::KeltoModel model)
    : rig_(std::make_unique<sim::biss::UsbAdapterRig>(SimulatedDriver(), sim::biss::MasterChipProfile::Chip52Rev4(),
                                                      sim::biss::AdapterIdentity{"KELTO-0001", true})),
      encoder_(std::make_unique<sim::kelto::SimKeltoEncoder>(std::move(model)))
{
    calvista_sim::AttachEncoder(*encoder_, *rig_, rig_->line.AddSlave());
    UseClockOf(rig_.get());
}

sim::kelto::SimKeltoEncoder &EncoderRig::Replace(sim::kelto::KeltoModel model)
{
    encoder_->Detach();
    encoder_ = std::make_unique<sim::kelto::SimKeltoEncoder>(std::move(model));
    calvista_sim::AttachEncoder(*encoder_, *rig_, rig_->line.Slave(0));
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
