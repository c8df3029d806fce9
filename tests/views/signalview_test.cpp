#include <gtest/gtest.h>

#include <QFontMetrics>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "core/units/glowny/learnparams.h"
#include "core/units/nnet.h"
#include "core/units/random.h"
#include "views/blend.h"
#include "views/signalview.h"
#include "viewtest.h"

namespace kestro {
namespace {

using test::NewImage;
using test::Px;

// The raster colours as the program documents them: yellow, blue, white, aqua, red, green,
// fuchsia, lime, maroon (green and maroon with 127).
constexpr uint32_t DocumentedRaster[9] = {0xFFFFFF00, 0xFF0000FF, 0xFFFFFFFF,
                                          0xFF00FFFF, 0xFFFF0000, 0xFF007F00,
                                          0xFFFF00FF, 0xFF00FF00, 0xFF7F0000};

// Every point the raster evaluates, recorded before the engine's batch evaluation runs.
std::vector<std::pair<float, float>> evaluated;
void RecordingEvaluate(const PointBatch& batch) {
    for (int k = 0; k < batch.count; ++k)
        evaluated.emplace_back(batch.x[k], batch.y[k]);
    EvaluateBatch(batch);
}

// The picture the raster must give, pixel by pixel as documented: columns outer, rows inner;
// a cell's top-left pixel from one scalar Evaluate at ((px/W - 0.5)2, (0.5 - py/H)2), the
// other pixels copies of it.
QImage ReferenceRaster(int width, int height, int step) {
    QImage image = NewImage(width, height, 0);
    const int s = std::abs(step);
    auto at = [&](int x, int y) -> uint32_t& {
        return reinterpret_cast<uint32_t*>(image.scanLine(y))[x];
    };
    for (int px = 0; px < width; ++px)
        for (int py = 0; py < height; ++py) {
            if (px % s != 0 || py % s != 0) {
                at(px, py) = at(s * (px / s), s * (py / s));
                continue;
            }
            const auto x = static_cast<float>((static_cast<double>(px) / width - 0.5) * 2);
            const auto y = static_cast<float>((0.5 - static_cast<double>(py) / height) * 2);
            float o = 0;
            const int winner = Evaluate(x, y, o);
            const int index =
                step > 0 ? winner : static_cast<int>(static_cast<uint32_t>(HiddenRegionCode()) % 9);
            const auto t = static_cast<float>((static_cast<double>(o) + 0.5) / 1.5);
            at(px, py) = BlendColor32(DocumentedRaster[index], 0xFF000000u, t);
        }
    return image;
}

// Sets the bias and both incoming weights of a neuron; weights by source neuron (0 = x, 1 = y).
void SetNeuron(int neuron, float bias, float weightOfX, float weightOfY) {
    SetNeuronBias(neuron, bias);
    for (int k = 0; k < IncomingCount(neuron); ++k) {
        const float w = IncomingSource(neuron, k) == 0 ? weightOfX : weightOfY;
        SetIncomingWeight(neuron, k, w, w);
    }
}

class SignalViewTest : public testing::Test {
  protected:
    void SetUp() override {
        test::EnsureGuiApplication();
        SetRandomSeed(11);
        BuildNetwork("2:10:2");
        RandomizeWeights(1.0f, 4.0f);
        evaluated.clear();
    }
    void TearDown() override { SetVectorPathsEnabled(true); }

    // A raster-only picture unless the test asks for more. step: 0 no raster, > 0 answer, < 0
    // areas, |step| the cell size.
    SignalViewInput Input(int step, int showPoints = 0) {
        SignalViewInput input;
        input.points = &points;
        input.raster = step == 0  ? RasterMode::None
                       : step > 0 ? RasterMode::Answer
                                  : RasterMode::Areas;
        input.cellSize = step == 0 ? 1 : std::abs(step);
        input.showPoints = showPoints > 0;
        input.showAxes = false;
        input.evaluate = &RecordingEvaluate;
        return input;
    }

