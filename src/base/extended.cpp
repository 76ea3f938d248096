#include "base/extended.h"

#include <cstring>

namespace quen {

void EncodeExtended(long double value, uint8_t out[kExtendedSize]) {
  std::memcpy(out, &value, kExtendedSize);
}

long double DecodeExtended(const uint8_t in[kExtendedSize]) {
  long double v = 0;
  std::memcpy(&v, in, kExtendedSize);
  return v;
}

bool IsFiniteExtended(const uint8_t in[kExtendedSize]) {
  unsigned exponent = (in[8] | (in[9] << 8)) & 0x7FFFu;
  bool integer_bit = (in[7] & 0x80) != 0;
  if (exponent == 0x7FFF) return false;
  if (exponent != 0 && !integer_bit) return false;
  return true;
}

}  // namespace quen
