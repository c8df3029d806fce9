#include "views/canvas.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/units/errors.h"

namespace kestro {

QString ViewFontFamily() {
    static const QString family = [] {
        KESTRO_ASSERT(qGuiApp != nullptr);
        const QString preferred = QStringLiteral("Tahoma");
        return QFontDatabase::families().contains(preferred) ? preferred
                                                             : QStringLiteral("DejaVu Sans");
    }();
    return family;
}

QFont ViewFont(bool bold, double ratio) {
    QFont font(ViewFontFamily());
    // 8 points at 96 dots per inch: MulDiv(8, 96, 72) = 11 pixels, times the pixel ratio.
    constexpr int LogicalPixels = 11;
    font.setPixelSize(ratio == 1.0
                          ? LogicalPixels
                          : std::max(1, static_cast<int>(std::lround(LogicalPixels * ratio))));
    font.setBold(bold);
    font.setKerning(false);
    return font;
}

int TextWidth(std::string_view text, bool bold) {
    const QFontMetrics metrics(ViewFont(bold));
    return metrics.horizontalAdvance(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

QSize LogicalSize(const QImage& image) {
    const double ratio = image.devicePixelRatio();
    if (ratio == 1.0)
        return image.size();
    // The small allowance keeps n r / r at n where the division rounds just below it.
    const auto logical = [ratio](int pixels) {
        return static_cast<int>(std::floor(pixels / ratio + 1e-6));
    };
    return {logical(image.width()), logical(image.height())};
}

QImage OpaqueCopy(const QImage& image) {
    QImage shown = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < shown.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(shown.scanLine(y));
        for (int x = 0; x < shown.width(); ++x)
            line[x] |= 0xFF000000u;
    }
    return shown;
}

Canvas::Canvas(QImage& image)
    : image_(image),
      width_(image.width()),
      height_(image.height()),
      deviceWidth_(image.width()),
      deviceHeight_(image.height()) {
    KESTRO_ASSERT(image.isNull() || image.format() == QImage::Format_ARGB32);
    const double ratio = image.devicePixelRatio();
    if (ratio != 1.0 && !image.isNull()) {
        KESTRO_ASSERT(ratio > 0);
        ratio_ = ratio;
        scaled_ = true;
        const QSize logical = LogicalSize(image);
        width_ = logical.width();
        height_ = logical.height();
    }
}

namespace {

// The device coordinate of logical coordinate v: v r rounded half up, held within +-2^30.
int ScaleCoordinate(int v, double ratio) {
    constexpr double Limit = 1073741824.0;
    const double scaled = std::floor(v * ratio + 0.5);
    return static_cast<int>(scaled < -Limit ? -Limit : scaled > Limit ? Limit : scaled);
}

}  // namespace

int Canvas::DeviceX(int x) const {
    if (!scaled_)
        return x;
    // The right edge of the last logical column is the image's right edge.
    return x == width_ ? deviceWidth_ : ScaleCoordinate(x, ratio_);
}

int Canvas::DeviceY(int y) const {
    if (!scaled_)
        return y;
    return y == height_ ? deviceHeight_ : ScaleCoordinate(y, ratio_);
}

void Canvas::FillRect(int left, int top, int right, int bottom, uint32_t argb) {
    if (scaled_)
        FillDevice(DeviceX(left), DeviceY(top), DeviceX(right), DeviceY(bottom), argb);
    else
        FillDevice(left, top, right, bottom, argb);
}

void Canvas::FillDevice(int left, int top, int right, int bottom, uint32_t argb) {
    left = left < 0 ? 0 : left;
    top = top < 0 ? 0 : top;
    right = right > deviceWidth_ ? deviceWidth_ : right;
    bottom = bottom > deviceHeight_ ? deviceHeight_ : bottom;
    for (int y = top; y < bottom; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image_.scanLine(y));
        for (int x = left; x < right; ++x)
            line[x] = argb;
    }
}

void Canvas::SetPixel(int x, int y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    if (scaled_)
        FillDevice(DeviceX(x), DeviceY(y), DeviceX(x + 1), DeviceY(y + 1), argb);
    else
        reinterpret_cast<uint32_t*>(image_.scanLine(y))[x] = argb;
}

uint32_t Canvas::Pixel(int x, int y) const {
    KESTRO_ASSERT(x >= 0 && y >= 0 && x < width_ && y < height_);
    return reinterpret_cast<const uint32_t*>(image_.constScanLine(DeviceY(y)))[DeviceX(x)];
}

void Canvas::MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
}

