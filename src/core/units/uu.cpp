#include "core/units/uu.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kestro {

float Distance(float ax, float ay, float bx, float by) {
    const double dx = static_cast<double>(ax) - bx;
    const double dy = static_cast<double>(ay) - by;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

bool InsideCircle(float x, float y, float cx, float cy, float r) {
    const double dx = static_cast<double>(x) - cx;
    const double dy = static_cast<double>(y) - cy;
    return dx * dx + dy * dy < static_cast<double>(r) * r;
}

int32_t ReadNumber(std::string_view text, int& pos) {
    int64_t value = 0;
    while (pos >= 1 && static_cast<size_t>(pos) <= text.size() && text[pos - 1] >= '0' &&
           text[pos - 1] <= '9') {
        value = value * 10 + (text[pos - 1] - '0');
        if (value > std::numeric_limits<int32_t>::max())
            value = std::numeric_limits<int32_t>::max();
        ++pos;
    }
    return static_cast<int32_t>(value);
}

bool IsWhiteOrControl(char32_t c) {
    if (c < 32 || (c >= 127 && c <= 159))
        return true;
    switch (c) {
        case 0x20:
        case 0xA0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return c >= 0x2000 && c <= 0x200A;
    }
}

std::u16string ExtractField(int n, std::u16string_view line, char16_t separator, bool trim) {
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        const size_t sep = line.find(separator, start);
        if (sep == std::u16string_view::npos)
            return {};
        start = sep + 1;
    }
    size_t end = line.find(separator, start);
    if (end == std::u16string_view::npos)
        end = line.size();
    if (trim) {
        while (start < end && IsWhiteOrControl(line[start]))
            ++start;
        while (end > start && IsWhiteOrControl(line[end - 1]))
            --end;
    }
    return std::u16string(line.substr(start, end - start));
}

std::string FormatFixed(int decimals, int maxLength, double value) {
    if (maxLength > 0)
        decimals = maxLength - 2 > 0 ? maxLength - 2 : 0;
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text(buffer, result.ptr);
    // A value that rounds to zero is written without a sign.
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    if (maxLength >= 3 && static_cast<int>(text.size()) > maxLength) {
        text.resize(static_cast<size_t>(maxLength));
        if (text.back() == '.')
            text.pop_back();
    }
    return text;
}

std::string HexByte(uint8_t value) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    return {Digits[value >> 4], Digits[value & 15]};
}

std::string HexWord(uint16_t value) {
    return HexByte(static_cast<uint8_t>(value >> 8)) + HexByte(static_cast<uint8_t>(value));
}

std::string HexLong(uint32_t value) {
    return HexWord(static_cast<uint16_t>(value >> 16)) + HexWord(static_cast<uint16_t>(value));
}

std::string ReplaceAll(std::string_view search, std::string_view replacement,
                       std::string_view text) {
    if (search == replacement || search.empty())
        return std::string(text);
    std::string result;
    size_t pos = 0;
    while (true) {
        const size_t found = text.find(search, pos);
        if (found == std::string_view::npos)
            break;
        result.append(text.substr(pos, found - pos));
        result.append(replacement);
        pos = found + search.size();
    }
    result.append(text.substr(pos));
    return result;
}

std::string EnsureTrailingChar(std::string_view text, char c) {
    std::string result(text);
    if (result.empty() || result.back() != c)
        result.push_back(c);
    return result;
}

}  // namespace kestro
