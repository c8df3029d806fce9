// What an edit of the point set costs outside a run: one undo step of a full set (the exchange
// of 2000 points with a snapshot) and the refresh of the error line (one batch evaluation of the
// points), and the memory a step of a full set holds.
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

using kestro::bench::FullState;

// Undo (or redo) of a step that replaced a full set by another full set.
void UndoFullStep(benchmark::State& bench) {
    auto state = FullState(Structures[0]);
    kestro::PointsSnapshot other = kestro::TakePointsSnapshot(*state);
    for (kestro::SamplePoint& p : other.points)
        p.x = -p.x;
    for (auto _ : bench) {
        kestro::SwapPoints(*state, other);
        benchmark::ClobberMemory();
    }
    const size_t bytes =
        sizeof(kestro::PointsSnapshot) + other.points.capacity() * sizeof(kestro::SamplePoint);
    bench.counters["step_bytes"] = static_cast<double>(bytes);
    bench.counters["100_steps_MB"] = 100.0 * static_cast<double>(bytes) / (1 << 20);
}

// The error line's refresh: the classification error of the network on 2000 points.
void ErrorLineRefresh(benchmark::State& bench) {
    auto state = FullState(Structures[bench.range(0)]);
    float error = 0;
    for (auto _ : bench) {
        error = kestro::MeasureClassificationError(*state);
        benchmark::DoNotOptimize(error);
    }
    bench.SetLabel(Structures[bench.range(0)]);
}

}  // namespace

BENCHMARK(UndoFullStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(ErrorLineRefresh)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
