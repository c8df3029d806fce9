#include <gtest/gtest.h>

#include <QFontInfo>
#include <chrono>

#include "views/canvas.h"
#include "viewtest.h"

namespace kestro {
namespace {

using test::NewImage;
using test::Px;

constexpr uint32_t Bg = 0xFF000000u, Ink = 0xFFFFFFFFu;

// The pixels of a line from (x0, y0) to (x1, y1) on a fresh 20 x 20 image, as a count.
int DrawnPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += Px(image, x, y) == Ink;
    return count;
}

TEST(CanvasLine, LineToLeavesOutTheEndPixelAndMoveToDrawsNothing) {
    QImage image = NewImage(20, 20);
    Canvas canvas(image);
    canvas.SetPen(Ink);
    canvas.MoveTo(2, 5);
    canvas.MoveTo(3, 5);
    EXPECT_EQ(DrawnPixels(image), 0);
    canvas.LineTo(8, 5);  // 3..7
    EXPECT_EQ(DrawnPixels(image), 5);
    EXPECT_EQ(Px(image, 3, 5), Ink);
    EXPECT_EQ(Px(image, 7, 5), Ink);
    EXPECT_EQ(Px(image, 8, 5), Bg);
    EXPECT_EQ(Px(image, 2, 5), Bg);
    // The next line starts at the end pixel left out before.
    canvas.LineTo(8, 9);  // (8, 5)..(8, 8)
    EXPECT_EQ(Px(image, 8, 5), Ink);
    EXPECT_EQ(Px(image, 8, 8), Ink);
    EXPECT_EQ(Px(image, 8, 9), Bg);
    // A line to the current position draws nothing.
    canvas.LineTo(8, 9);
    EXPECT_EQ(Px(image, 8, 9), Bg);
}

TEST(CanvasLine, DiagonalAndSteepLinesHaveOnePixelPerMajorStep) {
    QImage image = NewImage(20, 20);
    Canvas canvas(image);
    canvas.SetPen(Ink);
    canvas.MoveTo(10, 10);
    canvas.LineTo(4, 4);  // (10,10) .. (5,5)
    EXPECT_EQ(DrawnPixels(image), 6);
    for (int k = 5; k <= 10; ++k)
        EXPECT_EQ(Px(image, k, k), Ink) << k;
    EXPECT_EQ(Px(image, 4, 4), Bg);

    QImage steep = NewImage(20, 20);
    Canvas c2(steep);
    c2.SetPen(Ink);
    c2.MoveTo(0, 0);
    c2.LineTo(1, 10);  // 10 pixels, one per row, the column switches halfway
    EXPECT_EQ(DrawnPixels(steep), 10);
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(Px(steep, y < 5 ? 0 : 1, y), Ink) << y;
}

TEST(CanvasLine, FarOffEndsAreClippedQuickly) {
    QImage image = NewImage(20, 20);
    Canvas canvas(image);
    canvas.SetPen(Ink);
    const auto start = std::chrono::steady_clock::now();
    canvas.MoveTo(5, -100000000);
    canvas.LineTo(5, 100000000);
    canvas.MoveTo(-100000000, 7);
    canvas.LineTo(100000000, 7);
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 0.5);  // only the visible part is walked
    EXPECT_EQ(DrawnPixels(image), 39);
    EXPECT_EQ(Px(image, 5, 0), Ink);
    EXPECT_EQ(Px(image, 5, 19), Ink);
    EXPECT_EQ(Px(image, 0, 7), Ink);
    EXPECT_EQ(Px(image, 19, 7), Ink);
}

