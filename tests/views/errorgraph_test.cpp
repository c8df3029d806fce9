#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "views/errorgraph.h"
#include "viewtest.h"

namespace kestro {
namespace {

using test::NewImage;
using test::Px;

constexpr uint32_t Black = 0xFF000000, Red = 0xFFFF0000;

// A history of n samples at step s whose slots all hold value.
ErrorHistory History(int64_t n, float value, int64_t step = 1) {
    ErrorHistory h;
    h.count = n;
    h.step = step;
    for (int i = 0; i < HistorySlots; ++i)
        h.slot[i] = {value, value};
    return h;
}

// The columns of one row holding a colour.
std::set<int> ColumnsIn(const QImage& image, int row, uint32_t color) {
    std::set<int> columns;
    for (int x = 0; x < image.width(); ++x)
        if (Px(image, x, row) == color)
            columns.insert(x);
    return columns;
}

int CountColor(const QImage& image, uint32_t color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        count += static_cast<int>(ColumnsIn(image, y, color).size());
    return count;
}

class ErrorGraphTest : public testing::Test {
  protected:
    void SetUp() override { test::EnsureGuiApplication(); }
};

TEST_F(ErrorGraphTest, RowRule) {
    EXPECT_EQ(GraphRow(0.5f, 100), 49);
    EXPECT_EQ(GraphRow(0.0f, 100), 99);
    EXPECT_EQ(GraphRow(1.0f, 100), -1);  // one row above the top
    EXPECT_EQ(GraphRow(0.5f, 5), 2);     // 2.5 rounds to even 2
    EXPECT_EQ(GraphRow(0.625f, 4), 1);   // 2.5 rounds to even 2
    EXPECT_EQ(GraphRow(0.875f, 4), -1);  // 3.5 rounds to even 4
    EXPECT_LT(GraphRow(std::nanf(""), 100), -1000000);
    EXPECT_LT(GraphRow(1e30f, 100), -1000000);
    EXPECT_GT(GraphRow(-1e30f, 100), 1000000);
}

TEST_F(ErrorGraphTest, LabelGivesTheSpanOfTheTimeAxis) {
    for (const auto& [n, text] : {std::pair<int64_t, const char*>{1, "1000"},
                                  {1000, "1000"},
                                  {1001, "1001"},
                                  {123456, "123456"},
                                  {5000000000, "5000000000"}}) {
        const TextPlacement label = GraphLabelLayout(n, 585);
        EXPECT_EQ(label.text, text);
        EXPECT_EQ(label.x, 585 - TextWidth(text, false) - 2);
        EXPECT_EQ(label.y, 2);
        EXPECT_FALSE(label.bold);
    }
}

TEST_F(ErrorGraphTest, OneOrTwoSamplesDrawNoLineAndEmptyHistoriesOrTinyStripsNothing) {
    for (int n : {1, 2}) {
        QImage image = NewImage(585, 100);
        DrawHistorySeries(History(n, 0.5f), 0x0000FF, image);
        EXPECT_EQ(CountColor(image, Red), 0) << n;
        EXPECT_GT(CountColor(image, Black), 0);
    }
    QImage image = NewImage(585, 100);
    DrawHistorySeries(History(0, 0.5f), 0x0000FF, image);
    EXPECT_EQ(CountColor(image, Black), 585 * 100);  // not even the label
    for (const auto& [w, h] : {std::pair{1, 100}, std::pair{100, 1}}) {
        QImage tiny = NewImage(w, h);
        DrawHistorySeries(History(500, 0.5f), 0x0000FF, tiny);
        EXPECT_EQ(CountColor(tiny, Black), w * h);
    }
    // Three samples: slot 1 lands on column 1 only with a wide strip; the line from column 0
    // then draws its first pixel.
    QImage wide = NewImage(1000, 100);
    DrawHistorySeries(History(3, 0.5f), 0x0000FF, wide);
    EXPECT_EQ(ColumnsIn(wide, 49, Red), (std::set<int>{0}));
}

TEST_F(ErrorGraphTest, FiveHundredSamplesOn585PixelsUseAThousandEpochAxis) {
    QImage image = NewImage(585, 100);
    ErrorHistory h = History(500, 0.5f);
    DrawHistorySeries(h, 0x0000FF, image);
    // Slots 0..498 at x = (i 585) div 1000, the last at 291; each line leaves out its end.
    std::set<int> expected;
    for (int x = 0; x <= 290; ++x)
        expected.insert(x);
    EXPECT_EQ(ColumnsIn(image, 49, Red), expected);
    EXPECT_EQ(CountColor(image, Red), 291);

    // Slots 0 and 1 both map to column 0: the pen only moves there, to slot 1's row.
    h.slot[0] = {0.9f, 0.9f};
    image = NewImage(585, 100);
    DrawHistorySeries(h, 0x0000FF, image);
    EXPECT_EQ(Px(image, 0, 9), Black);
    EXPECT_EQ(Px(image, 0, 49), Red);
}

TEST_F(ErrorGraphTest, AThousandSamplesStillSpanAThousandEpochsAndMoreAreCompressed) {
    for (int n : {1000, 1001}) {
        QImage image = NewImage(100, 100);
        DrawHistorySeries(History(n, 0.25f), 0x0000FF, image);
        std::set<int> expected;
        for (int x = 0; x <= 98; ++x)
            expected.insert(x);
        EXPECT_EQ(ColumnsIn(image, 74, Red), expected) << n;
    }
    // 1500 samples at step 1, or 3000 at step 2: 1500 slots over 100 columns; column x shows
    // slots up to (x 1499) div 100, so slot 1400 lands in column 94 (slots 1395..1409).
    for (const auto& [n, step] : {std::pair{1500, 1}, std::pair{3000, 2}}) {
        ErrorHistory h = History(n, 0.5f, step);
        h.slot[1400] = {0.1f, 0.9f};
        QImage image = NewImage(100, 100);
        DrawHistorySeries(h, 0x0000FF, image);
        EXPECT_EQ(ColumnsIn(image, 20, Red), (std::set<int>{94})) << n;
        EXPECT_EQ(Px(image, 94, 88), Red);
        EXPECT_EQ(Px(image, 94, 89), Red);  // the next column's line starts here
    }
}

TEST_F(ErrorGraphTest, WithFewerSlotsThanColumnsASlotFillsSeveralColumns) {
    // 1001 slots on 2000 columns: column x shows slot x div 2, so slot 500 fills 1000 and 1001.
    ErrorHistory h = History(1001, 0.5f);
    h.slot[500] = {0.1f, 0.9f};
    QImage image = NewImage(2000, 100);
    DrawHistorySeries(h, 0x0000FF, image);
    EXPECT_EQ(ColumnsIn(image, 20, Red), (std::set<int>{1000, 1001}));
    EXPECT_EQ(Px(image, 1999, 49), Black);  // the last line's end pixel
    EXPECT_EQ(Px(image, 1998, 49), Red);
}

TEST_F(ErrorGraphTest, ZeroRunsAlongTheBottomRowAndFarValuesStayOutside) {
    QImage image = NewImage(1000, 100);
    DrawHistorySeries(History(10, 0.0f), 0x0000FF, image);
    EXPECT_EQ(ColumnsIn(image, 99, Red), (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    for (float far : {1.5f, -0.5f, std::nanf(""), 1e30f}) {
        QImage strip = NewImage(1000, 100);
        DrawHistorySeries(History(500, far), 0x0000FF, strip);
        EXPECT_EQ(CountColor(strip, Red), 0) << far;
    }
}

TEST_F(ErrorGraphTest, SeriesAreDrawnInOrderAndClearedBoxesLeaveBlack) {
    const ErrorHistory h = History(500, 0.5f);
    ErrorGraphInput input;
    input.meanSquaredError.history = &h;
    input.verifyError.history = &h;
    input.classificationError.history = &h;
    input.ni.history = &h;
    QImage image = NewImage(585, 100, 0x12345678);
    // By default ni is not drawn, so the classification error lies on top.
    DrawErrorGraph(input, image);
    EXPECT_EQ(Px(image, 100, 49), Red);
    input.ni.visible = true;
    DrawErrorGraph(input, image);
    EXPECT_EQ(Px(image, 100, 49), 0xFFFFFF00u);  // ni, yellow
    input.ni.visible = false;
    input.classificationError.visible = false;
    DrawErrorGraph(input, image);
    EXPECT_EQ(Px(image, 100, 49), 0xFF800000u);  // verify error, maroon
    input.verifyError.visible = false;
    DrawErrorGraph(input, image);
    EXPECT_EQ(Px(image, 100, 49), 0xFF008000u);  // mean squared error, green
    input.meanSquaredError.visible = false;
    DrawErrorGraph(input, image);
    EXPECT_EQ(CountColor(image, Black), 585 * 100);
}

// Picking on the graph and the marker agree with each other and with the drawing: a column
// picks a count whose marker stands at or left of it, counts grow from left to right, the
// marker of a picked count is picked back, and only the columns right of the newest drawn slot
// pick nothing.
TEST_F(ErrorGraphTest, PickedCountsAndMarkersMatchTheColumns) {
    struct Case {
        int64_t count, step;
        int width;
    };
    for (const Case c : {Case{10, 1, 591}, Case{700, 1, 591}, Case{1000, 1, 1500},
                         Case{1500, 1, 591}, Case{3999, 2, 800}, Case{70000, 64, 300}}) {
        SCOPED_TRACE(testing::Message() << c.count << " at step " << c.step << " on " << c.width);
        const ErrorHistory h = History(c.count, 0.5f, c.step);
        QImage image = NewImage(c.width, 40);
        DrawHistorySeries(h, 0x0000FF, image);
        int64_t previous = 0;
        int firstPastEnd = -1;
        for (int x = 0; x < c.width; ++x) {
            const int64_t picked = GraphCountAt(h, c.width, x);
            if (picked < 0) {
                if (firstPastEnd < 0)
                    firstPastEnd = x;
                continue;
            }
            ASSERT_LT(firstPastEnd, 0) << "a pick right of the end at " << x;
            ASSERT_GE(picked, previous);
            ASSERT_LE(picked, c.count);
            previous = picked;
            const int marker = GraphColumnOf(h, c.width, picked);
            ASSERT_LE(marker, x);
            ASSERT_EQ(GraphCountAt(h, c.width, marker), picked);
        }
        // Right of the end only while the fixed axis leaves room, and never over a drawn column.
        if (c.count > 1000) {
            EXPECT_EQ(firstPastEnd, -1);
        } else {
            ASSERT_GT(firstPastEnd, 0);
            for (int x = firstPastEnd + 1; x < c.width; ++x)
                ASSERT_EQ(Px(image, x, 20), Black) << x;
        }
    }
}

}  // namespace
}  // namespace kestro
