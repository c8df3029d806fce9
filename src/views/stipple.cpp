#include "views/stipple.h"

#include <algorithm>
#include <cmath>

#include "core/units/errors.h"
#include "views/blend.h"

namespace kestro {

uint32_t StippleColor(const StipplePattern& pattern, double position) {
    KESTRO_ASSERT(pattern.count >= 1 && pattern.count <= MaxStippleColors);
    KESTRO_ASSERT(position >= 0 && position < pattern.count);
    const int index = static_cast<int>(position);
    const int next = index + 1 == pattern.count ? 0 : index + 1;
    const double fraction = position - index;
    // colour = next * fraction + entry * (1 - fraction), per channel
    return BlendColor32(pattern.colors[next], pattern.colors[index], static_cast<float>(fraction));
}

void BlendPixel(QImage& image, int x, int y, uint32_t argb, double coverage) {
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return;
    const double factor = static_cast<double>(argb >> 24) / 255.0 * coverage;
    if (!(factor > 0))
        return;
    auto* pixel = reinterpret_cast<uint32_t*>(image.scanLine(y)) + x;
    // Colour channels mix by the factor; alpha composites "over" (factor + a (1 - factor)), so
    // an opaque image stays opaque.
    *pixel = BlendColor32(argb | 0xFF000000u, *pixel, static_cast<float>(factor));
}

namespace {

// The line in device pixels.
void StippledDeviceLine(QImage& image, double x1, double y1, double x2, double y2,
                        const StipplePattern& pattern, double step, double& position) {
    const double length = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
    if (!(length > 0) || !std::isfinite(length))
        return;
    // The views draw lines within their images; anything longer is a fault of the caller.
    KESTRO_ASSERT(length < 1e7);
    const double ux = (x2 - x1) / length, uy = (y2 - y1) / length;
    const double period = pattern.count;
    position = std::fmod(position, period);
    if (position < 0)
        position += period;
    for (int k = 0; k < length; ++k) {
        const double x = x1 + k * ux, y = y1 + k * uy;
        const double fx = std::floor(x), fy = std::floor(y);
        const double ax = x - fx, ay = y - fy;
        const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
        const uint32_t color = StippleColor(pattern, position);
        // Bilinear shares: (1 - ax)(1 - ay), ax (1 - ay), (1 - ax) ay, ax ay.
        BlendPixel(image, ix, iy, color, (1 - ax) * (1 - ay));
        BlendPixel(image, ix + 1, iy, color, ax * (1 - ay));
        BlendPixel(image, ix, iy + 1, color, (1 - ax) * ay);
        BlendPixel(image, ix + 1, iy + 1, color, ax * ay);
        position = std::fmod(position + step, period);
        if (position < 0)
            position += period;
    }
}

}  // namespace

void StippledLine(QImage& image, double x1, double y1, double x2, double y2,
                  const StipplePattern& pattern, double step, double& position) {
    KESTRO_ASSERT(pattern.count >= 1 && pattern.count <= MaxStippleColors);
    const double ratio = image.devicePixelRatio();
    if (ratio == 1.0) {
        StippledDeviceLine(image, x1, y1, x2, y2, pattern, step, position);
        return;
    }
    // Ends on device pixel centres keep lines between whole logical pixels crisp at any ratio.
    x1 = std::nearbyint(x1 * ratio);
    y1 = std::nearbyint(y1 * ratio);
    x2 = std::nearbyint(x2 * ratio);
    y2 = std::nearbyint(y2 * ratio);
    const bool xMajor = std::fabs(x2 - x1) >= std::fabs(y2 - y1);
    const int strands = std::max(1, static_cast<int>(std::lround(ratio)));
    const double start = position;
    for (int s = 0; s < strands; ++s) {
        double strandPosition = start;
        const double dx = xMajor ? 0 : s, dy = xMajor ? s : 0;
        StippledDeviceLine(image, x1 + dx, y1 + dy, x2 + dx, y2 + dy, pattern, step / ratio,
                           strandPosition);
        if (s == 0)
            position = strandPosition;
    }
}

}  // namespace kestro
