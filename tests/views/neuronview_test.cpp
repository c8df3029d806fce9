#include <gtest/gtest.h>

#include <QRect>
#include <vector>

#include "core/units/glowny/netcopy.h"
#include "core/units/glowny/plane.h"
#include "core/units/nnet.h"
#include "core/units/random.h"
#include "views/netdiagram.h"
#include "views/neuronview.h"
#include "views/signalview.h"
#include "viewtest.h"

namespace kestro {
namespace {

using test::NewImage;
using test::Px;

class NeuronViewTest : public testing::Test {
  protected:
    void SetUp() override {
        test::EnsureGuiApplication();
        SetRandomSeed(77);
    }
};

// Every pixel of a neuron's picture is the colour of the engine's own output of that neuron at
// the pixel's sample point, for a hidden and an output neuron, cells of 1 and 3.
TEST_F(NeuronViewTest, NeuronRasterMatchesTheEngineAtEveryPixel) {
    BuildNetwork("2:5:4:2");
    RandomizeWeights(1.0f, 3.0f);
    const NetworkCopy copy = CopyNetwork();
    for (const int32_t neuron : {3, 10}) {
        for (const int cell : {1, 3}) {
            QImage image = NewImage(37, 23);
            DrawNeuronRaster(copy, neuron, cell, image);
            const PlaneMapping plane{37, 23};
            for (int py = 0; py < 23; ++py)
                for (int px = 0; px < 37; ++px) {
                    float top = 0;
                    const int sx = px / cell * cell, sy = py / cell * cell;
                    Evaluate(plane.SampleX(sx), plane.SampleY(sy), top);
                    ASSERT_EQ(Px(image, px, py), NeuronOutputColor(NeuronOutput(neuron)))
                        << neuron << " " << cell << " " << px << "," << py;
                }
        }
    }
    EXPECT_EQ(NeuronOutputColor(1.0f), RasterColors[0]);
    EXPECT_EQ(NeuronOutputColor(-1.0f), RasterColors[1]);
    EXPECT_EQ(NeuronOutputColor(0.0f), 0xFF000000u);
}

// A first-layer neuron with net input f(x) - f(0.5) changes sign at x = 0.5: its boundary is
// the column there, whatever the row, and nothing else is drawn but its label.
TEST_F(NeuronViewTest, FirstLayerBoundaryLiesWhereTheNetInputChangesSign) {
    BuildNetwork("2:1:2");
    const int32_t hidden = 2;
    SetNeuronBias(hidden, -Activation(0.5f));
    SetIncomingWeight(hidden, 0, 0.0f, 0.0f);  // from y
    SetIncomingWeight(hidden, 1, 1.0f, 1.0f);  // from x
    const NetworkCopy copy = CopyNetwork();
    QImage image = NewImage(200, 100);
    DrawFirstLayerBoundaries(copy, 0xFFFFFFFF, image);
    const PlaneMapping plane{200, 100};
    int edge = -1;
    for (int px = 0; px + 1 < 200; ++px)
        if ((plane.SampleX(px) >= 0.5f) != (plane.SampleX(px + 1) >= 0.5f))
            edge = px;
    ASSERT_GE(edge, 0);
    for (int py = 60; py < 100; ++py)  // below the label, which stands by the centre
        for (int px = 0; px < 200; ++px)
            ASSERT_EQ(Px(image, px, py) == 0xFFFFFFFFu, px == edge) << px << "," << py;
}

// An output neuron answers its own class at +1: output 2's picture is class 2's blue there and
// class 1's yellow at -1; output 1 and hidden neurons keep yellow at +1.
TEST_F(NeuronViewTest, OutputNeuronsTakeTheirOwnClassColourAtPlusOne) {
    BuildNetwork("2:1:2");
    for (int32_t i = 2; i <= 4; ++i) {  // every output near +1 over the whole plane
        SetNeuronBias(i, 5.0f);
        SetIncomingWeight(i, 0, 0.0f, 0.0f);
    }
    const auto yellow = [](uint32_t c) { return (c & 0xFFFF00u) > 0xF0F000u && (c & 0xFF) < 16; };
    const auto blue = [](uint32_t c) { return (c & 0xFF) > 0xF0 && (c & 0xFFFF00u) == 0; };
    NetworkCopy copy = CopyNetwork();
    EXPECT_TRUE(yellow(Px(NeuronPicture(copy, 2, 8), 4, 4)));
    EXPECT_TRUE(yellow(Px(NeuronPicture(copy, 3, 8), 4, 4)));
    EXPECT_TRUE(blue(Px(NeuronPicture(copy, 4, 8), 4, 4)));
    SetNeuronBias(4, -5.0f);
    copy = CopyNetwork();
    EXPECT_TRUE(yellow(Px(NeuronPicture(copy, 4, 8), 4, 4)));
}

// Two boundaries crossing at the centre both want their label there: the boxes end up apart,
// off both lines and near the crossing.
TEST_F(NeuronViewTest, LabelsOfCrossingBoundariesGetSeparateBoxesOffTheLines) {
    BoundaryLabel vertical, horizontal;
    vertical.size = horizontal.size = QSize(12, 13);
    for (int d = 0; d < 100; ++d)  // nearest to the centre (100, 100) first
        for (const int s : {1, -1}) {
            vertical.anchors.emplace_back(100, 100 + s * d);
            horizontal.anchors.emplace_back(100 + s * d, 100);
        }
    const auto blocked = [](const QRect& r) {
        return (r.left() <= 100 && r.right() >= 100) || (r.top() <= 100 && r.bottom() >= 100);
    };
    const std::vector<QRect> boxes =
        PlaceBoundaryLabels({vertical, horizontal}, QSize(200, 200), blocked);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_FALSE(boxes[0].intersects(boxes[1]));
    for (const QRect& box : boxes) {
        EXPECT_FALSE(blocked(box));
        EXPECT_TRUE(box.intersects(QRect(80, 80, 41, 41))) << box.x() << "," << box.y();
    }
}

// Over class 1's yellow, the labels of two crossing boundaries stand on dark boxes and leave
// every boundary pixel in place.
TEST_F(NeuronViewTest, BoundaryLabelsKeepTheLinesAndReadOnYellow) {
    BuildNetwork("2:2:2");
    for (const int32_t i : {2, 3}) {  // 2: x = 0.05, from x; 3: y = 0.05, from y
        SetNeuronBias(i, -Activation(0.05f));
        SetIncomingWeight(i, 0, i == 3 ? 1.0f : 0.0f, 0.0f);
        SetIncomingWeight(i, 1, i == 2 ? 1.0f : 0.0f, 0.0f);
    }
    QImage image = NewImage(200, 200, RasterColors[0]);
    DrawFirstLayerBoundaries(CopyNetwork(), 0xFFFFFFFF, image);
    const PlaneMapping plane{200, 200};
    int column = -1, row = -1, dark = 0;
    for (int p = 0; p + 1 < 200; ++p) {
        if ((plane.SampleX(p) >= 0.05f) != (plane.SampleX(p + 1) >= 0.05f))
            column = p;
        if ((plane.SampleY(p) >= 0.05f) != (plane.SampleY(p + 1) >= 0.05f))
            row = p;
    }
    ASSERT_GE(column, 0);
    ASSERT_GE(row, 0);
    for (int p = 0; p < 200; ++p) {
        EXPECT_EQ(Px(image, column, p), 0xFFFFFFFFu) << p;
        EXPECT_EQ(Px(image, p, row), 0xFFFFFFFFu) << p;
        for (int q = 0; q < 200; ++q)
            dark += Px(image, p, q) == BoundaryLabelBoxColor;
    }
    EXPECT_GT(dark, 2 * 2 * 13);  // at least the padding columns of two boxes
}

// Weight colours show each connection's sign; large layers shrink their discs so that nothing
// reaches the statistics; the hit test finds discs and connections.
TEST_F(NeuronViewTest, DiagramWeightColoursDiscsAndHits) {
    BuildNetwork("2:1:2");
    SetIncomingWeight(3, 0, 2.0f, 2.0f);    // hidden -> output 1: positive
    SetIncomingWeight(4, 0, -2.0f, -2.0f);  // hidden -> output 2: negative
    const NetworkCopy copy = CopyNetwork();
    const NetworkSummary summary = CurrentNetworkSummary();
    QImage image = NewImage(177, 330);
    DiagramOptions options;
    options.weightColors = true;
    options.network = &copy;
    DrawNetworkDiagram(summary, DiagramColors{0xFFF0F0F0, 0xFF000000}, image, options);
    const int hx = DiagramColumn(1, 3, 177), ox = DiagramColumn(2, 3, 177);
    const int hy = DiagramRow(0, 1);
    const auto midpoint = [&](int j) {
        return Px(image, (hx + ox) / 2, (hy + DiagramRow(j, 2)) / 2);
    };
    const auto redder = [](uint32_t c) { return ((c >> 16) & 0xFF) > (c & 0xFF); };
    EXPECT_TRUE(redder(midpoint(0)));
    EXPECT_FALSE(redder(midpoint(1)));

    const DiagramHit disc = HitTestDiagram(summary, 177, ox, DiagramRow(1, 2));
    EXPECT_EQ(disc.neuron, 4);
    EXPECT_EQ(disc.incoming, -1);
    const DiagramHit line =
        HitTestDiagram(summary, 177, (hx + ox) / 2, (hy + DiagramRow(0, 2)) / 2);
    EXPECT_EQ(line.neuron, 3);
    EXPECT_EQ(line.incoming, 0);

    NetworkSummary wide;
    wide.layerCount = 3;
    wide.layerSizes[0] = 2;
    wide.layerSizes[1] = 100;
    wide.layerSizes[2] = 2;
    QImage big = NewImage(177, 330);
    DrawNetworkDiagram(wide, DiagramColors{0xFFF0F0F0, 0xFF000000}, big);
    const int column = DiagramColumn(1, 3, 177);
    for (int y = 200; y < 212; ++y)
        EXPECT_NE(Px(big, column, y), 0xFF000000u) << y;  // no disc under the band
    EXPECT_EQ(DiscRadius(10), 9);
}

}  // namespace
}  // namespace kestro