TEST(CanvasEllipse, FivePixelDiscHasRingFillAndEmptyCorners) {
    const uint32_t pen = 0xFF112233u, brush = 0xFFAABBCCu;
    QImage image = NewImage(9, 9);
    Canvas canvas(image);
    canvas.Ellipse(2, 2, 7, 7, pen, brush);  // pixels 2..6
    const char* expected[] = {
        ".........",  //
        ".........",  //
        "...ppp...",  //
        "..pbbbp..",  //
        "..pbbbp..",  //
        "..pbbbp..",  //
        "...ppp...",  //
        ".........",  //
        ".........",  //
    };
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) {
            const char c = expected[y][x];
            const uint32_t want = c == 'p' ? pen : c == 'b' ? brush : Bg;
            EXPECT_EQ(Px(image, x, y), want) << x << "," << y;
        }
}

TEST(CanvasEllipse, NineteenPixelDiscAndClipping) {
    QImage image = NewImage(40, 40);
    Canvas canvas(image);
    canvas.Ellipse(11, 11, 30, 30, Bg + 1, Ink);  // centre pixel 20
    EXPECT_EQ(Px(image, 20, 20), Ink);
    EXPECT_EQ(Px(image, 20, 11), Bg + 1);
    EXPECT_EQ(Px(image, 11, 20), Bg + 1);
    EXPECT_EQ(Px(image, 29, 20), Bg + 1);
    EXPECT_EQ(Px(image, 20, 29), Bg + 1);
    EXPECT_EQ(Px(image, 20, 10), Bg);
    EXPECT_EQ(Px(image, 30, 20), Bg);
    EXPECT_EQ(Px(image, 11, 11), Bg);
    // Partly outside the image: the visible part is drawn, nothing else happens.
    canvas.Ellipse(-2, 37, 3, 42, Bg + 2, Bg + 3);
    EXPECT_EQ(Px(image, 0, 39), Bg + 3);
    EXPECT_EQ(Px(image, 0, 38), Bg + 3);
    EXPECT_EQ(Px(image, 0, 37), Bg + 2);
    EXPECT_EQ(Px(image, 2, 39), Bg + 2);
}

TEST(CanvasFill, FillRectIsClippedAndStored) {
    QImage image = NewImage(10, 10);
    Canvas canvas(image);
    canvas.FillRect(-5, 8, 3, 50, 0x00000000u);  // stored, not blended
    EXPECT_EQ(Px(image, 0, 9), 0x00000000u);
    EXPECT_EQ(Px(image, 2, 8), 0x00000000u);
    EXPECT_EQ(Px(image, 3, 8), Bg);
    EXPECT_EQ(Px(image, 2, 7), Bg);
}

TEST(CanvasColor, CanvasColoursHaveRedInTheLowByte) {
    EXPECT_EQ(ArgbFromCanvasColor(0x0000FF), 0xFFFF0000u);  // red
    EXPECT_EQ(ArgbFromCanvasColor(0x008000), 0xFF008000u);  // green
    EXPECT_EQ(ArgbFromCanvasColor(0xFF0000), 0xFF0000FFu);  // blue
    EXPECT_EQ(CanvasColorFromArgb(0x12345678u), 0x785634u);
}

TEST(CanvasShow, OpaqueCopyIgnoresAlpha) {
    QImage image = NewImage(2, 1, 0x00000000u);
    reinterpret_cast<uint32_t*>(image.scanLine(0))[1] = 0x40FF8000u;
    const QImage shown = OpaqueCopy(image);
    EXPECT_EQ(Px(shown, 0, 0), 0xFF000000u);
    EXPECT_EQ(Px(shown, 1, 0), 0xFFFF8000u);
}

TEST(CanvasText, FontIsTahomaOrTheDocumentedFallback) {
    test::EnsureGuiApplication();
    const QString family = ViewFontFamily();
    EXPECT_TRUE(family == "Tahoma" || family == "DejaVu Sans") << family.toStdString();
    const QFontInfo info(ViewFont(true));
    EXPECT_EQ(info.family(), family);
    EXPECT_TRUE(info.bold());
    EXPECT_EQ(info.pixelSize(), 11);
    EXPECT_GT(TextWidth("1,0", true), 0);
    EXPECT_GT(TextWidth("Abs. Weights", false), TextWidth("RMS:", false));
}

}  // namespace
}  // namespace kestro
