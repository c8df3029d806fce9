// The main window's start-up defaults and the loading of a points file, as core operations on the
// state, so that the window and the headless trainer set up the very same state.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

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

// "Open Points...": loads the file into the point set. A load that is not Done (no such file, a
// failure, a refused file) changes nothing. Otherwise the histories are emptied, the set is
// filled, the epoch down rate is recomputed for the new count and the view refreshed.
[[nodiscard]] FileResult OpenPointsFile(KestroState& state, TrainingHost& host,
                                        const std::filesystem::path& path);

// comboStructureChange: builds the network of the structure list's item index and records the
// choice in the state, with the new network's values as the ones Restart puts back.
void ChangeStructure(KestroState& state, int32_t index);

// What one undo step of the point set keeps: the points (by count, so a small set takes little
// room), the verify set and the shape, which a generation changes with them.
struct PointsSnapshot {
    std::vector<SamplePoint> points;
    VerifySet verifySet;
    ShapeState shapeState;
};

// The state's points, verify set and shape.
PointsSnapshot TakePointsSnapshot(const KestroState& state);
// Exchanges the state's points, verify set and shape with the snapshot's; the caller then
// refreshes as after any change of the points. A run in progress fits its order to the new
// count at its next epoch.
void SwapPoints(KestroState& state, PointsSnapshot& snapshot);
// Whether the snapshot holds the state's points, verify set and shape, bit for bit.
bool SamePoints(const KestroState& state, const PointsSnapshot& snapshot);

// The refresh after a change of the point set: the epoch down rate, then outside a run
// RefreshAfterNetworkChange (AfterEdit); within a run UpdateStatus(0, 0) and, with redrawAlways,
// the points-only picture.
void RefreshAfterPointsChange(KestroState& state, TrainingHost& host, bool redrawAlways);

}  // namespace kestro
