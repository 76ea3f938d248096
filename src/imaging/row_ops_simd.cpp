// Packed versions of the row operations at 15, 16 and 32 bits. One body per family is
// written with the compiler's vector types and instantiated twice: 16-byte vectors for the
// SSE2 baseline and 32-byte vectors inside functions built for AVX2. The tails left over
// after the last whole vector go through the reference rules.
#include <immintrin.h>

#include <atomic>
#include <cstring>

#include "imaging/pixel_rules.h"
#include "imaging/row_ops.h"

#pragma GCC diagnostic ignored "-Wpsabi"

namespace quen {

namespace {

using namespace pixel;

#define QP_INLINE inline __attribute__((always_inline))

template <int W>
struct V {
  typedef uint8_t u8 __attribute__((vector_size(W)));
  typedef uint16_t u16 __attribute__((vector_size(W)));
  typedef uint32_t u32 __attribute__((vector_size(W)));
  typedef uint16_t u16w __attribute__((vector_size(2 * W)));  // one lane per byte
  typedef uint8_t u8h __attribute__((vector_size(W / 2)));    // one byte per 16-bit lane
};

template <class T>
QP_INLINE T LoadV(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}
template <class T>
QP_INLINE void StoreV(void* p, T v) {
  std::memcpy(p, &v, sizeof(T));
}

// ---- 32 bits: four byte channels, worked in 16-bit lanes. ----

// Mask bytes of W/4 pixels spread over the four bytes of each pixel, widened to 16 bits.
template <int W>
QP_INLINE typename V<W>::u16w Spread32(typename V<W>::u32 weight) {
  const typename V<W>::u32 rep = weight | (weight << 8) | (weight << 16) | (weight << 24);
  return __builtin_convertvector((typename V<W>::u8)rep, typename V<W>::u16w);
}

// The mask bytes of 16 pixels, one per 32-bit lane, in 16 / (W/4) vectors. Widening a
// whole 16-byte load keeps the compiler on its packed zero-extensions.
template <int W>
QP_INLINE void WidenMask16(const uint8_t* p, typename V<W>::u32* out) {
  typedef uint8_t b16 __attribute__((vector_size(16)));
  typedef uint16_t w16 __attribute__((vector_size(32)));
  typedef uint16_t w8 __attribute__((vector_size(16)));
  const w16 w = __builtin_convertvector(LoadV<b16>(p), w16);
  const w8 lo = __builtin_shufflevector(w, w, 0, 1, 2, 3, 4, 5, 6, 7);
  const w8 hi = __builtin_shufflevector(w, w, 8, 9, 10, 11, 12, 13, 14, 15);
  if constexpr (W == 32) {
    out[0] = __builtin_convertvector(lo, typename V<W>::u32);
    out[1] = __builtin_convertvector(hi, typename V<W>::u32);
  } else {
    const w8 z = {};
    out[0] = (typename V<W>::u32)__builtin_shufflevector(lo, z, 0, 8, 1, 8, 2, 8, 3, 8);
    out[1] = (typename V<W>::u32)__builtin_shufflevector(lo, z, 4, 8, 5, 8, 6, 8, 7, 8);
    out[2] = (typename V<W>::u32)__builtin_shufflevector(hi, z, 0, 8, 1, 8, 2, 8, 3, 8);
    out[3] = (typename V<W>::u32)__builtin_shufflevector(hi, z, 4, 8, 5, 8, 6, 8, 7, 8);
  }
}

template <int W>
QP_INLINE typename V<W>::u8 Blend32(typename V<W>::u8 d, typename V<W>::u8 s,
                                    typename V<W>::u16w a) {
  using U = V<W>;
  const typename U::u16w dw = __builtin_convertvector(d, typename U::u16w);
  const typename U::u16w sw = __builtin_convertvector(s, typename U::u16w);
  const typename U::u16w r = (dw * (255 - a) + sw * a) >> 8;
  return __builtin_convertvector(r, typename U::u8);
}

template <int W>
QP_INLINE typename V<W>::u8 AddScaled32(typename V<W>::u8 d, typename V<W>::u8 s,
                                        typename V<W>::u16w level) {
  using U = V<W>;
  const typename U::u16w dw = __builtin_convertvector(d, typename U::u16w);
  const typename U::u16w sw = __builtin_convertvector(s, typename U::u16w);
  typename U::u16w r = dw + ((sw * level) >> 8);
  // r stays below 512: a set bit 8 saturates the lane to 255 without a compare.
  r = (r | (0 - (r >> 8))) & 255;
  return __builtin_convertvector(r, typename U::u8);
}

// True when any bit of the vector is set.
template <class T>
QP_INLINE bool AnySet(T v) {
  uint64_t w[sizeof(T) / 8];
  std::memcpy(w, &v, sizeof(T));
  uint64_t o = 0;
  for (uint64_t x : w) o |= x;
  return o != 0;
}

template <class T>
QP_INLINE T Select(T keepMask, T keep, T fresh) {
  return (keep & keepMask) | (fresh & ~keepMask);
}

template <int W>
QP_INLINE void Fill32(uint8_t* dst, int32_t n, uint32_t c) {
  using U = V<W>;
  constexpr int P = W / 4;
  const typename U::u32 cv = typename U::u32{} + c;
  int32_t i = 0;
  for (; i + P <= n; i += P) StoreV(dst + 4 * i, cv);
  for (; i < n; ++i) Store<32>(dst, i, c);
}

template <int W>
QP_INLINE void CopyKey32(uint8_t* dst, const uint8_t* src, int32_t n, int64_t key) {
  using U = V<W>;
  constexpr int P = W / 4;
  if (key < 0) {
    std::memmove(dst, src, static_cast<size_t>(n) * 4);
    return;
  }
  const typename U::u32 kv = typename U::u32{} + static_cast<uint32_t>(key);
  int32_t i = 0;
  while (i + P <= n) {
    const auto s = LoadV<typename U::u32>(src + 4 * i);
    const auto isKey = (typename U::u32)(s == kv);
    // A block without key pixels is stored whole; a block of key pixels is skipped.
    const bool any = AnySet(isKey), all = !AnySet(~isKey);
    if (!any) {
      StoreV(dst + 4 * i, s);
    } else if (!all) {
      StoreV(dst + 4 * i, Select(isKey, LoadV<typename U::u32>(dst + 4 * i), s));
    }
    i += P;
  }
  for (; i < n; ++i) {
    const uint32_t s = Load<32>(src, i);
    if (s != static_cast<uint32_t>(key)) Store<32>(dst, i, s);
  }
}

template <int W>
QP_INLINE void Alpha32(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t a, int64_t key) {
  using U = V<W>;
  constexpr int P = W / 4;
  const typename U::u16w av = typename U::u16w{} + static_cast<uint16_t>(a);
  const typename U::u32 kv = typename U::u32{} + static_cast<uint32_t>(key);
  const typename U::u32 useKey = typename U::u32{} + (key >= 0 ? 0xFFFFFFFFu : 0u);
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    const auto s = LoadV<typename U::u32>(src + 4 * i);
    const auto d = LoadV<typename U::u32>(dst + 4 * i);
    const auto keep = (typename U::u32)(s == d) | ((typename U::u32)(s == kv) & useKey);
    const auto r = (typename U::u32)Blend32<W>((typename U::u8)d, (typename U::u8)s, av);
    StoreV(dst + 4 * i, Select(keep, d, r));
  }
  for (; i < n; ++i) {
    const uint32_t s = Load<32>(src, i), d = Load<32>(dst, i);
    if (static_cast<int64_t>(s) == key || s == d) continue;
    Store<32>(dst, i, Blend<32>(d, s, a));
  }
}

template <int W>
QP_INLINE void Add32(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t level, int64_t key) {
  using U = V<W>;
  constexpr int P = W / 4;
  const typename U::u16w lv = typename U::u16w{} + static_cast<uint16_t>(level);
  const typename U::u32 kv = typename U::u32{} + static_cast<uint32_t>(key);
  const typename U::u32 useKey = typename U::u32{} + (key >= 0 ? 0xFFFFFFFFu : 0u);
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    const auto s = LoadV<typename U::u32>(src + 4 * i);
    const auto d = LoadV<typename U::u32>(dst + 4 * i);
    const auto keep = (typename U::u32)(s == kv) & useKey;
    const auto r = (typename U::u32)AddScaled32<W>((typename U::u8)d, (typename U::u8)s, lv);
    StoreV(dst + 4 * i, Select(keep, d, r));
  }
  for (; i < n; ++i) {
    const uint32_t s = Load<32>(src, i);
    if (static_cast<int64_t>(s) == key) continue;
    Store<32>(dst, i, AddScaled<32>(Load<32>(dst, i), s, level));
  }
}

