// The one random source of the process: the scripts' Random and the transitions that scatter
// chips or blocks draw from it, so a seed (--seed) repeats all of them.
#pragma once

#include <cstdint>

namespace quen {

// Headless runs seed it so that runs repeat; without a seed it starts from the clock.
void SetRandomSeed(uint64_t seed);
// Uniform in 0 <= r < bound; 0 for a bound of 0.
uint32_t RandomBelow(uint32_t bound);

}  // namespace quen
