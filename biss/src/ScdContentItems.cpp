// The user description's content items as the exports see them, and the split
// of a channel's SCD values into those items.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "BissMaster.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

// The bits the first count items describe together.
uint64_t SplitWidth(const std::vector<ScdContentClass> &items, size_t count)
{
    uint64_t width = 0;
    for (size_t j = 0; j < count; ++j)
        width += items[j].bitLength;
    return width;
}


constexpr uint32_t kLastItem = BissMasterClass::kMaxContentItems - 1;

// The count bits whose highest bit is top, as one element; bits outside 0..63 read 0.
uint32_t FieldValue(const BitValueClass &value, int64_t top, uint32_t count)
{
    if (count == 0 || top < 0)
        return 0;
    const int64_t bottom = top - static_cast<int64_t>(count) + 1;
    if (bottom > 63)
        return 0;
    const int clippedTop = static_cast<int>(std::min<int64_t>(top, 63));
    const int clippedBottom = static_cast<int>(std::max<int64_t>(bottom, 0));
    return value.GetBitsLow(clippedTop, clippedTop - clippedBottom + 1);
}

void CopyText(const std::string &text, char *buffer)
{
    std::memcpy(buffer, text.c_str(), text.size() + 1);
}

void ClearText(char *buffer)
{
    if (buffer != nullptr)
        *buffer = '\0';
}

} // namespace

// Makes item a valid index of the channel's user list (a setter past the end grows it).
void BissMasterClass::GrowUserContent(uint32_t channel, uint32_t item)
{
    const uint32_t count = ContentCount(channel, BissParamClass::kUserTable);
    ResizeScdContent(channel, std::max(count, item + 1), BissParamClass::kUserTable);
}

int BissMasterClass::GetScdContent(uint32_t channel, BISS_U32 *values) const
{
    if (channel >= kChannels || values == nullptr)
        return eBISS_INVALID_PARAMETER;
    const std::vector<ScdContentClass> &items = contents_[channel];
    const size_t count = std::min<size_t>(ContentCount(channel, BissParamClass::kUserTable), items.size());
    // A value has 64 bits: a description wider than that cannot be split.
    const uint64_t width = SplitWidth(items, count);
    if (width > 64)
        return eBISS_INVALID_PARAMETER;

    // Item 0 holds the top bits of the split width, the last item the lowest.
    int64_t top = static_cast<int64_t>(width) - 1;
    for (size_t j = 0; j < count; ++j) {
        const ScdContentClass &item = items[j];
        values[j] = item.skip != 0 ? 0 : FieldValue(scdValues_[channel], top, item.bitLength);
        top -= item.bitLength;
    }
    return eBISS_NO_ERROR;
}

int BissMasterClass::GetScdFrameContent(uint32_t frameCount, uint32_t channel, uint32_t item,
                                        BISS_U32 *values) const
{
    if (channel >= kChannels || item > kLastItem || values == nullptr)
        return eBISS_INVALID_PARAMETER;
    if (storedFrameCount_ == 0 || frameCount != storedFrameCount_)
        return eBISS_INVALID_PARAMETER;
    const std::vector<ScdContentClass> &items = contents_[channel];
    const size_t count = std::min<size_t>(ContentCount(channel, BissParamClass::kUserTable), items.size());
    if (item >= count)
        return eBISS_INVALID_PARAMETER;
    if (SplitWidth(items, count) > 64)
        return eBISS_INVALID_PARAMETER;

    int64_t top = -1;
    for (size_t j = item; j < count; ++j)
        top += items[j].bitLength;
    const ScdContentClass &wanted = items[item];
    const size_t frames =
        std::min<size_t>({frameCount, storedLow_[channel].size(), storedHigh_[channel].size()});
    for (size_t frame = 0; frame < frames; ++frame) {
        const BitValueClass value(storedHigh_[channel][frame], storedLow_[channel][frame]);
        values[frame] = wanted.skip != 0 ? 0 : FieldValue(value, top, wanted.bitLength);
    }
    return eBISS_NO_ERROR;
}

int BissMasterClass::SetScdContentLabels(uint32_t channel, uint32_t item, const char *label, const char *unit)
{
    if (channel >= kChannels || item > kLastItem || label == nullptr || unit == nullptr)
        return eBISS_INVALID_PARAMETER;
    GrowUserContent(channel, item);
    ScdContentClass &target = contents_[channel][item];
    target.label = label;
    target.unit = unit;
    return eBISS_NO_ERROR;
}

