// The views on images of a device pixel ratio above 1: the same logical picture in more pixels.
#include <gtest/gtest.h>

#include <QFontMetrics>
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

// A Format_ARGB32 image of ceil(width r) x ceil(height r) pixels at ratio r, as the window's
// surfaces are made.
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

// Whether every pixel was drawn over the sentinel colour.
bool AllDrawn(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Px(image, x, y) == Sentinel)
                return false;
    return true;
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
        evaluations = 0;
    }
};

// Where the ratio-1 picture holds text or a disc, the ratio-2 one differs by design.
bool NearTextOrDisc(const std::vector<QRect>& boxes, int x, int y) {
    return std::any_of(boxes.begin(), boxes.end(),
                       [&](const QRect& box) { return box.contains(x, y); });
}

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
    // Logical boxes of the discs (5 x 5) and of the two labels (11-pixel font), a pixel wider.
    std::vector<QRect> boxes;
    const PlaneMapping plane{W, H};
    for (int i = 0; i < points.count; ++i)
        boxes.emplace_back(plane.PixelX(points.points[i].x) - 3,
                           plane.PixelY(points.points[i].y) - 3, 7, 7);
    for (const TextPlacement& label : AxisLabelLayout(W, H))
        boxes.emplace_back(label.x - 1, label.y - 1, TextWidth(label.text, true) + 4, 16);

    for (int cell : {1, 4}) {
        SCOPED_TRACE(cell);
        input.cellSize = cell;
        QImage one = NewImage(W, H, Sentinel);
        evaluations = 0;
        DrawSignalView(input, one);
        const int evaluationsAt1 = evaluations;
        QImage two = ScaledImage(W, H, 2.0);
        evaluations = 0;
        DrawSignalView(input, two);
        // A run's frames (cells of 4) cost no more at ratio 2; full frames sample every pixel.
        EXPECT_EQ(evaluations, cell == 1 ? 4 * evaluationsAt1 : evaluationsAt1);
        int compared = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                if (NearTextOrDisc(boxes, x, y))
                    continue;
                // The even pixels sample the plane where the logical ones do.
                ASSERT_EQ(Px(two, 2 * x, 2 * y), Px(one, x, y)) << x << "," << y;
                ++compared;
                // Cells of 4 logical pixels are 8 x 8 device pixels; the axes stay 2 pixels wide.
                if (cell == 4) {
                    const bool axisColumn = x == W / 2, axisRow = y == H / 2;
                    if (!axisColumn) {
                        ASSERT_EQ(Px(two, 2 * x, 2 * y + 1), Px(one, x, y)) << x << "," << y;
                    }
                    if (!axisRow) {
                        ASSERT_EQ(Px(two, 2 * x + 1, 2 * y), Px(one, x, y)) << x << "," << y;
                    }
                }
            }
        EXPECT_GT(compared, W * H * 3 / 4);
    }
}

