#include "units/activation.h"

#include <immintrin.h>

#include <bit>
#include <cmath>
#include <cstring>

namespace kestro {

namespace {

// Cody-Waite split of ln 2 (the high part has trailing zero bits, so k * Ln2Hi is exact).
constexpr double Ln2Hi = 6.93147180369123816490e-01;
constexpr double Ln2Lo = 1.90821492927058770002e-10;
constexpr double InvLn2 = 1.44269504088896338700e+00;
// tanh(a) rounds to 1.0f from a = 9.011 on; larger arguments are clamped here.
constexpr double Saturation = 9.5;
// Below this |s / 2| the value s / 2 itself decides the result (tanh(h) = h - h^3 / 3 ...).
constexpr double TinyLimit = 0x1p-60;
// A double result within this many of its ulps of a midpoint between two floats is decided
// again in long double; the kernel's error is far smaller.
constexpr int64_t MidpointSlack = 32;
constexpr uint64_t LowBitsMask = (uint64_t{1} << 29) - 1;  // the bits a float does not keep
constexpr int64_t Midpoint = int64_t{1} << 28;

// Taylor coefficients 1/n! of expm1, n = 13 down to 1.
constexpr double C13 = 1.0 / 6227020800.0, C12 = 1.0 / 479001600.0, C11 = 1.0 / 39916800.0,
                 C10 = 1.0 / 3628800.0, C9 = 1.0 / 362880.0, C8 = 1.0 / 40320.0, C7 = 1.0 / 5040.0,
                 C6 = 1.0 / 720.0, C5 = 1.0 / 120.0, C4 = 1.0 / 24.0, C3 = 1.0 / 6.0, C2 = 0.5,
                 C1 = 1.0;

// tanh(a) for TinyLimit <= a <= Saturation, to a few ulps:
// tanh(a) = expm1(2a) / (expm1(2a) + 2), expm1(x) = 2^k (1 + expm1(r)) - 1 with x = k ln2 + r.
inline double TanhKernel(double a) {
    const double x = a + a;
    const double k = std::nearbyint(x * InvLn2);
    const double r = (x - k * Ln2Hi) - k * Ln2Lo;
    double p = C13;
    for (const double c : {C12, C11, C10, C9, C8, C7, C6, C5, C4, C3, C2, C1})
        p = p * r + c;
    p = p * r;
    const double scale =
        std::bit_cast<double>(static_cast<uint64_t>(static_cast<int64_t>(k) + 1023) << 52);
    const double em1 = scale * p + (scale - 1.0);
    return em1 / (em1 + 2.0);
}

inline bool NearFloatMidpoint(double y) {
    const int64_t low = static_cast<int64_t>(std::bit_cast<uint64_t>(y) & LowBitsMask);
    const int64_t distance = low - Midpoint;
    return distance >= -MidpointSlack && distance <= MidpointSlack;
}

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

namespace {

// The same kernel on four doubles; lanes that need the scalar path are flagged in the result's
// mask. The operations are the scalar ones, lane by lane (no contraction into fused operations).
__attribute__((target("avx2,fma"))) inline __m128 Activation4(__m128 s) {
    const __m256d signMask = _mm256_set1_pd(-0.0);
    const __m256d h = _mm256_mul_pd(_mm256_cvtps_pd(s), _mm256_set1_pd(0.5));
    const __m256d a = _mm256_andnot_pd(signMask, h);
    const __m256d special = _mm256_cmp_pd(a, _mm256_set1_pd(TinyLimit), _CMP_NGE_UQ);
    const __m256d ac = _mm256_min_pd(a, _mm256_set1_pd(Saturation));

    const __m256d x = _mm256_add_pd(ac, ac);
    const __m256d k = _mm256_round_pd(_mm256_mul_pd(x, _mm256_set1_pd(InvLn2)),
                                      _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m256d r = _mm256_sub_pd(_mm256_sub_pd(x, _mm256_mul_pd(k, _mm256_set1_pd(Ln2Hi))),
                                    _mm256_mul_pd(k, _mm256_set1_pd(Ln2Lo)));
    __m256d p = _mm256_set1_pd(C13);
    for (const double c : {C12, C11, C10, C9, C8, C7, C6, C5, C4, C3, C2, C1})
        p = _mm256_add_pd(_mm256_mul_pd(p, r), _mm256_set1_pd(c));
    p = _mm256_mul_pd(p, r);
    const __m256i exponent =
        _mm256_add_epi64(_mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(k)), _mm256_set1_epi64x(1023));
    const __m256d scale = _mm256_castsi256_pd(_mm256_slli_epi64(exponent, 52));
    const __m256d em1 =
        _mm256_add_pd(_mm256_mul_pd(scale, p), _mm256_sub_pd(scale, _mm256_set1_pd(1.0)));
    const __m256d y = _mm256_div_pd(em1, _mm256_add_pd(em1, _mm256_set1_pd(2.0)));

    // distance of the low bits from the midpoint, shifted so that "near" is 0..2 * slack
    const __m256i low = _mm256_and_si256(_mm256_castpd_si256(y),
                                         _mm256_set1_epi64x(static_cast<int64_t>(LowBitsMask)));
    const __m256i d = _mm256_sub_epi64(low, _mm256_set1_epi64x(Midpoint - MidpointSlack));
    const __m256i far =
        _mm256_or_si256(_mm256_cmpgt_epi64(_mm256_setzero_si256(), d),
                        _mm256_cmpgt_epi64(d, _mm256_set1_epi64x(2 * MidpointSlack)));
    const __m256d flagged = _mm256_or_pd(
        special,
        _mm256_andnot_pd(_mm256_castsi256_pd(far), _mm256_castsi256_pd(_mm256_set1_epi64x(-1))));
    __m128 result = _mm256_cvtpd_ps(y);
    result = _mm_xor_ps(result, _mm_and_ps(s, _mm_set1_ps(-0.0f)));
    const int mask = _mm256_movemask_pd(flagged);
    if (mask != 0) {
        alignas(16) float in[4], out[4];
        _mm_store_ps(in, s);
        _mm_store_ps(out, result);
        for (int l = 0; l < 4; ++l)
            if (mask & (1 << l))
                out[l] = ActivationScalar(in[l]);
        result = _mm_load_ps(out);
    }
    return result;
}

__attribute__((target("avx2,fma"))) inline __m256 Activation8(__m256 s) {
    const __m128 lo = Activation4(_mm256_castps256_ps128(s));
    const __m128 hi = Activation4(_mm256_extractf128_ps(s, 1));
    return _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1);
}

}  // namespace

__attribute__((target("avx2,fma"))) void ActivationManyVector(const float* sums, float* outputs,
                                                              int count) {
    int k = 0;
    for (; k + 4 <= count; k += 4)
        _mm_storeu_ps(outputs + k, Activation4(_mm_loadu_ps(sums + k)));
    if (k < count) {
        alignas(16) float in[4] = {0, 0, 0, 0}, out[4];
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
