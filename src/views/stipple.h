// The anti-aliased stippled line of the views: a line between fractional points whose colour
// runs through a short pattern of ARGB colours and is alpha-blended onto the image.
#pragma once

#include <QImage>
#include <cstdint>

namespace kestro {

constexpr int MaxStippleColors = 8;

// A colour pattern; position p (0 <= p < count) mixes entry floor(p) with the next one.
struct StipplePattern {
    uint32_t colors[MaxStippleColors] = {};
    int count = 0;
};

// The pattern colour at position p: per channel (alpha included) the mix of entry floor(p) and
// entry floor(p) + 1 (entry 0 after the last), weighted by the fractional part of p.
uint32_t StippleColor(const StipplePattern& pattern, double position);

// Blends argb onto the pixel (x, y) with the factor f = (alpha / 255) * coverage: each colour
// channel becomes round(c f + pixel (1 - f)), alpha round(255 f + pixel alpha (1 - f)).
// Ignored outside the image; a colour with alpha 0 leaves the pixel unchanged.
void BlendPixel(QImage& image, int x, int y, uint32_t argb, double coverage);

// Draws the points (x1, y1) + k * unit direction for k = 0, 1, ... while k is below the length
// of the line (the end point is not drawn). Integer coordinates are pixel centres; a point
// between pixels is shared by its (up to) four neighbours in proportion to its distance to them.
// Each point takes the pattern colour at position, which then advances by step modulo the
// pattern length; the caller sets position (usually to 0) before a line.
//
// Coordinates are logical pixels. On an image of device pixel ratio r the ends go to the device
// pixels nearest to r times them, the points lie one device pixel apart with step / r each, and
// the line is round(r) device pixels wide (parallel strands one pixel apart along the minor
// axis, each starting at the same position), so it keeps its logical length, dashes and width.
void StippledLine(QImage& image, double x1, double y1, double x2, double y2,
                  const StipplePattern& pattern, double step, double& position);

}  // namespace kestro
