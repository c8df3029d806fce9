// Colour mixing of the views.
#pragma once

#include <cstdint>

namespace kestro {

// Per channel (alpha, red, green, blue) of two ARGB colours: round(a t + b (1 - t)), half to
// even. t is clamped to 0..1; NaN counts as 0.
uint32_t BlendColor32(uint32_t a, uint32_t b, float t);

// The same for 24-bit RGB colours with red in the low byte.
uint32_t BlendColor(uint32_t a, uint32_t b, float t);

}  // namespace kestro
