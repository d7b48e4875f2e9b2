// The electronic data sheet as the parameter store keeps it: the image bytes,
// their bank checksums, and the parameter table that names bit fields in them.
#include "BissParams.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kChecksumByte = 63;
// Parameters the library reads itself.
constexpr uint32_t kEdsVersion = 1;
constexpr uint32_t kSecondPartBank = 18;
constexpr uint32_t kFurtherBanks = 68;
constexpr uint32_t kFirstBank1Param = 67;
constexpr uint32_t kMaxFurtherBanks = 3;

bool IsUnusedBank(uint32_t bank) { return bank == 0 || bank == 255; }

} // namespace

void BissParamClass::BuildEdsParamTable()
{
    edsTable_.fill({0, 0, 0, 1});
    const auto set = [this](uint32_t number, uint32_t start, uint32_t topBit, uint32_t bitCount) {
        edsTable_[number] = {static_cast<uint8_t>(start), static_cast<uint8_t>(topBit),
                             static_cast<uint8_t>(bitCount), 1};
    };
    // Image bank 0.
    for (uint32_t n = 0; n <= 13; ++n)
        set(n, n, 7, 8);
    set(14, 14, 7, 16);
    set(15, 16, 7, 8);
    set(16, 17, 7, 8);
    set(17, 18, 7, 8);
    set(18, 20, 7, 8);
    set(19, 21, 7, 8);
    for (uint32_t b = 0; b < 8; ++b) {
        set(20 + 6 * b, 22 + 4 * b, 3, 1);
        set(21 + 6 * b, 22 + 4 * b, 1, 1);
        set(22 + 6 * b, 22 + 4 * b, 0, 1);
    }
    for (uint32_t b = 0; b < 7; ++b) {
        set(23 + 6 * b, 23 + 4 * b, 7, 8);
        set(24 + 6 * b, 24 + 4 * b, 7, 8);
        set(25 + 6 * b, 25 + 4 * b, 7, 8);
    }
    set(65, 51, 7, 8);
    set(66, 52, 7, 8);
    // Image bank 1; start registers count from the bank's beginning.
    set(67, 0, 7, 8);
    set(68, 1, 7, 8);
    set(69, 2, 7, 16);
    for (uint32_t n = 70; n <= 72; ++n)
        set(n, n - 66, 7, 8);
    for (uint32_t n = 73; n <= 80; ++n)
        set(n, n - 65, 7, 8);
    for (uint32_t n = 81; n <= 85; ++n)
        set(n, 16 + 4 * (n - 81), 7, 32);
    for (uint32_t n = 86; n <= 96; ++n)
        set(n, 36 + 2 * (n - 86), 7, 16);
}

int BissParamClass::SetEdsRegister(uint32_t index, uint32_t value)
{
    if (index >= kEdsBytes)
        return eBISS_ADDRESS_RANGE;
    edsImage_[index] = value;
    UpdateEdsChecksums();
    return eBISS_NO_ERROR;
}

int BissParamClass::GetEdsRegister(uint32_t index, uint32_t *value) const
{
    if (index >= kEdsBytes)
        return eBISS_ADDRESS_RANGE;
    *value = edsImage_[index];
    return eBISS_NO_ERROR;
}

uint32_t BissParamClass::GetEdsField(uint32_t start, uint32_t topBit, uint32_t bitCount, uint32_t order) const
{
    uint64_t result = 0;
    int64_t index = start;
    int top = static_cast<int>(topBit);
    int left = static_cast<int>(bitCount);
    // Most significant bits first.
    while (left > 0) {
        uint32_t mask;
        int shift;
        if (top + 1 - left > 0) {
            shift = top + 1 - left;
            mask = ((1u << left) - 1) << shift;
            result <<= left;
        } else {
            shift = 0;
            mask = (1u << (top + 1)) - 1;
            result <<= top + 1;
        }
        const uint32_t byte = index >= 0 && index < kEdsBytes ? edsImage_[static_cast<size_t>(index)] : 0;
        result += (byte & mask) >> shift;
        left -= top + 1;
        top = 7;
        index += order != 0 ? 1 : -1;
    }
    return static_cast<uint32_t>(result);
}

