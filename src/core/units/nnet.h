// The network engine: the one multilayer perceptron of the program, kept as module state, and
// the plain operations on it (construction, initialisation, forward pass, backpropagation).
//
// Numbers: values are stored as float; every formula is evaluated in double and rounded to
// float when stored; a sum over a neuron's connections is s = fmaf(w, o, s) per term, in list
// order (sources from the highest index down). Activation is correctly rounded. Every fast path
// below therefore gives results bit-identical to the plain one.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kestro {

constexpr int MaxLayers = 5;
constexpr int MaxNeurons = 512;
// Enough for any split of MaxNeurons into MaxLayers fully connected layers (256 x 256 at most).
constexpr int MaxConnections = 65536;

// One entry of the layer table.
struct LayerInfo {
    int32_t count = 0;
    int32_t first = 0;
    int32_t last = 0;
};

// Statistics of absolute values: largest, smallest (starts at 999.9), mean, root mean square.
struct WeightStats {
    float max = 0;
    float min = 0;
    float average = 0;
    float rms = 0;
};

// --- Network model ---

// The number of layers (0 to 5).
int32_t LayerCount();
// The neuron count of layer i; the total neuron count for a negative i; 0 for i >= LayerCount().
int32_t LayerSize(int32_t i);
// The layer table entry of layer i (0 <= i < LayerCount()).
const LayerInfo& Layer(int32_t i);
// Empties the network: both tables become zero.
void ClearNetwork();
// Appends a layer of n neurons fully connected to the previous layer, biases drawn from
// +-biasRange and weights from +-weightRange, in the order bias, weights source by source
// (ascending), next neuron. Requires n > 0 and fewer than 5 layers.
void AddLayer(int32_t n, float biasRange, float weightRange);
// New random biases and weights (neurons ascending, each neuron's bias then its incoming list in
// list order); previous values equal the new ones; deltas and outputs become 0.
void RandomizeWeights(float biasRange, float weightRange);
// lo + (hi - lo) * k / 8000 with k = RandomInt(8001), in double, rounded to float.
float RandomUniform(float lo, float hi);
// Clears the network and builds it from a structure text such as "2:10:2" (biases +-0.01,
// weights +-0.5). The parse ends at the first number that is 0 or missing; layers that would
// exceed 5 layers or 512 neurons are left out.
void BuildNetwork(std::string_view text);

// --- Neuron access (diagram, trainer, tests) ---

float NeuronBias(int32_t i);
float NeuronPreviousBias(int32_t i);
float NeuronDelta(int32_t i);
float NeuronOutput(int32_t i);
void SetNeuronBias(int32_t i, float value);
void SetNeuronOutput(int32_t i, float value);
// Incoming list of neuron i: entry k (0 = front of the list) comes from the source
// Layer(l - 1).last - k, where l is i's layer.
int32_t IncomingCount(int32_t i);
int32_t IncomingSource(int32_t i, int32_t k);
float IncomingWeight(int32_t i, int32_t k);
float IncomingPreviousWeight(int32_t i, int32_t k);
void SetIncomingWeight(int32_t i, int32_t k, float weight, float previousWeight);
// The layer of neuron i.
int32_t NeuronLayer(int32_t i);

// A copy of every value of the network, structure included.
struct NetworkSnapshot {
    std::vector<LayerInfo> layers;
    std::vector<float> bias, previousBias, delta, output, weight, previousWeight;
};
NetworkSnapshot SaveNetwork();
void RestoreNetwork(const NetworkSnapshot& snapshot);

// The trainable values (biases, previous biases, weights, previous weights) in the engine's own
// layout, for keeping many networks of one structure and putting one back quickly: copies of
// ParameterCount() floats that only this engine, with the same structure, reads back.
int32_t ParameterCount();
void CopyParameters(float* out);
// Puts back values CopyParameters gave for the current structure; deltas and outputs stay.
void SetParameters(const float* values);

// --- Forward pass and backpropagation ---

