#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "core/units/errors.h"
#include "core/units/glowny/history.h"

namespace kestro {
namespace {

// a(k): distinct values whose min/max pairs are easy to tell apart.
float A(int k) {
    return static_cast<float>((k * 37) % 101) / 100.0f;
}

class History : public testing::Test {
  protected:
    void SetUp() override { ResetHistory(*h); }
    std::unique_ptr<ErrorHistory> h = std::make_unique<ErrorHistory>();
};

TEST_F(History, ResetLeavesAnEmptySeries) {
    AppendHistory(*h, 0.5f);
    ResetHistory(*h);
    EXPECT_EQ(h->count, 0);
    EXPECT_EQ(h->step, 1);
    EXPECT_EQ(UsedSlots(*h), 0);
    EXPECT_EQ(h->slot[0].min, 0);
    EXPECT_EQ(h->slot[0].max, 0);
}

TEST_F(History, ResetHistoriesEmptiesAllFourSeries) {
    auto all = std::make_unique<ErrorHistories>();
    for (ErrorHistory& series : all->series)
        for (int k = 0; k < 2500; ++k)
            AppendHistory(series, 1);
    ResetHistories(*all);
    for (const ErrorHistory& series : all->series) {
        EXPECT_EQ(series.count, 0);
        EXPECT_EQ(series.step, 1);
    }
}

TEST_F(History, TwoThousandValuesFillOneSlotEach) {
    for (int k = 0; k < 2000; ++k)
        AppendHistory(*h, A(k));
    EXPECT_EQ(h->count, 2000);
    EXPECT_EQ(h->step, 1);
    EXPECT_EQ(UsedSlots(*h), 2000);
    for (int k = 0; k < 2000; ++k) {
        ASSERT_EQ(h->slot[k].min, A(k)) << k;
        ASSERT_EQ(h->slot[k].max, A(k)) << k;
    }
}

TEST_F(History, TheNextValueHalvesFirst) {
    for (int k = 0; k < 2001; ++k)
        AppendHistory(*h, A(k));
    EXPECT_EQ(h->count, 2001);
    EXPECT_EQ(h->step, 2);
    EXPECT_EQ(UsedSlots(*h), 1001);
    for (int j = 0; j < 1000; ++j) {
        ASSERT_EQ(h->slot[j].min, std::min(A(2 * j), A(2 * j + 1))) << j;
        ASSERT_EQ(h->slot[j].max, std::max(A(2 * j), A(2 * j + 1))) << j;
    }
    EXPECT_EQ(h->slot[1000].min, A(2000));
    EXPECT_EQ(h->slot[1000].max, A(2000));
}

TEST_F(History, MergingIntoAStartedSlot) {
    for (int k = 0; k < 2001; ++k)
        AppendHistory(*h, 0.2f);
    // count 2001 at step 2: slot 1000 holds one value; fill slot 1001 with 0.3 then 0.1
    AppendHistory(*h, 0.2f);
    AppendHistory(*h, 0.3f);
    AppendHistory(*h, 0.1f);
    EXPECT_EQ(h->slot[1001].min, 0.1f);
    EXPECT_EQ(h->slot[1001].max, 0.3f);
}

TEST_F(History, FourThousandThenFourThousandAndOne) {
    for (int k = 0; k < 4000; ++k)
        AppendHistory(*h, A(k));
    EXPECT_EQ(h->step, 2);
    EXPECT_EQ(UsedSlots(*h), 2000);
    AppendHistory(*h, A(4000));
    EXPECT_EQ(h->step, 4);
    EXPECT_EQ(h->count, 4001);
    EXPECT_EQ(UsedSlots(*h), 1001);
    // slot j now covers values 4j .. 4j + 3
    for (int j = 0; j < 1000; ++j) {
        float lo = A(4 * j), hi = A(4 * j);
        for (int k = 4 * j + 1; k < 4 * j + 4; ++k) {
            lo = std::min(lo, A(k));
            hi = std::max(hi, A(k));
        }
        ASSERT_EQ(h->slot[j].min, lo) << j;
        ASSERT_EQ(h->slot[j].max, hi) << j;
    }
    EXPECT_EQ(h->slot[1000].min, A(4000));
}

TEST_F(History, StepCopiesOfOneValueFillExactlyOneSlot) {
    for (int k = 0; k < 4001; ++k)
        AppendHistory(*h, 0.5f);
    ASSERT_EQ(h->step, 4);
    // count 4001: slot 1000 has 1 value; three more complete it, then four copies fill slot 1001
    for (int k = 0; k < 3; ++k)
        AppendHistory(*h, 0.5f);
    for (int k = 0; k < 4; ++k)
        AppendHistory(*h, 0.7f);
    EXPECT_EQ(h->slot[1000].min, 0.5f);
    EXPECT_EQ(h->slot[1000].max, 0.5f);
    EXPECT_EQ(h->slot[1001].min, 0.7f);
    EXPECT_EQ(h->slot[1001].max, 0.7f);
    EXPECT_EQ(UsedSlots(*h), 1002);
}

// Many copies at once give exactly what appending them one by one gives, across slot borders
// and halvings, and a step of 2^40 copies takes no time.
TEST_F(History, CopiesAtOnceAreCopiesOneByOne) {
    auto plain = std::make_unique<ErrorHistory>();
    ResetHistory(*plain);
    for (int k = 0; k < 700; ++k) {
        const int64_t copies = 1 + (k * 13) % 29;
        for (int64_t c = 0; c < copies; ++c)
            AppendHistory(*plain, A(k));
        AppendHistoryCopies(*h, A(k), copies);
        ASSERT_EQ(h->count, plain->count);
        ASSERT_EQ(h->step, plain->step);
        for (int j = 0; j < UsedSlots(*h); ++j) {
            ASSERT_EQ(h->slot[j].min, plain->slot[j].min) << k << " " << j;
            ASSERT_EQ(h->slot[j].max, plain->slot[j].max) << k << " " << j;
        }
    }
    ASSERT_GT(h->step, 1);
    AppendHistoryCopies(*h, 0.25f, int64_t{1} << 40);
    EXPECT_EQ(h->count, plain->count + (int64_t{1} << 40));
    EXPECT_EQ(h->slot[UsedSlots(*h) - 1].max, 0.25f);
}

TEST_F(History, LongSeriesKeepBetweenOneAndTwoThousandSlots) {
    float lowest = 2, highest = -1;
    for (int k = 0; k < 100000; ++k) {
        const float v = A(k) - (k == 77777 ? 5.0f : 0.0f);
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
        AppendHistory(*h, v);
        if (k >= 2000) {
            const int used = UsedSlots(*h);
            ASSERT_GE(used, 1000) << k;
            ASSERT_LE(used, 2000) << k;
        }
    }
    EXPECT_EQ(h->step, 64);
    // The extremes survive every halving.
    float seenLow = 2, seenHigh = -10;
    for (int j = 0; j < UsedSlots(*h); ++j) {
        seenLow = std::min(seenLow, h->slot[j].min);
        seenHigh = std::max(seenHigh, h->slot[j].max);
    }
    EXPECT_EQ(seenLow, lowest);
    EXPECT_EQ(seenHigh, highest);
}

TEST_F(History, BrokenInvariantsAreAssertions) {
    h->step = 0;
    try {
        AppendHistory(*h, 1);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_NE(std::string(e.what()).find("units/glowny/history.cpp"), std::string::npos)
            << e.what();
    }
    ResetHistory(*h);
    h->count = -1;
    EXPECT_THROW(AppendHistory(*h, 1), EAssertionFailed);
}

// Cut back and refined to a finer step, each slot holds the range of the coarse slot it came
// from: with value k appended k-th, slot j at step 1 spans the step-4 slot around j.
TEST_F(History, CutBackAndRefinedSlotsKeepTheirMergedRange) {
    for (int k = 0; k < 5000; ++k)
        AppendHistory(*h, static_cast<float>(k));
    ASSERT_EQ(h->step, 4);
    TruncateHistory(*h, 1500);
    RefineHistory(*h, 1);
    EXPECT_EQ(h->count, 1500);
    EXPECT_EQ(h->step, 1);
    ASSERT_EQ(UsedSlots(*h), 1500);
    for (int j = 0; j < 1500; ++j) {
        ASSERT_EQ(h->slot[j].min, static_cast<float>(j / 4 * 4)) << j;
        ASSERT_EQ(h->slot[j].max, static_cast<float>(j / 4 * 4 + 3)) << j;
    }
    // Appending goes on at step 1 and halves again after 2000 values.
    for (int k = 1500; k < 2001; ++k)
        AppendHistory(*h, 0);
    EXPECT_EQ(h->step, 2);
}

}  // namespace
}  // namespace kestro
