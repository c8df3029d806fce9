// Whole files in and out for the core's file formats: a name checked against the system's
// encoding, a read bounded in size, a write that replaces an old file only once it is complete.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

class QString;

namespace kestro {

// The outcome of a load or a save.
enum class FileStatus {
    Done,      // the file was read or written
    NotAFile,  // load only: no such file, or a directory or device; nothing was changed
    Failed,    // the file could not be read or written; see message; nothing was changed
    Refused,   // load only: the file is not of the kind asked for (see message); nothing changed
};
struct FileResult {
    FileStatus status = FileStatus::Done;
    std::string message;       // for Failed and Refused: what went wrong, for the user (UTF-8)
    int32_t points = 0;        // load: points read
    int64_t skippedLines = 0;  // load: lines that were neither blank, comments nor points
};

// The file name as Qt spells it; false when Qt cannot spell it (bytes that are not valid in the
// system's encoding), so that no other file is touched instead.
bool QtFileName(const std::filesystem::path& path, QString& name);

// The message for a name QtFileName cannot spell (valid UTF-8, with replacement characters).
std::string UnspellableFileName(const std::filesystem::path& path);

// The name of a file to read: Failed (with the message) when the name cannot be spelt, NotAFile
// when it is not an existing regular file, else Done with name set.
[[nodiscard]] FileResult FileToRead(const std::filesystem::path& path, QString& name);

// Reads a whole file into bytes. `what` names the kind of file in messages ("session file").
// NotAFile: the path is not an existing regular file. Failed: the name cannot be spelt, or the
// file cannot be opened or read. Refused: the file is larger than maxBytes. bytes is changed
// only when the read is Done.
[[nodiscard]] FileResult ReadFileBytes(const std::filesystem::path& path, int64_t maxBytes,
                                       std::string_view what, std::string& bytes);

// Whether a file can be written at path: Done, or Failed with the reason as the system gives it
// ("Permission denied") in message. Leaves nothing changed: an existing file is opened for
// writing without being cut, and a missing one is created and removed again.
[[nodiscard]] FileResult CheckFileWritable(const std::filesystem::path& path);

// Writes the bytes as the whole file, replacing any existing file; a failed write leaves an
// existing file unchanged. `what` names the kind of file in the message of a failure.
[[nodiscard]] FileResult WriteFileBytes(const std::filesystem::path& path, std::string_view bytes,
                                        std::string_view what);

}  // namespace kestro
