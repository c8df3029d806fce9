#include "core/units/report.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <typeinfo>
#include <vector>

#include "core/units/errors.h"
#include "core/units/uu.h"

namespace kestro {

namespace {

// ---- Where exceptions were raised ------------------------------------------------------------
// Every C++ throw passes through __cxa_throw, which the program replaces below. The replacement
// notes the thrown object and the address it was thrown from, then hands over to the run-time.
// A few recent throws are kept, so that a throw caught and handled while another is in flight
// does not hide the one that reaches the report.

struct ThrowSite {
    const void* object = nullptr;
    const void* returnAddress = nullptr;
};

constexpr int ThrowSiteCount = 16;
thread_local ThrowSite ThrowSites[ThrowSiteCount];
thread_local int NextThrowSite = 0;

// The address the object was thrown from (null when it is not among the recent throws); with a
// null object, the most recent throw.
const void* ThrowAddressOf(const void* object) {
    for (int i = 1; i <= ThrowSiteCount; ++i) {
        const ThrowSite& site = ThrowSites[(NextThrowSite - i + ThrowSiteCount) % ThrowSiteCount];
        if (site.returnAddress && (!object || site.object == object))
            return site.returnAddress;
    }
    return nullptr;
}

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

uint32_t CodeOffset(const void* address) {
    Dl_info program{};
    Dl_info found{};
    void* self = nullptr;
    const auto function = &CodeOffset;
    static_assert(sizeof self == sizeof function);
    std::memcpy(&self, &function, sizeof self);
    if (!address || dladdr(address, &found) == 0 || !found.dli_fbase)
        return 0xFFFFFFFFu;
    const uintptr_t offset =
        reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(found.dli_fbase);
    if (dladdr(self, &program) != 0 && program.dli_fbase == found.dli_fbase)
        return static_cast<uint32_t>(offset & 0x7FFFFFFFu);
    return static_cast<uint32_t>(offset & 0x7FFFFFFFu) | 0x80000000u;
}

__attribute__((noinline)) CallStack CollectCallStack(int skip) {
    KESTRO_ASSERT(skip >= 0);
    // The walk begins inside the walker (and, under a sanitizer, inside its wrapper of the walk);
    // the list begins at the return address into the function that called this one, found by
    // its value, then moves `skip` callers up.
    constexpr int MaxSkip = 60;
    constexpr int Capacity = CallStackSize + MaxSkip + 8;
    void* frames[Capacity] = {};
    const int count = backtrace(frames, Capacity);
    const void* intoCaller = __builtin_return_address(0);
    int first = 1;
    for (int i = 0; i < count && i < 8; ++i) {
        if (frames[i] == intoCaller) {
            first = i;
            break;
        }
    }
    first += skip < MaxSkip ? skip : MaxSkip;
    CallStack stack;
    int filled = 0;
    for (int i = first; i < count && filled < CallStackSize; ++i) {
        if (!frames[i])
            break;
        stack.entries[filled++] = CodeOffset(static_cast<const char*>(frames[i]) - 1);
    }
    return stack;
}

std::string FormatCallStack(const CallStack& stack) {
    std::string text;
    if (stack.entries[0] != 0)
        text = HexLong(stack.entries[0]);
    for (int i = 1; i < CallStackSize && stack.entries[i] != 0; ++i)
        text += ", " + HexLong(stack.entries[i]);
    return text;
}

ExceptionFacts DescribeException(std::exception_ptr exception) {
    ExceptionFacts facts;
    if (!exception)
        return facts;
    const void* object = nullptr;
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
    const void* raisedAt = ThrowAddressOf(object);
    if (raisedAt)
        facts.address = CodeOffset(static_cast<const char*>(raisedAt) - 1);
    return facts;
}

void RaiseTestError() {
    throw Exception("EWin32Error", "Test Error");
}

}  // namespace kestro

// The run-time's throw, replaced so that the report can say where an exception was raised.
namespace __cxxabiv1 {
extern "C" void __cxa_throw(void* object, std::type_info* type, void (*destructor)(void*)) {
    using ThrowFunction = void (*)(void*, std::type_info*, void (*)(void*));
    static const ThrowFunction realThrow = [] {
        ThrowFunction function = nullptr;
        void* symbol = dlsym(RTLD_NEXT, "__cxa_throw");
        static_assert(sizeof symbol == sizeof function);
        std::memcpy(&function, &symbol, sizeof function);
        return function;
    }();
    using kestro::NextThrowSite;
    using kestro::ThrowSiteCount;
    kestro::ThrowSites[NextThrowSite] = {object, __builtin_return_address(0)};
    NextThrowSite = (NextThrowSite + 1) % ThrowSiteCount;
    if (!realThrow)
        std::abort();
    realThrow(object, type, destructor);
    __builtin_unreachable();
}
}  // namespace __cxxabiv1
