// The session file: the whole experiment as versioned JSON. It holds the points with their
// flags, the verify set, the shape, the generation options, the network with every value, what
// Restart puts back (the network's values, the generator's state and the points' flags), the
// learning parameters and controls, the learn mode, the draw period, the order array, the
// counters (with a pending Continue From Here's run state), the four error histories, the view
// settings, the generator's state and the timeline with what each entry's run needs to go on.
// Opening a session and starting a run gives, bit for bit, what starting that run without saving
// and opening would have given, and picking a kept epoch shows the very network that epoch's
// checkpoint kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/units/glowny/filebytes.h"
#include "core/units/glowny/state.h"

namespace kestro {

// The format's name and version, the values of the keys "format" and "version".
inline constexpr std::string_view SessionFormatName = "kestro-session";
constexpr int SessionFormatVersion = 1;

// Larger files are refused without being read.
constexpr int64_t MaxSessionFileSize = int64_t{64} << 20;

// What a session file holds: the state's fields it covers (the editing state, learning and
// stopRequested are not among them), the engine's network and the generator's state. Large:
// allocate it.
struct SessionData {
    // Its timeline holds the entries, their order arrays and the step, but no values: no entry
    // is shown and the networks are in timelineValues.
    KestroState state;
    NetworkValues network;
    uint32_t generator = 0;
    // The timeline's networks as the file holds them, independent of the engine's layout: entry
    // after entry, each its bias, previousBias, weight and previousWeight in the order of
    // NetworkValues, TimelineValueCount(network) floats an entry.
    std::vector<float> timelineValues;
};

// The floats of one timeline entry in SessionData::timelineValues for a network of these values'
// structure: twice its neurons and twice its weights.
size_t TimelineValueCount(const NetworkValues& network);

// --- The format (no engine, no state: what the fuzz target exercises) ---

// The session's JSON text. Floats are written as JSON numbers that read back as the same float;
// a negative zero and values that are not finite as the strings "-0", "NaN", "Infinity" and
// "-Infinity"; the timeline's networks, which are many, as base64 strings of little-endian
// IEEE single-precision bytes. Requires a structure of the list that both networks and the
// timeline's values fit (assertions), so that no file is written that could not be opened.
std::string SessionJson(const SessionData& data);

// Reads a session's JSON text into data. False, with a message that names the problem, for
// text that is not JSON or is cut short, another format or version, a structure that is not
// offered or that the network's values do not fit, a missing key, a value out of range (counters
// above 2^53 included, which a run could push past their 64 bits), and a timeline that could not
// have been kept (its step not a power of two, too many entries, epochs not ascending or off the
// step, counters out of range, networks that do not fit, orders that are not permutations); data
// is then partly written. Keys added since the first files are optional: a file without a
// timeline gives an empty one, entries without their run state continue as a new run, and
// without the restart key Restart leaves the generator and the flags as they are.
[[nodiscard]] bool ParseSession(std::string_view bytes, SessionData& data, std::string& message);

// --- On the state and the engine ---

// The session of the state, the engine's network and the generator. While a timeline entry is
// shown, the session holds the current network (not the shown one) and no entry shown; the
// engine still shows the entry afterwards.
std::unique_ptr<SessionData> CaptureSession(const KestroState& state);

// Makes the state, the engine's network and the generator exactly as the session holds them,
// with no timeline entry shown; the state's editing state stays, learning and stopRequested
// become false. The caller then refreshes what shows the state.
void ApplySession(const SessionData& data, KestroState& state);

// SessionJson of CaptureSession.
std::string SessionBytes(const KestroState& state);

// Reads a session's bytes into the state (ParseSession, then ApplySession). Refused, with the
// message, for bytes ParseSession refuses and while a run is in progress; the state, the
// network and the generator are then untouched.
[[nodiscard]] FileResult ReadSession(std::string_view bytes, KestroState& state);

// Writes the state's session to a file, replacing any existing file; a failed write leaves an
// existing file unchanged.
[[nodiscard]] FileResult SaveSessionFile(const std::filesystem::path& path,
                                         const KestroState& state);

// Opens a session file into the state: NotAFile, Failed (cannot be read), Refused (larger
// than MaxSessionFileSize, or refused by ReadSession) all leave everything untouched.
[[nodiscard]] FileResult LoadSessionFile(const std::filesystem::path& path, KestroState& state);

}  // namespace kestro
