// The session file on the state, the engine's network and the generator.
#include <utility>
#include <vector>

#include "core/units/errors.h"
#include "core/units/glowny/session.h"
#include "core/units/glowny/timeline.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"

namespace kestro {

std::unique_ptr<SessionData> CaptureSession(const KestroState& state) {
    auto data = std::make_unique<SessionData>();
    data->state = state;
    data->state.learning = false;
    data->state.stopRequested = false;
    // The networks go to timelineValues in the file's order; no entry is shown in a session.
    Timeline& timeline = data->state.timeline;
    timeline.values = {};
    timeline.now = {};
    timeline.entrySize = 0;
    timeline.shown = -1;

    // Each kept network through the engine, which alone knows its layout; then the current
    // network, and finally what the engine held (a shown entry's network) back in place.
    // SetParameters leaves the deltas and outputs, which are the current network's throughout.
    const int32_t count = ParameterCount();
    std::vector<float> held(static_cast<size_t>(count));
    CopyParameters(held.data());
    const std::vector<float> current = CurrentParameters(state);
    const size_t entries = state.timeline.entries.size();
    if (entries > 0) {
        KESTRO_ASSERT(state.timeline.entrySize == count);
        data->timelineValues.reserve(entries * static_cast<size_t>(count));
        for (size_t i = 0; i < entries; ++i) {
            SetParameters(state.timeline.Values(static_cast<int32_t>(i)));
            const NetworkValues v = TakeNetworkValues();
            for (const std::vector<float>* part :
                 {&v.bias, &v.previousBias, &v.weight, &v.previousWeight})
                data->timelineValues.insert(data->timelineValues.end(), part->begin(), part->end());
        }
    }
    SetParameters(current.data());
    data->network = TakeNetworkValues();
    SetParameters(held.data());
    KESTRO_ASSERT(data->timelineValues.size() == entries * TimelineValueCount(data->network));
    data->generator = RandomSeed();
    return data;
}

void ApplySession(const SessionData& data, KestroState& state) {
    const EditState editState = state.editState;
    state = data.state;
    state.editState = editState;
    state.learning = false;
    state.stopRequested = false;

    // The kept networks into the engine's layout: each through the engine with the session's
    // structure (and its deltas and outputs, which CopyParameters leaves out).
    PutNetworkValues(data.network);
    Timeline& timeline = state.timeline;
    timeline.shown = -1;
    timeline.now.clear();
    timeline.values.clear();
    timeline.entrySize = 0;
    const size_t entries = timeline.entries.size();
    if (entries > 0) {
        const auto count = static_cast<size_t>(ParameterCount());
        const size_t neurons = data.network.bias.size();
        const size_t weights = data.network.weight.size();
        const size_t size = TimelineValueCount(data.network);
        KESTRO_ASSERT(size == count && data.timelineValues.size() == entries * size);
        // As a run's first kept network does: the whole store at once.
        timeline.values.reserve(static_cast<size_t>(TimelineCapacity) * count);
        timeline.values.resize(entries * count);
        timeline.entrySize = static_cast<int32_t>(count);
        NetworkValues entry = data.network;
        for (size_t i = 0; i < entries; ++i) {
            const float* v = data.timelineValues.data() + i * size;
            entry.bias.assign(v, v + neurons);
            entry.previousBias.assign(v + neurons, v + 2 * neurons);
            entry.weight.assign(v + 2 * neurons, v + 2 * neurons + weights);
            entry.previousWeight.assign(v + 2 * neurons + weights, v + size);
            PutNetworkValues(entry);
            CopyParameters(timeline.values.data() + i * count);
        }
        PutNetworkValues(data.network);
    }
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
