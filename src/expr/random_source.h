// The one random source of the process: the scripts' Random, the transitions that scatter chips
// or blocks, and the fire and particle effects draw from it, so a seed (--seed) repeats all of
// them.
#pragma once

#include <cstdint>

namespace quen {

// Headless runs seed it so that runs repeat; without a seed it starts from the clock.
void SetRandomSeed(uint64_t seed);
// Uniform in 0 <= r < bound; 0 for a bound of 0.
uint32_t RandomBelow(uint32_t bound);
// Uniform in 0 .. n - 1; 0 when n <= 0.
int32_t RandomBelow(int32_t n);
// Uniform in [0, 1), from 53 bits of one draw.
double RandomUnit();

}  // namespace quen
