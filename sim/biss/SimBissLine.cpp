#include "SimBissLine.h"

#include <stdexcept>

namespace sim::biss {

SimBissSlave &SimBissLine::AddSlave()
{
    if (slaves_.size() >= kMaxSlaves)
        throw std::length_error("a BiSS line carries at most eight slaves");
    slaves_.push_back(std::make_unique<SimBissSlave>(static_cast<uint8_t>(slaves_.size())));
    return *slaves_.back();
}

LineFrame SimBissLine::RunFrame(LineProtocol protocol, bool cdm)
{
    LineFrame frame;
    frame.answered = !stuckLow_ && !slaves_.empty();

    // Data leave each slave first; the control bit comes at the end of the frame.
    std::vector<std::vector<bool>> data;
    std::vector<bool> driving;
    for (const auto &slave : slaves_) {
        data.push_back(slave->FrameBits());
        driving.push_back(slave->DrivesLine());
    }
    bool cds = false;
    for (size_t i = 0; i < slaves_.size(); ++i) {
        const SimBissSlave &slave = *slaves_[i];
        const bool speaks = slave.Protocol() == protocol;
        const bool ssiWord = slave.Protocol() == LineProtocol::Ssi;
        const bool clockedAsBiss = protocol == LineProtocol::BiSS && ssiWord;
        if ((!speaks && !clockedAsBiss) || !driving[i])
            frame.answered = false;
        frame.ssiWord = frame.ssiWord || ssiWord;
        // An SSI slave reads the master's bit but has no way to answer it.
        const bool slaveCds = slaves_[i]->ExchangeControlBit(cdm);
        if (speaks)
            cds = slaveCds || cds;
    }

    if (!frame.answered)
        return frame;
    frame.cds = cds;
    for (size_t i = data.size(); i-- > 0;)
        frame.bits.insert(frame.bits.end(), data[i].begin(), data[i].end());
    return frame;
}

} // namespace sim::biss
