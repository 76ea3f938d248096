// Small helpers shared by the imaging tests.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "imaging/dibx.h"

namespace quen::testing {

inline uint32_t PixelLimit(int32_t bits) {
  switch (bits) {
    case 8:
      return 0xFF;
    case 15:
      return 0x7FFF;
    case 16:
      return 0xFFFF;
    case 24:
      return 0xFFFFFF;
    default:
      return 0xFFFFFFFF;
  }
}

inline std::unique_ptr<TDIBX> Solid(int32_t w, int32_t h, int32_t bits, uint32_t pixel) {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(w, h, bits);
  s->Fill(pixel);
  return s;
}

// Random pixels drawn from a small palette so that keys and equal pixels occur often.
inline std::unique_ptr<TDIBX> Noise(int32_t w, int32_t h, int32_t bits, std::mt19937& rng,
                                    int paletteSize = 0) {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(w, h, bits);
  std::vector<uint32_t> palette;
  for (int i = 0; i < paletteSize; ++i) palette.push_back(rng() & PixelLimit(bits));
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t v =
          palette.empty() ? (rng() & PixelLimit(bits)) : palette[rng() % palette.size()];
      s->SetPixel(x, y, v);
    }
  }
  return s;
}

// Every pixel of a surface, row by row.
inline std::vector<uint32_t> Pixels(TCustomDIBX& s) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < s.Height(); ++y) {
    for (int32_t x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  }
  return out;
}

// A copy of a surface's pixels in a new surface of the same depth.
inline std::unique_ptr<TDIBX> Clone(TDIBX& s) {
  auto c = std::make_unique<TDIBX>();
  c->SetSize(s.Width(), s.Height(), s.BitCount());
  c->DIB().Assign(s.DIB());
  c->SetColorKey(s.ColorKey());
  return c;
}

}  // namespace quen::testing
