#include "views/blend.h"

#include <cmath>

namespace kestro {

namespace {

double ClampFactor(float t) {
    if (!(t >= 0))
        return 0;
    return t > 1 ? 1.0 : static_cast<double>(t);
}

// Mixes the bytes of a and b at the given shifts.
uint32_t BlendChannels(uint32_t a, uint32_t b, double t, int channels) {
    uint32_t result = 0;
    for (int c = 0; c < channels; ++c) {
        const int shift = 8 * c;
        const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        const double mixed = std::nearbyint(ca * t + cb * (1.0 - t));
        result |= static_cast<uint32_t>(mixed) << shift;
    }
    return result;
}

}  // namespace

uint32_t BlendColor32(uint32_t a, uint32_t b, float t) {
    return BlendChannels(a, b, ClampFactor(t), 4);
}

uint32_t BlendColor(uint32_t a, uint32_t b, float t) {
    return BlendChannels(a, b, ClampFactor(t), 3);
}

}  // namespace kestro
