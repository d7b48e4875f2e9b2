#include "TypecodeSpecifics.h"

#include <string>
#include <string_view>

#include "Panels.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kSysPage = 0;
constexpr int kExpertPage = 2;

// Variants with a selectable minimum edge time; they cannot resolve 0,976 um.
constexpr std::string_view kEdgeTimeMaterials[] = {"604118", "604229"};
constexpr std::string_view kEnhancedStartsetMaterials[] = {"604117", "604228", "604335"};

constexpr char kNoEdgeTimeLabel[] = "- - -";
constexpr int kNoEdgeTimeValue = 255;
constexpr int kEdgeTimeItemsWithoutNone = 9;
constexpr char kFinestResolutionLabel[] = "0,976 \xB5m/inc";
constexpr int kFinestResolutionValue = 0;
constexpr int kResolutionItemsWithoutFinest = 4;
constexpr char kEnhancedStartsetLabel[] = "ENHANCED";
constexpr int kEnhancedStartsetValue = 1;

std::string MaterialNumber()
{
    const int page = GetTabPanel(kExpertPage);
    int length = 0;
    if (GetCtrlAttribute(page, TAB_EXPERT_MATNUM, ATTR_STRING_TEXT_LENGTH, &length) < 0 || length < 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    if (GetCtrlVal(page, TAB_EXPERT_MATNUM, text.data()) < 0)
        return {};
    text.resize(static_cast<std::size_t>(length));
    return text;
}

template <std::size_t N>
bool ContainsAny(const std::string &text, const std::string_view (&numbers)[N])
{
    for (const std::string_view number : numbers) {
        if (text.find(number) != std::string::npos)
            return true;
    }
    return false;
}

int ItemCount(int panel, int control)
{
    int count = 0;
    return GetNumListItems(panel, control, &count) < 0 ? -1 : count;
}

void OfferEdgeTime(int page)
{
    if (ItemCount(page, TAB_SYS_EDGETIME) == kEdgeTimeItemsWithoutNone + 1)
        DeleteListItem(page, TAB_SYS_EDGETIME, 0, 1);
    SetCtrlAttribute(page, TAB_SYS_EDGETIME, ATTR_DIMMED, 0);
    if (ItemCount(page, TAB_SYS_VANTREL_RES) == kResolutionItemsWithoutFinest + 1)
        DeleteListItem(page, TAB_SYS_VANTREL_RES, 0, 1);
}

void FixEdgeTime(int page)
{
    if (ItemCount(page, TAB_SYS_EDGETIME) == kEdgeTimeItemsWithoutNone)
        InsertListItem(page, TAB_SYS_EDGETIME, 0, kNoEdgeTimeLabel, kNoEdgeTimeValue);
    SetCtrlAttribute(page, TAB_SYS_EDGETIME, ATTR_DIMMED, 1);
    if (ItemCount(page, TAB_SYS_VANTREL_RES) == kResolutionItemsWithoutFinest)
        InsertListItem(page, TAB_SYS_VANTREL_RES, 0, kFinestResolutionLabel, kFinestResolutionValue);
}

void OfferStartsets(int page, bool enhanced)
{
    const int count = ItemCount(page, TAB_SYS_STARTSET);
    if (enhanced && count == 1)
        InsertListItem(page, TAB_SYS_STARTSET, 1, kEnhancedStartsetLabel, kEnhancedStartsetValue);
    else if (!enhanced && count == 2)
        DeleteListItem(page, TAB_SYS_STARTSET, 1, 1);
}

} // namespace

void SetTypecodeSpecific()
{
    const std::string material = MaterialNumber();
    const int page = GetTabPanel(kSysPage);
    if (ContainsAny(material, kEdgeTimeMaterials))
        OfferEdgeTime(page);
    else
        FixEdgeTime(page);
    OfferStartsets(page, ContainsAny(material, kEnhancedStartsetMaterials));
}
