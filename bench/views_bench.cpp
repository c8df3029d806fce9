// The views' frames against the engine's evaluation of the same points: a full-resolution
// frame (step 1) and a live frame (step 4) of 800 x 600, in answer and areas mode, also at a
// device pixel ratio of 2; what picking a kept epoch costs; and the first hidden layer's
// numbered lines over a frame.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <memory>
#include <vector>

#include "nowindow.h"

#include "core/units/glowny/netcopy.h"
#include "core/units/glowny/timeline.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"
#include "views/errorgraph.h"
#include "views/netdiagram.h"
#include "views/neuronview.h"
#include "views/signalview.h"

namespace {

using namespace kestro;

const char* const Structures[] = {"2:10:2", "2:100:2"};
constexpr int Width = 800, Height = 600;

void Setup(int structure) {
    SetRandomSeed(1);
    BuildNetwork(Structures[structure]);
    RandomizeWeights(0.1f, 0.5f);
}

// 400 points in the square, as a shape generation leaves them.
const PointSet& Points() {
    static const PointSet set = [] {
        PointSet s;
        SetRandomSeed(42);
        for (int k = 0; k < 400; ++k) {
            const float x = RandomUniform(-1, 1), y = RandomUniform(-1, 1);
            s.points[s.count++] = {x, y, x * x + y * y < 0.5f ? 1 : 0, k % 7 != 0};
        }
        return s;
    }();
    return set;
}

// The engine alone: one batch of the 480 000 points a full frame samples, in the frame's order.
void EngineBatch(benchmark::State& state) {
    Setup(static_cast<int>(state.range(0)));
    const bool areas = state.range(1) != 0;
    std::vector<float> xs, ys, maxOutputs(Width * Height);
    std::vector<int32_t> winners(Width * Height), codes(Width * Height);
    for (int px = 0; px < Width; ++px)
        for (int py = 0; py < Height; ++py) {
            xs.push_back(PlaneMapping{Width, Height}.SampleX(px));
            ys.push_back(PlaneMapping{Width, Height}.SampleY(py));
        }
    PointBatch batch;
    batch.x = xs.data();
    batch.y = ys.data();
    batch.count = Width * Height;
    batch.winners = winners.data();
    batch.maxOutputs = maxOutputs.data();
    batch.regionCodes = areas ? codes.data() : nullptr;
    for (auto _ : state) {
        EvaluateBatch(batch);
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::string(Structures[state.range(0)]) + (areas ? " areas" : " answer"));
}

// The engine alone on the frame's grid (800 columns by 600 rows), on one thread: what a full frame
// evaluates, the way it evaluates it.
void EngineGrid(benchmark::State& state) {
    Setup(static_cast<int>(state.range(0)));
    const bool areas = state.range(1) != 0;
    std::vector<float> xs, ys, maxOutputs(Width * Height);
    std::vector<int32_t> winners(Width * Height), codes(Width * Height);
    for (int px = 0; px < Width; ++px)
        xs.push_back(PlaneMapping{Width, Height}.SampleX(px));
    for (int py = 0; py < Height; ++py)
        ys.push_back(PlaneMapping{Width, Height}.SampleY(py));
    GridBatch grid;
    grid.x = xs.data();
    grid.columns = Width;
    grid.y = ys.data();
    grid.rows = Height;
    grid.winners = winners.data();
    grid.maxOutputs = maxOutputs.data();
    grid.regionCodes = areas ? codes.data() : nullptr;
    for (auto _ : state) {
        EvaluateGrid(grid);
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::string(Structures[state.range(0)]) + (areas ? " areas" : " answer"));
}

// DrawSignalView(step, 1) with axes and 400 points, on the given number of raster threads (0:
// one per processor). Real time: the frame's threads work while the caller waits.
void SignalFrame(benchmark::State& state) {
    Setup(static_cast<int>(state.range(0)));
    const int threads = SetRasterThreads(static_cast<int>(state.range(2)));
    SignalViewInput input;
    input.points = &Points();
    const int step = static_cast<int>(state.range(1));
    input.raster = step == 0 ? RasterMode::None : step > 0 ? RasterMode::Answer : RasterMode::Areas;
    input.cellSize = std::max(1, std::abs(step));
    input.presentationCount = 1;
    QImage image(Width, Height, QImage::Format_ARGB32);
    for (auto _ : state) {
        DrawSignalView(input, image);
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::string(Structures[state.range(0)]) + " step " + std::to_string(step) +
                   ", " + std::to_string(threads) + " thread" + (threads == 1 ? "" : "s"));
}

// The same frame on a surface of device pixel ratio 2 (1600 x 1200 pixels): a full frame
// samples every device pixel, a live frame keeps cells of 4 logical pixels.
void SignalFrameAtRatio2(benchmark::State& state) {
    Setup(static_cast<int>(state.range(0)));
    SignalViewInput input;
    input.points = &Points();
    const int step = static_cast<int>(state.range(1));
    input.raster = RasterMode::Answer;
    input.cellSize = step;
    input.presentationCount = 1;
    QImage image(2 * Width, 2 * Height, QImage::Format_ARGB32);
    image.setDevicePixelRatio(2);
    for (auto _ : state) {
        DrawSignalView(input, image);
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::string(Structures[state.range(0)]) + " step " + std::to_string(step));
}

void ErrorGraph(benchmark::State& state) {
    ErrorHistory h;
    h.count = 4000;
    h.step = 2;
    for (int k = 0; k < HistorySlots; ++k)
        h.slot[k] = {0.1f + 0.0001f * k, 0.2f + 0.0001f * k};
    ErrorGraphInput input;
    input.meanSquaredError.history = input.verifyError.history = &h;
    input.classificationError.history = input.ni.history = &h;
    input.ni.visible = true;
    QImage image(585, 100, QImage::Format_ARGB32);
    for (auto _ : state) {
        DrawErrorGraph(input, image);
        benchmark::ClobberMemory();
    }
}

// Picking a kept epoch on the error graph, as the window shows it: the kept network into the
// engine, the diagram and the graph with its marker, then the 800 x 600 drawing area in cells
// of 4 (while the mouse drags) or 1 (when the button goes up), on every raster thread.
void PickEpoch(benchmark::State& state) {
    Setup(static_cast<int>(state.range(0)));
    auto kestro = std::make_unique<KestroState>();
    kestro->pointSet = Points();
    kestro->learnMode = -300;
    kestro->controls.resetAtBeginning = false;
    bench::NoWindow host;
    Learn(*kestro, host);
    const int threads = SetRasterThreads(0);
    SignalViewInput input;
    input.points = &kestro->pointSet;
    input.raster = RasterMode::Answer;
    input.cellSize = static_cast<int>(state.range(1));
    input.presentationCount = 1;
    ErrorGraphInput graph;
    const ErrorHistory* series = kestro->histories.series;
    graph.meanSquaredError.history = &series[MseSeries];
    graph.verifyError.history = &series[VerifySeries];
    graph.classificationError.history = &series[ErrorSeries];
    graph.ni.history = &series[NiSeries];
    QImage image(Width, Height, QImage::Format_ARGB32);
    QImage graphImage(585, 100, QImage::Format_ARGB32);
    QImage diagram(177, 330, QImage::Format_ARGB32);
    const auto entries = static_cast<int32_t>(kestro->timeline.entries.size());
    int32_t next = 0;
    for (auto _ : state) {
        ShowTimelineEntry(*kestro, next);
        graph.markerCount = kestro->timeline.entries[static_cast<size_t>(next)].historyCount;
        DrawNetworkDiagram(CurrentNetworkSummary(), DiagramColors{}, diagram);
        DrawErrorGraph(graph, graphImage);
        DrawSignalView(input, image);
        benchmark::ClobberMemory();
        next = (next + 37) % entries;
    }
    ReturnToNow(*kestro);
    state.SetLabel(std::string(Structures[state.range(0)]) + " cells of " +
                   std::to_string(input.cellSize) + ", " + std::to_string(threads) + " threads");
}

void NetworkDiagram(benchmark::State& state) {
    Setup(static_cast<int>(state.range(0)));
    QImage image(177, 330, QImage::Format_ARGB32);
    for (auto _ : state) {
        DrawNetworkDiagram(CurrentNetworkSummary(), DiagramColors{}, image);
        benchmark::ClobberMemory();
    }
    state.SetLabel(Structures[state.range(0)]);
}

// The first hidden layer's boundaries and their labels over an 800 x 600 frame of class 1's
// colour: ten labels, or a hundred to place.
void FirstLayerLines(benchmark::State& state) {
    Setup(static_cast<int>(state.range(0)));
    const NetworkCopy network = CopyNetwork();
    QImage image(Width, Height, QImage::Format_ARGB32);
    image.fill(RasterColors[0]);
    for (auto _ : state) {
        DrawFirstLayerBoundaries(network, 0xFFFFFFFF, image);
        benchmark::ClobberMemory();
    }
    state.SetLabel(Structures[state.range(0)]);
}

}  // namespace

BENCHMARK(EngineBatch)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(EngineGrid)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(SignalFrame)
    ->ArgsProduct({{0, 1}, {1, 4, -1, -4, 0}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SignalFrameAtRatio2)->ArgsProduct({{0, 1}, {1, 4}})->Unit(benchmark::kMillisecond);
BENCHMARK(ErrorGraph)->Unit(benchmark::kMillisecond);
BENCHMARK(PickEpoch)->ArgsProduct({{0, 1}, {4, 1}})->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(NetworkDiagram)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(FirstLayerLines)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // Text needs a QGuiApplication; without a display it runs on the offscreen platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
