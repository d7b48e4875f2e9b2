// A simulated Kelto encoder on slave 0 of a simulated USB adapter, plugged into the simulated
// driver that ferrolink.dll loads (VANTREL_SIMULATION=1). ferrolink's waits run on the adapter's
// virtual clock while the rig is plugged; unplugging disconnects the tool first.
#pragma once

#include <cstdint>
#include <memory>

#include "SimKeltoEncoder.h"
#include "UsbAdapterRig.h"

class EncoderRig {
public:
    explicit EncoderRig(sim::kelto::KeltoModel model);
    ~EncoderRig();
    EncoderRig(const EncoderRig &) = delete;
    EncoderRig &operator=(const EncoderRig &) = delete;

    sim::kelto::SimKeltoEncoder &Encoder() { return *encoder_; }
    // The adapter, its master and the bus behind the encoder.
    sim::biss::UsbAdapterRig &Adapter() { return *rig_; }
    // Another encoder on the same cable: the first one is unplugged, this one takes its place.
    sim::kelto::SimKeltoEncoder &Replace(sim::kelto::KeltoModel model);

    // The encoder's EEPROM from first up to end into the register image, as the tool's reads
    // would leave it.
    void TakeOverEeprom(std::uint16_t first, std::uint16_t end);
    // Unpacks the image's system and chip blocks and shows every parameter on the pages.
    static void ShowImage();

private:
    std::unique_ptr<sim::biss::UsbAdapterRig> rig_;
    std::unique_ptr<sim::kelto::SimKeltoEncoder> encoder_;
};
