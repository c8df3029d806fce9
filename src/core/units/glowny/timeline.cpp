#include "core/units/glowny/timeline.h"

#include <algorithm>
#include <cstring>

#include "core/units/errors.h"
#include "core/units/glowny/state.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"

namespace kestro {

void ClearTimeline(Timeline& timeline) {
    KESTRO_ASSERT(timeline.shown < 0);
    timeline.entries.clear();
    timeline.values.clear();
    timeline.entrySize = 0;
    timeline.orders.clear();
    timeline.step = 1;
    timeline.now.clear();
}

namespace {

// Doubles the step and keeps the entries whose epochs are multiples of it, in place. Every kept
// entry's network and order array move down (or stay), so no source is overwritten before it
// is read.
void ThinTimeline(Timeline& timeline) {
    timeline.step *= 2;
    const auto size = static_cast<size_t>(timeline.entrySize);
    size_t kept = 0;
    size_t orderEnd = 0;
    for (size_t i = 0; i < timeline.entries.size(); ++i) {
        TimelineEntry& entry = timeline.entries[i];
        if (entry.epoch % timeline.step != 0)
            continue;
        const auto orderCount = static_cast<size_t>(entry.orderCount);
        std::memmove(timeline.orders.data() + orderEnd, timeline.orders.data() + entry.orderOffset,
                     orderCount * sizeof(uint16_t));
        entry.orderOffset = orderEnd;
        orderEnd += orderCount;
        if (kept != i) {
            timeline.entries[kept] = entry;
            std::memcpy(timeline.values.data() + kept * size, timeline.values.data() + i * size,
                        size * sizeof(float));
        }
        ++kept;
    }
    timeline.entries.resize(kept);
    timeline.values.resize(kept * size);
    timeline.orders.resize(orderEnd);
}

}  // namespace

float* KeepInTimeline(Timeline& timeline, const TimelineEntry& entry, int32_t entrySize,
                      std::span<const int32_t> order) {
    KESTRO_ASSERT(timeline.entries.empty() || timeline.entrySize == entrySize);
    KESTRO_ASSERT(timeline.entries.empty() || timeline.entries.back().epoch < entry.epoch);
    if (entry.epoch % timeline.step != 0)
        return nullptr;
    if (static_cast<int32_t>(timeline.entries.size()) >= TimelineCapacity) {
        ThinTimeline(timeline);
        if (entry.epoch % timeline.step != 0)
            return nullptr;
    }
    if (timeline.entries.empty()) {
        timeline.entrySize = entrySize;
        // The whole store at once: no reallocation while a run fills it.
        timeline.entries.reserve(static_cast<size_t>(TimelineCapacity));
        timeline.values.reserve(static_cast<size_t>(TimelineCapacity) *
                                static_cast<size_t>(entrySize));
        timeline.orders.reserve(static_cast<size_t>(TimelineCapacity) * order.size());
    }
    timeline.entries.push_back(entry);
    TimelineEntry& kept = timeline.entries.back();
    kept.orderCount = static_cast<int32_t>(order.size());
    kept.orderOffset = timeline.orders.size();
    for (const int32_t index : order) {
        KESTRO_ASSERT(index >= 0 && index < MaxPoints);
        timeline.orders.push_back(static_cast<uint16_t>(index));
    }
    timeline.values.resize(timeline.values.size() + static_cast<size_t>(entrySize));
    return timeline.values.data() + timeline.values.size() - static_cast<size_t>(entrySize);
}

size_t TimelineBytes(const Timeline& timeline) {
    return timeline.entries.capacity() * sizeof(TimelineEntry) +
           (timeline.values.capacity() + timeline.now.capacity()) * sizeof(float) +
           timeline.orders.capacity() * sizeof(uint16_t);
}

int32_t FindTimelineEpoch(const Timeline& timeline, int64_t epoch) {
    const auto& e = timeline.entries;
    const auto it = std::lower_bound(
        e.begin(), e.end(), epoch,
        [](const TimelineEntry& entry, int64_t value) { return entry.epoch < value; });
    if (it == e.end() || it->epoch != epoch)
        return -1;
    return static_cast<int32_t>(it - e.begin());
}

int32_t TimelineEntryAtCount(const Timeline& timeline, int64_t count) {
    const auto& e = timeline.entries;
    if (e.empty())
        return -1;
    const auto it = std::upper_bound(
        e.begin(), e.end(), count,
        [](int64_t value, const TimelineEntry& entry) { return value < entry.historyCount; });
    return it == e.begin() ? 0 : static_cast<int32_t>(it - e.begin()) - 1;
}

void ShowTimelineEntry(KestroState& state, int32_t i) {
    Timeline& timeline = state.timeline;
    KESTRO_ASSERT(!state.learning);
    KESTRO_ASSERT(i >= 0 && i < static_cast<int32_t>(timeline.entries.size()));
    KESTRO_ASSERT(timeline.entrySize == ParameterCount());
    if (timeline.shown < 0) {
        timeline.now.resize(static_cast<size_t>(timeline.entrySize));
        CopyParameters(timeline.now.data());
    }
    SetParameters(timeline.Values(i));
    timeline.shown = i;
    state.lastStep.reset();
}

void ReturnToNow(KestroState& state) {
    Timeline& timeline = state.timeline;
    if (timeline.shown < 0)
        return;
    SetParameters(timeline.now.data());
    timeline.shown = -1;
    timeline.now.clear();
}

std::vector<float> CurrentParameters(const KestroState& state) {
    if (state.timeline.shown >= 0)
        return state.timeline.now;
    std::vector<float> values(static_cast<size_t>(ParameterCount()));
    CopyParameters(values.data());
    return values;
}

void ContinueFromHere(KestroState& state) {
    Timeline& timeline = state.timeline;
    KESTRO_ASSERT(!state.learning && timeline.shown >= 0);
    const int32_t i = timeline.shown;
    const TimelineEntry entry = timeline.entries[static_cast<size_t>(i)];
    // The engine already holds the entry's network; the current one is dropped.
    timeline.shown = -1;
    timeline.now.clear();
    timeline.entries.resize(static_cast<size_t>(i) + 1);
    timeline.values.resize(timeline.entries.size() * static_cast<size_t>(timeline.entrySize));
    timeline.orders.resize(entry.orderOffset + static_cast<size_t>(entry.orderCount));

    state.epochCount = entry.epoch;
    state.presentationCount = entry.presentationCount;
    state.lastStatusCount = entry.presentationCount;
    state.learnParameters.ni = entry.ni;
    state.classificationError = entry.classificationError;
    state.classErrors = entry.classErrors;
    SetRandomSeed(entry.generator);
    // The histories as the checkpoint left them, but for slots merged since: their step sets
    // when the next checkpoints come.
    for (ErrorHistory& series : state.histories.series) {
        TruncateHistory(series, entry.historyCount);
        RefineHistory(series, std::min(entry.historyStep, series.step));
    }
    MarkAnswers(state.pointSet.points, state.pointSet.count);
    if (state.controls.verify)
        MarkAnswers(state.verifySet.points, VerifySetSize);
    // The run goes on from its checkpoint: its order array, its saturation watch and its start.
    state.saturated = false;
    state.continueStartEpoch.reset();
    if (entry.resumable) {
        const uint16_t* order = timeline.Order(i);
        for (int32_t k = 0; k < entry.orderCount; ++k)
            state.orderArray[k] = order[k];
        state.orderCount = entry.orderCount;
        state.lastError = entry.lastError;
        state.lastFallEpoch = entry.lastFallEpoch;
        state.saturated = entry.saturated;
        state.continueStartEpoch = entry.startEpoch;
    }
    state.stepping = {};
    state.lastStep.reset();
    state.restartPending = true;
}

}  // namespace kestro
