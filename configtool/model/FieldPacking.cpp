#include "FieldPacking.h"

#include "RegisterFields.h"
#include "RegisterImage.h"
#include "SensorMemoryMap.h"

#include <array>
#include <span>

namespace calvista {
namespace {

enum class WideFieldOrder { MsbFirst, LsbFirst };

// Swapping bytes is its own inverse: the same conversion takes a field's value into the image's
// order and the image's bits back into the value.
std::uint32_t InImageOrder(std::uint32_t value, std::uint16_t bitlen, WideFieldOrder order)
{
    if (order == WideFieldOrder::MsbFirst && bitlen > 8)
        return ChangeByteOrder(value, static_cast<std::uint8_t>(bitlen / 8));
    return value;
}

template <std::size_t Size>
void PackBlock(std::span<const RegField> fields, std::uint16_t blockAddress, WideFieldOrder order)
{
    std::array<std::uint8_t, Size> bytes{};
    std::size_t bit = 0;
    for (const RegField &field : fields) {
        const std::uint32_t value = InImageOrder(static_cast<std::uint32_t>(field.value), field.bitlen, order);
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
        field.value = static_cast<std::int32_t>(InImageOrder(bits, field.bitlen, order));
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
