// Storage of the frames a stream delivered: per frame its number, its status
// byte and the value of every channel.
#include "BissMaster.h"

namespace ferrolink {

void BissMasterClass::ResizeStoredFrames(uint32_t count)
{
    // Every array keeps at least one element, as before the first stream.
    const size_t elements = count == 0 ? 1 : count;
    storedFrameNumbers_.assign(elements, 0);
    storedFrameStatus_.assign(elements, 0);
    for (uint32_t channel = 0; channel < kChannels; ++channel) {
        storedLow_[channel].assign(elements, 0);
        storedHigh_[channel].assign(elements, 0);
    }
    storedFrameCount_ = count;
}

void BissMasterClass::StoreFrameValue(uint32_t frame, uint32_t channel, const BitValueClass &value)
{
    if (channel >= kChannels || frame >= storedLow_[channel].size() || frame >= storedHigh_[channel].size())
        return;
    storedLow_[channel][frame] = value.GetLow();
    storedHigh_[channel][frame] = value.GetHigh();
}

} // namespace ferrolink
