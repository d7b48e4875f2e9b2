#include "PngFile.h"

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace cvi {

namespace {

void PutBigEndian(std::string &out, std::uint32_t value)
{
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16);
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}

void PutChunk(std::string &out, const char type[4], const std::string &data)
{
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::string typed(type, 4);
    typed += data;
    out += typed;
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(typed.data()),
                            static_cast<uInt>(typed.size()));
    PutBigEndian(out, static_cast<std::uint32_t>(crc));
}

} // namespace

std::string EncodePng(const Bitmap &bitmap)
{
    if (bitmap.width <= 0 || bitmap.height <= 0 ||
        bitmap.pixels.size() != static_cast<std::size_t>(bitmap.width) * bitmap.height)
        return {};
    // Each row: filter type 0, then R G B per pixel.
    std::vector<Bytef> raw;
    raw.reserve(static_cast<std::size_t>(bitmap.height) * (1 + 3 * bitmap.width));
    for (int y = 0; y < bitmap.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < bitmap.width; ++x) {
            const std::uint32_t pixel = bitmap.pixels[static_cast<std::size_t>(y) * bitmap.width + x];
            raw.push_back(static_cast<Bytef>(pixel >> 16));
            raw.push_back(static_cast<Bytef>(pixel >> 8));
            raw.push_back(static_cast<Bytef>(pixel));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize, raw.data(),
                  static_cast<uLong>(raw.size()), Z_BEST_SPEED) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string header;
    PutBigEndian(header, static_cast<std::uint32_t>(bitmap.width));
    PutBigEndian(header, static_cast<std::uint32_t>(bitmap.height));
    header += '\x08'; // bit depth
    header += '\x02'; // truecolour
    header += '\x00'; // deflate
    header += '\x00'; // adaptive filters
    header += '\x00'; // no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return png;
}

} // namespace cvi
