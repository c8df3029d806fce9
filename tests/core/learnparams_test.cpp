#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "core/units/errors.h"
#include "core/units/glowny/learnparams.h"
#include "core/units/nnet.h"
#include "core/units/random.h"

namespace kestro {
namespace {

TEST(ScrollBars, PositionsMapToValuesAndLabels) {
    LearnParameters p;
    EXPECT_EQ(ScrollBarNiChange(p, 90), "0.90");
    EXPECT_EQ(p.ni, 0.9f);
    EXPECT_EQ(ScrollBarNiChange(p, 0), "0.00");
    EXPECT_EQ(p.ni, 0.0f);
    EXPECT_EQ(ScrollBarNiMinChange(p, 15), "0.015");
    EXPECT_EQ(p.niMinimal, 0.015f);
    EXPECT_EQ(ScrollBarNiMinChange(p, 1), "0.001");
    EXPECT_EQ(p.niMinimal, 0.001f);
    EXPECT_EQ(ScrollBarDownChange(p, 99977), "0.99977");
    EXPECT_EQ(p.downFactor, 0.99977f);
    EXPECT_EQ(ScrollBarAlphaChange(p, 70), "0.70");
    EXPECT_EQ(p.alpha, 0.7f);
    EXPECT_EQ(ScrollBarLabel(ScrollBarNiMinInfo, 1000), "1.000");
}

TEST(ScrollBars, FormDefaultsAndRanges) {
    const LearnControls c;
    EXPECT_EQ(c.niPosition, ScrollBarNiInfo.position);
    EXPECT_EQ(c.downPosition, ScrollBarDownInfo.position);
    EXPECT_EQ(c.niMinPosition, ScrollBarNiMinInfo.position);
    EXPECT_EQ(c.alphaPosition, ScrollBarAlphaInfo.position);
    EXPECT_TRUE(c.autoDecrease && c.momentum && c.verify && c.resetAtBeginning);
    EXPECT_FALSE(c.premphase);
    EXPECT_EQ(c.orderIndex, OrderSwappingPermutation);
    LearnParameters p;
    EXPECT_THROW(ScrollBarNiChange(p, 101), EAssertionFailed);
    EXPECT_THROW(ScrollBarNiMinChange(p, 0), EAssertionFailed);
    EXPECT_THROW(ScrollBarDownChange(p, 100000), EAssertionFailed);
    EXPECT_THROW(ScrollBarAlphaChange(p, -1), EAssertionFailed);
}

TEST(ScrollBars, MomentumSwitchesAlphaOffAndBack) {
    LearnParameters p;
    ScrollBarAlphaChange(p, 70);
    CheckMomentumClick(p, false, 70);
    EXPECT_EQ(p.alpha, 0);
    CheckMomentumClick(p, true, 40);
    EXPECT_EQ(p.alpha, 0.4f);
}

TEST(EpochDownRate, LabelsAndHints) {
    LearnParameters p;
    ScrollBarDownChange(p, 99977);
    EpochDownRateTexts t = UpdateEpochDownRate(p, 100);
    EXPECT_EQ(t.label, "0.977");
    EXPECT_EQ(t.hint, "Epoch Down Rate = 0.97726");
    // Independent of the float loop: the power in double agrees to well within the label.
    EXPECT_NEAR(p.epochDownRate, std::pow(0.99977, 100), 1e-5);

    t = UpdateEpochDownRate(p, 0);
    EXPECT_EQ(p.epochDownRate, 1.0f);
    EXPECT_EQ(t.label, "1.000");

    ScrollBarDownChange(p, 99999);
    t = UpdateEpochDownRate(p, 2000);
    EXPECT_EQ(t.label, "0.980");
    EXPECT_NEAR(p.epochDownRate, std::pow(0.99999, 2000), 1e-4);

    ScrollBarDownChange(p, 99900);
    t = UpdateEpochDownRate(p, 2000);
    EXPECT_EQ(t.label, "0.135");
    EXPECT_NEAR(p.epochDownRate, std::pow(0.999, 2000), 1e-4);
}

TEST(EpochDownRate, RoundsAfterEveryMultiplication) {
    // Worked out separately, rounding to float after each of the 2000 multiplications; a single
    // rounding of the exact power would give 0.6312321424484253.
    EXPECT_EQ(EpochDownRate(0.99977f, 2000), 0.6312323212623596f);
    EXPECT_EQ(EpochDownRate(0.999f, 2000), 0.13520346581935883f);
    EXPECT_EQ(EpochDownRate(0.99977f, 1), 0.99977f);
}

TEST(LearnModes, MenuTable) {
    std::set<int32_t> tags;
    std::set<std::string_view> names;
    for (const LearnModeItem& item : LearnModeItems) {
        tags.insert(item.tag);
        names.insert(item.name);
    }
    EXPECT_EQ(tags.size(), LearnModeItems.size());
    EXPECT_EQ(names.size(), LearnModeItems.size());
    ASSERT_NE(FindLearnModeItem(12), nullptr);
    EXPECT_EQ(FindLearnModeItem(12)->caption, "Normal (stop at 1% Err)");
    EXPECT_EQ(FindLearnModeItem(-5000)->hint, "5K E.");
    EXPECT_EQ(FindLearnModeItem(-10000)->caption, "10 000 Epochs");
    EXPECT_EQ(FindLearnModeItem(14)->name, "miModeForever");
    EXPECT_EQ(FindLearnModeItem(7), nullptr);
    EXPECT_EQ(FindLearnModeItem(0), nullptr);
    // Separators above Continuous, Hard and 1 Epoch only.
    int separators = 0;
    for (const LearnModeItem& item : LearnModeItems)
        separators += item.separatorBefore;
    EXPECT_EQ(separators, 3);
    EXPECT_TRUE(FindLearnModeItem(-1)->separatorBefore);
}

TEST(LearnModes, ButtonCaptions) {
    const LearnModeItem& hard = *FindLearnModeItem(LearnModeHard);
    const LearnModeItem& normal = *FindLearnModeItem(LearnModeNormal);
    EXPECT_EQ(LearnButtonCaption(normal, true), "Learn (Normal)");
    EXPECT_EQ(LearnButtonCaption(hard, false), "+Learn (Hard)");
    EXPECT_EQ(LearnButtonCaption(*FindLearnModeItem(-1), false), "+Learn (1 E.)");

    // Toggling Reset at beginning twice gives back the caption it started from.
    const std::string start = LearnButtonCaption(normal, true);
    const std::string once = ToggledLearnButtonCaption(start, false);
    EXPECT_EQ(once, "+Learn (Normal)");
    EXPECT_EQ(ToggledLearnButtonCaption(once, true), start);
    const std::string plus = LearnButtonCaption(hard, false);
    EXPECT_EQ(ToggledLearnButtonCaption(ToggledLearnButtonCaption(plus, true), false), plus);
    // A caption without "+" loses nothing when the box becomes checked.
    EXPECT_EQ(ToggledLearnButtonCaption("Learn (Soft)", true), "Learn (Soft)");
    EXPECT_EQ(ToggledLearnButtonCaption("", true), "");
}

TEST(DrawSpeed, PeriodsByIndex) {
    int32_t period = 123;
    ComboDrawSpeedChange(period, DefaultDrawSpeedIndex);
    EXPECT_EQ(period, 100);
    ComboDrawSpeedChange(period, 0);
    EXPECT_EQ(period, 50);
    ComboDrawSpeedChange(period, 7);
    EXPECT_EQ(period, 10000);
    ComboDrawSpeedChange(period, 8);
    EXPECT_EQ(period, 0);
    EXPECT_EQ(DrawSpeedItems[8].caption, "Only At End");
    period = 500;
    ComboDrawSpeedChange(period, 9);
    ComboDrawSpeedChange(period, -1);
    EXPECT_EQ(period, 500);
}

TEST(Structures, ListIsUniqueAndEveryTextBuildsItsNetwork) {
    EXPECT_EQ(StructureTexts[DefaultStructureIndex], "2:10:2");
    EXPECT_EQ(StructureTexts.front(), "2:2");
    EXPECT_EQ(StructureTexts.back(), "2:5:5:5:2");
    EXPECT_EQ(FindStructure("2:100:2"), 19);
    EXPECT_EQ(FindStructure("2:30:2"), -1);
    std::set<std::string_view> unique(StructureTexts.begin(), StructureTexts.end());
    EXPECT_EQ(unique.size(), StructureTexts.size());
    SetRandomSeed(3);
    for (size_t k = 0; k < StructureTexts.size(); ++k) {
        ComboStructureChange(static_cast<int>(k));
        // Count the layers in the text and compare with what was built.
        const std::string_view text = StructureTexts[k];
        const int layers = 1 + static_cast<int>(std::count(text.begin(), text.end(), ':'));
        ASSERT_EQ(LayerCount(), layers) << text;
        EXPECT_EQ(LayerSize(0), 2) << text;
        EXPECT_EQ(LayerSize(layers - 1), 2) << text;
    }
    EXPECT_THROW(ComboStructureChange(47), EAssertionFailed);
}

TEST(Structures, EveryChoiceDrawsNewWeights) {
    SetRandomSeed(8);
    ComboStructureChange(DefaultStructureIndex);
    const float before = IncomingWeight(12, 3);
    ComboStructureChange(DefaultStructureIndex);
    EXPECT_NE(IncomingWeight(12, 3), before);
}

}  // namespace
}  // namespace kestro
