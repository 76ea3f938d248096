// The 10-byte extended real, the form every stored real takes. long double on x86-64 is that
// very format, so the codec is a plain copy of its first ten bytes.
#pragma once

#include <cstdint>
#include <limits>

namespace quen {

static_assert(std::numeric_limits<long double>::digits == 64 &&
                  std::numeric_limits<long double>::max_exponent == 16384,
              "long double must be the 80-bit x87 extended format");

constexpr int kExtendedSize = 10;

void EncodeExtended(long double value, uint8_t out[kExtendedSize]);
long double DecodeExtended(const uint8_t in[kExtendedSize]);

// True when the ten bytes hold a finite number that the FPU accepts: not an infinity or NaN,
// and not one of the unnormal encodings (exponent set but integer bit clear).
bool IsFiniteExtended(const uint8_t in[kExtendedSize]);

}  // namespace quen
