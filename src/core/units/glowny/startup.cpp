#include "core/units/glowny/startup.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/units/errors.h"
#include "core/units/glowny/learnparams.h"

namespace kestro {

void RefreshAfterPointsChange(KestroState& state, TrainingHost& host, bool redrawAlways) {
    UpdateEpochDownRate(state.learnParameters, state.pointSet.count);
    if (!state.learning) {
        RefreshAfterNetworkChange(state, host, SignalRedraw::AfterEdit);
        return;
    }
    // Within a run the next checkpoint measures the error; the points are drawn alone.
    host.RefreshStatus(0, 0);
    if (redrawAlways)
        host.DrawSignalView(RasterMode::None, 1, true);
}

PointsSnapshot TakePointsSnapshot(const KestroState& state) {
    PointsSnapshot snapshot;
    snapshot.points.assign(state.pointSet.points, state.pointSet.points + state.pointSet.count);
    snapshot.verifySet = state.verifySet;
    snapshot.shapeState = state.shapeState;
    return snapshot;
}

void SwapPoints(KestroState& state, PointsSnapshot& snapshot) {
    PointsSnapshot current = TakePointsSnapshot(state);
    KESTRO_ASSERT(snapshot.points.size() <= static_cast<size_t>(MaxPoints));
    state.pointSet.count = static_cast<int32_t>(snapshot.points.size());
    std::copy(snapshot.points.begin(), snapshot.points.end(), state.pointSet.points);
    state.verifySet = snapshot.verifySet;
    state.shapeState = snapshot.shapeState;
    snapshot = std::move(current);
}

bool SamePoints(const KestroState& state, const PointsSnapshot& snapshot) {
    const auto same = [](const SamplePoint& a, const SamplePoint& b) {
        return std::memcmp(&a.x, &b.x, sizeof a.x) == 0 &&
               std::memcmp(&a.y, &b.y, sizeof a.y) == 0 && a.classIndex == b.classIndex;
    };
    const PointSet& set = state.pointSet;
    if (static_cast<size_t>(set.count) != snapshot.points.size() ||
        state.shapeState.shapeId != snapshot.shapeState.shapeId)
        return false;
    for (int32_t i = 0; i < set.count; ++i)
        if (!same(set.points[i], snapshot.points[static_cast<size_t>(i)]))
            return false;
    for (int32_t i = 0; i < VerifySetSize; ++i)
        if (!same(state.verifySet.points[i], snapshot.verifySet.points[i]))
            return false;
    return true;
}

void ChangeStructure(KestroState& state, int32_t index) {
    // The kept networks and the Steps belong to the old structure.
    state.timeline.shown = -1;
    ClearTimeline(state.timeline);
    state.stepping = {};
    state.lastStep.reset();
    ComboStructureChange(index);
    state.structureIndex = index;
    state.continueStartEpoch.reset();
    KeepRestartStart(state);
}

bool StartUp(KestroState& state, TrainingHost& host, int32_t shapeId) {
    // Shape pick: generation with the dialog's options; a generation always redraws.
    const bool picked = PickShape(shapeId, state.generateOptions, state.shapeState, state.pointSet,
                                  state.verifySet);
    RefreshAfterPointsChange(state, host, true);

    // Learn mode "Normal (stop at 1% Err)".
    state.learnMode = LearnModeNormal;
    // View "Points and Network Answer".
    state.rasterMode = RasterMode::Answer;
    state.showPoints = true;
    // Class brush "Shape Determined Class".
    SelectClass(state.editState, SelectShapeClass);
    // Structure "2:10:2".
    ChangeStructure(state, DefaultStructureIndex);
    // Draw speed "10 frames per s.".
    ComboDrawSpeedChange(state.drawPeriod, DefaultDrawSpeedIndex);
    // checkAutoDecreaseClick only shows or hides panels; checkMomentumClick sets alpha.
    CheckMomentumClick(state.learnParameters, state.controls.momentum,
                       state.controls.alphaPosition);
    // The scroll bars' change handlers, in the form's order.
    ScrollBarNiChange(state.learnParameters, state.controls.niPosition);
    ScrollBarDownChange(state.learnParameters, state.controls.downPosition);
    UpdateEpochDownRate(state.learnParameters, state.pointSet.count);
    ScrollBarNiMinChange(state.learnParameters, state.controls.niMinPosition);
    ScrollBarAlphaChange(state.learnParameters, state.controls.alphaPosition);

    ResetNetwork(state, host);
    return picked;
}

FileResult OpenPointsFile(KestroState& state, TrainingHost& host,
                          const std::filesystem::path& path) {
    const FileResult result = LoadPointsFile(path, state.pointSet);
    if (result.status != FileStatus::Done)
        return result;
    ResetHistories(state.histories);
    // The timeline follows the histories: nothing is left on the graph to pick.
    ReturnToNow(state);
    ClearTimeline(state.timeline);
    // Recomputing the epoch down rate keeps the decay in step with the loaded point count.
    RefreshAfterPointsChange(state, host, true);
    return result;
}

}  // namespace kestro