    void AddPoint(float x, float y, int classIndex, bool correct = true) {
        points.points[points.count++] = SamplePoint{x, y, classIndex, correct};
    }

    PointSet points;
};

TEST_F(SignalViewTest, PlaneAndPixelMappings) {
    const PlaneMapping square{400, 400}, wide{400, 300}, tiny{4, 4};
    EXPECT_EQ(square.PixelX(0), 200);
    EXPECT_EQ(square.PixelY(0), 200);
    EXPECT_EQ(square.PixelX(-1), 0);
    EXPECT_EQ(square.PixelY(-1), 400);  // Round(2H) div 2 = H: below the last row
    EXPECT_EQ(square.PixelX(1), 400);
    EXPECT_EQ(wide.PixelY(1), 0);
    EXPECT_EQ(tiny.PixelX(-0.1f), 2);  // Round(3.6) = 4, not 3 by truncation
    EXPECT_EQ(tiny.PixelY(0.1f), 2);
    EXPECT_EQ(square.PlaneX(0), -1.0f);
    EXPECT_EQ(square.PlaneX(200), 0.0f);
    EXPECT_EQ(square.PlaneX(400), 1.0f);
    EXPECT_EQ(wide.PlaneY(0), 1.0f);
    EXPECT_EQ(wide.PlaneY(300), -1.0f);
    EXPECT_EQ(square.PlaneX(100), -0.5f);
    EXPECT_EQ(square.SampleX(0), -1.0f);
    EXPECT_EQ(square.SampleX(300), 0.5f);
    EXPECT_EQ(square.SampleY(0), 1.0f);
    EXPECT_EQ(square.SampleY(100), 0.5f);
    EXPECT_EQ(RasterShade(1.0f), 1.0f);
    EXPECT_EQ(RasterShade(-0.5f), 0.0f);
    EXPECT_EQ(RegionColorIndex(8), 8);
    EXPECT_EQ(RegionColorIndex(10), 1);         // codes 1 and 10 share a colour
    EXPECT_EQ(RegionColorIndex(-1), 3);         // 4294967295 mod 9
    EXPECT_EQ(RegionColorIndex(INT32_MIN), 2);  // 2147483648 mod 9
}

TEST(ShadeColor, EqualsBlendingTowardBlackAtEveryRoundingBoundary) {
    std::vector<float> factors = {
        std::nanf(""), -1.0f, -0.0f, 0.0f, 1e-45f,
        1e-30f,        0.5f,  1.0f,  1.5f, std::numeric_limits<float>::infinity()};
    // Around each t = (k + 0.5) / c at which a channel c would round the other way.
    for (int c : {0x12, 0x7F, 0x80, 0xAB, 0xFF})
        for (int k = 0; k < c; ++k) {
            float t = static_cast<float>((k + 0.5) / c);
            for (int u = 0; u < 4; ++u)
                t = std::nextafter(t, 0.0f);
            for (int u = 0; u < 9; ++u, t = std::nextafter(t, 2.0f))
                factors.push_back(t);
        }
    uint32_t seed = 1;
    for (int k = 0; k < 20000; ++k) {
        seed = seed * 134775813u + 1u;
        factors.push_back(static_cast<float>(seed >> 8) / 16777216.0f);
    }
    std::vector<uint32_t> colors(std::begin(RasterColors), std::end(RasterColors));
    colors.insert(colors.end(), {0xFF12AB80, 0xFF7F8012});
    int differences = 0;
    for (uint32_t color : colors)
        for (float t : factors)
            if (ShadeColor(color, t) != BlendColor32(color, 0xFF000000u, t) && differences++ < 5)
                ADD_FAILURE() << std::hex << color << " at t = " << t;
    for (int index = 0; index < ViewColorCount; ++index)
        for (float t : factors)
            if (ShadeRasterColor(index, t) != BlendColor32(RasterColors[index], 0xFF000000u, t) &&
                differences++ < 5)
                ADD_FAILURE() << "colour " << index << " at t = " << t;
    EXPECT_EQ(differences, 0);
}

TEST_F(SignalViewTest, Step4On400MakesOneEvaluationPerCellAndUniformBlocks) {
    QImage image = NewImage(400, 400, 0x12345678);
    DrawSignalView(Input(-4), image);
    ASSERT_EQ(evaluated.size(), 100u * 100u);
    std::set<std::pair<float, float>> expected, got(evaluated.begin(), evaluated.end());
    for (int px = 0; px < 400; px += 4)
        for (int py = 0; py < 400; py += 4)
            expected.emplace(static_cast<float>((px / 400.0 - 0.5) * 2),
                             static_cast<float>((0.5 - py / 400.0) * 2));
    EXPECT_EQ(got, expected);
    int mixedBlocks = 0;
    for (int by = 0; by < 400; by += 4)
        for (int bx = 0; bx < 400; bx += 4)
            for (int y = by; y < by + 4; ++y)
                for (int x = bx; x < bx + 4; ++x)
                    mixedBlocks += Px(image, x, y) != Px(image, bx, by);
    EXPECT_EQ(mixedBlocks, 0);
}

TEST_F(SignalViewTest, BatchRasterIsIdenticalToPlainPerCellEvaluation) {
    const bool vector = SetVectorPathsEnabled(true);
    std::printf("vector paths %s\n", vector ? "in use" : "not available");
    // 2:40:2 has region codes with the sign bit set; 2:5:5:5:2 has four layers.
    for (const char* structure : {"2:10:2", "2:5:5:5:2", "2:40:2"}) {
        SetRandomSeed(5);
        BuildNetwork(structure);
        RandomizeWeights(1.0f, 3.0f);
        for (const auto& [width, height] : {std::pair{101, 67}, std::pair{64, 48}})
            for (int step : {1, 2, 3, 4, 7, -1, -3, -4}) {
                SetVectorPathsEnabled(true);
                QImage image = NewImage(width, height, 0x12345678);
                DrawSignalView(Input(step), image);
                SetVectorPathsEnabled(false);
                const QImage reference = ReferenceRaster(width, height, step);
                int differences = 0;
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x)
                        if (Px(image, x, y) != Px(reference, x, y) && differences++ == 0)
                            ADD_FAILURE()
                                << structure << " step " << step << " at " << x << "," << y << ": "
                                << std::hex << Px(image, x, y) << " vs " << Px(reference, x, y);
                EXPECT_EQ(differences, 0) << structure << " " << width << "x" << height;
            }
    }
    // The comparison above covered negative region codes.
    bool negative = false;
    for (int k = 0; k < 400 && !negative; ++k) {
        float o;
        Evaluate(RandomUniform(-1, 1), RandomUniform(-1, 1), o);
        negative = HiddenRegionCode() < 0;
    }
    EXPECT_TRUE(negative);
}

TEST_F(SignalViewTest, ThreadedRasterIsIdenticalOnEveryPathAndThreadCount) {
    // The engine's grid evaluation, split by rows over the raster threads, against the plain
    // per-cell evaluation: every offered structure, odd sizes, one and two threads, every path.
    for (const std::string_view structure : StructureTexts) {
        SetRandomSeed(8);
        BuildNetwork(structure);
        RandomizeWeights(1.0f, 3.0f);
        for (const auto& [width, height, step] :
             {std::tuple{37, 23, 1}, std::tuple{41, 29, -3}, std::tuple{9, 67, 4}}) {
            SetVectorPathsEnabled(false);
            const QImage reference = ReferenceRaster(width, height, step);
            const NetworkSnapshot referenceState = SaveNetwork();
            for (const EnginePath path :
                 {EnginePath::Portable, EnginePath::Avx2, EnginePath::Avx512}) {
                if (SetEnginePath(path) != path)
                    continue;
                for (const int threads : {1, 2}) {
                    SetRasterThreads(threads);
                    QImage image = NewImage(width, height, 0x12345678);
                    SignalViewInput input;
                    input.points = &points;
                    input.raster = step > 0 ? RasterMode::Answer : RasterMode::Areas;
                    input.cellSize = std::abs(step);
                    input.showPoints = false;
                    input.showAxes = false;
                    DrawSignalView(input, image);
                    int differences = 0;
                    for (int y = 0; y < height; ++y)
                        for (int x = 0; x < width; ++x)
                            differences += Px(image, x, y) != Px(reference, x, y);
                    EXPECT_EQ(differences, 0) << structure << " step " << step << " path "
                                              << static_cast<int>(path) << " threads " << threads;
                    EXPECT_EQ(SaveNetwork().output, referenceState.output) << structure;
                }
            }
        }
    }
    SetRasterThreads(0);
}

TEST_F(SignalViewTest, WinningOutputShadesTheClassColour) {
    BuildNetwork("2:2");
    struct Case {
        float bias0, bias1;
        uint32_t pixel;
    };
    const Case cases[] = {
        {100, -100, 0xFFFFFF00},   // class 1 answered with output 1: full yellow
        {-100, 100, 0xFF0000FF},   // class 2: full blue
        {0, 0, 0xFF555500},        // a tie at output 0 goes to class 1: 85 = 255 / 3
        {-100, -100, 0xFF000000},  // both outputs -1: black
    };
    for (const Case& c : cases) {
        SetNeuron(2, c.bias0, 0, 0);
        SetNeuron(3, c.bias1, 0, 0);
        QImage image = NewImage(30, 20);
        DrawSignalView(Input(1), image);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x)
                ASSERT_EQ(Px(image, x, y), c.pixel) << x << "," << y;
    }
}

