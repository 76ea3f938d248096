#include "imaging/color_tables.h"

#include <iterator>

namespace quen {

namespace {

TQuenColorTables gTables;
bool gBuilt = false;

struct TStop {
  int at;
  int r, g, b;
};
constexpr TStop kFireStops[] = {{0, 0, 0, 0},        {32, 102, 39, 3},    {112, 213, 97, 7},
                                {160, 243, 157, 13}, {192, 255, 192, 55}, {255, 255, 230, 175}};

}  // namespace

void FireGradient(int i, uint8_t& r, uint8_t& g, uint8_t& b) {
  if (i <= 0) {
    r = g = b = 0;
    return;
  }
  if (i > 255) i = 255;
  for (size_t k = 1; k < std::size(kFireStops); ++k) {
    const TStop& lo = kFireStops[k - 1];
    const TStop& hi = kFireStops[k];
    if (i <= hi.at) {
      const int span = hi.at - lo.at, t = i - lo.at;
      r = static_cast<uint8_t>(lo.r + (hi.r - lo.r) * t / span);
      g = static_cast<uint8_t>(lo.g + (hi.g - lo.g) * t / span);
      b = static_cast<uint8_t>(lo.b + (hi.b - lo.b) * t / span);
      return;
    }
  }
}

void QuenInitColor(int32_t screenBitCount) {
  TQuenColorTables t;
  t.BitCount = screenBitCount;
  const bool is15 = screenBitCount == 15;
  for (uint32_t i = 0; i < 256; ++i) {
    uint8_t r, g, b;
    FireGradient(static_cast<int>(i), r, g, b);
    const uint32_t r5 = r >> 3u, g6 = g >> 2u, b5 = b >> 3u;
    // The 16-bit table is kept as 5-6-5 and narrowed to 5-5-5 for 15-bit screens.
    t.Fire16[i] = is15 ? (r5 << 10) | ((g6 >> 1) << 5) | b5 : (r5 << 11) | (g6 << 5) | b5;
    t.Fire32[i] = (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
    t.Grey16[i] = is15 ? ((i >> 3) << 10) | ((i >> 3) << 5) | (i >> 3)
                       : ((i >> 3) << 11) | ((i >> 2) << 5) | (i >> 3);
    t.Grey32[i] = (i << 16) | (i << 8) | i;
  }
  gTables = t;
  gBuilt = true;
}

const TQuenColorTables& QuenColorTables() {
  if (!gBuilt) QuenInitColor(16);
  return gTables;
}

const uint32_t* TQuenColorTables::FireFor(int32_t bits) const {
  if (bits == 15 || bits == 16) return Fire16.data();
  return bits == 32 ? Fire32.data() : nullptr;
}

const uint32_t* TQuenColorTables::GreyFor(int32_t bits) const {
  if (bits == 15 || bits == 16) return Grey16.data();
  return bits == 32 ? Grey32.data() : nullptr;
}

}  // namespace quen
