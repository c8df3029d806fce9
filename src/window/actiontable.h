// The main window's actions as data: name, category, caption, hint, shortcut and icon.
#pragma once

#include <QKeySequence>
#include <array>
#include <string_view>

namespace kestro {

// One action of the main window. shortcut is stored as a virtual key in the low byte plus
// 0x2000 for Shift, 0x4000 for Ctrl and 0x8000 for Alt; 0 = none. icon: index into the 16 x 16
// action icons, -1 = none.
struct ActionSpec {
    std::string_view name;
    std::string_view category;
    std::string_view caption;
    std::string_view hint;
    int shortcut;
    int icon;
};

constexpr std::array<ActionSpec, 30> ActionTable{{
    {"ActionMaximize", "View", "Maximize / Restore", "", 122, -1},
    {"actionMinimize", "View", "Minimize", "", 16506, -1},
    {"actionDrawPoints", "View", "Points", "", 16433, -1},
    {"actionStop", "Network", "Stop", "", 27, -1},
    {"actionReset", "Network", "Reset Network", "", 116, -1},
    {"actionNaucz", "Network", "Learn", "", 117, 6},
    {"actionDrawAnswerPoints", "View", "Points and Network Answer", "", 16434, -1},
    {"actionLoadPoints", "Points", "Open Points...", "", 16463, -1},
    {"actionSavePoints", "Points", "Save Points As...", "", 16467, 5},
    {"actionGenerate", "Points", "Generate Points...", "Generate Points", 119, -1},
    {"actionGenerateNow", "Points", "Generate Points Now", "", 120, -1},
    {"actionClearPoints", "Points", "Clear Points", "Clear Points", 121, -1},
    {"actionExit", "", "Exit", "", 0, -1},
    {"actionDrawAreasPoints", "View", "Points and Areas", "", 16435, -1},
    {"actionSelectClass1", "Points", "Class 1", "", 49, -1},
    {"actionSelectClass2", "Points", "Class 2", "", 50, -1},
    {"actionSelectClassShape", "Points", "Shape Determined Class", "", 192, -1},
    {"actionSelectClassDelete", "Points", "Delete Points", "", 46, -1},
    {"actionDistanceUp", "Points", "", "", 221, -1},
    {"actionDistanceDown", "Points", "", "", 219, -1},
    {"actionDrawAreas", "View", "Areas", "", 16437, -1},
    {"actionDrawAnswer", "View", "Network Answer", "", 16436, -1},
    {"actionAbout", "Help", "About...", "", 0, 1},
    {"actionViewCoordinates", "View", "Coordinate Axis", "", 16432, -1},
    {"actionHelpF1", "Help", "Help", "", 112, 0},
    {"actionHelpOnline", "Help", "Online Help", "", 0, -1},
    {"actionHelpVersion", "Help", "Check Latest Version", "", 0, -1},
    {"actionHelpSupport", "Help", "Feedback and Support", "", 0, -1},
    {"actionHelpWeb", "Help", "Kestro Neural Network Web Page", "", 0, -1},
    {"actionError", "", "", "", 57425, -1},
}};
static_assert(ActionTable.size() == 30);

// The key sequence of a stored shortcut value; empty for 0 or an unknown virtual key.
QKeySequence ShortcutKeys(int stored);

}  // namespace kestro
