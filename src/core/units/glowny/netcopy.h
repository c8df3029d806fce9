// The network's parameters copied out of the engine, and the outputs of any of its neurons
// computed from the copy, bit for bit as the engine computes them (each sum fmaf in list order,
// the correctly rounded Activation), without touching the engine's own state. The neuron
// pictures, the neuron view and the saturation test read the network through it.
#pragma once

#include <cstdint>
#include <vector>

#include "core/units/nnet.h"

namespace kestro {

struct NetworkCopy {
    int32_t layerCount = 0;
    LayerInfo layers[MaxLayers] = {};
    std::vector<float> bias;           // by neuron
    std::vector<int32_t> firstWeight;  // by neuron: where its incoming list starts in weight
    std::vector<float> weight;         // every incoming list in neuron order, each in list order
    int32_t Total() const { return static_cast<int32_t>(bias.size()); }
    // The incoming list of neuron i (IncomingCount(i) entries, front first).
    const float* Incoming(int32_t i) const { return weight.data() + firstWeight[i]; }
};

// A copy of the engine's current network.
NetworkCopy CopyNetwork();

// The layer of neuron i of the copy.
int32_t CopyLayerOf(const NetworkCopy& network, int32_t i);

// The output of every neuron of layers 0 to lastLayer for the input (x, y); outputs has room
// for network.Total() values, and entries of later layers are left alone.
void ForwardCopy(const NetworkCopy& network, float x, float y, int32_t lastLayer, float* outputs);

// The output of one neuron at many points: out[p] for the input (x[p], y[p]), p < count.
// Computed layer by layer over the points, so that the activations run over whole arrays.
void NeuronOutputs(const NetworkCopy& network, int32_t neuron, const float* x, const float* y,
                   int32_t count, float* out);

}  // namespace kestro
