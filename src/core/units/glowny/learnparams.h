// Learning parameters and learn modes: how each learning control maps to its value, what its
// label shows, the learn-mode menu, the draw speeds and the network structures on offer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestro {

// The values that steer a training run.
struct LearnParameters {
    float ni = 0;             // learning rate of the next presentation
    float niMinimal = 0;      // the decay does not take ni below this
    float downFactor = 0;     // decay factor per point
    float epochDownRate = 0;  // downFactor to the power of the point count: ni's factor per epoch
    float alpha = 0;          // momentum, 0 while Momentum is unchecked
};

// The learning controls of the form (positions and switches) at their defaults. The run reads
// the switches and the order live; the Reset action reads the ni position.
struct LearnControls {
    int32_t niPosition = 90;
    int32_t downPosition = 99977;
    int32_t niMinPosition = 15;
    int32_t alphaPosition = 70;
    bool autoDecrease = true;
    bool momentum = true;
    bool premphase = false;
    bool verify = true;
    int32_t orderIndex = 4;
    bool resetAtBeginning = true;
};

// --- Scroll bars ---

// A scroll bar of the Learn tab: value = position / divisor, shown with `decimals` decimals.
struct ScrollBarInfo {
    std::string_view name;
    std::string_view caption;
    int32_t min;
    int32_t max;
    int32_t position;
    int32_t largeChange;
    int32_t divisor;
    int decimals;
};

constexpr ScrollBarInfo ScrollBarNiInfo{"scrollBarNi", "ni", 0, 100, 90, 10, 100, 2};
constexpr ScrollBarInfo ScrollBarDownInfo{"scrollBarDown", "Down Rate", 99900,  99999,
                                          99977,           10,          100000, 5};
constexpr ScrollBarInfo ScrollBarNiMinInfo{
    "scrollBarNiMin", "ni (Minimal)", 1, 1000, 15, 10, 1000, 3};
constexpr ScrollBarInfo ScrollBarAlphaInfo{"scrollBarAlpha", "Alpha", 0, 100, 70, 10, 100, 2};

// position / divisor in double, rounded to float. The position must lie in the bar's range.
float ScrollBarValue(const ScrollBarInfo& bar, int32_t position);

// The value label's text: the value in fixed point with the bar's decimals and a point.
std::string ScrollBarLabel(const ScrollBarInfo& bar, int32_t position);

// scrollBarNiChange: ni = position / 100; returns labelNiStart's text.
std::string ScrollBarNiChange(LearnParameters& params, int32_t position);
// scrollBarNiMinChange: ni minimal = position / 1000; returns labelNiMin's text.
std::string ScrollBarNiMinChange(LearnParameters& params, int32_t position);
// scrollBarAlphaChange: alpha = position / 100 whatever Momentum says; returns labelAlpha's text.
std::string ScrollBarAlphaChange(LearnParameters& params, int32_t position);
// scrollBarDownChange: down factor = position / 100000; returns labelDown's text. The caller
// then runs UpdateEpochDownRate.
std::string ScrollBarDownChange(LearnParameters& params, int32_t position);
// checkMomentumClick: alpha = alphaPosition / 100 when checked, else 0.
void CheckMomentumClick(LearnParameters& params, bool checked, int32_t alphaPosition);

// --- Epoch down rate ---

// 1.0 multiplied by downFactor once per point, rounded to float after each multiplication.
float EpochDownRate(float downFactor, int32_t pointCount);

// labelDRateP's text (3 decimals) and its hint ("Epoch Down Rate = " and 5 decimals).
struct EpochDownRateTexts {
    std::string label;
    std::string hint;
};

// The texts of labelDRateP for the epoch down rate the parameters hold.
EpochDownRateTexts EpochDownRateLabel(const LearnParameters& params);

// UpdateEpochDownRate: recomputes the epoch down rate for the point count; returns its texts.
EpochDownRateTexts UpdateEpochDownRate(LearnParameters& params, int32_t pointCount);

// --- Presentation order ---

// radioGroupOrder's items; the index is the order the run uses (4 = Swapping Permutation).
constexpr std::array<std::string_view, 5> PresentationOrderItems{
    "Fixed", "Random", "Random Err/2", "Random Err/10", "Swapping Permutation"};
static_assert(PresentationOrderItems.size() == 5);
constexpr int32_t OrderFixed = 0;
constexpr int32_t OrderRandom = 1;
constexpr int32_t OrderRandomErr2 = 2;
constexpr int32_t OrderRandomErr10 = 3;
constexpr int32_t OrderSwappingPermutation = 4;

// --- Learn modes ---

constexpr int32_t LearnModeContinuous = 14;
constexpr int32_t LearnModeHard = 13;
constexpr int32_t LearnModeNormal = 12;
constexpr int32_t LearnModeSoft = 11;

// One learn-mode item of popupMenuLearnMode. separatorBefore: a separator stands above it.
struct LearnModeItem {
    std::string_view name;
    std::string_view caption;
    int32_t tag;
    std::string_view hint;
    bool separatorBefore;
};

