// The main window's actions, by id; ActionTable (actiontable.h) holds their data in this order.
#pragma once

#include <cstddef>

namespace kestro {

enum class ActionId {
    ActionMaximize,
    actionMinimize,
    actionDrawPoints,
    actionStop,
    actionReset,
    actionNaucz,
    actionDrawAnswerPoints,
    actionLoadPoints,
    actionSavePoints,
    actionGenerate,
    actionGenerateNow,
    actionClearPoints,
    actionExit,
    actionDrawAreasPoints,
    actionSelectClass1,
    actionSelectClass2,
    actionSelectClassShape,
    actionSelectClassDelete,
    actionDistanceUp,
    actionDistanceDown,
    actionDrawAreas,
    actionDrawAnswer,
    actionAbout,
    actionViewCoordinates,
    actionHelpF1,
    actionHelpOnline,
    actionHelpVersion,
    actionHelpSupport,
    actionHelpWeb,
    actionError,
    // Added beside the original set.
    actionUndo,
    actionRedo,
    actionDrawNeuron,
    actionViewWeightColors,
    actionViewFirstLayerLines,
    actionSeed,
    actionExportPicture,
    actionRestart,
    actionOpenSession,
    actionSaveSession,
    actionExportHistories,
    actionExportNetwork,
    actionStep,
    actionContinueHere,
    actionBackToNow,
    actionViewWrongOnly,
    actionViewLiveAnswer,
    actionViewStatusBar,
};

inline constexpr size_t ActionCount = static_cast<size_t>(ActionId::actionViewStatusBar) + 1;

}  // namespace kestro
