#include "core/units/nnet.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "core/units/activation.h"
#include "core/units/activation_kernels.h"
#include "core/units/errors.h"
#include "core/units/random.h"
#include "core/units/uu.h"

namespace kestro {

namespace {

// The vector paths read and write whole vectors of eight floats at the end of a layer; the
// tables are padded so that those stay inside them.
constexpr int VectorPadding = 16;

// The one network. Layer k >= 1 keeps its incoming weights as a matrix [t][i]: t is the position
// in the incoming list (source Layer(k - 1).last - t), i the neuron's index within layer k. Each
// weight is the one connection that both the target's incoming list and the source's outgoing
// list refer to.
struct NetworkState {
    LayerInfo layers[MaxLayers];
    int32_t layerCount;
    int32_t total;
    int32_t weightBase[MaxLayers];
    int32_t weightTotal;
    int32_t layerOf[MaxNeurons];
    alignas(32) float bias[MaxNeurons + VectorPadding];
    alignas(32) float previousBias[MaxNeurons + VectorPadding];
    alignas(32) float delta[MaxNeurons + VectorPadding];
    alignas(32) float output[MaxNeurons + VectorPadding];
    alignas(32) float weight[MaxConnections + VectorPadding];
    alignas(32) float previousWeight[MaxConnections + VectorPadding];
};

NetworkState net{};
EnginePath enginePath = CpuEnginePath();
bool vectorPathsEnabled = enginePath != EnginePath::Portable;

// The fixed-size training kernels leave the deltas of the input neurons, which nothing in a
// presentation uses, to be worked out when something reads them: from the layer above's deltas,
// the weights before the step (the previous weights after it) and the inputs' outputs of that
// presentation, kept here. Whatever reads or changes those values first calls
// MaterializeInputDeltas.
struct PendingInputDeltas {
    bool pending = false;
    float outputs[2] = {};
};
PendingInputDeltas pendingInputDeltas;

// Index of the weight of entry t of neuron i's incoming list (i in layer k >= 1).
inline int WeightIndex(int k, int i, int t);

void MaterializeInputDeltas() {
    if (!pendingInputDeltas.pending)
        return;
    pendingInputDeltas.pending = false;
    const LayerInfo& L = net.layers[0];
    const LayerInfo& target = net.layers[1];
    for (int i = L.first; i <= L.last; ++i) {
        const int t = L.last - i;
        float s = 0;
        for (int j = target.last; j >= target.first; --j)
            s = std::fmaf(net.previousWeight[WeightIndex(1, j, t)], net.delta[j], s);
        const double o = pendingInputDeltas.outputs[i];
        net.delta[i] = static_cast<float>((1.0 - o * o) * static_cast<double>(s) / 2.0);
    }
}

// The kernels of TrainSample and Evaluate, chosen whenever the structure or the path changes.
using TrainKernel = bool (*)(int32_t, float, float, float, float);
using EvaluateKernel = int32_t (*)(float, float, float&);
void SelectKernels();

const float ActivationGain = 1.0f;

inline int WeightIndex(int k, int i, int t) {
    const LayerInfo& L = net.layers[k];
    return net.weightBase[k] + t * L.count + (i - L.first);
}

void CheckNeuron(int32_t i) {
    KESTRO_ASSERT(i >= 0);
    KESTRO_ASSERT(i < net.total);
}

// v_new = v + 2 ni delta x + alpha (v - p), in double; then p = v and v = v_new.
inline void UpdateValue(float& v, float& p, double twoNiDelta, double x, double alpha) {
    const double old = v;
    const double updated = old + twoNiDelta * x + alpha * (old - static_cast<double>(p));
    p = v;
    v = static_cast<float>(updated);
}

}  // namespace

int32_t LayerCount() {
    return net.layerCount;
}

int32_t LayerSize(int32_t i) {
    if (i < 0)
        return net.total;
    if (i >= net.layerCount)
        return 0;
    return net.layers[i].count;
}

const LayerInfo& Layer(int32_t i) {
    KESTRO_ASSERT(i >= 0 && i < net.layerCount);
    return net.layers[i];
}

void ClearNetwork() {
    pendingInputDeltas.pending = false;
    std::memset(static_cast<void*>(&net), 0, sizeof net);
    SelectKernels();
}

float RandomUniform(float lo, float hi) {
    const int32_t k = RandomInt(8001);
    return static_cast<float>(static_cast<double>(lo) +
                              (static_cast<double>(hi) - static_cast<double>(lo)) * k / 8000.0);
}

void AddLayer(int32_t n, float biasRange, float weightRange) {
    MaterializeInputDeltas();
    KESTRO_ASSERT(n > 0);
    KESTRO_ASSERT(net.layerCount >= 0);
    KESTRO_ASSERT(net.layerCount < MaxLayers);
    const int k = net.layerCount;
    const int first = k == 0 ? 0 : net.layers[k - 1].last + 1;
    const int previousCount = k == 0 ? 0 : net.layers[k - 1].count;
    KESTRO_ASSERT(first + n <= MaxNeurons);
    KESTRO_ASSERT(net.weightTotal + n * previousCount <= MaxConnections);

    net.layerCount = k + 1;
    net.layers[k] = {n, first, first + n - 1};
    net.weightBase[k] = net.weightTotal;
    net.weightTotal += n * previousCount;
    for (int i = first; i <= first + n - 1; ++i) {
        net.layerOf[i] = k;
        net.bias[i] = RandomUniform(-biasRange, biasRange);
        net.previousBias[i] = net.bias[i];
        net.delta[i] = 0;
        net.output[i] = 0;
        // Sources are drawn in ascending order; each new entry goes to the front of the list,
        // so the source j ends up at list position last(k - 1) - j.
        for (int t = previousCount - 1; t >= 0; --t) {
            const int w = WeightIndex(k, i, t);
            net.weight[w] = RandomUniform(-weightRange, weightRange);
            net.previousWeight[w] = net.weight[w];
        }
    }
    net.total = first + n;
    SelectKernels();
}

void RandomizeWeights(float biasRange, float weightRange) {
    pendingInputDeltas.pending = false;
    for (int i = 0; i < net.total; ++i) {
        net.bias[i] = RandomUniform(-biasRange, biasRange);
        net.previousBias[i] = net.bias[i];
        net.delta[i] = 0;
        net.output[i] = 0;
        const int k = net.layerOf[i];
        const int sources = k == 0 ? 0 : net.layers[k - 1].count;
        for (int t = 0; t < sources; ++t) {
            const int w = WeightIndex(k, i, t);
            net.weight[w] = RandomUniform(-weightRange, weightRange);
            net.previousWeight[w] = net.weight[w];
        }
    }
}

void BuildNetwork(std::string_view text) {
    ClearNetwork();
    int pos = 1;
    int32_t n = ReadNumber(text, pos);
    while (n > 0) {
        const int previous = net.layerCount == 0 ? 0 : net.layers[net.layerCount - 1].count;
        const bool fits = net.layerCount < MaxLayers && n <= MaxNeurons - net.total &&
                          static_cast<int64_t>(n) * previous <= MaxConnections - net.weightTotal;
        if (!fits)
            break;
        AddLayer(n, 0.01f, 0.5f);
        if (static_cast<size_t>(pos) < text.size() && text[pos - 1] == ':')
            ++pos;
        n = ReadNumber(text, pos);
    }
}

float NeuronBias(int32_t i) {
    CheckNeuron(i);
    return net.bias[i];
}
float NeuronPreviousBias(int32_t i) {
    CheckNeuron(i);
    return net.previousBias[i];
}
float NeuronDelta(int32_t i) {
    MaterializeInputDeltas();
    CheckNeuron(i);
    return net.delta[i];
}
float NeuronOutput(int32_t i) {
    CheckNeuron(i);
    return net.output[i];
}
void SetNeuronBias(int32_t i, float value) {
    CheckNeuron(i);
    net.bias[i] = value;
}
void SetNeuronOutput(int32_t i, float value) {
    CheckNeuron(i);
    net.output[i] = value;
}
int32_t NeuronLayer(int32_t i) {
    CheckNeuron(i);
    return net.layerOf[i];
}

int32_t IncomingCount(int32_t i) {
    CheckNeuron(i);
    const int k = net.layerOf[i];
    return k == 0 ? 0 : net.layers[k - 1].count;
}

int32_t IncomingSource(int32_t i, int32_t k) {
    KESTRO_ASSERT(k >= 0 && k < IncomingCount(i));
    return net.layers[net.layerOf[i] - 1].last - k;
}

float IncomingWeight(int32_t i, int32_t k) {
    KESTRO_ASSERT(k >= 0 && k < IncomingCount(i));
    return net.weight[WeightIndex(net.layerOf[i], i, k)];
}

float IncomingPreviousWeight(int32_t i, int32_t k) {
    KESTRO_ASSERT(k >= 0 && k < IncomingCount(i));
    return net.previousWeight[WeightIndex(net.layerOf[i], i, k)];
}

void SetIncomingWeight(int32_t i, int32_t k, float weight, float previousWeight) {
    MaterializeInputDeltas();
    KESTRO_ASSERT(k >= 0 && k < IncomingCount(i));
    const int w = WeightIndex(net.layerOf[i], i, k);
    net.weight[w] = weight;
    net.previousWeight[w] = previousWeight;
}

NetworkSnapshot SaveNetwork() {
    MaterializeInputDeltas();
    NetworkSnapshot s;
    s.layers.assign(net.layers, net.layers + net.layerCount);
    s.bias.assign(net.bias, net.bias + net.total);
    s.previousBias.assign(net.previousBias, net.previousBias + net.total);
    s.delta.assign(net.delta, net.delta + net.total);
    s.output.assign(net.output, net.output + net.total);
    s.weight.assign(net.weight, net.weight + net.weightTotal);
    s.previousWeight.assign(net.previousWeight, net.previousWeight + net.weightTotal);
    return s;
}

void RestoreNetwork(const NetworkSnapshot& s) {
    pendingInputDeltas.pending = false;
    ClearNetwork();
    for (const LayerInfo& L : s.layers) {
        const int k = net.layerCount++;
        const int previousCount = k == 0 ? 0 : net.layers[k - 1].count;
        net.layers[k] = L;
        net.weightBase[k] = net.weightTotal;
        net.weightTotal += L.count * previousCount;
        for (int i = L.first; i <= L.last; ++i)
            net.layerOf[i] = k;
        net.total = L.last + 1;
    }
    KESTRO_ASSERT(static_cast<size_t>(net.total) == s.bias.size());
    KESTRO_ASSERT(static_cast<size_t>(net.weightTotal) == s.weight.size());
    std::copy(s.bias.begin(), s.bias.end(), net.bias);
    std::copy(s.previousBias.begin(), s.previousBias.end(), net.previousBias);
    std::copy(s.delta.begin(), s.delta.end(), net.delta);
    std::copy(s.output.begin(), s.output.end(), net.output);
    std::copy(s.weight.begin(), s.weight.end(), net.weight);
    std::copy(s.previousWeight.begin(), s.previousWeight.end(), net.previousWeight);
    SelectKernels();
}

int32_t ParameterCount() {
    return 2 * (net.total + net.weightTotal);
}

void CopyParameters(float* out) {
    out = std::copy(net.bias, net.bias + net.total, out);
    out = std::copy(net.previousBias, net.previousBias + net.total, out);
    out = std::copy(net.weight, net.weight + net.weightTotal, out);
    std::copy(net.previousWeight, net.previousWeight + net.weightTotal, out);
}

void SetParameters(const float* values) {
    // The pending input deltas are worked out from the previous weights about to be replaced.
    MaterializeInputDeltas();
    const float* in = values;
    std::copy(in, in + net.total, net.bias);
    in += net.total;
    std::copy(in, in + net.total, net.previousBias);
    in += net.total;
    std::copy(in, in + net.weightTotal, net.weight);
    in += net.weightTotal;
    std::copy(in, in + net.weightTotal, net.previousWeight);
}

bool SetVectorPathsEnabled(bool enabled) {
    return SetEnginePath(enabled ? EnginePath::Avx512 : EnginePath::Portable) !=
           EnginePath::Portable;
}

EnginePath SetEnginePath(EnginePath limit) {
    enginePath = std::min(limit, CpuEnginePath());
    vectorPathsEnabled = enginePath != EnginePath::Portable;
    SelectKernels();
    return enginePath;
}

EnginePath CurrentEnginePath() {
    return enginePath;
}

// --- Forward pass and backpropagation ---

float Activation(float s) {
    return ActivationScalar(s * ActivationGain);
}

void ActivationMany(const float* sums, float* outputs, int count) {
    if (enginePath == EnginePath::Avx512) {
        ActivationManyVector512(sums, outputs, count);
    } else if (vectorPathsEnabled) {
        ActivationManyVector(sums, outputs, count);
    } else {
        for (int k = 0; k < count; ++k)
            outputs[k] = ActivationScalar(sums[k]);
    }
}

void ForwardPass() {
    for (int i = 0; i < net.total; ++i) {
        float s = net.bias[i];
        const int k = net.layerOf[i];
        if (k > 0) {
            const LayerInfo& source = net.layers[k - 1];
            // s = s + weight(c) * output(j), over the incoming list (sources descending)
            for (int t = 0; t < source.count; ++t)
                s = std::fmaf(net.weight[WeightIndex(k, i, t)], net.output[source.last - t], s);
        }
        net.output[i] = Activation(s);
    }
}

namespace {

// Index within the output layer of the highest output; the lower index wins a tie.
int32_t Winner(float& maxOutput) {
    const LayerInfo& out = net.layers[net.layerCount - 1];
    int winner = out.first;
    for (int k = out.first + 1; k <= out.last; ++k)
        if (net.output[k] > net.output[winner])
            winner = k;
    maxOutput = net.output[winner];
    return winner - out.first;
}

// Evaluate through the plain ForwardPass.
int32_t EvaluatePlain(float x, float y, float& maxOutput) {
    if (net.layerCount == 0)
        return 0;
    net.bias[0] = x;
    net.bias[1] = y;
    ForwardPass();
    return Winner(maxOutput);
}

}  // namespace

float OutputError(int32_t classIndex) {
    MaterializeInputDeltas();
    if (net.layerCount == 0)
        return 0;
    const LayerInfo& out = net.layers[net.layerCount - 1];
    if (out.count == 0)
        return 0;
    float sum = 0;
    for (int k = out.first; k <= out.last; ++k) {
        const double t = k == out.first + classIndex ? 1.0 : -1.0;
        const double o = net.output[k];
        sum = static_cast<float>(sum + (t - o) * (t - o));
        net.delta[k] = static_cast<float>((1.0 - o * o) * (t - o) / 2.0);
    }
    return static_cast<float>(static_cast<double>(sum) / out.count);
}

void HiddenDelta(int32_t i) {
    MaterializeInputDeltas();
    CheckNeuron(i);
    const int k = net.layerOf[i];
    float s = 0;
    if (k + 1 < net.layerCount) {
        const LayerInfo& L = net.layers[k];
        const LayerInfo& target = net.layers[k + 1];
        const int t = L.last - i;
        // s = s + weight(c) * delta(target), over the outgoing list (targets descending)
        for (int j = target.last; j >= target.first; --j)
            s = std::fmaf(net.weight[WeightIndex(k + 1, j, t)], net.delta[j], s);
    }
    const double o = net.output[i];
    net.delta[i] = static_cast<float>((1.0 - o * o) * static_cast<double>(s) / 2.0);
}

void UpdateNeuron(int32_t i, float ni, float alpha) {
    MaterializeInputDeltas();
    CheckNeuron(i);
    const int k = net.layerOf[i];
    const double twoNiDelta = 2.0 * ni * static_cast<double>(net.delta[i]);
    UpdateValue(net.bias[i], net.previousBias[i], twoNiDelta, 1.0, alpha);
    if (k == 0)
        return;
    const LayerInfo& source = net.layers[k - 1];
    for (int t = 0; t < source.count; ++t) {
        const int w = WeightIndex(k, i, t);
        UpdateValue(net.weight[w], net.previousWeight[w], twoNiDelta, net.output[source.last - t],
                    alpha);
    }
}

bool TrainSamplePlain(int32_t classIndex, float x, float y, float ni, float alpha) {
    float maxOutput = 0;
    const bool correct = EvaluatePlain(x, y, maxOutput) == classIndex;
    if (net.layerCount == 0)
        return correct;
    OutputError(classIndex);
    const LayerInfo& out = net.layers[net.layerCount - 1];
    for (int i = out.first - 1; i >= 0; --i)
        HiddenDelta(i);
    for (int i = net.total - 1; i >= net.layers[0].count; --i)
        UpdateNeuron(i, ni, alpha);
    return correct;
}

namespace {

namespace portable {
#define KESTRO_VECTOR 0
#include "core/units/nnet_kernels.inc"
#undef KESTRO_VECTOR
}  // namespace portable

KESTRO_BEGIN_AVX2
namespace avx2 {
#define KESTRO_VECTOR 1
#include "core/units/nnet_kernels.inc"
#undef KESTRO_VECTOR
}  // namespace avx2
KESTRO_END_TARGET

__attribute__((target("avx2,fma"))) int32_t EvaluateVector(float x, float y, float& maxOutput) {
    return avx2::EvaluateLayers(x, y, maxOutput);
}

__attribute__((target("avx2,fma"))) bool TrainSampleVector(int32_t classIndex, float x, float y,
                                                           float ni, float alpha) {
    return avx2::TrainSampleLayers(classIndex, x, y, ni, alpha);
}

// The offered structures (StructureTexts), as template arguments of the fixed-size kernels.
// (Kept out of clang-format, whose layout of this list changes from one run to the next.)
// clang-format off
#define KESTRO_FIXED_STRUCTURES(X)                                                              \
    X(2, 2)                                                                                     \
    X(2, 1, 2)                                                                                  \
    X(2, 2, 2) X(2, 3, 2) X(2, 4, 2) X(2, 5, 2) X(2, 6, 2) X(2, 7, 2) X(2, 8, 2) X(2, 9, 2)     \
        X(2, 10, 2) X(2, 11, 2) X(2, 12, 2) X(2, 13, 2) X(2, 14, 2) X(2, 15, 2) X(2, 20, 2)     \
            X(2, 25, 2) X(2, 50, 2) X(2, 100, 2) X(2, 2, 2, 2) X(2, 3, 3, 2) X(2, 4, 4, 2)      \
                X(2, 5, 5, 2) X(2, 10, 10, 2) X(2, 3, 4, 2) X(2, 4, 3, 2) X(2, 3, 5, 2)         \
                    X(2, 5, 3, 2) X(2, 4, 5, 2) X(2, 5, 4, 2) X(2, 3, 10, 2) X(2, 10, 3, 2)     \
                        X(2, 4, 10, 2) X(2, 10, 4, 2) X(2, 5, 10, 2) X(2, 10, 5, 2)             \
                            X(2, 2, 2, 2, 2) X(2, 3, 3, 3, 2) X(2, 3, 4, 3, 2) X(2, 4, 3, 4, 2) \
                                X(2, 4, 4, 4, 2) X(2, 3, 4, 5, 2) X(2, 5, 4, 3, 2)              \
                                    X(2, 4, 5, 4, 2) X(2, 5, 4, 5, 2) X(2, 5, 5, 5, 2)
// clang-format on

struct FixedKernels {
    bool (*matches)(const NetworkState&);
    TrainKernel train;
    EvaluateKernel evaluate;
};
#define KESTRO_FIXED_ENTRY(...) \
    {&Fixed<__VA_ARGS__>::Matches, &Fixed<__VA_ARGS__>::Train, &Fixed<__VA_ARGS__>::Evaluate},

KESTRO_BEGIN_AVX2
namespace avx2 {
#define KESTRO_AVX512 0
#include "core/units/nnet_fixed.inc"
#undef KESTRO_AVX512
constexpr FixedKernels fixedKernels[] = {KESTRO_FIXED_STRUCTURES(KESTRO_FIXED_ENTRY)};
}  // namespace avx2
KESTRO_END_TARGET

KESTRO_BEGIN_AVX512
namespace avx512 {
#define KESTRO_AVX512 1
#include "core/units/nnet_fixed.inc"
#undef KESTRO_AVX512
constexpr FixedKernels fixedKernels[] = {KESTRO_FIXED_STRUCTURES(KESTRO_FIXED_ENTRY)};
}  // namespace avx512
KESTRO_END_TARGET

TrainKernel trainKernel = &portable::TrainSampleLayers;
EvaluateKernel evaluateKernel = &portable::EvaluateLayers;

template <size_t n>
const FixedKernels* FindFixed(const FixedKernels (&table)[n]) {
    for (const FixedKernels& k : table)
        if (k.matches(net))
            return &k;
    return nullptr;
}

void SelectKernels() {
    trainKernel = &portable::TrainSampleLayers;
    evaluateKernel = &portable::EvaluateLayers;
    if (enginePath == EnginePath::Portable)
        return;
    trainKernel = &TrainSampleVector;
    evaluateKernel = &EvaluateVector;
    const FixedKernels* fixed = enginePath == EnginePath::Avx512 ? FindFixed(avx512::fixedKernels)
                                                                 : FindFixed(avx2::fixedKernels);
    if (fixed != nullptr) {
        trainKernel = fixed->train;
        evaluateKernel = fixed->evaluate;
    }
}

}  // namespace

int32_t Evaluate(float x, float y, float& maxOutput) {
    return evaluateKernel(x, y, maxOutput);
}

bool TrainSample(int32_t classIndex, float x, float y, float ni, float alpha) {
    return trainKernel(classIndex, x, y, ni, alpha);
}

int32_t HiddenRegionCode() {
    if (net.layerCount < 2)
        return 0;
    const LayerInfo& L = net.layers[1];
    const LayerInfo& source = net.layers[0];
    uint32_t code = 0;
    for (int i = L.first; i <= L.last; ++i) {
        float s = net.bias[i];
        for (int t = 0; t < source.count; ++t)
            s = std::fmaf(net.weight[WeightIndex(1, i, t)], net.output[source.last - t], s);
        code = code * 2u + (s > 0 ? 1u : 0u);
    }
    return static_cast<int32_t>(code);
}

void LayerWeightStats(int32_t layer, WeightStats& biasStats, WeightStats& weightStats) {
    biasStats = {};
    weightStats = {};
    if (layer < 0 || layer >= net.layerCount || net.layers[layer].count == 0)
        return;
    biasStats.min = weightStats.min = 999.9f;
    float biasSum = 0, biasSquares = 0, weightSum = 0, weightSquares = 0;
    int connections = 0;
    auto add = [](WeightStats& st, float& sum, float& squares, float value) {
        const float a = std::fabs(value);
        if (a < st.min)
            st.min = a;
        if (a > st.max)
            st.max = a;
        sum = static_cast<float>(static_cast<double>(sum) + a);
        squares =
            static_cast<float>(static_cast<double>(squares) + static_cast<double>(value) * value);
    };
    const LayerInfo& L = net.layers[layer];
    for (int i = L.first; i <= L.last; ++i) {
        add(biasStats, biasSum, biasSquares, net.bias[i]);
        const int sources = layer == 0 ? 0 : net.layers[layer - 1].count;
        for (int t = 0; t < sources; ++t) {
            ++connections;
            add(weightStats, weightSum, weightSquares, net.weight[WeightIndex(layer, i, t)]);
        }
    }
    biasStats.average = static_cast<float>(static_cast<double>(biasSum) / L.count);
    biasStats.rms = static_cast<float>(std::sqrt(static_cast<double>(biasSquares) / L.count));
    KESTRO_ASSERT(connections > 0);
    weightStats.average = static_cast<float>(static_cast<double>(weightSum) / connections);
    weightStats.rms =
        static_cast<float>(std::sqrt(static_cast<double>(weightSquares) / connections));
}

// --- Many points at once ---

void EvaluateBatchPlain(const PointBatch& b) {
    for (int p = 0; p < b.count; ++p) {
        float maxOutput = 0;
        const int32_t winner = EvaluatePlain(b.x[p], b.y[p], maxOutput);
        if (b.winners)
            b.winners[p] = winner;
        if (b.maxOutputs && net.layerCount > 0)
            b.maxOutputs[p] = maxOutput;
        if (b.errors && b.classes)
            b.errors[p] = OutputError(b.classes[p]);
        if (b.regionCodes)
            b.regionCodes[p] = HiddenRegionCode();
    }
}

namespace {

BatchNetworkView View() {
    return {net.layers, net.layerCount, net.weightBase, net.bias, net.weight};
}

// Evaluate's forward pass on outputs, a copy of the output table, leaving the network alone;
// code receives HiddenRegionCode's value.
int32_t EvaluateInto(float x, float y, float* outputs, float& maxOutput, int32_t& code) {
    uint32_t bits = 0;
    for (int i = 0; i < net.total; ++i) {
        float s = i == 0 ? x : i == 1 ? y : net.bias[i];
        const int k = net.layerOf[i];
        if (k > 0) {
            const LayerInfo& source = net.layers[k - 1];
            for (int t = 0; t < source.count; ++t)
                s = std::fmaf(net.weight[WeightIndex(k, i, t)], outputs[source.last - t], s);
            if (k == 1)
                bits = bits * 2u + (s > 0 ? 1u : 0u);
        }
        outputs[i] = Activation(s);
    }
    code = static_cast<int32_t>(bits);
    const LayerInfo& out = net.layers[net.layerCount - 1];
    int winner = out.first;
    for (int k = out.first + 1; k <= out.last; ++k)
        if (outputs[k] > outputs[winner])
            winner = k;
    maxOutput = outputs[winner];
    return winner - out.first;
}

}  // namespace

void EvaluateGrid(const GridBatch& g) {
    if (g.columns <= 0 || g.rows <= 0)
        return;
    const size_t count = static_cast<size_t>(g.columns) * static_cast<size_t>(g.rows);
    if (net.layerCount == 0) {
        if (g.winners)
            std::fill(g.winners, g.winners + count, 0);
        if (g.regionCodes)
            std::fill(g.regionCodes, g.regionCodes + count, 0);
        return;
    }
    if (enginePath != EnginePath::Portable) {
        const float* xActivations = g.xActivations;
        thread_local std::vector<float> computed;
        if (xActivations == nullptr) {
            computed.resize(static_cast<size_t>(g.columns));
            ActivationMany(g.x, computed.data(), g.columns);
            xActivations = computed.data();
        }
        EvaluateGridVector(View(), g, xActivations, enginePath);
        return;
    }
    thread_local std::vector<float> outputs;
    outputs.resize(static_cast<size_t>(net.total));
    for (int r = 0; r < g.rows; ++r)
        for (int c = 0; c < g.columns; ++c) {
            const size_t p =
                static_cast<size_t>(r) * static_cast<size_t>(g.columns) + static_cast<size_t>(c);
            float maxOutput = 0;
            int32_t code = 0;
            const int32_t winner = EvaluateInto(g.x[c], g.y[r], outputs.data(), maxOutput, code);
            if (g.winners)
                g.winners[p] = winner;
            if (g.maxOutputs)
                g.maxOutputs[p] = maxOutput;
            if (g.regionCodes)
                g.regionCodes[p] = code;
        }
}

void EvaluateBatch(const PointBatch& b) {
    if (!vectorPathsEnabled || net.layerCount == 0 || b.count <= 0) {
        EvaluateBatchPlain(b);
        return;
    }
    EvaluateBatchVector(View(), b, enginePath);
    // Leave the network as the last point's scalar calls would.
    float maxOutput = 0;
    const int last = b.count - 1;
    Evaluate(b.x[last], b.y[last], maxOutput);
    if (b.errors && b.classes)
        OutputError(b.classes[last]);
}

}  // namespace kestro
