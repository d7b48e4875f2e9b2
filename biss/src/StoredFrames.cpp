// Storage of the frames a stream delivered: per frame its number, its status
// byte and the value of every channel, and the readers of what is stored.
#include "BissMaster.h"
#include "ferrolink.h"

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

int BissMasterClass::GetScdFrame(uint32_t frame, BISS_U32 high[], BISS_U32 low[], BISS_U32 *frameNumber,
                                 BISS_U32 *frameStatus) const
{
    if (frame >= storedFrameCount_ || high == nullptr || low == nullptr)
        return eBISS_INVALID_PARAMETER;
    for (uint32_t channel = 0; channel < configuredChannels_ && channel < kChannels; ++channel) {
        high[channel] = storedHigh_[channel][frame];
        low[channel] = storedLow_[channel][frame];
    }
    if (frameNumber != nullptr)
        *frameNumber = storedFrameNumbers_[frame];
    if (frameStatus != nullptr)
        *frameStatus = storedFrameStatus_[frame];
    return eBISS_NO_ERROR;
}

int BissMasterClass::GetScdFrameEx(uint32_t frameCount, uint32_t channel, BISS_U32 high[], BISS_U32 low[],
                                   BISS_U32 frameNumbers[], BISS_U32 frameStatus[]) const
{
    if (channel >= kChannels || storedFrameCount_ == 0 || frameCount != storedFrameCount_)
        return eBISS_INVALID_PARAMETER;
    if (high == nullptr || low == nullptr)
        return eBISS_INVALID_PARAMETER;
    for (uint32_t frame = 0; frame < frameCount; ++frame) {
        high[frame] = storedHigh_[channel][frame];
        low[frame] = storedLow_[channel][frame];
        if (frameNumbers != nullptr)
            frameNumbers[frame] = storedFrameNumbers_[frame];
        if (frameStatus != nullptr)
            frameStatus[frame] = storedFrameStatus_[frame];
    }
    return eBISS_NO_ERROR;
}

} // namespace ferrolink
