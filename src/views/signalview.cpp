#include "views/signalview.h"

#include <immintrin.h>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
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

// Worker threads that take bands of a raster together with the calling thread. The caller works
// too and waits only for bands a worker has already begun, so a raster never takes much longer
// than on one thread, even when the workers get no processor.
class RasterPool {
  public:
    explicit RasterPool(int workers) {
        for (int k = 0; k < workers; ++k)
            threads_.emplace_back([this] { WorkerLoop(); });
    }
    ~RasterPool() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }
    RasterPool(const RasterPool&) = delete;
    RasterPool& operator=(const RasterPool&) = delete;

    // job(band) for every band from 0 to bands - 1; returns when all are done.
    void Run(int bands, const std::function<void(int)>& job) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            job_ = &job;
            bands_ = bands;
            next_ = 0;
            done_ = 0;
            ++generation_;
        }
        if (!threads_.empty())
            wake_.notify_all();
        Work();
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [this] { return done_ == bands_; });
        job_ = nullptr;
        // a failure in any band (an assertion) reaches the caller
        if (error_) {
            std::exception_ptr error = error_;
            error_ = nullptr;
            std::rethrow_exception(error);
        }
    }

  private:
    // Takes bands until none is left.
    void Work() {
        for (;;) {
            const std::function<void(int)>* job;
            int band;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                if (job_ == nullptr || next_ >= bands_)
                    return;
                band = next_++;
                job = job_;
            }
            std::exception_ptr error;
            try {
                (*job)(band);
            } catch (...) {
                error = std::current_exception();
            }
            const std::lock_guard<std::mutex> lock(mutex_);
            if (error && !error_)
                error_ = error;
            if (++done_ == bands_)
                finished_.notify_all();
        }
    }

    void WorkerLoop() {
        uint64_t seen = 0;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
                if (stop_)
                    return;
                seen = generation_;
            }
            Work();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, finished_;
    std::vector<std::thread> threads_;
    const std::function<void(int)>* job_ = nullptr;
    int bands_ = 0, next_ = 0, done_ = 0;
    uint64_t generation_ = 0;
    bool stop_ = false;
    std::exception_ptr error_;
};

int rasterThreads = 0;  // 0: not chosen yet
std::unique_ptr<RasterPool> rasterPool;

int MachineThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min(n, 16u));
}

RasterPool& Pool() {
    if (rasterThreads == 0)
        rasterThreads = MachineThreads();
    if (!rasterPool)
        rasterPool = std::make_unique<RasterPool>(rasterThreads - 1);
    return *rasterPool;
}

#define KESTRO_TARGET_AVX2 __attribute__((target("avx2")))

// RasterShade on four lanes: (o + 0.5) / 1.5 in double, rounded to float.
KESTRO_TARGET_AVX2 inline __m128 Shade4(__m128 o) {
    return _mm256_cvtpd_ps(
        _mm256_div_pd(_mm256_add_pd(_mm256_cvtps_pd(o), _mm256_set1_pd(0.5)), _mm256_set1_pd(1.5)));
}

// round(c f) half to even on four lanes, as integers.
KESTRO_TARGET_AVX2 inline __m128i Channel4(double c, __m128 f) {
    const __m256d round = _mm256_set1_pd(4503599627370496.0);
    return _mm256_cvttpd_epi32(_mm256_sub_pd(
        _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(c), _mm256_cvtps_pd(f)), round), round));
}

// round(c f) on eight lanes, in all three colour channels.
KESTRO_TARGET_AVX2 inline __m256i Channel8(double c, __m256 f) {
    const __m256i v = _mm256_set_m128i(Channel4(c, _mm256_extractf128_ps(f, 1)),
                                       Channel4(c, _mm256_castps256_ps128(f)));
    return _mm256_or_si256(_mm256_or_si256(v, _mm256_slli_epi32(v, 8)), _mm256_slli_epi32(v, 16));
}

// The channels of a raster colour that hold 255 (full) or 127 (not full).
constexpr uint32_t ChannelMask(uint32_t color, bool full) {
    uint32_t mask = 0;
    for (int shift = 0; shift < 24; shift += 8)
        if (((color >> shift) & 0xFFu) == (full ? 0xFFu : 0x7Fu))
            mask |= 0xFFu << shift;
    return mask;
}