// kind 0: mask as weight (255 copies); 1: alpha × mask; 2: additive, level × mask.
template <int W, int kKind>
QP_INLINE void MaskFamily32(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n,
                            uint32_t factor) {
  using U = V<W>;
  constexpr int P = W / 4;
  int32_t i = 0;
  auto group = [&](int32_t at, typename U::u32 m) __attribute__((always_inline)) {
    const auto s = LoadV<typename U::u32>(src + 4 * at);
    const auto d = LoadV<typename U::u32>(dst + 4 * at);
    typename U::u32 r;
    if constexpr (kKind == 0) {
      r = (typename U::u32)Blend32<W>((typename U::u8)d, (typename U::u8)s, Spread32<W>(m));
      r = Select((typename U::u32)(m == 255), s, r);
    } else if constexpr (kKind == 1) {
      r = (typename U::u32)Blend32<W>((typename U::u8)d, (typename U::u8)s,
                                      Spread32<W>((m * factor) >> 8));
    } else {
      r = (typename U::u32)AddScaled32<W>((typename U::u8)d, (typename U::u8)s,
                                          Spread32<W>((m * factor) >> 8));
    }
    StoreV(dst + 4 * at, Select((typename U::u32)(m == 0), d, r));
  };
  for (; i + 16 <= n; i += 16) {
    typename U::u32 ms[16 / P];
    WidenMask16<W>(mask + i, ms);
    for (int g = 0; g < 16 / P; ++g) group(i + g * P, ms[g]);
  }
  for (; i < n; ++i) {
    const uint32_t m = mask[i];
    if (m == 0) continue;
    const uint32_t s = Load<32>(src, i), d = Load<32>(dst, i);
    uint32_t r;
    if constexpr (kKind == 0) {
      r = m == 255 ? s : Blend<32>(d, s, m);
    } else if constexpr (kKind == 1) {
      r = Blend<32>(d, s, (factor * m) >> 8);
    } else {
      r = AddScaled<32>(d, s, (factor * m) >> 8);
    }
    Store<32>(dst, i, r);
  }
}

template <int W>
QP_INLINE void FillAlpha32(uint8_t* dst, int32_t n, uint32_t c, uint32_t a) {
  using U = V<W>;
  constexpr int P = W / 4;
  const typename U::u16w av = typename U::u16w{} + static_cast<uint16_t>(a);
  const typename U::u32 cv = typename U::u32{} + c;
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    const auto d = LoadV<typename U::u32>(dst + 4 * i);
    const auto r = (typename U::u32)Blend32<W>((typename U::u8)d, (typename U::u8)cv, av);
    StoreV(dst + 4 * i, Select((typename U::u32)(d == cv), d, r));
  }
  for (; i < n; ++i) {
    const uint32_t d = Load<32>(dst, i);
    if (d != c) Store<32>(dst, i, Blend<32>(d, c, a));
  }
}

