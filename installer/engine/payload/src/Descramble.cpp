#include "payload/Descramble.h"

#include "kr/handle_holder.h"

#include "MappedView.h"

#include <cstdint>
#include <new>

namespace {

// The constant the container writer keys every scrambled entry with, applied
// byte by byte in little-endian order.
constexpr uint32_t kScrambleConstant = 0x5A17C3E9;

inline unsigned char SwapHalves(unsigned char b) noexcept
{
    return static_cast<unsigned char>((b << 4) | (b >> 4));
}

} // namespace

std::vector<unsigned char> MakeDescrambleKey(std::string_view key_text)
{
    std::vector<unsigned char> key;
    try {
        key.resize(key_text.size());
    } catch (const std::bad_alloc&) {
        return {};
    }
    for (size_t i = 0; i < key.size(); ++i) {
        const auto constant_byte = static_cast<unsigned char>(kScrambleConstant >> (8 * (i % 4)));
        key[i] = static_cast<unsigned char>(constant_byte ^ static_cast<unsigned char>(key_text[i]));
    }
    return key;
}

int DescrambleBuffer(unsigned char* bytes, size_t count, std::string_view key_text, size_t start_position)
{
    const std::vector<unsigned char> key = MakeDescrambleKey(key_text);
    if (key.empty())
        return 0;
    size_t j = start_position % key.size();
    for (size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<unsigned char>(~(SwapHalves(bytes[i]) ^ key[j]));
        if (++j == key.size())
            j = 0;
    }
    return 1;
}

int DescrambleFile(HANDLE file, std::string_view key_text)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size))
        return 0;
    if (size.QuadPart == 0)
        return key_text.empty() ? 0 : 1;
    if (static_cast<ULONGLONG>(size.QuadPart) > SIZE_MAX) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    kr::handle_holder mapping(CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr));
    if (mapping.empty())
        return 0;
    mapped_view view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 0));
    if (!view)
        return 0;
    return DescrambleBuffer(view.get(), static_cast<size_t>(size.QuadPart), key_text, 0);
}
