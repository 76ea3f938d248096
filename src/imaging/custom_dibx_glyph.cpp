// Oversampled glyphs and palette-indexed drawing.
#include <algorithm>

#include "imaging/custom_dibx.h"
#include "imaging/pixel_convert.h"
#include "imaging/surface_access.h"

namespace quen {

using detail::TApply;
using detail::TBlendKind;
using detail::TView;

namespace {

// Channel masks of a depth; 32-bit pixels carry their fourth byte as a fourth channel.
int ChannelMasks(int32_t bits, uint32_t* masks) {
  switch (bits) {
    case 8:
      masks[0] = 0xFF;
      return 1;
    case 15:
      masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
      return 3;
    case 16:
      masks[0] = 0xF800, masks[1] = 0x07E0, masks[2] = 0x001F;
      return 3;
    case 24:
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
      return 3;
    default:
      masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF, masks[3] = 0xFF000000;
      return 4;
  }
}

// Σ (colour & M) × weight + (d & M) × dWeight, divided by total, limited to M. Worked in 64
// bits: 0xFF000000 × 4096 does not fit in 32.
uint32_t Mix(const uint32_t* masks, int nMasks, const uint32_t* colors, const uint64_t* weights,
             int nColors, uint32_t d, uint64_t dWeight, uint64_t total) {
  uint32_t r = 0;
  for (int k = 0; k < nMasks; ++k) {
    const uint64_t m = masks[k];
    uint64_t sum = (d & m) * dWeight;
    for (int c = 0; c < nColors; ++c) sum += (colors[c] & m) * weights[c];
    const uint64_t v = sum / total;
    r |= static_cast<uint32_t>((v < m ? v : m) & m);
  }
  return r;
}

// Where an oversampled glyph lands: the destination is srcRect's size divided by factor.
struct TGlyphPlace {
  detail::TBlit b;
  int64_t unitX0 = 0, unitY0 = 0;  // first destination unit counted from the drawing's corner
};

bool PlaceGlyph(TCustomDIBX& dst, int32_t x, int32_t y, int32_t factor, TRect& srcRect,
                TCustomDIBX& source, TGlyphPlace& out) {
  if (factor <= 0 || factor > 64) return false;
  srcRect = srcRect.Intersect(TRect{0, 0, source.Width(), source.Height()});
  if (srcRect.IsEmpty()) return false;
  const TRect units{0, 0, srcRect.Width() / factor, srcRect.Height() / factor};
  if (!detail::ClipBlit(dst.ClipRect(), x, y, units, false, false, out.b)) return false;
  out.unitX0 = int64_t{out.b.dx} - x;
  out.unitY0 = int64_t{out.b.dy} - y;
  return true;
}

// First source column (or row) of destination unit u; flipped glyphs are read from the far
// edge backwards.
int64_t UnitStart(int64_t u, int32_t factor, int32_t lo, int32_t hi, bool flip) {
  return flip ? hi - (u + 1) * factor : lo + u * factor;
}

}  // namespace

void TCustomDIBX::DrawMonoGlyph(int32_t x, int32_t y, int32_t factor, int32_t alpha, bool flipV,
                                bool flipH, uint32_t pixel, TRect srcRect, TCustomDIBX& source) {
  if (alpha <= 0 || source.BitCount() != 1 || !GetRowOps(BitCount())) return;
  TGlyphPlace p;
  if (!PlaceGlyph(*this, x, y, factor, srcRect, source, p)) return;
  TView dv(*this);
  TView sv(source);
  if (!dv.Ok() || !sv.Ok()) return;
  uint32_t masks[4];
  const int nMasks = ChannelMasks(dv.Bits(), masks);
  const uint64_t total = static_cast<uint64_t>(factor) * factor;
  const uint64_t a = static_cast<uint64_t>(std::min(alpha, 255));
  for (int32_t r = 0; r < p.b.h; ++r) {
    const int64_t sy0 = UnitStart(p.unitY0 + r, factor, srcRect.Top, srcRect.Bottom, flipV);
    uint8_t* drow = dv.Row(p.b.dy + r);
    for (int32_t c = 0; c < p.b.w; ++c) {
      const int64_t sx0 = UnitStart(p.unitX0 + c, factor, srcRect.Left, srcRect.Right, flipH);
      uint64_t ink = 0;
      for (int32_t j = 0; j < factor; ++j) {
        const uint8_t* srow = sv.Row(sy0 + j);
        for (int32_t i = 0; i < factor; ++i) {
          const int64_t sx = sx0 + i;
          ink += ((srow[sx >> 3] >> (7 - (sx & 7))) & 1) == 0;
        }
      }
      if (a < 255) ink = (a * ink) >> 8;
      if (ink == 0) continue;
      const uint32_t d = LoadPixel(drow, dv.Bits(), p.b.dx + c);
      StorePixel(drow, dv.Bits(), p.b.dx + c,
                 Mix(masks, nMasks, &pixel, &ink, 1, d, total - ink, total));
    }
  }
}

void TCustomDIBX::DrawOutlineGlyph(int32_t x, int32_t y, int32_t factor, int32_t blend, bool flipV,
                                   bool flipH, uint32_t pixel1, uint32_t pixel2, uint32_t pixel3,
                                   TRect srcRect, TCustomDIBX& source) {
  if (blend <= 0 || source.BitCount() != 4 || !GetRowOps(BitCount())) return;
  TGlyphPlace p;
  if (!PlaceGlyph(*this, x, y, factor, srcRect, source, p)) return;
  TView dv(*this);
  TView sv(source);
  if (!dv.Ok() || !sv.Ok()) return;
  uint32_t masks[4];
  const int nMasks = ChannelMasks(dv.Bits(), masks);
  const uint64_t subs = static_cast<uint64_t>(factor) * factor;
  const uint64_t total = subs * 256;
  const uint32_t colors[3] = {pixel1, pixel2, pixel3};
  const uint64_t perSub = blend == 255 ? 256 : static_cast<uint64_t>(blend % 256);
  const bool additive = blend > 255;
  for (int32_t r = 0; r < p.b.h; ++r) {
    const int64_t sy0 = UnitStart(p.unitY0 + r, factor, srcRect.Top, srcRect.Bottom, flipV);
    uint8_t* drow = dv.Row(p.b.dy + r);
    for (int32_t c = 0; c < p.b.w; ++c) {
      const int64_t sx0 = UnitStart(p.unitX0 + c, factor, srcRect.Left, srcRect.Right, flipH);
      uint64_t count[4] = {0, 0, 0, 0};
      for (int32_t j = 0; j < factor; ++j) {
        const uint8_t* srow = sv.Row(sy0 + j);
        for (int32_t i = 0; i < factor; ++i) {
          const int64_t sx = sx0 + i;
          const uint8_t b = srow[sx >> 1];
          ++count[((sx & 1) ? b : (b >> 4)) & 3];
        }
      }
      if (count[0] == subs) continue;
      const int32_t dx = p.b.dx + c;
      if (blend == 255 && count[1] == subs) {
        StorePixel(drow, dv.Bits(), dx, pixel1);
        continue;
      }
      if (blend == 255 && count[2] == subs) {
        StorePixel(drow, dv.Bits(), dx, pixel2);
        continue;
      }
      const uint64_t w[3] = {count[1] * perSub, count[2] * perSub, count[3] * perSub};
      const uint64_t back = additive ? total : total - w[0] - w[1] - w[2];
      const uint32_t d = LoadPixel(drow, dv.Bits(), dx);
      StorePixel(drow, dv.Bits(), dx, Mix(masks, nMasks, colors, w, 3, d, back, total));
    }
  }
}

namespace {

// Applies a row of mapped pixels in runs, leaving out the places marked false.
void RunApply(const TApply& apply, uint8_t* d, const uint8_t* s, const uint8_t* keep, int32_t n,
              int bpp) {
  int32_t i = 0;
  while (i < n) {
    while (i < n && !keep[i]) ++i;
    const int32_t start = i;
    while (i < n && keep[i]) ++i;
    if (i > start)
      apply.Run(d + int64_t{start} * bpp, s + int64_t{start} * bpp, nullptr, i - start);
  }
}

}  // namespace

void TCustomDIBX::DrawIndexed16(int32_t x, int32_t y, const uint32_t* table16, int32_t blend,
                                bool flipV, bool flipH, TRect srcRect, TCustomDIBX& source) {
  const TApply apply = detail::ApplyForBlend(blend, false, -1, GetRowOps(BitCount()));
  if (apply.kind == TBlendKind::None || !table16 || source.BitCount() != 4) return;
  if (!detail::ClampSource(srcRect, x, y, flipV, flipH, source.Width(), source.Height())) return;
  detail::TBlit b;
  if (!detail::ClipBlit(ClipRect(), x, y, srcRect, flipV, flipH, b)) return;
  TView dv(*this);
  TView sv(source);
  if (!dv.Ok() || !sv.Ok()) return;
  const int bpp = dv.Bpp();
  std::vector<uint8_t> pix(static_cast<size_t>(b.w) * 4), keep(static_cast<size_t>(b.w));
  const int32_t key = source.ColorKey();
  for (int32_t r = 0; r < b.h; ++r) {
    const uint8_t* srow = sv.Row(b.flipV ? b.sy - r : b.sy + r);
    for (int32_t j = 0; j < b.w; ++j) {
      const uint32_t idx = LoadPixel(srow, 4, static_cast<int32_t>(b.flipH ? b.sx - j : b.sx + j));
      keep[j] = static_cast<int32_t>(idx) != key;
      StorePixel(pix.data(), dv.Bits(), j, table16[idx]);
    }
    RunApply(apply, dv.At(b.dx, b.dy + r), pix.data(), keep.data(), b.w, bpp);
  }
}

void TCustomDIBX::DrawIndexedAdd(int32_t x, int32_t y, const uint32_t* table256, int32_t level,
                                 bool flipV, bool flipH, int32_t threshold, TRect srcRect,
                                 TCustomDIBX& source) {
  const TApply apply = detail::ApplyForBlend(level > 0 ? 256 + std::min(level, 255) : 0, false, -1,
                                             GetRowOps(BitCount()));
  if (apply.kind == TBlendKind::None || !table256 || source.BitCount() != 8) return;
  if (!detail::ClampSource(srcRect, x, y, flipV, flipH, source.Width(), source.Height())) return;
  detail::TBlit b;
  if (!detail::ClipBlit(ClipRect(), x, y, srcRect, flipV, flipH, b)) return;
  TView dv(*this);
  TView sv(source);
  if (!dv.Ok() || !sv.Ok()) return;
  const int bpp = dv.Bpp();
  std::vector<uint8_t> pix(static_cast<size_t>(b.w) * 4), keep(static_cast<size_t>(b.w));
  for (int32_t r = 0; r < b.h; ++r) {
    const uint8_t* srow = sv.Row(b.flipV ? b.sy - r : b.sy + r);
    for (int32_t j = 0; j < b.w; ++j) {
      const uint32_t idx = srow[b.flipH ? b.sx - j : b.sx + j];
      keep[j] = static_cast<int32_t>(idx) >= threshold;
      StorePixel(pix.data(), dv.Bits(), j, table256[idx]);
    }
    RunApply(apply, dv.At(b.dx, b.dy + r), pix.data(), keep.data(), b.w, bpp);
  }
}

void TCustomDIBX::StretchIndexedAdd(const TRect& destRect, TCustomDIBX& source,
                                    const uint32_t* table256, int32_t level, bool flipV, bool flipH,
                                    int32_t threshold, TRect srcRect) {
  const TApply apply = detail::ApplyForBlend(level > 0 ? 256 + std::min(level, 255) : 0, false, -1,
                                             GetRowOps(BitCount()));
  if (apply.kind == TBlendKind::None || !table256 || source.BitCount() != 8) return;
  srcRect = srcRect.Intersect(TRect{0, 0, source.Width(), source.Height()});
  const TRect clip = destRect.Intersect(ClipRect());
  detail::TStretchMap map;
  if (!detail::MakeStretchMap(destRect, srcRect, clip, flipV, flipH, map)) return;
  TView dv(*this);
  TView sv(source);
  if (!dv.Ok() || !sv.Ok()) return;
  const int bpp = dv.Bpp();
  const int32_t cw = clip.Width();
  std::vector<uint8_t> pix(static_cast<size_t>(cw) * 4), keep(static_cast<size_t>(cw));
  for (int32_t i = 0; i < clip.Height(); ++i) {
    const int64_t srow = map.SourceRow(i);
    if (srow < 0) continue;
    const uint8_t* s = sv.Row(srow);
    for (int32_t j = 0; j < cw; ++j) {
      const uint32_t idx = s[map.cols[j]];
      keep[j] = static_cast<int32_t>(idx) >= threshold;
      StorePixel(pix.data(), dv.Bits(), j, table256[idx]);
    }
    RunApply(apply, dv.At(clip.Left, clip.Top + i), pix.data(), keep.data(), cw, bpp);
  }
}

}  // namespace quen
