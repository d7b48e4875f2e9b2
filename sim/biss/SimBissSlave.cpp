#include "SimBissSlave.h"

#include "BissCrc.h"

namespace sim::biss {

SimBissSlave::SimBissSlave(uint8_t id) : id_(id), control_(id, *this) {}

void SimBissSlave::SetData(size_t channel, uint64_t data)
{
    if (channel < channels_.size())
        channels_[channel].data = data;
}

std::vector<bool> SimBissSlave::FrameBits()
{
    if (behaviour_)
        behaviour_->BeforeFrame(*this);
    std::vector<bool> bits;
    for (const auto &channel : channels_) {
        for (unsigned i = channel.dataBits; i-- > 0;)
            bits.push_back(((channel.data >> i) & 1u) != 0);
        const unsigned width = CrcWidth(channel.crcPolynomial);
        if (width == 0)
            continue;
        const uint32_t crc =
            ~ComputeCrc(channel.data, channel.dataBits, channel.crcPolynomial, channel.crcStart);
        for (unsigned i = width; i-- > 0;)
            bits.push_back(((crc >> i) & 1u) != 0);
    }
    return bits;
}

bool SimBissSlave::MayRead(uint8_t address) const { return registers_.MayRead(address); }

bool SimBissSlave::MayWrite(uint8_t address) const { return registers_.MayWrite(address); }

uint8_t SimBissSlave::ReadForControl(uint8_t address)
{
    uint8_t value = 0;
    if (behaviour_ && behaviour_->ReadRegister(address, value))
        return value;
    return registers_.Read(address);
}

void SimBissSlave::WriteForControl(uint8_t address, uint8_t value)
{
    if (behaviour_ && behaviour_->WriteRegister(address, value))
        return;
    registers_.Write(address, value);
}

void SimBissSlave::CommandForControl(uint8_t command)
{
    commands_.push_back(command);
    if (behaviour_)
        behaviour_->Command(command);
}

} // namespace sim::biss
