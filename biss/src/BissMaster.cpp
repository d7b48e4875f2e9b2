#include "BissMaster.h"

#include <wx/textfile.h>

#include "ErrorTable.h"
#include "ferrolink.h"

namespace ferrolink {

BissMasterClass::BissMasterClass()
{
    for (uint32_t channel = 0; channel < kChannels; ++channel) {
        storedLow_[channel].resize(1);
        storedHigh_[channel].resize(1);
    }
}

BissMasterClass::~BissMasterClass() = default;

int BissMasterClass::GetErrorText(uint32_t code, uint32_t *level, std::string *text)
{
    const ErrorTableRow row = LookupError(code);
    *level = row.level;
    *text = row.text;
    return eBISS_NO_ERROR;
}

int BissMasterClass::GetLastError(uint32_t *code, uint32_t *level, std::string *text) const
{
    const ErrorRecord &newest = history_.Newest();
    *code = newest.code;
    *level = newest.level;
    *text = newest.text;
    return eBISS_NO_ERROR;
}

int BissMasterClass::SetComParam(uint32_t index, uint32_t value)
{
    if (index >= BissParamClass::kComCount)
        return eBISS_INVALID_PARAMETER;
    return params_.SetComParam(index, value);
}

int BissMasterClass::GetComParam(uint32_t index, uint32_t *value) const
{
    if (index >= BissParamClass::kComCount)
        return eBISS_INVALID_PARAMETER;
    switch (index) {
    case eBISS_CP_MASTER_ID: *value = chipId_; return eBISS_NO_ERROR;
    case eBISS_CP_MASTER_REVISION: *value = chipRevision_; return eBISS_NO_ERROR;
    case eBISS_CP_CHANNEL_LIMIT: *value = channelLimit_; return eBISS_NO_ERROR;
    case eBISS_CP_MAX_REGCNT: *value = registerCountLimit_; return eBISS_NO_ERROR;
    case eBISS_CP_CHANNEL_COUNT: *value = configuredChannels_; return eBISS_NO_ERROR;
    default: return params_.GetComParam(index, value);
    }
}

int BissMasterClass::SetFrameParam(uint32_t channel, uint32_t index, uint32_t value)
{
    if (index >= BissParamClass::kFrameCount || channel >= kChannels)
        return eBISS_INVALID_PARAMETER;
    int result = eBISS_NO_ERROR;
    if (index == eBISS_FP_CONTENT_COUNT) {
        if (value > kMaxContentItems)
            return eBISS_VALUE_RANGE;
        ResizeScdContent(channel, value, BissParamClass::kUserTable);
    } else {
        result = params_.SetFrameParam(channel, index, value, BissParamClass::kUserTable);
    }
    RecountConfiguredChannels();
    return result;
}

int BissMasterClass::GetFrameParam(uint32_t channel, uint32_t index, uint32_t *value) const
{
    if (index >= BissParamClass::kFrameCount || channel >= kChannels)
        return eBISS_INVALID_PARAMETER;
    return params_.GetFrameParam(channel, index, value, BissParamClass::kUserTable);
}

void BissMasterClass::RecountConfiguredChannels()
{
    configuredChannels_ = 0;
    for (uint32_t channel = kChannels; channel-- > 0;) {
        if (params_.Frame(channel, eBISS_FP_SCD_LENGTH) != 0) {
            configuredChannels_ = channel + 1;
            break;
        }
    }
}

int BissMasterClass::SaveRegister(const char *fileName, uint32_t start, uint32_t count,
                                  const BISS_U32 *data) const
{
    return params_.SaveHex(fileName, start, count, data);
}

int BissMasterClass::LoadRegister(const char *fileName, uint32_t start, uint32_t count, BISS_U32 *data) const
{
    return params_.LoadHex(fileName, start, count, data);
}

int BissMasterClass::CalculateCrc(uint32_t polynomial, const BISS_U32 *data, uint32_t count, BISS_U32 *crc) const
{
    return params_.CalculateCrc(polynomial, data, count, crc);
}

bool BissMasterClass::IsAtLastLine(wxTextFile &file)
{
    const size_t count = file.GetLineCount();
    return count == 0 || file.GetCurrentLine() >= count - 1;
}

} // namespace ferrolink