TEST_F(SignalViewTest, AreasColourTheRegionsOfTheFirstHiddenLayer) {
    BuildNetwork("2:2:2");
    SetNeuron(2, 0, 1, 0);  // sign of x: the high bit of the code
    SetNeuron(3, 0, 0, 1);  // sign of y: the low bit
    SetNeuron(4, 100, 0, 0);
    SetNeuron(5, -100, 0, 0);
    QImage image = NewImage(400, 400);
    DrawSignalView(Input(-1), image);
    EXPECT_EQ(Px(image, 100, 300), 0xFFFFFF00u);  // x < 0, y < 0: code 0, yellow
    EXPECT_EQ(Px(image, 100, 100), 0xFF0000FFu);  // x < 0, y > 0: code 1, blue
    EXPECT_EQ(Px(image, 300, 300), 0xFFFFFFFFu);  // x > 0, y < 0: code 2, white
    EXPECT_EQ(Px(image, 300, 100), 0xFF00FFFFu);  // x > 0, y > 0: code 3, aqua
    // The same network answers class 1 everywhere.
    DrawSignalView(Input(1), image);
    EXPECT_EQ(Px(image, 300, 100), 0xFFFFFF00u);
}

TEST_F(SignalViewTest, AnEmptyNetworkOrAnEmptyViewDrawsNoAnswer) {
    ClearNetwork();
    QImage image = NewImage(20, 10, 0x12345678);
    DrawSignalView(Input(1), image);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(Px(image, x, y), 0xFF000000u);
    evaluated.clear();
    QImage none;
    EXPECT_FALSE(DrawSignalView(Input(1, 1), none));
    EXPECT_TRUE(evaluated.empty());
}

