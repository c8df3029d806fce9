// What single neurons do over the plane: a neuron's output as a picture (the neuron view of the
// drawing area and the small picture shown over the network diagram), and the boundaries of
// the first hidden layer's neurons, the curves where their net input changes sign.
#pragma once

#include <QImage>
#include <QRect>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/units/glowny/netcopy.h"

namespace kestro {

// The class (0-based) whose colour a neuron's output of +1 is drawn in, for neuron `index` of
// layer `layer` of a network of layerCount layers: an output neuron answers its own class at
// +1, so the output layer's neuron j gives class j; every other neuron gives class 0.
int32_t PlusClassOf(int32_t layer, int32_t layerCount, int32_t index);
// PlusClassOf for neuron i of the copy.
int32_t NeuronPlusClass(const NetworkCopy& network, int32_t neuron);

// The colour of an output v in [-1, 1]: the colour of class plusClass shaded by v above 0, that
// of the other class (class 1 for plusClass 0, else class 0) shaded by -v below 0, black at 0.
// With plusClass 0, +1 reads as "Class 1" and -1 as "Class 2".
uint32_t NeuronOutputColor(float v, int32_t plusClass = 0);

// Every pixel of the image from the output of one neuron, in the colours of its
// NeuronPlusClass, one sample per cellSize x cellSize cell at its top-left pixel (the samples
// the raster of the signal view takes); in device pixels, whatever the image's pixel ratio.
void DrawNeuronRaster(const NetworkCopy& network, int32_t neuron, int cellSize, QImage& image);

// A size x size picture of the neuron's output over the plane in cells of cellSize pixels
// (device pixels; the caller sets its device pixel ratio).
QImage NeuronPicture(const NetworkCopy& network, int32_t neuron, int size, int cellSize = 1);

// A label to place beside a boundary: the size of its box and the points of its boundary,
// nearest to the centre first (logical pixels).
struct BoundaryLabel {
    QSize size;
    std::vector<QPoint> anchors;
};

// The box of every label, in order. A box goes beside an anchor, 2 or 3 pixels off: up-right
// of it, else down-right, up-left, down-left. Its place is the first, trying the anchors in
// order, that lies inside the area, keeps a pixel clear of every earlier box and whose box
// grown by a pixel is not `blocked`; else the first that only keeps clear of the earlier boxes;
// else up-right of the first anchor, moved inside the area. Long anchor lists are tried at
// evenly spread entries (at most a few hundred), so that many labels stay cheap.
std::vector<QRect> PlaceBoundaryLabels(const std::vector<BoundaryLabel>& labels, QSize area,
                                       const std::function<bool(const QRect&)>& blocked);

// The box behind a boundary's label, dark so that the label reads on every raster colour.
constexpr uint32_t BoundaryLabelBoxColor = 0xFF202020;

// A boundary's label as placed: its box (logical pixels) and its text.
struct PlacedLabel {
    QRect box;
    std::string text;
};

// Over the image, the boundary of every neuron of the first hidden layer: the pixels whose net
// input b + w f(x) + w' f(y) (f the input neurons' activation) differs in sign from that of
// the pixel right of or below them, in the given colour. The boundaries are one device pixel
// wide at any pixel ratio. Returns each boundary's label, its neuron's number in the layer
// (1 first), placed near the point of the boundary closest to the centre by
// PlaceBoundaryLabels: where a place exists, the boxes cover no boundary and no other box.
std::vector<PlacedLabel> DrawFirstLayerLines(const NetworkCopy& network, uint32_t argb,
                                             QImage& image);

// The labels in the given colour, each on its dark box, in the views' bold font (their logical
// size at any pixel ratio).
void DrawBoundaryLabels(const std::vector<PlacedLabel>& labels, uint32_t argb, QImage& image);

// DrawFirstLayerLines, then its labels.
void DrawFirstLayerBoundaries(const NetworkCopy& network, uint32_t argb, QImage& image);

}  // namespace kestro
