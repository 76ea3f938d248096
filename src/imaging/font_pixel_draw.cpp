// DrawChar: where the glyph, its edge, its shadow and its lines go, and the plain rules of
// every pixel operation.
#include <algorithm>

#include "imaging/font_pixel.h"
#include "imaging/font_pixel_ops.h"
#include "imaging/pixel_convert.h"
#include "imaging/row_ops.h"
#include "imaging/surface_access.h"

namespace quen {

namespace detail {
namespace {

uint8_t* ColorRow(const TGlyphCanvas& c, int64_t y) {
  return c.color + y * c.color_pitch;
}
uint8_t& AlphaAt(const TGlyphCanvas& c, int64_t x, int64_t y) {
  return c.alpha[y * c.alpha_pitch + x];
}
uint32_t LoadColor(const TGlyphCanvas& c, int64_t x, int64_t y) {
  return LoadPixel(ColorRow(c, y), c.bits, static_cast<int32_t>(x));
}
void StoreColor(const TGlyphCanvas& c, int64_t x, int64_t y, uint32_t pixel) {
  StorePixel(ColorRow(c, y), c.bits, static_cast<int32_t>(x), pixel);
}

// Σ ((a & M) × wa + (b & M) × (255 - wa)) >> 8, & M over the channels.
uint32_t MixChannels(const TGlyphCanvas& c, uint32_t a, uint32_t b, uint32_t wa) {
  uint32_t out = 0;
  for (uint32_t m : c.masks) {
    const uint64_t v = ((uint64_t{a & m} * wa + uint64_t{b & m} * (255 - wa)) >> 8) & m;
    out |= static_cast<uint32_t>(v);
  }
  return out;
}

void ComposePixel(const TGlyphCanvas& c, int64_t x, int64_t y, uint32_t cov, uint32_t pixel) {
  if (cov == 0) return;
  uint8_t& a = AlphaAt(c, x, y);
  if (cov == 255) {
    StoreColor(c, x, y, pixel);
    a = 255;
    return;
  }
  const uint32_t a2 = a + cov * (255 - a) / 255;
  const uint32_t k = a2 == 0 ? 255 : cov * 255 / a2;
  StoreColor(c, x, y, MixChannels(c, pixel, LoadColor(c, x, y), k));
  a = static_cast<uint8_t>(a2);
}

// Calls f(dest x, dest y, coverage) for every glyph pixel that lands inside the clip.
template <class F>
void ForGlyph(const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y, F&& f) {
  const TRect64 r = TRect64::FromSize(x, y, g.w, g.h).Intersect(c.clip);
  for (int64_t dy = r.t; dy < r.b; ++dy) {
    const uint8_t* row = g.bits + (dy - y) * g.pitch;
    for (int64_t dx = r.l; dx < r.r; ++dx) f(dx, dy, row[dx - x]);
  }
}

template <class F>
void ForRect(const TGlyphCanvas& c, const TRect64& rect, F&& f) {
  const TRect64 r = rect.Intersect(c.clip);
  for (int64_t y = r.t; y < r.b; ++y) {
    for (int64_t x = r.l; x < r.r; ++x) f(x, y);
  }
}

const TGlyphOps kPlain = {
    [](const TGlyphCanvas& c, const TRect64& r, uint32_t pixel) {
      ForRect(c, r, [&](int64_t x, int64_t y) {
        StoreColor(c, x, y, pixel);
        AlphaAt(c, x, y) = 255;
      });
    },
    [](const TGlyphCanvas& c, const TRect64& r, uint8_t value) {
      ForRect(c, r, [&](int64_t x, int64_t y) { AlphaAt(c, x, y) = value; });
    },
    [](const TGlyphCanvas& c, const TRect64& r, uint32_t pixel) {
      ForRect(c, r, [&](int64_t x, int64_t y) { StoreColor(c, x, y, pixel); });
    },
    [](const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y) {
      ForGlyph(c, g, x, y, [&](int64_t dx, int64_t dy, uint8_t v) { AlphaAt(c, dx, dy) = v; });
    },
    [](const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y, uint32_t pixel) {
      ForGlyph(c, g, x, y, [&](int64_t dx, int64_t dy, uint8_t v) {
        if (v != 0) StoreColor(c, dx, dy, pixel);
      });
    },
    [](const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y) {
      ForGlyph(c, g, x, y, [&](int64_t dx, int64_t dy, uint8_t v) {
        uint8_t& a = AlphaAt(c, dx, dy);
        a = std::max(a, v);
      });
    },
    [](const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y, uint32_t pixel,
       int32_t ring) {
      const auto pass = [&](int64_t px, int64_t py) {
        ForGlyph(c, g, px, py,
                 [&](int64_t dx, int64_t dy, uint8_t v) { ComposePixel(c, dx, dy, v, pixel); });
      };
      if (ring == 0) {
        pass(x, y);
        return;
      }
      for (int32_t i = -ring; i <= ring; ++i) {
        for (int32_t j = -ring; j <= ring; ++j) {
          if (i != 0 || j != 0) pass(x + j, y + i);
        }
      }
    },
    [](const TGlyphCanvas& c, const TGlyphCoverage& g, int64_t x, int64_t y, uint32_t text,
       uint32_t edge) {
      ForGlyph(c, g, x, y, [&](int64_t dx, int64_t dy, uint8_t v) {
        if (v == 0) return;
        AlphaAt(c, dx, dy) = 255;
        StoreColor(c, dx, dy, v == 255 ? text : MixChannels(c, text, edge, v));
      });
    },
};

}  // namespace

const TGlyphOps& PlainGlyphOps() {
  return kPlain;
}

}  // namespace detail

namespace {

using detail::TRect64;

// num / den rounded to the nearest integer, halves to the even one, as the original's real
// rounding did.
int64_t RoundDiv(int64_t num, int64_t den) {
  if (den < 0) num = -num, den = -den;
  int64_t q = num / den, r = num % den;
  if (r < 0) --q, r += den;  // floor division: 0 <= r < den
  if (2 * r > den || (2 * r == den && (q & 1))) ++q;
  return q;
}

TRect ToRect(const TRect64& r) {
  return TRect{static_cast<int32_t>(r.l), static_cast<int32_t>(r.t), static_cast<int32_t>(r.r),
               static_cast<int32_t>(r.b)};
}

}  // namespace

void TFontPixel::DrawChar(TCustomDIBX& color, TCustomDIBX& alpha, bool clear, TRect& changed,
                          uint32_t shadow_pixel, uint32_t edge_pixel, uint32_t text_pixel,
                          bool last, bool first, int32_t shadow_offset, int32_t edge_width,
                          const TRect& cell) {
  changed = TRect{};
  const int64_t W = Width(), H = Height();
  if (W == 0 || H == 0) return;
  const int32_t bits = color.BitCount();
  if ((bits != 15 && bits != 16 && bits != 24 && bits != 32) || alpha.BitCount() != 8) return;

  const int64_t e = std::clamp(edge_width, 0, kMaxEdgeWidth);
  const int64_t d = std::clamp(shadow_offset, 0, kMaxShadowOffset);
  const int64_t x0 = cell.Left, y0 = cell.Top;
  const int64_t w = int64_t{cell.Right} - cell.Left, h = int64_t{cell.Bottom} - cell.Top;
  const int64_t L = left, T = top, R = right_pad, F = height;
  const int64_t us = underline_size, st = strikeout_top, ss = strikeout_size;

  // Narrow glyphs are centred in the cell by their A-B-C widths.
  int64_t s = 0;
  const int64_t g = std::min(w, F);
  if (L + R < g - W) {
    const TCharABC abc = manager_->CharABC(code, face, flags, height);
    const int64_t A = abc.A, B = abc.B, C = abc.C;
    // A zero-advance glyph has no proportion to keep: it is centred plainly.
    if (A + C != 0 && A + B + C != 0) {
      s = RoundDiv((A + B / 2) * (g - W), A + B + C);
    } else {
      s = (g - W) / 2;
    }
    s = std::max<int64_t>(s - L, 0);
  }

  detail::TView cv(color);
  detail::TView av(alpha);
  if (!cv.Ok() || !av.Ok()) return;
  detail::TGlyphCanvas c;
  c.color = cv.Row(0);
  c.color_pitch = cv.Pitch();
  c.bits = bits;
  c.bpp = cv.Bpp();
  c.alpha = av.Row(0);
  c.alpha_pitch = av.Pitch();
  const TRect cc = color.ClipRect(), ac = alpha.ClipRect();
  c.clip = TRect64{cc.Left, cc.Top, cc.Right, cc.Bottom}.Intersect(
      TRect64{ac.Left, ac.Top, ac.Right, ac.Bottom});
  c.masks[0] = color.RedMask();
  c.masks[1] = color.GreenMask();
  c.masks[2] = color.BlueMask();
  detail::TGlyphCoverage cov;
  cov.bits = coverage_.DIB().ScanLine(0);
  cov.pitch = coverage_.DIB().Pitch();
  cov.w = static_cast<int32_t>(W);
  cov.h = static_cast<int32_t>(H);
  const detail::TGlyphOps& ops = ScalarForced() ? detail::PlainGlyphOps() : detail::FastGlyphOps();

  TRect64 touched = TRect64::FromSize(x0 + L + s, y0 + T, W + 2 * e + d, H + 2 * e + d);
  const auto band = [&](const TRect64& r, uint32_t pixel) {
    ops.FillBoth(c, r, pixel);
    touched = touched.Union(r);
  };

  if (e == 0 && d == 0) {
    const int64_t px = x0 + L + s, py = y0 + T;
    if (clear) {
      ops.FillColor(c, TRect64::FromSize(px, py, W, H), text_pixel);
      ops.CopyCoverage(c, cov, px, py);
    } else {
      ops.InkColor(c, cov, px, py, text_pixel);
      ops.MaxAlpha(c, cov, px, py);
    }
    // Without edge and shadow the lines change only the alpha surface.
    if (flags & kGlyphUnderline) {
      const TRect64 r = TRect64::FromSize(x0, y0 + h - us, w, us);
      ops.SetAlpha(c, r, 255);
      touched = touched.Union(r);
    }
    if (flags & kGlyphStrikeOut) {
      const TRect64 r = TRect64::FromSize(x0, y0 + st, w, ss);
      ops.SetAlpha(c, r, 255);
      touched = touched.Union(r);
    }
  } else {
    if (clear)
      ops.SetAlpha(c, TRect64::FromSize(x0 + L + s, y0 + T, W + 2 * e + d, H + 2 * e + d), 0);
    if (d > 0) {
      const int64_t lead = first ? d : 0;
      if (flags & kGlyphUnderline)
        band(TRect64::FromSize(x0 + lead, y0 + h - 2 * e - us, w - lead, 2 * e + us), shadow_pixel);
      if (e == 0) {
        const int64_t px = x0 + L + d + s, py = y0 + T + d;
        ops.CopyCoverage(c, cov, px, py);
        ops.InkColor(c, cov, px, py, shadow_pixel);
        touched = touched.Union(TRect64::FromSize(px, py, W, H));
      } else {
        const int64_t px = x0 + e + L + d + s, py = y0 + e + T + d;
        ops.Compose(c, cov, px, py, shadow_pixel, static_cast<int32_t>(e));
        touched = touched.Union(TRect64::FromSize(px - e, py - e, W + 2 * e, H + 2 * e));
      }
      if (flags & kGlyphStrikeOut)
        band(TRect64::FromSize(x0 + lead, y0 + d + st, w - lead, 2 * e + ss), shadow_pixel);
    }
    const int64_t mx = x0 + e + L + s, my = y0 + e + T;
    const int64_t tail = last ? d : 0;
    if (flags & kGlyphUnderline) {
      const TRect64 r = TRect64::FromSize(x0, y0 + h - d - e - us, w - tail, us);
      band(r, text_pixel);
      if (e > 0) {
        band(TRect64::FromSize(r.l, r.t - e, r.r - r.l, e), edge_pixel);
        band(TRect64::FromSize(r.l, r.b, r.r - r.l, e), edge_pixel);
      }
    }
    if (e == 0) {
      ops.Compose(c, cov, mx, my, text_pixel, 0);
    } else {
      ops.Compose(c, cov, mx, my, edge_pixel, static_cast<int32_t>(e));
      ops.Body(c, cov, mx, my, text_pixel, edge_pixel);
      touched = touched.Union(TRect64::FromSize(mx - e, my - e, W + 2 * e, H + 2 * e));
    }
    touched = touched.Union(TRect64::FromSize(mx, my, W, H));
    if (flags & kGlyphStrikeOut) {
      band(TRect64::FromSize(x0, y0 + e + st, w - tail, ss), text_pixel);
      if (e > 0) {
        band(TRect64::FromSize(x0, y0 + st, w - tail, e), edge_pixel);
        band(TRect64::FromSize(x0, y0 + st + e + ss, w - tail, e), edge_pixel);
      }
    }
  }
  changed = ToRect(touched.Intersect(TRect64{0, 0, color.Width(), color.Height()}));
}

}  // namespace quen
