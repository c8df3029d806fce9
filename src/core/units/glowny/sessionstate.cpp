// The session file on the state, the engine's network and the generator.
#include <utility>

#include "core/units/glowny/session.h"
#include "core/units/glowny/training.h"
#include "core/units/random.h"

namespace kestro {

std::unique_ptr<SessionData> CaptureSession(const KestroState& state) {
    auto data = std::make_unique<SessionData>();
    data->state = state;
    data->state.learning = false;
    data->state.stopRequested = false;
    data->network = TakeNetworkValues();
    data->generator = RandomSeed();
    return data;
}

void ApplySession(const SessionData& data, KestroState& state) {
    const EditState editState = state.editState;
    state = data.state;
    state.editState = editState;
    state.learning = false;
    state.stopRequested = false;
    PutNetworkValues(data.network);
    SetRandomSeed(data.generator);
}

std::string SessionBytes(const KestroState& state) {
    return SessionJson(*CaptureSession(state));
}

namespace {

// ReadSession, with the file's name (or nothing) in the message of a refusal.
FileResult ReadNamedSession(std::string_view bytes, KestroState& state, const std::string& name) {
    FileResult result;
    const std::string subject = name.empty() ? "Not" : "\"" + name + "\" is not";
    if (state.learning) {
        result.status = FileStatus::Refused;
        result.message = "A session cannot be opened while the network learns.";
        return result;
    }
    // Read aside, so that a refused file leaves everything as it was.
    auto data = std::make_unique<SessionData>();
    std::string problem;
    if (!ParseSession(bytes, *data, problem)) {
        result.status = FileStatus::Refused;
        result.message = subject + " a session this program can open (" + problem + ").";
        return result;
    }
    ApplySession(*data, state);
    result.points = state.pointSet.count;
    return result;
}

}  // namespace

FileResult ReadSession(std::string_view bytes, KestroState& state) {
    return ReadNamedSession(bytes, state, "");
}

FileResult SaveSessionFile(const std::filesystem::path& path, const KestroState& state) {
    FileResult result = WriteFileBytes(path, SessionBytes(state), "session file");
    result.points = result.status == FileStatus::Done ? state.pointSet.count : 0;
    return result;
}

FileResult LoadSessionFile(const std::filesystem::path& path, KestroState& state) {
    std::string bytes;
    FileResult result = ReadFileBytes(path, MaxSessionFileSize, "session file", bytes);
    if (result.status != FileStatus::Done)
        return result;
    return ReadNamedSession(bytes, state, path.string());
}

}  // namespace kestro
