// The encoder's mailbox in its BiSS registers: the host writes the data byte
// (register 3), the address (registers 2 and 1) and then the command
// (register 0: sequence number in bits 7-4, operation in bits 3-0); a command
// whose sequence number differs from the previous one is carried out at
// once, and a read leaves its byte in the result register 15. Register 12
// counts the commands carried out.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace sim::kelto {

enum class MailboxOperation : uint8_t {
    WriteEeprom = 1,
    ReadEeprom = 2,
    WriteRam = 3,
    ReadRam = 4,
};

struct MailboxCommand {
    MailboxOperation operation;
    uint16_t address;
    uint8_t data;
};

class KeltoMailbox {
public:
    static constexpr uint8_t kCommandRegister = 0;
    static constexpr uint8_t kAddressHighRegister = 1;
    static constexpr uint8_t kAddressLowRegister = 2;
    static constexpr uint8_t kDataRegister = 3;
    static constexpr uint8_t kCountRegister = 12;
    static constexpr uint8_t kResultRegister = 15;

    static bool Owns(uint8_t reg);
    static bool ReadOnly(uint8_t reg) { return reg == kCountRegister || reg == kResultRegister; }

    // A register write; a new command comes back to be carried out.
    std::optional<MailboxCommand> Write(uint8_t reg, uint8_t value);
    uint8_t Read(uint8_t reg) const;

    void SetResult(uint8_t value) { result_ = value; }
    // Every command since the simulation began, across power cycles (the count register restarts).
    unsigned CommandsCarriedOut() const { return commandsInAll_; }

    // Power-up state: registers 0, no sequence number seen.
    void Reset();

private:
    std::array<uint8_t, 4> registers_{};
    uint8_t lastSequence_ = 0;
    uint8_t result_ = 0;
    unsigned commands_ = 0;
    unsigned commandsInAll_ = 0;
};

} // namespace sim::kelto
