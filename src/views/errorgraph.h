// The error graph: up to four error histories as min/max bands on black, against the epochs.
#pragma once

#include <QImage>
#include <cstdint>

#include "core/units/glowny/history.h"
#include "views/canvas.h"

namespace kestro {

// The swatch colours of the four series, 24-bit canvas colours with red in the low byte.
constexpr uint32_t MeanSquaredErrorColor = 0x008000;     // green (0,128,0)
constexpr uint32_t VerifyErrorColor = 0x000080;          // maroon (128,0,0)
constexpr uint32_t ClassificationErrorColor = 0x0000FF;  // red (255,0,0)
constexpr uint32_t NiColor = 0x00FFFF;                   // yellow (255,255,0)

// One series of the graph: its history, its colour and whether its check box is checked.
struct GraphSeries {
    const ErrorHistory* history = nullptr;
    uint32_t color = 0;
    bool visible = false;
};

// The four series in drawing order, each over the ones before it.
struct ErrorGraphInput {
    GraphSeries meanSquaredError{nullptr, MeanSquaredErrorColor, true};
    GraphSeries verifyError{nullptr, VerifyErrorColor, true};
    GraphSeries classificationError{nullptr, ClassificationErrorColor, true};
    GraphSeries ni{nullptr, NiColor, false};
    // A picked checkpoint: a vertical line at the column of this many values of history (the
    // classification error's), none for -1.
    int64_t markerCount = -1;
};

// The colour of the picked checkpoint's line, opaque ARGB.
constexpr uint32_t GraphMarkerColor = 0xFFE0E0E0;

// The row of value v on a strip h pixels high: h - 1 - Round(h v), half to even (0 on the bottom
// row, 1 just above the top). Far-off values (and NaN, as a huge error) are held at +-2^26 rows.
int GraphRow(float value, int height);

// The span label: the decimal max(count, 1000), top-right with a 2-pixel margin, regular.
TextPlacement GraphLabelLayout(int64_t count, int width);

// The number of values whose last one column x of a graph width pixels wide shows, so that a
// click there picks the checkpoint that had appended them; -1 right of the drawn part.
int64_t GraphCountAt(const ErrorHistory& history, int width, int x);

// The column that shows the value number count (from 1) of the history: where its marker goes.
int GraphColumnOf(const ErrorHistory& history, int width, int64_t count);

// Full redraw: black, then the visible series in the order mean squared error, verify error,
// classification error, ni, then the marker. The layout is in logical pixels at any pixel ratio of
// the image.
void DrawErrorGraph(const ErrorGraphInput& input, QImage& image);

// Draws one history in a colour (24-bit, red in the low byte): the label, then for up to 1000
// samples a time axis of 1000 epochs (the slot of the newest sample is left out), beyond that
// the whole history compressed to the width, each column spanning the range of its slots.
void DrawHistorySeries(const ErrorHistory& history, uint32_t color, QImage& image);

}  // namespace kestro