// ChannelMask of the raster colour of each lane's index.
KESTRO_TARGET_AVX2 inline __m256i ColorMask8(__m256i index, bool full) {
    alignas(32) uint32_t table[8];
    for (int i = 0; i < 8; ++i)
        table[i] = ChannelMask(RasterColors[i], full);
    static_assert(ViewColorCount == 9);
    return _mm256_blendv_epi8(
        _mm256_permutevar8x32_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(table)),
                                    index),
        _mm256_set1_epi32(static_cast<int>(ChannelMask(RasterColors[8], full))),
        _mm256_cmpeq_epi32(index, _mm256_set1_epi32(8)));
}

// out[k] = ShadeRasterColor(index[k], RasterShade(maxOutput[k])) for k < count, eight at a time:
// the same operations on every lane (the shading factor's clamp as a maximum with 0, which also
// takes NaN to 0, and a minimum with 1).
KESTRO_TARGET_AVX2 void ShadeCellsAvx2(const int32_t* index, const float* maxOutput, int count,
                                       uint32_t* out) {
    int k = 0;
    for (; k + 8 <= count; k += 8) {
        const __m256 o = _mm256_loadu_ps(maxOutput + k);
        __m256 t =
            _mm256_set_m128(Shade4(_mm256_extractf128_ps(o, 1)), Shade4(_mm256_castps256_ps128(o)));
        t = _mm256_min_ps(_mm256_max_ps(t, _mm256_setzero_ps()), _mm256_set1_ps(1.0f));
        const __m256i i = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(index + k));
        const __m256i color = _mm256_or_si256(
            _mm256_set1_epi32(static_cast<int>(0xFF000000u)),
            _mm256_or_si256(_mm256_and_si256(ColorMask8(i, true), Channel8(255.0, t)),
                            _mm256_and_si256(ColorMask8(i, false), Channel8(127.0, t))));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), color);
    }
    for (; k < count; ++k)
        out[k] = ShadeRasterColor(index[k], RasterShade(maxOutput[k]));
}

const bool cpuHasAvx2 = __builtin_cpu_supports("avx2");

