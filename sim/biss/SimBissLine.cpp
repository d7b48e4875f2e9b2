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
    for (const auto &slave : slaves_)
        if (slave->Protocol() != protocol)
            frame.answered = false;

    // Data leave each slave first; the control bit comes at the end of the frame.
    std::vector<std::vector<bool>> data;
    for (const auto &slave : slaves_)
        data.push_back(slave->FrameBits());
    bool cds = false;
    for (const auto &slave : slaves_)
        cds = slave->ExchangeControlBit(cdm) || cds;

    if (!frame.answered)
        return frame;
    frame.cds = cds;
    for (size_t i = data.size(); i-- > 0;)
        frame.bits.insert(frame.bits.end(), data[i].begin(), data[i].end());
    return frame;
}

} // namespace sim::biss
