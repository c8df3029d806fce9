#include "core/units/random.h"

#include <chrono>

#include "core/units/errors.h"

namespace kestro {

namespace {
uint32_t randSeed = 0;
}

void SetRandomSeed(uint32_t seed) {
    randSeed = seed;
}

uint32_t RandomSeed() {
    return randSeed;
}

void RandomizeFromClock() {
    const auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
    randSeed = static_cast<uint32_t>(ticks) ^ static_cast<uint32_t>(ticks >> 32);
}

int32_t RandomInt(int32_t n) {
    KESTRO_ASSERT(n > 0);
    randSeed = randSeed * 134775813u + 1u;
    return static_cast<int32_t>((static_cast<uint64_t>(randSeed) * static_cast<uint32_t>(n)) >> 32);
}

}  // namespace kestro