template <int W, bool kAdd>
QP_INLINE void FillAddSub32(uint8_t* dst, int32_t n, uint32_t c) {
  using U = V<W>;
  constexpr int P = W / 4;
  const auto cv = (typename U::u8)(typename U::u32{} + c);
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    const auto d = LoadV<typename U::u8>(dst + 4 * i);
    typename U::u8 r;
    if constexpr (kAdd) {
      const typename U::u8 sum = d + cv;
      r = (typename U::u8)((sum < d) ? 255 : sum);  // a wrapped sum saturates
    } else {
      r = (typename U::u8)((d > cv) ? d - cv : 0);
    }
    StoreV(dst + 4 * i, r);
  }
  for (; i < n; ++i) {
    const uint32_t d = Load<32>(dst, i);
    Store<32>(dst, i, kAdd ? AddSat<32>(d, c) : SubSat<32>(d, c));
  }
}

template <int W>
QP_INLINE void ColorMask32(uint8_t* dst, const uint8_t* mask, int32_t n, uint32_t c,
                           uint32_t alpha) {
  using U = V<W>;
  constexpr int P = W / 4;
  const typename U::u32 cv = typename U::u32{} + c;
  int32_t i = 0;
  auto group = [&](int32_t at, typename U::u32 m) __attribute__((always_inline)) {
    const auto d = LoadV<typename U::u32>(dst + 4 * at);
    typename U::u32 k = m;
    if (alpha < 255) k = (m == 255) ? alpha : (m * alpha) >> 8;
    const auto r =
        (typename U::u32)Blend32<W>((typename U::u8)d, (typename U::u8)cv, Spread32<W>(k));
    StoreV(dst + 4 * at, Select((typename U::u32)(m == 0) | (typename U::u32)(d == cv), d, r));
  };
  for (; i + 16 <= n; i += 16) {
    typename U::u32 ms[16 / P];
    WidenMask16<W>(mask + i, ms);
    for (int g = 0; g < 16 / P; ++g) group(i + g * P, ms[g]);
  }
  for (; i < n; ++i) {
    const uint32_t m = mask[i];
    if (m == 0) continue;
    const uint32_t d = Load<32>(dst, i);
    if (d != c) Store<32>(dst, i, Blend<32>(d, c, ColorMaskWeight(m, alpha)));
  }
}

// The fused blend of 32-bit pixels written out for AVX2: each pixel's mask byte reaches its
// four channels in one byte shuffle, and the exact ends (0 and 255) are put back only where a
// group of eight holds one; the generic body spends a third more on both.
__attribute__((target("avx2"))) void WipeMix32Wide(uint8_t* dst, const uint8_t* from,
                                                   const uint8_t* to, const uint8_t* mask,
                                                   int32_t n) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i full = _mm256_set1_epi8(-1);
  const __m256i k255 = _mm256_set1_epi16(255);
  const __m256i lo = _mm256_setr_epi8(0, -1, 0, -1, 0, -1, 0, -1, 1, -1, 1, -1, 1, -1, 1, -1, 4, -1,
                                      4, -1, 4, -1, 4, -1, 5, -1, 5, -1, 5, -1, 5, -1);
  const __m256i hi = _mm256_setr_epi8(2, -1, 2, -1, 2, -1, 2, -1, 3, -1, 3, -1, 3, -1, 3, -1, 6, -1,
                                      6, -1, 6, -1, 6, -1, 7, -1, 7, -1, 7, -1, 7, -1);
  const __m256i each = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4,
                                        5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t mw;
    std::memcpy(&mw, mask + i, 8);
    if (mw == 0 || mw == ~uint64_t{0}) {
      std::memmove(dst + 4 * i, (mw ? to : from) + 4 * i, 32);
      continue;
    }
    const __m256i m = _mm256_set1_epi64x(static_cast<int64_t>(mw));
    const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 4 * i));
    const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(to + 4 * i));
    const __m256i wl = _mm256_shuffle_epi8(m, lo), wh = _mm256_shuffle_epi8(m, hi);
    const __m256i rl = _mm256_srli_epi16(
        _mm256_add_epi16(
            _mm256_mullo_epi16(_mm256_unpacklo_epi8(f, zero), _mm256_sub_epi16(k255, wl)),
            _mm256_mullo_epi16(_mm256_unpacklo_epi8(t, zero), wl)),
        8);
    const __m256i rh = _mm256_srli_epi16(
        _mm256_add_epi16(
            _mm256_mullo_epi16(_mm256_unpackhi_epi8(f, zero), _mm256_sub_epi16(k255, wh)),
            _mm256_mullo_epi16(_mm256_unpackhi_epi8(t, zero), wh)),
        8);
    __m256i r = _mm256_packus_epi16(rl, rh);
    const __m256i ends = _mm256_or_si256(_mm256_cmpeq_epi8(m, zero), _mm256_cmpeq_epi8(m, full));
    if (_mm256_movemask_epi8(ends) & 0xFF) {
      const __m256i m4 = _mm256_shuffle_epi8(m, each);
      r = _mm256_blendv_epi8(r, t, _mm256_cmpeq_epi8(m4, full));
      r = _mm256_blendv_epi8(r, f, _mm256_cmpeq_epi8(m4, zero));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), r);
  }
  for (; i < n; ++i) {
    const uint32_t mm = mask[i];
    const uint32_t fv = Load<32>(from, i), tv = Load<32>(to, i);
    Store<32>(dst, i, mm == 0 ? fv : mm == 255 ? tv : Blend<32>(fv, tv, mm));
  }
}

