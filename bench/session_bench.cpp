// Saving and opening the largest session: 2000 points, the 2:100:2 network, full histories
// (past their first halving), with an empty and with a full timeline; and the size of its file.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/session.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/timeline.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"
#include "nowindow.h"

namespace {

// 2000 points, 2:100:2, and 2001 checkpoints' values in every history (all slots used, step 2).
std::unique_ptr<kestro::KestroState> LargestSession() {
    auto state = kestro::bench::FullState("2:100:2");
    if (!state)
        return nullptr;
    for (int v = 0; v < 4000; ++v)
        for (kestro::ErrorHistory& h : state->histories.series)
            kestro::AppendHistory(h, kestro::RandomUniform(0, 1));
    return state;
}

// The largest session with a full timeline: TimelineCapacity networks of 2:100:2 with the order
// arrays of 2000 points, as a run keeps them (their values drawn at random: the file's size and
// the time do not depend on them).
std::unique_ptr<kestro::KestroState> LargestSessionWithTimeline() {
    auto state = LargestSession();
    if (!state)
        return nullptr;
    const int32_t size = kestro::ParameterCount();
    std::vector<int32_t> order(kestro::MaxPoints);
    for (int32_t k = 0; k < kestro::MaxPoints; ++k)
        order[static_cast<size_t>(k)] = k;
    for (int32_t i = 0; i < kestro::TimelineCapacity; ++i) {
        kestro::TimelineEntry entry;
        entry.epoch = 2 * (i + 1);
        entry.presentationCount = entry.epoch * kestro::MaxPoints;
        entry.historyCount = entry.epoch;
        entry.ni = 0.9f;
        entry.classificationError = kestro::RandomUniform(0, 1);
        entry.meanSquaredError = kestro::RandomUniform(0, 1);
        entry.verifyError = kestro::RandomUniform(0, 1);
        entry.generator = kestro::RandomSeed();
        entry.resumable = true;
        entry.lastError = entry.classificationError;
        // One transposition per epoch, as the Swapping Permutation order makes them.
        for (int swap = 0; swap < 2; ++swap)
            std::swap(order[static_cast<size_t>(kestro::RandomInt(kestro::MaxPoints))],
                      order[static_cast<size_t>(kestro::RandomInt(kestro::MaxPoints))]);
        float* network = kestro::KeepInTimeline(state->timeline, entry, size, order);
        for (int32_t k = 0; network != nullptr && k < size; ++k)
            network[k] = kestro::RandomUniform(-1, 1);
    }
    // The counters of the run that kept them.
    state->epochCount = state->timeline.entries.back().epoch;
    state->presentationCount = state->timeline.entries.back().presentationCount;
    return state;
}

const std::filesystem::path SessionPath =
    std::filesystem::temp_directory_path() / "kestro_bench_session.kestro";

void SaveSession(benchmark::State& bench, const kestro::KestroState* state) {
    if (!state) {
        bench.SkipWithError("cannot set up");
        return;
    }
    for (auto _ : bench) {
        const kestro::FileResult saved = kestro::SaveSessionFile(SessionPath, *state);
        if (saved.status != kestro::FileStatus::Done)
            bench.SkipWithError(saved.message.c_str());
    }
    bench.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(SessionPath));
}

void OpenSession(benchmark::State& bench, kestro::KestroState* state) {
    if (!state || kestro::SaveSessionFile(SessionPath, *state).status != kestro::FileStatus::Done) {
        bench.SkipWithError("cannot save");
        return;
    }
    for (auto _ : bench) {
        const kestro::FileResult opened = kestro::LoadSessionFile(SessionPath, *state);
        if (opened.status != kestro::FileStatus::Done)
            bench.SkipWithError(opened.message.c_str());
    }
    std::filesystem::remove(SessionPath);
}

void SaveLargestSession(benchmark::State& bench) {
    SaveSession(bench, LargestSession().get());
}

void OpenLargestSession(benchmark::State& bench) {
    OpenSession(bench, LargestSession().get());
}

void SaveSessionWithFullTimeline(benchmark::State& bench) {
    SaveSession(bench, LargestSessionWithTimeline().get());
}

void OpenSessionWithFullTimeline(benchmark::State& bench) {
    auto state = LargestSessionWithTimeline();
    OpenSession(bench, state.get());
    if (state && state->timeline.entries.size() != static_cast<size_t>(kestro::TimelineCapacity))
        bench.SkipWithError("the timeline was not read back");
}

BENCHMARK(SaveLargestSession)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenLargestSession)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveSessionWithFullTimeline)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenSessionWithFullTimeline)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
