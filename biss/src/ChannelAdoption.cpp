// The description auto-detection found becomes the caller's: detected channels
// are copied into the user description in the reverse order of the slave chain.
#include <algorithm>

#include "BissMaster.h"
#include "ferrolink.h"

namespace ferrolink {

void BissMasterClass::AdoptDetectedChannels(uint32_t count)
{
    constexpr auto kUser = BissParamClass::kUserTable;
    constexpr auto kDetected = BissParamClass::kDetectedTable;
    count = std::min(count, kChannels);

    uint32_t destination = 0;
    uint32_t pendingZeroLength = 0;
    for (uint32_t source = count; source-- > 0;) {
        const bool hasItems = ContentCount(source, kDetected) != 0;
        // A channel that starts with a zero item is merged into the next one adopted.
        if (hasItems && GetScdContentItem(source, 0, kDetected).flag != 0) {
            pendingZeroLength = params_.Frame(source, eBISS_FP_SCD_LENGTH, kDetected);
            continue;
        }
        if (hasItems)
            CopyDetectedContent(source, destination, pendingZeroLength != 0);
        params_.SetFrameParam(destination, eBISS_FP_SCD_LENGTH,
                              params_.Frame(source, eBISS_FP_SCD_LENGTH, kDetected) + pendingZeroLength, kUser);
        for (uint32_t index : {1u, 2u, 7u, 4u, 5u, 6u})
            params_.SetFrameParam(destination, index, params_.Frame(source, index, kDetected), kUser);
        for (uint32_t kind : {kManufacturerLabel, kSlaveLabel, kCompleteLabel})
            SetChannelLabel(destination, kind, GetChannelLabel(source, kind, kDetected), 0, kUser);
        ++destination;
        pendingZeroLength = 0;
    }

    // The files give data lengths; the master reads the CRC bits as well.
    for (uint32_t channel = 0; channel < destination; ++channel) {
        const uint32_t polynomial = params_.Frame(channel, eBISS_FP_CRC_POLY, kUser);
        if (polynomial != 0)
            params_.SetFrameParam(channel, eBISS_FP_SCD_LENGTH,
                                  params_.Frame(channel, eBISS_FP_SCD_LENGTH, kUser) + CrcLength(polynomial), kUser);
    }
    configuredChannels_ = destination;
    for (uint32_t channel = destination; channel < kChannels; ++channel)
        for (uint32_t index : {0u, 1u, 2u})
            params_.SetFrameParam(channel, index, 0, kUser);
}

} // namespace ferrolink
