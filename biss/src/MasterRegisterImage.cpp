// Turning the parameters into the target image of the master's 256 registers.
#include "BissMaster.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

bool IsUsbAdapter(uint32_t type) { return type == eBISS_IF_DRAVIO_A || type == eBISS_IF_DRAVIO_B; }

constexpr uint32_t ChannelRegister(uint32_t base, uint32_t channel) { return base + 4 * channel; }

// A shadow entry no register value can equal.
constexpr uint32_t kUnknownRegister = 0xFFFFFFFF;

} // namespace

int BissMasterClass::BuildRegisterImage()
{
    return BuildRegisterImage(GetMasterInfo(), interfaceType_);
}

int BissMasterClass::BuildRegisterImage(const MasterChipInfo &chip, uint32_t interfaceType)
{
    int result = eBISS_NO_ERROR;
    const bool legacy = chip.chipId == kLegacyChipId && chip.revision == 0;
    const uint32_t protocol = params_.Com(eBISS_CP_PROTOCOL);

    splitSlot_ = -1;
    splitCrcLength_ = 0;

    target_[0xF5] = params_.Com(eBISS_CP_CLKENI) & 1;
    ftdi_.SetTestModeBase(static_cast<uint8_t>(target_[0xF5] & 0xFF));
    if (IsUsbAdapter(interfaceType) && chip.chipId == 0x52 && chip.revision >= 4) {
        target_[0xE5] = 2 * (params_.Com(eBISS_CP_EN_MO) & 1) + 1;
        target_[0xE9] = 0;
    }
    target_[0xE6] = 32 * (params_.Com(eBISS_CP_FREQ_REG) & 7) + (params_.Com(eBISS_CP_FREQ_SCD) & 0x1F);
    target_[0xE8] = params_.Com(eBISS_CP_FREQ_AGS);

    // Bits 0-5 of 0xC0+4n: data bits the master reads, minus 1; bit 6: channel in use.
    for (uint32_t n = 0; n < chip.channelLimit && n < kChannels; ++n) {
        const uint32_t length = params_.Frame(n, eBISS_FP_SCD_LENGTH);
        const uint32_t poly = params_.Frame(n, eBISS_FP_CRC_POLY);
        const uint32_t invert = params_.Frame(n, eBISS_FP_CRC_INVERT);
        const uint32_t start = params_.Frame(n, eBISS_FP_CRC_START);
        const uint32_t gray = params_.Frame(n, eBISS_FP_EN_GRAY);

        uint32_t config = 0;
        uint32_t masterCrc = 0;
        if (legacy) {
            masterCrc = CrcLength(poly);
            if (length != 0)
                config = length - masterCrc + 63;
            if (protocol == 2)
                config += 0x80;
        } else if (length != 0) {
            if (start == 0 && poly > 0 && poly < 256) {
                masterCrc = CrcLength(poly);  // the master checks the CRC itself
            } else if (length > 64) {
                // The master reads the CRC bits into the next slot.
                masterCrc = CrcLength(poly);
                splitSlot_ = static_cast<int32_t>(n + 1);
                splitCrcLength_ = masterCrc;
            }
            config = length - masterCrc + 63;
            if (IsUsbAdapter(interfaceType) && gray != 0)
                config += 0x80;
        }
        // The register holds 1 to 64 data bits; any other count would spill
        // into the in-use and conversion bits and configure another channel.
        if (length != 0 && (length <= masterCrc || length - masterCrc > 64))
            result = eBISS_VALUE_RANGE;
        target_[ChannelRegister(0xC0, n)] = config;

        uint32_t crc = 0;
        if (start == 0 && poly < 256) {
            crc = poly / 2;
            const bool masterInverts = interfaceType == eBISS_IF_DRAVIO_B || chip.chipId == 0x84;
            if (masterInverts ? poly != 0 : invert != 0)
                crc += 0x80;
        }
        target_[ChannelRegister(0xC1, n)] = crc;

        if (legacy)
            target_[ChannelRegister(0xC2, n)] = protocol == 0 ? 0x80 : 0;
        else
            target_[ChannelRegister(0xC2, n)] = !IsUsbAdapter(interfaceType) && gray != 0 ? 0x80 : 0;
        target_[ChannelRegister(0xC3, n)] = 0;
    }

    if (!legacy) {
        const uint32_t field = protocol == 0 ? 1 : protocol == 2 ? 2 : 0;
        const uint32_t fourFields = field * (1 + 4 + 16 + 64);
        target_[0xEC] = 1;
        target_[0xED] = fourFields;
        target_[0xEE] = fourFields;
    }

    if (splitSlot_ >= 0 && static_cast<uint32_t>(splitSlot_) < kChannels)
        target_[ChannelRegister(0xC0, static_cast<uint32_t>(splitSlot_))] = splitCrcLength_ + 63;
    return result;
}

int BissMasterClass::GetMasterRegister(uint32_t address, uint32_t *value)
{
    const int built = BuildRegisterImage();
    if (address >= kRegisters)
        return eBISS_ADDRESS_RANGE;
    if (built != eBISS_NO_ERROR)
        return built;
    *value = target_[address];
    return eBISS_NO_ERROR;
}

