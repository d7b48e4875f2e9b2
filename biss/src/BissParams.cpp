#include "BissParams.h"

#include <cmath>

#include "ferrolink.h"

namespace ferrolink {

BissParamClass::BissParamClass()
{
    com_[eBISS_CP_FREQ_SCD] = 4;
    com_[eBISS_CP_FREQ_REG] = 2;
    com_[eBISS_CP_FREQ_AGS] = 124;
    com_[eBISS_CP_FREQ_AGS_REG] = 124;
    BuildEdsParamTable();
}

bool BissParamClass::IsReadOnlyComParam(uint32_t index)
{
    switch (index) {
    case eBISS_CP_MASTER_ID:
    case eBISS_CP_MASTER_REVISION:
    case eBISS_CP_CHANNEL_LIMIT:
    case eBISS_CP_MAX_REGCNT:
    case eBISS_CP_CHANNEL_COUNT:
        return true;
    default:
        return false;
    }
}

int BissParamClass::SetComParam(uint32_t index, uint32_t value)
{
    if (index >= kComCount || IsReadOnlyComParam(index))
        return eBISS_INVALID_PARAMETER;
    if (index == eBISS_CP_PROTOCOL && value > 2)
        return eBISS_VALUE_RANGE;
    com_[index] = value;
    return eBISS_NO_ERROR;
}

int BissParamClass::GetComParam(uint32_t index, uint32_t *value) const
{
    *value = 0;
    if (index >= kComCount)
        return eBISS_INVALID_PARAMETER;
    *value = com_[index];
    return eBISS_NO_ERROR;
}

int BissParamClass::SetFrameParam(uint32_t channel, uint32_t index, uint32_t value, FrameTable table)
{
    if (index >= kFrameCount)
        return eBISS_INVALID_PARAMETER;
    frames_[table][channel][index] = value;
    return eBISS_NO_ERROR;
}

int BissParamClass::GetFrameParam(uint32_t channel, uint32_t index, uint32_t *value, FrameTable table) const
{
    *value = 0;
    if (index >= kFrameCount)
        return eBISS_INVALID_PARAMETER;
    *value = frames_[table][channel][index];
    return eBISS_NO_ERROR;
}

uint32_t CrcLength(uint32_t polynomial)
{
    // 1 would give -1: a polynomial of no degree has no CRC bits.
    if (polynomial <= 1)
        return 0;
    return static_cast<uint32_t>(std::ceil(std::log(static_cast<double>(polynomial)) / std::log(2.0)) - 1.0);
}

} // namespace ferrolink
