// The tool's image of the encoder memory: one cell per encoder address, one byte per cell.
#pragma once

#include <cstdint>
#include <memory>

inline constexpr int kRegisterImageCells = 2049;
inline constexpr std::uint16_t kCellNeverRead = 0x1FF;

// Null until InitAllDatabuffers.
extern std::unique_ptr<std::uint16_t[]> RegisterImage;

// A new image: cells 0-2047 marked as never read, cell 2048 zero.
void InitAllDatabuffers();
