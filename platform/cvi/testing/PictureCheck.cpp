#include "cvi/PictureCheck.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "Runtime.h"

namespace cvi {

namespace {

std::uint32_t BigEndian(const std::string &bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<unsigned char>(bytes[at + 3]);
}

// The box clipped to the picture; empty when nothing of it is inside.
bool Clip(const PanelPicture &picture, PictureBox &box)
{
    const int left = std::max(box.left, 0);
    const int top = std::max(box.top, 0);
    const int right = std::min(box.left + box.width, picture.width);
    const int bottom = std::min(box.top + box.height, picture.height);
    if (right <= left || bottom <= top)
        return false;
    box = PictureBox{left, top, right - left, bottom - top};
    return true;
}

std::uint32_t MostFrequentColour(const PanelPicture &picture)
{
    std::map<std::uint32_t, std::size_t> counts;
    for (const std::uint32_t pixel : picture.pixels)
        ++counts[pixel];
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto &a, const auto &b) { return a.second < b.second; })
        ->first;
}

// Controls that draw something wherever they are shown.
bool AlwaysDrawn(const Control &control)
{
    switch (control.kind) {
    case ControlKind::Timer:
        return false;
    case ControlKind::TextMessage:
        return !control.text.text.empty();
    default:
        return true;
    }
}

std::string Describe(const Runtime &runtime, int panel, const Control &control, const PictureBox &box)
{
    const Panel *owner = runtime.FindPanel(panel);
    return (owner ? owner->name : std::string("?")) + " " + control.name + " at " + std::to_string(box.left) + "," +
           std::to_string(box.top) + " (" + std::to_string(box.width) + "x" + std::to_string(box.height) +
           ") shows only the background";
}

void CheckControls(const Runtime &runtime, int panel, const PanelPicture &picture, std::uint32_t background,
                   std::vector<std::string> &faults)
{
    const Panel *owner = runtime.FindPanel(panel);
    if (!owner)
        return;
    for (const Control &control : owner->controls) {
        PictureBox box;
        if (AlwaysDrawn(control) && runtime.ControlBoxInPicture(panel, control.id, box) && Clip(picture, box)) {
            bool drawn = false;
            for (int y = box.top; y < box.top + box.height && !drawn; ++y) {
                for (int x = box.left; x < box.left + box.width && !drawn; ++x)
                    drawn = picture.pixels[static_cast<std::size_t>(y) * picture.width + x] != background;
            }
            if (!drawn)
                faults.push_back(Describe(runtime, panel, control, box));
        }
        if (control.kind == ControlKind::Tab && control.visible) {
            for (const TabPage &page : control.tab.pages) {
                if (runtime.IsShown(page.panel))
                    CheckControls(runtime, page.panel, picture, background, faults);
            }
        }
    }
}

} // namespace

std::optional<PanelPicture> ReadPanelPicture(const std::string &pngPath)
{
    std::ifstream file(pngPath, std::ios::binary);
    const std::string png((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (png.size() < 8 || png.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0)
        return std::nullopt;
    PanelPicture picture;
    std::string packed;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = BigEndian(png, at);
        if (at + 12 + length > png.size())
            return std::nullopt;
        const std::string type = png.substr(at + 4, 4);
        const uLong crc = crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef *>(png.data() + at + 4), length + 4);
        if (crc != BigEndian(png, at + 8 + length))
            return std::nullopt;
        if (type == "IHDR" && length >= 10) {
            picture.width = static_cast<int>(BigEndian(png, at + 8));
            picture.height = static_cast<int>(BigEndian(png, at + 12));
            // 8 bits per sample, RGB.
            if (png[at + 16] != 8 || png[at + 17] != 2)
                return std::nullopt;
        } else if (type == "IDAT") {
            packed.append(png, at + 8, length);
        }
        at += 12 + length;
    }
    if (picture.width <= 0 || picture.height <= 0)
        return std::nullopt;
    const std::size_t stride = 1 + 3 * static_cast<std::size_t>(picture.width);
    std::string raw(stride * picture.height, '\0');
    uLongf size = static_cast<uLongf>(raw.size());
    if (uncompress(reinterpret_cast<Bytef *>(raw.data()), &size, reinterpret_cast<const Bytef *>(packed.data()),
                   static_cast<uLong>(packed.size())) != Z_OK ||
        size != raw.size())
        return std::nullopt;
    picture.pixels.reserve(static_cast<std::size_t>(picture.width) * picture.height);
    for (int y = 0; y < picture.height; ++y) {
        // The run-time writes every row unfiltered.
        if (raw[y * stride] != 0)
            return std::nullopt;
        for (int x = 0; x < picture.width; ++x) {
            const std::size_t at = y * stride + 1 + 3 * static_cast<std::size_t>(x);
            picture.pixels.push_back(static_cast<std::uint32_t>(static_cast<unsigned char>(raw[at])) << 16 |
                                     static_cast<std::uint32_t>(static_cast<unsigned char>(raw[at + 1])) << 8 |
                                     static_cast<unsigned char>(raw[at + 2]));
        }
    }
    return picture;
}

std::vector<std::string> CheckPanelPicture(int panel, const PanelPicture &picture)
{
    std::vector<std::string> faults;
    const Runtime *runtime = Runtime::Current();
    const Panel *target = runtime ? runtime->FindPanel(panel) : nullptr;
    if (!target) {
        faults.push_back("no such panel");
        return faults;
    }
    if (picture.width != target->width || picture.height != target->height) {
        faults.push_back(target->name + ": the picture is " + std::to_string(picture.width) + "x" +
                         std::to_string(picture.height) + ", the panel " + std::to_string(target->width) + "x" +
                         std::to_string(target->height));
        return faults;
    }
    CheckControls(*runtime, panel, picture, MostFrequentColour(picture), faults);
    return faults;
}

bool ControlAreaDiffers(int panel, int control, const PanelPicture &first, const PanelPicture &second)
{
    const Runtime *runtime = Runtime::Current();
    PictureBox box;
    if (!runtime || first.width != second.width || first.height != second.height ||
        !runtime->ControlBoxInPicture(panel, control, box) || !Clip(first, box))
        return false;
    for (int y = box.top; y < box.top + box.height; ++y) {
        for (int x = box.left; x < box.left + box.width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * first.width + x;
            if (first.pixels[at] != second.pixels[at])
                return true;
        }
    }
    return false;
}

} // namespace cvi
