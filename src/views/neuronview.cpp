#include "views/neuronview.h"

#include <QFontMetrics>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/units/errors.h"
#include "core/units/glowny/plane.h"
#include "views/canvas.h"
#include "views/signalview.h"

namespace kestro {

int32_t PlusClassOf(int32_t layer, int32_t layerCount, int32_t index) {
    return layer > 0 && layer == layerCount - 1 ? index : 0;
}

int32_t NeuronPlusClass(const NetworkCopy& network, int32_t neuron) {
    const int32_t layer = CopyLayerOf(network, neuron);
    return PlusClassOf(layer, network.layerCount, neuron - network.layers[layer].first);
}

uint32_t NeuronOutputColor(float v, int32_t plusClass) {
    KESTRO_ASSERT(plusClass >= 0);
    // the raster's colours of the classes, as its answer mode paints them
    const int plus = plusClass % ViewColorCount;
    if (v > 0)
        return ShadeColor(RasterColors[plus], v);
    if (v < 0)
        return ShadeColor(RasterColors[plus == 0 ? 1 : 0], -v);
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
    const int32_t plusClass = NeuronPlusClass(network, neuron);
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
                const uint32_t color = NeuronOutputColor(values[static_cast<size_t>(c)], plusClass);
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

// The places of a box beside an anchor, in order of preference: up-right, down-right, up-left,
// down-left, two columns and one row clear of the anchor.
std::array<QRect, 4> BoxesBeside(QPoint anchor, QSize size) {
    const int right = anchor.x() + 3, left = anchor.x() - 2 - size.width();
    const int down = anchor.y() + 2, up = anchor.y() - 1 - size.height();
    return {QRect(QPoint(right, up), size), QRect(QPoint(right, down), size),
            QRect(QPoint(left, up), size), QRect(QPoint(left, down), size)};
}

}  // namespace

std::vector<QRect> PlaceBoundaryLabels(const std::vector<BoundaryLabel>& labels, QSize area,
                                       const std::function<bool(const QRect&)>& blocked) {
    constexpr size_t MaxTries = 256;
    const QRect inside(QPoint(0, 0), area);
    std::vector<QRect> boxes;
    boxes.reserve(labels.size());
    // Whether two boxes overlap or touch (inline: this runs for every candidate and box).
    const auto near = [](const QRect& a, const QRect& b) {
        return a.left() <= b.right() + 1 && b.left() <= a.right() + 1 &&
               a.top() <= b.bottom() + 1 && b.top() <= a.bottom() + 1;
    };
    for (const BoundaryLabel& label : labels) {
        const auto clearOfBoxes = [&](const QRect& box) {
            return std::none_of(boxes.begin(), boxes.end(),
                                [&](const QRect& earlier) { return near(earlier, box); });
        };
        const size_t count = label.anchors.size();
        const size_t step = std::max<size_t>(1, (count + MaxTries - 1) / MaxTries);
        std::optional<QRect> best, apart;
        for (size_t k = 0; k < count && !best; k += step)
            for (const QRect& box : BoxesBeside(label.anchors[k], label.size)) {
                if (!inside.contains(box))
                    continue;
                // the cheap test of the boundaries first; the boxes only where they decide
                const bool free = !blocked(box.adjusted(-1, -1, 1, 1));
                if ((!free && apart) || !clearOfBoxes(box))
                    continue;
                if (free) {
                    best = box;
                    break;
                }
                apart = box;
            }
        QRect box;
        if (best)
            box = *best;
        else if (apart)
            box = *apart;
        else if (count > 0) {
            box = BoxesBeside(label.anchors.front(), label.size)[0];
            box.moveTo(std::clamp(box.left(), 0, std::max(0, area.width() - box.width())),
                       std::clamp(box.top(), 0, std::max(0, area.height() - box.height())));
        }
        boxes.push_back(box);
    }
    return boxes;
}

std::vector<PlacedLabel> DrawFirstLayerLines(const NetworkCopy& network, uint32_t argb,
                                             QImage& image) {
    const int width = image.width(), height = image.height();
    if (width <= 1 || height <= 1 || network.layerCount < 2)
        return {};
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
    const int logicalWidth = canvas.Width(), logicalHeight = canvas.Height();
    if (logicalWidth <= 0 || logicalHeight <= 0)
        return {};
    // The logical column of each device column and row of each device row.
    std::vector<int> logicalX(static_cast<size_t>(width)), logicalY(static_cast<size_t>(height));
    for (int px = 0; px < width; ++px)
        logicalX[static_cast<size_t>(px)] =
            std::min(static_cast<int>(px / ratio), logicalWidth - 1);
    for (int py = 0; py < height; ++py)
        logicalY[static_cast<size_t>(py)] =
            std::min(static_cast<int>(py / ratio), logicalHeight - 1);
    const auto logical = [&](int px, int py) {
        return QPoint(logicalX[static_cast<size_t>(px)], logicalY[static_cast<size_t>(py)]);
    };
    // The logical pixels that hold a boundary: bit x % 64 of covered[y words + x / 64].
    const size_t words = (static_cast<size_t>(logicalWidth) + 63) / 64;
    std::vector<uint64_t> covered(words * static_cast<size_t>(logicalHeight));
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const QFontMetrics metrics(ViewFont(true));
    std::vector<BoundaryLabel> labels;
    std::vector<std::string> texts;
    // The boundary's pixels in the order found, and for each a key that sorts them by their
    // squared distance from the centre (in half pixels: below 2^43), then by that order (fewer
    // than width + height pixels: below 2^20).
    KESTRO_ASSERT(width + height < (1 << 20));
    constexpr uint64_t OrderMask = (1u << 20) - 1;
    std::vector<QPoint> marks;
    std::vector<uint64_t> keys;
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
        marks.clear();
        keys.clear();
        const auto mark = [&](int px, int py) {
            reinterpret_cast<uint32_t*>(bits + stride * py)[px] = argb;
            const int64_t dx = 2 * px - width, dy = 2 * py - height;
            keys.push_back(static_cast<uint64_t>(dx * dx + dy * dy) << 20 | marks.size());
            marks.emplace_back(px, py);
            const QPoint at = logical(px, py);
            covered[static_cast<size_t>(at.y()) * words + static_cast<size_t>(at.x()) / 64] |=
                uint64_t{1} << (at.x() % 64);
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
        if (marks.empty())
            continue;
        // The label's places along the boundary, nearest to the centre first (the first found
        // among equals): the nearest pixel and every step-th one found, a few hundred at most.
        constexpr size_t MaxAnchors = 256;
        const size_t step = std::max<size_t>(1, keys.size() / MaxAnchors);
        const uint64_t nearest = *std::min_element(keys.begin(), keys.end());
        size_t kept = 0;
        for (size_t k = 0; k < keys.size(); k += step)
            keys[kept++] = keys[k];
        keys.resize(kept);
        if ((nearest & OrderMask) % step != 0)
            keys.push_back(nearest);
        std::sort(keys.begin(), keys.end());
        BoundaryLabel label;
        label.anchors.reserve(keys.size());
        for (const uint64_t key : keys) {
            const QPoint& m = marks[key & OrderMask];
            label.anchors.push_back(logical(m.x(), m.y()));
        }
        std::string text = std::to_string(i - layer.first + 1);
        label.size = QSize(TextWidth(text, true) + 4, metrics.height());
        labels.push_back(std::move(label));
        texts.push_back(std::move(text));
    }
    if (labels.empty())
        return {};
    // Whether a box holds a boundary pixel: its bits of each of its rows in the image.
    const auto blocked = [&](const QRect& box) {
        const QRect part = box.intersected(QRect(0, 0, logicalWidth, logicalHeight));
        for (int y = part.top(); y <= part.bottom(); ++y)
            for (int word = part.left() / 64; word <= part.right() / 64; ++word) {
                // bits lo to hi of the word
                const int lo = std::max(part.left() - 64 * word, 0);
                const int hi = std::min(part.right() - 64 * word, 63);
                const uint64_t mask = (~uint64_t{0} << lo) & (~uint64_t{0} >> (63 - hi));
                if ((covered[static_cast<size_t>(y) * words + static_cast<size_t>(word)] & mask) !=
                    0)
                    return true;
            }
        return false;
    };
    const std::vector<QRect> boxes =
        PlaceBoundaryLabels(labels, QSize(logicalWidth, logicalHeight), blocked);
    std::vector<PlacedLabel> placed;
    for (size_t k = 0; k < boxes.size(); ++k)
        placed.push_back({boxes[k], std::move(texts[k])});
    return placed;
}

void DrawBoundaryLabels(const std::vector<PlacedLabel>& labels, uint32_t argb, QImage& image) {
    Canvas canvas(image);
    for (const PlacedLabel& label : labels) {
        const QRect& box = label.box;
        canvas.FillRect(box.left(), box.top(), box.right() + 1, box.bottom() + 1,
                        BoundaryLabelBoxColor);
        canvas.TextOut(box.left() + 2, box.top(), label.text, true, argb);
    }
}

void DrawFirstLayerBoundaries(const NetworkCopy& network, uint32_t argb, QImage& image) {
    DrawBoundaryLabels(DrawFirstLayerLines(network, argb, image), argb, image);
}

}  // namespace kestro