int BissParamClass::SetEdsField(uint32_t start, uint32_t topBit, uint32_t bitCount, uint32_t value, uint32_t order)
{
    int64_t index = start;
    int top = static_cast<int>(topBit);
    int left = static_cast<int>(bitCount);
    while (left > 0) {
        int taken, shift;
        uint32_t mask;
        if (top - left + 1 > 0) {
            taken = left;
            shift = top - left + 1;
            mask = ((1u << left) - 1) << shift;
        } else {
            taken = top + 1;
            shift = 0;
            mask = (1u << (top + 1)) - 1;
        }
        // The highest bits of the value not yet written.
        const uint32_t bits = static_cast<uint32_t>((static_cast<uint64_t>(value) >> (left - taken)) &
                                                    ((uint64_t{1} << taken) - 1));
        if (index >= 0 && index < kEdsBytes) {
            const uint32_t byte = edsImage_[static_cast<size_t>(index)];
            SetEdsRegister(static_cast<uint32_t>(index), (byte & ~mask) + (bits << shift));
        }
        left -= top + 1;
        top = 7;
        index += order != 0 ? 1 : -1;
    }
    return eBISS_NO_ERROR;
}

int BissParamClass::LocateEdsParam(uint32_t number, EdsParamEntry *entry) const
{
    if (number >= kEdsParams)
        return eBISS_INVALID_PARAMETER;
    *entry = edsTable_[number];
    if (number >= kFirstBank1Param) {
        // The second part exists only when its bank lies beyond the first.
        uint32_t secondPart = 0;
        GetEdsParam(kSecondPartBank, &secondPart);
        if (secondPart == 255 || secondPart <= com_[eBISS_CP_EDS_BANK])
            return eBISS_EDS_INVALID;
        entry->start = static_cast<uint8_t>(entry->start + kEdsBankSize);
    }
    return eBISS_NO_ERROR;
}

int BissParamClass::GetEdsParam(uint32_t number, uint32_t *value) const
{
    EdsParamEntry entry;
    const int located = LocateEdsParam(number, &entry);
    if (located != eBISS_NO_ERROR)
        return located;
    *value = GetEdsField(entry.start, entry.topBit, entry.bitCount, entry.order);
    return eBISS_NO_ERROR;
}

int BissParamClass::SetEdsParam(uint32_t number, uint32_t value)
{
    if (number >= kEdsParams)
        return eBISS_INVALID_PARAMETER;
    const uint32_t bits = edsTable_[number].bitCount;
    if (bits < 32 && value > (1u << bits) - 1)
        return eBISS_VALUE_RANGE;
    EdsParamEntry entry;
    const int located = LocateEdsParam(number, &entry);
    if (located != eBISS_NO_ERROR)
        return located;
    return SetEdsField(entry.start, entry.topBit, entry.bitCount, value, entry.order);
}

uint8_t BissParamClass::EdsBankChecksum(uint32_t bank) const
{
    uint32_t sum = 0;
    for (uint32_t i = 0; i < kChecksumByte; ++i)
        sum += edsImage_[bank * kEdsBankSize + i] & 0xFF;
    return static_cast<uint8_t>(sum);
}

bool BissParamClass::HasWritableEds() const
{
    if (IsUnusedBank(com_[eBISS_CP_EDS_BANK]))
        return false;
    uint32_t version = 0;
    GetEdsParam(kEdsVersion, &version);
    return version != 0 && version <= 4;
}

int BissParamClass::EdsFurtherBanks(uint32_t *banks) const
{
    uint32_t secondPart = 0;
    GetEdsParam(kSecondPartBank, &secondPart);
    if (IsUnusedBank(secondPart)) {
        *banks = 0;
        return eBISS_NO_ERROR;
    }
    uint32_t further = 1;
    if (GetEdsParam(kFurtherBanks, &further) != eBISS_NO_ERROR)
        further = 1;
    if (further > kMaxFurtherBanks)
        return eBISS_EDS_INVALID;
    *banks = further;
    return eBISS_NO_ERROR;
}

int BissParamClass::UpdateEdsChecksums()
{
    if (!HasWritableEds())
        return eBISS_EDS_INVALID;
    // Byte 63 is stored directly: storing it through SetEdsRegister would come back here.
    edsImage_[kChecksumByte] = EdsBankChecksum(0);

    uint32_t further = 0;
    if (const int result = EdsFurtherBanks(&further); result != eBISS_NO_ERROR)
        return result;
    for (uint32_t bank = 1; bank <= further; ++bank)
        edsImage_[bank * kEdsBankSize + kChecksumByte] = EdsBankChecksum(bank);
    return eBISS_NO_ERROR;
}

} // namespace ferrolink
