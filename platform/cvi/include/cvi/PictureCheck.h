// Checks of panel pictures written by SaveBitmapToPNGFile, for screenshot tests: a blank or
// broken window must not pass for a picture of the panel.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cvi {

struct PanelPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, row by row from the top
};

// The picture in a PNG file as the run-time writes them (8-bit RGB); nothing when it is not one.
std::optional<PanelPicture> ReadPanelPicture(const std::string &pngPath);

// What is wrong with a picture of a shown top-level panel: a size other than the panel's, or a
// shown control (of the panel or of its shown pages) whose rectangle holds nothing but the
// panel's background. One line each; empty when nothing is.
std::vector<std::string> CheckPanelPicture(int panel, const PanelPicture &picture);

// Whether a shown control's rectangle looks different in two pictures of its top-level panel.
bool ControlAreaDiffers(int panel, int control, const PanelPicture &first, const PanelPicture &second);

} // namespace cvi
