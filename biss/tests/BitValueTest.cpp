// The 64-bit value with its bit length.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <string>

#include "BitValue.h"

using ferrolink::BitValueClass;

namespace {

// "HHHHHHHH'LLLLLLLL/len": both words and the bit length in one comparable text.
std::string Show(const BitValueClass &v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%08X'%08X/%d", static_cast<unsigned>(v.GetHigh()),
                  static_cast<unsigned>(v.GetLow()), static_cast<int>(v.BitLength()));
    return text;
}

struct Case {
    const char *what;
    std::function<std::string()> run;
    std::string expected;
};

void RunCases(std::initializer_list<Case> cases)
{
    for (const Case &c : cases)
        EXPECT_EQ(c.expected, c.run()) << c.what;
}

TEST(BitValue, DocumentedCases)
{
    RunCases({
        {"Set(0, 0)", [] { return Show(BitValueClass(0, 0)); }, "00000000'00000000/1"},
        {"Set(0, 1)", [] { return Show(BitValueClass(0, 1)); }, "00000000'00000001/1"},
        {"Set(0, 0x80000000)", [] { return Show(BitValueClass(0, 0x80000000)); }, "00000000'80000000/32"},
        {"Set(1, 0)", [] { return Show(BitValueClass(1, 0)); }, "00000001'00000000/33"},
        {"Set(0x80000000, 0)", [] { return Show(BitValueClass(0x80000000, 0)); }, "80000000'00000000/64"},
        {"Bits(63, 8)", [] { return Show(BitValueClass(0xAB000000, 0x12345678).Bits(63, 8)); },
         "00000000'000000AB/8"},
        {"ShiftLeft(32)", [] { return Show(BitValueClass(0, 0x12345678).ShiftLeft(32)); },
         "12345678'00000000/61"},
        {"ShiftRight(4)", [] { return Show(BitValueClass(1, 0x20).ShiftRight(4)); }, "00000000'10000002/29"},
        {"SetField(39, 8, 0xFF)", [] { BitValueClass v; v.SetField(39, 8, 0xFFu); return Show(v); },
         "000000FF'00000000/40"},
        {"SetField(35, 8, 0xFF)", [] { BitValueClass v; v.SetField(35, 8, 0xFFu); return Show(v); },
         "0000000F'F0000000/36"},
        {"hex, default digits", [] { return BitValueClass(1, 2).ToText(1, 0, 0); }, "100000002"},
        {"binary, most significant first", [] { return BitValueClass(0, 5).ToText(2, 4, 1); }, "0101"},
        {"binary, least significant first", [] { return BitValueClass(0, 5).ToText(2, 4, 0); }, "1010"},
        {"Add carries", [] { return Show(BitValueClass(0, 0xFFFFFFFF).Add(0, 1)); }, "00000001'00000000/33"},
        {"Subtract borrows", [] { return Show(BitValueClass(1, 0).Subtract(0, 1)); }, "00000000'FFFFFFFF/32"},
    });
}

TEST(BitValue, ShiftsAtAndBeyondTheWordAndValueWidth)
{
    const BitValueClass v(0x89ABCDEF, 0x01234567);
    RunCases({
        {"left 0", [&] { BitValueClass c = v; return Show(c.ShiftLeft(0)); }, "89ABCDEF'01234567/64"},
        {"left -5", [&] { BitValueClass c = v; return Show(c.ShiftLeft(-5)); }, "89ABCDEF'01234567/64"},
        {"left 4", [&] { BitValueClass c = v; return Show(c.ShiftLeft(4)); }, "9ABCDEF0'12345670/64"},
        {"left 32", [&] { BitValueClass c = v; return Show(c.ShiftLeft(32)); }, "01234567'00000000/57"},
        {"left 63", [&] { BitValueClass c = v; return Show(c.ShiftLeft(63)); }, "80000000'00000000/64"},
        {"left 64", [&] { BitValueClass c = v; return Show(c.ShiftLeft(64)); }, "00000000'00000000/1"},
        {"left 200", [&] { BitValueClass c = v; return Show(c.ShiftLeft(200)); }, "00000000'00000000/1"},
        {"right 0", [&] { BitValueClass c = v; return Show(c.ShiftRight(0)); }, "89ABCDEF'01234567/64"},
        {"right -5", [&] { BitValueClass c = v; return Show(c.ShiftRight(-5)); }, "89ABCDEF'01234567/64"},
        {"right 4", [&] { BitValueClass c = v; return Show(c.ShiftRight(4)); }, "089ABCDE'F0123456/60"},
        {"right 32", [&] { BitValueClass c = v; return Show(c.ShiftRight(32)); }, "00000000'89ABCDEF/32"},
        {"right 63", [&] { BitValueClass c = v; return Show(c.ShiftRight(63)); }, "00000000'00000001/1"},
        {"right 64", [&] { BitValueClass c = v; return Show(c.ShiftRight(64)); }, "00000000'00000000/1"},
        {"right INT_MAX", [&] { BitValueClass c = v; return Show(c.ShiftRight(INT_MAX)); }, "00000000'00000000/1"},
        {"right INT_MIN", [&] { BitValueClass c = v; return Show(c.ShiftRight(INT_MIN)); }, "89ABCDEF'01234567/64"},
    });

    BitValueClass shifted(0, 0xF0);
    const BitValueClass copy = shifted.ShiftRight(4);
    EXPECT_EQ(shifted, copy) << "the shift works in place and returns the result";
    EXPECT_TRUE(shifted.EqualsLow(0x0F));
}

