// The added views against the training they watch: a neuron picture of 100 x 100 pixels, and
// a default run's presentations per second while its frames show the network's answer, a
// neuron's output, or the answer with the first layer's lines (800 x 600, 10 frames a second).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <chrono>
#include <memory>
#include <string>

#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/netcopy.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/state.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"
#include "views/neuronview.h"
#include "views/signalview.h"

namespace {

using namespace kestro;

const char* const Structures[] = {"2:10:2", "2:100:2", "2:5:5:5:2"};

void NeuronPicture100(benchmark::State& bench) {
    SetRandomSeed(1);
    BuildNetwork(Structures[bench.range(0)]);
    RandomizeWeights(0.1f, 0.5f);
    const NetworkCopy network = CopyNetwork();
    const int32_t output = Layer(LayerCount() - 1).first;
    for (auto _ : bench) {
        QImage picture = NeuronPicture(network, output, 100, 2);  // as the window draws it
        benchmark::DoNotOptimize(picture.constBits());
    }
    bench.SetLabel(Structures[bench.range(0)]);
}

// A window's frames without the window: the signal view rendered as the run asks for it.
class FrameHost : public TrainingHost {
  public:
    FrameHost(KestroState& state, RasterMode raster, bool lines)
        : state_(state), raster_(raster), lines_(lines), image_(800, 600, QImage::Format_ARGB32) {}
    int64_t NowMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void DispatchEvents() override {}
    void RefreshStatus(int64_t, int64_t) override {}
    void DrawSignalView(RasterMode, int32_t cellSize, bool showPoints) override {
        SignalViewInput input;
        input.points = &state_.pointSet;
        input.raster = raster_;
        input.cellSize = cellSize;
        input.showPoints = showPoints;
        input.firstLayerLines = lines_;
        input.neuron = LayerCount() > 0 ? Layer(LayerCount() - 1).first : -1;
        const NetworkCopy network = CopyNetwork();
        input.network = &network;
        kestro::DrawSignalView(input, image_);
    }

  private:
    KestroState& state_;
    RasterMode raster_;
    bool lines_;
    QImage image_;
};

// Wave, 400 points, 2:10:2, the default controls; 2000-epoch runs that continue each other.
void DefaultRunWithFrames(benchmark::State& bench) {
    static const char* const Views[] = {"answer", "neuron output", "answer and lines"};
    const RasterMode raster = bench.range(0) == 1 ? RasterMode::Neuron : RasterMode::Answer;
    auto state = std::make_unique<KestroState>();
    FrameHost host(*state, raster, bench.range(0) == 2);
    SetRandomSeed(1);
    if (!StartUp(*state, host)) {
        bench.SkipWithError("generation failed");
        return;
    }
    state->controls.resetAtBeginning = false;
    state->learnMode = -2000;
    const int64_t before = state->presentationCount;
    for (auto _ : bench)
        Learn(*state, host);
    bench.SetItemsProcessed(state->presentationCount - before);
    bench.SetLabel(Views[bench.range(0)]);
}

}  // namespace

BENCHMARK(NeuronPicture100)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(DefaultRunWithFrames)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);  // the views' text needs fonts
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
