// A small drawing surface over a 32-bit ARGB image (pixel = 0xAARRGGBB): stored fills and pixels,
// move-to/line-to without the end pixel, ellipses by their exact bounding box, and text placed by
// its top-left corner. Everything outside the image is clipped.
//
// Coordinates are logical pixels. An image with a device pixel ratio r (QImage::devicePixelRatio)
// holds r x r device pixels per logical one: fills, pixels and lines cover the device pixels of
// their logical pixels, ellipses are drawn in device pixels, r times as large, with a ring about
// r pixels wide, and text uses the font scaled by r. At r = 1 logical and device pixels are the
// same.
#pragma once

#include <QFont>
#include <QImage>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestro {

constexpr uint32_t OpaqueBlack = 0xFF000000u;
// Silver (192,192,192), the colour of the labels of the signal view and the error graph.
constexpr uint32_t LabelSilver = 0xFFC0C0C0u;

// The opaque ARGB pixel of a 24-bit canvas colour (red in the low byte, then green, then blue).
constexpr uint32_t ArgbFromCanvasColor(uint32_t rgb) {
    return 0xFF000000u | ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}

// The 24-bit canvas colour (red in the low byte) of an ARGB pixel; the alpha byte is dropped.
constexpr uint32_t CanvasColorFromArgb(uint32_t argb) {
    return ((argb >> 16) & 0xFFu) | (argb & 0xFF00u) | ((argb & 0xFFu) << 16);
}

// The family the views write with: "Tahoma" when the system has it, else "DejaVu Sans" (from the
// package fonts-dejavu-core, which the build installs; its glyphs are somewhat wider).
QString ViewFontFamily();
// The views' font: the family above at 8 points on a 96 dpi surface (11 pixels), regular or bold;
// on a surface of device pixel ratio r, round(11 r) device pixels.
QFont ViewFont(bool bold, double ratio = 1.0);

// Where a text goes: its top-left corner.
struct TextPlacement {
    std::string text;
    int x = 0;
    int y = 0;
    bool bold = false;
};

// The width in pixels of a text in the views' font (needs a QGuiApplication).
int TextWidth(std::string_view text, bool bold);

// The size in logical pixels of an image: its pixel size divided by its device pixel ratio,
// rounded down (a surface of ceil(n r) pixels is n logical pixels).
QSize LogicalSize(const QImage& image);

// The image as it is shown on the screen: every pixel opaque, whatever its alpha byte holds.
QImage OpaqueCopy(const QImage& image);

// Drawing operations on one Format_ARGB32 image. The image must outlive the canvas.
class Canvas {
  public:
    explicit Canvas(QImage& image);

    // The logical size.
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The device pixel ratio of the image.
    double Ratio() const { return ratio_; }
    // The first device column or row of a logical one.
    int DeviceX(int x) const;
    int DeviceY(int y) const;

    // Stores colour in every pixel of (left, top)-(right, bottom), right and bottom exclusive.
    void FillRect(int left, int top, int right, int bottom, uint32_t argb);
    // Stores colour in one pixel (ignored outside the image).
    void SetPixel(int x, int y, uint32_t argb);
    // The pixel at (x, y), which must lie inside the image (the first of its device pixels).
    uint32_t Pixel(int x, int y) const;

    // The colour value lines are stored with.
    void SetPen(uint32_t argb) { pen_ = argb; }
    // Sets the current position without drawing.
    void MoveTo(int x, int y);
    // Draws from the current position to (x, y), leaving out the end pixel, which becomes the
    // current position.
    void LineTo(int x, int y);

    // An ellipse inside (left, top)-(right, bottom), right and bottom exclusive: the pixels whose
    // centres lie in the ellipse, the outermost ones (with a 4-neighbour outside) in the pen
    // colour, the others in the brush colour.
    void Ellipse(int left, int top, int right, int bottom, uint32_t pen, uint32_t brush);

    // Writes text with its top-left corner at (x, y) in the views' font, brush clear.
    void TextOut(int x, int y, std::string_view text, bool bold, uint32_t argb);
    void TextOut(const TextPlacement& placement, uint32_t argb) {
        TextOut(placement.x, placement.y, placement.text, placement.bold, argb);
    }

  private:
    // FillRect in device pixels.
    void FillDevice(int left, int top, int right, int bottom, uint32_t argb);

    QImage& image_;
    int width_;
    int height_;
    int deviceWidth_;
    int deviceHeight_;
    double ratio_ = 1.0;
    bool scaled_ = false;
    uint32_t pen_ = OpaqueBlack;
    int penX_ = 0;
    int penY_ = 0;
};

}  // namespace kestro
