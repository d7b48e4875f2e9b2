#include "BlockCrc.h"

#include "RegisterImage.h"
#include "SensorMemoryMap.h"

#include <array>

namespace calvista {
namespace {

// A block's bytes as the checksum sees them: each image cell masked to 8 bits.
template <std::size_t Size>
std::array<std::uint16_t, Size> FillBlockBuffer(std::uint16_t address)
{
    std::array<std::uint16_t, Size> buffer{};
    for (std::size_t i = 0; i < Size; ++i)
        buffer[i] = ImageByte(address + i);
    return buffer;
}

template <std::size_t Size>
BlockCrc BlockChecksum(std::uint16_t blockAddress, std::uint16_t crcAddress, std::uint8_t init,
                       std::uint16_t polynomial, bool store)
{
    const auto buffer = FillBlockBuffer<Size>(blockAddress);
    const std::uint8_t crc = CalculateSum(std::span(buffer).first(Size - 1), init, polynomial);
    if (store)
        UpdateBuffers(crcAddress, 0, crc);
    return BlockCrc{crc, ImageByte(crcAddress)};
}

} // namespace

std::uint8_t CalculateSum(std::span<const std::uint16_t> values, std::uint8_t init, std::uint16_t polynomial)
{
    const auto poly = static_cast<std::uint8_t>(polynomial & 0xFF);
    std::uint8_t crc = init;
    for (const std::uint16_t cell : values) {
        auto b = static_cast<std::uint8_t>(cell & 0xFF);
        for (int bit = 0; bit < 8; ++bit) {
            const bool differ = ((crc ^ b) & 0x80) != 0;
            crc = static_cast<std::uint8_t>(crc << 1);
            if (differ)
                crc ^= poly;
            b = static_cast<std::uint8_t>(b << 1);
        }
    }
    return crc;
}

CrcReport CalculateCRCs(bool store, bool dorvel, bool pellin)
{
    CrcReport report;
    if (dorvel) {
        report.dorvel = BlockChecksum<kDorvelBlockSize>(kDorvelBlockAddress, kDorvelCrcAddress, kDorvelCrcInit,
                                                        kDorvelCrcPolynomial, store);
    }
    if (pellin) {
        report.pellin = BlockChecksum<kPellinBlockSize>(kPellinBlockAddress, kPellinCrcAddress, kPellinCrcInit,
                                                        kPellinCrcPolynomial, store);
    }
    return report;
}

CrcReport PellinFillBuffer(bool store)
{
    return CalculateCRCs(store, false, true);
}

} // namespace calvista
