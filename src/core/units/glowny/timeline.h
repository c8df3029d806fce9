// The network's timeline: the network of every checkpoint since the last reset, thinned by
// halving as the error histories are, so that any run length fits in a bounded store. The window
// shows a kept network in place of the current one and can continue training from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestro {

// At most this many networks are kept. When a checkpoint finds the store full, the step doubles
// and only the networks of epochs that are multiples of the new step stay: 1000 networks of
// 2:100:2 with their previous values take about 4 MB.
constexpr int32_t TimelineCapacity = 1000;

// The wrong answers per class and the class sizes at one measurement.
struct ClassErrors {
    int32_t wrong[2] = {};
    int32_t total[2] = {};
    int32_t Wrong() const { return wrong[0] + wrong[1]; }
};

// What a checkpoint measured, with the counters and the generator that continuing needs.
struct TimelineEntry {
    int64_t epoch = 0;              // epochCount at the checkpoint
    int64_t presentationCount = 0;  // presentations since the last reset
    int64_t historyCount = 0;       // values in each error history after the checkpoint
    int64_t historyStep = 1;        // ... and their step
    float ni = 0;
    float classificationError = 0;
    float meanSquaredError = 0;
    float verifyError = 0;
    ClassErrors classErrors;
    uint32_t generator = 0;  // the random generator's state
};

struct Timeline {
    std::vector<TimelineEntry> entries;  // by ascending epoch
    // Entry i's network, ParameterCount() floats in the engine's layout at offset i * entrySize.
    std::vector<float> values;
    int32_t entrySize = 0;
    // Only checkpoints whose epoch is a multiple of step are kept; a power of two.
    int64_t step = 1;
    // The entry whose network the engine holds in place of the current one, -1 for none; the
    // current network's values are then kept in now.
    int32_t shown = -1;
    std::vector<float> now;

    const float* Values(int32_t i) const {
        return values.data() + static_cast<size_t>(i) * static_cast<size_t>(entrySize);
    }
};

// Empties the timeline (step 1). The engine must not hold a shown entry (ReturnToNow first).
void ClearTimeline(Timeline& timeline);

// Keeps a checkpoint's entry unless its epoch is not a multiple of the step (a full store is
// thinned first) and returns where its network of entrySize floats goes, or null when it is not
// kept. The first entry sets entrySize, a different size asserts; epochs must ascend.
[[nodiscard]] float* KeepInTimeline(Timeline& timeline, const TimelineEntry& entry,
                                    int32_t entrySize);

// The memory the timeline holds, in bytes.
size_t TimelineBytes(const Timeline& timeline);

// The entry of the given epoch, or -1 when none was kept.
int32_t FindTimelineEpoch(const Timeline& timeline, int64_t epoch);

// The latest entry whose historyCount is at most count, or the first one when all are later;
// -1 for an empty timeline.
int32_t TimelineEntryAtCount(const Timeline& timeline, int64_t count);

// --- On the state and the engine ---

struct KestroState;

// Makes the engine hold entry i's network in place of the current one (keeping the current
// one aside the first time). Requires no run in progress and a valid index.
void ShowTimelineEntry(KestroState& state, int32_t i);

// Puts the current network back into the engine when an entry is shown; otherwise nothing.
void ReturnToNow(KestroState& state);

// Continue From Here: the shown entry becomes the current state: its network with its previous
// values, ni, the counters, the generator, the classification error and the points' flags as
// its checkpoint left them; the histories are cut back to that checkpoint and the later entries
// dropped. The next run starts without its Reset. Requires a shown entry and no run.
void ContinueFromHere(KestroState& state);

// The current network's values in the engine's layout, also while an entry is shown.
std::vector<float> CurrentParameters(const KestroState& state);

}  // namespace kestro
