// The points file: a UTF-16 text of six comment lines and one "x TAB y TAB class" line per point,
// and its tolerant reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/units/glowny/filebytes.h"
#include "core/units/glowny/points.h"

namespace kestro {

// Lines longer than this (in UTF-16 code units, up to the third TAB) are skipped unread, so that
// a huge line cannot exhaust memory.
constexpr int64_t MaxPointLineLength = 1 << 20;

// The exact bytes of a points file for the set: BOM FF FE, UTF-16 LE, CR LF after every line.
std::string PointsFileBytes(const PointSet& set);

// Appends the point of one line when the set has room and the line is a valid data line (three
// TAB-separated numbers; comments, empty and malformed lines are skipped). Returns whether a
// point was appended.
bool ParsePointLine(std::u16string_view line, PointSet& set);

// Reads a points file's bytes piece by piece into a set: detects the encoding by its byte-order
// mark (FF FE UTF-16 LE, FE FF UTF-16 BE, EF BB BF UTF-8; without one, UTF-8 too), reads every
// byte that is not part of a valid UTF-8 sequence as Latin-1 (so 8-bit files load as well), splits
// lines at CR, LF and U+2028 and hands each line to ParsePointLine. An odd last byte of a UTF-16
// file is ignored. The result does not depend on how the bytes are split into pieces.
class PointsReader {
  public:
    // Empties the set; points are appended as lines complete.
    explicit PointsReader(PointSet& set);
    // Takes the next piece of the file.
    void Feed(std::string_view bytes);
    // Ends the file: the last line counts even without a line end.
    void Finish();
    // True when the set is full, so that the rest of the file cannot change it.
    bool Full() const;
    // Lines read so far that are neither blank nor comments and gave no point (lines past a
    // full set are not counted).
    int64_t SkippedLines() const { return skipped_; }

  private:
    void Decide();
    void TakeBytes(std::string_view bytes);
    void TakeUtf8Byte(unsigned char byte);
    void FlushUtf8AsLatin1();
    void TakeUnit(char16_t unit);
    void EndLine();

    enum class Encoding { Unknown, Utf16Le, Utf16Be, Utf8 };
    PointSet& set_;
    Encoding encoding_ = Encoding::Unknown;
    std::string head_;                 // bytes held until the byte-order mark is known
    int oddByte_ = -1;                 // UTF-16: first byte of a unit split between pieces
    unsigned char utf8Bytes_[4] = {};  // UTF-8: bytes of an unfinished sequence
    int utf8Count_ = 0;
    int utf8Length_ = 0;
    std::u16string line_;      // the current line, up to its third TAB or a leading semicolon
    int tabs_ = 0;             // TABs in line_
    bool overlong_ = false;    // the current line passed MaxPointLineLength
    bool ignoreRest_ = false;  // nothing more of the current line matters
    int64_t skipped_ = 0;
};

// Empties the set and reads a whole points file's bytes into it; returns the number of points.
int32_t ParsePointsBytes(std::string_view bytes, PointSet& set);

// Loads a points file into the set. The set changes only when the load is Done: a path that is
// not an existing regular file (NotAFile), a file that cannot be opened or read, a name that is
// not valid in the system's encoding (Failed), and a file whose lines give no point although some
// are neither blank nor comments (Refused) all leave it as it was. A file of comments and blank
// lines only loads as an empty set, so that a saved empty set reads back.
[[nodiscard]] FileResult LoadPointsFile(const std::filesystem::path& path, PointSet& set);

// Writes the set to a points file, replacing any existing file; a failed write leaves an
// existing file unchanged.
[[nodiscard]] FileResult SavePointsFile(const std::filesystem::path& path, const PointSet& set);

}  // namespace kestro
