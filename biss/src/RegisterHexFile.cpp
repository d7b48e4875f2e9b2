// Saving and loading runs of register bytes as Intel HEX files.
#include <algorithm>

#include "BissParams.h"
#include "IntelHexImage.h"

namespace ferrolink {
namespace {

// The run start .. start + count - 1 must lie inside the image.
bool FitsImage(uint32_t start, uint32_t count)
{
    return uint64_t{start} + count <= IntelHexImage::kCapacity;
}

} // namespace

int BissParamClass::SaveHex(const char *fileName, uint32_t start, uint32_t count, const BISS_U32 *data)
{
    if (fileName == nullptr || (data == nullptr && count != 0) || !FitsImage(start, count))
        return eBISS_INVALID_PARAMETER;

    // An existing file's bytes are kept up to its first gap; one that does not
    // read is simply replaced.
    IntelHexImage image;
    const uint32_t kept = image.Read(fileName) == eBISS_NO_ERROR ? image.PresentFromStart() : 0;
    const uint32_t length = std::max(start + count, kept);
    for (uint32_t address = kept; address < length; ++address)
        image.Put(address, 0xFF);
    for (uint32_t i = 0; i < count; ++i)
        image.Put(start + i, static_cast<uint8_t>(data[i]));
    return image.Write(fileName, length);
}

int BissParamClass::LoadHex(const char *fileName, uint32_t start, uint32_t count, BISS_U32 *data)
{
    if (fileName == nullptr || (data == nullptr && count != 0) || !FitsImage(start, count))
        return eBISS_INVALID_PARAMETER;

    IntelHexImage image;
    const int result = image.Read(fileName);
    if (result != eBISS_NO_ERROR)
        return result;
    for (uint32_t i = 0; i < count; ++i) {
        if (!image.IsPresent(start + i))
            return eBISS_FILE_FORMAT;
        data[i] = image.At(start + i);
    }
    return eBISS_NO_ERROR;
}

} // namespace ferrolink
