// The main window's actions as typed data: one entry per action with its name, category,
// caption, hint, shortcut, icon and handler. The window creates and connects them in one loop
// and reaches each by its ActionId.
#pragma once

#include <QKeyCombination>
#include <array>
#include <cstddef>
#include <string_view>

#include "window/formmain.h"

namespace kestro {

// No shortcut.
inline constexpr QKeyCombination NoKey = QKeyCombination::fromCombined(0);

// A handler of TFormMain; null for the actions of an exclusive group, which has one handler.
using ActionHandler = void (TFormMain::*)();

// One action of the main window. icon: the name of an action icon (see ActionIcon), empty for
// none.
struct ActionSpec {
    ActionId id;
    std::string_view name;
    std::string_view category;
    std::string_view caption;
    std::string_view hint;
    QKeyCombination shortcut;
    std::string_view icon;
    ActionHandler handler;
};

// clang-format off
inline constexpr std::array<ActionSpec, ActionCount> ActionTable{{
    {ActionId::ActionMaximize, "ActionMaximize", "View", "Maximize / Restore", "", Qt::Key_F11, "", &TFormMain::ActionMaximizeExecute},
    {ActionId::actionMinimize, "actionMinimize", "View", "Minimize", "", Qt::CTRL | Qt::Key_F11, "", &TFormMain::actionMinimizeExecute},
    {ActionId::actionDrawPoints, "actionDrawPoints", "View", "Points", "", Qt::CTRL | Qt::Key_1, "", nullptr},
    {ActionId::actionStop, "actionStop", "Network", "Stop", "", Qt::Key_Escape, "", &TFormMain::actionStopExecute},
    {ActionId::actionReset, "actionReset", "Network", "Reset Network", "", Qt::Key_F5, "", &TFormMain::actionResetExecute},
    {ActionId::actionNaucz, "actionNaucz", "Network", "Learn", "", Qt::Key_F6, "learn", &TFormMain::actionNauczExecute},
    {ActionId::actionDrawAnswerPoints, "actionDrawAnswerPoints", "View", "Points and Network Answer", "", Qt::CTRL | Qt::Key_2, "", nullptr},
    {ActionId::actionLoadPoints, "actionLoadPoints", "Points", "Open Points...", "", Qt::CTRL | Qt::Key_O, "", &TFormMain::actionLoadPointsExecute},
    {ActionId::actionSavePoints, "actionSavePoints", "Points", "Save Points As...", "", Qt::CTRL | Qt::Key_S, "save-points", &TFormMain::actionSavePointsExecute},
    {ActionId::actionGenerate, "actionGenerate", "Points", "Generate Points...", "Generate Points", Qt::Key_F8, "", &TFormMain::actionGenerateExecute},
    {ActionId::actionGenerateNow, "actionGenerateNow", "Points", "Generate Points Now", "", Qt::Key_F9, "", &TFormMain::actionGenerateNowExecute},
    {ActionId::actionClearPoints, "actionClearPoints", "Points", "Clear Points", "Clear Points", Qt::Key_F10, "", &TFormMain::actionClearPointsExecute},
    {ActionId::actionExit, "actionExit", "", "Exit", "", NoKey, "", &TFormMain::actionExitExecute},
    {ActionId::actionDrawAreasPoints, "actionDrawAreasPoints", "View", "Points and Areas", "", Qt::CTRL | Qt::Key_3, "", nullptr},
    {ActionId::actionSelectClass1, "actionSelectClass1", "Points", "Class 1", "", Qt::Key_1, "", nullptr},
    {ActionId::actionSelectClass2, "actionSelectClass2", "Points", "Class 2", "", Qt::Key_2, "", nullptr},
    {ActionId::actionSelectClassShape, "actionSelectClassShape", "Points", "Shape Determined Class", "", Qt::Key_QuoteLeft, "", nullptr},
    {ActionId::actionSelectClassDelete, "actionSelectClassDelete", "Points", "Delete Points", "", Qt::Key_Delete, "", nullptr},
    {ActionId::actionDistanceUp, "actionDistanceUp", "Points", "", "", Qt::Key_BracketRight, "", &TFormMain::actionDistanceUpExecute},
    {ActionId::actionDistanceDown, "actionDistanceDown", "Points", "", "", Qt::Key_BracketLeft, "", &TFormMain::actionDistanceDownExecute},
    {ActionId::actionDrawAreas, "actionDrawAreas", "View", "Areas", "", Qt::CTRL | Qt::Key_5, "", nullptr},
    {ActionId::actionDrawAnswer, "actionDrawAnswer", "View", "Network Answer", "", Qt::CTRL | Qt::Key_4, "", nullptr},
    {ActionId::actionAbout, "actionAbout", "Help", "About...", "", NoKey, "about", &TFormMain::actionAboutExecute},
    {ActionId::actionViewCoordinates, "actionViewCoordinates", "View", "Coordinate Axis", "", Qt::CTRL | Qt::Key_0, "", &TFormMain::actionViewCoordinatesExecute},
    {ActionId::actionHelpF1, "actionHelpF1", "Help", "Help", "", Qt::Key_F1, "help", &TFormMain::actionHelpF1Execute},
    {ActionId::actionHelpOnline, "actionHelpOnline", "Help", "Online Help", "", NoKey, "", &TFormMain::actionHelpOnlineExecute},
    {ActionId::actionHelpVersion, "actionHelpVersion", "Help", "Check Latest Version", "", NoKey, "", &TFormMain::actionHelpVersionExecute},
    {ActionId::actionHelpSupport, "actionHelpSupport", "Help", "Feedback and Support", "", NoKey, "", &TFormMain::actionHelpSupportExecute},
    {ActionId::actionHelpWeb, "actionHelpWeb", "Help", "Kestro Neural Network Web Page", "", NoKey, "", &TFormMain::actionHelpWebExecute},
    {ActionId::actionError, "actionError", "", "", "", Qt::SHIFT | Qt::CTRL | Qt::ALT | Qt::Key_Q, "", &TFormMain::actionErrorExecute},
    {ActionId::actionUndo, "actionUndo", "Points", "Undo", "", Qt::CTRL | Qt::Key_Z, "", &TFormMain::actionUndoExecute},
    {ActionId::actionRedo, "actionRedo", "Points", "Redo", "", Qt::CTRL | Qt::SHIFT | Qt::Key_Z, "", &TFormMain::actionRedoExecute},
    {ActionId::actionDrawNeuron, "actionDrawNeuron", "View", "Points and Neuron Output", "Click a neuron in the network diagram to show its output", Qt::CTRL | Qt::Key_6, "", nullptr},
    {ActionId::actionViewWeightColors, "actionViewWeightColors", "View", "Weight Colors", "Connections coloured by the sign of their weights", NoKey, "", &TFormMain::actionViewWeightColorsExecute},
    {ActionId::actionViewFirstLayerLines, "actionViewFirstLayerLines", "View", "First Layer Lines", "Where each neuron of the first hidden layer changes sign", NoKey, "", &TFormMain::actionViewFirstLayerLinesExecute},
    {ActionId::actionSeed, "actionSeed", "Network", "Seed...", "The seed of the random generator", NoKey, "", &TFormMain::actionSeedExecute},
    {ActionId::actionExportPicture, "actionExportPicture", "Points", "Export Picture...", "The drawing area as a PNG picture", NoKey, "", &TFormMain::actionExportPictureExecute},
    {ActionId::actionRestart, "actionRestart", "Network", "Restart", "The network as it was right after its last Reset or structure choice", Qt::SHIFT | Qt::Key_F5, "", &TFormMain::actionRestartExecute},
    {ActionId::actionOpenSession, "actionOpenSession", "Points", "Open Session...", "The whole experiment from a session file", Qt::CTRL | Qt::SHIFT | Qt::Key_O, "", &TFormMain::actionOpenSessionExecute},
    {ActionId::actionSaveSession, "actionSaveSession", "Points", "Save Session...", "The whole experiment to a session file", Qt::CTRL | Qt::SHIFT | Qt::Key_S, "", &TFormMain::actionSaveSessionExecute},
    {ActionId::actionExportHistories, "actionExportHistories", "Points", "Export Error History...", "The error graph's values as CSV", NoKey, "", &TFormMain::actionExportHistoriesExecute},
    {ActionId::actionExportNetwork, "actionExportNetwork", "Points", "Export Network...", "The structure, weights and biases as JSON", NoKey, "", &TFormMain::actionExportNetworkExecute},
    {ActionId::actionStep, "actionStep", "Network", "Step", "One presentation: the point the order chooses next, trained as a run trains it", Qt::Key_F7, "", &TFormMain::actionStepExecute},
    {ActionId::actionContinueHere, "actionContinueHere", "Network", "Continue From Here", "The epoch picked on the error graph becomes the current network", NoKey, "", &TFormMain::actionContinueHereExecute},
    {ActionId::actionBackToNow, "actionBackToNow", "Network", "Back to Now\tEsc", "The current network again, after an epoch was picked on the error graph", NoKey, "", &TFormMain::actionBackToNowExecute},
    {ActionId::actionViewWrongOnly, "actionViewWrongOnly", "View", "Wrong Points Only", "Only the points the network answers wrongly", NoKey, "", &TFormMain::actionViewWrongOnlyExecute},
    {ActionId::actionViewLiveAnswer, "actionViewLiveAnswer", "View", "Live Answer", "Outside a run, the drawing area follows every change in the view mode instead of showing the points alone", NoKey, "", &TFormMain::actionViewLiveAnswerExecute},
    {ActionId::actionViewStatusBar, "actionViewStatusBar", "View", "Status Bar", "The line along the window's bottom: picked epoch, Step, wrong answers per class, hints", NoKey, "", &TFormMain::actionViewStatusBarExecute},
}};
// clang-format on

// Each entry stands at the position of its id, so ActionTable[id] is that action's entry.
constexpr bool ActionTableInOrder() {
    for (size_t i = 0; i < ActionTable.size(); ++i)
        if (static_cast<size_t>(ActionTable[i].id) != i)
            return false;
    return true;
}
static_assert(ActionTableInOrder(), "ActionTable entries must follow the order of ActionId");

// The entry of an action.
constexpr const ActionSpec& ActionEntry(ActionId id) {
    return ActionTable[static_cast<size_t>(id)];
}

// The five view modes: what the drawing area shows under each view action.
struct ViewModeSpec {
    ActionId action;
    RasterMode raster;
    bool showPoints;
};
inline constexpr std::array<ViewModeSpec, 6> ViewModes{{
    {ActionId::actionDrawPoints, RasterMode::None, true},
    {ActionId::actionDrawAnswerPoints, RasterMode::Answer, true},
    {ActionId::actionDrawAreasPoints, RasterMode::Areas, true},
    {ActionId::actionDrawAnswer, RasterMode::Answer, false},
    {ActionId::actionDrawAreas, RasterMode::Areas, false},
    {ActionId::actionDrawNeuron, RasterMode::Neuron, true},
}};

// The class-selection actions and the tag of the class panel each selects.
struct ClassActionSpec {
    ActionId action;
    int32_t tag;
};
inline constexpr std::array<ClassActionSpec, 4> ClassActions{{
    {ActionId::actionSelectClassShape, SelectShapeClass},
    {ActionId::actionSelectClass1, SelectClass1},
    {ActionId::actionSelectClass2, SelectClass2},
    {ActionId::actionSelectClassDelete, SelectDelete},
}};

}  // namespace kestro
