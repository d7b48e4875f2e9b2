// The CRC-8 checksums that protect the two interpolator-chip blocks of the register image.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace calvista {

// Dorvel: 15 bytes 0x30-0x3E, result at 0x3F. Pellin: 31 bytes 0x40-0x5E, result at 0x5F.
inline constexpr std::uint8_t kDorvelCrcInit = 0x00;
inline constexpr std::uint16_t kDorvelCrcPolynomial = 0x127;  // x^8 + x^5 + x^2 + x + 1
inline constexpr std::uint8_t kPellinCrcInit = 0x01;
inline constexpr std::uint16_t kPellinCrcPolynomial = 0x11D;  // x^8 + x^4 + x^3 + x^2 + 1

// CRC-8 over the low bytes of the cells, most significant bit first, no reflection and no final
// XOR; only the low 8 bits of the polynomial are used.
std::uint8_t CalculateSum(std::span<const std::uint16_t> values, std::uint8_t init, std::uint16_t polynomial);

// One block's checksum as the pages show it: what the block's bytes give, and what the image
// holds in the block's CRC cell afterwards.
struct BlockCrc {
    std::uint8_t computed;
    std::uint8_t stored;

    bool Mismatch() const { return computed != stored; }
};

// The blocks a CRC run computed; a block that was not asked for stays empty.
struct CrcReport {
    std::optional<BlockCrc> dorvel;
    std::optional<BlockCrc> pellin;
};

// Computes the requested block checksums from the image; with store set, writes each into its
// block's CRC cell first.
[[nodiscard]] CrcReport CalculateCRCs(bool store, bool dorvel, bool pellin);

// The Pellin block only.
[[nodiscard]] CrcReport PellinFillBuffer(bool store);

} // namespace calvista
