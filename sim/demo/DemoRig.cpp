#include "DemoRig.h"

#include "AdapterPowerSupply.h"
#include "KeltoMemoryMap.h"
#include "KeltoPseudoRandomCode.h"

#include <windows.h>

namespace sim::demo {

namespace {

// The ring the encoder sits on, in its EEPROM as the factory would leave it, so the encoder
// reports no inconsistency: pole count, start value and length of the ring's code.
void ConfigureRing(kelto::SimKeltoEncoder &encoder, uint16_t poles)
{
    namespace address = kelto::address;
    const unsigned length = kelto::CodeLength(poles);
    const uint32_t start = kelto::CodeStartValue(length, poles).value_or(0);
    encoder.SetEeprom(address::kPolesHigh, static_cast<uint8_t>(poles >> 8));
    encoder.SetEeprom(address::kPolesLow, static_cast<uint8_t>(poles));
    encoder.SetEeprom(address::kCodeStartHigh, static_cast<uint8_t>(start >> 8));
    encoder.SetEeprom(address::kCodeStartLow, static_cast<uint8_t>(start));
    const bool lengthAsNumber = encoder.Model().CodeLengthAsNumber();
    encoder.SetEeprom(address::kCodeLength,
                      lengthAsNumber ? static_cast<uint8_t>(length) : kelto::LegacyCodeLengthCode(length));
    encoder.MountRing(poles);
}

// The demo turns in wall-clock time; the adapter's own clock only moves while it works.
double TurnedDegrees()
{
    static const ULONGLONG start = GetTickCount64();
    return kDemoTurnDegreesPerSecond * static_cast<double>(GetTickCount64() - start) / 1000.0;
}

} // namespace

DemoRig::DemoRig(dravio::sim::ISimController &driver)
    : rig_(driver, biss::MasterChipProfile::Chip52Rev4(), biss::AdapterIdentity{kDemoAdapterSerial, true})
{
    ConfigureRing(encoder_, kDemoRingPoles);
    encoder_.SetMotion([](double) { return TurnedDegrees(); });
    encoder_.Attach(rig_.line.AddSlave());
    encoder_.SetPowerSupply(kelto::PoweredWhileAdapterOpen(driver, rig_.link.DeviceNumber()));
}

} // namespace sim::demo
