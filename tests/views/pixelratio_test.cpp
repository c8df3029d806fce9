// The views on images of a device pixel ratio above 1: the same logical picture in more pixels.
#include <gtest/gtest.h>

#include <QRect>
#include <algorithm>
#include <vector>

#include "core/units/nnet.h"
#include "core/units/random.h"
#include "views/errorgraph.h"
#include "views/netdiagram.h"
#include "views/signalview.h"
#include "viewtest.h"

namespace kestro {
namespace {

using test::NewImage;
using test::Px;

constexpr uint32_t Sentinel = 0x12345678u;

// An image of ceil(width r) x ceil(height r) pixels at ratio r, as the paint boxes make them.
QImage ScaledImage(int width, int height, double ratio, uint32_t fill = Sentinel) {
    QImage image = NewImage(static_cast<int>(std::ceil(width * ratio - 1e-6)),
                            static_cast<int>(std::ceil(height * ratio - 1e-6)), fill);
    image.setDevicePixelRatio(ratio);
    return image;
}

// The bounding box of the pixels that differ from a background colour.
QRect InkBox(const QImage& image, uint32_t background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Px(image, x, y) != background)
                box |= QRect(x, y, 1, 1);
    return box;
}

int evaluations = 0;
void CountingEvaluate(const PointBatch& batch) {
    evaluations += batch.count;
    EvaluateBatch(batch);
}

class PixelRatioTest : public testing::Test {
  protected:
    void SetUp() override {
        test::EnsureGuiApplication();
        SetRandomSeed(5);
        BuildNetwork("2:6:2");
        RandomizeWeights(1.0f, 3.0f);
    }
};

TEST_F(PixelRatioTest, SignalViewAtRatio2IsTheRatio1PictureInTwiceThePixels) {
    constexpr int W = 120, H = 90;
    PointSet points;
    points.points[points.count++] = {0.5f, -0.25f, 0, true};
    points.points[points.count++] = {-0.6f, 0.7f, 1, false};
    SignalViewInput input;
    input.points = &points;
    input.raster = RasterMode::Answer;
    input.presentationCount = 1;
    input.evaluate = &CountingEvaluate;
    // Discs and labels differ by design: their logical boxes, a pixel wider, are left out.
    std::vector<QRect> skip;
    for (int i = 0; i < points.count; ++i)
        skip.emplace_back(PlaneMapping{W, H}.PixelX(points.points[i].x) - 3,
                          PlaneMapping{W, H}.PixelY(points.points[i].y) - 3, 7, 7);
    for (const TextPlacement& label : AxisLabelLayout(W, H))
        skip.emplace_back(label.x - 1, label.y - 1, TextWidth(label.text, true) + 4, 16);
    for (int cell : {1, 4}) {
        SCOPED_TRACE(cell);
        input.cellSize = cell;
        QImage one = NewImage(W, H, Sentinel), two = ScaledImage(W, H, 2.0);
        evaluations = 0;
        DrawSignalView(input, one);
        const int evaluationsAt1 = evaluations;
        evaluations = 0;
        DrawSignalView(input, two);
        // A run's frames (cells of 4) cost no more at ratio 2; full frames sample every pixel.
        EXPECT_EQ(evaluations, cell == 1 ? 4 * evaluationsAt1 : evaluationsAt1);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                if (std::any_of(skip.begin(), skip.end(),
                                [&](QRect r) { return r.contains(x, y); }))
                    continue;
                // The even pixels sample the plane, and meet the axes' pattern, where the
                // logical ones do.
                ASSERT_EQ(Px(two, 2 * x, 2 * y), Px(one, x, y)) << x << "," << y;
                if (cell != 4)
                    continue;
                // Cells of 8 x 8 pixels; the axes are 2 pixels wide (their odd points along
                // the line fall between two of the logical ones).
                if (x != W / 2) {
                    ASSERT_EQ(Px(two, 2 * x, 2 * y + 1), Px(one, x, y)) << x << "," << y;
                }
                if (y != H / 2) {
                    ASSERT_EQ(Px(two, 2 * x + 1, 2 * y), Px(one, x, y)) << x << "," << y;
                }
            }
    }
}

