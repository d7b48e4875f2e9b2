#include "ParallelPortAdapter.h"

namespace sim::dlportio {

namespace {

constexpr uint8_t kBit0 = 0x01;
constexpr uint8_t kBit1 = 0x02;
constexpr uint8_t kBit2 = 0x04;
constexpr uint8_t kDataLinesIn = 0x20;
constexpr uint8_t kEndOfCycleStatus = 0x20;
constexpr uint8_t kSerialDataStatus = 0x80;

bool Rises(uint8_t before, uint8_t after, uint8_t bit) { return !(before & bit) && (after & bit); }
bool Falls(uint8_t before, uint8_t after, uint8_t bit) { return (before & bit) && !(after & bit); }

} // namespace

ParallelPortAdapter::ParallelPortAdapter(uint32_t wiring, chipbus::IMasterChipBus *chip)
    : wiring_(wiring), chip_(chip)
{
}

void ParallelPortAdapter::WriteControl(uint8_t value)
{
    const uint8_t before = control_;
    control_ = value;
    if (chip_ == nullptr)
        return;
    switch (wiring_) {
    case 1: ControlWiring1(before, value); break;
    case 2: ControlWiring2(before, value); break;
    case 3: ControlWiring3(before, value); break;
    default: break;
    }
}

void ParallelPortAdapter::StartDriving()
{
    chipValue_ = chip_->ReadRegister(addressLatch_);
    chipDrives_ = true;
}

void ParallelPortAdapter::ControlWiring1(uint8_t before, uint8_t after)
{
    if (Rises(before, after, kBit1))
        addressLatch_ = data_;
    if (Falls(before, after, kBit0))
        chip_->WriteRegister(addressLatch_, data_);
    if (Falls(before, after, kBit2))
        StartDriving();
    if (Rises(before, after, kBit2))
        chipDrives_ = false;
}

void ParallelPortAdapter::ControlWiring2(uint8_t before, uint8_t after)
{
    if (Rises(before, after, kBit1))
        addressLatch_ = data_;
    const bool read = (after & kBit2) != 0;
    if (Falls(before, after, kBit0) && read)
        StartDriving();
    if (Rises(before, after, kBit0)) {
        if (read)
            chipDrives_ = false;
        else
            chip_->WriteRegister(addressLatch_, data_);
    }
}

void ParallelPortAdapter::ControlWiring3(uint8_t before, uint8_t after)
{
    if (Falls(before, after, kBit2) || Rises(before, after, kBit2)) {
        serial_.Select((after & kBit2) == 0);
        chipDataOut_ = true;
    }
    if (Falls(before, after, kBit0) && serial_.Selected())
        chipDataOut_ = serial_.ClockBit(chip_, (after & kBit1) == 0);
}

uint8_t ParallelPortAdapter::ReadData() const
{
    if (!(control_ & kDataLinesIn))
        return data_;
    return chipDrives_ ? chipValue_ : 0xFF;
}

uint8_t ParallelPortAdapter::ReadStatus()
{
    uint8_t status = 0;
    if (chip_ != nullptr && chip_->EndOfCycle())
        status |= kEndOfCycleStatus;
    // The status line inverts: a 1 from the chip reads as bit 7 clear.
    if (wiring_ == 3 && !chipDataOut_)
        status |= kSerialDataStatus;
    return status;
}

} // namespace sim::dlportio
