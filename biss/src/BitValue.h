// An unsigned value of up to 64 bits that knows how many bits it occupies.
// Single-cycle data, CRC bits and content items are cut, shifted and printed
// through it. Bits are numbered 0 (least significant) to 63; a field (top, count)
// is the count bits whose highest bit is top. Every change of the value
// recomputes the bit length, shifts and binary text included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ferrolink {

class BitValueClass {
public:
    // Bases of ToText.
    enum TextBase : int { kDecimal = 0, kHexadecimal = 1, kBinary = 2 };
    // Bit order of binary text.
    enum BitOrder : int { kLeastSignificantFirst = 0, kMostSignificantFirst = 1 };

    BitValueClass() = default;
    BitValueClass(uint32_t high, uint32_t low) { Set(high, low); }

    void Set(uint32_t high, uint32_t low);
    void SetHigh(uint32_t high) { Set(high, low_); }
    void SetLow(uint32_t low) { Set(high_, low); }
    void Get(uint32_t *high, uint32_t *low) const;
    uint32_t GetHigh() const { return high_; }
    uint32_t GetLow() const { return low_; }
    // Bits up to and including the highest set bit, at least 1.
    int32_t BitLength() const { return bitLength_; }

    // Writes the low count bits of value into field (top, count); other bits stay.
    // A field reaching below bit 0 is cut there, bits above 63 are dropped.
    void SetField(int top, int count, const BitValueClass &value);
    void SetField(int top, int count, uint32_t value);
    // Field (top, count), right-aligned; a field reaching below bit 0 is cut
    // there and not shifted.
    BitValueClass Bits(int top, int count) const;
    uint32_t GetBitsLow(int top, int count) const { return Bits(top, count).GetLow(); }

    // Shift this value in place and return a copy of the result. A shift by 64
    // or more leaves 0; a shift by 0 or less leaves the value as it is.
    BitValueClass ShiftRight(int n);
    BitValueClass ShiftLeft(int n);

    // Arithmetic modulo 2^64; this value is unchanged.
    BitValueClass Add(uint32_t high, uint32_t low) const;
    BitValueClass Subtract(uint32_t high, uint32_t low) const;
    BitValueClass AddUnsigned(uint32_t value) const { return Add(0, value); }
    BitValueClass SubtractUnsigned(uint32_t value) const { return Subtract(0, value); }
    BitValueClass AddSigned(int32_t value) const;

    bool Equals(uint32_t high, uint32_t low) const { return high_ == high && low_ == low; }
    bool NotEquals(uint32_t high, uint32_t low) const { return !Equals(high, low); }
    bool EqualsLow(uint32_t low) const { return Equals(0, low); }
    bool NotEqualsLow(uint32_t low) const { return !EqualsLow(low); }
    bool Less(uint32_t high, uint32_t low) const { return Value() < Combine(high, low); }
    bool Greater(uint32_t high, uint32_t low) const { return Value() > Combine(high, low); }

    // Base 0: the low word in decimal. Base 1: upper-case hexadecimal, the high
    // word in digits - 8 places before the low word in 8 when digits exceed 8.
    // Base 2: digits bits from bit digits - 1 down, most significant first with
    // order 1, reversed with order 0. Digits 0 (or less) means the bit length
    // (base 2) or the bit length in hexadecimal digits (the other bases).
    // Any other base gives an empty text.
    std::string ToText(int base, int digits, int order) const;
    // '0'/'1' text, most significant first: the last character is bit 0 and
    // anything but '1' counts as 0; characters beyond 64 bits are dropped.
    void FromBinaryText(std::string_view text);

    friend bool operator==(const BitValueClass &a, const BitValueClass &b)
    {
        return a.Equals(b.high_, b.low_);
    }

private:
    static constexpr uint64_t Combine(uint32_t high, uint32_t low)
    {
        return (static_cast<uint64_t>(high) << 32) | low;
    }
    uint64_t Value() const { return Combine(high_, low_); }
    void SetValue(uint64_t value) { Set(static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value)); }

    uint32_t high_ = 0;
    uint32_t low_ = 0;
    int32_t bitLength_ = 1;
};

} // namespace ferrolink
