// The program's one pseudo-random generator: a 32-bit linear congruential generator.
#pragma once

#include <cstdint>

namespace kestro {

// Sets the generator's state (tests and the headless trainer; the program seeds from the clock).
void SetRandomSeed(uint32_t seed);

// The generator's current state.
uint32_t RandomSeed();

// Seeds the generator from the clock, so that every start differs.
void RandomizeFromClock();

// A uniform integer from 0 to n - 1: seed = seed * 134775813 + 1, result = high 32 bits of
// seed * n. Requires n > 0.
int32_t RandomInt(int32_t n);

}  // namespace kestro
