#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "core/units/nnet.h"
#include "core/units/random.h"
#include "views/netdiagram.h"
#include "viewtest.h"

namespace kestro {
namespace {

using test::Brightness;
using test::NewImage;
using test::Px;

constexpr uint32_t Face = 0xFFF0F0F0, Black = 0xFF000000, White = 0xFFFFFFFF;

NetworkSummary Summary(std::initializer_list<int32_t> sizes) {
    NetworkSummary summary;
    for (int32_t n : sizes)
        summary.layerSizes[summary.layerCount++] = n;
    return summary;
}

QImage Draw(const NetworkSummary& summary) {
    QImage image = NewImage(177, 330, 0x12345678);
    DrawNetworkDiagram(summary, DiagramColors{Face, Black}, image);
    return image;
}

class NetworkDiagramTest : public testing::Test {
  protected:
    void SetUp() override { test::EnsureGuiApplication(); }
};

TEST_F(NetworkDiagramTest, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(1, 177, 6), 30);  // 29.5
    EXPECT_EQ(MulDiv(3, 177, 6), 89);  // 88.5
    EXPECT_EQ(MulDiv(5, 2, 4), 3);     // 2.5, not 2 as ties to even would give
    EXPECT_EQ(MulDiv(-1, 177, 6), -30);
    EXPECT_EQ(MulDiv(1, 177, -6), -30);
    EXPECT_EQ(MulDiv(1, 5, 4), 1);
    EXPECT_EQ(MulDiv(2000000000, 3, 4), 1500000000);  // no overflow in the product
}

TEST_F(NetworkDiagramTest, ColumnsAndRows) {
    const std::vector<std::vector<int>> columns = {
        {44, 133}, {30, 89, 148}, {22, 66, 111, 155}, {18, 53, 89, 124, 159}};
    for (int layers = 2; layers <= 5; ++layers)
        for (int i = 0; i < layers; ++i)
            EXPECT_EQ(DiagramColumn(i, layers, 177), columns[layers - 2][i]) << layers << " " << i;
    EXPECT_EQ(DiagramRow(0, 1), 100);
    EXPECT_EQ(DiagramRow(0, 2), 50);
    EXPECT_EQ(DiagramRow(1, 2), 150);
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(DiagramRow(j, 10), 10 + 20 * j);
    for (int j = 0; j < 100; ++j)
        EXPECT_EQ(DiagramRow(j, 100), 1 + 2 * j);
}

TEST_F(NetworkDiagramTest, DiscsOfTwoTenTwoSitOnTheirColumnsAndRows) {
    SetRandomSeed(3);
    BuildNetwork("2:10:2");
    const QImage image = Draw(CurrentNetworkSummary());
    struct Layer {
        int x, n;
    };
    for (const Layer& layer : {Layer{30, 2}, Layer{89, 10}, Layer{148, 2}})
        for (int j = 0; j < layer.n; ++j) {
            const int y = DiagramRow(j, layer.n);
            EXPECT_EQ(Px(image, layer.x, y), White) << layer.x << "," << y;
            EXPECT_EQ(Px(image, layer.x + 5, y + 5), White);
            EXPECT_EQ(Px(image, layer.x, y - 9), Black);
            EXPECT_EQ(Px(image, layer.x, y + 9), Black);
            EXPECT_EQ(Px(image, layer.x - 9, y), Black);
            EXPECT_EQ(Px(image, layer.x + 9, y), Black);
        }
    EXPECT_EQ(Px(image, 176, 329), Face);
    EXPECT_EQ(Px(image, 100, 195), Face);
}

// A hundred hidden neurons no longer merge into a black bar that reaches into the statistics:
// their discs shrink to points, the connections show between them, and the rows from 200 down
// are the statistics' alone.
TEST_F(NetworkDiagramTest, HundredHiddenNeuronsFitAboveTheStatistics) {
    const QImage image = Draw(Summary({2, 100, 2}));
    const int column = DiagramColumn(1, 3, 177);
    int black = 0;
    for (int y = 0; y < 200; ++y)
        black += Px(image, column - 4, y) == Black;
    EXPECT_LT(black, 20);  // beside the column the connections fade in: no bar
    for (int y = 200; y <= 202; ++y)
        for (int x = 80; x <= 98; ++x)
            EXPECT_NE(Px(image, x, y), White) << x << "," << y;  // no disc below row 199
    for (int j = 0; j < 100; ++j)
        EXPECT_EQ(Px(image, column, DiagramRow(j, 100)), Black) << j;  // each neuron a point
}

// The marked neuron gets a green ring (and, when its disc is a point, a green centre); nothing
// else changes, and an index past the network marks nothing.
TEST_F(NetworkDiagramTest, MarkedNeuronIsRingedAndNothingElseChanges) {
    const auto green = [](uint32_t c) {
        return ((c >> 8) & 0xFF) > 150 && ((c >> 16) & 0xFF) < 80 && (c & 0xFF) < 80;
    };
    for (const int n : {10, 100}) {
        const NetworkSummary summary = Summary({2, n, 2});
        const QImage plain = Draw(summary);
        const int x = DiagramColumn(1, 3, 177), y = DiagramRow(n / 2, n);
        const int radius = static_cast<int>(MarkerRadius(DiscRadius(n)));
        DiagramOptions options;
        options.markedNeuron = 2 + n / 2;
        QImage marked = NewImage(177, 330, 0x12345678);
        DrawNetworkDiagram(summary, DiagramColors{Face, Black}, marked, options);
        EXPECT_TRUE(green(Px(marked, x, y - radius))) << n;
        EXPECT_TRUE(green(Px(marked, x - radius, y))) << n;
        EXPECT_EQ(green(Px(marked, x, y)), n == 100);
        for (int py = 0; py < 330; ++py)
            for (int px = 0; px < 177; ++px) {
                const bool outside = std::abs(px - x) > radius + 3 || std::abs(py - y) > radius + 3;
                ASSERT_TRUE(!outside || Px(marked, px, py) == Px(plain, px, py))
                    << n << " " << px << "," << py;
            }
        options.markedNeuron = 2 + n + 2;
        DrawNetworkDiagram(summary, DiagramColors{Face, Black}, marked, options);
        EXPECT_EQ(marked, plain) << n;
    }
}

TEST_F(NetworkDiagramTest, LinesArrowsAndFadingConnections) {
    // One neuron per layer: columns 44 and 133, both on row 100.
    const QImage image = Draw(Summary({1, 1}));
    // Input line from the left edge and output line to the right edge, stored as value 0.
    for (int x : {0, 15, 29})
        EXPECT_EQ(Px(image, x, 100), 0x00000000u) << x;
    for (int x : {143, 160, 170})
        EXPECT_EQ(Px(image, x, 100), 0x00000000u) << x;
    EXPECT_EQ(Px(image, 10, 99), Face);
    EXPECT_EQ(Px(image, 10, 101), Face);
    // The arrowheads darken their boxes: above and below the ends of both lines.
    auto darkest = [&](int x0, int x1, int y0, int y1) {
        int best = 3 * 255;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                best = std::min(best, Brightness(Px(image, x, y)));
        return best;
    };
    const int face = Brightness(Face);
    EXPECT_LT(darkest(30, 35, 95, 99), face * 3 / 4);    // input, upper stroke
    EXPECT_LT(darkest(30, 35, 101, 105), face * 3 / 4);  // input, lower stroke
    EXPECT_LT(darkest(171, 176, 95, 99), face * 3 / 4);  // output
    EXPECT_LT(darkest(171, 176, 101, 105), face * 3 / 4);
    EXPECT_EQ(darkest(0, 25, 90, 98), face);
    // The connection is black in the middle and fades toward both neurons.
    const int middle = Brightness(Px(image, 89, 100));
    const int nearTarget = Brightness(Px(image, 120, 100));
    const int nearSource = Brightness(Px(image, 58, 100));
    EXPECT_LT(middle, 30);
    EXPECT_LT(middle, nearTarget);
    EXPECT_LT(nearTarget, face);
    EXPECT_LT(middle, nearSource);
    EXPECT_LT(nearSource, face);
    EXPECT_EQ(Px(image, 89, 99), Face);
}

TEST_F(NetworkDiagramTest, TextsSitInTheirRowsAndValuesAreCentredOnTheirColumns) {
    NetworkSummary summary = Summary({2, 10, 2});
    summary.weights[1] = {1234.5f, 0.5f, 12.5f, 123.456f};
    summary.biases[1] = {12345.6f, 123456.7f, 0.0f, 1.0f};
    summary.weights[2] = {0.25f, 0.125f, 0.1874f, 0.2f};
    summary.biases[2] = {0.01f, 0.001f, 0.005f, 0.0075f};
    const std::vector<TextPlacement> texts = NetworkDiagramTexts(summary, 177);
    ASSERT_EQ(texts.size(), 10u + 2u * 8u);  // the input layer has no values

    const TextPlacement labels[] = {
        {"Abs. Weights", 2, 200, true}, {"Abs. Bias", 2, 264, true}, {"Max.:", 2, 212, false},
        {"Min.:", 2, 224, false},       {"AAM:", 2, 236, false},     {"RMS:", 2, 248, false},
        {"Max.:", 2, 276, false},       {"Min.:", 2, 288, false},    {"AAM:", 2, 300, false},
        {"RMS:", 2, 312, false},
    };
    for (int k = 0; k < 10; ++k) {
        EXPECT_EQ(texts[k].text, labels[k].text) << k;
        EXPECT_EQ(texts[k].x, labels[k].x) << k;
        EXPECT_EQ(texts[k].y, labels[k].y) << k;
        EXPECT_EQ(texts[k].bold, labels[k].bold) << k;
    }
    struct Value {
        const char* text;
        int column, row;
    };
    // Per layer: Max, Min, AAM, RMS, each weight then bias; five characters at most, cut
    // rather than rounded again, without a trailing decimal point.
    const Value values[] = {
        {"1234", 89, 212},   {"12345", 89, 276},  {"0.500", 89, 224},  {"12345", 89, 288},
        {"12.50", 89, 236},  {"0.000", 89, 300},  {"123.4", 89, 248},  {"1.000", 89, 312},
        {"0.250", 148, 212}, {"0.010", 148, 276}, {"0.125", 148, 224}, {"0.001", 148, 288},
        {"0.187", 148, 236}, {"0.005", 148, 300}, {"0.200", 148, 248}, {"0.007", 148, 312},
    };
    for (int k = 0; k < 16; ++k) {
        const TextPlacement& t = texts[10 + k];
        EXPECT_EQ(t.text, values[k].text) << k;
        EXPECT_EQ(t.x, values[k].column - TextWidth(values[k].text, false) / 2) << k;
        EXPECT_EQ(t.y, values[k].row) << k;
        EXPECT_FALSE(t.bold);
    }
    // Five layers: value columns 35 or 36 pixels apart.
    const auto five = NetworkDiagramTexts(Summary({2, 5, 5, 5, 2}), 177);
    ASSERT_EQ(five.size(), 10u + 4u * 8u);
    const int centres[] = {53, 89, 124, 159};
    for (int layer = 0; layer < 4; ++layer) {
        const TextPlacement& t = five[10 + 8 * layer];
        EXPECT_EQ(t.x, centres[layer] - TextWidth(t.text, false) / 2);
    }
}

TEST_F(NetworkDiagramTest, SummaryTakesSizesAndKeepsWeightsApartFromBiases) {
    BuildNetwork("2:10:2");
    const LayerInfo& hidden = Layer(1);
    for (int i = hidden.first; i <= hidden.last; ++i) {
        SetNeuronBias(i, -0.25f);
        for (int k = 0; k < IncomingCount(i); ++k)
            SetIncomingWeight(i, k, 0.75f, 0.75f);
    }
    const NetworkSummary summary = CurrentNetworkSummary();
    ASSERT_EQ(summary.layerCount, 3);
    EXPECT_EQ(summary.layerSizes[0], 2);
    EXPECT_EQ(summary.layerSizes[1], 10);
    EXPECT_EQ(summary.layerSizes[2], 2);
    EXPECT_EQ(summary.biases[1].max, 0.25f);
    EXPECT_EQ(summary.biases[1].average, 0.25f);
    EXPECT_EQ(summary.weights[1].max, 0.75f);
    EXPECT_EQ(summary.weights[1].rms, 0.75f);
}

TEST_F(NetworkDiagramTest, ColoursComeFromThePaletteAndFillTheBackground) {
    const DiagramColors colors = SystemDiagramColors();
    EXPECT_EQ(colors.buttonFace, QGuiApplication::palette().color(QPalette::Button).rgba());
    EXPECT_EQ(colors.buttonFace >> 24, 0xFFu);
    QImage image = NewImage(177, 330);
    DrawNetworkDiagram(Summary({2, 2}), DiagramColors{0xFF123456, Black}, image);
    EXPECT_EQ(Px(image, 176, 329), 0xFF123456u);
    EXPECT_EQ(Px(image, 88, 0), 0xFF123456u);
    // An empty network leaves the background and the row labels only.
    DrawNetworkDiagram(NetworkSummary{}, DiagramColors{0xFF123456, Black}, image);
    EXPECT_EQ(Px(image, 44, 50), 0xFF123456u);
}

}  // namespace
}  // namespace kestro
