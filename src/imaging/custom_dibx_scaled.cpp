// Stretched, rotated, patterned and tiled drawing. Each gathers the source pixels of one
// destination row and hands the row to the family's row operation.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "imaging/custom_dibx.h"
#include "imaging/pixel_convert.h"
#include "imaging/surface_access.h"

namespace quen {

using detail::TApply;
using detail::TBlendKind;
using detail::TView;

namespace {

int64_t FloorMod(int64_t a, int64_t m) {
  const int64_t r = a % m;
  return r < 0 ? r + m : r;
}

TApply StretchApply(int32_t alpha, bool masked) {
  TApply a;
  if (alpha <= 0) return a;
  if (alpha >= 255) {
    a.kind = masked ? TBlendKind::Mask : TBlendKind::Copy;
  } else {
    a.kind = masked ? TBlendKind::AlphaMask : TBlendKind::Alpha;
    a.factor = static_cast<uint32_t>(alpha);
  }
  return a;
}

TApply AddApply(int32_t level, bool masked) {
  TApply a;
  if (level <= 0) return a;
  a.kind = masked ? TBlendKind::AddMask : TBlendKind::Add;
  a.factor = static_cast<uint32_t>(std::min(level, 255));
  return a;
}

// The source rectangle cut to the source and, when given, the mask.
bool CutSource(TRect& src, TCustomDIBX& source, TCustomDIBX* mask) {
  TRect bounds{0, 0, source.Width(), source.Height()};
  if (mask) bounds = bounds.Intersect(TRect{0, 0, mask->Width(), mask->Height()});
  src = src.Intersect(bounds);
  return !src.IsEmpty();
}

// Reads pixels at scattered places in the destination's format.
class TScatterFetch {
 public:
  TScatterFetch(const TView& src, int32_t dstBits, int32_t n)
      : src_(src), dst_bits_(dstBits), buf_(static_cast<size_t>(n) * 4 + 4) {}
  const uint8_t* Fetch(const int32_t* cols, const int32_t* rows, int32_t n) {
    const int32_t sb = src_.Bits();
    if (sb == dst_bits_ && sb >= 8) {
      const int bpp = src_.Bpp();
      if (bpp == 4) {
        uint32_t* out = reinterpret_cast<uint32_t*>(buf_.data());
        for (int32_t i = 0; i < n; ++i) std::memcpy(out + i, src_.At(cols[i], rows[i]), 4);
      } else if (bpp == 2) {
        uint16_t* out = reinterpret_cast<uint16_t*>(buf_.data());
        for (int32_t i = 0; i < n; ++i) std::memcpy(out + i, src_.At(cols[i], rows[i]), 2);
      } else {
        for (int32_t i = 0; i < n; ++i)
          std::memcpy(buf_.data() + i * bpp, src_.At(cols[i], rows[i]), bpp);
      }
    } else {
      for (int32_t i = 0; i < n; ++i) {
        ConvertRow(src_.Row(rows[i]), sb, src_.Palette(), cols[i], buf_.data(), dst_bits_, nullptr,
                   i, 1);
      }
    }
    return buf_.data();
  }

