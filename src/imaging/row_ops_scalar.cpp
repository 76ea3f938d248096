#include <cstring>

#include "imaging/pixel_rules.h"
#include "imaging/row_ops.h"

namespace quen {

namespace {

using namespace pixel;

template <int D>
void Fill(uint8_t* dst, int32_t n, uint32_t c) {
  for (int32_t i = 0; i < n; ++i) Store<D>(dst, i, c);
}

// Keyed copies copy each run of visible pixels in one move and scan over key runs.
template <int D>
void CopyKey(uint8_t* dst, const uint8_t* src, int32_t n, int64_t key) {
  constexpr int kB = TFormat<D>::kBytes;
  if (key < 0 || key > static_cast<int64_t>(TFormat<D>::kLimit)) {
    std::memmove(dst, src, static_cast<size_t>(n) * kB);
    return;
  }
  const auto k = static_cast<uint32_t>(key);
  int32_t i = 0;
  while (i < n) {
    while (i < n && Load<D>(src, i) == k) ++i;
    const int32_t start = i;
    while (i < n && Load<D>(src, i) != k) ++i;
    if (i > start) {
      std::memmove(dst + static_cast<int64_t>(start) * kB, src + static_cast<int64_t>(start) * kB,
                   static_cast<size_t>(i - start) * kB);
    }
  }
}

template <int D>
void Alpha(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t a, int64_t key) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t s = Load<D>(src, i), d = Load<D>(dst, i);
    if (static_cast<int64_t>(s) == key || s == d) continue;
    Store<D>(dst, i, Blend<D>(d, s, a));
  }
}

template <int D>
void Add(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t level, int64_t key) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t s = Load<D>(src, i);
    if (static_cast<int64_t>(s) == key) continue;
    const uint32_t d = Load<D>(dst, i);
    if constexpr (D == 8) {
      // Palette indices simply add.
      Store<D>(dst, i, d + s < 255 ? d + s : 255);
    } else {
      Store<D>(dst, i, AddScaled<D>(d, s, level));
    }
  }
}

template <int D>
void Mask(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t m = mask[i];
    if (m == 0) continue;
    const uint32_t s = Load<D>(src, i);
    Store<D>(dst, i, m == 255 ? s : Blend<D>(Load<D>(dst, i), s, m));
  }
}

template <int D>
void AlphaMask(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n, uint32_t a) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t m = mask[i];
    if (m == 0) continue;
    Store<D>(dst, i, Blend<D>(Load<D>(dst, i), Load<D>(src, i), (a * m) >> 8));
  }
}

template <int D>
void AddMask(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n, uint32_t level) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t m = mask[i];
    if (m == 0) continue;
    Store<D>(dst, i, AddScaled<D>(Load<D>(dst, i), Load<D>(src, i), (level * m) >> 8));
  }
}

template <int D>
void FillAlpha(uint8_t* dst, int32_t n, uint32_t c, uint32_t a) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t d = Load<D>(dst, i);
    if (d != c) Store<D>(dst, i, Blend<D>(d, c, a));
  }
}

template <int D>
void FillAdd(uint8_t* dst, int32_t n, uint32_t c) {
  for (int32_t i = 0; i < n; ++i) Store<D>(dst, i, AddSat<D>(Load<D>(dst, i), c));
}

template <int D>
void FillSub(uint8_t* dst, int32_t n, uint32_t c) {
  for (int32_t i = 0; i < n; ++i) Store<D>(dst, i, SubSat<D>(Load<D>(dst, i), c));
}

template <int D>
void ColorMask(uint8_t* dst, const uint8_t* mask, int32_t n, uint32_t c, uint32_t alpha) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t m = mask[i];
    if (m == 0) continue;
    const uint32_t d = Load<D>(dst, i);
    if (d == c) continue;
    Store<D>(dst, i, Blend<D>(d, c, ColorMaskWeight(m, alpha)));
  }
}

template <int D>
void WipeMix(uint8_t* dst, const uint8_t* from, const uint8_t* to, const uint8_t* mask, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t m = mask[i];
    const uint32_t f = Load<D>(from, i), t = Load<D>(to, i);
    Store<D>(dst, i, m == 0 ? f : m == 255 ? t : Blend<D>(f, t, m));
  }
}

template <int D>
void WipeSelect(uint8_t* dst, const uint8_t* from, const uint8_t* to, const uint8_t* mask,
                int32_t n) {
  for (int32_t i = 0; i < n; ++i) Store<D>(dst, i, mask[i] ? Load<D>(to, i) : Load<D>(from, i));
}

template <int D>
constexpr TRowOps kOps{Fill<D>,      CopyKey<D>, Alpha<D>,     Add<D>,     Mask<D>,
                       AlphaMask<D>, AddMask<D>, FillAlpha<D>, FillAdd<D>, FillSub<D>,
                       ColorMask<D>, WipeMix<D>, WipeSelect<D>};

}  // namespace

const TRowOps* GetScalarRowOps(int32_t bitCount) {
  switch (bitCount) {
    case 8:
      return &kOps<8>;
    case 15:
      return &kOps<15>;
    case 16:
      return &kOps<16>;
    case 24:
      return &kOps<24>;
    case 32:
      return &kOps<32>;
    default:
      return nullptr;
  }
}

}  // namespace quen