// Masks of 0 and 255 only: a byte compare per pixel decides; runs that are all 0 or all
// non-zero are plain copies.
template <int kBytes>
__attribute__((target("avx2"))) void WipeSelectWide(uint8_t* dst, const uint8_t* from,
                                                    const uint8_t* to, const uint8_t* mask,
                                                    int32_t n) {
  constexpr int kStep = 32 / kBytes;  // pixels per vector
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i m8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
    const __m128i zero8 = _mm_cmpeq_epi8(m8, _mm_setzero_si128());
    const int zeros = _mm_movemask_epi8(zero8);
    if (zeros == 0xFFFF || zeros == 0) {
      std::memmove(dst + kBytes * i, (zeros ? from : to) + kBytes * i, 16 * kBytes);
      continue;
    }
    for (int g = 0; g < 16 / kStep; ++g) {
      const int32_t at = i + g * kStep;
      __m256i keep;
      if constexpr (kBytes == 4) {
        keep = _mm256_cvtepi8_epi32(g == 0 ? zero8 : _mm_srli_si128(zero8, 8));
      } else {
        keep = _mm256_cvtepi8_epi16(zero8);
      }
      const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + kBytes * at));
      const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(to + kBytes * at));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + kBytes * at),
                          _mm256_blendv_epi8(t, f, keep));
    }
  }
  for (; i < n; ++i) {
    if constexpr (kBytes == 4) {
      Store<32>(dst, i, mask[i] ? Load<32>(to, i) : Load<32>(from, i));
    } else {
      Store<16>(dst, i, mask[i] ? Load<16>(to, i) : Load<16>(from, i));
    }
  }
}

// Sixteen pixels a step; a step whose mask bytes are all 0 or all 255 is a plain copy, which
// is most of any mask.
template <int W, bool kSelect>
QP_INLINE void Wipe32(uint8_t* dst, const uint8_t* from, const uint8_t* to, const uint8_t* mask,
                      int32_t n) {
  if constexpr (W == 32) {
    if constexpr (kSelect)
      WipeSelectWide<4>(dst, from, to, mask, n);
    else
      WipeMix32Wide(dst, from, to, mask, n);
    return;
  }
  using U = V<W>;
  constexpr int P = W / 4;
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    uint64_t mw[2];
    std::memcpy(mw, mask + i, 16);
    if ((mw[0] | mw[1]) == 0) {
      std::memmove(dst + 4 * i, from + 4 * i, 64);
      continue;
    }
    if ((mw[0] & mw[1]) == ~uint64_t{0}) {
      std::memmove(dst + 4 * i, to + 4 * i, 64);
      continue;
    }
    typename U::u32 ms[16 / P];
    WidenMask16<W>(mask + i, ms);
    for (int g = 0; g < 16 / P; ++g) {
      const int32_t at = i + g * P;
      const auto f = LoadV<typename U::u32>(from + 4 * at);
      const auto t = LoadV<typename U::u32>(to + 4 * at);
      const auto m = ms[g];
      if constexpr (kSelect) {
        StoreV(dst + 4 * at, Select((typename U::u32)(m == 0), f, t));
      } else {
        auto r = (typename U::u32)Blend32<W>((typename U::u8)f, (typename U::u8)t, Spread32<W>(m));
        const auto full = (typename U::u32)(m == 255), none = (typename U::u32)(m == 0);
        if (AnySet(full | none)) r = Select(none, f, Select(full, t, r));
        StoreV(dst + 4 * at, r);
      }
    }
  }
  for (; i < n; ++i) {
    const uint32_t m = mask[i];
    const uint32_t f = Load<32>(from, i), t = Load<32>(to, i);
    if constexpr (kSelect) {
      Store<32>(dst, i, m ? t : f);
    } else {
      Store<32>(dst, i, m == 0 ? f : m == 255 ? t : Blend<32>(f, t, m));
    }
  }
}

// ---- 15 and 16 bits: three channels unpacked into 16-bit lanes. ----

template <int D>
struct T16 {
  static constexpr int kRShift = D == 16 ? 11 : 10;
  static constexpr uint16_t kRMax = 31;
  static constexpr uint16_t kGMax = D == 16 ? 63 : 31;
};

template <int D, int W>
QP_INLINE void Split16(typename V<W>::u16 p, typename V<W>::u16& r, typename V<W>::u16& g,
                       typename V<W>::u16& b) {
  r = (p >> T16<D>::kRShift) & T16<D>::kRMax;
  g = (p >> 5) & T16<D>::kGMax;
  b = p & 31;
}

template <int D, int W>
QP_INLINE typename V<W>::u16 Join16(typename V<W>::u16 r, typename V<W>::u16 g,
                                    typename V<W>::u16 b) {
  return (r << T16<D>::kRShift) | (g << 5) | b;
}

template <int D, int W>
QP_INLINE typename V<W>::u16 Blend16(typename V<W>::u16 d, typename V<W>::u16 s,
                                     typename V<W>::u16 a) {
  typename V<W>::u16 dr, dg, db, sr, sg, sb;
  Split16<D, W>(d, dr, dg, db);
  Split16<D, W>(s, sr, sg, sb);
  const auto na = 255 - a;
  return Join16<D, W>((dr * na + sr * a) >> 8, (dg * na + sg * a) >> 8, (db * na + sb * a) >> 8);
}

template <int D, int W>
QP_INLINE typename V<W>::u16 AddScaled16(typename V<W>::u16 d, typename V<W>::u16 s,
                                         typename V<W>::u16 level) {
  typename V<W>::u16 dr, dg, db, sr, sg, sb;
  Split16<D, W>(d, dr, dg, db);
  Split16<D, W>(s, sr, sg, sb);
  auto r = dr + ((sr * level) >> 8);
  auto g = dg + ((sg * level) >> 8);
  auto b = db + ((sb * level) >> 8);
  r = r < T16<D>::kRMax ? r : T16<D>::kRMax;
  g = g < T16<D>::kGMax ? g : T16<D>::kGMax;
  b = b < 31 ? b : 31;
  return Join16<D, W>(r, g, b);
}

