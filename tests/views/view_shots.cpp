// Renders the three views for a small trained network and saves them as PNG files to look at:
//   kestro_view_shots [folder]   (default: build-views-shots in the current folder)
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "core/units/glowny/netcopy.h"
#include "core/units/nnet.h"
#include "core/units/random.h"
#include "views/errorgraph.h"
#include "views/netdiagram.h"
#include "views/neuronview.h"
#include "views/signalview.h"

namespace {

using namespace kestro;

bool Save(const QImage& image, const QString& folder, const char* name) {
    const QString path = folder + "/" + name;
    const bool saved = OpaqueCopy(image).save(path, "PNG");
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}

// 400 points, class 2 inside a circle, trained for some epochs; the four histories get one
// value per epoch.
struct Scene {
    PointSet points;
    ErrorHistory ni, error, meanSquared, verify;
    int32_t presentations = 0;
};

void Train(Scene& scene, const char* structure, int epochs) {
    SetRandomSeed(2024);
    BuildNetwork(structure);
    PointSet& set = scene.points;
    set.count = 0;
    for (int k = 0; k < 400; ++k) {
        const float x = RandomUniform(-1, 1), y = RandomUniform(-1, 1);
        set.points[set.count++] = {x, y, x * x + y * y < 0.4f ? 1 : 0, true};
    }
    float ni = 0.3f;
    for (int epoch = 0; epoch < epochs && epoch < HistorySlots; ++epoch) {
        int wrong = 0;
        double squared = 0;
        for (int k = 0; k < set.count; ++k) {
            SamplePoint& p = set.points[RandomInt(set.count)];
            p.correct = TrainSample(p.classIndex, p.x, p.y, ni, 0.7f);
            ++scene.presentations;
        }
        for (int k = 0; k < set.count; ++k) {
            SamplePoint& p = set.points[k];
            float o;
            p.correct = Evaluate(p.x, p.y, o) == p.classIndex;
            wrong += !p.correct;
            squared += OutputError(p.classIndex);
        }
        const float values[] = {ni, static_cast<float>(wrong) / set.count,
                                static_cast<float>(squared / set.count),
                                static_cast<float>(wrong) / set.count * 1.2f};
        ErrorHistory* series[] = {&scene.ni, &scene.error, &scene.meanSquared, &scene.verify};
        for (int s = 0; s < 4; ++s) {
            series[s]->slot[epoch] = {values[s], values[s]};
            series[s]->count = epoch + 1;
        }
        ni = ni * 0.998f;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : "build-views-shots";
    QDir().mkpath(folder);
    bool ok = true;

    Scene scene;
    Train(scene, "2:10:2", 600);
    SignalViewInput input;
    input.points = &scene.points;
    input.presentationCount = scene.presentations;
    QImage signal(800, 600, QImage::Format_ARGB32);
    input.raster = RasterMode::Answer;
    DrawSignalView(input, signal);
    ok &= Save(signal, folder, "signal_answer_800x600.png");
    input.cellSize = 4;
    DrawSignalView(input, signal);
    ok &= Save(signal, folder, "signal_live_step4.png");
    input.raster = RasterMode::Areas;
    input.cellSize = 1;
    DrawSignalView(input, signal);
    ok &= Save(signal, folder, "signal_areas.png");
    input.raster = RasterMode::None;
    input.selectedClass = 0;
    input.brushRadius = 0.3f;
    input.cursor = QPoint(400, 300);
    DrawSignalView(input, signal);
    ok &= Save(signal, folder, "signal_points_delete_brush.png");

    ErrorGraphInput graph;
    graph.meanSquaredError.history = &scene.meanSquared;
    graph.verifyError.history = &scene.verify;
    graph.classificationError.history = &scene.error;
    graph.ni.history = &scene.ni;
    graph.ni.visible = true;
    QImage strip(585, 100, QImage::Format_ARGB32);
    DrawErrorGraph(graph, strip);
    ok &= Save(strip, folder, "errorgraph_600_epochs.png");

    // The first layer's numbered lines over the answer, and output neuron 2's picture, at
    // pixel ratios 1 and 2.
    const NetworkCopy trained = CopyNetwork();
    input.network = &trained;
    input.firstLayerLines = true;
    input.selectedClass = -1;
    input.cursor.reset();
    input.raster = RasterMode::Answer;
    for (const auto& [ratio, name] :
         {std::pair{1.0, "signal_lines_r1.png"}, std::pair{1.5, "signal_lines_r1.5.png"},
          std::pair{2.0, "signal_lines_r2.png"}}) {
        QImage lines(static_cast<int>(400 * ratio), static_cast<int>(300 * ratio),
                     QImage::Format_ARGB32);
        lines.setDevicePixelRatio(ratio);
        DrawSignalView(input, lines);
        ok &= Save(lines, folder, name);
    }
    input.firstLayerLines = false;
    input.raster = RasterMode::Neuron;
    input.neuron = Layer(2).first + 1;
    DrawSignalView(input, signal);
    ok &= Save(signal, folder, "signal_output2.png");

    const DiagramColors colors = SystemDiagramColors();
    QImage diagram(177, 330, QImage::Format_ARGB32);
    DrawNetworkDiagram(CurrentNetworkSummary(), colors, diagram);
    ok &= Save(diagram, folder, "netdiagram_2-10-2.png");
    // The neuron view's neuron marked, plain and over a Step's colours, at ratios 1 and 2.
    PresentationRecord step;
    for (int32_t k = 0; k < trained.Total(); ++k) {
        step.output.push_back(k % 3 == 0 ? 0.9f : -0.6f);
        step.delta.push_back(k % 2 == 0 ? 0.05f * k : -0.03f * k);
    }
    step.weightChange = trained.weight;
    for (const int ratio : {1, 2}) {
        QImage marked(177 * ratio, 330 * ratio, QImage::Format_ARGB32);
        marked.setDevicePixelRatio(ratio);
        DiagramOptions options;
        options.markedNeuron = 5;
        DrawNetworkDiagram(CurrentNetworkSummary(), colors, marked, options);
        ok &= Save(marked, folder,
                   ratio == 1 ? "netdiagram_marked_r1.png" : "netdiagram_marked_r2.png");
        options.step = &step;
        options.markedNeuron = Layer(2).first + 1;
        DrawNetworkDiagram(CurrentNetworkSummary(), colors, marked, options);
        ok &= Save(marked, folder,
                   ratio == 1 ? "netdiagram_marked_step_r1.png" : "netdiagram_marked_step_r2.png");
    }
    for (const auto& [structure, name] : {std::pair{"2:100:2", "netdiagram_2-100-2.png"},
                                          std::pair{"2:5:5:5:2", "netdiagram_2-5-5-5-2.png"}}) {
        BuildNetwork(structure);
        DrawNetworkDiagram(CurrentNetworkSummary(), colors, diagram);
        ok &= Save(diagram, folder, name);
    }
    // A new network's lines all pass near the centre: their labels crowd there.
    BuildNetwork("2:10:2");
    const NetworkCopy fresh = CopyNetwork();
    input.network = &fresh;
    input.raster = RasterMode::Answer;
    input.firstLayerLines = true;
    QImage crowded(400, 300, QImage::Format_ARGB32);
    DrawSignalView(input, crowded);
    ok &= Save(crowded, folder, "signal_lines_new_network.png");
    // A marked neuron among the small discs of a hundred.
    BuildNetwork("2:100:2");
    DiagramOptions options;
    options.markedNeuron = 40;
    DrawNetworkDiagram(CurrentNetworkSummary(), colors, diagram, options);
    ok &= Save(diagram, folder, "netdiagram_2-100-2_marked.png");
    return ok ? 0 : 1;
}
