// Helpers of the view tests: the application that text drawing needs, and image access.
#pragma once

#include <QGuiApplication>
#include <QImage>
#include <cstdint>

namespace kestro::test {

// Creates the QGuiApplication once (fonts need one), on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise; it lives until the process ends.
inline void EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr)
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "kestro_view_tests";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

// A Format_ARGB32 image filled with one colour.
inline QImage NewImage(int width, int height, uint32_t fill = 0xFF000000u) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(fill);
    return image;
}

// The ARGB value of one pixel.
inline uint32_t Px(const QImage& image, int x, int y) {
    return reinterpret_cast<const uint32_t*>(image.constScanLine(y))[x];
}

// Sum of the red, green and blue bytes: lower is darker.
inline int Brightness(uint32_t argb) {
    return static_cast<int>(((argb >> 16) & 0xFF) + ((argb >> 8) & 0xFF) + (argb & 0xFF));
}

}  // namespace kestro::test
