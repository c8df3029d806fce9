// The drawing area's pixels and the plane [-1, 1] x [-1, 1]: editing, the signal view and its
// brush highlight all map through this one type, so that they agree by construction.
#pragma once

#include <cstdint>

namespace kestro {

// A position in the plane.
struct PlanePoint {
    float x = 0;
    float y = 0;
};

// Pixel (px, py) of a width x height area lies at x = 2 px / W - 1, y = 1 - 2 py / H; the axes
// are scaled independently, the area is not forced square. Each value is computed in double
// and rounded to float once.
struct PlaneMapping {
    int32_t width = 0;
    int32_t height = 0;

    // The plane x of pixel column px (a mouse position): 2 px / W - 1.
    float PlaneX(double px) const { return static_cast<float>(2.0 * px / width - 1.0); }
    // The plane y of pixel row py (a mouse position): 1 - 2 py / H.
    float PlaneY(double py) const { return static_cast<float>(1.0 - 2.0 * py / height); }
    // The plane position of pixel (px, py).
    PlanePoint ToPlane(double px, double py) const { return {PlaneX(px), PlaneY(py)}; }

    // The plane x at which the raster samples column px: (px / W - 0.5) * 2. The order of the
    // operations differs from PlaneX and so may its last bit; the raster keeps this form.
    float SampleX(int32_t px) const {
        return static_cast<float>((static_cast<double>(px) / width - 0.5) * 2.0);
    }
    // The plane y at which the raster samples row py: (0.5 - py / H) * 2.
    float SampleY(int32_t py) const {
        return static_cast<float>((0.5 - static_cast<double>(py) / height) * 2.0);
    }

    // The pixel column of plane x (a point's disc): Round((1 + x) W) div 2, rounding half to
    // even and div truncating; values far off the area are held at +-2^30 / 2.
    int32_t PixelX(float x) const;
    // The pixel row of plane y: Round((1 - y) H) div 2.
    int32_t PixelY(float y) const;
};

}  // namespace kestro
