#include "core/units/activation.h"

#include <immintrin.h>

#include <bit>
#include <cmath>
#include <cstring>

#include "core/units/activation_kernels.h"

namespace kestro {

using namespace activation;

namespace {

// Tiny and NaN arguments: the nearest float to h - h^3/3 is h when h is a float, otherwise
// the neighbour of h toward zero.
float ActivationTiny(float s) {
    if (std::isnan(s))
        return s;
    const double h = 0.5 * static_cast<double>(s);
    float f = static_cast<float>(h);
    if (static_cast<double>(f) != h && std::fabs(static_cast<double>(f)) > std::fabs(h))
        f = std::nextafter(f, 0.0f);
    return f;
}

}  // namespace

float ActivationScalar(float s) {
    const double h = 0.5 * static_cast<double>(s);
    const double a = std::fabs(h);
    if (!(a >= TinyLimit))
        return ActivationTiny(s);
    const double y = TanhKernel(a < Saturation ? a : Saturation);
    const float r = NearFloatMidpoint(y)
                        ? static_cast<float>(std::tanh(static_cast<long double>(a)))
                        : static_cast<float>(y);
    return s < 0 ? -r : r;
}

bool CpuHasVectorPaths() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

EnginePath CpuEnginePath() {
    if (!CpuHasVectorPaths())
        return EnginePath::Portable;
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw"))
        return EnginePath::Avx512;
    return EnginePath::Avx2;
}

KESTRO_TARGET_AVX512 void ActivationManyVector512(const float* sums, float* outputs, int count) {
    int k = 0;
    for (; k + 8 <= count; k += 8)
        _mm256_storeu_ps(outputs + k, Activation8x512(_mm256_loadu_ps(sums + k)));
    if (k < count) {
        const __mmask8 used = static_cast<__mmask8>((1u << (count - k)) - 1u);
        const __m256 in = _mm256_mask_loadu_ps(_mm256_set1_ps(1.0f), used, sums + k);
        _mm256_mask_storeu_ps(outputs + k, used, Activation8x512(in));
    }
}

__attribute__((target("avx2,fma"))) void ActivationManyVector(const float* sums, float* outputs,
                                                              int count) {
    int k = 0;
    for (; k + 4 <= count; k += 4)
        _mm_storeu_ps(outputs + k, Activation4(_mm_loadu_ps(sums + k)));
    if (k < count) {
        alignas(16) float in[4] = {1, 1, 1, 1}, out[4];  // padding that needs no scalar redo
        std::memcpy(in, sums + k, sizeof(float) * static_cast<size_t>(count - k));
        _mm_store_ps(out, Activation4(_mm_load_ps(in)));
        std::memcpy(outputs + k, out, sizeof(float) * static_cast<size_t>(count - k));
    }
}

__attribute__((target("avx2,fma"))) void EvaluateBatchVector(const BatchNetworkView& net,
                                                             const PointBatch& b) {
    constexpr int Lanes = 8;
    alignas(32) static float laneOutput[MaxNeurons * Lanes];
    const LayerInfo& input = net.layers[0];
    const LayerInfo& out = net.layers[net.layerCount - 1];
    const bool wantCodes = b.regionCodes != nullptr && net.layerCount >= 2;

    for (int start = 0; start < b.count; start += Lanes) {
        const int n = b.count - start < Lanes ? b.count - start : Lanes;
        alignas(32) float xs[Lanes], ys[Lanes];
        for (int l = 0; l < Lanes; ++l) {
            const int p = start + (l < n ? l : n - 1);
            xs[l] = b.x[p];
            ys[l] = b.y[p];
        }
        // Input layer: neurons 0 and 1 take x and y as their bias.
        for (int i = input.first; i <= input.last; ++i) {
            const __m256 v = i == 0   ? _mm256_load_ps(xs)
                             : i == 1 ? _mm256_load_ps(ys)
                                      : _mm256_set1_ps(net.bias[i]);
            _mm256_store_ps(laneOutput + i * Lanes, Activation8(v));
        }
        __m256i codes = _mm256_setzero_si256();
        for (int k = 1; k < net.layerCount; ++k) {
            const LayerInfo& L = net.layers[k];
            const LayerInfo& source = net.layers[k - 1];
            const float* w = net.weight + net.weightBase[k];
            for (int i = 0; i < L.count; ++i) {
                // s = fmaf(weight, output(source), s) per lane, over the incoming list
                __m256 s = _mm256_set1_ps(net.bias[L.first + i]);
                for (int t = 0; t < source.count; ++t)
                    s = _mm256_fmadd_ps(_mm256_set1_ps(w[t * L.count + i]),
                                        _mm256_load_ps(laneOutput + (source.last - t) * Lanes), s);
                if (k == 1 && wantCodes) {
                    const __m256i positive =
                        _mm256_castps_si256(_mm256_cmp_ps(s, _mm256_setzero_ps(), _CMP_GT_OQ));
                    codes = _mm256_add_epi32(_mm256_slli_epi32(codes, 1),
                                             _mm256_and_si256(positive, _mm256_set1_epi32(1)));
                }
                _mm256_store_ps(laneOutput + (L.first + i) * Lanes, Activation8(s));
            }
        }
        // Winner: the first strictly greater output, so the lower index wins a tie.
        __m256 best = _mm256_load_ps(laneOutput + out.first * Lanes);
        __m256i winner = _mm256_setzero_si256();
        for (int k = 1; k < out.count; ++k) {
            const __m256 v = _mm256_load_ps(laneOutput + (out.first + k) * Lanes);
            const __m256 greater = _mm256_cmp_ps(v, best, _CMP_GT_OQ);
            best = _mm256_blendv_ps(best, v, greater);
            winner = _mm256_blendv_epi8(winner, _mm256_set1_epi32(k), _mm256_castps_si256(greater));
        }
        alignas(32) int32_t winners[Lanes], regionCodes[Lanes];
        alignas(32) float maxOutputs[Lanes];
        _mm256_store_si256(reinterpret_cast<__m256i*>(winners), winner);
        _mm256_store_si256(reinterpret_cast<__m256i*>(regionCodes), codes);
        _mm256_store_ps(maxOutputs, best);
        for (int l = 0; l < n; ++l) {
            const int p = start + l;
            if (b.winners)
                b.winners[p] = winners[l];
            if (b.maxOutputs)
                b.maxOutputs[p] = maxOutputs[l];
            if (b.regionCodes)
                b.regionCodes[p] = regionCodes[l];
            if (b.errors && b.classes) {
                // OutputError's sum, output neurons ascending
                float sum = 0;
                for (int k = out.first; k <= out.last; ++k) {
                    const double t = k == out.first + b.classes[p] ? 1.0 : -1.0;
                    const double o = laneOutput[k * Lanes + l];
                    sum = static_cast<float>(sum + (t - o) * (t - o));
                }
                b.errors[p] = static_cast<float>(static_cast<double>(sum) / out.count);
            }
        }
    }
}

}  // namespace kestro