TEST_F(SignalViewTest, DiscsSitOnTheMappedPixels) {
    AddPoint(0, 0, 0, false);
    AddPoint(-1, -1, 1, false);
    SignalViewInput input = Input(0, 1);
    input.presentationCount = 1;  // white rings for the wrong points
    QImage image = NewImage(400, 400);
    DrawSignalView(input, image);
    const uint32_t yellow = 0xFFFFFF00, blue = 0xFF0000FF, white = 0xFFFFFFFF, black = 0xFF000000;
    EXPECT_EQ(Px(image, 200, 200), yellow);
    EXPECT_EQ(Px(image, 201, 201), yellow);
    for (const auto& [x, y] : {std::pair{198, 200}, {202, 200}, {200, 198}, {200, 202}, {199, 198}})
        EXPECT_EQ(Px(image, x, y), white) << x << "," << y;
    for (const auto& [x, y] : {std::pair{197, 200}, {203, 200}, {198, 198}, {202, 202}})
        EXPECT_EQ(Px(image, x, y), black) << x << "," << y;
    // (-1, -1): centre (0, 400), only its upper right quarter shows.
    EXPECT_EQ(Px(image, 0, 399), blue);
    EXPECT_EQ(Px(image, 1, 399), blue);
    EXPECT_EQ(Px(image, 2, 399), white);
    EXPECT_EQ(Px(image, 0, 398), white);
    EXPECT_EQ(Px(image, 2, 398), black);
}

