// A host on the simulated BiSS line, doing what a master does for the
// encoder: frames in BiSS or SSI, register accesses carried one control bit
// per frame, and the mailbox sequence of four register writes and a read of
// the result register.
#pragma once

#include "AssistedTransfer.h"
#include "SimBissLine.h"

#include <cstdint>
#include <optional>

namespace sim::kelto::test {

class LineHost {
public:
    explicit LineHost(biss::SimBissLine &line) : line_(line) {}

    void UseProtocol(biss::LineProtocol protocol) { protocol_ = protocol; }

    // One frame without control traffic: the encoder's bits, first bit most significant.
    struct Scd {
        bool answered = false;
        unsigned bits = 0;
        uint64_t data = 0;
    };
    Scd Frame()
    {
        const biss::LineFrame frame = line_.RunFrame(protocol_, false);
        Scd scd{frame.answered, static_cast<unsigned>(frame.bits.size()), 0};
        for (bool bit : frame.bits)
            scd.data = scd.data << 1 | (bit ? 1u : 0u);
        return scd;
    }

    biss::TransferOutcome WriteRegister(uint8_t reg, uint8_t value)
    {
        return biss::RunRegisterTransfer(Runner(), 0, reg, true, 1, &value).outcome;
    }

    std::optional<uint8_t> ReadRegister(uint8_t reg)
    {
        uint8_t value = 0;
        const auto result = biss::RunRegisterTransfer(Runner(), 0, reg, false, 1, &value);
        if (result.outcome != biss::TransferOutcome::Ok)
            return std::nullopt;
        return value;
    }

    // Data, address low, address high, command with the next sequence
    // number (2, 3, 4, 5, 1, ...), then the result register.
    std::optional<uint8_t> Mailbox(uint16_t address, uint8_t value, uint8_t operation)
    {
        sequence_ = sequence_ == 5 ? 1 : sequence_ + 1;
        WriteCommand(address, value, static_cast<uint8_t>(sequence_ << 4 | operation));
        return ReadRegister(15);
    }

    // The four writes of a mailbox access with a command byte of the caller's choosing.
    void WriteCommand(uint16_t address, uint8_t value, uint8_t command)
    {
        WriteRegister(3, value);
        WriteRegister(2, static_cast<uint8_t>(address));
        WriteRegister(1, static_cast<uint8_t>(address >> 8));
        WriteRegister(0, command);
    }

    std::optional<uint8_t> ReadEeprom(uint16_t address) { return Mailbox(address, 0, 2); }
    std::optional<uint8_t> ReadRam(uint16_t address) { return Mailbox(address, 0, 4); }
    void WriteEeprom(uint16_t address, uint8_t value) { Mailbox(address, value, 1); }
    void WriteRam(uint16_t address, uint8_t value) { Mailbox(address, value, 3); }

private:
    biss::ControlFrameRunner Runner()
    {
        return [this](bool cdm) { return line_.RunFrame(protocol_, cdm).cds; };
    }

    biss::SimBissLine &line_;
    biss::LineProtocol protocol_ = biss::LineProtocol::BiSS;
    unsigned sequence_ = 1;
};

} // namespace sim::kelto::test
