// The tool's image of the encoder memory: one cell per encoder address, one byte per cell.
#pragma once

#include <array>
#include <cstdint>

namespace calvista {

inline constexpr std::size_t kRegisterImageCells = 2049;
inline constexpr std::uint16_t kCellNeverRead = 0x1FF;  // marks a cell that was never read

using RegisterImageCells = std::array<std::uint16_t, kRegisterImageCells>;

// The module's image. Created on first use as InitAllDatabuffers leaves it. Wherever a cell goes
// to the encoder or into a checksum, only its low 8 bits count.
RegisterImageCells &RegisterImage();

// Marks cells 0-2047 as never read; cell 2048 holds 0.
void InitAllDatabuffers();

// The one way to write a single cell: image[base + offset] := value. An index past the image
// writes nothing and gives false.
bool UpdateBuffers(std::uint16_t base, std::uint16_t offset, std::uint16_t value);

// Low byte of a cell (a never-read cell reads as 0xFF); an index past the image reads as 0xFF.
std::uint8_t ImageByte(std::size_t address);

} // namespace calvista
