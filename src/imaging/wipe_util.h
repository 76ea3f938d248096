// Arithmetic and pixel access the transition kinds share. Script parameters times the time
// easily leave 32 bits, so products are taken in 128 bits and clamped.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "imaging/custom_dibx.h"
#include "imaging/pixel_rules.h"
#include "imaging/surface_access.h"

namespace quen::wipe {

inline int64_t Clamp64(__int128 v) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  return v > kMax ? kMax : v < kMin ? kMin : static_cast<int64_t>(v);
}

inline int32_t Clamp32(int64_t v) {
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v > kMax ? kMax : v < kMin ? kMin : v);
}

// a × b div c, rounded toward zero; 0 when c is 0.
inline int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
  if (c == 0) return 0;
  return Clamp64(static_cast<__int128>(a) * b / c);
}

// To nearest, halves to even (the processor's default rounding), clamped to 32 bits.
inline int32_t Round32(double v) {
  if (std::isnan(v)) return 0;
  const double r = std::nearbyint(v);
  if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

// pixel::AddSat<32> and SubSat<32> on all four bytes at once: the low seven bits of each byte
// are added (subtracted) without crossing into the next byte, the top bits fix the result and
// say where it saturates.
inline uint32_t AddBytes(uint32_t a, uint32_t b) {
  const uint32_t s = (a & 0x7F7F7F7F) + (b & 0x7F7F7F7F);
  const uint32_t top = (a ^ b) & 0x80808080;
  const uint32_t over = ((a & b) | (top & s)) & 0x80808080;
  return (s ^ top) | ((over >> 7) * 0xFF);
}

inline uint32_t SubBytes(uint32_t a, uint32_t b) {
  const uint32_t d = ((a | 0x80808080) - (b & 0x7F7F7F7F)) ^ ((a ^ b ^ 0x80808080) & 0x80808080);
  const uint32_t under = ((~a & b) | (~(a ^ b) & d)) & 0x80808080;
  return d & ~((under >> 7) * 0xFF);
}

// Saturating add (subtract) of a colour at a depth, bytewise at 32 bits.
template <int D>
inline uint32_t AddPixel(uint32_t a, uint32_t b) {
  if constexpr (D == 32) {
    return AddBytes(a, b);
  } else {
    return pixel::AddSat<D>(a, b);
  }
}

// Calls f with the depth (8, 15, 16, 24 or 32) as a compile-time constant; other depths do
// nothing.
template <class F>
void ForDepth(int32_t bits, F&& f) {
  switch (bits) {
    case 8:
      f(std::integral_constant<int, 8>{});
      break;
    case 15:
      f(std::integral_constant<int, 15>{});
      break;
    case 16:
      f(std::integral_constant<int, 16>{});
      break;
    case 24:
      f(std::integral_constant<int, 24>{});
      break;
    case 32:
      f(std::integral_constant<int, 32>{});
      break;
    default:
      break;
  }
}

// Grey i (i, i, i) as a pixel of the depth: the start-up colour tables where they were built
// for it, else the same values made here. 8-bit surfaces take the index itself.
std::array<uint32_t, 256> GreyPixels(int32_t bits);

// The target and both pictures locked together.
struct TWipeViews {
  TWipeViews(TCustomDIBX& target, TCustomDIBX& from, TCustomDIBX& to)
      : dst(target), from(from), to(to) {}
  bool Ok() const { return dst.Ok() && from.Ok() && to.Ok(); }
  detail::TView dst;
  detail::TView from;
  detail::TView to;
};

}  // namespace quen::wipe
