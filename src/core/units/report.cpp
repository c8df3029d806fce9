#include "core/units/report.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>
#include <vector>

#include "core/units/errors.h"
#include "core/units/uu.h"

namespace kestro {

namespace {

// A demangled type name ("" for none).
std::string TypeName(const std::type_info* type) {
    if (!type)
        return {};
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(type->name(), nullptr, nullptr, &status), &std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(type->name());
}

// ---- Query encoding ----------------------------------------------------------------------------

// One character of a UTF-8 text: its code point, or -1 for a byte that is not valid UTF-8.
struct Utf8Char {
    int32_t codePoint;
    std::string_view bytes;
};

// Splits UTF-8 text into characters; malformed bytes become single-byte items with code -1.
std::vector<Utf8Char> SplitUtf8(std::string_view text) {
    std::vector<Utf8Char> result;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = 0;
        int32_t codePoint = 0;
        if (lead < 0x80) {
            length = 1;
            codePoint = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
        }
        bool valid = length > 0 && i + static_cast<size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not characters.
        static constexpr int32_t Smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (codePoint < Smallest[length] || codePoint > 0x10FFFF ||
                      (codePoint >= 0xD800 && codePoint <= 0xDFFF)))
            valid = false;
        if (!valid) {
            length = 1;
            codePoint = -1;
        }
        result.push_back({codePoint, text.substr(i, static_cast<size_t>(length))});
        i += static_cast<size_t>(length);
    }
    return result;
}

// True for the white space and control characters removed from both ends of a query value.
bool IsTrimmedFromValue(int32_t c) {
    if (c < 0)
        return false;
    if (c <= 0x20 || (c >= 0x7F && c <= 0x9F))
        return true;
    return c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
           c == 0x202F || c == 0x3000;
}

// True for tab, line feed, carriage return and blank: a run of them becomes one "%20".
bool IsBlankLike(int32_t c) {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

// "%" and two upper-case hexadecimal digits for each byte.
void AppendPercentBytes(std::string& out, std::string_view bytes) {
    for (char byte : bytes)
        out += "%" + HexByte(static_cast<uint8_t>(byte));
}

}  // namespace

std::string EncodeQueryValue(std::string_view text) {
    const std::vector<Utf8Char> chars = SplitUtf8(text);
    size_t first = 0;
    size_t last = chars.size();
    while (first < last && IsTrimmedFromValue(chars[first].codePoint))
        ++first;
    while (last > first && IsTrimmedFromValue(chars[last - 1].codePoint))
        --last;

    std::string result;
    bool previousBlank = true;
    for (size_t i = first; i < last; ++i) {
        const int32_t c = chars[i].codePoint;
        const bool blank = IsBlankLike(c);
        if (blank) {
            if (!previousBlank)
                result += "%20";
        } else if (c == '#') {
            result += "%23";
        } else if (c == '%') {
            result += "%25";
        } else if (c == '&') {
            result += "%26";
        } else if (c == '+') {
            result += "%2B";
        } else if (c == ';') {
            result += "%3b";
        } else if (c == '=') {
            result += "%3D";
        } else if (c < 0x20 || c >= 0x7F ||
                   std::string_view("\"<>\\^`{|}").find(static_cast<char>(c)) !=
                       std::string_view::npos) {
            // Not allowed to stand in an address as it is: sent as percent-encoded bytes.
            AppendPercentBytes(result, chars[i].bytes);
        } else {
            result += static_cast<char>(c);
        }
        previousBlank = blank;
    }
    return result;
}

std::string CleanAssertionMessage(std::string_view className, std::string_view message) {
    static constexpr std::string_view Prefix = "Assertion failure (";
    if (className != "EAssertionFailed" || !message.starts_with(Prefix))
        return std::string(message);
    const size_t start = Prefix.size();
    const size_t comma = message.find(',', start);
    if (comma == std::string_view::npos)
        return std::string(message);
    const size_t separator = message.substr(start, comma - start).find_last_of("\\/");
    if (separator == std::string_view::npos)
        return std::string(message);
    std::string cleaned(message);
    cleaned.erase(start, separator + 1);
    return cleaned;
}

ErrorReport BuildReport(const ExceptionFacts& facts, const TLocalInfo& info) {
    static constexpr std::string_view Crlf = "\r\n";
    const std::string& version = info.VersionInfo.FileVersion;
    const std::string size = std::to_string(info.ExeSize);
    ErrorReport report;
    std::string& query = report.query;
    std::string& text = report.text;

    query = "p=KVN&v=" + version + "&s=" + size;
    text = "Program: KVN " + version + " (" + size + " bytes)" + std::string(Crlf);
    // The system's version text is encoded too: a release name may hold characters such as
    // "#" or "&" that would otherwise cut the query short.
    query += "&o=" + EncodeQueryValue(info.WindowsVersion);
    text += "OS:\t" + info.WindowsVersion + std::string(Crlf);
    query += "&n=" + EncodeQueryValue(facts.className);
    text += "Error name:\t" + facts.className + std::string(Crlf);

    const std::string message = CleanAssertionMessage(facts.className, facts.message);
    query += "&m=" + EncodeQueryValue(message);
    text += "Error message:\t" + message + std::string(Crlf);
    query += "&c=" + HexLong(facts.code);
    text += "Error Code:\t" + HexLong(facts.code) + std::string(Crlf);
    query += "&a=" + HexLong(facts.address);
    text += "Address:\t" + HexLong(facts.address) + std::string(Crlf);
    if (facts.secondAddress != facts.address) {
        query += "," + HexLong(facts.secondAddress);
        text += "Addr. 2:\t" + HexLong(facts.secondAddress) + std::string(Crlf);
    }
    query += "&t=" + EncodeQueryValue(facts.callStack);
    text += "Call stack:\t" + facts.callStack + std::string(Crlf);

    // Blanks of values that were not encoded.
    query = ReplaceAll(" ", "%20", query);
    return report;
}

std::string FormatCallStack(const CallStack& stack) {
    std::string text;
    if (stack.entries[0] != 0)
        text = HexLong(stack.entries[0]);
    for (int i = 1; i < CallStackSize && stack.entries[i] != 0; ++i)
        text += ", " + HexLong(stack.entries[i]);
    return text;
}

ExceptionFacts NameException(std::exception_ptr exception, const void** thrownObject) {
    ExceptionFacts facts;
    const void* object = nullptr;
    if (exception) {
        try {
            std::rethrow_exception(exception);
        } catch (const Exception& error) {
            facts.className = error.ClassName();
            facts.message = error.what();
            object = dynamic_cast<const void*>(&error);
        } catch (const std::exception& error) {
            facts.className = TypeName(&typeid(error));
            facts.message = error.what();
            object = dynamic_cast<const void*>(&error);
        } catch (...) {
            facts.className = TypeName(abi::__cxa_current_exception_type());
        }
    }
    if (thrownObject)
        *thrownObject = object;
    return facts;
}

void RaiseTestError() {
    throw Exception("EWin32Error", "Test Error");
}

}  // namespace kestro