TEST_F(SignalViewTest, RingsAreBlackBeforeLearningAndWhiteForWrongPointsAfter) {
    AddPoint(-0.5f, 0, 0, false);
    AddPoint(0.5f, 0, 0, true);
    SignalViewInput input = Input(0, 1);
    QImage image = NewImage(400, 400, 0xFF102030);
    input.presentationCount = 0;
    DrawSamplePoints(input, false, image);
    EXPECT_EQ(Px(image, 98, 200), 0xFF000000u);
    EXPECT_EQ(Px(image, 298, 200), 0xFF000000u);
    EXPECT_EQ(Px(image, 150, 200), 0xFF102030u);  // drawn over the picture, not cleared
    input.presentationCount = 1;
    DrawSamplePoints(input, false, image);
    EXPECT_EQ(Px(image, 98, 200), 0xFFFFFFFFu);
    EXPECT_EQ(Px(image, 298, 200), 0xFF000000u);
}

TEST_F(SignalViewTest, DeleteBrushHighlightsExactlyThePointsWithinTheRadius) {
    AddPoint(0.1f, 0, 0, true);        // A: inside, black ring, centre (220, 200)
    AddPoint(-0.1f, 0, 1, false);      // B: inside, white ring, centre (180, 200)
    AddPoint(0, -0.2f, 0, true);       // C: exactly at the radius, centre (200, 240)
    AddPoint(0, 0.21f, 1, false);      // D: outside, centre (200, 158)
    AddPoint(0.2f, 0.0001f, 0, true);  // E: just outside, centre (240, 200)
    SignalViewInput input = Input(0, 1);
    input.presentationCount = 10;
    input.selectedClass = 0;
    input.brushRadius = 0.2f;
    input.cursor = QPoint(200, 200);  // the plane's origin
    QImage image = NewImage(400, 400);
    EXPECT_TRUE(DrawSignalView(input, image));
    const uint32_t fill1 = 0xFFFF9900, fill2 = 0xFF660099, ringBlack = 0xFF990000,
                   ringWhite = 0xFFFF6666;
    EXPECT_EQ(Px(image, 220, 200), fill1);
    EXPECT_EQ(Px(image, 218, 200), ringBlack);
    EXPECT_EQ(Px(image, 180, 200), fill2);
    EXPECT_EQ(Px(image, 178, 200), ringWhite);
    EXPECT_EQ(Px(image, 200, 240), fill1);
    EXPECT_EQ(Px(image, 198, 240), ringBlack);
    EXPECT_EQ(Px(image, 200, 158), 0xFF0000FFu);
    EXPECT_EQ(Px(image, 198, 158), 0xFFFFFFFFu);
    EXPECT_EQ(Px(image, 240, 200), 0xFFFFFF00u);
    EXPECT_EQ(Px(image, 238, 200), 0xFF000000u);

    // Not in delete mode, or the cursor off the plane: no highlight, and the caller is told.
    input.selectedClass = -1;
    EXPECT_FALSE(DrawSignalView(input, image));
    EXPECT_EQ(Px(image, 220, 200), 0xFFFFFF00u);
    input.selectedClass = 0;
    input.cursor = QPoint(401, 200);
    EXPECT_FALSE(DrawSignalView(input, image));
    EXPECT_EQ(Px(image, 180, 200), 0xFF0000FFu);
    input.cursor.reset();
    EXPECT_FALSE(DrawSignalView(input, image));
    input.cursor = QPoint(400, 400);  // (1, -1) is still on the plane
    EXPECT_TRUE(DrawSignalView(input, image));
    // The redraw without highlight by DrawSamplePoints restores the plain colours.
    input.cursor = QPoint(200, 200);
    DrawSignalView(input, image);
    EXPECT_FALSE(DrawSamplePoints(input, false, image));
    EXPECT_EQ(Px(image, 220, 200), 0xFFFFFF00u);
    EXPECT_EQ(Px(image, 178, 200), 0xFFFFFFFFu);
}