template <int D, int W>
QP_INLINE void Fill16(uint8_t* dst, int32_t n, uint32_t c) {
  using U = V<W>;
  constexpr int P = W / 2;
  const typename U::u16 cv = typename U::u16{} + static_cast<uint16_t>(c);
  int32_t i = 0;
  for (; i + P <= n; i += P) StoreV(dst + 2 * i, cv);
  for (; i < n; ++i) Store<D>(dst, i, c);
}

template <int D, int W>
QP_INLINE void CopyKey16(uint8_t* dst, const uint8_t* src, int32_t n, int64_t key) {
  using U = V<W>;
  constexpr int P = W / 2;
  if (key < 0 || key > 0xFFFF) {
    std::memmove(dst, src, static_cast<size_t>(n) * 2);
    return;
  }
  const typename U::u16 kv = typename U::u16{} + static_cast<uint16_t>(key);
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    const auto s = LoadV<typename U::u16>(src + 2 * i);
    const auto isKey = (typename U::u16)(s == kv);
    const bool any = AnySet(isKey), all = !AnySet(~isKey);
    if (!any) {
      StoreV(dst + 2 * i, s);
    } else if (!all) {
      StoreV(dst + 2 * i, Select(isKey, LoadV<typename U::u16>(dst + 2 * i), s));
    }
  }
  for (; i < n; ++i) {
    const uint32_t s = Load<D>(src, i);
    if (s != static_cast<uint32_t>(key)) Store<D>(dst, i, s);
  }
}

template <int D, int W>
QP_INLINE void Alpha16(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t a, int64_t key) {
  using U = V<W>;
  constexpr int P = W / 2;
  const typename U::u16 av = typename U::u16{} + static_cast<uint16_t>(a);
  const typename U::u16 kv = typename U::u16{} + static_cast<uint16_t>(key);
  const uint16_t keyOn = key >= 0 && key <= 0xFFFF ? 0xFFFF : 0;
  const typename U::u16 useKey = typename U::u16{} + keyOn;
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    const auto s = LoadV<typename U::u16>(src + 2 * i);
    const auto d = LoadV<typename U::u16>(dst + 2 * i);
    const auto keep = (typename U::u16)(s == d) | ((typename U::u16)(s == kv) & useKey);
    StoreV(dst + 2 * i, Select(keep, d, Blend16<D, W>(d, s, av)));
  }
  for (; i < n; ++i) {
    const uint32_t s = Load<D>(src, i), d = Load<D>(dst, i);
    if (static_cast<int64_t>(s) == key || s == d) continue;
    Store<D>(dst, i, Blend<D>(d, s, a));
  }
}

template <int D, int W>
QP_INLINE void Add16(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t level, int64_t key) {
  using U = V<W>;
  constexpr int P = W / 2;
  const typename U::u16 lv = typename U::u16{} + static_cast<uint16_t>(level);
  const typename U::u16 kv = typename U::u16{} + static_cast<uint16_t>(key);
  const uint16_t keyOn = key >= 0 && key <= 0xFFFF ? 0xFFFF : 0;
  const typename U::u16 useKey = typename U::u16{} + keyOn;
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    const auto s = LoadV<typename U::u16>(src + 2 * i);
    const auto d = LoadV<typename U::u16>(dst + 2 * i);
    const auto keep = (typename U::u16)(s == kv) & useKey;
    StoreV(dst + 2 * i, Select(keep, d, AddScaled16<D, W>(d, s, lv)));
  }
  for (; i < n; ++i) {
    const uint32_t s = Load<D>(src, i);
    if (static_cast<int64_t>(s) == key) continue;
    Store<D>(dst, i, AddScaled<D>(Load<D>(dst, i), s, level));
  }
}

template <int D, int W, int kKind>
QP_INLINE void MaskFamily16(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n,
                            uint32_t factor) {
  using U = V<W>;
  constexpr int P = W / 2;
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    const auto m = __builtin_convertvector(LoadV<typename U::u8h>(mask + i), typename U::u16);
    const auto s = LoadV<typename U::u16>(src + 2 * i);
    const auto d = LoadV<typename U::u16>(dst + 2 * i);
    typename U::u16 r;
    if constexpr (kKind == 0) {
      r = Select((typename U::u16)(m == 255), s, Blend16<D, W>(d, s, m));
    } else if constexpr (kKind == 1) {
      // factor × m needs 32-bit lanes before the shift.
      const auto mw = __builtin_convertvector(m, typename V<2 * W>::u32);
      r = Blend16<D, W>(d, s, __builtin_convertvector((mw * factor) >> 8, typename U::u16));
    } else {
      const auto mw = __builtin_convertvector(m, typename V<2 * W>::u32);
      r = AddScaled16<D, W>(d, s, __builtin_convertvector((mw * factor) >> 8, typename U::u16));
    }
    StoreV(dst + 2 * i, Select((typename U::u16)(m == 0), d, r));
  }
  for (; i < n; ++i) {
    const uint32_t m = mask[i];
    if (m == 0) continue;
    const uint32_t s = Load<D>(src, i), d = Load<D>(dst, i);
    uint32_t r;
    if constexpr (kKind == 0) {
      r = m == 255 ? s : Blend<D>(d, s, m);
    } else if constexpr (kKind == 1) {
      r = Blend<D>(d, s, (factor * m) >> 8);
    } else {
      r = AddScaled<D>(d, s, (factor * m) >> 8);
    }
    Store<D>(dst, i, r);
  }
}

