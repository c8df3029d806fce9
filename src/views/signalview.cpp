#include "views/signalview.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/units/errors.h"
#include "core/units/uu.h"
#include "views/blend.h"
#include "views/neuronview.h"
#include "views/stipple.h"

namespace kestro {

namespace {

// The first layer's boundaries: white, to stand out on every raster colour.
constexpr uint32_t BoundaryColor = 0xFFFFFFFF;

// Points evaluated per call of the evaluator: large enough to amortise the call, small enough
// for the buffers to stay in the cache.
constexpr int RasterChunk = 4096;

}  // namespace

int RegionColorIndex(int32_t regionCode) {
    return static_cast<int>(static_cast<uint32_t>(regionCode) % ViewColorCount);
}

void DrawRaster(RasterMode mode, int cellSize, RasterEvaluator evaluate, QImage& image) {
    const int width = image.width(), height = image.height();
    if (mode == RasterMode::None || width <= 0 || height <= 0)
        return;
    KESTRO_ASSERT(image.format() == QImage::Format_ARGB32);
    KESTRO_ASSERT(evaluate != nullptr);
    KESTRO_ASSERT(cellSize >= 1);
    const bool areas = mode == RasterMode::Areas;
    // Cells larger than the view are one cell.
    const int cell = MinInt(cellSize, MaxInt(width, height));
    const PlaneMapping plane{width, height};
    const int columns = (width + cell - 1) / cell, rows = (height + cell - 1) / cell;

    std::vector<float> columnX(static_cast<size_t>(columns)), rowY(static_cast<size_t>(rows));
    for (int c = 0; c < columns; ++c)
        columnX[static_cast<size_t>(c)] = plane.SampleX(c * cell);
    for (int r = 0; r < rows; ++r)
        rowY[static_cast<size_t>(r)] = plane.SampleY(r * cell);

    // The cells are evaluated column after column, top to bottom in each, so the network ends
    // in the state of the last cell. Each colour goes into the cell's top-left pixel.
    std::vector<float> xs(RasterChunk), ys(RasterChunk), maxOutputs(RasterChunk);
    std::vector<int32_t> winners(RasterChunk), regionCodes(RasterChunk);
    PointBatch batch;
    batch.x = xs.data();
    batch.y = ys.data();
    batch.winners = winners.data();
    batch.maxOutputs = maxOutputs.data();
    batch.regionCodes = areas ? regionCodes.data() : nullptr;
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    int nextColumn = 0, nextRow = 0;
    const int64_t total = static_cast<int64_t>(columns) * rows;
    for (int64_t done = 0; done < total;) {
        const int count = static_cast<int>(MinInt64(RasterChunk, total - done));
        const int firstColumn = nextColumn, firstRow = nextRow;
        for (int k = 0; k < count; ++k) {
            const auto at = static_cast<size_t>(k);
            xs[at] = columnX[static_cast<size_t>(nextColumn)];
            ys[at] = rowY[static_cast<size_t>(nextRow)];
            // An empty network answers nothing: its cells stay black.
            maxOutputs[at] = -1.0f;
            if (++nextRow == rows) {
                nextRow = 0;
                ++nextColumn;
            }
        }
        batch.count = count;
        evaluate(batch);
        // The same walk again, now writing each cell's colour.
        int column = firstColumn, row = firstRow;
        for (int k = 0; k < count; ++k) {
            const auto at = static_cast<size_t>(k);
            const int index = areas ? RegionColorIndex(regionCodes[at]) : winners[at];
            KESTRO_ASSERT(index >= 0 && index < ViewColorCount);
            // pixel = BlendColor32(RasterColors[index], black, (o + 0.5) / 1.5)
            const uint32_t color = ShadeColor(RasterColors[index], RasterShade(maxOutputs[at]));
            reinterpret_cast<uint32_t*>(bits + stride * row * cell)[column * cell] = color;
            if (++row == rows) {
                row = 0;
                ++column;
            }
        }
        done += count;
    }

    if (cell == 1)
        return;
    // Every other pixel copies the top-left pixel of its cell.
    for (int r = 0; r < rows; ++r) {
        const int top = r * cell;
        auto* line = reinterpret_cast<uint32_t*>(bits + stride * top);
        for (int c = 0; c < columns; ++c) {
            const int left = c * cell, right = MinInt(left + cell, width);
            for (int px = left + 1; px < right; ++px)
                line[px] = line[left];
        }
        const int bottom = MinInt(top + cell, height);
        for (int py = top + 1; py < bottom; ++py)
            std::memcpy(bits + stride * py, line, sizeof(uint32_t) * static_cast<size_t>(width));
    }
}

std::array<TextPlacement, 2> AxisLabelLayout(int width, int height) {
    const std::string right = "1,0", top = "0,1";
    return {TextPlacement{right, width - TextWidth(right, true) - 2, height / 2, true},
            TextPlacement{top, width / 2 + 2, 0, true}};
}

bool DrawSamplePoints(const SignalViewInput& input, bool cursorCheck, QImage& image) {
    // Points, like the cursor, are placed in logical pixels.
    const QSize logical = LogicalSize(image);
    const int width = logical.width(), height = logical.height();
    if (width <= 0 || height <= 0)
        return false;
    KESTRO_ASSERT(input.points != nullptr);
    const PointSet& set = *input.points;
    KESTRO_ASSERT(set.count >= 0 && set.count <= MaxPoints);

    const PlaneMapping plane{width, height};
    PlanePoint brush;
    bool highlight = false;
    if (cursorCheck && input.cursor) {
        brush = plane.ToPlane(input.cursor->x(), input.cursor->y());
        highlight = InRange(brush.x, -1, 1) && InRange(brush.y, -1, 1);
    }

    constexpr uint32_t Black = 0x000000, White = 0xFFFFFF, Red = 0x0000FF;
    Canvas canvas(image);
    for (int i = 0; i < set.count; ++i) {
        const SamplePoint& p = set.points[i];
        KESTRO_ASSERT(p.classIndex >= 0 && p.classIndex < ViewColorCount);
        uint32_t fill = PointColors[p.classIndex];
        uint32_t pen = input.presentationCount <= 0 || p.correct ? Black : White;
        // The same distance test by which a click in delete mode removes a point.
        if (highlight && Distance(p.x, p.y, brush.x, brush.y) <= input.brushRadius) {
            fill = BlendColor(Red, fill, 0.4f);
            pen = BlendColor(Red, pen, 0.6f);
        }
        const int px = plane.PixelX(p.x), py = plane.PixelY(p.y);
        canvas.Ellipse(px - 2, py - 2, px + 3, py + 3, ArgbFromCanvasColor(pen),
                       ArgbFromCanvasColor(fill));
    }
    return highlight;
}

int DeviceCellSize(int cellSize, double ratio) {
    if (cellSize <= 1 || ratio == 1.0)
        return cellSize;
    return MaxInt(1, static_cast<int>(std::lround(cellSize * ratio)));
}

bool DrawSignalView(const SignalViewInput& input, QImage& image) {
    const QSize logical = LogicalSize(image);
    const int width = logical.width(), height = logical.height();
    if (width <= 0 || height <= 0)
        return false;
    Canvas canvas(image);
    // The rasters work in the image's own pixels.
    const int cell = DeviceCellSize(input.cellSize, image.devicePixelRatio());
    // A raster sets every pixel, so the black background is needed only without one.
    if (input.raster == RasterMode::None)
        canvas.FillRect(0, 0, width, height, OpaqueBlack);
    else if (input.raster == RasterMode::Neuron) {
        KESTRO_ASSERT(input.network != nullptr);
        DrawNeuronRaster(*input.network, input.neuron, cell, image);
    } else
        DrawRaster(input.raster, cell, input.evaluate, image);
    if (input.firstLayerLines && input.network != nullptr &&
        (input.raster == RasterMode::Answer || input.raster == RasterMode::Areas))
        DrawFirstLayerBoundaries(*input.network, BoundaryColor, image);

    if (input.showAxes) {
        StipplePattern pattern;
        pattern.colors[0] = AxisGrey;
        pattern.colors[1] = 0x00000000;
        pattern.colors[2] = AxisGrey;
        pattern.count = 3;
        double position = 0;
        StippledLine(image, 0, height / 2, width, height / 2, pattern, 0.5, position);
        position = 0;
        StippledLine(image, width / 2, 0, width / 2, height, pattern, 0.5, position);
    }

    bool highlight = false;
    if (input.showPoints)
        highlight = DrawSamplePoints(input, input.selectedClass == 0, image);

    if (input.showAxes)
        for (const TextPlacement& label : AxisLabelLayout(width, height))
            canvas.TextOut(label, LabelSilver);
    return highlight;
}

}  // namespace kestro
