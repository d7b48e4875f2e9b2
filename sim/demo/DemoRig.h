// The hardware of the hardware-free demo: one USB adapter (master chip 0x52 revision 4) with a
// Kelto encoder on slave 0 of its line, on a rotary ring that turns slowly. The adapter feeds the
// encoder while the host holds it open.
#pragma once

#include "SimKeltoEncoder.h"
#include "UsbAdapterRig.h"

namespace sim::demo {

inline constexpr char kDemoAdapterSerial[] = "KELTO-DEMO";
inline constexpr uint16_t kDemoRingPoles = 100;
inline constexpr double kDemoTurnDegreesPerSecond = 6.0;  // one turn a minute

class DemoRig {
public:
    // Plugs the adapter into the driver, which must outlive the rig.
    explicit DemoRig(dravio::sim::ISimController &driver);
    DemoRig(const DemoRig &) = delete;
    DemoRig &operator=(const DemoRig &) = delete;

    biss::UsbAdapterRig &Adapter() { return rig_; }
    kelto::SimKeltoEncoder &Encoder() { return encoder_; }

private:
    biss::UsbAdapterRig rig_;
    kelto::SimKeltoEncoder encoder_;
};

} // namespace sim::demo
