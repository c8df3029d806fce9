#include "views/errorgraph.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/units/errors.h"

namespace kestro {

namespace {

// The fixed time axis spans this many epochs while the history holds no more samples.
constexpr int FixedAxisEpochs = 1000;

}  // namespace

int GraphRow(float value, int height) {
    constexpr double Limit = 67108864.0;  // 2^26 rows: line walks stay cheap and in range
    double scaled = static_cast<double>(height) * value;
    if (!(scaled < Limit))
        scaled = Limit;
    else if (scaled < -Limit)
        scaled = -Limit;
    return height - 1 - static_cast<int>(std::nearbyint(scaled));
}

TextPlacement GraphLabelLayout(int64_t count, int width) {
    const std::string text = std::to_string(count > FixedAxisEpochs ? count : FixedAxisEpochs);
    return {text, width - TextWidth(text, false) - 2, 2, false};
}

void DrawHistorySeries(const ErrorHistory& history, uint32_t color, QImage& image) {
    const QSize logical = LogicalSize(image);
    const int width = logical.width(), height = logical.height();
    const int64_t n = history.count, s = history.step;
    if (n < 1 || width < 2 || height < 2)
        return;
    KESTRO_ASSERT(s >= 1);
    const auto last = static_cast<int32_t>((n - 1) / s);
    KESTRO_ASSERT((n - 1) / s < HistorySlots);

    Canvas canvas(image);
    canvas.TextOut(GraphLabelLayout(n, width), LabelSilver);
    canvas.SetPen(ArgbFromCanvasColor(color));

    // A column: at x = 0 the pen moves to the top; further right it draws to the top and then
    // down to the bottom, each line without its end pixel.
    auto column = [&](int x, float hi, float lo) {
        const int top = GraphRow(hi, height), bottom = GraphRow(lo, height);
        if (x >= 1) {
            canvas.LineTo(x, top);
            canvas.LineTo(x, bottom);
        } else {
            canvas.MoveTo(x, top);
        }
    };

    if (n <= FixedAxisEpochs) {
        // x = (i s W) div 1000 for the slots i = 0 .. last - 1
        for (int32_t i = 0; i < last; ++i) {
            const int x = static_cast<int>(i * s * width / FixedAxisEpochs);
            column(x, history.slot[i].max, history.slot[i].min);
        }
        return;
    }
    // Column x spans the slots f .. e with e = (x last) div W, f the first slot not yet shown
    // (or e itself when there are fewer slots than columns).
    int32_t first = 0;
    for (int x = 0; x < width; ++x) {
        const auto end = static_cast<int32_t>(static_cast<int64_t>(x) * last / width);
        if (first > end)
            first = end;
        float lo = 1.0f, hi = 0.0f;
        for (int32_t j = first; j <= end; ++j) {
            if (history.slot[j].min < lo)
                lo = history.slot[j].min;
            if (history.slot[j].max > hi)
                hi = history.slot[j].max;
        }
        first = end + 1;
        column(x, hi, lo);
    }
}

int64_t GraphCountAt(const ErrorHistory& history, int width, int x) {
    const int64_t n = history.count, s = history.step;
    if (n < 1 || width < 2 || x < 0)
        return -1;
    const int64_t last = (n - 1) / s;
    if (n <= FixedAxisEpochs) {
        // Slot i is drawn at (i s W) div 1000 for i < last: the slot of the column, as drawn.
        // the largest i with (i s W) div 1000 <= x
        const int64_t i = ((static_cast<int64_t>(x) + 1) * FixedAxisEpochs - 1) / (s * width);
        if (i >= last)
            return -1;
        return std::min((i + 1) * s, n);
    }
    if (x >= width)
        return -1;
    const int64_t end = static_cast<int64_t>(x) * last / width;
    return std::min((end + 1) * s, n);
}

int GraphColumnOf(const ErrorHistory& history, int width, int64_t count) {
    const int64_t n = history.count, s = history.step;
    if (n < 1 || width < 2 || count < 1)
        return 0;
    const int64_t slot = (std::min(count, n) - 1) / s;
    if (n <= FixedAxisEpochs)
        return static_cast<int>(slot * s * width / FixedAxisEpochs);
    // The first column whose slots reach the slot.
    const int64_t last = (n - 1) / s;
    if (last == 0)
        return 0;
    return static_cast<int>(std::min<int64_t>((slot * width + last - 1) / last, width - 1));
}

void DrawErrorGraph(const ErrorGraphInput& input, QImage& image) {
    if (image.isNull())
        return;
    Canvas canvas(image);
    canvas.FillRect(0, 0, canvas.Width(), canvas.Height(), OpaqueBlack);
    for (const GraphSeries* series :
         {&input.meanSquaredError, &input.verifyError, &input.classificationError, &input.ni})
        if (series->visible) {
            KESTRO_ASSERT(series->history != nullptr);
            DrawHistorySeries(*series->history, series->color, image);
        }
    const GraphSeries& error = input.classificationError;
    if (input.markerCount >= 1 && error.history != nullptr) {
        const int x = GraphColumnOf(*error.history, canvas.Width(), input.markerCount);
        for (int y = 0; y < canvas.Height(); y += 2)
            canvas.FillRect(x, y, x + 1, y + 1, GraphMarkerColor);
    }
}

}  // namespace kestro
