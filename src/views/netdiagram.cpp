#include "views/netdiagram.h"

#include <QGuiApplication>
#include <QPalette>

#include "core/units/errors.h"
#include "core/units/uu.h"
#include "views/stipple.h"

namespace kestro {

namespace {

// A row label of the statistics block, written at x = 2.
struct DiagramLabel {
    const char* text;
    int y;
    bool bold;
};

// Headings first (bold), then the row labels (regular).
constexpr DiagramLabel DiagramLabels[] = {
    {"Abs. Weights", 200, true}, {"Abs. Bias", 264, true}, {"Max.:", 212, false},
    {"Min.:", 224, false},       {"AAM:", 236, false},     {"RMS:", 248, false},
    {"Max.:", 276, false},       {"Min.:", 288, false},    {"AAM:", 300, false},
    {"RMS:", 312, false},
};
static_assert(sizeof DiagramLabels / sizeof DiagramLabels[0] == 10);

// The neuron rows span 0..200.
constexpr int NeuronBand = 200;

// The pattern of connections and arrowheads: transparent, opaque black, transparent.
StipplePattern ConnectionPattern() {
    StipplePattern pattern;
    pattern.colors[0] = 0x00000000;
    pattern.colors[1] = 0xFF000000;
    pattern.colors[2] = 0x00000000;
    pattern.count = 3;
    return pattern;
}

}  // namespace

NetworkSummary CurrentNetworkSummary() {
    NetworkSummary summary;
    summary.layerCount = LayerCount();
    KESTRO_ASSERT(summary.layerCount >= 0 && summary.layerCount <= MaxLayers);
    for (int i = 0; i < summary.layerCount; ++i) {
        summary.layerSizes[i] = LayerSize(i);
        if (i > 0)
            LayerWeightStats(i, summary.biases[i], summary.weights[i]);
    }
    return summary;
}

DiagramColors SystemDiagramColors() {
    DiagramColors colors;
    if (qGuiApp != nullptr) {
        const QPalette palette = QGuiApplication::palette();
        colors.buttonFace = palette.color(QPalette::Button).rgb();
        colors.windowText = palette.color(QPalette::WindowText).rgb();
    }
    return colors;
}

int MulDiv(int a, int b, int c) {
    KESTRO_ASSERT(c != 0);
    const int64_t product = static_cast<int64_t>(a) * b;
    const int64_t magnitude = product < 0 ? -product : product;
    const int64_t divisor = c < 0 ? -static_cast<int64_t>(c) : c;
    // |a b| / |c| rounded half up, then the sign of the quotient
    const int64_t quotient = (2 * magnitude + divisor) / (2 * divisor);
    return static_cast<int>((product < 0) != (c < 0) ? -quotient : quotient);
}

int DiagramColumn(int layer, int layerCount, int width) {
    return MulDiv(2 * layer + 1, width, 2 * layerCount);
}

int DiagramRow(int neuron, int layerSize) {
    return MulDiv(2 * neuron + 1, NeuronBand, 2 * layerSize);
}

std::vector<TextPlacement> NetworkDiagramTexts(const NetworkSummary& network, int width) {
    std::vector<TextPlacement> texts;
    for (const DiagramLabel& label : DiagramLabels)
        texts.push_back({label.text, 2, label.y, label.bold});
    for (int i = 1; i < network.layerCount; ++i) {
        const int x = DiagramColumn(i, network.layerCount, width);
        const WeightStats& w = network.weights[i];
        const WeightStats& b = network.biases[i];
        const float weightValues[] = {w.max, w.min, w.average, w.rms};
        const float biasValues[] = {b.max, b.min, b.average, b.rms};
        for (int q = 0; q < 4; ++q) {
            for (const auto& [value, row] : {std::pair{weightValues[q], WeightStatsRows[q]},
                                             std::pair{biasValues[q], BiasStatsRows[q]}}) {
                std::string text = FormatFixed(0, 5, value);
                const int left = x - TextWidth(text, false) / 2;
                texts.push_back({std::move(text), left, row, false});
            }
        }
    }
    return texts;
}

void DrawNetworkDiagram(const NetworkSummary& network, const DiagramColors& colors, QImage& image) {
    const int width = image.width(), height = image.height();
    if (width <= 0 || height <= 0)
        return;
    const int layers = network.layerCount;
    KESTRO_ASSERT(layers >= 0 && layers <= MaxLayers);
    Canvas canvas(image);
    canvas.FillRect(0, 0, width, height, colors.buttonFace);

    int column[MaxLayers] = {};
    for (int i = 0; i < layers; ++i) {
        KESTRO_ASSERT(network.layerSizes[i] >= 0);
        column[i] = DiagramColumn(i, layers, width);
    }

    for (const TextPlacement& text : NetworkDiagramTexts(network, width))
        canvas.TextOut(text, colors.windowText);

    const StipplePattern pattern = ConnectionPattern();
    // The input and output lines store the colour value 0 (black; its alpha plays no part on
    // the screen).
    canvas.SetPen(0x00000000);
    for (int i = 0; i < layers; ++i) {
        const int x = column[i];
        for (int j = 0; j < network.layerSizes[i]; ++j) {
            const int y = DiagramRow(j, network.layerSizes[i]);
            double position = 0;
            if (i == layers - 1) {
                // Output: a line to the right edge and an arrowhead touching it.
                canvas.MoveTo(x, y);
                canvas.LineTo(width, y);
                position = 0;
                StippledLine(image, width - 6, y - 5, width - 1, y, pattern, 0.2, position);
                position = 0;
                StippledLine(image, width - 6, y + 5, width - 1, y, pattern, 0.2, position);
            }
            if (i > 0) {
                // Connections from every neuron of the previous layer; the pattern runs from 0
                // to 2 over the line: transparent at both neurons, opaque black in the middle.
                const int px = column[i - 1];
                for (int k = 0; k < network.layerSizes[i - 1]; ++k) {
                    const int py = DiagramRow(k, network.layerSizes[i - 1]);
                    const float d = Distance(static_cast<float>(x), static_cast<float>(y),
                                             static_cast<float>(px), static_cast<float>(py));
                    position = 0;
                    StippledLine(image, x, y, px, py, pattern, 2.0 / static_cast<double>(d),
                                 position);
                }
            }
            if (i == 0) {
                // Input: a line from the left edge and an arrowhead touching the disc.
                canvas.MoveTo(x, y);
                canvas.LineTo(-1, y);
                position = 0;
                StippledLine(image, x - 14, y - 5, x - 9, y, pattern, 0.2, position);
                position = 0;
                StippledLine(image, x - 14, y + 5, x - 9, y, pattern, 0.2, position);
            }
        }
    }

    for (int i = 0; i < layers; ++i)
        for (int j = 0; j < network.layerSizes[i]; ++j) {
            const int x = column[i], y = DiagramRow(j, network.layerSizes[i]);
            canvas.Ellipse(x - 9, y - 9, x + 10, y + 10, OpaqueBlack, 0xFFFFFFFF);
        }
}

}  // namespace kestro
