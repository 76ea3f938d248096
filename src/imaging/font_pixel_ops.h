// The pixel operations DrawChar is made of, in two versions that give the same bytes: plain
// rules that define them, and a faster version (row loops, and packed lanes for the glyph
// composition and the edge ring). Internal to the imaging layer.
#pragma once

#include <algorithm>
#include <cstdint>

namespace quen::detail {

// Rectangles in 64 bits: cells, edges and shadows may lie far outside any surface.
struct TRect64 {
  int64_t l = 0, t = 0, r = 0, b = 0;

  static TRect64 FromSize(int64_t x, int64_t y, int64_t w, int64_t h) {
    return TRect64{x, y, x + w, y + h};
  }
  bool Empty() const { return r <= l || b <= t; }
  TRect64 Intersect(const TRect64& o) const {
    TRect64 x{std::max(l, o.l), std::max(t, o.t), std::min(r, o.r), std::min(b, o.b)};
    return x.Empty() ? TRect64{} : x;
  }
  TRect64 Union(const TRect64& o) const {
    if (Empty()) return o;
    if (o.Empty()) return *this;
    return TRect64{std::min(l, o.l), std::min(t, o.t), std::max(r, o.r), std::max(b, o.b)};
  }
};

// The colour and alpha surfaces of one DrawChar, locked, with the clip both share.
struct TGlyphCanvas {
  uint8_t* color = nullptr;
  int64_t color_pitch = 0;
  int32_t bits = 0;  // 15, 16, 24 or 32
  int bpp = 0;
  uint8_t* alpha = nullptr;
  int64_t alpha_pitch = 0;
  TRect64 clip;
  uint32_t masks[3] = {0, 0, 0};  // colour channels
};

struct TGlyphCoverage {
  const uint8_t* bits = nullptr;
  int64_t pitch = 0;
  int32_t w = 0, h = 0;
};

struct TGlyphOps {
  // Colour := pixel and alpha := 255 over r.
  void (*FillBoth)(const TGlyphCanvas&, const TRect64& r, uint32_t pixel);
  void (*SetAlpha)(const TGlyphCanvas&, const TRect64& r, uint8_t value);
  void (*FillColor)(const TGlyphCanvas&, const TRect64& r, uint32_t pixel);
  // With the glyph's top-left at (x, y): alpha := coverage.
  void (*CopyCoverage)(const TGlyphCanvas&, const TGlyphCoverage&, int64_t x, int64_t y);
  // Colour := pixel wherever coverage is not 0.
  void (*InkColor)(const TGlyphCanvas&, const TGlyphCoverage&, int64_t x, int64_t y,
                   uint32_t pixel);
  // Alpha := max(alpha, coverage).
  void (*MaxAlpha)(const TGlyphCanvas&, const TGlyphCoverage&, int64_t x, int64_t y);
  // The glyph composed over the alpha surface in one colour; ring 0 composes it once at
  // (x, y), ring e > 0 at every offset (j, i), -e <= i, j <= e except (0, 0), i outer.
  void (*Compose)(const TGlyphCanvas&, const TGlyphCoverage&, int64_t x, int64_t y, uint32_t pixel,
                  int32_t ring);
  // The body over an edge: alpha := 255 where coverage is not 0; colour := text where it is
  // 255, text and edge mixed by coverage where it is partial.
  void (*Body)(const TGlyphCanvas&, const TGlyphCoverage&, int64_t x, int64_t y, uint32_t text,
               uint32_t edge);
};

const TGlyphOps& PlainGlyphOps();
const TGlyphOps& FastGlyphOps();

}  // namespace quen::detail