// The check item at the top of the learn-mode menu (checked at start), then a separator.
constexpr std::string_view ResetAtBeginningName = "miModeResetAtBeginning";
constexpr std::string_view ResetAtBeginningCaption = "Reset at beginning";

// The mode items in menu order; they form one radio group.
constexpr std::array<LearnModeItem, 13> LearnModeItems{{
    {"miModeForever", "Continuous", LearnModeContinuous, "Cont.", true},
    {"miModeHard", "Hard (stop at 0% Err)", LearnModeHard, "Hard", true},
    {"miModeNormal", "Normal (stop at 1% Err)", LearnModeNormal, "Normal", false},
    {"miModeSoft", "Soft (stop at 3% Err)", LearnModeSoft, "Soft", false},
    {"N1Iteration1", "1 Epoch", -1, "1 E.", true},
    {"N10Epochs1", "10 Epochs", -10, "10 E.", false},
    {"N1Iteration2", "50 Epochs", -50, "50 E.", false},
    {"AllPoints100Times1", "100 Epochs", -100, "100 E.", false},
    {"N200Epochs1", "250 Epochs", -250, "250 E.", false},
    {"N200Epochs2", "500 Epochs", -500, "500 E.", false},
    {"N500Epochs1", "1000 Epochs", -1000, "1000 E.", false},
    {"N200Epochs3", "5 000 Epochs", -5000, "5K E.", false},
    {"N1Iteration3", "10 000 Epochs", -10000, "10K E.", false},
}};
static_assert(LearnModeItems.size() == 13);

// The mode item with the given tag, or nullptr.
const LearnModeItem* FindLearnModeItem(int32_t tag);

// btnLearn's caption for a mode item: "+" when the next run continues (Reset at beginning
// unchecked), then "Learn (" + hint + ")".
std::string LearnButtonCaption(const LearnModeItem& item, bool resetAtBeginning);

// btnLearn's caption after miModeResetAtBeginningClick left the check item as resetAtBeginning:
// checked drops the leading "+", unchecked puts one in front.
std::string ToggledLearnButtonCaption(std::string_view caption, bool resetAtBeginning);

// --- Draw speed ---

// One item of comboDrawSpeed: the time between frames during a run, 0 = only at the end.
struct DrawSpeedItem {
    std::string_view caption;
    int32_t period;
};

constexpr std::array<DrawSpeedItem, 9> DrawSpeedItems{{
    {"20 frames per s.", 50},
    {"10 frames per s.", 100},
    {"5 frames per s.", 200},
    {"2 frames per s.", 500},
    {"1 frame per s.", 1000},
    {"Every 3 s.", 3000},
    {"Every 5 s.", 5000},
    {"Every 10 s.", 10000},
    {"Only At End", 0},
}};
static_assert(DrawSpeedItems.size() == 9);
constexpr int DefaultDrawSpeedIndex = 1;

// comboDrawSpeedChange: the period of the item at index; any other index leaves it unchanged.
void ComboDrawSpeedChange(int32_t& drawPeriod, int index);

// --- Pace ---

// One item of the pace list: how many epochs a run trains per second at most, 0 = full speed.
struct PaceItem {
    std::string_view caption;
    int32_t epochsPerSecond;
};

constexpr std::array<PaceItem, 5> PaceItems{{
    {"Full speed", 0},
    {"1000 epochs per s.", 1000},
    {"100 epochs per s.", 100},
    {"10 epochs per s.", 10},
    {"1 epoch per s.", 1},
}};
static_assert(PaceItems.size() == 5);

// The pace list's change: the pace of the item at index; any other index leaves it unchanged.
void ComboPaceChange(int32_t& pace, int index);

// --- Network structures ---

// comboStructure's texts in list order.
constexpr std::array<std::string_view, 47> StructureTexts{
    "2:2",       "2:1:2",     "2:2:2",     "2:3:2",     "2:4:2",     "2:5:2",     "2:6:2",
    "2:7:2",     "2:8:2",     "2:9:2",     "2:10:2",    "2:11:2",    "2:12:2",    "2:13:2",
    "2:14:2",    "2:15:2",    "2:20:2",    "2:25:2",    "2:50:2",    "2:100:2",   "2:2:2:2",
    "2:3:3:2",   "2:4:4:2",   "2:5:5:2",   "2:10:10:2", "2:3:4:2",   "2:4:3:2",   "2:3:5:2",
    "2:5:3:2",   "2:4:5:2",   "2:5:4:2",   "2:3:10:2",  "2:10:3:2",  "2:4:10:2",  "2:10:4:2",
    "2:5:10:2",  "2:10:5:2",  "2:2:2:2:2", "2:3:3:3:2", "2:3:4:3:2", "2:4:3:4:2", "2:4:4:4:2",
    "2:3:4:5:2", "2:5:4:3:2", "2:4:5:4:2", "2:5:4:5:2", "2:5:5:5:2"};
static_assert(StructureTexts.size() == 47);
constexpr int DefaultStructureIndex = 10;

// The index of a structure text in the list, or -1.
int FindStructure(std::string_view text);

// comboStructureChange: builds a new network for the structure at index (biases +-0.01, weights
// +-0.5); counters, ni and histories are left alone.
void ComboStructureChange(int index);

}  // namespace kestro
