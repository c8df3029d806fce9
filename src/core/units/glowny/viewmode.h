// The view settings of the drawing area as types; the numbers stand only at the edges (menus,
// files, the trainer's options).
#pragma once

#include <cstdint>

namespace kestro {

// What the drawing area shows under the points: nothing (black), the network's answer, or the
// areas of the first hidden layer. The values are the tags the view-mode menu carries.
// Neuron: the output of one chosen neuron (a view added beside the menu's original three).
enum class RasterMode : int32_t { None = 0, Answer = 1, Areas = -1, Neuron = 2 };

// The cell size in pixels of the coarse frames drawn during a run; 1 is full resolution.
constexpr int32_t RunFrameCellSize = 4;

}  // namespace kestro
