#include "views/neuronview.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/units/errors.h"
#include "core/units/glowny/plane.h"
#include "views/canvas.h"
#include "views/signalview.h"

namespace kestro {

uint32_t NeuronOutputColor(float v) {
    if (v > 0)
        return ShadeColor(RasterColors[0], v);
    if (v < 0)
        return ShadeColor(RasterColors[1], -v);
    return OpaqueBlack;
}

void DrawNeuronRaster(const NetworkCopy& network, int32_t neuron, int cellSize, QImage& image) {
    const int width = image.width(), height = image.height();
    if (width <= 0 || height <= 0)
        return;
    KESTRO_ASSERT(image.format() == QImage::Format_ARGB32);
    KESTRO_ASSERT(cellSize >= 1);
    if (neuron < 0 || neuron >= network.Total()) {
        image.fill(OpaqueBlack);
        return;
    }
    const PlaneMapping plane{width, height};
    const int columns = (width + cellSize - 1) / cellSize;
    const int rows = (height + cellSize - 1) / cellSize;
    std::vector<float> xs(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c)
        xs[static_cast<size_t>(c)] = plane.SampleX(c * cellSize);
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    // Bands of a few cell rows on the raster threads; each writes its own rows only.
    constexpr int BandRows = 4;
    const std::function<void(int)> band = [&](int b) {
        std::vector<float> ys(static_cast<size_t>(columns)), values(static_cast<size_t>(columns));
        for (int r = b * BandRows; r < std::min(rows, (b + 1) * BandRows); ++r) {
            const int top = r * cellSize;
            const float y = plane.SampleY(top);
            for (float& v : ys)
                v = y;
            NeuronOutputs(network, neuron, xs.data(), ys.data(), columns, values.data());
            auto* line = reinterpret_cast<uint32_t*>(bits + stride * top);
            for (int c = 0; c < columns; ++c) {
                const uint32_t color = NeuronOutputColor(values[static_cast<size_t>(c)]);
                const int left = c * cellSize, right = std::min(left + cellSize, width);
                for (int px = left; px < right; ++px)
                    line[px] = color;
            }
            const int bottom = std::min(top + cellSize, height);
            for (int py = top + 1; py < bottom; ++py)
                std::memcpy(bits + stride * py, line,
                            sizeof(uint32_t) * static_cast<size_t>(width));
        }
    };
    ForEachRasterBand((rows + BandRows - 1) / BandRows, band);
}

QImage NeuronPicture(const NetworkCopy& network, int32_t neuron, int size, int cellSize) {
    QImage image(size, size, QImage::Format_ARGB32);
    DrawNeuronRaster(network, neuron, cellSize, image);
    return image;
}

namespace {

// The first index in [0, n) at which the predicate, false then true along the index (or true
// then false), has changed from its value at 0; n when it never changes.
template <typename Predicate>
int FirstChange(int n, Predicate value) {
    const bool first = value(0);
    int lo = 0, hi = n;  // value(lo) == first; the change, if any, lies in (lo, hi]
    if (n == 0 || value(n - 1) == first)
        return n;
    hi = n - 1;
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        (value(mid) == first ? lo : hi) = mid;
    }
    return hi;
}

}  // namespace

void DrawFirstLayerBoundaries(const NetworkCopy& network, uint32_t argb, QImage& image) {
    const int width = image.width(), height = image.height();
    if (width <= 1 || height <= 1 || network.layerCount < 2)
        return;
    const PlaneMapping plane{width, height};
    // The input neurons' outputs along the columns and rows, as the engine computes them.
    std::vector<float> fx(static_cast<size_t>(width)), fy(static_cast<size_t>(height));
    for (int px = 0; px < width; ++px)
        fx[static_cast<size_t>(px)] = Activation(plane.SampleX(px));
    for (int py = 0; py < height; ++py)
        fy[static_cast<size_t>(py)] = Activation(plane.SampleY(py));
    const LayerInfo& layer = network.layers[1];
    // The boundaries are found and marked in device pixels, one pixel wide; the labels are
    // placed in logical pixels.
    Canvas canvas(image);
    const double ratio = canvas.Ratio();
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int32_t i = layer.first; i <= layer.last; ++i) {
        // The incoming list runs from the highest source: y's weight first, then x's.
        const float* w = network.Incoming(i);
        const float bias = network.bias[static_cast<size_t>(i)];
        const auto positive = [&](int px, int py) {
            return std::fmaf(w[1], fx[static_cast<size_t>(px)],
                             std::fmaf(w[0], fy[static_cast<size_t>(py)], bias)) >= 0;
        };
        // The net input is monotonic along a row and along a column (fx and fy are, and so
        // is a correctly rounded fma), so each row and column changes sign at most once: the
        // boundary pixels are those left of a change along a row and above one along a column.
        int labelX = -1, labelY = -1;
        double nearest = std::numeric_limits<double>::max();
        const auto mark = [&](int px, int py) {
            reinterpret_cast<uint32_t*>(bits + stride * py)[px] = argb;
            const double dx = px - width / 2.0, dy = py - height / 2.0;
            if (dx * dx + dy * dy < nearest) {
                nearest = dx * dx + dy * dy;
                labelX = px;
                labelY = py;
            }
        };
        for (int py = 0; py < height; ++py) {
            const int change = FirstChange(width, [&](int px) { return positive(px, py); });
            if (change < width)
                mark(change - 1, py);
        }
        for (int px = 0; px < width; ++px) {
            const int change = FirstChange(height, [&](int py) { return positive(px, py); });
            if (change < height)
                mark(px, change - 1);
        }
        if (labelX >= 0) {
            const std::string label = std::to_string(i - layer.first + 1);
            const int x = static_cast<int>(labelX / ratio), y = static_cast<int>(labelY / ratio);
            canvas.TextOut(x + 3, y - 13, label, true, argb);
        }
    }
}

}  // namespace kestro
