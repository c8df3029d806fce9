#include "core/units/glowny/history.h"

#include <algorithm>

#include "core/units/errors.h"
#include "core/units/uu.h"

namespace kestro {

void ResetHistory(ErrorHistory& history) {
    for (HistorySlot& slot : history.slot)
        slot = HistorySlot{0, 0};
    history.count = 0;
    history.step = 1;
}

void ResetHistories(ErrorHistories& histories) {
    for (ErrorHistory& history : histories.series)
        ResetHistory(history);
}

namespace {

// Halves the resolution in place: new slot j summarises old slots 2j and 2j + 1. The walk goes
// upward, so no source slot is overwritten before it is read; slots 1000 to 1999 keep stale
// values, which readers ignore.
void Halve(ErrorHistory& h) {
    for (int i = 1; i < HistorySlots; ++i) {
        const int j = i / 2;
        if (i % 2 == 1) {
            h.slot[j].min = MinFloat(h.slot[i].min, h.slot[j].min);
            h.slot[j].max = MaxFloat(h.slot[i].max, h.slot[j].max);
        } else {
            h.slot[j] = h.slot[i];
        }
    }
    h.step *= 2;
}

}  // namespace

void AppendHistory(ErrorHistory& h, float value) {
    KESTRO_ASSERT(h.step >= 1);
    KESTRO_ASSERT(h.count >= 0);
    if (h.count / h.step >= HistorySlots)
        Halve(h);
    const int64_t c = h.count / h.step;
    KESTRO_ASSERT(c < HistorySlots);
    HistorySlot& slot = h.slot[c];
    if (h.count % h.step != 0) {
        slot.min = MinFloat(value, slot.min);
        slot.max = MaxFloat(value, slot.max);
    } else {
        slot.min = value;
        slot.max = value;
    }
    h.count += 1;
}

void AppendHistoryCopies(ErrorHistory& h, float value, int64_t copies) {
    KESTRO_ASSERT(copies >= 0);
    while (copies > 0) {
        AppendHistory(h, value);
        --copies;
        // The copies that fall into the same slot would merge the same value again, which
        // changes nothing but the count.
        const int64_t sameSlot = std::min(copies, (h.step - h.count % h.step) % h.step);
        h.count += sameSlot;
        copies -= sameSlot;
    }
}

void TruncateHistory(ErrorHistory& h, int64_t count) {
    KESTRO_ASSERT(count >= 0);
    if (count < h.count)
        h.count = count;
}

void RefineHistory(ErrorHistory& h, int64_t step) {
    KESTRO_ASSERT(step >= 1 && step <= h.step && (step & (step - 1)) == 0);
    const int64_t ratio = h.step / step;
    const int64_t used = (h.count + step - 1) / step;
    KESTRO_ASSERT(used <= HistorySlots);
    // Downward, so that every source slot (j / ratio <= j) is read before it is overwritten.
    for (int64_t j = used - 1; j >= 0; --j)
        h.slot[j] = h.slot[j / ratio];
    h.step = step;
}

int32_t UsedSlots(const ErrorHistory& h) {
    KESTRO_ASSERT(h.step >= 1);
    return static_cast<int32_t>((h.count + h.step - 1) / h.step);
}

}  // namespace kestro
