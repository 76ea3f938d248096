// The faster DrawChar operations: typed row loops, and the glyph composition worked in packed
// 16-bit lanes (8 pixels on the SSE2 baseline, 16 inside functions built for AVX2) with every
// offset of an edge ring folded into each pixel while it sits in registers. Each pixel sees
// the offsets in the same order as the plain passes, so the bytes are the same. 24-bit
// surfaces take the plain rules.
#include <cstring>
#include <vector>

#include "imaging/font_pixel_ops.h"
#include "imaging/row_ops.h"

#pragma GCC diagnostic ignored "-Wpsabi"

namespace quen::detail {
namespace {

#define QP_INLINE inline __attribute__((always_inline))

template <class T>
QP_INLINE T Load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}
template <class T>
QP_INLINE void Store(uint8_t* p, T v) {
  std::memcpy(p, &v, sizeof(T));
}

// One colour channel: its place in the pixel and its width.
struct TChannel {
  uint32_t shift = 0;
  uint32_t field = 0;  // mask >> shift
};

void Channels(const TGlyphCanvas& c, TChannel* out) {
  for (int k = 0; k < 3; ++k) {
    const uint32_t m = c.masks[k];
    out[k].shift = m ? static_cast<uint32_t>(__builtin_ctz(m)) : 0;
    out[k].field = m >> out[k].shift;
  }
}

template <class T>
void FillBothT(const TGlyphCanvas& c, const TRect64& rect, uint32_t pixel) {
  const TRect64 r = rect.Intersect(c.clip);
  for (int64_t y = r.t; y < r.b; ++y) {
    uint8_t* row = c.color + y * c.color_pitch;
    for (int64_t x = r.l; x < r.r; ++x) Store<T>(row + x * sizeof(T), static_cast<T>(pixel));
    if (r.r > r.l)
      std::memset(c.alpha + y * c.alpha_pitch + r.l, 255, static_cast<size_t>(r.r - r.l));
  }
}

template <class T>
void FillColorT(const TGlyphCanvas& c, const TRect64& rect, uint32_t pixel) {
  const TRect64 r = rect.Intersect(c.clip);
  for (int64_t y = r.t; y < r.b; ++y) {
    uint8_t* row = c.color + y * c.color_pitch;
    for (int64_t x = r.l; x < r.r; ++x) Store<T>(row + x * sizeof(T), static_cast<T>(pixel));
  }
}

template <class T>
void InkColorT(const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y,
               uint32_t pixel) {
  const TRect64 r = TRect64::FromSize(x, y, g.w, g.h).Intersect(c.clip);
  for (int64_t dy = r.t; dy < r.b; ++dy) {
    const uint8_t* src = g.bits + (dy - y) * g.pitch - x;
    uint8_t* row = c.color + dy * c.color_pitch;
    for (int64_t dx = r.l; dx < r.r; ++dx) {
      if (src[dx]) Store<T>(row + dx * sizeof(T), static_cast<T>(pixel));
    }
  }
}

// Text and edge mixed by coverage v, channel by channel: ((t × v + e × (255 - v)) >> 8)
// placed back, which is what the masked rule gives for every contiguous channel.
template <class T>
void BodyT(const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y, uint32_t text,
           uint32_t edge) {
  TChannel ch[3];
  Channels(c, ch);
  uint32_t tf[3], ef[3];
  for (int k = 0; k < 3; ++k) {
    tf[k] = (text >> ch[k].shift) & ch[k].field;
    ef[k] = (edge >> ch[k].shift) & ch[k].field;
  }
  const TRect64 r = TRect64::FromSize(x, y, g.w, g.h).Intersect(c.clip);
  for (int64_t dy = r.t; dy < r.b; ++dy) {
    const uint8_t* src = g.bits + (dy - y) * g.pitch - x;
    uint8_t* row = c.color + dy * c.color_pitch;
    uint8_t* arow = c.alpha + dy * c.alpha_pitch;
    for (int64_t dx = r.l; dx < r.r; ++dx) {
      const uint32_t v = src[dx];
      if (v == 0) continue;
      arow[dx] = 255;
      uint32_t out = text;
      if (v != 255) {
        out = 0;
        for (int k = 0; k < 3; ++k) out |= ((tf[k] * v + ef[k] * (255 - v)) >> 8) << ch[k].shift;
      }
      Store<T>(row + dx * sizeof(T), static_cast<T>(out));
    }
  }
}

// The coverage surrounded by 2 × ring zero pixels on every side and one vector's worth more on
// the right, so that every offset of every destination lane reads inside it.
struct TPadded {
  std::vector<uint8_t> bytes;
  int64_t pitch = 0;
  int64_t pad = 0;
};

void MakePadded(const TGlyphCoverage& g, int32_t ring, int lanes, TPadded& p) {
  p.pad = 2 * int64_t{ring};
  p.pitch = g.w + 2 * p.pad + lanes;
  const int64_t rows = g.h + 2 * p.pad;
  p.bytes.assign(static_cast<size_t>(p.pitch * rows), 0);
  for (int32_t y = 0; y < g.h; ++y)
    std::memcpy(&p.bytes[static_cast<size_t>((y + p.pad) * p.pitch + p.pad)], g.bits + y * g.pitch,
                static_cast<size_t>(g.w));
}

template <int L>
struct Lanes {
  typedef uint8_t u8 __attribute__((vector_size(L)));
  typedef uint16_t u16 __attribute__((vector_size(2 * L)));
  typedef float f32 __attribute__((vector_size(4 * L)));
  typedef int32_t s32 __attribute__((vector_size(4 * L)));
};

template <class V>
QP_INLINE V Splat(uint16_t v) {
  V r;
  for (size_t k = 0; k < sizeof(V) / 2; ++k) r[k] = v;
  return r;
}

template <int L>
QP_INLINE bool AllZero(const uint8_t* p) {
  uint64_t acc = 0;
  for (int k = 0; k < L; k += 8) acc |= Load<uint64_t>(p + k);
  return acc == 0;
}

// Composes the coverage in one colour over the alpha surface, at (x, y) once (ring 0) or at
// every ring offset. The area is unpacked into planar lanes of L pixels first; then each
// offset is one pass over all lane groups, which are independent of each other, so the long
// chain of one pixel's offsets never stalls the processor.
template <int L, class T>
QP_INLINE void ComposeLanes(const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y,
                            uint32_t pixel, int32_t ring) {
  using U = Lanes<L>;
  typedef typename U::u16 u16;
  typedef T tv __attribute__((vector_size(sizeof(T) * L)));
  // State of one group of L pixels, five lane vectors: alpha, the three channels, and what
  // happened last (0 untouched: every bit kept; 1 mixed: rebuilt from the channels; 3 full
  // coverage: the colour as given, bits outside the channels included). Kept in plain
  // 16-bit storage and moved with unaligned loads.
  struct Group {
    u16 a, c0, c1, c2, state;
  };
  constexpr size_t kGroup = 5 * L;
  const auto get = [](const uint16_t* p) __attribute__((always_inline)) {
    Group s;
    s.a = Load<u16>(reinterpret_cast<const uint8_t*>(p));
    s.c0 = Load<u16>(reinterpret_cast<const uint8_t*>(p + L));
    s.c1 = Load<u16>(reinterpret_cast<const uint8_t*>(p + 2 * L));
    s.c2 = Load<u16>(reinterpret_cast<const uint8_t*>(p + 3 * L));
    s.state = Load<u16>(reinterpret_cast<const uint8_t*>(p + 4 * L));
    return s;
  };
  const auto put = [](uint16_t * p, const Group& s) __attribute__((always_inline)) {
    Store<u16>(reinterpret_cast<uint8_t*>(p), s.a);
    Store<u16>(reinterpret_cast<uint8_t*>(p + L), s.c0);
    Store<u16>(reinterpret_cast<uint8_t*>(p + 2 * L), s.c1);
    Store<u16>(reinterpret_cast<uint8_t*>(p + 3 * L), s.c2);
    Store<u16>(reinterpret_cast<uint8_t*>(p + 4 * L), s.state);
  };
  static thread_local TPadded padded;
  static thread_local std::vector<uint16_t> groups;
  MakePadded(g, ring, L, padded);
  const int64_t e = ring;
  const TRect64 area = TRect64::FromSize(x - e, y - e, g.w + 2 * e, g.h + 2 * e).Intersect(c.clip);
  if (area.Empty()) return;
  const int64_t per_row = (area.r - area.l + L - 1) / L;
  const int64_t rows = area.b - area.t;
  groups.resize(static_cast<size_t>(per_row * rows) * kGroup);

  TChannel ch[3];
  Channels(c, ch);
  u16 ef[3];
  for (int k = 0; k < 3; ++k)
    ef[k] = Splat<u16>(static_cast<uint16_t>((pixel >> ch[k].shift) & ch[k].field));
  const u16 k255 = Splat<u16>(255);
  const u16 one = Splat<u16>(1);
  tv sh[3], fm[3], px;
  for (int k = 0; k < L; ++k) {
    for (int q = 0; q < 3; ++q) {
      sh[q][k] = static_cast<T>(ch[q].shift);
      fm[q][k] = static_cast<T>(ch[q].field);
    }
    px[k] = static_cast<T>(pixel);
  }

  for (int64_t r = 0; r < rows; ++r) {
    const uint8_t* crow = c.color + (area.t + r) * c.color_pitch;
    const uint8_t* arow = c.alpha + (area.t + r) * c.alpha_pitch;
    for (int64_t k = 0; k < per_row; ++k) {
      const int64_t dx = area.l + k * L;
      const int n = static_cast<int>(std::min<int64_t>(L, area.r - dx));
      tv orig = tv{};
      typename U::u8 a8 = typename U::u8{};
      std::memcpy(&orig, crow + dx * int64_t{sizeof(T)}, static_cast<size_t>(n) * sizeof(T));
      std::memcpy(&a8, arow + dx, static_cast<size_t>(n));
      Group s;
      s.a = __builtin_convertvector(a8, u16);
      s.c0 = __builtin_convertvector((orig >> sh[0]) & fm[0], u16);
      s.c1 = __builtin_convertvector((orig >> sh[1]) & fm[1], u16);
      s.c2 = __builtin_convertvector((orig >> sh[2]) & fm[2], u16);
      s.state = u16{};
      put(&groups[static_cast<size_t>(r * per_row + k) * kGroup], s);
    }
  }

  for (int32_t i = -ring; i <= ring; ++i) {
    for (int32_t j = -ring; j <= ring; ++j) {
      if (ring > 0 && i == 0 && j == 0) continue;
      for (int64_t r = 0; r < rows; ++r) {
        const uint8_t* src = &padded.bytes[static_cast<size_t>(
            (area.t + r - y - i + padded.pad) * padded.pitch + (area.l - x - j + padded.pad))];
        uint16_t* gp = &groups[static_cast<size_t>(r * per_row) * kGroup];
        for (int64_t k = 0; k < per_row; ++k, src += L, gp += kGroup) {
          if (AllZero<L>(src)) continue;
          Group st = get(gp);
          Group* s = &st;
          const u16 cv = __builtin_convertvector(Load<typename U::u8>(src), u16);
          const u16 full = (u16)(cv == k255) & one;
          const u16 zero = (u16)(cv == u16{}) & one;
          // Coverage 0 leaves alpha as it is and 255 makes it 255 under the same rule, so
          // the new alpha needs no choosing.
          const u16 t = cv * (k255 - s->a);
          const u16 a = s->a + ((t + one + (t >> 8)) >> 8);
          s->a = a;
          // a >= cv now, so k <= 255; the float quotient truncates exactly (see the plain
          // rule).
          const typename U::f32 qf = __builtin_convertvector(cv * k255, typename U::f32) /
                                     __builtin_convertvector(a | zero, typename U::f32);
          const u16 kq = __builtin_convertvector(__builtin_convertvector(qf, typename U::s32), u16);
          // Weights (k, 255 - k) mix a partial pixel; (256, 0) give the colour itself for
          // full coverage and (0, 256) keep the pixel where there is none.
          const u16 wk = kq + full;
          const u16 wr = k255 - kq + zero;
          s->c0 = (ef[0] * wk + s->c0 * wr) >> 8;
          s->c1 = (ef[1] * wk + s->c1 * wr) >> 8;
          s->c2 = (ef[2] * wk + s->c2 * wr) >> 8;
          const u16 keep = u16{} - zero;
          s->state = (s->state & keep) | (~keep & (one + full + full));
          put(gp, st);
        }
      }
    }
  }

  for (int64_t r = 0; r < rows; ++r) {
    uint8_t* crow = c.color + (area.t + r) * c.color_pitch;
    uint8_t* arow = c.alpha + (area.t + r) * c.alpha_pitch;
    for (int64_t k = 0; k < per_row; ++k) {
      const int64_t dx = area.l + k * L;
      const int n = static_cast<int>(std::min<int64_t>(L, area.r - dx));
      const Group s = get(&groups[static_cast<size_t>(r * per_row + k) * kGroup]);
      tv orig = tv{};
      std::memcpy(&orig, crow + dx * int64_t{sizeof(T)}, static_cast<size_t>(n) * sizeof(T));
      const tv rebuilt = (__builtin_convertvector(s.c0, tv) << sh[0]) |
                         (__builtin_convertvector(s.c1, tv) << sh[1]) |
                         (__builtin_convertvector(s.c2, tv) << sh[2]);
      const tv state = __builtin_convertvector(s.state, tv);
      const tv kept = (tv)(state == tv{}), mixed = (tv)(state == (tv{} + 1));
      const tv out = (orig & kept) | (rebuilt & mixed) | (px & ~(kept | mixed));
      std::memcpy(crow + dx * int64_t{sizeof(T)}, &out, static_cast<size_t>(n) * sizeof(T));
      const typename U::u8 a8 = __builtin_convertvector(s.a, typename U::u8);
      std::memcpy(arow + dx, &a8, static_cast<size_t>(n));
    }
  }
}

template <class T>
void ComposeSse2(const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y,
                 uint32_t pixel, int32_t ring) {
  ComposeLanes<8, T>(c, g, x, y, pixel, ring);
}

template <class T>
__attribute__((target("avx2"))) void ComposeAvx2(const TGlyphCanvas& c, const TGlyphCoverage& g,
                                                 int64_t x, int64_t y, uint32_t pixel,
                                                 int32_t ring) {
  ComposeLanes<16, T>(c, g, x, y, pixel, ring);
}

bool Wide(const TGlyphCanvas& c) {
  return c.bits == 32;
}

const TGlyphOps kFast = {
    [](const TGlyphCanvas& c, const TRect64& r, uint32_t pixel) {
      if (c.bits == 24) return PlainGlyphOps().FillBoth(c, r, pixel);
      Wide(c) ? FillBothT<uint32_t>(c, r, pixel) : FillBothT<uint16_t>(c, r, pixel);
    },
    [](const TGlyphCanvas& c, const TRect64& rect, uint8_t value) {
      const TRect64 r = rect.Intersect(c.clip);
      if (r.Empty()) return;
      for (int64_t y = r.t; y < r.b; ++y)
        std::memset(c.alpha + y * c.alpha_pitch + r.l, value, static_cast<size_t>(r.r - r.l));
    },
    [](const TGlyphCanvas& c, const TRect64& r, uint32_t pixel) {
      if (c.bits == 24) return PlainGlyphOps().FillColor(c, r, pixel);
      Wide(c) ? FillColorT<uint32_t>(c, r, pixel) : FillColorT<uint16_t>(c, r, pixel);
    },
    [](const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y) {
      const TRect64 r = TRect64::FromSize(x, y, g.w, g.h).Intersect(c.clip);
      if (r.Empty()) return;
      for (int64_t dy = r.t; dy < r.b; ++dy)
        std::memcpy(c.alpha + dy * c.alpha_pitch + r.l, g.bits + (dy - y) * g.pitch + (r.l - x),
                    static_cast<size_t>(r.r - r.l));
    },
    [](const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y, uint32_t pixel) {
      if (c.bits == 24) return PlainGlyphOps().InkColor(c, g, x, y, pixel);
      Wide(c) ? InkColorT<uint32_t>(c, g, x, y, pixel) : InkColorT<uint16_t>(c, g, x, y, pixel);
    },
    [](const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y) {
      const TRect64 r = TRect64::FromSize(x, y, g.w, g.h).Intersect(c.clip);
      for (int64_t dy = r.t; dy < r.b; ++dy) {
        const uint8_t* src = g.bits + (dy - y) * g.pitch - x;
        uint8_t* arow = c.alpha + dy * c.alpha_pitch;
        for (int64_t dx = r.l; dx < r.r; ++dx) arow[dx] = std::max(arow[dx], src[dx]);
      }
    },
    [](const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y, uint32_t pixel,
       int32_t ring) {
      if (c.bits == 24) return PlainGlyphOps().Compose(c, g, x, y, pixel, ring);
      const bool avx2 = DetectedSimdLevel() == TSimdLevel::Avx2;
      if (Wide(c)) {
        avx2 ? ComposeAvx2<uint32_t>(c, g, x, y, pixel, ring)
             : ComposeSse2<uint32_t>(c, g, x, y, pixel, ring);
      } else {
        avx2 ? ComposeAvx2<uint16_t>(c, g, x, y, pixel, ring)
             : ComposeSse2<uint16_t>(c, g, x, y, pixel, ring);
      }
    },
    [](const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y, uint32_t text,
       uint32_t edge) {
      if (c.bits == 24) return PlainGlyphOps().Body(c, g, x, y, text, edge);
      Wide(c) ? BodyT<uint32_t>(c, g, x, y, text, edge) : BodyT<uint16_t>(c, g, x, y, text, edge);
    },
};

}  // namespace

const TGlyphOps& FastGlyphOps() {
  return kFast;
}

}  // namespace quen::detail
