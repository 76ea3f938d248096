// The per-pixel arithmetic of every blend, one channel mask at a time, exactly as the player
// defines it. This is the reference: the packed paths must give the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

namespace quen::pixel {

// D is the reported bit count: 8, 15, 16, 24 or 32.
template <int D>
struct TFormat;

template <>
struct TFormat<8> {
  static constexpr int kBytes = 1;
  static constexpr std::array<uint32_t, 1> kMasks{0xFF};
  static constexpr uint32_t kLimit = 0xFF;
};
template <>
struct TFormat<15> {
  static constexpr int kBytes = 2;
  static constexpr std::array<uint32_t, 3> kMasks{0x7C00, 0x03E0, 0x001F};
  static constexpr uint32_t kLimit = 0xFFFF;
};
template <>
struct TFormat<16> {
  static constexpr int kBytes = 2;
  static constexpr std::array<uint32_t, 3> kMasks{0xF800, 0x07E0, 0x001F};
  static constexpr uint32_t kLimit = 0xFFFF;
};
template <>
struct TFormat<24> {
  static constexpr int kBytes = 3;
  static constexpr std::array<uint32_t, 3> kMasks{0xFF0000, 0x00FF00, 0x0000FF};
  static constexpr uint32_t kLimit = 0xFFFFFF;
};
template <>
struct TFormat<32> {
  static constexpr int kBytes = 4;
  static constexpr std::array<uint32_t, 3> kMasks{0xFF0000, 0x00FF00, 0x0000FF};
  static constexpr uint32_t kLimit = 0xFFFFFFFF;
};

template <int D>
inline uint32_t Load(const uint8_t* row, int64_t i) {
  const uint8_t* p = row + i * TFormat<D>::kBytes;
  if constexpr (D == 8) {
    return p[0];
  } else if constexpr (D == 15 || D == 16) {
    return static_cast<uint32_t>(p[0] | (p[1] << 8));
  } else if constexpr (D == 24) {
    return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
  } else {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
}

template <int D>
inline void Store(uint8_t* row, int64_t i, uint32_t v) {
  uint8_t* p = row + i * TFormat<D>::kBytes;
  if constexpr (D == 32) {
    std::memcpy(p, &v, 4);
  } else {
    for (int k = 0; k < TFormat<D>::kBytes; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
  }
}

// On 32-bit pixels the fourth byte is worked like a fourth channel; its mask would overflow
// 32-bit products, so it is computed on its own.
template <int D>
inline uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) {
  uint32_t r = 0;
  for (uint32_t m : TFormat<D>::kMasks) r |= (((d & m) * (255 - a) + (s & m) * a) >> 8) & m;
  if constexpr (D == 32) r |= (((d >> 24) * (255 - a) + (s >> 24) * a) >> 8) << 24;
  return r;
}

template <int D>
inline uint32_t AddScaled(uint32_t d, uint32_t s, uint32_t level) {
  uint32_t r = 0;
  for (uint32_t m : TFormat<D>::kMasks) {
    const uint32_t v = (d & m) + ((((s & m) * level) >> 8) & m);
    r |= v < m ? v : m;
  }
  if constexpr (D == 32) {
    const uint32_t v = (d >> 24) + (((s >> 24) * level) >> 8);
    r |= (v < 255 ? v : 255) << 24;
  }
  return r;
}

template <int D>
inline uint32_t AddSat(uint32_t d, uint32_t c) {
  uint32_t r = 0;
  for (uint32_t m : TFormat<D>::kMasks) {
    const uint32_t v = (d & m) + (c & m);
    r |= v < m ? v : m;
  }
  if constexpr (D == 32) {
    const uint32_t v = (d >> 24) + (c >> 24);
    r |= (v < 255 ? v : 255) << 24;
  }
  return r;
}

template <int D>
inline uint32_t SubSat(uint32_t d, uint32_t c) {
  uint32_t r = 0;
  for (uint32_t m : TFormat<D>::kMasks) r |= (d & m) > (c & m) ? (d & m) - (c & m) : 0;
  if constexpr (D == 32) r |= (d >> 24) > (c >> 24) ? ((d >> 24) - (c >> 24)) << 24 : 0;
  return r;
}

// Weight of one colour through an 8-bit coverage value (text and shapes).
inline uint32_t ColorMaskWeight(uint32_t m, uint32_t alpha) {
  if (alpha >= 255) return m;
  return m == 255 ? alpha : (m * alpha) >> 8;
}

}  // namespace quen::pixel