TEST(BitValue, FieldsAcrossTheWordBoundaryAndAtTheEnds)
{
    const BitValueClass ones(0xFFFFFFFF, 0xFFFFFFFF);
    const BitValueClass pattern(0x0000ABCD, 0xEF012345);
    RunCases({
        {"clear a field across the boundary keeps the rest",
         [&] { BitValueClass v = ones; v.SetField(35, 8, 0u); return Show(v); }, "FFFFFFF0'0FFFFFFF/64"},
        {"value wider than the field is cut",
         [] { BitValueClass v; v.SetField(35, 8, 0x1234u); return Show(v); }, "00000003'40000000/34"},
        {"whole value, count 64",
         [&] { BitValueClass v = ones; v.SetField(63, 64, pattern); return Show(v); }, "0000ABCD'EF012345/48"},
        {"count 32 in the high word",
         [&] { BitValueClass v = ones; v.SetField(63, 32, 0x12345678u); return Show(v); }, "12345678'FFFFFFFF/61"},
        {"a 40-bit value from a bit value",
         [] { BitValueClass v; v.SetField(47, 40, BitValueClass(0xAB, 0xCDEF0123)); return Show(v); },
         "0000ABCD'EF012300/48"},
        {"bit 63 alone", [] { BitValueClass v; v.SetField(63, 1, 1u); return Show(v); }, "80000000'00000000/64"},
        {"field reaching below bit 0 is cut, not shifted",
         [] { BitValueClass v; v.SetField(3, 8, 0xABu); return Show(v); }, "00000000'0000000B/4"},
        {"bits above 63 are dropped",
         [] { BitValueClass v; v.SetField(70, 8, 0xFFu); return Show(v); }, "80000000'00000000/64"},
        {"count 0 changes nothing",
         [&] { BitValueClass v = pattern; v.SetField(40, 0, 0u); return Show(v); }, "0000ABCD'EF012345/48"},
        {"negative top changes nothing",
         [&] { BitValueClass v = pattern; v.SetField(-1, 4, 0u); return Show(v); }, "0000ABCD'EF012345/48"},
        {"Bits across the boundary", [&] { return Show(pattern.Bits(35, 8)); }, "00000000'000000DE/8"},
        {"Bits of all 64", [&] { return Show(pattern.Bits(63, 64)); }, "0000ABCD'EF012345/48"},
        {"Bits of the high word", [&] { return Show(pattern.Bits(63, 32)); }, "00000000'0000ABCD/16"},
        {"Bits below bit 0 not shifted", [&] { return Show(pattern.Bits(3, 8)); }, "00000000'00000005/3"},
        {"Bits with count 0", [&] { return Show(pattern.Bits(10, 0)); }, "00000000'00000000/1"},
        {"GetBitsLow", [&] { return std::to_string(pattern.GetBitsLow(47, 16)); }, std::to_string(0xABCD)},
    });
}