int BissMasterClass::GetScdContentLabels(uint32_t channel, uint32_t item, char *label, char *unit) const
{
    ClearText(label);
    ClearText(unit);
    if (channel >= kChannels || item > kLastItem || label == nullptr || unit == nullptr)
        return eBISS_INVALID_PARAMETER;
    if (item < ContentCount(channel, BissParamClass::kUserTable) && item < contents_[channel].size()) {
        CopyText(contents_[channel][item].label, label);
        CopyText(contents_[channel][item].unit, unit);
    }
    return eBISS_NO_ERROR;
}

int BissMasterClass::SetScdContentParams(uint32_t channel, uint32_t item, uint32_t flag, uint32_t bitLength,
                                         uint32_t value3, uint32_t value4)
{
    if (channel >= kChannels || item > kLastItem)
        return eBISS_INVALID_PARAMETER;
    GrowUserContent(channel, item);
    ScdContentClass &target = contents_[channel][item];
    target.value4 = value4;
    target.bitLength = bitLength;
    target.value3 = value3;
    target.flag = flag != 0 ? 1 : 0;
    return eBISS_NO_ERROR;
}

int BissMasterClass::GetScdContentParams(uint32_t channel, uint32_t item, BissScdContentParams *params) const
{
    if (params == nullptr)
        return eBISS_INVALID_PARAMETER;
    *params = BissScdContentParams{};
    if (channel >= kChannels || item > kLastItem)
        return eBISS_INVALID_PARAMETER;
    if (item >= ContentCount(channel, BissParamClass::kUserTable) || item >= contents_[channel].size())
        return eBISS_NO_ERROR;
    const ScdContentClass &source = contents_[channel][item];
    params->ulValue4 = source.value4;
    params->ulBitLength = source.bitLength;
    params->ulValue3 = source.value3;
    params->ulFlag = source.flag;
    // An item without a scale reports the range of its bits; 2^32 and more
    // cannot be told in one word and read as the largest one.
    if (source.value3 == 0 && source.bitLength != 0)
        params->ulValue3 = source.bitLength >= 32
                               ? 0xFFFFFFFFu
                               : static_cast<BISS_U32>(std::pow(2.0, static_cast<double>(source.bitLength)));
    return eBISS_NO_ERROR;
}

int BissMasterClass::SetSlaveLabel(uint32_t channel, const char *manufacturer, const char *slave,
                                   const char *complete)
{
    if (channel >= kChannels)
        return eBISS_INVALID_PARAMETER;
    if (manufacturer != nullptr)
        SetChannelLabel(channel, kManufacturerLabel, manufacturer, 0, BissParamClass::kUserTable);
    if (slave != nullptr)
        SetChannelLabel(channel, kSlaveLabel, slave, 0, BissParamClass::kUserTable);
    if (complete != nullptr)
        SetChannelLabel(channel, kCompleteLabel, complete, 0, BissParamClass::kUserTable);
    return eBISS_NO_ERROR;
}

int BissMasterClass::GetSlaveLabel(uint32_t channel, char *manufacturer, char *slave, char *complete) const
{
    ClearText(manufacturer);
    ClearText(slave);
    ClearText(complete);
    if (channel >= kChannels || manufacturer == nullptr || slave == nullptr || complete == nullptr)
        return eBISS_INVALID_PARAMETER;
    CopyText(GetChannelLabel(channel, kManufacturerLabel, BissParamClass::kUserTable), manufacturer);
    // A slave label hands out only its first comma-separated part.
    const std::string slaveLabel = GetChannelLabel(channel, kSlaveLabel, BissParamClass::kUserTable);
    CopyText(slaveLabel.substr(0, slaveLabel.find(',')), slave);
    CopyText(GetChannelLabel(channel, kCompleteLabel, BissParamClass::kUserTable), complete);
    return eBISS_NO_ERROR;
}

void BissMasterClass::CopyDetectedContent(uint32_t source, uint32_t destination, bool prepend)
{
    if (source >= kChannels || destination >= kChannels)
        return;
    const uint32_t count =
        std::min(ContentCount(source, BissParamClass::kDetectedTable) + (prepend ? 1u : 0u), kMaxContentItems);
    ResizeScdContent(destination, count, BissParamClass::kUserTable);
    for (uint32_t k = 0; k < count; ++k) {
        // With prepend, the zero item of the channel above leads the list
        // (there is none above channel 7: a default item takes its place).
        const ScdContentClass item =
            !prepend  ? GetScdContentItem(source, k, BissParamClass::kDetectedTable)
            : k == 0  ? GetScdContentItem(source + 1, 0, BissParamClass::kDetectedTable)
                      : GetScdContentItem(source, k - 1, BissParamClass::kDetectedTable);
        SetScdContentItem(destination, k, item, BissParamClass::kUserTable);
    }
}

} // namespace ferrolink
