#include "RegisterImage.h"

namespace calvista {
namespace {

void FillNeverRead(RegisterImageCells &cells)
{
    cells.fill(kCellNeverRead);
    cells.back() = 0;  // one cell beyond the EEPROM's last address
}

RegisterImageCells MakeImage()
{
    RegisterImageCells cells{};
    FillNeverRead(cells);
    return cells;
}

} // namespace

RegisterImageCells &RegisterImage()
{
    static RegisterImageCells image = MakeImage();
    return image;
}

void InitAllDatabuffers()
{
    FillNeverRead(RegisterImage());
}

bool UpdateBuffers(std::uint16_t base, std::uint16_t offset, std::uint16_t value)
{
    const std::size_t index = std::size_t{base} + offset;
    if (index >= kRegisterImageCells)
        return false;
    RegisterImage()[index] = value;
    return true;
}

std::uint8_t ImageByte(std::size_t address)
{
    if (address >= kRegisterImageCells)
        return 0xFF;
    return static_cast<std::uint8_t>(RegisterImage()[address] & 0xFF);
}

} // namespace calvista
