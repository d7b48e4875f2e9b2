#include "BitValue.h"

#include <algorithm>
#include <bit>

namespace ferrolink {
namespace {

// The low n bits set; shifts by 64 are undefined, so the ends are spelled out.
constexpr uint64_t OnesBelow(int64_t n)
{
    if (n <= 0)
        return 0;
    if (n >= 64)
        return ~uint64_t{0};
    return (uint64_t{1} << n) - 1;
}

constexpr uint64_t ShiftUp(uint64_t value, int64_t n)
{
    if (n <= 0)
        return value;
    return n >= 64 ? 0 : value << n;
}

constexpr uint64_t ShiftDown(uint64_t value, int64_t n)
{
    if (n <= 0)
        return value;
    return n >= 64 ? 0 : value >> n;
}

// Lowest bit of field (top, count); negative when the field reaches below bit 0.
constexpr int64_t FieldBottom(int top, int count)
{
    return static_cast<int64_t>(top) - count + 1;
}

// The bits of field (top, count) that lie within bits 0..63.
constexpr uint64_t FieldMask(int top, int count)
{
    if (count <= 0 || top < 0)
        return 0;
    const int64_t highest = std::min<int64_t>(top, 63);
    return OnesBelow(highest + 1) & ~OnesBelow(FieldBottom(top, count));
}

std::string HexText(uint32_t value, int width)
{
    std::string text;
    do {
        text += "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(text.size()) < width)
        text.append(static_cast<size_t>(width) - text.size(), '0');
    std::reverse(text.begin(), text.end());
    return text;
}

} // namespace

void BitValueClass::Set(uint32_t high, uint32_t low)
{
    high_ = high;
    low_ = low;
    bitLength_ = std::max(1, static_cast<int32_t>(std::bit_width(Value())));
}

void BitValueClass::Get(uint32_t *high, uint32_t *low) const
{
    *high = high_;
    *low = low_;
}

void BitValueClass::SetField(int top, int count, const BitValueClass &value)
{
    const uint64_t mask = FieldMask(top, count);
    if (mask == 0)
        return;
    const uint64_t field = ShiftUp(value.Value() & OnesBelow(count), FieldBottom(top, count));
    SetValue((Value() & ~mask) | (field & mask));
}

void BitValueClass::SetField(int top, int count, uint32_t value)
{
    SetField(top, count, BitValueClass(0, value));
}

BitValueClass BitValueClass::Bits(int top, int count) const
{
    BitValueClass field;
    field.SetValue(ShiftDown(Value() & FieldMask(top, count), FieldBottom(top, count)));
    return field;
}

BitValueClass BitValueClass::ShiftRight(int n)
{
    if (n > 0)
        SetValue(ShiftDown(Value(), n));
    return *this;
}

BitValueClass BitValueClass::ShiftLeft(int n)
{
    if (n > 0)
        SetValue(ShiftUp(Value(), n));
    return *this;
}

BitValueClass BitValueClass::Add(uint32_t high, uint32_t low) const
{
    BitValueClass sum;
    sum.SetValue(Value() + Combine(high, low));
    return sum;
}

BitValueClass BitValueClass::Subtract(uint32_t high, uint32_t low) const
{
    BitValueClass difference;
    difference.SetValue(Value() - Combine(high, low));
    return difference;
}

BitValueClass BitValueClass::AddSigned(int32_t value) const
{
    if (value > 0)
        return AddUnsigned(static_cast<uint32_t>(value));
    return SubtractUnsigned(static_cast<uint32_t>(-static_cast<int64_t>(value)));
}

std::string BitValueClass::ToText(int base, int digits, int order) const
{
    if (digits <= 0)
        digits = base == kBinary ? bitLength_ : (bitLength_ + 3) / 4;

    switch (base) {
    case kDecimal:
        return std::to_string(low_);
    case kHexadecimal:
        if (digits <= 8)
            return HexText(low_, digits);
        return HexText(high_, digits - 8) + HexText(low_, 8);
    case kBinary: {
        std::string text(static_cast<size_t>(digits), '0');
        const uint64_t value = Value();
        // Character k of the text is bit k; turned round below for most significant first.
        for (int bit = 0; bit < digits && bit < 64; ++bit) {
            if ((value >> bit) & 1)
                text[static_cast<size_t>(bit)] = '1';
        }
        if (order != kLeastSignificantFirst)
            std::reverse(text.begin(), text.end());
        return text;
    }
    default:
        return {};
    }
}

void BitValueClass::FromBinaryText(std::string_view text)
{
    uint64_t value = 0;
    for (const char c : text)
        value = (value << 1) | (c == '1' ? 1 : 0);
    SetValue(value);
}

} // namespace ferrolink
