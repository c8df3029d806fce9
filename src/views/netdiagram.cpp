#include "views/netdiagram.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "core/units/errors.h"
#include "core/units/uu.h"
#include "views/neuronview.h"
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

int DiscRadius(int layerSize) {
    // Rows DiagramRow(j, n) lie 200 / n apart; discs of 9 fit up to 11 neurons.
    if (layerSize <= 11)
        return 9;
    // Half the spacing less one: neighbours stay apart and the last disc ends above row 200
    // (a radius of 0 is a single pixel).
    return std::max(0, NeuronBand / (2 * layerSize) - 1);
}

namespace {

// The first neuron index of every layer of the summary.
void FirstNeurons(const NetworkSummary& network, int32_t first[MaxLayers]) {
    int32_t next = 0;
    for (int i = 0; i < network.layerCount; ++i) {
        first[i] = next;
        next += network.layerSizes[i];
    }
}

// Connections coloured by a value per weight (in the order of NetworkValues: neuron after
// neuron, each incoming list in list order): by its sign, and the larger it is against the
// largest, the wider and more opaque the line.
void DrawValuedConnections(const NetworkSummary& network, const std::vector<float>& values,
                           const int column[MaxLayers], QImage& image) {
    float largest = 0;
    for (float w : values)
        largest = std::max(largest, std::fabs(w));
    if (largest <= 0)
        return;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    size_t next = 0;
    for (int i = 1; i < network.layerCount; ++i)
        for (int j = 0; j < network.layerSizes[i]; ++j) {
            const int y = DiagramRow(j, network.layerSizes[i]);
            const int sources = network.layerSizes[i - 1];
            for (int k = 0; k < sources; ++k, ++next) {
                if (next >= values.size())
                    return;
                const float w = values[next];
                // entry k of the list comes from the previous layer's neuron sources - 1 - k
                const int py = DiagramRow(sources - 1 - k, sources);
                const double strength = std::fabs(w) / largest;
                QColor color = QColor::fromRgba(w >= 0 ? PositiveWeightColor : NegativeWeightColor);
                color.setAlphaF(0.25 + 0.75 * strength);
                painter.setPen(QPen(color, 0.5 + 3.0 * strength));
                painter.drawLine(QPointF(column[i - 1], py), QPointF(column[i], y));
            }
        }
}

// The discs of one presentation: filled with the colour of each neuron's output, ringed in the
// colour of its delta's sign, the ring the wider the larger the delta against the largest.
void DrawPresentationDiscs(const NetworkSummary& network, const PresentationRecord& step,
                           const int column[MaxLayers], QImage& image) {
    float largest = 0;
    for (float d : step.delta)
        largest = std::max(largest, std::fabs(d));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    size_t neuron = 0;
    for (int i = 0; i < network.layerCount; ++i) {
        const int r = DiscRadius(network.layerSizes[i]);
        for (int j = 0; j < network.layerSizes[i]; ++j, ++neuron) {
            if (neuron >= step.output.size() || neuron >= step.delta.size())
                return;
            const QPointF centre(column[i], DiagramRow(j, network.layerSizes[i]));
            painter.setPen(Qt::NoPen);
            // an output neuron in the colour of the class it answers at +1
            const int32_t plusClass = PlusClassOf(i, network.layerCount, j);
            painter.setBrush(QColor::fromRgba(NeuronOutputColor(step.output[neuron], plusClass)));
            painter.drawEllipse(centre, r, r);
            const float d = step.delta[neuron];
            const double strength = largest > 0 ? std::fabs(d) / largest : 0;
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(QColor::fromRgba(d >= 0 ? PositiveDeltaColor : NegativeDeltaColor),
                                1.0 + 3.0 * strength));
            painter.drawEllipse(centre, r + 1.0, r + 1.0);
        }
    }
}

// The ring around one neuron's disc: a band of MarkedNeuronColor over a wider black band, so
// that it shows on light and dark faces and beside red, blue and yellow. A small disc is also
// filled in the colour, which tells it from the neighbours inside its ring.
void DrawNeuronMarker(const NetworkSummary& network, int32_t neuron, const int column[MaxLayers],
                      QImage& image) {
    int32_t first = 0;
    for (int i = 0; i < network.layerCount; first += network.layerSizes[i], ++i) {
        const int32_t n = network.layerSizes[i];
        if (neuron < first || neuron >= first + n)
            continue;
        const int r = DiscRadius(n);
        // the centre of the disc's middle pixel
        const QPointF centre(column[i] + 0.5, DiagramRow(neuron - first, n) + 0.5);
        const double radius = MarkerRadius(r);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor::fromRgba(OpaqueBlack), 4.0));
        painter.drawEllipse(centre, radius, radius);
        painter.setPen(QPen(QColor::fromRgba(MarkedNeuronColor), 2.0));
        painter.drawEllipse(centre, radius, radius);
        if (r <= 2) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor::fromRgba(MarkedNeuronColor));
            painter.drawEllipse(centre, 1.5, 1.5);
        }
        return;
    }
}

