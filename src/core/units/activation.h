// Internal kernels of the network engine: the correctly rounded activation and the vector paths.
#pragma once

#include <cstdint>

#include "core/units/nnet.h"

namespace kestro {

// The float nearest to tanh(s / 2): a double kernel accurate to a few ulps, with the rare results
// near a midpoint between two floats decided in long double.
float ActivationScalar(float s);

// Whether this processor has AVX2 and FMA.
bool CpuHasVectorPaths();
// The widest engine path this processor has (AVX-512 needs F, VL, DQ and BW).
EnginePath CpuEnginePath();

// outputs[k] = ActivationScalar(sums[k]), four lanes at a time; requires CpuHasVectorPaths().
void ActivationManyVector(const float* sums, float* outputs, int count);
// The same with eight lanes per vector on AVX-512; requires CpuEnginePath() == Avx512.
void ActivationManyVector512(const float* sums, float* outputs, int count);

// What the batch evaluation reads of the network.
struct BatchNetworkView {
    const LayerInfo* layers;
    int32_t layerCount;
    const int32_t* weightBase;
    const float* bias;
    const float* weight;
};

// EvaluateBatch with eight (AVX2) or sixteen (AVX-512) points per vector; requires that path and
// a non-empty network. Does not change the network.
void EvaluateBatchVector(const BatchNetworkView& net, const PointBatch& batch, EnginePath path);
// EvaluateGrid on that path, with the activations of the grid's x values given.
void EvaluateGridVector(const BatchNetworkView& net, const GridBatch& grid,
                        const float* xActivations, EnginePath path);

}  // namespace kestro
