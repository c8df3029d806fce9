// What the benchmarks share: the structures they time and a training host without a window.
#pragma once

#include <cstdint>

#include "core/units/glowny/training.h"

namespace kestro::bench {

inline const char* const Structures[] = {"2:10:2", "2:100:2", "2:5:5:5:2"};

// No window: nothing is drawn, no events arrive, the clock stands still.
class NoWindow : public TrainingHost {
  public:
    int64_t NowMs() override { return 0; }
    void DispatchEvents() override {}
    void DrawSignalView(RasterMode, int32_t, bool) override {}
    void RefreshStatus(int64_t, int64_t) override {}
};

}  // namespace kestro::bench