int BissMasterClass::WriteImageRegister(uint32_t address, bool onlyChanged)
{
    if (onlyChanged && shadow_[address] == target_[address])
        return eBISS_NO_ERROR;
    // The shadow says what the master holds: it follows only a verified write,
    // so a failed one is retried by the next "only changed" write.
    shadow_[address] = kUnknownRegister;
    if (target_[address] > 255)
        return eBISS_VALUE_RANGE;
    int result = WriteMasterRegister(address, target_[address]);
    if (result != eBISS_NO_ERROR)
        return result;
    uint32_t readBack = 0;
    if ((result = ReadMasterRegister(address, &readBack)) != eBISS_NO_ERROR)
        return result;
    shadow_[address] = readBack;
    return readBack == target_[address] ? eBISS_NO_ERROR : eBISS_MASTER_COMM_FAILED;
}

int BissMasterClass::WriteMasterParams(bool onlyChanged)
{
    // Parameters the master's registers cannot hold are refused before anything is written.
    if (const int built = BuildRegisterImage(); built != eBISS_NO_ERROR)
        return built;
    const MasterChipInfo chip = GetMasterInfo();
    if (configuredChannels_ > chip.channelLimit)
        return eBISS_CHANNEL_COUNT_EXCEEDED;

    std::vector<uint32_t> order;
    if (chip.chipId == 0x83 || chip.chipId == 0x84)
        order.push_back(0xF5);
    if (IsUsbAdapter(interfaceType_) && chip.chipId == 0x52 && chip.revision >= 4) {
        order.push_back(0xE5);
        order.push_back(0xE9);
    }
    order.push_back(0xE6);
    order.push_back(0xE8);
    for (uint32_t n = 0; n < chip.channelLimit && n < kChannels; ++n)
        for (uint32_t base : {0xC0u, 0xC1u, 0xC2u, 0xC3u})
            order.push_back(ChannelRegister(base, n));
    if (!(chip.chipId == kLegacyChipId && chip.revision == 0)) {
        order.push_back(0xEC);
        order.push_back(0xED);
        order.push_back(0xEE);
    }
    for (uint32_t address : order) {
        const int result = WriteImageRegister(address, onlyChanged);
        if (result != eBISS_NO_ERROR)
            return result;
    }
    // Sequences the FTDI adapter keeps were built for the earlier parameters.
    if (interfaceType_ == eBISS_IF_FTDI)
        ftdi_.ResetQueues();
    return eBISS_NO_ERROR;
}

int BissMasterClass::ReadMasterConfig()
{
    const MasterChipInfo chip = GetMasterInfo();
    const bool legacy = chip.chipId == kLegacyChipId && chip.revision == 0;
    uint32_t value = 0;

    int result = ReadMasterRegister(0xF5, &value);
    params_.SetComParam(eBISS_CP_CLKENI, value & 1);
    if (result != eBISS_NO_ERROR)
        return result;
    result = ReadMasterRegister(0xE6, &value);
    params_.SetComParam(eBISS_CP_FREQ_SCD, value & 0x1F);
    params_.SetComParam(eBISS_CP_FREQ_REG, (value >> 5) & 7);
    if (result != eBISS_NO_ERROR)
        return result;

    for (uint32_t n = 0; n < chip.channelLimit && n < kChannels; ++n) {
        result = ReadMasterRegister(ChannelRegister(0xC0, n), &value);
        params_.Legacy(n, 2) = (value & 0x40) != 0 ? (value & 0x3F) + 1 : 0;
        params_.Legacy(n, legacy ? 4 : 6) = (value >> 7) & 1;
        if (result != eBISS_NO_ERROR)
            return result;

        result = ReadMasterRegister(ChannelRegister(0xC1, n), &value);
        // The register holds the polynomial without its constant term.
        const uint32_t shifted = value & 0x7F;
        params_.SetFrameParam(n, eBISS_FP_CRC_POLY, shifted != 0 ? shifted * 2 + 1 : 0, BissParamClass::kUserTable);
        params_.SetFrameParam(n, eBISS_FP_CRC_INVERT, (value >> 7) & 1, BissParamClass::kUserTable);
        if (result != eBISS_NO_ERROR)
            return result;

        result = ReadMasterRegister(ChannelRegister(0xC2, n), &value);
        params_.Legacy(n, legacy ? 5 : 7) = (value >> 7) & 1;
        if (result != eBISS_NO_ERROR)
            return result;

        if (!legacy) {
            result = ReadMasterRegister(0xEC, &value);
            params_.Legacy(n, 8) = value;
            if (result != eBISS_NO_ERROR)
                return result;
            for (uint32_t reg : {0xEDu, 0xEEu}) {
                result = ReadMasterRegister(reg, &value);
                const uint32_t first = reg == 0xED ? 0 : 4;
                for (uint32_t k = 0; k < 4; ++k) {
                    const uint32_t field = (value >> (2 * k)) & 3;
                    params_.Legacy(first + k, 5) = field & 1;
                    params_.Legacy(first + k, 4) = (field >> 1) & 1;
                }
                if (result != eBISS_NO_ERROR)
                    return result;
            }
        }
    }
    return eBISS_NO_ERROR;
}

} // namespace ferrolink
