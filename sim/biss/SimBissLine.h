// The BiSS line: up to eight slaves in a chain. Slave ids count along the
// control channel; in a frame the master receives the data of the slave with
// the highest id first, so slave 0's data come last.
#pragma once

#include "SimBissSlave.h"

#include <memory>
#include <vector>

namespace sim::biss {

struct LineFrame {
    bool answered = false;  // the line was driven: every slave put its bits on it
    std::vector<bool> bits; // data bits as received, first bit first
    bool cds = false;       // the control bit the master receives
    // An SSI word, in an SSI or a BiSS frame: the line stays low after it, so
    // a master clocking more bits than the word holds reads 0 for the rest,
    // and no CRC was ever sent.
    bool ssiWord = false;
};

class SimBissLine {
public:
    static constexpr size_t kMaxSlaves = 8;

    // The next slave on the chain; its id is its position. Throws std::length_error past eight.
    SimBissSlave &AddSlave();
    size_t SlaveCount() const { return slaves_.size(); }
    SimBissSlave &Slave(size_t id) { return *slaves_.at(id); }

    // A line held low: no slave answers, and the master's line test reads 0.
    void SetStuckLow(bool stuck) { stuckLow_ = stuck; }
    bool StuckLow() const { return stuckLow_; }

    // One frame in the given protocol carrying the master's control bit. Every
    // slave sees the control bit. The chain answers when every slave drives
    // the line: a slave that speaks the frame's protocol, or an SSI slave
    // clocked by a BiSS master, which shifts out its word all the same but
    // has no control bit to send. A slave that does not drive the line
    // (unpowered, lost) leaves the frame unanswered.
    LineFrame RunFrame(LineProtocol protocol, bool cdm);

private:
    std::vector<std::unique_ptr<SimBissSlave>> slaves_;
    bool stuckLow_ = false;
};

} // namespace sim::biss