TEST_F(PixelRatioTest, DiscsTextAndTheBrushScaleWithTheRatio) {
    constexpr int W = 200, H = 160;
    PointSet points;
    points.points[points.count++] = {0.5f, 0.5f, 1, true};  // logical pixel (150, 40)
    SignalViewInput input;
    input.points = &points;
    input.showAxes = false;
    input.brushRadius = 0.05f;
    input.selectedClass = 0;
    // The cursor is in the widget's logical pixels, over the point.
    input.cursor = QPoint(150, 40);
    for (double ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        QImage image = ScaledImage(W, H, ratio);
        EXPECT_TRUE(DrawSignalView(input, image));
        const QRect disc = InkBox(image, OpaqueBlack);
        const int r = static_cast<int>(ratio);
        EXPECT_EQ(disc, QRect(r * 148, r * 38, r * 5, r * 5));
        // The ring is a logical pixel wide: its pixels are the pen's, the centre the fill's.
        const uint32_t ring = Px(image, disc.left(), disc.center().y());
        EXPECT_EQ(Px(image, disc.left() + r - 1, disc.center().y()), ring);
        EXPECT_NE(Px(image, disc.left() + r, disc.center().y()), ring);
        // Reddened by the brush: more red than the class colour (blue) has.
        EXPECT_GT(qRed(Px(image, disc.center().x(), disc.center().y())), 0);
    }
    // Away from the point the brush leaves it in its class colour, at ratio 2 as at 1.
    input.cursor = QPoint(100, 80);
    QImage image = ScaledImage(W, H, 2.0);
    DrawSignalView(input, image);
    EXPECT_EQ(Px(image, 300, 80), ArgbFromCanvasColor(PointColors[1]));

    // Text: twice the font, at twice the place.
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

TEST_F(PixelRatioTest, ErrorGraphAndDiagramKeepTheirLogicalLayout) {
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

    // The diagram: discs of twice the radius around twice the centre, lines two pixels wide.
    NetworkSummary summary;
    summary.layerCount = 3;
    summary.layerSizes[0] = 2;
    summary.layerSizes[1] = 3;
    summary.layerSizes[2] = 2;
    constexpr uint32_t Face = 0xFFF0F0F0, Black = OpaqueBlack;
    QImage diagram = ScaledImage(177, 330, 2.0);
    DrawNetworkDiagram(summary, DiagramColors{Face, Black}, diagram);
    const int cx = 2 * DiagramColumn(1, 3, 177), cy = 2 * DiagramRow(1, 3);
    // The disc covers device pixels cx - 18 .. cx + 19 (38 = 2 x 19); its ring is 2 pixels wide.
    constexpr uint32_t White = 0xFFFFFFFFu;
    for (int along : {0, 1}) {
        const auto at = [&](int d) {
            return along == 0 ? Px(diagram, cx + d, cy) : Px(diagram, cx, cy + d);
        };
        EXPECT_EQ(at(0), White);
        EXPECT_EQ(at(-18), Black);
        EXPECT_EQ(at(-17), Black);
        EXPECT_EQ(at(-16), White);
        EXPECT_EQ(at(19), Black);
        EXPECT_EQ(at(18), Black);
        EXPECT_EQ(at(17), White);
    }
    // The output line of the last layer's first neuron (colour value 0): rows 2y and 2y + 1.
    const int oy = 2 * DiagramRow(0, 2), ox = 2 * 170;
    EXPECT_EQ(Px(diagram, ox, oy - 1), Face);
    EXPECT_EQ(Px(diagram, ox, oy), 0u);
    EXPECT_EQ(Px(diagram, ox + 1, oy + 1), 0u);
    EXPECT_EQ(Px(diagram, ox, oy + 2), Face);
    // The statistics labels are written at twice their row in the doubled font.
    const QRect labels = InkBox(diagram.copy(0, 2 * 212, 40, 2 * 12), Face);
    EXPECT_GE(labels.height(), 14);
}

TEST_F(PixelRatioTest, AtFractionalRatiosEveryPixelIsDrawnAndNothingFails) {
    // Fractional device sizes are rounded up: the last column and row must be covered too.
    PointSet points;
    points.points[points.count++] = {1.0f, -1.0f, 0, true};
    points.points[points.count++] = {0.0f, 0.0f, 1, true};
    SignalViewInput input;
    input.points = &points;
    input.evaluate = &CountingEvaluate;
    input.cursor = QPoint(50, 33);
    input.selectedClass = 0;
    ErrorHistory history;
    history.count = 40;
    history.step = 1;
    for (int k = 0; k < 40; ++k)
        history.slot[k] = {0.0f, 1.0f};
    ErrorGraphInput graph;
    graph.meanSquaredError.history = &history;
    graph.verifyError.visible = graph.classificationError.visible = false;
    NetworkSummary summary;
    summary.layerCount = 2;
    summary.layerSizes[0] = 2;
    summary.layerSizes[1] = 30;
    for (double ratio : {1.25, 1.5}) {
        SCOPED_TRACE(ratio);
        for (RasterMode mode : {RasterMode::None, RasterMode::Answer})
            for (int cell : {1, 4}) {
                input.raster = mode;
                input.cellSize = cell;
                QImage image = ScaledImage(101, 67, ratio);
                ASSERT_EQ(LogicalSize(image), QSize(101, 67));
                DrawSignalView(input, image);
                EXPECT_TRUE(AllDrawn(image)) << static_cast<int>(mode) << " " << cell;
            }
        QImage strip = ScaledImage(101, 33, ratio);
        DrawErrorGraph(graph, strip);
        EXPECT_TRUE(AllDrawn(strip));
        QImage diagram = ScaledImage(177, 330, ratio);
        DrawNetworkDiagram(summary, DiagramColors{}, diagram);
        EXPECT_TRUE(AllDrawn(diagram));
    }
}

}  // namespace
}  // namespace kestro
