// The per-channel values kept only for the older exported names.
#include "BissMaster.h"
#include "ferrolink.h"

namespace ferrolink {

int BissMasterClass::SetChannelExtra(uint32_t channel, uint32_t index, uint32_t value)
{
    if (index >= BissParamClass::kLegacyCount || channel >= kChannels)
        return eBISS_INVALID_PARAMETER;
    params_.Legacy(channel, index) = value;
    return eBISS_NO_ERROR;
}

int BissMasterClass::GetChannelExtra(uint32_t channel, uint32_t index, uint32_t *value) const
{
    if (index >= BissParamClass::kLegacyCount || channel >= kChannels)
        return eBISS_INVALID_PARAMETER;
    *value = params_.Legacy(channel, index);
    return eBISS_NO_ERROR;
}

} // namespace ferrolink
