// The network's timeline: the network of every checkpoint since the last reset, thinned by
// halving as the error histories are, so that any run length fits in a bounded store. The window
// shows a kept network in place of the current one and can continue training from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestro {

// At most this many networks are kept. When a checkpoint finds the store full, the step doubles
// and only the networks of epochs that are multiples of the new step stay: 1000 entries of
// 2:100:2 (4,032 bytes of values each) with the order arrays of 2000 points (4,000 bytes each)
// take 8,144,000 bytes with the entries themselves (112 bytes each on x86-64).
constexpr int32_t TimelineCapacity = 1000;

// The wrong answers per class and the class sizes at one measurement.
struct ClassErrors {
    int32_t wrong[2] = {};
    int32_t total[2] = {};
    int32_t Wrong() const { return wrong[0] + wrong[1]; }
};

// What a checkpoint measured, with the counters, the generator and the rest of what the run
// needs to go on from there.
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
    // The run's own state after the checkpoint, so that Continue From Here goes on with it:
    // the epochCount before the first epoch of its run or sequence of Steps (the checkpoint rule
    // and the learn mode count from it), its saturation watch, and its order array (orderCount
    // indices at orderOffset in Timeline::orders). False only in entries of session files
    // written before it was kept: continuing from one of them starts a new run.
    bool resumable = false;
    int64_t startEpoch = 0;
    float lastError = 2;
    int64_t lastFallEpoch = 0;
    bool saturated = false;
    int32_t orderCount = 0;
    size_t orderOffset = 0;
};

struct Timeline {
    std::vector<TimelineEntry> entries;  // by ascending epoch
    // Entry i's network, ParameterCount() floats in the engine's layout at offset i * entrySize.
    std::vector<float> values;
    int32_t entrySize = 0;
    // The entries' order arrays one after another, as 16-bit indices (points are fewer than
    // 65536), in entry order.
    std::vector<uint16_t> orders;
    // Only checkpoints whose epoch is a multiple of step are kept; a power of two.
    int64_t step = 1;
    // The entry whose network the engine holds in place of the current one, -1 for none; the
    // current network's values are then kept in now.
    int32_t shown = -1;
    std::vector<float> now;

    const float* Values(int32_t i) const {
        return values.data() + static_cast<size_t>(i) * static_cast<size_t>(entrySize);
    }
    const uint16_t* Order(int32_t i) const {
        return orders.data() + entries[static_cast<size_t>(i)].orderOffset;
    }
};

// Empties the timeline (step 1). The engine must not hold a shown entry (ReturnToNow first).
void ClearTimeline(Timeline& timeline);

// Keeps a checkpoint's entry with its order array (its orderCount and orderOffset are set here)
// unless its epoch is not a multiple of the step (a full store is thinned first), and returns
// where its network of entrySize floats goes, or null when it is not kept. The first entry sets
// entrySize, a different size asserts; epochs must ascend; indices must be below MaxPoints.
[[nodiscard]] float* KeepInTimeline(Timeline& timeline, const TimelineEntry& entry,
                                    int32_t entrySize, std::span<const int32_t> order = {});

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
// its checkpoint left them, and its run's order array and saturation watch; the histories are
// cut back to that checkpoint and the later entries dropped. The next run (or sequence of Steps)
// goes on with that run: no Reset, no fresh order, the run's own start epoch, so that with
// nothing changed it follows the original run bit for bit. From an entry without that run state
// (an older session file) the next run starts afresh, only without its Reset. Requires a shown
// entry and no run.
void ContinueFromHere(KestroState& state);

// The current network's values in the engine's layout, also while an entry is shown.
std::vector<float> CurrentParameters(const KestroState& state);

}  // namespace kestro
