// The main window's start-up defaults and the loading of a points file, as core operations on the
// state, so that the window and the headless trainer set up the very same state.
#pragma once

#include <cstdint>
#include <filesystem>

#include "core/units/glowny/pointsfile.h"
#include "core/units/glowny/shapes.h"
#include "core/units/glowny/state.h"
#include "core/units/glowny/training.h"

namespace kestro {

// The first showing's defaults, in order, each through the handler a user's action runs: the
// shape pick (Wave unless told otherwise) with the generation options and its refresh, learn mode
// Normal, view "Points and Network Answer", class brush "Shape Determined Class", structure
// "2:10:2", draw speed "10 frames per s.", the Auto Decrease and Momentum boxes, the four scroll
// bars at the controls' positions, and Reset Network. The state must be freshly created; the
// random generator is seeded by the caller. Returns the shape pick's result (false: the points
// of its last attempt stay).
[[nodiscard]] bool StartUp(KestroState& state, TrainingHost& host, int32_t shapeId = ShapeWave);

// "Open Points...": loads the file into the point set. A path that is not an existing file
// changes nothing. Otherwise the histories are emptied, the set is filled (left empty when
// reading fails), the epoch down rate is recomputed for the new count, the status refreshed and
// the points drawn.
[[nodiscard]] FileResult OpenPointsFile(KestroState& state, TrainingHost& host,
                                        const std::filesystem::path& path);

// comboStructureChange: builds the network of the structure list's item index and records the
// choice in the state.
void ChangeStructure(KestroState& state, int32_t index);

// The refresh after a change of the point set: epoch down rate, UpdateStatus(0, 0) and, unless
// a run is in progress and redrawAlways is false, the points-only picture.
void RefreshAfterPointsChange(KestroState& state, TrainingHost& host, bool redrawAlways);

}  // namespace kestro