TEST_F(PixelRatioTest, DiscsTextAndTheBrushScaleWithTheRatio) {
    PointSet points;
    points.points[points.count++] = {0.5f, 0.5f, 1, true};  // logical pixel (150, 40)
    SignalViewInput input;
    input.points = &points;
    input.showAxes = false;
    input.brushRadius = 0.05f;
    input.selectedClass = 0;
    for (int r : {1, 2}) {
        SCOPED_TRACE(r);
        // The cursor is in the widget's logical pixels: over the point, then away from it.
        input.cursor = QPoint(150, 40);
        QImage image = ScaledImage(200, 160, r);
        DrawSignalView(input, image);
        const QRect disc = InkBox(image, OpaqueBlack);
        EXPECT_EQ(disc, QRect(r * 148, r * 38, r * 5, r * 5));
        const int cy = disc.center().y();
        // A ring a logical pixel wide around a fill reddened by the brush.
        EXPECT_EQ(Px(image, disc.left() + r - 1, cy), Px(image, disc.left(), cy));
        EXPECT_NE(Px(image, disc.left() + r, cy), Px(image, disc.left(), cy));
        EXPECT_GT(qRed(Px(image, disc.center().x(), cy)), 0);
        input.cursor = QPoint(100, 80);
        DrawSignalView(input, image);
        EXPECT_EQ(Px(image, disc.center().x(), cy), ArgbFromCanvasColor(PointColors[1]));
    }
    // Text: twice the font at twice the place.
    QImage one = NewImage(60, 30), two = ScaledImage(60, 30, 2.0, OpaqueBlack);
    Canvas(one).TextOut(7, 5, "0,1", true, 0xFFFFFFFF);
    Canvas(two).TextOut(7, 5, "0,1", true, 0xFFFFFFFF);
    const QRect small = InkBox(one, OpaqueBlack), large = InkBox(two, OpaqueBlack);
    ASSERT_FALSE(small.isEmpty());
    EXPECT_NEAR(large.height(), 2 * small.height(), 2);
    EXPECT_NEAR(large.width(), 2 * small.width(), 3);
    EXPECT_NEAR(large.top(), 2 * small.top(), 2);
    EXPECT_NEAR(large.left(), 2 * small.left(), 2);
}

TEST_F(PixelRatioTest, GraphKeepsItsLayoutAndFractionalRatiosCoverEveryPixel) {
    ErrorHistory history;
    history.count = 300;
    history.step = 1;
    for (int k = 0; k < 300; ++k)
        history.slot[k] = {0.2f + 0.001f * (k % 50), 0.3f + 0.001f * (k % 70)};
    ErrorGraphInput graph;
    graph.meanSquaredError.history = graph.verifyError.history = &history;
    graph.classificationError.history = &history;
    QImage one = NewImage(150, 60, Sentinel), two = ScaledImage(150, 60, 2.0);
    DrawErrorGraph(graph, one);
    DrawErrorGraph(graph, two);
    // Everything but the label (top right) is the ratio-1 graph in 2 x 2 blocks.
    const TextPlacement label = GraphLabelLayout(history.count, 150);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 150; ++x) {
            if (x >= label.x - 1 && y <= label.y + 14)
                continue;
            for (int d = 0; d < 4; ++d)
                ASSERT_EQ(Px(two, 2 * x + d % 2, 2 * y + d / 2), Px(one, x, y)) << x << "," << y;
        }

    NetworkSummary summary;
    summary.layerCount = 2;
    summary.layerSizes[0] = 2;
    summary.layerSizes[1] = 30;

    // Device sizes rounded up from fractions: the last column and row are drawn too.
    graph.verifyError.visible = graph.classificationError.visible = false;
    PointSet points;
    points.points[points.count++] = {1.0f, -1.0f, 0, true};
    SignalViewInput input;
    input.points = &points;
    input.cursor = QPoint(50, 33);
    input.selectedClass = 0;
    const auto allDrawn = [](const QImage& image) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (Px(image, x, y) == Sentinel)
                    return false;
        return true;
    };
    for (double ratio : {1.25, 1.5}) {
        SCOPED_TRACE(ratio);
        for (RasterMode mode : {RasterMode::None, RasterMode::Answer})
            for (int cell : {1, 4}) {
                input.raster = mode;
                input.cellSize = cell;
                QImage image = ScaledImage(101, 67, ratio);
                ASSERT_EQ(LogicalSize(image), QSize(101, 67));
                DrawSignalView(input, image);
                EXPECT_TRUE(allDrawn(image)) << static_cast<int>(mode) << " " << cell;
            }
        QImage strip = ScaledImage(101, 33, ratio), net = ScaledImage(177, 330, ratio);
        DrawErrorGraph(graph, strip);
        DrawNetworkDiagram(summary, DiagramColors{}, net);
        EXPECT_TRUE(allDrawn(strip));
        EXPECT_TRUE(allDrawn(net));
    }
}

}  // namespace
}  // namespace kestro
