// The engine against the plain baseline, in one run: presentations and evaluations per second.
#include <benchmark/benchmark.h>

#include <vector>

#include "baseline_engine.h"
#include "core/units/nnet.h"
#include "core/units/random.h"

namespace {

const char* const Structures[] = {"2:10:2", "2:100:2", "2:5:5:5:2"};

// 400 fixed points in the square with a circle's classes.
struct Samples {
    std::vector<float> x, y;
    std::vector<int> c;
    Samples() {
        kestro::SetRandomSeed(42);
        for (int p = 0; p < 400; ++p) {
            x.push_back(kestro::RandomUniform(-1, 1));
            y.push_back(kestro::RandomUniform(-1, 1));
            c.push_back(x.back() * x.back() + y.back() * y.back() < 0.5f ? 1 : 0);
        }
    }
};
const Samples samples;

void Setup(const benchmark::State& state) {
    kestro::SetRandomSeed(1);
    kestro::BuildNetwork(Structures[state.range(0)]);
    kestro::RandomizeWeights(0.1f, 0.5f);
    baseline::BuildNetwork(Structures[state.range(0)], 1);
}

// Presents the fixed points one after another through train(classIndex, x, y).
template <typename Train>
void Presentations(benchmark::State& state, Train train) {
    Setup(state);
    size_t p = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(train(samples.c[p], samples.x[p], samples.y[p]));
        p = p + 1 == samples.x.size() ? 0 : p + 1;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(Structures[state.range(0)]);
}

void TrainEngine(benchmark::State& state) {
    Presentations(
        state, [](int c, float x, float y) { return kestro::TrainSample(c, x, y, 0.05f, 0.7f); });
}

// The same on the AVX2 path, where the processor has AVX-512 too.
void TrainEngineAvx2(benchmark::State& state) {
    kestro::SetEnginePath(kestro::EnginePath::Avx2);
    TrainEngine(state);
    kestro::SetVectorPathsEnabled(true);
}

void TrainBaseline(benchmark::State& state) {
    Presentations(
        state, [](int c, float x, float y) { return baseline::TrainSample(c, x, y, 0.05f, 0.7f); });
}

void EvaluateEngine(benchmark::State& state) {
    Presentations(state, [](int, float x, float y) {
        float maxOutput;
        return kestro::Evaluate(x, y, maxOutput);
    });
}

void EvaluateBaseline(benchmark::State& state) {
    Presentations(state, [](int, float x, float y) {
        float maxOutput;
        return baseline::Evaluate(x, y, maxOutput);
    });
}

// Many points at once: one 400 x 400 raster of cells, as the views evaluate it.
void EvaluateBatchEngine(benchmark::State& state) {
    Setup(state);
    const int side = 400;
    std::vector<float> xs, ys, maxOutputs(side * side);
    std::vector<int32_t> winners(side * side);
    for (int px = 0; px < side; ++px)
        for (int py = 0; py < side; ++py) {
            xs.push_back(static_cast<float>((px / double(side) - 0.5) * 2));
            ys.push_back(static_cast<float>((0.5 - py / double(side)) * 2));
        }
    kestro::PointBatch batch;
    batch.x = xs.data();
    batch.y = ys.data();
    batch.count = side * side;
    batch.winners = winners.data();
    batch.maxOutputs = maxOutputs.data();
    for (auto _ : state) {
        kestro::EvaluateBatch(batch);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * batch.count);
    state.SetLabel(Structures[state.range(0)]);
}

// The same raster as the views evaluate it: a grid of 400 columns by 400 rows.
void EvaluateGridEngine(benchmark::State& state) {
    Setup(state);
    const int side = 400;
    std::vector<float> xs, ys, maxOutputs(side * side);
    std::vector<int32_t> winners(side * side);
    for (int p = 0; p < side; ++p) {
        xs.push_back(static_cast<float>((p / double(side) - 0.5) * 2));
        ys.push_back(static_cast<float>((0.5 - p / double(side)) * 2));
    }
    kestro::GridBatch grid;
    grid.x = xs.data();
    grid.columns = side;
    grid.y = ys.data();
    grid.rows = side;
    grid.winners = winners.data();
    grid.maxOutputs = maxOutputs.data();
    for (auto _ : state) {
        kestro::EvaluateGrid(grid);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * side * side);
    state.SetLabel(Structures[state.range(0)]);
}

}  // namespace

BENCHMARK(TrainBaseline)->DenseRange(0, 2);
BENCHMARK(TrainEngine)->DenseRange(0, 2);
BENCHMARK(TrainEngineAvx2)->DenseRange(0, 2);
BENCHMARK(EvaluateBaseline)->DenseRange(0, 2);
BENCHMARK(EvaluateEngine)->DenseRange(0, 2);
BENCHMARK(EvaluateBatchEngine)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(EvaluateGridEngine)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
