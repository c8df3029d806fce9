#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/units/glowny/pointsfile.h"
#include "core/units/product.h"
#include "core/units/uu.h"

namespace kestro {
namespace {

namespace fs = std::filesystem;

// A fresh directory for one test, removed afterwards.
class TempDir {
  public:
    TempDir() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::temp_directory_path() / ("kestro_" + std::to_string(getpid()) + "_" +
                                             info->test_suite_name() + "_" + info->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Text as UTF-16 code units in the given byte order (ASCII and BMP only).
std::string Utf16(std::u16string_view text, bool littleEndian) {
    std::string bytes;
    for (const char16_t ch : text) {
        const char low = static_cast<char>(ch & 0xFF);
        const char high = static_cast<char>(ch >> 8);
        bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

std::string Utf8(std::u16string_view text) {
    std::string bytes;
    for (const char16_t ch : text) {
        if (ch < 0x80) {
            bytes += static_cast<char>(ch);
        } else if (ch < 0x800) {
            bytes += static_cast<char>(0xC0 | ch >> 6);
            bytes += static_cast<char>(0x80 | (ch & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | ch >> 12);
            bytes += static_cast<char>(0x80 | (ch >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (ch & 0x3F));
        }
    }
    return bytes;
}

void ExpectPoint(const PointSet& set, int i, float x, float y, int32_t classIndex) {
    ASSERT_LT(i, set.count);
    EXPECT_EQ(set.points[i].x, x) << "point " << i;
    EXPECT_EQ(set.points[i].y, y) << "point " << i;
    EXPECT_EQ(set.points[i].classIndex, classIndex) << "point " << i;
    EXPECT_TRUE(set.points[i].correct) << "point " << i;
}

TEST(PointsFileWriter, ExactBytesOfTwoPoints) {
    PointSet set;
    set.points[0] = {0.5f, -0.25f, 0, true};
    set.points[1] = {0, 1, 1, false};
    set.count = 2;
    const std::u16string base(WebSiteBase.begin(), WebSiteBase.end());
    const std::u16string text =
        u"; Kestro Neural Network 0.9 Beta\r\n"
        u"; Training data\r\n"
        u"; Inputs:\t2\r\n"
        u"; Outputs:\t1/2\r\n"
        u"; Points:\t2\r\n"
        u"; More on: " +
        base +
        u"\r\n"
        u"0.500000\t-0.250000\t1\r\n"
        u"0.000000\t1.000000\t2\r\n";
    EXPECT_EQ(PointsFileBytes(set), "\xFF\xFE" + Utf16(text, true));
    EXPECT_TRUE(base.starts_with(u"https://"));
}

TEST(PointsFileWriter, EmptySetAndNegativeZero) {
    PointSet set;
    std::string bytes = PointsFileBytes(set);
    EXPECT_NE(bytes.find(Utf16(u"; Points:\t0\r\n", true)), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 4), Utf16(u"\r\n", true));
    set.points[0] = {-0.0f, -1, 8, true};
    set.count = 1;
    bytes = PointsFileBytes(set);
    EXPECT_NE(bytes.find(Utf16(u"\r\n0.000000\t-1.000000\t9\r\n", true)), std::string::npos);
}

TEST(PointsFile, RoundTripThroughAFile) {
    TempDir dir;
    PointSet saved;
    for (int i = 0; i < MaxPoints; ++i) {
        // Coordinates of all sizes and signs, and every storable class.
        const double t = i / double(MaxPoints);
        saved.points[i] = {static_cast<float>(std::sin(7 * t) * (i % 3 == 0 ? 1 : 0.001)),
                           static_cast<float>(-std::cos(11 * t) * (i % 5 == 0 ? 250 : 1)), i % 9,
                           i % 2 == 0};
    }
    saved.count = MaxPoints;
    const fs::path path = dir / "set.points";
    const FileResult written = SavePointsFile(path, saved);
    ASSERT_EQ(written.status, FileStatus::Done) << written.message;
    PointSet loaded;
    loaded.count = 17;
    const FileResult read = LoadPointsFile(path, loaded);
    ASSERT_EQ(read.status, FileStatus::Done) << read.message;
    EXPECT_EQ(read.points, MaxPoints);
    ASSERT_EQ(loaded.count, MaxPoints);
    for (int i = 0; i < MaxPoints; ++i) {
        const SamplePoint& a = saved.points[i];
        const SamplePoint& b = loaded.points[i];
        // Six decimals: within half a millionth plus the rounding to float.
        ASSERT_NEAR(a.x, b.x, 5.1e-7 + 1e-7 * std::fabs(a.x)) << i;
        ASSERT_NEAR(a.y, b.y, 5.1e-7 + 1e-7 * std::fabs(a.y)) << i;
        ASSERT_EQ(a.classIndex, b.classIndex) << i;
        ASSERT_TRUE(b.correct);
    }
    // Values with six decimals or fewer come back exactly.
    PointSet exact;
    exact.points[0] = {0.5f, -0.25f, 0, true};
    exact.points[1] = {0.123456f, -0.999999f, 1, true};
    exact.count = 2;
    ASSERT_EQ(SavePointsFile(path, exact).status, FileStatus::Done);
    ASSERT_EQ(LoadPointsFile(path, loaded).status, FileStatus::Done);
    ASSERT_EQ(loaded.count, 2);
    ExpectPoint(loaded, 0, 0.5f, -0.25f, 0);
    ExpectPoint(loaded, 1, 0.123456f, -0.999999f, 1);
    // Saving over a longer file leaves nothing of it behind.
    EXPECT_EQ(ReadBytes(path), PointsFileBytes(exact));
}

TEST(PointsFileReader, EveryEncodingAndLineEnd) {
    const std::u16string lines[] = {u"; Kestro Neural Network 0.9 Beta",
                                    u"; Points:\t3",
                                    u"0.500000\t-0.250000\t1",
                                    u"",
                                    u"0\t1\t2",
                                    u"-1\t0.125\t2"};
    const std::u16string ends[] = {u"\r\n", u"\r", u"\n", u"\u2028"};
    for (const std::u16string& end : ends) {
        std::u16string text;
        for (const std::u16string& line : lines)
            text += line + end;
        std::vector<std::pair<std::string, std::string>> files = {
            {"UTF-16 LE", "\xFF\xFE" + Utf16(text, true)},
            {"UTF-16 BE", "\xFE\xFF" + Utf16(text, false)},
            {"UTF-8 with mark", "\xEF\xBB\xBF" + Utf8(text)},
            {"UTF-8", Utf8(text)},
            {"no end after the last line", Utf8(text.substr(0, text.size() - end.size()))},
        };
        if (end != u"\u2028")
            files.push_back({"8-bit", std::string(text.begin(), text.end())});
        for (const auto& [name, bytes] : files) {
            SCOPED_TRACE(name + " with line end " + std::to_string(int(end[0])));
            PointSet set;
            EXPECT_EQ(ParsePointsBytes(bytes, set), 3);
            ExpectPoint(set, 0, 0.5f, -0.25f, 0);
            ExpectPoint(set, 1, 0, 1, 1);
            ExpectPoint(set, 2, -1, 0.125f, 1);
        }
    }
}

TEST(PointsFileReader, LineSkipRules) {
    PointSet set;
    EXPECT_FALSE(ParsePointLine(u"0.1 0.2 1", set));    // spaces do not separate
    EXPECT_FALSE(ParsePointLine(u"0,5\t0.2\t1", set));  // comma decimal
    EXPECT_FALSE(ParsePointLine(u"0.1\t0.2", set));     // missing field
    EXPECT_FALSE(ParsePointLine(u"0.1\t \t1", set));    // empty after trimming
    EXPECT_FALSE(ParsePointLine(u"", set));
    EXPECT_FALSE(ParsePointLine(u";0.1\t0.2\t1", set));  // comment
    EXPECT_FALSE(ParsePointLine(u"0.1\t0.2\t1x", set));
    EXPECT_FALSE(ParsePointLine(u"0.1\t0.2\tinfinity", set));
    EXPECT_FALSE(ParsePointLine(u"0.1\t0.2\t1e", set));
    EXPECT_FALSE(ParsePointLine(u"0.1\t0.2\t--1", set));
    EXPECT_FALSE(ParsePointLine(u"0.1\t0.2\t1.5.", set));
    EXPECT_FALSE(ParsePointLine(u"\uFF10.1\t0.2\t1", set));  // full-width digit
    EXPECT_FALSE(ParsePointLine(u"1e39\t0.2\t1", set));      // beyond float
    EXPECT_FALSE(ParsePointLine(u"0.1\t-1e999\t1", set));    // beyond double
    EXPECT_FALSE(ParsePointLine(u"0.1\t0.2\t-8.6", set));    // negative index
    EXPECT_FALSE(ParsePointLine(u"0.1\t0.2\t9.3e18", set));  // beyond 64-bit integers
    EXPECT_EQ(set.count, 0);

    EXPECT_TRUE(ParsePointLine(u" 0.1 \t\u00A00.2\x01\t1\tanything\there", set));
    ExpectPoint(set, 0, 0.1f, 0.2f, 0);
    EXPECT_TRUE(ParsePointLine(u"3\t-7.5E-1\t+2", set));  // outside the square is kept
    ExpectPoint(set, 1, 3, -0.75f, 1);
    // Class rule: (c + 8, rounded half to even) mod 9.
    const std::pair<const char16_t*, int32_t> classes[] = {
        {u"1", 0},   {u"2", 1},    {u"0", 8},      {u"9", 8},    {u"10", 0},
        {u"1.5", 1}, {u"2.5", 1},  {u"3", 2},      {u"-8.5", 0}, {u"-6.6", 1},
        {u"18", 8},  {u"1e18", 0}, {u"9.2e18", 1}, {u"0.49", 8}, {u"1.0e0", 0}};
    for (const auto& [field, expected] : classes) {
        PointSet one;
        ASSERT_TRUE(ParsePointLine(u"0\t0\t" + std::u16string(field), one)) << expected;
        EXPECT_EQ(one.points[0].classIndex, expected) << int(field[0]);
    }
}

TEST(PointsFileReader, KeepsTheFirst2000Points) {
    std::string text;
    for (int i = 0; i < 2500; ++i)
        text += "0." + std::to_string(1000 + i) + "\t" + (i % 7 == 0 ? "bad" : "0") + "\t1\r\n";
    PointSet set;
    EXPECT_EQ(ParsePointsBytes(text, set), 2000);
    // Lines with "bad" are skipped, so the 2000th accepted point comes from a later line.
    int line = 0;
    for (int i = 0; i < 2000; ++i, ++line) {
        while (line % 7 == 0)
            ++line;
        ASSERT_EQ(set.points[i].x,
                  std::strtof(("0." + std::to_string(1000 + line)).c_str(), nullptr));
    }
    EXPECT_FALSE(ParsePointLine(u"0\t0\t1", set));
    EXPECT_EQ(set.count, 2000);
}

TEST(PointsFileReader, PiecesDoNotChangeTheResult) {
    const std::string inputs[] = {
        "\xFF\xFE" + Utf16(u"0.5\t0.25\t2\r\n-1\t1\t1\r\n\u20280.75\t0\t1", true),
        "\xFE\xFF" + Utf16(u"0.5\t0.25\t2\r\n-1\t1\t1\r\n\u20280.75\t0\t1", false),
        "\xEF\xBB\xBF" + Utf8(u"\u00A00.5\t0.25\t2\r\n-1\t1\t1\u20280.75\t0\t1"),
        "\xA0"
        "0.5\t0.25\t2\r\n-1\t1\t1\xE2\x80\xA8"
        "0.75\t0\t1\x80\x9F",  // C1 controls, trimmed
    };
    for (const std::string& bytes : inputs) {
        PointSet whole;
        ASSERT_EQ(ParsePointsBytes(bytes, whole), 3);
        for (size_t split = 0; split <= bytes.size(); ++split) {
            for (size_t second = split; second <= bytes.size(); ++second) {
                PointSet pieces;
                PointsReader reader(pieces);
                reader.Feed(std::string_view(bytes).substr(0, split));
                reader.Feed(std::string_view(bytes).substr(split, second - split));
                reader.Feed(std::string_view(bytes).substr(second));
                reader.Finish();
                ASSERT_EQ(pieces.count, 3) << split << " " << second;
                for (int i = 0; i < 3; ++i) {
                    ASSERT_EQ(pieces.points[i].x, whole.points[i].x);
                    ASSERT_EQ(pieces.points[i].y, whole.points[i].y);
                    ASSERT_EQ(pieces.points[i].classIndex, whole.points[i].classIndex);
                }
            }
        }
    }
}

TEST(PointsFileReader, HugeLinesAndFiles) {
    // A valid line followed by ten million characters of junk after its third TAB loads.
    std::string line = "0.5\t0.5\t2\t" + std::string(10'000'000, 'x') + "\n";
    PointSet set;
    EXPECT_EQ(ParsePointsBytes(line, set), 1);
    // Ten million characters without a TAB: skipped unread, the next line still loads.
    line = std::string(10'000'000, '7') + "\r0.25\t0\t1";
    EXPECT_EQ(ParsePointsBytes(line, set), 1);
    ExpectPoint(set, 0, 0.25f, 0, 0);
    // Padding that would make a valid line longer than the limit is not read.
    line = std::string(MaxPointLineLength, ' ') + "0.25\t0\t1";
    EXPECT_EQ(ParsePointsBytes(line, set), 0);
    line = std::string(MaxPointLineLength - 8, ' ') + "0.25\t0\t1";
    EXPECT_EQ(ParsePointsBytes(line, set), 1);
}

TEST(PointsFileLoad, HundredMegabyteFile) {
    TempDir dir;
    const fs::path path = dir / "big.points";
    {
        std::ofstream out(path, std::ios::binary);
        const std::string junk(1 << 20, ';');
        std::string block;
        for (int i = 0; i < 16; ++i)
            block += junk.substr(0, 65535) + "\n";
        for (int i = 0; i < 100; ++i)
            out << block;
        out << "0.5\t0.5\t2";  // the very last line counts
    }
    ASSERT_GT(fs::file_size(path), 100'000'000u);
    PointSet set;
    const FileResult result = LoadPointsFile(path, set);
    ASSERT_EQ(result.status, FileStatus::Done);
    ASSERT_EQ(set.count, 1);
    ExpectPoint(set, 0, 0.5f, 0.5f, 1);
}

TEST(PointsFileLoad, MissingFilesDirectoriesAndDevicesLeaveTheSetAlone) {
    TempDir dir;
    PointSet set;
    set.count = 3;
    for (const fs::path& path : {dir / "missing.points", dir.path(), fs::path("/dev/zero"),
                                 fs::path("/dev/null"), fs::path("")}) {
        const FileResult result = LoadPointsFile(path, set);
        EXPECT_EQ(result.status, FileStatus::NotAFile) << path;
        EXPECT_EQ(set.count, 3) << path;
    }
}

TEST(PointsFileLoad, AReadErrorKeepsTheSetAndSaysWhy) {
    // Reading this process's memory from address 0 fails after a successful open.
    PointSet set;
    set.count = 3;
    const FileResult result = LoadPointsFile("/proc/self/mem", set);
    ASSERT_EQ(result.status, FileStatus::Failed);
    EXPECT_EQ(set.count, 3);
    EXPECT_NE(result.message.find("/proc/self/mem"), std::string::npos) << result.message;
}

TEST(PointsFileLoad, AFileThatMayNotBeReadIsAnError) {
    TempDir dir;
    fs::path path = dir / "secret.points";
    WriteBytes(path, "0.5\t0.5\t1\n");
    fs::permissions(path, fs::perms::none);
    // With rights that ignore file permissions, a write-only kernel setting still refuses reads.
    if (std::ifstream(path).good())
        path = "/proc/sys/vm/drop_caches";
    if (!fs::is_regular_file(path) || std::ifstream(path).good())
        GTEST_SKIP() << "no file here that may not be read";
    PointSet set;
    set.count = 3;
    const FileResult result = LoadPointsFile(path, set);
    EXPECT_EQ(result.status, FileStatus::Failed);
    EXPECT_EQ(set.count, 3);
    EXPECT_NE(result.message.find(path.string()), std::string::npos) << result.message;
}

TEST(PointsFileSave, FailuresAreReportedAndKeepTheOldFile) {
    TempDir dir;
    PointSet set;
    set.points[0] = {0.5f, 0.5f, 0, true};
    set.count = 1;
    FileResult result = SavePointsFile(dir / "no such folder" / "a.points", set);
    EXPECT_EQ(result.status, FileStatus::Failed);
    EXPECT_NE(result.message.find("no such folder"), std::string::npos) << result.message;
    result = SavePointsFile(dir.path(), set);
    EXPECT_EQ(result.status, FileStatus::Failed);
    EXPECT_TRUE(fs::is_directory(dir.path()));
    // A name that is not valid UTF-8 is refused rather than written under another name.
    const fs::path odd = dir / "caf\xE9.points";
    result = SavePointsFile(odd, set);
    EXPECT_EQ(result.status, FileStatus::Failed);
    EXPECT_NE(result.message.find("caf\xEF\xBF\xBD.points"), std::string::npos) << result.message;
    WriteBytes(odd, "0.5\t0.5\t1\n");
    PointSet loaded;
    loaded.count = 1;
    EXPECT_EQ(LoadPointsFile(odd, loaded).status, FileStatus::Failed);
    EXPECT_EQ(loaded.count, 1);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

// Every file of the corpus loads without failure and gives valid points; where NAME.expected
// exists, exactly the points listed there ("x y classIndex" per line).
TEST(PointsFileCorpus, EveryFileLoadsAsExpected) {
    const fs::path corpus = KESTRO_POINTS_CORPUS;
    int files = 0;
    int withExpectations = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const fs::path path = entry.path();
        if (path.extension() == ".expected" || path.extension() == ".py")
            continue;
        SCOPED_TRACE(path.filename().string());
        ++files;
        PointSet set;
        const FileResult result = LoadPointsFile(path, set);
        // A file that gives no point from lines that are not blank or comments (garbage, a
        // stray partial byte-order mark) is refused and leaves the empty set empty.
        ASSERT_TRUE(result.status == FileStatus::Done ||
                    (result.status == FileStatus::Refused && set.count == 0))
            << result.message;
        ASSERT_LE(set.count, MaxPoints);
        for (int i = 0; i < set.count; ++i) {
            ASSERT_TRUE(set.points[i].classIndex >= 0 && set.points[i].classIndex <= 8);
            ASSERT_TRUE(std::isfinite(set.points[i].x) && std::isfinite(set.points[i].y));
        }
        // Byte by byte gives the same.
        const std::string bytes = ReadBytes(path);
        PointSet pieces;
        PointsReader reader(pieces);
        for (const char ch : bytes)
            reader.Feed(std::string_view(&ch, 1));
        reader.Finish();
        ASSERT_EQ(pieces.count, set.count);
        for (int i = 0; i < set.count; ++i) {
            ASSERT_EQ(pieces.points[i].x, set.points[i].x);
            ASSERT_EQ(pieces.points[i].classIndex, set.points[i].classIndex);
        }

        fs::path expectedPath = path;
        expectedPath += ".expected";
        if (!fs::exists(expectedPath))
            continue;
        ++withExpectations;
        std::ifstream expected(expectedPath);
        std::string x, y;
        int32_t classIndex = 0;
        int i = 0;
        while (expected >> x >> y >> classIndex) {
            ExpectPoint(set, i, std::strtof(x.c_str(), nullptr), std::strtof(y.c_str(), nullptr),
                        classIndex);
            ++i;
        }
        EXPECT_EQ(set.count, i);
    }
    EXPECT_GE(files, 20);
    EXPECT_GE(withExpectations, 15);
}

// A file that is not a points file is refused and the set kept; a file with some points loads
// them and says how many lines it skipped; comments and blank lines alone give an empty set.
TEST(PointsFileLoad, RefusesFilesWithoutPointsAndCountsSkippedLines) {
    TempDir dir;
    PointSet set;
    set.points[0] = {0.5f, 0.5f, 0, true};
    set.count = 1;

    const fs::path csv = dir / "export.csv";
    WriteBytes(csv, "0.5,0.2,1\n0.1,0.3,2\n");
    FileResult result = LoadPointsFile(csv, set);
    EXPECT_EQ(result.status, FileStatus::Refused);
    EXPECT_EQ(result.skippedLines, 2);
    EXPECT_EQ(set.count, 1);
    EXPECT_NE(result.message.find("export.csv"), std::string::npos) << result.message;

    const fs::path mixed = dir / "mixed.points";
    WriteBytes(mixed,
               "; header\n\n  \t \n0.25\t0.5\t1\nnot a point\n-0.5\t0.5\t2\n;tail\nx\ty\tz\n");
    result = LoadPointsFile(mixed, set);
    EXPECT_EQ(result.status, FileStatus::Done);
    EXPECT_EQ(result.points, 2);
    EXPECT_EQ(result.skippedLines, 2);
    EXPECT_EQ(set.count, 2);

    // What Save writes for an empty set reads back as an empty set.
    const fs::path empty = dir / "empty.points";
    PointSet none;
    ASSERT_EQ(SavePointsFile(empty, none).status, FileStatus::Done);
    result = LoadPointsFile(empty, set);
    EXPECT_EQ(result.status, FileStatus::Done);
    EXPECT_EQ(result.skippedLines, 0);
    EXPECT_EQ(set.count, 0);
}

}  // namespace
}  // namespace kestro
