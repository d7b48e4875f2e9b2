// One simulated BiSS slave: its single-cycle data, its register file and its
// side of the control channel. A behavioural device can take parts of it over
// through SlaveBehaviour.
#pragma once

#include "SlaveBehaviour.h"
#include "SlaveControlChannel.h"
#include "SlaveRegisterFile.h"

#include <cstdint>
#include <vector>

namespace sim::biss {

enum class LineProtocol : uint8_t { BiSS, Ssi };

// One data channel of a slave: data bits, then the CRC over them (when a
// polynomial is given), sent inverted.
struct SlaveChannel {
    unsigned dataBits = 0;       // 1-64
    uint64_t data = 0;           // right-aligned
    uint32_t crcPolynomial = 0;  // with its top bit (0x43); 0 = no CRC
    uint32_t crcStart = 0;
};

class SimBissSlave : private ControlTarget {
public:
    // id: the slave's position on the control channel (0-7).
    explicit SimBissSlave(uint8_t id);
    SimBissSlave(const SimBissSlave &) = delete;
    SimBissSlave &operator=(const SimBissSlave &) = delete;

    uint8_t Id() const { return id_; }

    void SetProtocol(LineProtocol protocol) { protocol_ = protocol; }
    LineProtocol Protocol() const { return protocol_; }

    // The channels in the order the slave sends them.
    void SetChannels(std::vector<SlaveChannel> channels) { channels_ = std::move(channels); }
    const std::vector<SlaveChannel> &Channels() const { return channels_; }
    void SetData(size_t channel, uint64_t data);

    // The bits the slave puts on the line in one frame, first bit first.
    std::vector<bool> FrameBits();
    // Whether the slave drove the line in the frame FrameBits was asked for.
    bool DrivesLine() const { return !behaviour_ || behaviour_->DrivesLine(); }

    SlaveRegisterFile &Registers() { return registers_; }
    const SlaveRegisterFile &Registers() const { return registers_; }

    void SetStartBitDelay(unsigned frames) { control_.SetStartBitDelay(frames); }
    void SetCorruptsAnswerCrc(bool corrupts) { control_.SetCorruptsAnswerCrc(corrupts); }
    // Not owned; null removes it.
    void SetBehaviour(SlaveBehaviour *behaviour) { behaviour_ = behaviour; }

    // One control bit each way (see SlaveControlChannel).
    bool ExchangeControlBit(bool cdm) { return control_.Exchange(cdm); }

    // Commands that selected this slave, in order.
    const std::vector<uint8_t> &CommandsReceived() const { return commands_; }

private:
    bool MayRead(uint8_t address) const override;
    bool MayWrite(uint8_t address) const override;
    uint8_t ReadForControl(uint8_t address) override;
    void WriteForControl(uint8_t address, uint8_t value) override;
    void CommandForControl(uint8_t command) override;

    const uint8_t id_;
    LineProtocol protocol_ = LineProtocol::BiSS;
    std::vector<SlaveChannel> channels_;
    SlaveRegisterFile registers_;
    SlaveControlChannel control_;
    SlaveBehaviour *behaviour_ = nullptr;
    std::vector<uint8_t> commands_;
};

} // namespace sim::biss