 private:
  const TView& src_;
  int32_t dst_bits_;
  std::vector<uint8_t> buf_;
};

void StretchBlit(TCustomDIBX& dst, const TRect& destRect, TRect srcRect, TCustomDIBX& source,
                 TCustomDIBX* mask, bool flipV, bool flipH, bool transparent, TApply apply) {
  apply.ops = GetRowOps(dst.BitCount());
  if (!apply.ops || apply.kind == TBlendKind::None) return;
  if (mask && mask->BitCount() != 8) return;
  if (destRect.IsEmpty() || !CutSource(srcRect, source, mask)) return;
  const TRect clip = destRect.Intersect(dst.ClipRect());
  if (clip.IsEmpty()) return;
  detail::TDrawViews views(dst, source, mask);
  if (!views.Ok()) return;
  detail::TView& dv = views.dst;
  detail::TView& sv = views.src;
  detail::TView* mv = views.Mask();
  detail::TStretchMap map;
  if (!detail::MakeStretchMap(destRect, srcRect, clip, flipV, flipH, map)) return;
  const int32_t cw = clip.Width();
  const std::vector<int32_t>& cols = map.cols;
  detail::TRowFetcher fetch(sv, dv.Bits(), cw);
  apply.key = transparent ? fetch.ConvertKey(source.ColorKey()) : -1;
  std::vector<uint8_t> mbuf(static_cast<size_t>(cw) + 1);
  int64_t lastRow = -1;
  const uint8_t* s = nullptr;
  for (int32_t i = 0; i < clip.Height(); ++i) {
    const int64_t srow = map.SourceRow(i);
    if (srow < 0) continue;
    if (srow != lastRow) {
      s = fetch.Gather(srow, cols.data(), cw);
      if (mv) {
        const uint8_t* mr = mv->Row(srow);
        for (int32_t j = 0; j < cw; ++j) mbuf[j] = mr[cols[j]];
      }
      lastRow = srow;
    }
    apply.Run(dv.At(clip.Left, clip.Top + i), s, mv ? mbuf.data() : nullptr, cw);
  }
}

// Narrows [first, last] to the k with lo <= start + k × step < hi.
void LinearRun(int64_t start, int64_t step, int64_t lo, int64_t hi, int64_t& first, int64_t& last) {
  auto floorDiv = [](int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
  };
  auto ceilDiv = [&](int64_t a, int64_t b) { return -floorDiv(-a, b); };
  if (step == 0) {
    if (start < lo || start >= hi) last = first - 1;
    return;
  }
  int64_t a, b;  // k in [a, b]
  if (step > 0) {
    a = ceilDiv(lo - start, step);
    b = floorDiv(hi - 1 - start, step);
  } else {
    a = ceilDiv(hi - 1 - start, step);
    b = floorDiv(lo - start, step);
  }
  first = std::max(first, a);
  last = std::min(last, b);
}

void RotZoomBlit(TCustomDIBX& dst, int32_t x, int32_t y, TApply apply, TCustomDIBX* mask,
                 bool flipV, bool flipH, bool transparent, int32_t angle, int32_t pivotY,
                 int32_t pivotX, TRect srcRect, TCustomDIBX& source, int32_t zoomY, int32_t zoomX) {
  apply.ops = GetRowOps(dst.BitCount());
  if (!apply.ops || apply.kind == TBlendKind::None || zoomX <= 0 || zoomY <= 0) return;
  if (mask && mask->BitCount() != 8) return;
  if (!CutSource(srcRect, source, mask)) return;
  const double theta = angle * 2.0 * std::numbers::pi / 256.0;
  const double zx = zoomX / 256.0, zy = zoomY / 256.0;
  const double c = std::cos(theta), s = std::sin(theta);
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  const int32_t xs[2] = {srcRect.Left, srcRect.Right}, ys[2] = {srcRect.Top, srcRect.Bottom};
  for (int k = 0; k < 4; ++k) {
    const double cx = (static_cast<double>(xs[k & 1]) - pivotX) * zx;
    const double cy = (static_cast<double>(ys[k >> 1]) - pivotY) * zy;
    const double px = x + cx * c - cy * s, py = y + cx * s + cy * c;
    if (k == 0 || px < minX) minX = px;
    if (k == 0 || px > maxX) maxX = px;
    if (k == 0 || py < minY) minY = py;
    if (k == 0 || py > maxY) maxY = py;
  }
  constexpr int64_t kLo = INT32_MIN, kHi = INT32_MAX;
  TRect box{static_cast<int32_t>(detail::TruncClamp(minX, kLo, kHi)),
            static_cast<int32_t>(detail::TruncClamp(minY, kLo, kHi)),
            static_cast<int32_t>(detail::TruncClamp(maxX + 1, kLo, kHi)),
            static_cast<int32_t>(detail::TruncClamp(maxY + 1, kLo, kHi))};
  box = box.Intersect(dst.ClipRect());
  if (box.IsEmpty()) return;
  detail::TDrawViews views(dst, source, mask);
  if (!views.Ok()) return;
  detail::TView& dv = views.dst;
  detail::TView& sv = views.src;
  detail::TView* mv = views.Mask();

  constexpr int64_t kStep = int64_t{1} << 40;
  const int64_t dudx = detail::TruncClamp(65536.0 * c / zx, -kStep, kStep);
  const int64_t dvdx = detail::TruncClamp(-65536.0 * s / zy, -kStep, kStep);
  const int64_t dudy = detail::TruncClamp(65536.0 * s / zx, -kStep, kStep);
  const int64_t dvdy = detail::TruncClamp(65536.0 * c / zy, -kStep, kStep);
  int64_t rowU =
      int64_t{pivotX} * 65536 + (int64_t{box.Left} - x) * dudx + (int64_t{box.Top} - y) * dudy;
  int64_t rowV =
      int64_t{pivotY} * 65536 + (int64_t{box.Left} - x) * dvdx + (int64_t{box.Top} - y) * dvdy;

  const int32_t bw = box.Width();
  std::vector<int32_t> cols, rows;
  std::vector<uint8_t> mbuf(static_cast<size_t>(bw) + 1);
  std::vector<uint8_t> pbuf(static_cast<size_t>(bw) * 4 + 4);
  TScatterFetch fetch(sv, dv.Bits(), bw);
  apply.key = -1;
  if (transparent && source.ColorKey() != -1) {
    detail::TRowFetcher keyConv(sv, dv.Bits(), 0);
    apply.key = keyConv.ConvertKey(source.ColorKey());
  }
  const int64_t mirrorX = int64_t{srcRect.Left} + srcRect.Right - 1;
  const int64_t mirrorY = int64_t{srcRect.Top} + srcRect.Bottom - 1;
  const bool direct = sv.Bits() == dv.Bits() && dv.Bits() >= 8;
  // Gathers n source pixels along the row starting at (u, v), straight from the source
  // when the depths match.
  auto gather = [&](int64_t u, int64_t v, int32_t n) -> const uint8_t* {
    auto place = [&](int64_t& x, int64_t& y) {
      x = u >> 16;
      y = v >> 16;
      if (flipH) x = mirrorX - x;
      if (flipV) y = mirrorY - y;
      u += dudx;
      v += dvdx;
    };
    const int64_t u0 = u, v0 = v;
    if (mv) {
      for (int32_t i = 0; i < n; ++i) {
        int64_t x, y;
        place(x, y);
        mbuf[i] = mv->Row(y)[x];
      }
      u = u0;
      v = v0;
    }
    if (direct && dv.Bpp() == 4) {
      for (int32_t i = 0; i < n; ++i) {
        int64_t x, y;
        place(x, y);
        std::memcpy(pbuf.data() + 4 * i, sv.Row(y) + 4 * x, 4);
      }
      return pbuf.data();
    }
    if (direct && dv.Bpp() == 2) {
      for (int32_t i = 0; i < n; ++i) {
        int64_t x, y;
        place(x, y);
        std::memcpy(pbuf.data() + 2 * i, sv.Row(y) + 2 * x, 2);
      }
      return pbuf.data();
    }
    cols.resize(static_cast<size_t>(n));
    rows.resize(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      int64_t x, y;
      place(x, y);
      cols[i] = static_cast<int32_t>(x);
      rows[i] = static_cast<int32_t>(y);
    }
    return fetch.Fetch(cols.data(), rows.data(), n);
  };
  // A pixel is drawn when lo <= u < hi and likewise for v; along a row u and v change
  // linearly, so the drawn columns form one run found by exact integer division.
  const int64_t loU = std::max<int64_t>(0, int64_t{srcRect.Left} * 65536);
  const int64_t hiU = int64_t{srcRect.Right} * 65536;
  const int64_t loV = std::max<int64_t>(0, int64_t{srcRect.Top} * 65536);
  const int64_t hiV = int64_t{srcRect.Bottom} * 65536;
  for (int32_t yy = box.Top; yy < box.Bottom; ++yy, rowU += dudy, rowV += dvdy) {
    int64_t first = 0, last = int64_t{bw} - 1;
    LinearRun(rowU, dudx, loU, hiU, first, last);
    LinearRun(rowV, dvdx, loV, hiV, first, last);
    if (first > last) continue;
    const int32_t n = static_cast<int32_t>(last - first + 1);
    const uint8_t* sp = gather(rowU + first * dudx, rowV + first * dvdx, n);
    apply.Run(dv.At(box.Left + first, yy), sp, mv ? mbuf.data() : nullptr, n);
  }
}

// Fills rect with the source repeated at zoom/256, starting offset source pixels in.
void PatternBlit(TCustomDIBX& dst, const TRect& rect, TCustomDIBX& source, TCustomDIBX* mask,
                 TApply apply, bool flipV, bool flipH, bool transparent, int32_t offsetX,
                 int32_t offsetY, int32_t zoomX, int32_t zoomY) {
  apply.ops = GetRowOps(dst.BitCount());
  if (!apply.ops || apply.kind == TBlendKind::None || zoomX <= 0 || zoomY <= 0) return;
  if (mask && mask->BitCount() != 8) return;
  TRect src{0, 0, source.Width(), source.Height()};
  if (!CutSource(src, source, mask)) return;
  const TRect clip = rect.Intersect(dst.ClipRect());
  if (clip.IsEmpty()) return;
  detail::TDrawViews views(dst, source, mask);
  if (!views.Ok()) return;
  detail::TView& dv = views.dst;
  detail::TView& sv = views.src;
  detail::TView* mv = views.Mask();
  const int64_t w = src.Width(), h = src.Height();
  const int32_t cw = clip.Width();
  std::vector<int32_t> cols(static_cast<size_t>(cw));
  for (int32_t j = 0; j < cw; ++j) {
    const int64_t rel = int64_t{clip.Left} - rect.Left + j;
    const int64_t c = FloorMod(offsetX + rel * 256 / zoomX, w);
    cols[j] = static_cast<int32_t>(flipH ? w - 1 - c : c);
  }
  detail::TRowFetcher fetch(sv, dv.Bits(), cw);
  apply.key = transparent ? fetch.ConvertKey(source.ColorKey()) : -1;
  std::vector<uint8_t> mbuf(static_cast<size_t>(cw) + 1);
  for (int32_t yy = clip.Top; yy < clip.Bottom; ++yy) {
    const int64_t rel = int64_t{yy} - rect.Top;
    int64_t r = FloorMod(offsetY + rel * 256 / zoomY, h);
    if (flipV) r = h - 1 - r;
    const uint8_t* sp = fetch.Gather(r, cols.data(), cw);
    if (mv) {
      const uint8_t* mr = mv->Row(r);
      for (int32_t j = 0; j < cw; ++j) mbuf[j] = mr[cols[j]];
    }
    apply.Run(dv.At(clip.Left, yy), sp, mv ? mbuf.data() : nullptr, cw);
  }
}

// Walks the tiles of one axis that touch [clipLo, clipHi): calls fn(position, first source
// index, length) for each.
template <class Fn>
void TileAxis(int64_t destLo, int64_t destHi, int64_t clipLo, int64_t clipHi, int64_t srcLo,
              int64_t srcHi, int64_t offset, int64_t gap, Fn fn) {
  const int64_t size = srcHi - srcLo;
  if (size <= 0) return;
  gap = std::max<int64_t>(gap, 0);
  int64_t start = offset >= 0 ? srcLo + offset % size : srcHi - (-offset) % size;
  if (start >= srcHi) start = srcLo;
  int64_t pos = destLo;
  int64_t len = srcHi - start;
  // Skip whole periods before the clip so huge rectangles cost nothing.
  const int64_t period = size + gap;
  if (pos + len + gap < clipLo) {
    pos += len + gap;
    start = srcLo;
    len = size;
    pos += (clipLo - pos) / period * period;
  }
  while (pos < destHi && pos < clipHi) {
    if (pos + len > clipLo) fn(pos, start, len);
    pos += len + gap;
    start = srcLo;
    len = size;
  }
}

}  // namespace

void TCustomDIBX::StretchDraw(const TRect& destRect, TCustomDIBX& source, int32_t alpha, bool flipV,
                              bool flipH, bool transparent, TRect srcRect) {
  StretchBlit(*this, destRect, srcRect, source, nullptr, flipV, flipH, transparent,
              StretchApply(alpha, false));
}

void TCustomDIBX::StretchDrawMask(const TRect& destRect, TCustomDIBX& source, int32_t alpha,
                                  TCustomDIBX& mask, bool flipV, bool flipH, TRect srcRect) {
  StretchBlit(*this, destRect, srcRect, source, &mask, flipV, flipH, false,
              StretchApply(alpha, true));
}

void TCustomDIBX::StretchDrawAdd(const TRect& destRect, TCustomDIBX& source, int32_t level,
                                 bool flipV, bool flipH, bool transparent, TRect srcRect) {
  StretchBlit(*this, destRect, srcRect, source, nullptr, flipV, flipH, transparent,
              AddApply(level, false));
}

void TCustomDIBX::StretchDrawAddMask(const TRect& destRect, TCustomDIBX& source, int32_t level,
                                     TCustomDIBX& mask, bool flipV, bool flipH, TRect srcRect) {
  StretchBlit(*this, destRect, srcRect, source, &mask, flipV, flipH, false, AddApply(level, true));
}

void TCustomDIBX::DrawRotZoom(int32_t x, int32_t y, int32_t blend, bool flipV, bool flipH,
                              bool transparent, int32_t angle, int32_t pivotY, int32_t pivotX,
                              TRect srcRect, TCustomDIBX& source, int32_t zoomY, int32_t zoomX) {
  RotZoomBlit(*this, x, y, detail::ApplyForBlend(blend, false, -1, nullptr), nullptr, flipV, flipH,
              transparent, angle, pivotY, pivotX, srcRect, source, zoomY, zoomX);
}

void TCustomDIBX::DrawRotZoomMask(int32_t x, int32_t y, int32_t blend, TCustomDIBX& mask,
                                  bool flipV, bool flipH, int32_t angle, int32_t pivotY,
                                  int32_t pivotX, TRect srcRect, TCustomDIBX& source, int32_t zoomY,
                                  int32_t zoomX) {
  RotZoomBlit(*this, x, y, detail::ApplyForBlend(blend, true, -1, nullptr), &mask, flipV, flipH,
              false, angle, pivotY, pivotX, srcRect, source, zoomY, zoomX);
}

void TCustomDIBX::PatternZoom(const TRect& rect, TCustomDIBX& source, int32_t blend, bool flipV,
                              bool flipH, bool transparent, int32_t offsetX, int32_t offsetY,
                              int32_t zoomX, int32_t zoomY) {
  PatternBlit(*this, rect, source, nullptr, detail::ApplyForBlend(blend, false, -1, nullptr), flipV,
              flipH, transparent, offsetX, offsetY, zoomX, zoomY);
}

void TCustomDIBX::PatternZoomMask(const TRect& rect, TCustomDIBX& source, int32_t blend,
                                  TCustomDIBX& mask, bool flipV, bool flipH, int32_t offsetX,
                                  int32_t offsetY, int32_t zoomX, int32_t zoomY) {
  PatternBlit(*this, rect, source, &mask, detail::ApplyForBlend(blend, true, -1, nullptr), flipV,
              flipH, false, offsetX, offsetY, zoomX, zoomY);
}

void TCustomDIBX::PatternFill(const TRect& rect, TCustomDIBX& source, bool flipV, bool flipH,
                              int32_t offsetY, int32_t offsetX) {
  PatternBlit(*this, rect, source, nullptr, detail::ApplyForBlend(255, false, -1, nullptr), flipV,
              flipH, false, offsetX, offsetY, 256, 256);
}

void TCustomDIBX::FramePattern(const TRect& r, int32_t width, int32_t offsetY, int32_t offsetX,
                               TCustomDIBX& pattern) {
  if (r.IsEmpty() || width <= 0) return;
  auto c32 = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  const int64_t w = width;
  PatternFill(TRect{r.Left, r.Top, r.Right, c32(r.Top + w)}, pattern, false, false, offsetY,
              offsetX);
  PatternFill(TRect{r.Left, c32(r.Bottom - w), r.Right, r.Bottom}, pattern, false, false, offsetY,
              offsetX);
  PatternFill(TRect{r.Left, r.Top, c32(r.Left + w), r.Bottom}, pattern, false, false, offsetY,
              offsetX);
  PatternFill(TRect{c32(r.Right - w), r.Top, r.Right, r.Bottom}, pattern, false, false, offsetY,
              offsetX);
}

namespace {

// Repeats srcRect over destRect with draw(x, y, piece) while the update rectangle is held at
// the part of destRect that may be drawn.
template <class Fn>
void Tile(TCustomDIBX& dst, const TRect& destRect, int32_t gapX, int32_t gapY, int32_t offsetX,
          int32_t offsetY, TRect srcRect, TCustomDIBX& source, TCustomDIBX* mask, Fn draw) {
  TRect bounds{0, 0, source.Width(), source.Height()};
  if (mask) bounds = bounds.Intersect(TRect{0, 0, mask->Width(), mask->Height()});
  srcRect = srcRect.Intersect(bounds);
  if (srcRect.IsEmpty()) return;
  const TRect clip = destRect.Intersect(dst.ClipRect());
  if (clip.IsEmpty()) return;
  const TRect saved = dst.UpdateRect();
  dst.ResetUpdateRect();
  dst.AddUpdateRect(clip);
  try {
    TileAxis(destRect.Top, destRect.Bottom, clip.Top, clip.Bottom, srcRect.Top, srcRect.Bottom,
             offsetY, gapY, [&](int64_t py, int64_t sy, int64_t) {
               TileAxis(destRect.Left, destRect.Right, clip.Left, clip.Right, srcRect.Left,
                        srcRect.Right, offsetX, gapX, [&](int64_t px, int64_t sx, int64_t) {
                          draw(static_cast<int32_t>(px), static_cast<int32_t>(py),
                               TRect{static_cast<int32_t>(sx), static_cast<int32_t>(sy),
                                     srcRect.Right, srcRect.Bottom});
                        });
             });
  } catch (...) {
    dst.ResetUpdateRect();
    dst.AddUpdateRect(saved);
    throw;
  }
  dst.ResetUpdateRect();
  dst.AddUpdateRect(saved);
}

}  // namespace

void TCustomDIBX::TileDraw(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                           bool transparent, TRect srcRect, TCustomDIBX& source, int32_t gapY) {
  Tile(*this, destRect, gapX, gapY, offsetX, offsetY, srcRect, source, nullptr,
       [&](int32_t x, int32_t y, const TRect& piece) {
         Draw(x, y, false, false, transparent, piece, source);
       });
}

void TCustomDIBX::TileDrawAlpha(const TRect& destRect, int32_t gapX, int32_t offsetY,
                                int32_t offsetX, int32_t alpha, bool transparent, TRect srcRect,
                                TCustomDIBX& source, int32_t gapY) {
  if (alpha <= 0) return;
  Tile(*this, destRect, gapX, gapY, offsetX, offsetY, srcRect, source, nullptr,
       [&](int32_t x, int32_t y, const TRect& piece) {
         DrawAlpha(x, y, alpha, false, false, transparent, piece, source);
       });
}

void TCustomDIBX::TileDrawAdd(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                              int32_t level, bool transparent, TRect srcRect, TCustomDIBX& source,
                              int32_t gapY) {
  if (level <= 0) return;
  Tile(*this, destRect, gapX, gapY, offsetX, offsetY, srcRect, source, nullptr,
       [&](int32_t x, int32_t y, const TRect& piece) {
         DrawAdd(x, y, level, false, false, transparent, piece, source);
       });
}

void TCustomDIBX::TileDrawMask(const TRect& destRect, int32_t gapX, int32_t offsetY,
                               int32_t offsetX, TCustomDIBX& mask, TRect srcRect,
                               TCustomDIBX& source, int32_t gapY) {
  Tile(*this, destRect, gapX, gapY, offsetX, offsetY, srcRect, source, &mask,
       [&](int32_t x, int32_t y, const TRect& piece) {
         DrawMask(x, y, mask, false, false, piece, source);
       });
}

void TCustomDIBX::TileDrawAlphaMask(const TRect& destRect, int32_t gapX, int32_t offsetY,
                                    int32_t offsetX, int32_t alpha, TCustomDIBX& mask,
                                    TRect srcRect, TCustomDIBX& source, int32_t gapY) {
  if (alpha <= 0) return;
  Tile(*this, destRect, gapX, gapY, offsetX, offsetY, srcRect, source, &mask,
       [&](int32_t x, int32_t y, const TRect& piece) {
         DrawAlphaMask(x, y, alpha, mask, false, false, piece, source);
       });
}

void TCustomDIBX::TileDrawAddMask(const TRect& destRect, int32_t gapX, int32_t offsetY,
                                  int32_t offsetX, int32_t level, TCustomDIBX& mask, TRect srcRect,
                                  TCustomDIBX& source, int32_t gapY) {
  if (level <= 0) return;
  Tile(*this, destRect, gapX, gapY, offsetX, offsetY, srcRect, source, &mask,
       [&](int32_t x, int32_t y, const TRect& piece) {
         DrawAddMask(x, y, level, mask, false, false, piece, source);
       });
}

namespace {

// Tiles of the zoomed source: each a whole stretched copy, cut by the update rectangle.
template <class Fn>
void TileZoomed(TCustomDIBX& dst, const TRect& destRect, int32_t gapX, int32_t gapY,
                int32_t offsetX, int32_t offsetY, int32_t zoomX, int32_t zoomY, TRect srcRect,
                TCustomDIBX& source, TCustomDIBX* mask, Fn draw) {
  if (zoomX <= 0 || zoomY <= 0) return;
  TRect bounds{0, 0, source.Width(), source.Height()};
  if (mask) bounds = bounds.Intersect(TRect{0, 0, mask->Width(), mask->Height()});
  srcRect = srcRect.Intersect(bounds);
  if (srcRect.IsEmpty()) return;
  const int64_t tw = int64_t{srcRect.Width()} * zoomX / 256;
  const int64_t th = int64_t{srcRect.Height()} * zoomY / 256;
  if (tw <= 0 || th <= 0 || tw > INT32_MAX / 2 || th > INT32_MAX / 2) return;
  const TRect clip = destRect.Intersect(dst.ClipRect());
  if (clip.IsEmpty()) return;
  const int64_t px = tw + std::max(gapX, 0), py = th + std::max(gapY, 0);
  const TRect saved = dst.UpdateRect();
  dst.ResetUpdateRect();
  dst.AddUpdateRect(clip);
  try {
    // Tile origins sit at destRect's corner moved back by the offset; start at the first
    // tile that reaches the clip.
    int64_t y0 = destRect.Top - FloorMod(offsetY, py);
    y0 += (clip.Top - y0) / py * py;
    int64_t x0 = destRect.Left - FloorMod(offsetX, px);
    x0 += (clip.Left - x0) / px * px;
    for (int64_t y = y0; y < clip.Bottom; y += py) {
      for (int64_t x = x0; x < clip.Right; x += px) {
        draw(TRect{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(x + tw),
                   static_cast<int32_t>(y + th)},
             srcRect);
      }
    }
  } catch (...) {
    dst.ResetUpdateRect();
    dst.AddUpdateRect(saved);
    throw;
  }
  dst.ResetUpdateRect();
  dst.AddUpdateRect(saved);
}

}  // namespace

void TCustomDIBX::TileStretch(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                              int32_t zoomX, int32_t zoomY, int32_t blend, bool flipV, bool flipH,
                              bool transparent, TRect srcRect, TCustomDIBX& source, int32_t gapY) {
  if (blend <= 0) return;
  TileZoomed(*this, destRect, gapX, gapY, offsetX, offsetY, zoomX, zoomY, srcRect, source, nullptr,
             [&](const TRect& tile, const TRect& src) {
               if (blend < 256) {
                 StretchDraw(tile, source, blend, flipV, flipH, transparent, src);
               } else {
                 StretchDrawAdd(tile, source, blend - 256, flipV, flipH, transparent, src);
               }
             });
}

void TCustomDIBX::TileStretchMask(const TRect& destRect, int32_t gapX, int32_t offsetY,
                                  int32_t offsetX, int32_t zoomX, int32_t zoomY, int32_t blend,
                                  TCustomDIBX& mask, bool flipV, bool flipH, TRect srcRect,
                                  TCustomDIBX& source, int32_t gapY) {
  if (blend <= 0) return;
  TileZoomed(*this, destRect, gapX, gapY, offsetX, offsetY, zoomX, zoomY, srcRect, source, &mask,
             [&](const TRect& tile, const TRect& src) {
               if (blend < 256) {
                 StretchDrawMask(tile, source, blend, mask, flipV, flipH, src);
               } else {
                 StretchDrawAddMask(tile, source, blend - 256, mask, flipV, flipH, src);
               }
             });
}

}  // namespace quen
