#include "imaging/brix_compose.h"

#include <algorithm>
#include <cstring>

#include "imaging/pixel_convert.h"

namespace quen {

namespace {

constexpr uint8_t kDither[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

inline uint16_t Mix16(uint32_t d, uint32_t s, uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  const uint32_t na = 255 - a;
  return static_cast<uint16_t>((((na * (d & r) + a * (s & r)) / 255) & r) |
                               (((na * (d & g) + a * (s & g)) / 255) & g) |
                               (((na * (d & b) + a * (s & b)) / 255) & b));
}

inline uint16_t Mask16(uint32_t d, uint32_t s, uint32_t m, uint32_t r, uint32_t g, uint32_t b) {
  const uint32_t nm = 255 - m;
  return static_cast<uint16_t>(((((d & r) * nm + m * (s & r)) >> 8) & r) |
                               ((((d & g) * nm + m * (s & g)) >> 8) & g) |
                               ((((d & b) * nm + m * (s & b)) >> 8) & b));
}

inline uint32_t Mix32(uint32_t d, uint32_t s, uint32_t a) {
  const uint32_t na = 255 - a;
  return ((((d & 0xFF00FF) * na + (s & 0xFF00FF) * a) >> 8) & 0xFF00FF) |
         ((((d & 0xFF00) * na + (s & 0xFF00) * a) >> 8) & 0xFF00);
}

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(uint8_t* p, uint32_t v) {
  std::memcpy(p, &v, 4);
}
inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(uint8_t* p, uint16_t v) {
  std::memcpy(p, &v, 2);
}

}  // namespace

void BrixCopy(TDIBSurface& dst, const TDIBSurface& src) {
  const int32_t h = std::min(dst.Height(), src.Height());
  const size_t n = static_cast<size_t>(std::min(dst.Pitch(), src.Pitch()));
  for (int32_t y = 0; y < h; ++y) std::memcpy(dst.ScanLine(y), src.ScanLine(y), n);
}

void BrixBlendAlpha(TDIBSurface& dst, const TDIBSurface& src, int32_t alpha, int32_t key) {
  if (alpha == 0) return;
  const int32_t w = std::min(dst.Width(), src.Width());
  const int32_t h = std::min(dst.Height(), src.Height());
  const int32_t bits = dst.BitCount();
  // A negative alpha counts as opaque at every depth, as the indexed rule has it.
  const bool copy = alpha < 0 || alpha > 254;
  const auto a = static_cast<uint32_t>(copy ? 255 : alpha);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = src.ScanLine(y);
    uint8_t* d = dst.ScanLine(y);
    if (bits <= 8) {
      const int32_t level = copy ? 15 : alpha / 16;
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t p = LoadPixel(s, bits, x);
        if (static_cast<int64_t>(p) == key) continue;
        if (level >= 15 || kDither[y & 3][x & 3] <= level) StorePixel(d, bits, x, p);
      }
    } else if (bits == 15 || bits == 16) {
      const uint32_t r = dst.RedMask(), g = dst.GreenMask(), b = dst.BlueMask();
      for (int32_t x = 0; x < w; ++x) {
        const uint16_t p = Load16(s + 2 * x);
        if (p == key) continue;
        Store16(d + 2 * x, copy ? p : Mix16(Load16(d + 2 * x), p, a, r, g, b));
      }
    } else if (bits == 24) {
      const bool keyed = key >= 0;
      const auto kb = static_cast<uint8_t>(key), kg = static_cast<uint8_t>(key >> 8),
                 kr = static_cast<uint8_t>(key >> 16);
      const uint32_t na = 255 - a;
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* sp = s + 3 * x;
        if (keyed && sp[0] == kb && sp[1] == kg && sp[2] == kr) continue;
        uint8_t* dp = d + 3 * x;
        if (copy) {
          dp[0] = sp[0], dp[1] = sp[1], dp[2] = sp[2];
        } else {
          for (int i = 0; i < 3; ++i) dp[i] = static_cast<uint8_t>((na * dp[i] + a * sp[i]) / 255);
        }
      }
    } else {
      const bool keyed = key != -1;
      const auto k = static_cast<uint32_t>(key);
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t p = Load32(s + 4 * x);
        if (keyed && p == k) continue;
        Store32(d + 4 * x, copy ? p : Mix32(Load32(d + 4 * x), p, a));
      }
    }
  }
}

void BrixBlendMask(TDIBSurface& dst, const TDIBSurface& src, const TDIBSurface& mask) {
  const int32_t w = std::min({dst.Width(), src.Width(), mask.Width()});
  const int32_t h = std::min({dst.Height(), src.Height(), mask.Height()});
  const int32_t bits = dst.BitCount();
  const uint32_t r = dst.RedMask(), g = dst.GreenMask(), b = dst.BlueMask();
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = src.ScanLine(y);
    const uint8_t* m = mask.ScanLine(y);
    uint8_t* d = dst.ScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t mv = m[x];
      if (mv == 0) continue;
      if (bits <= 8) {
        if (mv >= 128) StorePixel(d, bits, x, LoadPixel(s, bits, x));
      } else if (bits == 15 || bits == 16) {
        const uint16_t p = Load16(s + 2 * x);
        Store16(d + 2 * x, mv == 255 ? p : Mask16(Load16(d + 2 * x), p, mv, r, g, b));
      } else if (bits == 24) {
        const uint8_t* sp = s + 3 * x;
        uint8_t* dp = d + 3 * x;
        for (int i = 0; i < 3; ++i) {
          dp[i] = mv == 255 ? sp[i] : static_cast<uint8_t>((sp[i] * mv + dp[i] * (255 - mv)) >> 8);
        }
      } else {
        const uint32_t p = Load32(s + 4 * x);
        Store32(d + 4 * x, mv == 255 ? p : Mix32(Load32(d + 4 * x), p, mv));
      }
    }
  }
}

}  // namespace quen
