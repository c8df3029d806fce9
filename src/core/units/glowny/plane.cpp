#include "core/units/glowny/plane.h"

#include <cmath>

namespace kestro {

namespace {

// Round half to even to an integer; values beyond +-2^30 (and NaN, as the largest) are held
// there, so that a wild coordinate lands far outside the view instead of overflowing.
int64_t RoundToInteger(double v) {
    constexpr double Limit = 1073741824.0;
    if (!(v < Limit))
        return static_cast<int64_t>(Limit);
    if (v < -Limit)
        return -static_cast<int64_t>(Limit);
    return static_cast<int64_t>(std::nearbyint(v));
}

}  // namespace

int32_t PlaneMapping::PixelX(float x) const {
    return static_cast<int32_t>(RoundToInteger((1.0 + static_cast<double>(x)) * width) / 2);
}

int32_t PlaneMapping::PixelY(float y) const {
    return static_cast<int32_t>(RoundToInteger((1.0 - static_cast<double>(y)) * height) / 2);
}

}  // namespace kestro
