#include "LegacyCodes.h"

namespace ferrolink {

int TranslateLegacyCode(int code)
{
    switch (code) {
    case 0: return 0;
    case 1: return 1;
    case 2:
    case 3: return 3;
    case 4: return 2;
    case 5:
    case 6:
    case 7: return 7;
    case 12: return 4;
    case 13: return 9;
    case 14: return 10;
    case 15: return 11;
    default: return 12;
    }
}

LegacyItem LookupLegacyItem(uint32_t item, bool forSet)
{
    switch (item) {
    case 0: return {LegacyItem::kExtra, 0};
    case 1: return {LegacyItem::kCom, 3};
    case 2: return {LegacyItem::kExtra, 1};
    case 3: return {LegacyItem::kExtra, 2};
    case 4: return {LegacyItem::kFrame, 1};
    case 5: return {LegacyItem::kFrame, 2};
    case 9: return {LegacyItem::kExtra, 3};
    case 10: return {LegacyItem::kExtra, 4};
    case 11: return {LegacyItem::kExtra, 5};
    case 12: return forSet ? LegacyItem{LegacyItem::kNone, 0} : LegacyItem{LegacyItem::kFrameFourIsZero, 4};
    case 13: return {LegacyItem::kExtra, 6};
    case 14: return {LegacyItem::kExtra, 7};
    case 18: return {LegacyItem::kExtra, 8};
    case 19: return {LegacyItem::kExtra, 9};
    case 20: return {LegacyItem::kCom, 4};
    case 21: return {LegacyItem::kCom, 5};
    case 22: return {LegacyItem::kCom, 6};
    case 23: return forSet ? LegacyItem{LegacyItem::kCom, 11} : LegacyItem{LegacyItem::kNone, 0};
    default: return {LegacyItem::kNone, 0};
    }
}

} // namespace ferrolink
