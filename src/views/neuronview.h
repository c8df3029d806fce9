// What single neurons do over the plane: a neuron's output as a picture (the neuron view of the
// drawing area and the small picture shown over the network diagram), and the boundaries of
// the first hidden layer's neurons, the curves where their net input changes sign.
#pragma once

#include <QImage>
#include <cstdint>

#include "core/units/glowny/netcopy.h"

namespace kestro {

// The colour of an output v in [-1, 1]: the class-1 colour shaded by v above 0, the class-2
// colour shaded by -v below 0, black at 0 (so +1 reads as "Class 1", -1 as "Class 2").
uint32_t NeuronOutputColor(float v);

// Every pixel of the image from the output of one neuron, one sample per cellSize x cellSize
// cell at its top-left pixel (the samples the raster of the signal view takes); in device
// pixels, whatever the image's pixel ratio.
void DrawNeuronRaster(const NetworkCopy& network, int32_t neuron, int cellSize, QImage& image);

// A size x size picture of the neuron's output over the plane in cells of cellSize pixels
// (device pixels; the caller sets its device pixel ratio).
QImage NeuronPicture(const NetworkCopy& network, int32_t neuron, int size, int cellSize = 1);

// Over the image, the boundary of every neuron of the first hidden layer: the pixels whose net
// input b + w f(x) + w' f(y) (f the input neurons' activation) differs in sign from that of
// the pixel right of or below them, in the given colour, and each boundary labelled with its
// neuron's number in the layer (1 first) near the point of it closest to the centre. The
// boundaries are one device pixel wide at any pixel ratio; the labels keep their logical size.
void DrawFirstLayerBoundaries(const NetworkCopy& network, uint32_t argb, QImage& image);

}  // namespace kestro
