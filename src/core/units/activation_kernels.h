// Internal: the activation kernels shared by the scalar and the vector paths of the engine.
#pragma once

#include <immintrin.h>

#include <bit>
#include <cmath>
#include <cstdint>

namespace kestro {

// The float nearest to tanh(s / 2), for every argument (see activation.cpp).
float ActivationScalar(float s);

namespace activation {

// Cody-Waite split of ln 2 (the high part has trailing zero bits, so k * Ln2Hi is exact).
constexpr double Ln2Hi = 6.93147180369123816490e-01;
constexpr double Ln2Lo = 1.90821492927058770002e-10;
// ln 2 rounded to double: the vector kernels reduce in one fused step, x - k Ln2 with k <= 28,
// which is off by at most 28 * 2^-54 (relative error of expm1 below 2^-47 where k > 0, none
// where k = 0), far inside their error budget.
constexpr double Ln2 = 6.93147180559945286227e-01;
constexpr double InvLn2 = 1.44269504088896338700e+00;
// tanh(a) rounds to 1.0f from a = 9.011 on; larger arguments are clamped here.
constexpr double Saturation = 9.5;
// Below this |s / 2| the value s / 2 itself decides the result (tanh(h) = h - h^3 / 3 ...).
constexpr double TinyLimit = 0x1p-60;
// A double result within this many of its ulps of a midpoint between two floats is decided
// again in long double; the kernel's error is far smaller.
constexpr int64_t MidpointSlack = 32;
// The vector kernel is shorter (relative error below 2^-38, 2^15 double ulps); its results
// within 2^17 ulps of a midpoint (about one in 2000) go to the scalar path.
constexpr int64_t VectorSlack = int64_t{1} << 17;
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

// c0 + c1 r on four lanes.
__attribute__((target("avx2,fma"))) inline __m256d Linear(__m256d r, double c0, double c1) {
    return _mm256_fmadd_pd(_mm256_set1_pd(c1), r, _mm256_set1_pd(c0));
}

// tanh(s / 2) correctly rounded on four lanes: a shorter double kernel whose results near a
// float midpoint, and tiny or NaN arguments, are redone by the scalar path.
__attribute__((target("avx2,fma"))) inline __m128 Activation4(__m128 s) {
    // x = |s| = 2a, clamped where tanh has long been 1.0f
    const __m256d signMask = _mm256_set1_pd(-0.0);
    const __m256d x0 = _mm256_andnot_pd(signMask, _mm256_cvtps_pd(s));
    const __m256d special = _mm256_cmp_pd(x0, _mm256_set1_pd(2 * TinyLimit), _CMP_NGE_UQ);
    const __m256d x = _mm256_min_pd(x0, _mm256_set1_pd(2 * Saturation));

    // expm1(x) = 2^k (1 + expm1(r)) - 1 with x = k ln2 + r; k is rounded by adding 1.5 * 2^52,
    // which leaves k in the low bits. expm1(r) = r q(r), q of degree 9 (Taylor, |r| <= ln2 / 2,
    // relative error below 2^-38) by Estrin's scheme.
    const __m256d shifter = _mm256_set1_pd(0x1.8p52);
    const __m256d shifted = _mm256_fmadd_pd(x, _mm256_set1_pd(InvLn2), shifter);
    const __m256d k = _mm256_sub_pd(shifted, shifter);
    const __m256d r = _mm256_fnmadd_pd(k, _mm256_set1_pd(Ln2), x);
    const __m256d r2 = _mm256_mul_pd(r, r);
    const __m256d r4 = _mm256_mul_pd(r2, r2);
    const __m256d a0 = Linear(r, C1, C2), a1 = Linear(r, C3, C4), a2 = Linear(r, C5, C6),
                  a3 = Linear(r, C7, C8), a4 = Linear(r, C9, C10);
    const __m256d b0 = _mm256_fmadd_pd(a1, r2, a0), b1 = _mm256_fmadd_pd(a3, r2, a2);
    // q = b0 + r^4 (b1 + r^4 a4)
    const __m256d upper = _mm256_fmadd_pd(r4, a4, b1);
    const __m256i exponent =
        _mm256_add_epi64(_mm256_castpd_si256(shifted), _mm256_set1_epi64x(1023));
    const __m256d scale = _mm256_castsi256_pd(_mm256_slli_epi64(exponent, 52));
    // tanh(a) = expm1(2a) / (expm1(2a) + 2) with 2^k expm1(r) = 2^k r q: the products 2^k r
    // (exact) and 2^k r^5 are ready before q, so that the last two steps of q fold into the sums
    // (scale - 1) + 2^k r b0 + 2^k r^5 upper.
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d scaledR = _mm256_mul_pd(scale, r);
    const __m256d scaledR5 = _mm256_mul_pd(scaledR, r4);
    const __m256d em1 =
        _mm256_fmadd_pd(scaledR5, upper, _mm256_fmadd_pd(scaledR, b0, _mm256_sub_pd(scale, one)));
    const __m256d den =
        _mm256_fmadd_pd(scaledR5, upper, _mm256_fmadd_pd(scaledR, b0, _mm256_add_pd(scale, one)));
    const __m256d y = _mm256_div_pd(em1, den);

    // distance of the low bits from the midpoint, shifted so that "near" is 0..2 * slack
    const __m256i low = _mm256_and_si256(_mm256_castpd_si256(y),
                                         _mm256_set1_epi64x(static_cast<int64_t>(LowBitsMask)));
    const __m256i d = _mm256_sub_epi64(low, _mm256_set1_epi64x(Midpoint - VectorSlack));
    const __m256i far = _mm256_or_si256(_mm256_cmpgt_epi64(_mm256_setzero_si256(), d),
                                        _mm256_cmpgt_epi64(d, _mm256_set1_epi64x(2 * VectorSlack)));
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

// The target of the AVX-512 paths (AVX-512 F, VL, DQ and BW, with AVX2 and FMA).
#define KESTRO_TARGET_AVX512 __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw,avx2,fma")))

// A region of functions compiled for AVX2 and FMA, or for the AVX-512 target, up to
// KESTRO_END_TARGET. GCC builds the program through its target pragmas; clang (the fuzz build),
// which ignores those, through its attribute pragma, which gives every function of the region
// the target. A _Pragma takes one string literal, which must stay whole.
// clang-format off
#if defined(__clang__)
#define KESTRO_BEGIN_AVX2 _Pragma("clang attribute push(__attribute__((target(\"avx2,fma\"))), apply_to = function)")
#define KESTRO_BEGIN_AVX512 _Pragma("clang attribute push(__attribute__((target(\"avx512f,avx512vl,avx512dq,avx512bw,avx2,fma\"))), apply_to = function)")
#define KESTRO_END_TARGET _Pragma("clang attribute pop")
#else
#define KESTRO_BEGIN_AVX2 _Pragma("GCC push_options") _Pragma("GCC target(\"avx2,fma\")")
#define KESTRO_BEGIN_AVX512 _Pragma("GCC push_options") _Pragma("GCC target(\"avx512f,avx512vl,avx512dq,avx512bw,avx2,fma\")")
#define KESTRO_END_TARGET _Pragma("GCC pop_options")
#endif
// clang-format on

// Conversions and operations whose plain intrinsics start from an undefined vector, which GCC 12
// reports as maybe uninitialised: the zero-masking forms with every lane selected.
KESTRO_TARGET_AVX512 inline __m512d Widen512(__m256 f) {
    return _mm512_maskz_cvtps_pd(0xFF, f);
}
KESTRO_TARGET_AVX512 inline __m256 Narrow512(__m512d d) {
    return _mm512_maskz_cvtpd_ps(0xFF, d);
}

// c0 + c1 r on eight lanes.
KESTRO_TARGET_AVX512 inline __m512d Linear8(__m512d r, double c0, double c1) {
    return _mm512_fmadd_pd(_mm512_set1_pd(c1), r, _mm512_set1_pd(c0));
}

// Activation4's kernel on eight lanes at once (one 512-bit vector of doubles): the same
// arithmetic, the same midpoint test, the same scalar redo.
KESTRO_TARGET_AVX512 inline __m256 Activation8x512(__m256 s) {
    const __m512d x0 = _mm512_abs_pd(Widen512(s));
    const __mmask8 special = _mm512_cmp_pd_mask(x0, _mm512_set1_pd(2 * TinyLimit), _CMP_NGE_UQ);
    const __m512d x = _mm512_maskz_min_pd(0xFF, x0, _mm512_set1_pd(2 * Saturation));
    const __m512d shifter = _mm512_set1_pd(0x1.8p52);
    const __m512d shifted = _mm512_fmadd_pd(x, _mm512_set1_pd(InvLn2), shifter);
    const __m512d k = _mm512_sub_pd(shifted, shifter);
    const __m512d r = _mm512_fnmadd_pd(k, _mm512_set1_pd(Ln2), x);
    const __m512d r2 = _mm512_mul_pd(r, r);
    const __m512d r4 = _mm512_mul_pd(r2, r2);
    const __m512d a0 = Linear8(r, C1, C2), a1 = Linear8(r, C3, C4), a2 = Linear8(r, C5, C6),
                  a3 = Linear8(r, C7, C8), a4 = Linear8(r, C9, C10);
    const __m512d b0 = _mm512_fmadd_pd(a1, r2, a0), b1 = _mm512_fmadd_pd(a3, r2, a2);
    const __m512d upper = _mm512_fmadd_pd(r4, a4, b1);
    const __m512i exponent =
        _mm512_add_epi64(_mm512_castpd_si512(shifted), _mm512_set1_epi64(1023));
    const __m512d scale = _mm512_castsi512_pd(_mm512_maskz_slli_epi64(0xFF, exponent, 52));
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d scaledR = _mm512_mul_pd(scale, r);
    const __m512d scaledR5 = _mm512_mul_pd(scaledR, r4);
    const __m512d em1 =
        _mm512_fmadd_pd(scaledR5, upper, _mm512_fmadd_pd(scaledR, b0, _mm512_sub_pd(scale, one)));
    const __m512d den =
        _mm512_fmadd_pd(scaledR5, upper, _mm512_fmadd_pd(scaledR, b0, _mm512_add_pd(scale, one)));
    const __m512d y = _mm512_div_pd(em1, den);
    // near a midpoint: 0 <= low - (Midpoint - slack) <= 2 slack, compared unsigned
    const __m512i low = _mm512_and_si512(_mm512_castpd_si512(y),
                                         _mm512_set1_epi64(static_cast<int64_t>(LowBitsMask)));
    const __m512i d = _mm512_sub_epi64(low, _mm512_set1_epi64(Midpoint - VectorSlack));
    const __mmask8 near =
        _mm512_cmp_epu64_mask(d, _mm512_set1_epi64(2 * VectorSlack), _MM_CMPINT_LE);
    __m256 result = Narrow512(y);
    result = _mm256_xor_ps(result, _mm256_and_ps(s, _mm256_set1_ps(-0.0f)));
    const unsigned mask = static_cast<unsigned>(special | near);
    if (mask != 0) {
        alignas(32) float in[8], out[8];
        _mm256_store_ps(in, s);
        _mm256_store_ps(out, result);
        for (int l = 0; l < 8; ++l)
            if (mask & (1u << l))
                out[l] = ActivationScalar(in[l]);
        result = _mm256_load_ps(out);
    }
    return result;
}

}  // namespace activation
}  // namespace kestro
