#include "core/units/glowny/netcopy.h"

#include <cmath>

#include "core/units/errors.h"

namespace kestro {

NetworkCopy CopyNetwork() {
    NetworkCopy copy;
    copy.layerCount = LayerCount();
    for (int32_t l = 0; l < copy.layerCount; ++l)
        copy.layers[l] = Layer(l);
    const int32_t total = LayerSize(-1);
    copy.bias.resize(static_cast<size_t>(total));
    copy.firstWeight.resize(static_cast<size_t>(total));
    for (int32_t i = 0; i < total; ++i) {
        copy.bias[static_cast<size_t>(i)] = NeuronBias(i);
        copy.firstWeight[static_cast<size_t>(i)] = static_cast<int32_t>(copy.weight.size());
        for (int32_t k = 0; k < IncomingCount(i); ++k)
            copy.weight.push_back(IncomingWeight(i, k));
    }
    return copy;
}

int32_t CopyLayerOf(const NetworkCopy& network, int32_t i) {
    for (int32_t l = 0; l < network.layerCount; ++l)
        if (i >= network.layers[l].first && i <= network.layers[l].last)
            return l;
    KESTRO_ASSERT(false);
    return -1;
}

void ForwardCopy(const NetworkCopy& network, float x, float y, int32_t lastLayer, float* outputs) {
    KESTRO_ASSERT(lastLayer < network.layerCount);
    for (int32_t l = 0; l <= lastLayer; ++l) {
        const LayerInfo& layer = network.layers[l];
        for (int32_t i = layer.first; i <= layer.last; ++i) {
            // The input neurons hold x and y in their biases.
            float s = l > 0 ? network.bias[static_cast<size_t>(i)] : i == 0 ? x : y;
            if (l > 0) {
                // s = s + weight(k) * output(source), the list running from the highest source
                const LayerInfo& source = network.layers[l - 1];
                const float* w = network.Incoming(i);
                for (int32_t t = 0; t < source.count; ++t)
                    s = std::fmaf(w[t], outputs[source.last - t], s);
            }
            outputs[i] = Activation(s);
        }
    }
}

namespace {

// Points computed together: enough for whole-array activations, few enough to stay in the cache.
constexpr int32_t PointChunk = 1024;

// sums[p] = fmaf(w, o[p], sums[p]) for p < count: an instruction where the processor has one,
// the library's correctly rounded fmaf otherwise; the same values either way.
__attribute__((target("avx2,fma"))) void AddProductsFma(float w, const float* o, float* sums,
                                                        int32_t count) {
    for (int32_t p = 0; p < count; ++p)
        sums[p] = std::fmaf(w, o[p], sums[p]);
}

void AddProductsPortable(float w, const float* o, float* sums, int32_t count) {
    for (int32_t p = 0; p < count; ++p)
        sums[p] = std::fmaf(w, o[p], sums[p]);
}

const auto AddProducts = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")
                             ? &AddProductsFma
                             : &AddProductsPortable;

void NeuronOutputChunk(const NetworkCopy& network, int32_t neuron, const float* x, const float* y,
                       int32_t count, float* out) {
    const int32_t target = CopyLayerOf(network, neuron);
    // values[i * count + p]: output of neuron i at point p, for the layers up to the target's.
    const int32_t neurons = network.layers[target].last + 1;
    std::vector<float> values(static_cast<size_t>(neurons) * static_cast<size_t>(count));
    std::vector<float> sums(static_cast<size_t>(count));
    const auto row = [&](int32_t i) { return values.data() + static_cast<size_t>(i) * count; };
    for (int32_t l = 0; l <= target; ++l) {
        const LayerInfo& layer = network.layers[l];
        for (int32_t i = layer.first; i <= layer.last; ++i) {
            if (l == 0) {
                const float* input = i == 0 ? x : y;
                for (int32_t p = 0; p < count; ++p)
                    sums[static_cast<size_t>(p)] = input[p];
            } else {
                const LayerInfo& source = network.layers[l - 1];
                const float* w = network.Incoming(i);
                const float bias = network.bias[static_cast<size_t>(i)];
                for (int32_t p = 0; p < count; ++p)
                    sums[static_cast<size_t>(p)] = bias;
                for (int32_t t = 0; t < source.count; ++t)
                    AddProducts(w[t], row(source.last - t), sums.data(), count);
            }
            ActivationMany(sums.data(), row(i), count);
        }
    }
    const float* result = row(neuron);
    for (int32_t p = 0; p < count; ++p)
        out[p] = result[p];
}

}  // namespace

void NeuronOutputs(const NetworkCopy& network, int32_t neuron, const float* x, const float* y,
                   int32_t count, float* out) {
    KESTRO_ASSERT(neuron >= 0 && neuron < network.Total() && count >= 0);
    for (int32_t done = 0; done < count; done += PointChunk) {
        const int32_t n = count - done < PointChunk ? count - done : PointChunk;
        NeuronOutputChunk(network, neuron, x + done, y + done, n, out + done);
    }
}

}  // namespace kestro
