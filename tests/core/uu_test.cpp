#include <gtest/gtest.h>

#include "core/units/uu.h"

namespace kestro {
namespace {

TEST(Geometry, RangeDistanceAndCircle) {
    EXPECT_TRUE(InRange(1.0, -1.0, 1.0));
    EXPECT_TRUE(InRange(-1.0, -1.0, 1.0));
    EXPECT_FALSE(InRange(1.0000001, -1.0, 1.0));
    EXPECT_EQ(Distance(0, 0, 3, 4), 5.0f);
    EXPECT_FALSE(InsideCircle(0.5f, 0, 0, 0, 0.5f));  // on the edge is not inside
    EXPECT_TRUE(InsideCircle(0.49f, 0, 0, 0, 0.5f));
    EXPECT_EQ(MinFloat(1, 2), 1);
    EXPECT_EQ(MaxInt(-3, 2), 2);
    EXPECT_EQ(MinInt64(int64_t{1} << 40, 5), 5);
}

TEST(ReadNumber, ReadsDigitsFromOneBasedPosition) {
    int pos = 1;
    EXPECT_EQ(ReadNumber("2:10:2", pos), 2);
    EXPECT_EQ(pos, 2);
    pos = 3;
    EXPECT_EQ(ReadNumber("2:10:2", pos), 10);
    EXPECT_EQ(pos, 5);
    pos = 1;
    EXPECT_EQ(ReadNumber("x12", pos), 0);
    EXPECT_EQ(pos, 1);
    pos = 7;
    EXPECT_EQ(ReadNumber("2:10:2", pos), 0);
    pos = 1;
    EXPECT_EQ(ReadNumber("99999999999999", pos), 2147483647);
}

TEST(ExtractField, FieldsMissingFieldsAndTrim) {
    const std::u16string line = u" 0.5\t-0.25 \t1\textra";
    EXPECT_EQ(ExtractField(0, line, u'\t', true), u"0.5");
    EXPECT_EQ(ExtractField(1, line, u'\t', true), u"-0.25");
    EXPECT_EQ(ExtractField(1, line, u'\t', false), u"-0.25 ");
    EXPECT_EQ(ExtractField(3, line, u'\t', true), u"extra");
    EXPECT_EQ(ExtractField(4, line, u'\t', true), u"");
    EXPECT_EQ(ExtractField(2, u"a\tb", u'\t', true), u"");
    EXPECT_EQ(ExtractField(0, u"", u'\t', true), u"");
    // Unicode white space and control characters are trimmed, inner ones kept
    EXPECT_EQ(ExtractField(0, u"\u00A0\u3000a b\x01\u0085\u2028", u'\t', true), u"a b");
}

TEST(FormatFixed, FixedDecimalsWithFullStop) {
    EXPECT_EQ(FormatFixed(6, 0, 0.5), "0.500000");
    EXPECT_EQ(FormatFixed(6, 0, -0.25), "-0.250000");
    EXPECT_EQ(FormatFixed(6, 0, 1.0), "1.000000");
    EXPECT_EQ(FormatFixed(3, -1, 0.9f), "0.900");
    EXPECT_EQ(FormatFixed(2, 0, 150.0), "150.00");
    EXPECT_EQ(FormatFixed(6, 0, -0.0000001), "0.000000");
}

TEST(FormatFixed, CutToMaximumLength) {
    EXPECT_EQ(FormatFixed(0, 5, 0.5), "0.500");
    EXPECT_EQ(FormatFixed(0, 5, 12.5), "12.50");
    EXPECT_EQ(FormatFixed(0, 5, 123.456), "123.4");
    EXPECT_EQ(FormatFixed(0, 5, 1234.5), "1234");
    EXPECT_EQ(FormatFixed(0, 5, 12345.6), "12345");
    EXPECT_EQ(FormatFixed(0, 5, 123456.7), "12345");
    EXPECT_EQ(FormatFixed(0, 5, -0.12345), "-0.12");
    EXPECT_EQ(FormatFixed(0, 5, -12.5), "-12.5");
    EXPECT_EQ(FormatFixed(0, 2, 3.14159), "3");  // no decimals, nothing to cut
}

TEST(Hex, ExactlyEightUpperCaseDigits) {
    EXPECT_EQ(HexLong(0), "00000000");
    EXPECT_EQ(HexLong(0xDEADBEEF), "DEADBEEF");
    EXPECT_EQ(HexLong(0x00401A2C), "00401A2C");
    EXPECT_EQ(HexWord(0xABC), "0ABC");
    EXPECT_EQ(HexByte(0x0F), "0F");
}

TEST(ReplaceAll, NeverRescansAReplacement) {
    EXPECT_EQ(ReplaceAll(" ", "%20", "Windows 5.1 2600"), "Windows%205.1%202600");
    EXPECT_EQ(ReplaceAll("a", "aa", "aXa"), "aaXaa");
    EXPECT_EQ(ReplaceAll("ab", "b", "aabb"), "abb");
    EXPECT_EQ(ReplaceAll("x", "x", "xxx"), "xxx");
    EXPECT_EQ(ReplaceAll("q", "z", ""), "");
}

TEST(EnsureTrailingChar, AppendsOnlyWhenMissing) {
    EXPECT_EQ(EnsureTrailingChar("a/b", '/'), "a/b/");
    EXPECT_EQ(EnsureTrailingChar("a/b/", '/'), "a/b/");
    EXPECT_EQ(EnsureTrailingChar("", '/'), "/");
}

}  // namespace
}  // namespace kestro
