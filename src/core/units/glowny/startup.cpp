#include "core/units/glowny/startup.h"

#include "core/units/glowny/learnparams.h"

namespace kestro {

void RefreshAfterPointsChange(KestroState& state, TrainingHost& host, bool redrawAlways) {
    UpdateEpochDownRate(state.learnParameters, state.pointSet.count);
    host.RefreshStatus(0, 0);
    if (redrawAlways || !state.learning)
        host.DrawSignalView(RasterMode::None, 1, true);
}

void ChangeStructure(KestroState& state, int32_t index) {
    ComboStructureChange(index);
    state.structureIndex = index;
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
    if (result.status == FileStatus::NotAFile)
        return result;
    ResetHistories(state.histories);
    // Recomputing the epoch down rate keeps the decay in step with the loaded point count.
    RefreshAfterPointsChange(state, host, true);
    return result;
}

}  // namespace kestro
