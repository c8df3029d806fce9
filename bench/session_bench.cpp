// Saving and opening the largest session: 2000 points, the 2:100:2 network, full histories
// (past their first halving); and the size of its file.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/session.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"
#include "nowindow.h"

namespace {

using kestro::bench::NoWindow;

// 2000 points, 2:100:2, and 2001 checkpoints' values in every history (all slots used, step 2).
std::unique_ptr<kestro::KestroState> LargestSession() {
    auto state = std::make_unique<kestro::KestroState>();
    NoWindow host;
    kestro::SetRandomSeed(1);
    state->generateOptions.amount = kestro::MaxPoints;
    if (!kestro::StartUp(*state, host))
        return nullptr;
    kestro::ChangeStructure(*state, kestro::FindStructure("2:100:2"));
    for (int v = 0; v < 4000; ++v)
        for (kestro::ErrorHistory& h : state->histories.series)
            kestro::AppendHistory(h, kestro::RandomUniform(0, 1));
    return state;
}

const std::filesystem::path SessionPath =
    std::filesystem::temp_directory_path() / "kestro_bench_session.kestro";

void SaveLargestSession(benchmark::State& bench) {
    auto state = LargestSession();
    for (auto _ : bench) {
        const kestro::FileResult saved = kestro::SaveSessionFile(SessionPath, *state);
        if (saved.status != kestro::FileStatus::Done)
            bench.SkipWithError(saved.message.c_str());
    }
    bench.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(SessionPath));
}

void OpenLargestSession(benchmark::State& bench) {
    auto state = LargestSession();
    if (kestro::SaveSessionFile(SessionPath, *state).status != kestro::FileStatus::Done)
        bench.SkipWithError("cannot save");
    for (auto _ : bench) {
        const kestro::FileResult opened = kestro::LoadSessionFile(SessionPath, *state);
        if (opened.status != kestro::FileStatus::Done)
            bench.SkipWithError(opened.message.c_str());
    }
    std::filesystem::remove(SessionPath);
}

BENCHMARK(SaveLargestSession)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenLargestSession)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
