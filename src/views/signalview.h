// The signal view: the plane [-1, 1] x [-1, 1] with the network's answer or the areas of its
// first hidden layer, the dashed coordinate axes, and the points of the point set.
#pragma once

#include <QImage>
#include <QPoint>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/units/glowny/netcopy.h"
#include "core/units/glowny/points.h"
#include "core/units/glowny/viewmode.h"
#include "core/units/nnet.h"
#include "views/canvas.h"

namespace kestro {

constexpr int ViewColorCount = 9;

// Raster colours (ARGB) by class index or region code mod 9: yellow, blue, white, aqua, red,
// green, fuchsia, lime, maroon. Green and maroon use 127 here but 128 in PointColors.
constexpr uint32_t RasterColors[] = {0xFFFFFF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF00FFFF, 0xFFFF0000,
                                     0xFF007F00, 0xFFFF00FF, 0xFF00FF00, 0xFF7F0000};
static_assert(sizeof RasterColors / sizeof RasterColors[0] == ViewColorCount);

// Point disc fills by classIndex, 24-bit canvas colours with red in the low byte: yellow, blue,
// white, aqua, red, green (0,128,0), fuchsia, lime, maroon (128,0,0).
constexpr uint32_t PointColors[] = {0x00FFFF, 0xFF0000, 0xFFFFFF, 0xFFFF00, 0x0000FF,
                                    0x008000, 0xFF00FF, 0x00FF00, 0x000080};
static_assert(sizeof PointColors / sizeof PointColors[0] == ViewColorCount);

// The stipple pattern of the axes: opaque grey (127,127,127), transparent, opaque grey.
constexpr uint32_t AxisGrey = 0xFF7F7F7F;

// The shading factor of a winning output o: (o + 0.5) / 1.5, rounded to float.
inline float RasterShade(float maxOutput) {
    return static_cast<float>((static_cast<double>(maxOutput) + 0.5) / 1.5);
}

// BlendColor32(color, opaque black, t) for an opaque colour, bit for bit, but cheaper: the raster
// shades one colour per cell. Black adds nothing to a channel and alpha stays 255; c t is exact in
// double (8 by 24 bits), and adding and taking away 2^52 rounds it half to even in the default
// rounding mode, as nearbyint would, without a library call.
inline uint32_t ShadeColor(uint32_t color, float t) {
    const double f = !(t >= 0) ? 0.0 : t > 1 ? 1.0 : static_cast<double>(t);
    constexpr double Round = 4503599627370496.0;
    const auto channel = [f](uint32_t c) {
        return static_cast<uint32_t>((static_cast<double>(c) * f + Round) - Round);
    };
    return 0xFF000000u | channel((color >> 16) & 0xFFu) << 16 | channel((color >> 8) & 0xFFu) << 8 |
           channel(color & 0xFFu);
}
// ShadeColor(RasterColors[index], t), cheaper still: every channel of the raster colours is 0,
// 127 or 255, so a cell takes two products.
inline uint32_t ShadeRasterColor(int index, float t) {
    struct Masks {
        uint32_t full, half;
    };
    constexpr auto masks = [] {
        std::array<Masks, ViewColorCount> m{};
        for (int i = 0; i < ViewColorCount; ++i)
            for (int shift = 0; shift < 24; shift += 8) {
                const uint32_t c = (RasterColors[i] >> shift) & 0xFFu;
                (c == 0xFF ? m[i].full : m[i].half) |= c == 0 ? 0u : 0xFFu << shift;
            }
        return m;
    }();
    static_assert([] {
        for (const uint32_t color : RasterColors)
            for (int shift = 0; shift < 24; shift += 8)
                if (const uint32_t c = (color >> shift) & 0xFFu; c != 0 && c != 0x7F && c != 0xFF)
                    return false;
        return true;
    }());
    const double f = !(t >= 0) ? 0.0 : t > 1 ? 1.0 : static_cast<double>(t);
    constexpr double Round = 4503599627370496.0;
    const auto full = static_cast<uint32_t>((255.0 * f + Round) - Round);
    const auto half = static_cast<uint32_t>((127.0 * f + Round) - Round);
    const Masks& m = masks[static_cast<size_t>(index)];
    return 0xFF000000u | (m.full & full * 0x010101u) | (m.half & half * 0x010101u);
}
// The colour index of an areas-mode cell: the region code mod 9, the code read as unsigned
// 32 bits (codes of 32 or more hidden neurons may have the sign bit set).
int RegionColorIndex(int32_t regionCode);

// Evaluates many points: a test's evaluator that counts or compares. Without one the raster
// evaluates its grid through the engine's EvaluateGrid, split by rows over the raster threads.
using RasterEvaluator = void (*)(const PointBatch&);

// The threads a raster is split over, the calling thread included: count, or one per processor
// for 0 (at most 16). Returns the count now in use. Not while a raster is being drawn.
int SetRasterThreads(int count);

// job(band) for every band from 0 to bands - 1, on the raster threads (the caller's too);
// returns when all are done. The bands must not write to the same memory.
void ForEachRasterBand(int bands, const std::function<void(int)>& job);

// What the signal view shows.
struct SignalViewInput {
    const PointSet* points = nullptr;
    // What lies under the points, and the raster's cell size in pixels.
    RasterMode raster = RasterMode::None;
    int cellSize = 1;
    bool showPoints = true;
    // The check of "Coordinate Axis".
    bool showAxes = true;
    // The mouse cursor in the view's logical pixels (the widget's coordinates); empty when it
    // is not known to be over the view.
    std::optional<QPoint> cursor;
    float brushRadius = 0.2f;
    // 0 is delete mode, in which points under the brush are highlighted.
    int32_t selectedClass = -1;
    // Presentations since the last reset; rings stay black while it is 0 or less.
    int32_t presentationCount = 0;
    RasterEvaluator evaluate = nullptr;
    // The network's parameters, for the neuron view and the first layer's boundaries.
    const NetworkCopy* network = nullptr;
    // RasterMode::Neuron: the neuron whose output is shown.
    int32_t neuron = -1;
    // The boundaries of the first hidden layer's neurons over the answer and areas rasters.
    bool firstLayerLines = false;
    // Points left out: those i with hidden[i] != 0 (points.count entries); null shows all.
    const uint8_t* hidden = nullptr;
    // Whether each point is answered wrongly (points.count entries), for the rings of a network
    // other than the one that set the points' correct flags; null uses the flags.
    const uint8_t* answeredWrong = nullptr;
    // The point of the latest Step, ringed over everything; -1 for none.
    int32_t ringedPoint = -1;
};

// The colour of the ring around the latest Step's point (drawn over a black band).
constexpr uint32_t StepRingColor = 0xFFFFE000;

// The raster's cell in device pixels for a cell of cellSize logical pixels: a cell of 1 is one
// device pixel (the finest raster the image holds), a larger one the same logical area,
// round(cellSize r) pixels, so that the frames of a run cost as many evaluations at any ratio.
int DeviceCellSize(int cellSize, double ratio);

// Full redraw: black, the raster of cellSize x cellSize cells (one evaluation per cell at its
// top-left pixel), the first layer's lines, the axes, the points (highlighted in delete mode),
// the lines' labels, the axis labels and the ring of the latest Step.
// Returns whether points were drawn with the delete-brush highlight (the window then starts
// its timer that removes the highlight once the cursor has left). The layout is in logical
// pixels, the raster in cells of DeviceCellSize(cellSize, ratio) device pixels.
bool DrawSignalView(const SignalViewInput& input, QImage& image);

// Draws every point not hidden as a 5-pixel disc over the image; with cursorCheck and the cursor
// over the plane, the points within the brush radius are reddened. Returns whether it highlighted.
// Points and cursor are mapped with the logical size, as clicks are.
bool DrawSamplePoints(const SignalViewInput& input, bool cursorCheck, QImage& image);

// Only the raster of DrawSignalView: every pixel of the image from one evaluation per cell;
// nothing for RasterMode::None. The result is the same, bit for bit, whatever the evaluator and
// the number of threads; the network is left as the evaluation of the last cell (last column,
// last row) leaves it.
void DrawRaster(RasterMode mode, int cellSize, RasterEvaluator evaluate, QImage& image);

// The places of the axis labels "1,0" (right end of the horizontal axis, just below it) and
// "0,1" (top of the vertical axis, just right of it), bold.
std::array<TextPlacement, 2> AxisLabelLayout(int width, int height);

}  // namespace kestro