TEST(BitValue, ArithmeticWrapsAndComparesUnsigned)
{
    const BitValueClass max(0xFFFFFFFF, 0xFFFFFFFF);
    const BitValueClass zero;
    RunCases({
        {"max + 1", [&] { return Show(max.AddUnsigned(1)); }, "00000000'00000000/1"},
        {"0 - 1", [&] { return Show(zero.SubtractUnsigned(1)); }, "FFFFFFFF'FFFFFFFF/64"},
        {"add both words", [] { return Show(BitValueClass(1, 0x80000000).Add(2, 0x80000000)); },
         "00000004'00000000/35"},
        {"subtract both words", [] { return Show(BitValueClass(4, 0).Subtract(1, 1)); }, "00000002'FFFFFFFF/34"},
        {"AddSigned(+5)", [] { return Show(BitValueClass(0, 10).AddSigned(5)); }, "00000000'0000000F/4"},
        {"AddSigned(-11)", [] { return Show(BitValueClass(0, 10).AddSigned(-11)); }, "FFFFFFFF'FFFFFFFF/64"},
        {"AddSigned(0)", [] { return Show(BitValueClass(0, 10).AddSigned(0)); }, "00000000'0000000A/4"},
        {"AddSigned(INT_MIN)", [] { return Show(BitValueClass(1, 0).AddSigned(INT_MIN)); },
         "00000000'80000000/32"},
    });

    BitValueClass unchanged(0, 7);
    (void)unchanged.Add(0, 1);
    EXPECT_TRUE(unchanged.EqualsLow(7)) << "arithmetic leaves the value itself alone";

    const BitValueClass v(1, 0);
    EXPECT_TRUE(v.Greater(0, 0xFFFFFFFF));
    EXPECT_FALSE(v.Less(0, 0xFFFFFFFF));
    EXPECT_TRUE(v.Less(1, 1));
    EXPECT_FALSE(v.Less(1, 0));
    EXPECT_FALSE(v.Greater(1, 0));
    EXPECT_TRUE(v.Equals(1, 0));
    EXPECT_TRUE(v.NotEquals(0, 0));
    EXPECT_TRUE(v.NotEqualsLow(0)) << "the high word takes part";
    EXPECT_FALSE(v.EqualsLow(0));
    EXPECT_TRUE(BitValueClass(0, 9).EqualsLow(9));
}

TEST(BitValue, Texts)
{
    const BitValueClass wide(0x0000ABCD, 0x00000012);
    RunCases({
        {"decimal shows the low word only", [&] { return wide.ToText(0, 0, 0); }, "18"},
        {"decimal ignores the width", [] { return BitValueClass(0, 42).ToText(0, 6, 0); }, "42"},
        {"hex default digits", [&] { return wide.ToText(1, 0, 0); }, "ABCD00000012"},
        {"hex 16 digits", [&] { return wide.ToText(1, 16, 0); }, "0000ABCD00000012"},
        {"hex 4 digits of a wide low word", [] { return BitValueClass(0, 0x12345).ToText(1, 4, 0); }, "12345"},
        {"hex of 0", [] { return BitValueClass().ToText(1, 0, 0); }, "0"},
        {"binary default of 0", [] { return BitValueClass().ToText(2, 0, 1); }, "0"},
        {"binary across the boundary", [] { return BitValueClass(1, 1).ToText(2, 0, 1); },
         "1" + std::string(31, '0') + "1"},
        {"binary least significant first", [] { return BitValueClass(0, 6).ToText(2, 0, 0); }, "011"},
        {"binary wider than 64 pads with zeros", [] { return BitValueClass(0x80000000, 0).ToText(2, 66, 1); },
         "001" + std::string(63, '0')},
        {"unknown base", [&] { return wide.ToText(3, 4, 0); }, ""},
        {"from 4 characters", [] { BitValueClass v(7, 7); v.FromBinaryText("0101"); return Show(v); },
         "00000000'00000005/3"},
        {"from 32 characters",
         [] { BitValueClass v(5, 5); v.FromBinaryText("1" + std::string(30, '0') + "1"); return Show(v); },
         "00000000'80000001/32"},
        {"from 33 characters",
         [] { BitValueClass v; v.FromBinaryText("11" + std::string(30, '0') + "1"); return Show(v); },
         "00000001'80000001/33"},
        {"other characters count as 0", [] { BitValueClass v; v.FromBinaryText("1x2 1"); return Show(v); },
         "00000000'00000011/5"},
        {"more than 64 characters keep the last 64",
         [] { BitValueClass v; v.FromBinaryText("1111" + std::string(62, '0') + "1"); return Show(v); },
         "80000000'00000001/64"},
        {"empty text", [] { BitValueClass v(1, 1); v.FromBinaryText(""); return Show(v); }, "00000000'00000000/1"},
    });

    // Text written and read back gives the value again.
    const BitValueClass value(0x1234, 0x89ABCDEF);
    BitValueClass back;
    back.FromBinaryText(value.ToText(2, 64, 1));
    EXPECT_EQ(value, back);
}

} // namespace
