#include "core/units/glowny/pointsfile.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

#include "core/units/product.h"
#include "core/units/uu.h"

namespace kestro {

namespace {

constexpr char16_t Tab = u'\t';
constexpr char16_t LineSeparator = 0x2028;

// Appends text as UTF-16 little-endian bytes, then CR LF.
void AppendLine(std::string& bytes, const QString& text) {
    for (const QChar ch : text + QStringLiteral("\r\n")) {
        bytes.push_back(static_cast<char>(ch.unicode() & 0xFF));
        bytes.push_back(static_cast<char>(ch.unicode() >> 8));
    }
}

// Strict conversion of a whole field: [sign] (digits [. digits] | . digits) [e [sign] digits],
// with a point as separator whatever the locale. False also when the value does not fit a
// double (overflow or underflow).
bool ToNumber(std::u16string_view field, double& value) {
    std::string text;
    text.reserve(field.size());
    for (const char16_t ch : field) {
        if (ch >= 128)
            return false;
        text.push_back(static_cast<char>(ch));
    }
    size_t i = 0;
    const auto digits = [&text, &i] {
        const size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const size_t mantissaStart = i;
    size_t mantissaDigits = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    if (i != text.size())
        return false;
    // from_chars takes no plus sign; the sign is applied afterwards.
    const char* first = text.data() + mantissaStart;
    const char* last = text.data() + text.size();
    double magnitude = 0;
    const auto result = std::from_chars(first, last, magnitude, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != last)
        return false;
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace

std::string PointsFileBytes(const PointSet& set) {
    std::string bytes = "\xFF\xFE";
    AppendLine(bytes, QStringLiteral("; ") +
                          QString::fromUtf8(ProductTitle.data(),
                                            static_cast<qsizetype>(ProductTitle.size())));
    AppendLine(bytes, QStringLiteral("; Training data"));
    AppendLine(bytes, QStringLiteral("; Inputs:\t2"));
    AppendLine(bytes, QStringLiteral("; Outputs:\t1/2"));
    AppendLine(bytes, QStringLiteral("; Points:\t") + QString::number(set.count));
    AppendLine(bytes, QStringLiteral("; More on: ") +
                          QString::fromUtf8(WebSiteBase.data(),
                                            static_cast<qsizetype>(WebSiteBase.size())));
    for (int32_t i = 0; i < set.count; ++i) {
        const SamplePoint& point = set.points[i];
        const std::string line = FormatFixed(6, 0, point.x) + '\t' + FormatFixed(6, 0, point.y) +
                                 '\t' + std::to_string(static_cast<int64_t>(point.classIndex) + 1);
        AppendLine(bytes, QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
    }
    return bytes;
}

bool ParsePointLine(std::u16string_view line, PointSet& set) {
    if (set.count >= MaxPoints || line.empty() || line.front() == u';')
        return false;
    double values[3];
    for (int n = 0; n < 3; ++n) {
        const std::u16string field = ExtractField(n, line, Tab, true);
        if (field.empty() || !ToNumber(field, values[n]))
            return false;
    }
    // Coordinates are kept as they are, but must fit a float.
    constexpr double FloatMax = std::numeric_limits<float>::max();
    if (std::fabs(values[0]) > FloatMax || std::fabs(values[1]) > FloatMax)
        return false;
    // classIndex = (c + 8, rounded half to even) mod 9, exactly: adding the even 8 after the
    // rounding gives the same integer without losing digits of a large c. A value that would
    // give a negative index or does not fit a 64-bit integer is skipped.
    const double rounded = std::nearbyint(values[2]);
    if (!(rounded >= -8 && rounded < 9223372036854775808.0))
        return false;
    const auto classIndex = static_cast<int32_t>((static_cast<int64_t>(rounded) + 8) % 9);
    set.points[set.count] =
        SamplePoint{static_cast<float>(values[0]), static_cast<float>(values[1]), classIndex, true};
    ++set.count;
    return true;
}

PointsReader::PointsReader(PointSet& set) : set_(set) {
    set_.count = 0;
}

bool PointsReader::Full() const {
    return set_.count >= MaxPoints;
}

namespace {

// True when text may be the start of a byte-order mark.
bool MayStartMark(std::string_view text) {
    return std::string_view("\xFF\xFE").starts_with(text) ||
           std::string_view("\xFE\xFF").starts_with(text) ||
           std::string_view("\xEF\xBB\xBF").starts_with(text);
}

}  // namespace

void PointsReader::Feed(std::string_view bytes) {
    if (encoding_ != Encoding::Unknown) {
        TakeBytes(bytes);
        return;
    }
    head_.append(bytes);
    if (head_.size() < 3 && MayStartMark(head_))
        return;  // a mark may still be coming
    Decide();
}

void PointsReader::Decide() {
    std::string held;
    held.swap(head_);
    const std::string_view head = held;
    size_t markLength = 0;
    if (head.substr(0, 2) == "\xFF\xFE") {
        encoding_ = Encoding::Utf16Le;
        markLength = 2;
    } else if (head.substr(0, 2) == "\xFE\xFF") {
        encoding_ = Encoding::Utf16Be;
        markLength = 2;
    } else {
        encoding_ = Encoding::Utf8;
        if (head.substr(0, 3) == "\xEF\xBB\xBF")
            markLength = 3;
    }
    TakeBytes(head.substr(markLength));
}

void PointsReader::Finish() {
    if (encoding_ == Encoding::Unknown)
        Decide();
    oddByte_ = -1;
    FlushUtf8AsLatin1();
    EndLine();
}

void PointsReader::TakeBytes(std::string_view bytes) {
    if (Full())
        return;
    if (encoding_ == Encoding::Utf8) {
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (ignoreRest_ && utf8Count_ == 0) {
                // Skip to the next byte that may end the line: CR, LF or the lead byte of
                // U+2028 (E2 is never a continuation byte, so no sequence is cut).
                while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n' &&
                       bytes[i] != '\xE2')
                    ++i;
                if (i == bytes.size())
                    break;
            }
            TakeUtf8Byte(static_cast<unsigned char>(bytes[i]));
        }
        return;
    }
    const bool littleEndian = encoding_ == Encoding::Utf16Le;
    for (const char ch : bytes) {
        const int byte = static_cast<unsigned char>(ch);
        if (oddByte_ < 0) {
            oddByte_ = byte;
            continue;
        }
        const int low = littleEndian ? oddByte_ : byte;
        const int high = littleEndian ? byte : oddByte_;
        oddByte_ = -1;
        TakeUnit(static_cast<char16_t>(high << 8 | low));
    }
}

void PointsReader::TakeUtf8Byte(unsigned char byte) {
    if (utf8Count_ > 0) {
        // Continuation bytes are 80..BF; the second byte is narrower after E0, ED, F0 and F4 so
        // that overlong forms, surrogates and values above U+10FFFF are not valid.
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (utf8Count_ == 1) {
            switch (utf8Bytes_[0]) {
                case 0xE0:
                    low = 0xA0;
                    break;
                case 0xED:
                    high = 0x9F;
                    break;
                case 0xF0:
                    low = 0x90;
                    break;
                case 0xF4:
                    high = 0x8F;
                    break;
                default:
                    break;
            }
        }
        if (byte >= low && byte <= high) {
            utf8Bytes_[utf8Count_++] = byte;
            if (utf8Count_ < utf8Length_)
                return;
            char32_t code = utf8Bytes_[0] & (0x7F >> utf8Length_);
            for (int k = 1; k < utf8Length_; ++k)
                code = code << 6 | (utf8Bytes_[k] & 0x3F);
            utf8Count_ = 0;
            if (code >= 0x10000) {
                code -= 0x10000;
                TakeUnit(static_cast<char16_t>(0xD800 + (code >> 10)));
                TakeUnit(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
            } else {
                TakeUnit(static_cast<char16_t>(code));
            }
            return;
        }
        // Not a valid sequence: its bytes count as Latin-1, and this byte starts afresh.
        FlushUtf8AsLatin1();
    }
    int length = 0;
    if (byte >= 0xC2 && byte <= 0xDF)
        length = 2;
    else if (byte >= 0xE0 && byte <= 0xEF)
        length = 3;
    else if (byte >= 0xF0 && byte <= 0xF4)
        length = 4;
    if (length == 0) {
        TakeUnit(byte);  // ASCII, or a byte that cannot start a sequence: Latin-1
        return;
    }
    utf8Bytes_[0] = byte;
    utf8Count_ = 1;
    utf8Length_ = length;
}

void PointsReader::FlushUtf8AsLatin1() {
    const int count = utf8Count_;
    utf8Count_ = 0;
    for (int k = 0; k < count; ++k)
        TakeUnit(utf8Bytes_[k]);
}

void PointsReader::TakeUnit(char16_t unit) {
    if (unit == u'\r' || unit == u'\n' || unit == LineSeparator) {
        EndLine();
        return;
    }
    // Nothing after a comment's semicolon or a line's third TAB can change its point.
    if (ignoreRest_)
        return;
    if (static_cast<int64_t>(line_.size()) >= MaxPointLineLength) {
        overlong_ = true;
        ignoreRest_ = true;
        line_ = std::u16string();
        return;
    }
    line_.push_back(unit);
    if ((unit == u';' && line_.size() == 1) || (unit == Tab && ++tabs_ == 3))
        ignoreRest_ = true;
}

namespace {

// A line of nothing but blanks and control characters (an empty line between CR and LF too).
bool BlankLine(std::u16string_view line) {
    for (char16_t unit : line)
        if (unit > u' ')
            return false;
    return true;
}

}  // namespace

void PointsReader::EndLine() {
    // An empty line between CR and LF is skipped like any empty line, so CR LF needs no pairing.
    if (!Full()) {
        const bool read = !overlong_ && ParsePointLine(line_, set_);
        if (!read && (overlong_ || (!BlankLine(line_) && line_.front() != u';')))
            ++skipped_;
    }
    line_.clear();
    tabs_ = 0;
    overlong_ = false;
    ignoreRest_ = false;
}

int32_t ParsePointsBytes(std::string_view bytes, PointSet& set) {
    PointsReader reader(set);
    reader.Feed(bytes);
    reader.Finish();
    return set.count;
}

FileResult LoadPointsFile(const std::filesystem::path& path, PointSet& set) {
    // Read as a stream, whatever its length: the reader stops once the set is full.
    QString name;
    FileResult result = FileToRead(path, name);
    if (result.status != FileStatus::Done)
        return result;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = FileStatus::Failed;
        result.message = "Cannot open the points file \"" + name.toStdString() +
                         "\" for reading: " + file.errorString().toStdString();
        return result;
    }
    // Read aside, so that a failed or refused load keeps the set as it was.
    auto loaded = std::make_unique<PointSet>();
    PointsReader reader(*loaded);
    std::string buffer(1 << 20, '\0');
    while (!reader.Full()) {
        const qint64 got = file.read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (got < 0) {
            result.status = FileStatus::Failed;
            result.message = "Cannot read the points file \"" + name.toStdString() +
                             "\": " + file.errorString().toStdString();
            return result;
        }
        if (got == 0)
            break;
        reader.Feed(std::string_view(buffer.data(), static_cast<size_t>(got)));
    }
    reader.Finish();
    result.skippedLines = reader.SkippedLines();
    if (loaded->count == 0 && result.skippedLines > 0) {
        result.status = FileStatus::Refused;
        result.message = "No points could be read from \"" + name.toStdString() +
                         "\": it is not a points file. The current points are kept.";
        return result;
    }
    set.count = loaded->count;
    std::copy(loaded->points, loaded->points + loaded->count, set.points);
    result.points = set.count;
    return result;
}

FileResult SavePointsFile(const std::filesystem::path& path, const PointSet& set) {
    FileResult result = WriteFileBytes(path, PointsFileBytes(set), "points file");
    result.points = result.status == FileStatus::Done ? set.count : 0;
    return result;
}

}  // namespace kestro
