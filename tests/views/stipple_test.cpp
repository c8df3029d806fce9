#include <gtest/gtest.h>

#include <cmath>

#include "views/stipple.h"
#include "viewtest.h"

namespace kestro {
namespace {

using test::NewImage;
using test::Px;

StipplePattern Pattern(std::initializer_list<uint32_t> colors) {
    StipplePattern pattern;
    for (uint32_t c : colors)
        pattern.colors[pattern.count++] = c;
    return pattern;
}

TEST(StippleColor, MixesNeighbouringEntriesPerChannelAndWraps) {
    const StipplePattern fade = Pattern({0x00000000, 0xFF000000, 0x00000000});
    EXPECT_EQ(StippleColor(fade, 0.0), 0x00000000u);
    EXPECT_EQ(StippleColor(fade, 1.0), 0xFF000000u);
    EXPECT_EQ(StippleColor(fade, 1.5), 0x80000000u);  // alpha 127.5 rounds to even 128
    const StipplePattern three = Pattern({0xFF000000, 0xFF0000FF, 0xFFFF0000});
    EXPECT_EQ(StippleColor(three, 0.25), 0xFF000040u);  // 255 / 4 = 63.75
    EXPECT_EQ(StippleColor(three, 2.5), 0xFF800000u);   // red with entry 0 (black)
}

TEST(StippledLine, AxisPatternRepeatsEverySixPixels) {
    QImage image = NewImage(14, 1);
    const StipplePattern axis = Pattern({0xFF7F7F7F, 0x00000000, 0xFF7F7F7F});
    double position = 0;
    StippledLine(image, 0, 0, 14, 0, axis, 0.5, position);
    // p = 0, 0.5, 1, 1.5, 2, 2.5: grey, half (0x80404040 over black), none, half, grey, grey
    const uint32_t G = 0xFF7F7F7F, D = 0xFF202020, B = 0xFF000000;
    const uint32_t expected[] = {G, D, B, D, G, G, G, D, B, D, G, G, G, D};
    for (int x = 0; x < 14; ++x)
        EXPECT_EQ(Px(image, x, 0), expected[x]) << x;
}

TEST(StippledLine, TheEndPointIsNotDrawn) {
    QImage image = NewImage(8, 8);
    const StipplePattern white = Pattern({0xFFFFFFFF});
    double position = 0;
    StippledLine(image, 1, 3, 6, 3, white, 1, position);
    EXPECT_EQ(Px(image, 1, 3), 0xFFFFFFFFu);
    EXPECT_EQ(Px(image, 5, 3), 0xFFFFFFFFu);
    EXPECT_EQ(Px(image, 6, 3), 0xFF000000u);
    // A 3-4-5 line: points at k = 0..4; (3, 4) only gets a corner share of (2.4, 3.2).
    QImage diagonal = NewImage(8, 8);
    position = 0;
    StippledLine(diagonal, 0, 0, 3, 4, white, 1, position);
    EXPECT_EQ(Px(diagonal, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(Px(diagonal, 3, 4), 0xFF141414u);  // 0.4 * 0.2 * 255 = 20.4
    // 0.32 of k = 3 (82), then 0.48 of k = 4: 255 * 0.48 + 82 * 0.52 = 165.04
    EXPECT_EQ(Px(diagonal, 2, 3), 0xFFA5A5A5u);
}

TEST(StippledLine, FractionalPointsShareTheirCoverage) {
    QImage image = NewImage(4, 2);
    const StipplePattern white = Pattern({0xFFFFFFFF});
    double position = 0;
    StippledLine(image, 0, 0.5, 4, 0.5, white, 1, position);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(Px(image, x, 0), 0xFF808080u) << x;  // 127.5 -> 128
        EXPECT_EQ(Px(image, x, 1), 0xFF808080u) << x;
    }
    QImage column = NewImage(5, 3);
    position = 0;
    StippledLine(column, 2.25, 0, 2.25, 3, white, 1, position);
    EXPECT_EQ(Px(column, 2, 1), 0xFFBFBFBFu);  // 0.75 * 255 = 191.25
    EXPECT_EQ(Px(column, 3, 1), 0xFF404040u);  // 0.25 * 255 = 63.75
    EXPECT_EQ(Px(column, 1, 1), 0xFF000000u);
}

TEST(StippledLine, TransparentColoursLeaveThePixelAndOpaqueImagesStayOpaque) {
    QImage image = NewImage(6, 1, 0xFF123456u);
    double position = 0;
    StippledLine(image, 0, 0, 6, 0, Pattern({0x00FF0000}), 1, position);
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(Px(image, x, 0), 0xFF123456u);
    // Half-transparent red over blue: colour mixes, alpha stays opaque.
    QImage blue = NewImage(1, 1, 0xFF0000FFu);
    position = 0;
    StippledLine(blue, 0, 0, 1, 0, Pattern({0x80FF0000}), 1, position);
    const double f = 128.0 / 255.0;
    const auto red = static_cast<uint32_t>(std::nearbyint(255 * f));
    const auto rest = static_cast<uint32_t>(std::nearbyint(255 * (1 - f)));
    EXPECT_EQ(Px(blue, 0, 0), 0xFF000000u | red << 16 | rest);
}

TEST(StippledLine, PositionAdvancesByStepModuloThePatternAcrossLines) {
    const uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF;
    const StipplePattern rgb = Pattern({R, G, B});
    QImage image = NewImage(4, 2);
    double position = 0;
    StippledLine(image, 0, 0, 2, 0, rgb, 1, position);
    EXPECT_DOUBLE_EQ(position, 2.0);
    StippledLine(image, 2, 0, 4, 0, rgb, 1, position);  // continues where the last ended
    EXPECT_EQ(Px(image, 0, 0), R);
    EXPECT_EQ(Px(image, 1, 0), G);
    EXPECT_EQ(Px(image, 2, 0), B);
    EXPECT_EQ(Px(image, 3, 0), R);
    position = 0;
    StippledLine(image, 0, 1, 4, 1, rgb, 4, position);  // 0, 1, 2, 0
    EXPECT_EQ(Px(image, 0, 1), R);
    EXPECT_EQ(Px(image, 1, 1), G);
    EXPECT_EQ(Px(image, 2, 1), B);
    EXPECT_EQ(Px(image, 3, 1), R);
}

TEST(StippledLine, OutsideAndDegenerateLinesDrawNothing) {
    QImage image = NewImage(4, 4);
    double position = 0;
    const StipplePattern white = Pattern({0xFFFFFFFF});
    StippledLine(image, 2, 2, 2, 2, white, 1, position);
    StippledLine(image, -10, -10, -3, -20, white, 1, position);
    StippledLine(image, std::nan(""), 0, 3, 3, white, 1, position);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(Px(image, x, y), 0xFF000000u);
}

}  // namespace
}  // namespace kestro
