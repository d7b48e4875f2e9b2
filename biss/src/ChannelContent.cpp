// Content lists and labels of each data channel, in the caller's (user)
// description and in the one auto-detection fills from identification files.
#include <algorithm>

#include "BissMaster.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kLabelKinds = 3;

bool IsDetected(BissMasterClass::DescriptionTable table)
{
    return table == BissParamClass::kDetectedTable;
}

} // namespace

uint32_t BissMasterClass::ContentCount(uint32_t channel, DescriptionTable table) const
{
    if (channel >= kChannels)
        return 0;
    return params_.Frame(channel, eBISS_FP_CONTENT_COUNT, table);
}

void BissMasterClass::ResizeScdContent(uint32_t channel, uint32_t count, DescriptionTable table)
{
    if (channel >= kChannels)
        return;
    count = std::min(count, kMaxContentItems);
    if (IsDetected(table)) {
        detectedContents_[channel].assign(count, ScdContentClass{});
    } else {
        // Growing inserts default items behind the valid ones, in front of any
        // items a smaller count left stored; shrinking only lowers the count.
        std::vector<ScdContentClass> &list = contents_[channel];
        const uint32_t valid = std::min<uint32_t>(ContentCount(channel, table), static_cast<uint32_t>(list.size()));
        if (count > valid)
            list.insert(list.begin() + valid, count - valid, ScdContentClass{});
        // Items behind the count can never be reached again; they must not
        // pile up over repeated shrinking and growing.
        if (list.size() > kMaxContentItems)
            list.resize(kMaxContentItems);
    }
    params_.SetFrameParam(channel, eBISS_FP_CONTENT_COUNT, count, table);
}

void BissMasterClass::ClearScdContent(uint32_t channel, DescriptionTable table)
{
    if (channel >= kChannels)
        return;
    std::vector<ScdContentClass> &list = IsDetected(table) ? detectedContents_[channel] : contents_[channel];
    std::vector<ScdContentClass>().swap(list);
    params_.SetFrameParam(channel, eBISS_FP_CONTENT_COUNT, 0, table);
}

bool BissMasterClass::SetScdContentItem(uint32_t channel, uint32_t index, const ScdContentClass &item,
                                        DescriptionTable table)
{
    if (channel >= kChannels)
        return false;
    std::vector<ScdContentClass> &list = IsDetected(table) ? detectedContents_[channel] : contents_[channel];
    if (index >= list.size())
        return false;
    list[index] = item;
    return true;
}

ScdContentClass BissMasterClass::GetScdContentItem(uint32_t channel, uint32_t index, DescriptionTable table) const
{
    if (channel >= kChannels)
        return {};
    const std::vector<ScdContentClass> &list = IsDetected(table) ? detectedContents_[channel] : contents_[channel];
    return index < list.size() ? list[index] : ScdContentClass{};
}

std::string BissMasterClass::GetChannelLabel(uint32_t channel, uint32_t kind, DescriptionTable table) const
{
    if (channel >= kChannels || kind >= kLabelKinds)
        return {};
    return (IsDetected(table) ? detectedLabels_ : labels_)[kLabelKinds * channel + kind];
}

void BissMasterClass::SetChannelLabel(uint32_t channel, uint32_t kind, const std::string &text, uint8_t part,
                                      DescriptionTable table)
{
    if (channel >= kChannels || kind >= kLabelKinds)
        return;
    const uint32_t slot = kLabelKinds * channel + kind;
    if (!IsDetected(table)) {
        labels_[slot] = text;
        return;
    }
    if (kind != kSlaveLabel) {
        detectedLabels_[slot] = text;
        return;
    }
    // The detected slave label is assembled from parts given by position, in
    // any order; a gap between positions contributes nothing.
    std::vector<std::string> &parts = deviceLabels_[channel];
    if (parts.size() <= part)
        parts.resize(part + 1u);
    parts[part] = text;
    std::string joined;
    for (const std::string &piece : parts)
        joined += piece;
    detectedLabels_[slot] = joined;
}

void BissMasterClass::ClearSlaveLabelParts(uint32_t channel)
{
    if (channel < kChannels)
        deviceLabels_[channel].clear();
}

uint32_t BissMasterClass::DetectedIdCount(uint32_t channel) const
{
    return channel < kChannels ? detectedIdCounts_[channel] : 0;
}

void BissMasterClass::SetDetectedIdCount(uint32_t channel, uint32_t count)
{
    if (channel < kChannels)
        detectedIdCounts_[channel] = count;
}

} // namespace ferrolink