TEST_F(SignalViewTest, PointsModeDrawsNoRasterAndAnswerModeNoPoints) {
    AddPoint(0.5f, 0.5f, 1);
    AddPoint(-0.5f, -0.5f, 0);
    SignalViewInput input = Input(0, 1);
    input.showAxes = true;
    QImage image = NewImage(200, 100, 0x12345678);
    DrawSignalView(input, image);
    EXPECT_TRUE(evaluated.empty());
    // Everything away from the axes, the discs and the label boxes is black.
    const QFontMetrics metrics(ViewFont(true));
    auto nearThings = [&](int x, int y) {
        if (x == 100 || y == 50)
            return true;
        for (const auto& [cx, cy] : {std::pair{150, 25}, std::pair{50, 75}})
            if (std::abs(x - cx) <= 3 && std::abs(y - cy) <= 3)
                return true;
        for (const TextPlacement& label : AxisLabelLayout(200, 100))
            if (x >= label.x - 2 && x < label.x + TextWidth(label.text, true) + 2 &&
                y >= label.y - 2 && y < label.y + metrics.height() + 2)
                return true;
        return false;
    };
    int stray = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            stray += !nearThings(x, y) && Px(image, x, y) != 0xFF000000u;
    EXPECT_EQ(stray, 0);
    EXPECT_EQ(Px(image, 150, 25), 0xFF0000FFu);

    // "Network Answer": the raster only, whatever the point set holds.
    BuildNetwork("2:2");
    SetNeuron(2, 100, 0, 0);
    SetNeuron(3, -100, 0, 0);
    input = Input(1, 0);
    DrawSignalView(input, image);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(Px(image, x, y), 0xFFFFFF00u) << x << "," << y;
}

TEST_F(SignalViewTest, AxesFollowTheCheckWithTheirPatternAndLabels) {
    SignalViewInput input = Input(0, 1);
    input.showAxes = true;
    QImage image = NewImage(200, 100);
    DrawSignalView(input, image);
    // Pattern grey, transparent, grey at step 0.5 from the start of each line.
    const uint32_t G = 0xFF7F7F7F, D = 0xFF202020, B = 0xFF000000;
    const uint32_t expected[] = {G, D, B, D, G, G, G, D, B, D, G, G};
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(Px(image, k, 50), expected[k]) << "horizontal " << k;
        EXPECT_EQ(Px(image, 100, k), expected[k]) << "vertical " << k;
    }
    EXPECT_EQ(Px(image, 5, 49), B);
    EXPECT_EQ(Px(image, 99, 5), B);

    const auto labels = AxisLabelLayout(200, 100);
    EXPECT_EQ(labels[0].text, "1,0");
    EXPECT_EQ(labels[0].x, 200 - TextWidth("1,0", true) - 2);
    EXPECT_EQ(labels[0].y, 50);
    EXPECT_EQ(labels[1].text, "0,1");
    EXPECT_EQ(labels[1].x, 102);
    EXPECT_EQ(labels[1].y, 0);
    EXPECT_TRUE(labels[0].bold && labels[1].bold);

    input.showAxes = false;
    DrawSignalView(input, image);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(Px(image, x, y), B) << x << "," << y;
}

}  // namespace
}  // namespace kestro
