#include "core/units/activation.h"

#include <immintrin.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

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

namespace {

KESTRO_BEGIN_AVX2
namespace avx2 {
#define KESTRO_AVX512 0
#include "core/units/nnet_batch.inc"
#undef KESTRO_AVX512
}  // namespace avx2
KESTRO_END_TARGET

KESTRO_BEGIN_AVX512
namespace avx512 {
#define KESTRO_AVX512 1
#include "core/units/nnet_batch.inc"
#undef KESTRO_AVX512
}  // namespace avx512
KESTRO_END_TARGET

}  // namespace

void EvaluateBatchVector(const BatchNetworkView& net, const PointBatch& batch, EnginePath path) {
    if (path == EnginePath::Avx512)
        avx512::EvaluatePoints(net, batch);
    else
        avx2::EvaluatePoints(net, batch);
}

void EvaluateGridVector(const BatchNetworkView& net, const GridBatch& grid,
                        const float* xActivations, EnginePath path) {
    if (path == EnginePath::Avx512)
        avx512::EvaluateGridPoints(net, grid, xActivations);
    else
        avx2::EvaluateGridPoints(net, grid, xActivations);
}

}  // namespace kestro