template <int D, int W>
QP_INLINE void FillAlpha16(uint8_t* dst, int32_t n, uint32_t c, uint32_t a) {
  using U = V<W>;
  constexpr int P = W / 2;
  const typename U::u16 av = typename U::u16{} + static_cast<uint16_t>(a);
  const typename U::u16 cv = typename U::u16{} + static_cast<uint16_t>(c);
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    const auto d = LoadV<typename U::u16>(dst + 2 * i);
    StoreV(dst + 2 * i, Select((typename U::u16)(d == cv), d, Blend16<D, W>(d, cv, av)));
  }
  for (; i < n; ++i) {
    const uint32_t d = Load<D>(dst, i);
    if (d != c) Store<D>(dst, i, Blend<D>(d, c, a));
  }
}

template <int D, int W, bool kAdd>
QP_INLINE void FillAddSub16(uint8_t* dst, int32_t n, uint32_t c) {
  using U = V<W>;
  constexpr int P = W / 2;
  typename U::u16 cr, cg, cb;
  Split16<D, W>(typename U::u16{} + static_cast<uint16_t>(c), cr, cg, cb);
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    typename U::u16 dr, dg, db;
    Split16<D, W>(LoadV<typename U::u16>(dst + 2 * i), dr, dg, db);
    if constexpr (kAdd) {
      dr += cr;
      dg += cg;
      db += cb;
      dr = dr < T16<D>::kRMax ? dr : T16<D>::kRMax;
      dg = dg < T16<D>::kGMax ? dg : T16<D>::kGMax;
      db = db < 31 ? db : 31;
    } else {
      dr = dr > cr ? dr - cr : 0;
      dg = dg > cg ? dg - cg : 0;
      db = db > cb ? db - cb : 0;
    }
    StoreV(dst + 2 * i, Join16<D, W>(dr, dg, db));
  }
  for (; i < n; ++i) {
    const uint32_t d = Load<D>(dst, i);
    Store<D>(dst, i, kAdd ? AddSat<D>(d, c) : SubSat<D>(d, c));
  }
}

template <int D, int W>
QP_INLINE void ColorMask16(uint8_t* dst, const uint8_t* mask, int32_t n, uint32_t c,
                           uint32_t alpha) {
  using U = V<W>;
  constexpr int P = W / 2;
  const typename U::u16 cv = typename U::u16{} + static_cast<uint16_t>(c);
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    const auto m = __builtin_convertvector(LoadV<typename U::u8h>(mask + i), typename U::u16);
    const auto d = LoadV<typename U::u16>(dst + 2 * i);
    typename U::u16 k = m;
    if (alpha < 255) {
      const auto mw = __builtin_convertvector(m, typename V<2 * W>::u32);
      const auto scaled = __builtin_convertvector((mw * alpha) >> 8, typename U::u16);
      k = (m == 255) ? static_cast<uint16_t>(alpha) : scaled;
    }
    const auto keep = (typename U::u16)(m == 0) | (typename U::u16)(d == cv);
    StoreV(dst + 2 * i, Select(keep, d, Blend16<D, W>(d, cv, k)));
  }
  for (; i < n; ++i) {
    const uint32_t m = mask[i];
    if (m == 0) continue;
    const uint32_t d = Load<D>(dst, i);
    if (d != c) Store<D>(dst, i, Blend<D>(d, c, ColorMaskWeight(m, alpha)));
  }
}

__attribute__((target("avx2"), always_inline)) inline __m256i Mix16(__m256i m, __m256i im,
                                                                    __m256i a, __m256i b) {
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(a, im), _mm256_mullo_epi16(b, m)),
                           8);
}

// The same for 5-6-5 and 5-5-5 pixels: sixteen at a time, the mask widened once.
template <int D>
__attribute__((target("avx2"))) void WipeMix16Wide(uint8_t* dst, const uint8_t* from,
                                                   const uint8_t* to, const uint8_t* mask,
                                                   int32_t n) {
  constexpr int kR = D == 16 ? 11 : 10;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i k255 = _mm256_set1_epi16(255);
  const __m256i five = _mm256_set1_epi16(31), green = _mm256_set1_epi16(D == 16 ? 63 : 31);
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i m8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
    const int ends = _mm_movemask_epi8(_mm_cmpeq_epi8(m8, _mm_set1_epi8(-1)));
    if (_mm_testz_si128(m8, m8) || ends == 0xFFFF) {
      std::memmove(dst + 2 * i, (ends ? to : from) + 2 * i, 32);
      continue;
    }
    const __m256i m = _mm256_cvtepu8_epi16(m8), im = _mm256_sub_epi16(k255, m);
    const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 2 * i));
    const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(to + 2 * i));
    const __m256i bl = Mix16(m, im, _mm256_and_si256(f, five), _mm256_and_si256(t, five));
    const __m256i gr = Mix16(m, im, _mm256_and_si256(_mm256_srli_epi16(f, 5), green),
                             _mm256_and_si256(_mm256_srli_epi16(t, 5), green));
    // At 16 bits red is the top field and needs no mask.
    const __m256i rf = _mm256_srli_epi16(f, kR), rt = _mm256_srli_epi16(t, kR);
    const __m256i rd = D == 16
                           ? Mix16(m, im, rf, rt)
                           : Mix16(m, im, _mm256_and_si256(rf, five), _mm256_and_si256(rt, five));
    __m256i r =
        _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi16(rd, kR), _mm256_slli_epi16(gr, 5)), bl);
    const __m256i none = _mm256_cmpeq_epi16(m, zero), full = _mm256_cmpeq_epi16(m, k255);
    if (!_mm256_testz_si256(_mm256_or_si256(none, full), _mm256_or_si256(none, full))) {
      r = _mm256_blendv_epi8(r, t, full);
      r = _mm256_blendv_epi8(r, f, none);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 2 * i), r);
  }
  for (; i < n; ++i) {
    const uint32_t mm = mask[i];
    const uint32_t fv = Load<D>(from, i), tv = Load<D>(to, i);
    Store<D>(dst, i, mm == 0 ? fv : mm == 255 ? tv : Blend<D>(fv, tv, mm));
  }
}