void Canvas::LineTo(int x, int y) {
    const int64_t dx = static_cast<int64_t>(x) - penX_;
    const int64_t dy = static_cast<int64_t>(y) - penY_;
    const int64_t adx = std::llabs(dx), ady = std::llabs(dy);
    const int64_t n = adx > ady ? adx : ady;
    if (n > 0) {
        // Pixel t of n (the end pixel t = n is left out): the major coordinate moves by one per
        // pixel, the minor one is start + round(t * minorSpan / n), halves away from the start.
        const bool xMajor = adx >= ady;
        const int64_t major0 = xMajor ? penX_ : penY_;
        const int64_t minor0 = xMajor ? penY_ : penX_;
        const int64_t majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
        const int64_t minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
        const int64_t minorSpan = xMajor ? ady : adx;
        const int64_t majorSize = xMajor ? width_ : height_;
        const int64_t minorSize = xMajor ? height_ : width_;
        // Only the pixels whose major coordinate lies in the image are walked.
        int64_t tFirst = majorSign > 0 ? -major0 : major0 - (majorSize - 1);
        int64_t tLast = majorSign > 0 ? majorSize - 1 - major0 : major0;
        tFirst = tFirst < 0 ? 0 : tFirst;
        tLast = tLast > n - 1 ? n - 1 : tLast;
        for (int64_t t = tFirst; t <= tLast; ++t) {
            const int64_t major = major0 + majorSign * t;
            const int64_t minor = minor0 + minorSign * ((2 * t * minorSpan + n) / (2 * n));
            if (minor < 0 || minor >= minorSize)
                continue;
            if (xMajor)
                SetPixel(static_cast<int>(major), static_cast<int>(minor), pen_);
            else
                SetPixel(static_cast<int>(minor), static_cast<int>(major), pen_);
        }
    }
    penX_ = x;
    penY_ = y;
}

void Canvas::Ellipse(int left, int top, int right, int bottom, uint32_t pen, uint32_t brush) {
    // The box keeps its size, r times the logical one rounded, wherever its corner falls; the
    // ring is as wide as a logical pixel, r device pixels rounded with halves down (a ring of 2
    // in a disc of 8 pixels at 1.5 leaves too little of the fill).
    int ring = 1;
    if (scaled_) {
        const auto size = [this](int logical) {
            return static_cast<int>(std::lround(std::min(logical * ratio_, 536870912.0)));
        };
        const int w = size(right - left), h = size(bottom - top);
        left = DeviceX(left);
        top = DeviceY(top);
        right = left + w;
        bottom = top + h;
        ring = std::max(1, static_cast<int>(std::ceil(ratio_ - 0.5)));
    }
    const int64_t w = static_cast<int64_t>(right) - left, h = static_cast<int64_t>(bottom) - top;
    if (w <= 0 || h <= 0)
        return;
    // Pixel (x, y) lies inside when its centre does:
    // ((2x + 1 - (left + right)) / w)^2 + ((2y + 1 - (top + bottom)) / h)^2 <= 1, in integers.
    auto inside = [&](int64_t x, int64_t y) {
        if (x < left || x >= right || y < top || y >= bottom)
            return false;
        const int64_t u = 2 * x + 1 - (static_cast<int64_t>(left) + right);
        const int64_t v = 2 * y + 1 - (static_cast<int64_t>(top) + bottom);
        return u * u * h * h + v * v * w * w <= w * w * h * h;
    };
    const int x0 = left < 0 ? 0 : left, x1 = right > deviceWidth_ ? deviceWidth_ : right;
    const int y0 = top < 0 ? 0 : top, y1 = bottom > deviceHeight_ ? deviceHeight_ : bottom;
    for (int y = y0; y < y1; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image_.scanLine(y));
        for (int x = x0; x < x1; ++x) {
            if (!inside(x, y))
                continue;
            // An edge pixel has a pixel outside within the ring's width in one of the four
            // directions.
            bool edge = false;
            for (int d = 1; d <= ring && !edge; ++d)
                edge = !inside(x - d, y) || !inside(x + d, y) || !inside(x, y - d) ||
                       !inside(x, y + d);
            line[x] = edge ? pen : brush;
        }
    }
}

void Canvas::TextOut(int x, int y, std::string_view text, bool bold, uint32_t argb) {
    if (image_.isNull() || text.empty())
        return;
    const QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (!scaled_) {
        QPainter painter(&image_);
        const QFont font = ViewFont(bold);
        painter.setFont(font);
        painter.setPen(QColor::fromRgba(argb));
        const QFontMetrics metrics(font);
        painter.drawText(QPoint(x, y + metrics.ascent()), string);
        return;
    }
    // A painter would scale everything by the ratio itself; this one paints the same pixels in
    // device coordinates, with the scaled font placed at the device position of the corner.
    QImage device(image_.bits(), deviceWidth_, deviceHeight_, image_.bytesPerLine(),
                  QImage::Format_ARGB32);
    QPainter painter(&device);
    const QFont font = ViewFont(bold, ratio_);
    painter.setFont(font);
    painter.setPen(QColor::fromRgba(argb));
    const QFontMetrics metrics(font);
    painter.drawText(QPoint(DeviceX(x), DeviceY(y) + metrics.ascent()), string);
}

}  // namespace kestro
