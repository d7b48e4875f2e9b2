// A slave's electronic data sheet: read from its register banks into the
// image, written back from it with every byte verified. Always through the
// library's own control access (mode 0), one slave at a time.
#include <array>

#include "BissMaster.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kSoftwareMode = 0;
constexpr uint32_t kBankSelect = 0x40;  // the bank registers 0x00-0x3F show
constexpr uint32_t kEdsBankRegister = 0x41;
constexpr uint32_t kBankSize = BissParamClass::kEdsBankSize;
constexpr uint32_t kChecksumByte = kBankSize - 1;
constexpr uint32_t kMaxFurtherBanks = 3;
// Parameters the read and the write check.
constexpr uint32_t kEdsIdentifier = 0;
constexpr uint32_t kEdsVersion = 1;
constexpr uint32_t kSecondPartBank = 18;
constexpr uint32_t kSecondPartIdentifier = 67;
constexpr uint32_t kFurtherBanks = 68;

bool IsUnusedBank(uint32_t bank) { return bank == 0 || bank == 255; }

} // namespace

int BissMasterClass::SetEdsParam(uint32_t number, uint32_t value)
{
    if (number >= BissParamClass::kEdsParams)
        return eBISS_INVALID_PARAMETER;
    return params_.SetEdsParam(number, value);
}

int BissMasterClass::GetEdsParam(uint32_t number, uint32_t *value)
{
    if (number >= BissParamClass::kEdsParams)
        return eBISS_INVALID_PARAMETER;
    return params_.GetEdsParam(number, value);
}

int BissMasterClass::SetEdsRegister(uint32_t index, uint32_t value)
{
    return params_.SetEdsRegister(index, value);
}

int BissMasterClass::GetEdsRegister(uint32_t index, uint32_t *value)
{
    return params_.GetEdsRegister(index, value);
}

int BissMasterClass::ReadEdsParams(uint32_t slave)
{
    const auto readByte = [&](uint32_t address, uint32_t *value) {
        BISS_U32 count = 1;
        BISS_U32 data = 0;
        const int result = ReadSlaveRegister(kSoftwareMode, slave, address, &count, &data);
        *value = data;
        return result;
    };
    const auto selectBank = [&](uint32_t bank) {
        BISS_U32 count = 1;
        const BISS_U32 data = bank & 0xFF;
        return WriteSlaveRegister(kSoftwareMode, slave, kBankSelect, &count, &data);
    };
    // One bank into image bank imageBank; the checksum as read must match its bytes.
    const auto readBank = [&](uint32_t imageBank, bool *checksumOk) {
        std::array<BISS_U32, kBankSize> bytes{};
        BISS_U32 count = kBankSize;
        const int result = ReadSlaveRegister(kSoftwareMode, slave, 0, &count, bytes.data());
        if (result != eBISS_NO_ERROR)
            return result;
        uint32_t sum = 0;
        for (uint32_t i = 0; i < kBankSize; ++i) {
            params_.SetEdsRegister(imageBank * kBankSize + i, bytes[i]);
            if (i < kChecksumByte)
                sum += bytes[i];
        }
        *checksumOk = (sum & 0xFF) == bytes[kChecksumByte];
        return static_cast<int>(eBISS_NO_ERROR);
    };

    uint32_t edsBank = 0;
    int result = readByte(kEdsBankRegister, &edsBank);
    if (result != eBISS_NO_ERROR)
        return result;
    if (IsUnusedBank(edsBank))
        return eBISS_EDS_NOT_USED;
    params_.SetComParam(eBISS_CP_EDS_BANK, edsBank);

    bool checksumOk = false;
    if ((result = selectBank(edsBank)) != eBISS_NO_ERROR || (result = readBank(0, &checksumOk)) != eBISS_NO_ERROR)
        return result;
    uint32_t value = 0;
    params_.GetEdsParam(kEdsIdentifier, &value);
    if (value == 255)
        return eBISS_EDS_INVALID;
    if (!checksumOk)
        return eBISS_EDS_CHECKSUM;
    params_.GetEdsParam(kEdsVersion, &value);
    if (value >= 5)
        return eBISS_EDS_INVALID;

    uint32_t secondPart = 0;
    params_.GetEdsParam(kSecondPartBank, &secondPart);
    if (IsUnusedBank(secondPart))
        return eBISS_NO_ERROR;
    uint32_t banks = 1;
    for (uint32_t j = 0; j < banks; ++j) {
        if ((result = selectBank(secondPart + j)) != eBISS_NO_ERROR ||
            (result = readBank(j + 1, &checksumOk)) != eBISS_NO_ERROR)
            return result;
        if (params_.GetEdsParam(kSecondPartIdentifier, &value) != eBISS_NO_ERROR || value == 255)
            return eBISS_EDS_INVALID;
        if (!checksumOk)
            return eBISS_EDS_CHECKSUM;
        if (params_.GetEdsParam(kFurtherBanks, &banks) != eBISS_NO_ERROR || banks > kMaxFurtherBanks)
            return eBISS_EDS_INVALID;
    }
    return eBISS_NO_ERROR;
}

int BissMasterClass::WriteEdsParams(uint32_t slave)
{
    const auto writeByte = [&](uint32_t address, uint32_t value) {
        BISS_U32 count = 1;
        const BISS_U32 data = value;
        return WriteSlaveRegister(kSoftwareMode, slave, address, &count, &data);
    };
    const auto readByte = [&](uint32_t address, uint32_t *value) {
        BISS_U32 count = 1;
        BISS_U32 data = 0;
        const int result = ReadSlaveRegister(kSoftwareMode, slave, address, &count, &data);
        *value = data;
        return result;
    };
    // The bank's bytes with its checksum computed afresh, each one read back.
    const auto writeBank = [&](uint32_t imageBank) {
        for (uint32_t i = 0; i < kBankSize; ++i) {
            uint32_t value = 0;
            params_.GetEdsRegister(imageBank * kBankSize + i, &value);
            if (i == kChecksumByte)
                value = params_.EdsBankChecksum(imageBank);
            int result = writeByte(i, value);
            if (result != eBISS_NO_ERROR)
                return result;
            uint32_t readBack = 0;
            if (readByte(i, &readBack) != eBISS_NO_ERROR && (result = readByte(i, &readBack)) != eBISS_NO_ERROR)
                return result;
            if (readBack != value)
                return static_cast<int>(eBISS_VERIFY_FAILED);
        }
        return static_cast<int>(eBISS_NO_ERROR);
    };

    if (!params_.HasWritableEds())
        return eBISS_EDS_INVALID;
    const uint32_t edsBank = params_.Com(eBISS_CP_EDS_BANK);

    int result;
    if ((result = writeByte(kEdsBankRegister, edsBank)) != eBISS_NO_ERROR ||
        (result = writeByte(kBankSelect, edsBank)) != eBISS_NO_ERROR || (result = writeBank(0)) != eBISS_NO_ERROR)
        return result;

    uint32_t banks = 0;
    if ((result = params_.EdsFurtherBanks(&banks)) != eBISS_NO_ERROR)
        return result;
    uint32_t secondPart = 0;
    params_.GetEdsParam(kSecondPartBank, &secondPart);
    for (uint32_t k = 0; k < banks; ++k) {
        if ((result = writeByte(kBankSelect, (secondPart + k) & 0xFF)) != eBISS_NO_ERROR ||
            (result = writeBank(k + 1)) != eBISS_NO_ERROR)
            return result;
    }
    return eBISS_NO_ERROR;
}

} // namespace ferrolink