template <int D, int W, bool kSelect>
QP_INLINE void Wipe16(uint8_t* dst, const uint8_t* from, const uint8_t* to, const uint8_t* mask,
                      int32_t n) {
  if constexpr (W == 32) {
    if constexpr (kSelect)
      WipeSelectWide<2>(dst, from, to, mask, n);
    else
      WipeMix16Wide<D>(dst, from, to, mask, n);
    return;
  }
  using U = V<W>;
  constexpr int P = W / 2;
  int32_t i = 0;
  for (; i + P <= n; i += P) {
    const auto m8 = LoadV<typename U::u8h>(mask + i);
    if (!AnySet(m8)) {
      std::memmove(dst + 2 * i, from + 2 * i, 2 * P);
      continue;
    }
    if (!AnySet((typename U::u8h) ~m8)) {
      std::memmove(dst + 2 * i, to + 2 * i, 2 * P);
      continue;
    }
    const auto m = __builtin_convertvector(m8, typename U::u16);
    const auto f = LoadV<typename U::u16>(from + 2 * i);
    const auto t = LoadV<typename U::u16>(to + 2 * i);
    if constexpr (kSelect) {
      StoreV(dst + 2 * i, Select((typename U::u16)(m == 0), f, t));
    } else {
      auto r = Blend16<D, W>(f, t, m);
      const auto full = (typename U::u16)(m == 255), none = (typename U::u16)(m == 0);
      if (AnySet(full | none)) r = Select(none, f, Select(full, t, r));
      StoreV(dst + 2 * i, r);
    }
  }
  for (; i < n; ++i) {
    const uint32_t m = mask[i];
    const uint32_t f = Load<D>(from, i), t = Load<D>(to, i);
    if constexpr (kSelect) {
      Store<D>(dst, i, m ? t : f);
    } else {
      Store<D>(dst, i, m == 0 ? f : m == 255 ? t : Blend<D>(f, t, m));
    }
  }
}

// ---- instantiation: one set per depth and vector width ----

#define QP_DEFINE_OPS(SUFFIX, ATTR, W)                                                             \
  ATTR void Fill32##SUFFIX(uint8_t* d, int32_t n, uint32_t c) {                                    \
    Fill32<W>(d, n, c);                                                                            \
  }                                                                                                \
  ATTR void CopyKey32##SUFFIX(uint8_t* d, const uint8_t* s, int32_t n, int64_t k) {                \
    CopyKey32<W>(d, s, n, k);                                                                      \
  }                                                                                                \
  ATTR void Alpha32##SUFFIX(uint8_t* d, const uint8_t* s, int32_t n, uint32_t a, int64_t k) {      \
    Alpha32<W>(d, s, n, a, k);                                                                     \
  }                                                                                                \
  ATTR void Add32##SUFFIX(uint8_t* d, const uint8_t* s, int32_t n, uint32_t l, int64_t k) {        \
    Add32<W>(d, s, n, l, k);                                                                       \
  }                                                                                                \
  ATTR void Mask32##SUFFIX(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) {            \
    MaskFamily32<W, 0>(d, s, m, n, 0);                                                             \
  }                                                                                                \
  ATTR void AlphaMask32##SUFFIX(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n,         \
                                uint32_t a) {                                                      \
    MaskFamily32<W, 1>(d, s, m, n, a);                                                             \
  }                                                                                                \
  ATTR void AddMask32##SUFFIX(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n,           \
                              uint32_t l) {                                                        \
    MaskFamily32<W, 2>(d, s, m, n, l);                                                             \
  }                                                                                                \
  ATTR void FillAlpha32##SUFFIX(uint8_t* d, int32_t n, uint32_t c, uint32_t a) {                   \
    FillAlpha32<W>(d, n, c, a);                                                                    \
  }                                                                                                \
  ATTR void FillAdd32##SUFFIX(uint8_t* d, int32_t n, uint32_t c) {                                 \
    FillAddSub32<W, true>(d, n, c);                                                                \
  }                                                                                                \
  ATTR void FillSub32##SUFFIX(uint8_t* d, int32_t n, uint32_t c) {                                 \
    FillAddSub32<W, false>(d, n, c);                                                               \
  }                                                                                                \
  ATTR void ColorMask32##SUFFIX(uint8_t* d, const uint8_t* m, int32_t n, uint32_t c, uint32_t a) { \
    ColorMask32<W>(d, m, n, c, a);                                                                 \
  }                                                                                                \
  ATTR void WipeMix32##SUFFIX(uint8_t* d, const uint8_t* f, const uint8_t* t, const uint8_t* m,    \
                              int32_t n) {                                                         \
    Wipe32<W, false>(d, f, t, m, n);                                                               \
  }                                                                                                \
  ATTR void WipeSelect32##SUFFIX(uint8_t* d, const uint8_t* f, const uint8_t* t, const uint8_t* m, \
                                 int32_t n) {                                                      \
    Wipe32<W, true>(d, f, t, m, n);                                                                \
  }                                                                                                \
  constexpr TRowOps kOps32##SUFFIX{Fill32##SUFFIX,      CopyKey32##SUFFIX,   Alpha32##SUFFIX,      \
                                   Add32##SUFFIX,       Mask32##SUFFIX,      AlphaMask32##SUFFIX,  \
                                   AddMask32##SUFFIX,   FillAlpha32##SUFFIX, FillAdd32##SUFFIX,    \
                                   FillSub32##SUFFIX,   ColorMask32##SUFFIX, WipeMix32##SUFFIX,    \
                                   WipeSelect32##SUFFIX};

