// What the benchmarks share: the structures they time, a training host without a window and the
// start-up state with a full point set.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/training.h"
#include "core/units/random.h"

namespace kestro::bench {

inline const char* const Structures[] = {"2:10:2", "2:100:2", "2:5:5:5:2"};

using NoWindow = NoWindowHost;

// The window's start-up state (seed 1) with 2000 points and the given structure; null when the
// start-up fails.
inline std::unique_ptr<KestroState> FullState(std::string_view structure) {
    auto state = std::make_unique<KestroState>();
    NoWindow host;
    SetRandomSeed(1);
    state->generateOptions.amount = MaxPoints;
    if (!StartUp(*state, host))
        return nullptr;
    ChangeStructure(*state, FindStructure(structure));
    return state;
}

}  // namespace kestro::bench