// Distance from (x, y) to the segment a-b.
double SegmentDistance(double x, double y, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0 ? ((x - ax) * dx + (y - ay) * dy) / length2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double cx = ax + t * dx - x, cy = ay + t * dy - y;
    return std::sqrt(cx * cx + cy * cy);
}

}  // namespace

DiagramHit HitTestDiagram(const NetworkSummary& network, int width, int x, int y) {
    DiagramHit hit;
    int32_t first[MaxLayers] = {};
    FirstNeurons(network, first);
    // Discs first: they lie over the ends of the connections.
    for (int i = 0; i < network.layerCount; ++i) {
        const int cx = DiagramColumn(i, network.layerCount, width);
        const int r = DiscRadius(network.layerSizes[i]);
        for (int j = 0; j < network.layerSizes[i]; ++j) {
            const int cy = DiagramRow(j, network.layerSizes[i]);
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= (r + 1) * (r + 1)) {
                hit.neuron = first[i] + j;
                return hit;
            }
        }
    }
    double nearest = 3.0;  // a connection is hit within 3 pixels
    for (int i = 1; i < network.layerCount; ++i) {
        const int cx = DiagramColumn(i, network.layerCount, width);
        const int px = DiagramColumn(i - 1, network.layerCount, width);
        const int sources = network.layerSizes[i - 1];
        for (int j = 0; j < network.layerSizes[i]; ++j) {
            const int cy = DiagramRow(j, network.layerSizes[i]);
            for (int k = 0; k < sources; ++k) {
                const int py = DiagramRow(sources - 1 - k, sources);
                const double d = SegmentDistance(x, y, cx, cy, px, py);
                if (d < nearest) {
                    nearest = d;
                    hit.neuron = first[i] + j;
                    hit.incoming = k;
                }
            }
        }
    }
    return hit;
}

void DrawNetworkDiagram(const NetworkSummary& network, const DiagramColors& colors, QImage& image,
                        const DiagramOptions& options) {
    // Laid out in logical pixels; the canvas, the stippled lines and the painter of the weight
    // colours scale them to the image's pixel ratio.
    Canvas canvas(image);
    const int width = canvas.Width(), height = canvas.Height();
    if (width <= 0 || height <= 0)
        return;
    const int layers = network.layerCount;
    KESTRO_ASSERT(layers >= 0 && layers <= MaxLayers);
    canvas.FillRect(0, 0, width, height, colors.buttonFace);

    int column[MaxLayers] = {};
    for (int i = 0; i < layers; ++i) {
        KESTRO_ASSERT(network.layerSizes[i] >= 0);
        column[i] = DiagramColumn(i, layers, width);
    }

    for (const TextPlacement& text : NetworkDiagramTexts(network, width))
        canvas.TextOut(text, colors.windowText);

    // Coloured connections take the place of the stippled ones.
    const bool coloured =
        options.step != nullptr || (options.weightColors && options.network != nullptr);
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
            if (i > 0 && !coloured) {
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

    if (options.step != nullptr)
        DrawValuedConnections(network, options.step->weightChange, column, image);
    else if (options.weightColors && options.network != nullptr)
        DrawValuedConnections(network, options.network->weight, column, image);

    if (options.step != nullptr)
        DrawPresentationDiscs(network, *options.step, column, image);
    else
        for (int i = 0; i < layers; ++i) {
            const int r = DiscRadius(network.layerSizes[i]);
            for (int j = 0; j < network.layerSizes[i]; ++j) {
                const int x = column[i], y = DiagramRow(j, network.layerSizes[i]);
                canvas.Ellipse(x - r, y - r, x + r + 1, y + r + 1, OpaqueBlack, 0xFFFFFFFF);
            }
        }
    if (options.markedNeuron >= 0)
        DrawNeuronMarker(network, options.markedNeuron, column, image);
}

}  // namespace kestro
