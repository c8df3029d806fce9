// The network diagram: one column of neurons per layer with the connections between neighbouring
// layers, arrows for the inputs and outputs, and the statistics of the absolute weights and
// biases of every non-input layer below it.
#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

#include "core/units/glowny/netcopy.h"
#include "core/units/glowny/presentation.h"
#include "core/units/nnet.h"
#include "views/canvas.h"

namespace kestro {

// What the diagram shows of a network: layer sizes and, for layers 1 and up, the statistics of
// the absolute weights entering the layer and of the absolute biases of its neurons.
struct NetworkSummary {
    int32_t layerCount = 0;
    int32_t layerSizes[MaxLayers] = {};
    WeightStats weights[MaxLayers] = {};
    WeightStats biases[MaxLayers] = {};
};

// The summary of the engine's current network.
NetworkSummary CurrentNetworkSummary();

// The two system colours of the diagram, opaque ARGB.
struct DiagramColors {
    uint32_t buttonFace = 0xFFF0F0F0;
    uint32_t windowText = 0xFF000000;
};

// The application palette's button face and window text; the defaults above when no
// application exists.
DiagramColors SystemDiagramColors();

// a b / c rounded to the nearest integer, halves away from zero (c must not be 0).
int MulDiv(int a, int b, int c);
// The column of layer i of L on a diagram w pixels wide: MulDiv(2i + 1, w, 2L).
int DiagramColumn(int layer, int layerCount, int width);
// The row of neuron j of a layer of n: MulDiv(2j + 1, 200, 2n), spread over rows 0..200.
int DiagramRow(int neuron, int layerSize);

// The rows of the statistics (Max, Min, AAM, RMS) of the weights and of the biases.
constexpr int WeightStatsRows[] = {212, 224, 236, 248};
constexpr int BiasStatsRows[] = {276, 288, 300, 312};
static_assert(sizeof WeightStatsRows / sizeof WeightStatsRows[0] == 4);
static_assert(sizeof BiasStatsRows / sizeof BiasStatsRows[0] == 4);

// Every text of the diagram in drawing order: the two bold headings, the eight row labels, then
// for each layer from 1 its four weight and four bias values, FormatFixed(0, 5, value) centred
// on the layer's column (left edge = column - width div 2).
std::vector<TextPlacement> NetworkDiagramTexts(const NetworkSummary& network, int width);

// What the diagram shows beside the network's shape; off by default.
struct DiagramOptions {
    // Connections coloured by the sign of their weights and drawn stronger for larger ones
    // (needs network).
    bool weightColors = false;
    const NetworkCopy* network = nullptr;
    // One presentation (a Step): each neuron filled with the colour of its output (an output
    // neuron's +1 in its own class's colour, as in NeuronOutputColor) and ringed by the sign and
    // size of its delta, each connection coloured by the sign and size of its weight's change.
    // Takes the place of the weight colours.
    const PresentationRecord* step = nullptr;
    // The neuron the drawing area's neuron view shows (its index in the whole network, as in
    // DiagramHit), ringed in MarkedNeuronColor over a dark band; -1 (or any index outside the
    // network) marks none.
    int32_t markedNeuron = -1;
};

// The colour of the ring around the marked neuron: a green that neither the button face nor
// the weight, delta and output colours use.
constexpr uint32_t MarkedNeuronColor = 0xFF00D000;

// The radius of the marker's ring around a disc of radius r, clear of the Step's delta ring:
// r + 5.
constexpr double MarkerRadius(int discRadius) {
    return discRadius + 5.0;
}

// The colours of positive and negative deltas.
constexpr uint32_t PositiveDeltaColor = 0xFFE00000;
constexpr uint32_t NegativeDeltaColor = 0xFF0040E0;

// The colours of positive and negative weights.
constexpr uint32_t PositiveWeightColor = 0xFFD04010;
constexpr uint32_t NegativeWeightColor = 0xFF1060D0;

// The radius of a layer's neuron discs: 9, or less for a layer so large that discs of 9 would
// merge into a bar and reach into the statistics below the neuron band.
int DiscRadius(int layerSize);

// Full redraw of the diagram: background, texts, input and output lines with arrowheads,
// connections fading in and out (or, with weight colours, in their weight's colour), the
// neuron discs over the ends of all lines, and the marked neuron's ring over everything.
void DrawNetworkDiagram(const NetworkSummary& network, const DiagramColors& colors, QImage& image,
                        const DiagramOptions& options = {});

// What lies under a point of the diagram: a neuron, a connection (neuron and the entry of its
// incoming list), or nothing.
struct DiagramHit {
    int32_t neuron = -1;
    int32_t incoming = -1;  // -1: the neuron itself
};
DiagramHit HitTestDiagram(const NetworkSummary& network, int width, int x, int y);

}  // namespace kestro
