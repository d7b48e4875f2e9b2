#include "FieldPacking.h"

#include "RegisterFields.h"
#include "RegisterImage.h"
#include "SensorMemoryMap.h"

#include <array>
#include <span>

namespace calvista {
namespace {

enum class WideFieldOrder { MsbFirst, LsbFirst };

// A field's bits as they go into the image.
std::uint32_t PackedValue(const RegField &field, WideFieldOrder order)
{
    const auto value = static_cast<std::uint32_t>(field.value);
    if (order == WideFieldOrder::MsbFirst && field.bitlen > 8)
        return ChangeByteOrder(value, static_cast<std::uint8_t>(field.bitlen / 8));
    return value;
}

std::uint32_t FieldValueFromBits(std::uint32_t bits, std::uint16_t bitlen, WideFieldOrder order)
{
    if (order == WideFieldOrder::MsbFirst && bitlen > 8)
        return ChangeByteOrder(bits, static_cast<std::uint8_t>(bitlen / 8));
    return bits;
}

template <std::size_t Size>
void PackBlock(std::span<const RegField> fields, std::uint16_t blockAddress, WideFieldOrder order)
{
    std::array<std::uint8_t, Size> bytes{};
    std::size_t bit = 0;
    for (const RegField &field : fields) {
        const std::uint32_t value = PackedValue(field, order);
        for (unsigned k = 0; k < field.bitlen && bit < Size * 8; ++k, ++bit) {
            if ((value >> k) & 1u)
                bytes[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        }
    }
    for (std::size_t offset = 0; offset < Size; ++offset)
        UpdateBuffers(blockAddress, static_cast<std::uint16_t>(offset), bytes[offset]);
}

template <std::size_t Size>
void UnpackBlock(std::span<RegField> fields, std::uint16_t blockAddress, WideFieldOrder order)
{
    std::array<std::uint8_t, Size> bytes{};
    for (std::size_t offset = 0; offset < Size; ++offset)
        bytes[offset] = ImageByte(blockAddress + offset);

    std::size_t bit = 0;
    for (RegField &field : fields) {
        std::uint32_t bits = 0;
        for (unsigned k = 0; k < field.bitlen && bit < Size * 8; ++k, ++bit) {
            if ((bytes[bit / 8] >> (bit % 8)) & 1u)
                bits |= 1u << k;
        }
        field.value = static_cast<std::int32_t>(FieldValueFromBits(bits, field.bitlen, order));
    }
}

} // namespace

std::uint32_t ChangeByteOrder(std::uint32_t value, std::uint8_t size)
{
    switch (size) {
    case 2:
        return ((value & 0xFF) << 8) | ((value >> 8) & 0xFF);
    case 4:
        return ((value & 0xFF) << 24) | ((value & 0xFF00) << 8) | ((value >> 8) & 0xFF00) | (value >> 24);
    default:
        return 0;
    }
}

void SysRegfieldsToCfgvector()
{
    PackBlock<kSystemBlockSize>(SysFieldTable(), kSystemBlockAddress, WideFieldOrder::MsbFirst);
}

void SysCfgvectorToRegfields()
{
    ClearSysRegs();
    UnpackBlock<kSystemBlockSize>(SysFieldTable(), kSystemBlockAddress, WideFieldOrder::MsbFirst);
}

CrcReport DorvelRegfieldsToCfgvector()
{
    PackBlock<kDorvelBlockSize>(DorvelFieldTable(), kDorvelBlockAddress, WideFieldOrder::LsbFirst);
    return CalculateCRCs(true, true, false);
}

void DorvelCfgvectorToRegfields()
{
    ClearDorvelRegs();
    UnpackBlock<kDorvelBlockSize>(DorvelFieldTable(), kDorvelBlockAddress, WideFieldOrder::LsbFirst);
}

} // namespace calvista
