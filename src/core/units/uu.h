// Small numeric and text utilities shared by every part of the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestro {

// True when lo <= v <= hi (both ends included).
inline bool InRange(double v, double lo, double hi) {
    return lo <= v && v <= hi;
}

// The Euclidean distance, computed in double and rounded to float.
float Distance(float ax, float ay, float bx, float by);

// True when (x - cx)^2 + (y - cy)^2 < r^2 (strictly inside), computed in double.
bool InsideCircle(float x, float y, float cx, float cy, float r);

inline int32_t MinInt(int32_t a, int32_t b) {
    return a < b ? a : b;
}
inline int32_t MaxInt(int32_t a, int32_t b) {
    return a > b ? a : b;
}
inline int64_t MinInt64(int64_t a, int64_t b) {
    return a < b ? a : b;
}
inline int64_t MaxInt64(int64_t a, int64_t b) {
    return a > b ? a : b;
}
// Min(a, b) is a if a < b, else b; Max(a, b) is a if a > b, else b.
inline float MinFloat(float a, float b) {
    return a < b ? a : b;
}
inline float MaxFloat(float a, float b) {
    return a > b ? a : b;
}

// Reads a run of decimal digits of text starting at the 1-based position pos, which it
// advances past them. Returns 0 when no digit stands at pos. Values beyond int32 saturate.
int32_t ReadNumber(std::string_view text, int& pos);

// True for Unicode white space and for control characters (below 32, and 127 to 159).
bool IsWhiteOrControl(char32_t c);

// Field n (from 0) of a line split at separator; empty when the line has fewer than n
// separators. With trim, white space and control characters are removed from both ends.
std::u16string ExtractField(int n, std::u16string_view line, char16_t separator, bool trim);

// A value in fixed point with a full stop as separator, whatever the locale. With
// maxLength <= 0: `decimals` decimals. With maxLength > 0: max(0, maxLength - 2) decimals,
// then, if maxLength >= 3, cut to maxLength characters (maxLength - 1 when the cut would end
// on the decimal point).
std::string FormatFixed(int decimals, int maxLength, double value);

// Upper-case hexadecimal digits, most significant first: 2, 4 and 8 digits.
std::string HexByte(uint8_t value);
std::string HexWord(uint16_t value);
std::string HexLong(uint32_t value);

// Replaces every occurrence of search in text, scanning left to right and continuing after
// each inserted replacement, so that a replacement is never searched again.
std::string ReplaceAll(std::string_view search, std::string_view replacement,
                       std::string_view text);

// The text with c appended unless it already ends with c; an empty text gives c alone.
std::string EnsureTrailingChar(std::string_view text, char c);

}  // namespace kestro