// Every pixel of the cells of cell rows r0 to r1 - 1 but their top-left ones: copies of those.
void CopyCells(uchar* bits, qsizetype stride, int width, int height, int cell, int columns, int r0,
               int r1) {
    for (int r = r0; r < r1; ++r) {
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

// The raster through the engine's grid evaluation, bands of cell rows on the raster threads.
void DrawRasterOnThreads(bool areas, int cell, const std::vector<float>& columnX,
                         const std::vector<float>& rowY, QImage& image) {
    const int width = image.width(), height = image.height();
    const int columns = static_cast<int>(columnX.size()), rows = static_cast<int>(rowY.size());
    std::vector<float> columnActivations(columnX.size());
    ActivationMany(columnX.data(), columnActivations.data(), columns);
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    RasterPool& pool = Pool();
    // Many small bands per thread, so that a thread that gets no processor in the middle of a
    // band leaves little for the caller to wait for.
    const int bandRows = MaxInt(1, MinInt(16, rows / (32 * rasterThreads)));
    const int bands = (rows + bandRows - 1) / bandRows;
    const std::function<void(int)> band = [&](int b) {
        const int r0 = b * bandRows, r1 = MinInt(rows, r0 + bandRows);
        const size_t count = static_cast<size_t>(r1 - r0) * static_cast<size_t>(columns);
        thread_local std::vector<float> maxOutputs;
        thread_local std::vector<int32_t> winners, regionCodes;
        maxOutputs.resize(count);
        if (LayerCount() == 0)  // an empty network answers nothing: black
            std::fill(maxOutputs.begin(), maxOutputs.end(), -1.0f);
        winners.resize(count);
        regionCodes.resize(count);
        GridBatch grid;
        grid.x = columnX.data();
        grid.xActivations = columnActivations.data();
        grid.columns = columns;
        grid.y = rowY.data() + r0;
        grid.rows = r1 - r0;
        grid.winners = winners.data();
        grid.maxOutputs = maxOutputs.data();
        grid.regionCodes = areas ? regionCodes.data() : nullptr;
        EvaluateGrid(grid);
        // the colour indexes (in winners)
        int32_t* const indexes = winners.data();
        const int32_t* const codes = regionCodes.data();
        uint32_t largest = 0;
        for (size_t k = 0; k < count; ++k) {
            if (areas)
                indexes[k] = RegionColorIndex(codes[k]);
            largest = std::max(largest, static_cast<uint32_t>(indexes[k]));
        }
        KESTRO_ASSERT(largest < ViewColorCount);
        // pixel = BlendColor32(RasterColors[index], black, (o + 0.5) / 1.5)
        const float* const outputs = maxOutputs.data();
        for (int r = r0; r < r1; ++r) {
            auto* line = reinterpret_cast<uint32_t*>(bits + stride * r * cell);
            const size_t at = static_cast<size_t>(r - r0) * static_cast<size_t>(columns);
            if (cell == 1 && cpuHasAvx2) {
                ShadeCellsAvx2(indexes + at, outputs + at, columns, line);
                continue;
            }
            for (int c = 0; c < columns; ++c) {
                const size_t k = at + static_cast<size_t>(c);
                line[c * cell] = ShadeRasterColor(indexes[k], RasterShade(outputs[k]));
            }
        }
        if (cell > 1)
            CopyCells(bits, stride, width, height, cell, columns, r0, r1);
    };
    pool.Run(bands, band);
    // The network as the last cell's evaluation leaves it.
    float maxOutput = 0;
    Evaluate(columnX.back(), rowY.back(), maxOutput);
}

}  // namespace

void ForEachRasterBand(int bands, const std::function<void(int)>& job) {
    Pool().Run(bands, job);
}

int SetRasterThreads(int count) {
    const int wanted = count <= 0 ? MachineThreads() : MinInt(count, 16);
    if (wanted != rasterThreads) {
        rasterPool.reset();
        rasterThreads = wanted;
    }
    return rasterThreads;
}

int RegionColorIndex(int32_t regionCode) {
    return static_cast<int>(static_cast<uint32_t>(regionCode) % ViewColorCount);
}

void DrawRaster(RasterMode mode, int cellSize, RasterEvaluator evaluate, QImage& image) {
    const int width = image.width(), height = image.height();
    if (mode == RasterMode::None || width <= 0 || height <= 0)
        return;
    KESTRO_ASSERT(image.format() == QImage::Format_ARGB32);
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
    if (evaluate == nullptr) {
        DrawRasterOnThreads(areas, cell, columnX, rowY, image);
        return;
    }

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

    // Every other pixel copies the top-left pixel of its cell.
    if (cell > 1)
        CopyCells(bits, stride, width, height, cell, columns, 0, rows);
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
        if (input.hidden != nullptr && input.hidden[i] != 0)
            continue;
        const SamplePoint& p = set.points[i];
        KESTRO_ASSERT(p.classIndex >= 0 && p.classIndex < ViewColorCount);
        uint32_t fill = PointColors[p.classIndex];
        const bool wrong =
            input.answeredWrong != nullptr ? input.answeredWrong[i] != 0 : !p.correct;
        uint32_t pen = input.presentationCount <= 0 || !wrong ? Black : White;
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
    // The boundaries under the axes and points, their labels over them.
    std::vector<PlacedLabel> boundaryLabels;
    if (input.firstLayerLines && input.network != nullptr &&
        (input.raster == RasterMode::Answer || input.raster == RasterMode::Areas))
        boundaryLabels = DrawFirstLayerLines(*input.network, BoundaryColor, image);

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
    DrawBoundaryLabels(boundaryLabels, BoundaryColor, image);

    if (input.showAxes)
        for (const TextPlacement& label : AxisLabelLayout(width, height))
            canvas.TextOut(label, LabelSilver);

    if (input.points != nullptr && input.ringedPoint >= 0 &&
        input.ringedPoint < input.points->count) {
        const SamplePoint& p = input.points->points[input.ringedPoint];
        const PlaneMapping plane{width, height};
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        // A dark band under the coloured ring keeps it visible on either class's colour.
        const QPointF centre(plane.PixelX(p.x) + 0.5, plane.PixelY(p.y) + 0.5);
        painter.setPen(QPen(QColor::fromRgba(OpaqueBlack), 4.0));
        painter.drawEllipse(centre, 7.0, 7.0);
        painter.setPen(QPen(QColor::fromRgba(StepRingColor), 2.0));
        painter.drawEllipse(centre, 7.0, 7.0);
    }
    return highlight;
}

}  // namespace kestro
