// The player's one seeded random generator (the one behind the scripts' Random), for the
// parts that need chance: fire and particle effects draw from it so that a headless run with
// the same seed repeats exactly.
#pragma once

#include <cstdint>

namespace quen {

// Uniform in 0 .. n - 1; 0 when n <= 0.
int32_t RandomBelow(int32_t n);
// Uniform in [0, 1), from 53 bits of one draw.
double RandomUnit();

}  // namespace quen
