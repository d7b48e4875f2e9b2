#include "RegisterImage.h"

#include <algorithm>

std::unique_ptr<std::uint16_t[]> RegisterImage;

void InitAllDatabuffers()
{
    RegisterImage = std::make_unique<std::uint16_t[]>(kRegisterImageCells);
    std::fill_n(RegisterImage.get(), kRegisterImageCells - 1, kCellNeverRead);
}