#define QP_DEFINE_OPS16(D, SUFFIX, ATTR, W)                                                      \
  ATTR void Fill##D##SUFFIX(uint8_t* d, int32_t n, uint32_t c) {                                 \
    Fill16<D, W>(d, n, c);                                                                       \
  }                                                                                              \
  ATTR void CopyKey##D##SUFFIX(uint8_t* d, const uint8_t* s, int32_t n, int64_t k) {             \
    CopyKey16<D, W>(d, s, n, k);                                                                 \
  }                                                                                              \
  ATTR void Alpha##D##SUFFIX(uint8_t* d, const uint8_t* s, int32_t n, uint32_t a, int64_t k) {   \
    Alpha16<D, W>(d, s, n, a, k);                                                                \
  }                                                                                              \
  ATTR void Add##D##SUFFIX(uint8_t* d, const uint8_t* s, int32_t n, uint32_t l, int64_t k) {     \
    Add16<D, W>(d, s, n, l, k);                                                                  \
  }                                                                                              \
  ATTR void Mask##D##SUFFIX(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) {         \
    MaskFamily16<D, W, 0>(d, s, m, n, 0);                                                        \
  }                                                                                              \
  ATTR void AlphaMask##D##SUFFIX(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n,      \
                                 uint32_t a) {                                                   \
    MaskFamily16<D, W, 1>(d, s, m, n, a);                                                        \
  }                                                                                              \
  ATTR void AddMask##D##SUFFIX(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n,        \
                               uint32_t l) {                                                     \
    MaskFamily16<D, W, 2>(d, s, m, n, l);                                                        \
  }                                                                                              \
  ATTR void FillAlpha##D##SUFFIX(uint8_t* d, int32_t n, uint32_t c, uint32_t a) {                \
    FillAlpha16<D, W>(d, n, c, a);                                                               \
  }                                                                                              \
  ATTR void FillAdd##D##SUFFIX(uint8_t* d, int32_t n, uint32_t c) {                              \
    FillAddSub16<D, W, true>(d, n, c);                                                           \
  }                                                                                              \
  ATTR void FillSub##D##SUFFIX(uint8_t* d, int32_t n, uint32_t c) {                              \
    FillAddSub16<D, W, false>(d, n, c);                                                          \
  }                                                                                              \
  ATTR void ColorMask##D##SUFFIX(uint8_t* d, const uint8_t* m, int32_t n, uint32_t c,            \
                                 uint32_t a) {                                                   \
    ColorMask16<D, W>(d, m, n, c, a);                                                            \
  }                                                                                              \
  ATTR void WipeMix##D##SUFFIX(uint8_t* d, const uint8_t* f, const uint8_t* t, const uint8_t* m, \
                               int32_t n) {                                                      \
    Wipe16<D, W, false>(d, f, t, m, n);                                                          \
  }                                                                                              \
  ATTR void WipeSelect##D##SUFFIX(uint8_t* d, const uint8_t* f, const uint8_t* t,                \
                                  const uint8_t* m, int32_t n) {                                 \
    Wipe16<D, W, true>(d, f, t, m, n);                                                           \
  }                                                                                              \
  constexpr TRowOps kOps##D##SUFFIX{                                                             \
      Fill##D##SUFFIX,      CopyKey##D##SUFFIX,   Alpha##D##SUFFIX,     Add##D##SUFFIX,          \
      Mask##D##SUFFIX,      AlphaMask##D##SUFFIX, AddMask##D##SUFFIX,   FillAlpha##D##SUFFIX,    \
      FillAdd##D##SUFFIX,   FillSub##D##SUFFIX,   ColorMask##D##SUFFIX, WipeMix##D##SUFFIX,      \
      WipeSelect##D##SUFFIX};

#define QP_AVX2 __attribute__((target("avx2")))

QP_DEFINE_OPS(Sse2, , 16)
QP_DEFINE_OPS(Avx2, QP_AVX2, 32)
QP_DEFINE_OPS16(15, Sse2, , 16)
QP_DEFINE_OPS16(15, Avx2, QP_AVX2, 32)
QP_DEFINE_OPS16(16, Sse2, , 16)
QP_DEFINE_OPS16(16, Avx2, QP_AVX2, 32)

std::atomic<bool> gForceScalar{false};

}  // namespace

TSimdLevel DetectedSimdLevel() {
  static const TSimdLevel level = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? TSimdLevel::Avx2 : TSimdLevel::Sse2;
  }();
  return level;
}

void SetForceScalar(bool force) {
  gForceScalar = force;
}
bool ScalarForced() {
  return gForceScalar;
}

const char* SimdLevelName(TSimdLevel level) {
  switch (level) {
    case TSimdLevel::Avx2:
      return "avx2";
    case TSimdLevel::Sse2:
      return "sse2";
    default:
      return "scalar";
  }
}

const TRowOps* GetSimdRowOps(int32_t bitCount, TSimdLevel level) {
  const bool avx2 = level == TSimdLevel::Avx2;
  if (level == TSimdLevel::Scalar) return nullptr;
  switch (bitCount) {
    case 15:
      return avx2 ? &kOps15Avx2 : &kOps15Sse2;
    case 16:
      return avx2 ? &kOps16Avx2 : &kOps16Sse2;
    case 32:
      return avx2 ? &kOps32Avx2 : &kOps32Sse2;
    default:
      return nullptr;
  }
}

const TRowOps* GetRowOps(int32_t bitCount) {
  if (!gForceScalar.load(std::memory_order_relaxed)) {
    if (const TRowOps* ops = GetSimdRowOps(bitCount, DetectedSimdLevel())) return ops;
  }
  return GetScalarRowOps(bitCount);
}

}  // namespace quen
