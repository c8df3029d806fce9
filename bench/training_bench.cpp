// The whole training loop (presentations, decay, checkpoints with the many-points evaluation,
// histories) against the engine alone: presentations per second, for the structures and point
// counts of the engine benchmark. Compare with kestro_bench_engine's TrainEngine in one sitting.
#include <benchmark/benchmark.h>

#include <memory>

#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/state.h"
#include "core/units/glowny/training.h"
#include "core/units/random.h"
#include "nowindow.h"

namespace {

using kestro::bench::Structures;

using kestro::bench::NoWindow;

// Wave points as at start-up, then Learn runs of 100 epochs that continue one another, so the
// checkpoint cadence thins out as the epochs add up, as in one long run.
void TrainingRun(benchmark::State& bench) {
    auto state = std::make_unique<kestro::KestroState>();
    NoWindow host;
    kestro::SetRandomSeed(1);
    state->generateOptions.amount = static_cast<int32_t>(bench.range(1));
    if (!kestro::StartUp(*state, host)) {
        bench.SkipWithError("generation failed");
        return;
    }
    kestro::ComboStructureChange(kestro::FindStructure(Structures[bench.range(0)]));
    kestro::ResetNetwork(*state, host);
    state->controls.resetAtBeginning = false;
    state->learnMode = -100;
    const int64_t before = state->presentationCount;
    for (auto _ : bench)
        kestro::Learn(*state, host);
    bench.SetItemsProcessed(state->presentationCount - before);
    bench.SetLabel(std::string(Structures[bench.range(0)]) + ", " + std::to_string(bench.range(1)) +
                   " points");
}

}  // namespace

BENCHMARK(TrainingRun)->ArgsProduct({{0, 1, 2}, {400, 2000}})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
