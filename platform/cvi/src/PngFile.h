// Panel pictures as PNG files: 8-bit RGB, deflated with zlib.
#pragma once

#include <string>

#include "Model.h"

namespace cvi {

// The PNG file of the picture; empty when the picture is empty or compression fails.
std::string EncodePng(const Bitmap &bitmap);

} // namespace cvi