// The float nearest to 2 / (1 + e^-s) - 1 = tanh(s / 2) (correctly rounded).
float Activation(float s);
// outputs[k] = Activation(sums[k]) for k < count.
void ActivationMany(const float* sums, float* outputs, int count);
// Computes every neuron's output, neurons in ascending order.
void ForwardPass();
// Writes x and y into the biases of neurons 0 and 1, runs the forward pass and returns the index
// (within the output layer) of the highest output, the lower index on a tie; maxOutput receives
// that output. An empty network returns 0 and leaves maxOutput unchanged.
int32_t Evaluate(float x, float y, float& maxOutput);
// Sets the output deltas for class c and returns the mean squared output error.
float OutputError(int32_t classIndex);
// delta(i) = (1 - o^2) * sum over i's outgoing list of weight * delta(target) / 2.
void HiddenDelta(int32_t i);
// v = v + 2 ni delta(i) x + alpha (v - p) for the bias (x = 1) and each incoming weight
// (x = source output); then p = the old v.
void UpdateNeuron(int32_t i, float ni, float alpha);
// One backpropagation step; returns whether the sample was answered right before the step.
bool TrainSample(int32_t classIndex, float x, float y, float ni, float alpha);
// The same step written as the plain sequence of the operations above (reference for tests and
// benchmarks of the fast path).
bool TrainSamplePlain(int32_t classIndex, float x, float y, float ni, float alpha);
// Sign pattern of the net inputs of layer 1 for the most recent Evaluate, first neuron in the
// most significant bit (doubling in 32 bits: for more than 31 neurons the high bits fall off).
int32_t HiddenRegionCode();
// Statistics of the absolute biases and absolute incoming weights of one layer; both all zero
// for a layer outside the network or without neurons.
void LayerWeightStats(int32_t layer, WeightStats& biasStats, WeightStats& weightStats);

// --- Many points at once ---

// What to compute for each of many points; the optional arrays may be null.
struct PointBatch {
    const float* x = nullptr;
    const float* y = nullptr;
    int count = 0;
    int32_t* winners = nullptr;        // Evaluate's result
    float* maxOutputs = nullptr;       // Evaluate's maxOutput
    const int32_t* classes = nullptr;  // with errors: the class given to OutputError
    float* errors = nullptr;           // OutputError(classes[p])
    int32_t* regionCodes = nullptr;    // HiddenRegionCode()
};
// Evaluates every point of the batch as Evaluate (and OutputError, HiddenRegionCode) would,
// point after point, with bit-identical results; afterwards the network is in the state the
// last point's scalar calls leave. An empty network gives winners 0 and leaves the rest.
void EvaluateBatch(const PointBatch& batch);
// The same, one point after another through the scalar operations (reference).
void EvaluateBatchPlain(const PointBatch& batch);

// Every point (x[c], y[r]) of a grid of columns x rows; the results of point (c, r) at index
// r * columns + c. The optional arrays may be null.
struct GridBatch {
    const float* x = nullptr;
    // Activation(x[c]) for every column (ActivationMany), or null to have them computed
    const float* xActivations = nullptr;
    int columns = 0;
    const float* y = nullptr;
    int rows = 0;
    int32_t* winners = nullptr;      // Evaluate's result
    float* maxOutputs = nullptr;     // Evaluate's maxOutput
    int32_t* regionCodes = nullptr;  // HiddenRegionCode()
};
// Evaluates every point of the grid as Evaluate and HiddenRegionCode would, bit for bit, and
// changes nothing: several threads may evaluate parts of one grid at once while the network is
// left alone. An empty network gives winners and region codes 0 and leaves maxOutputs.
void EvaluateGrid(const GridBatch& grid);

// Whether the vector paths (AVX2 and FMA, or AVX-512, chosen at run time) may be used; tests
// switch them off to compare. Returns whether they are in use after the call.
bool SetVectorPathsEnabled(bool enabled);

// The instruction sets the engine's paths are built for, in rising order.
enum class EnginePath { Portable, Avx2, Avx512 };
// Uses the widest path up to limit that this processor has, and returns it (tests compare the
// paths with it; SetVectorPathsEnabled(true) is SetEnginePath(EnginePath::Avx512)).
EnginePath SetEnginePath(EnginePath limit);
EnginePath CurrentEnginePath();

}  // namespace kestro
