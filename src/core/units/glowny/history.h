// Error histories: fixed series of 2000 min/max slots whose resolution halves when full, so that
// a series always covers the whole time since its last reset.
#pragma once

#include <cstdint>

namespace kestro {

constexpr int HistorySlots = 2000;

// The smallest and the largest value that fell into one slot.
struct HistorySlot {
    float min = 0;
    float max = 0;
};

// Slot k summarises values k * step to (k + 1) * step - 1 (numbered from 0). step is a power of
// two; the used slots are 0 to (count - 1) / step, later slots hold stale values. count and step
// are 64-bit: a long continuous run appends about one value per epoch and must not overflow.
struct ErrorHistory {
    HistorySlot slot[HistorySlots];  // "slots" is a Qt keyword
    int64_t count = 0;
    int64_t step = 1;
};

// The four series the training run records, in this order.
enum HistorySeries : int {
    NiSeries = 0,
    ErrorSeries = 1,
    MseSeries = 2,
    VerifySeries = 3,
    HistorySeriesCount = 4
};

// The four series of the main window; they always hold the same count and step.
struct ErrorHistories {
    ErrorHistory series[HistorySeriesCount];
};

// Empties one series: every slot, the count and the step become 0, then step = 1.
void ResetHistory(ErrorHistory& history);

// Empties all four series.
void ResetHistories(ErrorHistories& histories);

// Adds one value, halving the series first when it is full.
void AppendHistory(ErrorHistory& history, float value);

// AppendHistory of the value `copies` times, in time proportional to the slots it reaches
// rather than to copies (a checkpoint appends `step` copies, and the step may be large).
void AppendHistoryCopies(ErrorHistory& history, float value, int64_t copies);

// Forgets every value after the first count (a count beyond the series' own changes nothing).
// The step stays, so a slot cut in two keeps the range of its dropped values too.
void TruncateHistory(ErrorHistory& history, int64_t count);

// Gives a series the smaller step it had before later halvings: each slot is split into the
// slots it had merged, each holding the merged range. Requires a power of two from 1 to the
// series' step, with at most HistorySlots slots at it (assertions).
void RefineHistory(ErrorHistory& history, int64_t step);

// The number of used slots: (count + step - 1) / step.
int32_t UsedSlots(const ErrorHistory& history);

}  // namespace kestro
