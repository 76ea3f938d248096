// Where pixels land: clipping, flips, update rectangles, stretching, rotation, patterns and
// tiles, and the cuts that keep every read inside the source and mask.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "imaging/dibx.h"
#include "support/surface_helpers.h"

namespace quen {
namespace {

using testing::Pixels;
using testing::Solid;

// A 32-bit surface whose pixel (x, y) is 1000 + 100·y + x.
std::unique_ptr<TDIBX> Numbered(int32_t w, int32_t h) {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(w, h, 32);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) s->SetPixel(x, y, static_cast<uint32_t>(1000 + 100 * y + x));
  }
  return s;
}

TEST(SurfaceGeometry, UnscaledDrawsMatchAPixelByPixelPlacement) {
  std::mt19937 rng(7);
  for (int iter = 0; iter < 300; ++iter) {
    const int32_t sw = 1 + rng() % 9, sh = 1 + rng() % 9;
    auto src = Numbered(sw, sh);
    auto dst = Solid(10, 8, 32, 0);
    TRect sr{static_cast<int32_t>(rng() % sw), static_cast<int32_t>(rng() % sh), 0, 0};
    sr.Right = sr.Left + 1 + static_cast<int32_t>(rng() % (sw - sr.Left));
    sr.Bottom = sr.Top + 1 + static_cast<int32_t>(rng() % (sh - sr.Top));
    const int32_t x = static_cast<int32_t>(rng() % 16) - 4,
                  y = static_cast<int32_t>(rng() % 14) - 4;
    const bool fv = rng() & 1, fh = rng() & 1;
    TRect update{};
    if (rng() & 1) {
      update = TRect{static_cast<int32_t>(rng() % 5), static_cast<int32_t>(rng() % 4),
                     5 + static_cast<int32_t>(rng() % 6), 4 + static_cast<int32_t>(rng() % 5)};
      dst->AddUpdateRect(update);
    }
    dst->Draw(x, y, fv, fh, false, sr, *src);
    const TRect clip = update.Right == 0 ? TRect{0, 0, 10, 8} : update;
    for (int32_t dy = 0; dy < 8; ++dy) {
      for (int32_t dx = 0; dx < 10; ++dx) {
        uint32_t want = 0;
        const int32_t i = dx - x, j = dy - y;
        if (clip.Contains(dx, dy) && i >= 0 && j >= 0 && i < sr.Width() && j < sr.Height()) {
          const int32_t sx = fh ? sr.Right - 1 - i : sr.Left + i;
          const int32_t sy = fv ? sr.Bottom - 1 - j : sr.Top + j;
          want = static_cast<uint32_t>(1000 + 100 * sy + sx);
        }
        ASSERT_EQ(dst->GetPixel(dx, dy), want) << "iter " << iter << " at " << dx << "," << dy;
      }
    }
  }
}

TEST(SurfaceGeometry, SourceAndMaskRectanglesAreCutToTheirSurfaces) {
  auto src = Numbered(4, 4);
  auto dst = Solid(10, 10, 32, 0);
  // A rectangle reaching past the source draws only what exists, where it would have landed.
  dst->Draw(1, 1, false, false, false, TRect{-2, -2, 10, 10}, *src);
  EXPECT_EQ(dst->GetPixel(3, 3), 1000u);
  EXPECT_EQ(dst->GetPixel(6, 6), 1303u);
  EXPECT_EQ(dst->GetPixel(7, 7), 0u);
  EXPECT_EQ(dst->GetPixel(2, 2), 0u);
  auto flipped = Solid(10, 10, 32, 0);
  flipped->Draw(0, 0, false, true, false, TRect{0, 0, 6, 1}, *src);
  // Columns 4 and 5 do not exist; the mirrored row starts two pixels in.
  EXPECT_EQ(flipped->GetPixel(0, 0), 0u);
  EXPECT_EQ(flipped->GetPixel(2, 0), 1003u);
  EXPECT_EQ(flipped->GetPixel(5, 0), 1000u);

  // A mask smaller than the source limits every masked family.
  auto mask = Solid(2, 3, 8, 255);
  auto big = Solid(8, 8, 32, 0x00FFFFFF);
  auto d = Solid(8, 8, 32, 0);
  d->DrawMask(0, 0, *mask, false, false, TRect{0, 0, 8, 8}, *big);
  d->DrawAlphaMask(4, 0, 128, *mask, false, false, TRect{0, 0, 8, 8}, *big);
  d->StretchDrawMask(TRect{0, 4, 8, 8}, *big, 255, *mask, false, false, TRect{0, 0, 8, 8});
  d->DrawRotZoomMask(6, 0, 255, *mask, false, false, 0, 0, 0, TRect{0, 0, 8, 8}, *big, 256, 256);
  EXPECT_EQ(d->GetPixel(1, 2), 0x00FFFFFFu);
  EXPECT_EQ(d->GetPixel(2, 0), 0u);
  EXPECT_EQ(d->GetPixel(1, 3), 0u);
  EXPECT_EQ(d->GetPixel(7, 2), 0x00FFFFFFu);
  EXPECT_EQ(d->GetPixel(6, 3), 0u);
  // The stretch reads only the 2 × 3 part that both have.
  EXPECT_EQ(d->GetPixel(7, 7), 0x00FFFFFFu);
  // An 8-bit mask is required.
  auto wrong = Solid(8, 8, 16, 0xFFFF);
  auto e = Solid(8, 8, 32, 0);
  e->DrawMask(0, 0, *wrong, false, false, TRect{0, 0, 8, 8}, *big);
  EXPECT_EQ(e->GetPixel(0, 0), 0u);
}

TEST(SurfaceGeometry, FillsAndFramesClip) {
  auto s = Solid(8, 6, 16, 0);
  s->FillRect(TRect{-100, -100, 3, 100}, 0x1111);
  s->FillRectAdd(TRect{6, -5, 1000, 2}, 0x0001);
  s->FillRectAlpha(TRect{INT32_MIN, 5, INT32_MAX, 1000}, 0xFFFF, 128);
  EXPECT_EQ(s->GetPixel(0, 0), 0x1111u);
  EXPECT_EQ(s->GetPixel(3, 0), 0u);
  EXPECT_EQ(s->GetPixel(7, 1), 1u);
  EXPECT_NE(s->GetPixel(4, 5), 0u);

  // No higher than twice the line width: only the top and bottom bands.
  auto f = Solid(10, 10, 32, 0);
  f->FrameRect(TRect{1, 1, 9, 5}, 2, 7);
  EXPECT_EQ(f->GetPixel(4, 2), 7u);
  EXPECT_EQ(f->GetPixel(4, 3), 7u);
  auto g = Solid(10, 10, 32, 0);
  g->FrameRect(TRect{-3, 1, 9, 8}, 2, 7);
  EXPECT_EQ(g->GetPixel(0, 4), 0u);  // the left band lies outside
  EXPECT_EQ(g->GetPixel(7, 4), 7u);
  EXPECT_EQ(g->GetPixel(5, 4), 0u);
  EXPECT_EQ(g->GetPixel(5, 7), 7u);
  // Extreme rectangles and line widths neither overflow nor draw outside.
  g->FrameRect(TRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, INT32_MAX, 3);
  EXPECT_EQ(g->GetPixel(5, 5), 3u);
  g->FrameRectAdd(TRect{INT32_MAX - 1, 0, INT32_MAX, 5}, 2, 1);
  g->FramePattern(TRect{-5, -5, INT32_MAX, INT32_MAX}, INT32_MAX, 0, 0, *f);
  EXPECT_EQ(g->GetPixel(9, 9), 0u);
}

TEST(SurfaceGeometry, UpdateRectangleLimitsDrawing) {
  auto s = Solid(8, 8, 32, 0);
  s->AddUpdateRect(TRect{2, 2, 4, 4});
  s->AddUpdateRect(TRect{6, 6, 20, 20});  // clamped to the surface, then united
  EXPECT_EQ(s->UpdateRect(), (TRect{2, 2, 8, 8}));
  s->AddUpdateRect(TRect{-5, -5, -1, -1});  // empty after clamping: ignored
  EXPECT_EQ(s->UpdateRect(), (TRect{2, 2, 8, 8}));
  s->Fill(9);
  EXPECT_EQ(s->GetPixel(1, 1), 0u);
  EXPECT_EQ(s->GetPixel(2, 2), 9u);
  s->ResetUpdateRect();
  s->Fill(3);
  EXPECT_EQ(s->GetPixel(0, 0), 3u);
}

TEST(SurfaceGeometry, WholeRowCopiesLandLikeAnyOther) {
  for (int32_t bits : {8, 15, 24, 32}) {
    auto src = testing::Noise(7, 5, bits, *std::make_unique<std::mt19937>(bits), 0);
    auto dst = Solid(7, 9, bits, 1);
    dst->Draw(0, 3, false, false, false, TRect{0, 1, 7, 5}, *src);
    for (int32_t y = 0; y < 9; ++y) {
      for (int32_t x = 0; x < 7; ++x) {
        const uint32_t want = y >= 3 && y < 7 ? src->GetPixel(x, y - 2) : 1;
        ASSERT_EQ(dst->GetPixel(x, y), want) << bits << " " << x << "," << y;
      }
    }
  }
}

TEST(SurfaceGeometry, DrawingFromItselfReadsTheOriginalPixels) {
  auto s = Numbered(6, 3);
  s->Draw(1, 1, false, false, false, TRect{0, 0, 6, 3}, *s);
  EXPECT_EQ(s->GetPixel(1, 1), 1000u);
  EXPECT_EQ(s->GetPixel(5, 2), 1104u);
  EXPECT_EQ(s->GetPixel(0, 0), 1000u);
}

TEST(SurfaceGeometry, StretchIsNearestNeighbourAndSizedFromTheDestination) {
  auto src = Numbered(2, 1);
  auto dst = Solid(6, 2, 32, 0);
  dst->StretchDraw(TRect{1, 0, 5, 2}, *src, 255, false, false, false, TRect{0, 0, 2, 1});
  EXPECT_EQ(Pixels(*dst),
            (std::vector<uint32_t>{0, 1000, 1000, 1001, 1001, 0, 0, 1000, 1000, 1001, 1001, 0}));
  dst->StretchDraw(TRect{1, 0, 5, 1}, *src, 255, false, true, false, TRect{0, 0, 2, 1});
  EXPECT_EQ(dst->GetPixel(1, 0), 1001u);
  EXPECT_EQ(dst->GetPixel(4, 0), 1000u);
  // A cut on the left keeps the fraction: 3 source columns over 9, cut by 4, so the source
  // starts at 1 + 21845/65536 and steps by Trunc(65536 / 3) = 21845; the truncated step
  // reaches column 2 one pixel late, as the fixed-point arithmetic defines.
  auto three = Numbered(3, 1);
  auto d2 = Solid(5, 1, 32, 0);
  d2->StretchDraw(TRect{-4, 0, 5, 1}, *three, 255, false, false, false, TRect{0, 0, 3, 1});
  EXPECT_EQ(Pixels(*d2), (std::vector<uint32_t>{1001, 1001, 1001, 1002, 1002}));

  // Far wider than any fixed column table.
  auto wide = Solid(3000, 2, 32, 0);
  wide->StretchDraw(TRect{0, 0, 3000, 2}, *src, 255, false, false, false, TRect{0, 0, 2, 1});
  EXPECT_EQ(wide->GetPixel(1499, 1), 1000u);
  // Step Trunc(65536 × 2 / 3000) = 43 reaches column 1 at 65536 / 43 -> 1525.
  EXPECT_EQ(wide->GetPixel(1524, 0), 1000u);
  EXPECT_EQ(wide->GetPixel(1525, 0), 1001u);
  EXPECT_EQ(wide->GetPixel(2999, 1), 1001u);
  // An empty destination draws nothing rather than dividing by zero.
  wide->StretchDraw(TRect{5, 0, 5, 2}, *src, 255, false, false, false, TRect{0, 0, 2, 1});
  wide->StretchDraw(TRect{5, 0, 9, 2}, *src, 255, false, false, false, TRect{0, 0, 0, 1});
}

TEST(SurfaceGeometry, RotZoomIdentityCopiesWithThePivotAtTheTarget) {
  auto src = Numbered(5, 4);
  auto dst = Solid(12, 10, 32, 0);
  dst->DrawRotZoom(6, 5, 255, false, false, false, 0, 1, 2, TRect{0, 0, 5, 4}, *src, 256, 256);
  for (int32_t y = 0; y < 10; ++y) {
    for (int32_t x = 0; x < 12; ++x) {
      const int32_t sx = x - 4, sy = y - 4;
      const uint32_t want =
          sx >= 0 && sx < 5 && sy >= 0 && sy < 4 ? static_cast<uint32_t>(1000 + 100 * sy + sx) : 0;
      ASSERT_EQ(dst->GetPixel(x, y), want) << x << "," << y;
    }
  }
  // A quarter turn clockwise: the row to the right of the pivot runs downwards.
  auto row = Numbered(3, 1);
  auto d2 = Solid(10, 10, 32, 0);
  d2->DrawRotZoom(5, 5, 255, false, false, false, 64, 0, 0, TRect{0, 0, 3, 1}, *row, 256, 256);
  EXPECT_EQ(d2->GetPixel(5, 5), 1000u);
  EXPECT_EQ(d2->GetPixel(5, 6), 1001u);
  EXPECT_EQ(d2->GetPixel(5, 7), 1002u);
  EXPECT_EQ(d2->GetPixel(6, 5), 0u);
  // Double size, mirrored.
  auto d3 = Solid(10, 4, 32, 0);
  d3->DrawRotZoom(0, 0, 255, false, true, false, 0, 0, 0, TRect{0, 0, 3, 1}, *row, 512, 512);
  EXPECT_EQ(Pixels(*d3)[0], 1002u);
  EXPECT_EQ(Pixels(*d3)[1], 1002u);
  EXPECT_EQ(Pixels(*d3)[5], 1000u);
  EXPECT_EQ(d3->GetPixel(5, 1), 1000u);
  EXPECT_EQ(d3->GetPixel(5, 2), 0u);
  // Zooms that are not positive, huge zooms and huge angles are harmless.
  d3->DrawRotZoom(0, 0, 255, false, false, false, 0, 0, 0, TRect{0, 0, 3, 1}, *row, 0, 256);
  d3->DrawRotZoom(0, 0, 255, false, false, false, INT32_MAX, INT32_MAX, INT32_MIN,
                  TRect{0, 0, 3, 1}, *row, INT32_MAX, 1);
}

// Rotation with zoom worked pixel by pixel from the defining formulas.
std::vector<uint32_t> NaiveRotZoom(int32_t W, int32_t H, int32_t x, int32_t y, int32_t angle,
                                   int32_t pivotX, int32_t pivotY, int32_t sw, int32_t sh,
                                   int32_t zoomX, int32_t zoomY, bool fh, bool fv) {
  const double th = angle * 2.0 * 3.14159265358979323846 / 256.0, zx = zoomX / 256.0,
               zy = zoomY / 256.0, c = std::cos(th), s = std::sin(th);
  double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  for (int k = 0; k < 4; ++k) {
    const double cx = ((k & 1) ? sw : 0) - pivotX, cy = ((k >> 1) ? sh : 0) - pivotY;
    const double px = x + cx * zx * c - cy * zy * s, py = y + cx * zx * s + cy * zy * c;
    minX = std::min(minX, px), maxX = std::max(maxX, px);
    minY = std::min(minY, py), maxY = std::max(maxY, py);
  }
  const int64_t L = static_cast<int64_t>(minX), T = static_cast<int64_t>(minY);
  const int64_t R = static_cast<int64_t>(maxX + 1), B = static_cast<int64_t>(maxY + 1);
  const int64_t dudx = static_cast<int64_t>(65536.0 * c / zx);
  const int64_t dvdx = static_cast<int64_t>(-65536.0 * s / zy);
  const int64_t dudy = static_cast<int64_t>(65536.0 * s / zx);
  const int64_t dvdy = static_cast<int64_t>(65536.0 * c / zy);
  std::vector<uint32_t> out(static_cast<size_t>(W) * H, 0);
  for (int64_t py = std::max<int64_t>(T, 0); py < std::min<int64_t>(B, H); ++py) {
    for (int64_t px = std::max<int64_t>(L, 0); px < std::min<int64_t>(R, W); ++px) {
      const int64_t u = int64_t{pivotX} * 65536 + (L - x) * dudx + (T - y) * dudy +
                        (px - L) * dudx + (py - T) * dudy;
      const int64_t v = int64_t{pivotY} * 65536 + (L - x) * dvdx + (T - y) * dvdy +
                        (px - L) * dvdx + (py - T) * dvdy;
      if (u < 0 || v < 0 || (u >> 16) >= sw || (v >> 16) >= sh) continue;
      const int64_t sx = fh ? sw - 1 - (u >> 16) : u >> 16;
      const int64_t sy = fv ? sh - 1 - (v >> 16) : v >> 16;
      out[py * W + px] = static_cast<uint32_t>(1000 + 100 * sy + sx);
    }
  }
  return out;
}

TEST(SurfaceGeometry, RotZoomMatchesTheFormulasPixelByPixel) {
  std::mt19937 rng(11);
  for (int iter = 0; iter < 200; ++iter) {
    const int32_t sw = 1 + rng() % 12, sh = 1 + rng() % 9;
    auto src = Numbered(sw, sh);
    auto dst = Solid(40, 30, 32, 0);
    const int32_t x = rng() % 50 - 5, y = rng() % 40 - 5, angle = rng() % 600 - 300;
    const int32_t px = rng() % (sw + 1), py = rng() % (sh + 1);
    const int32_t zx = 30 + rng() % 900, zy = 30 + rng() % 900;
    const bool fh = rng() & 1, fv = rng() & 1;
    dst->DrawRotZoom(x, y, 255, fv, fh, false, angle, py, px, TRect{0, 0, sw, sh}, *src, zy, zx);
    ASSERT_EQ(Pixels(*dst), NaiveRotZoom(40, 30, x, y, angle, px, py, sw, sh, zx, zy, fh, fv))
        << "iter " << iter;
  }
}

TEST(SurfaceGeometry, PatternsRepeatFromTheirOffset) {
  auto src = Numbered(3, 2);
  auto dst = Solid(5, 3, 32, 0);
  dst->PatternFill(TRect{0, 0, 5, 3}, *src, false, false, 1, -1);
  // First column: offset −1 mod 3 = 2; first row 1.
  EXPECT_EQ(dst->GetPixel(0, 0), 1102u);
  EXPECT_EQ(dst->GetPixel(1, 0), 1100u);
  EXPECT_EQ(dst->GetPixel(4, 2), 1100u);
  EXPECT_EQ(dst->GetPixel(0, 1), 1002u);
  dst->PatternFill(TRect{0, 0, 5, 1}, *src, false, true, 0, 0);
  EXPECT_EQ(dst->GetPixel(0, 0), 1002u);  // counted from the right edge
  EXPECT_EQ(dst->GetPixel(1, 0), 1001u);
  // Zoomed twice: each source pixel covers two.
  auto z = Solid(6, 1, 32, 0);
  z->PatternZoom(TRect{0, 0, 6, 1}, *src, 255, false, false, false, 0, 0, 512, 512);
  EXPECT_EQ(Pixels(*z), (std::vector<uint32_t>{1000, 1000, 1001, 1001, 1002, 1002}));
  // Frame bands take the pattern too, each anchored at its own corner; the left band is
  // drawn after the bottom one.
  auto f = Solid(6, 6, 32, 0);
  f->FramePattern(TRect{0, 0, 6, 6}, 1, 0, 0, *src);
  EXPECT_EQ(f->GetPixel(4, 0), 1001u);
  EXPECT_EQ(f->GetPixel(0, 5), 1100u);
  EXPECT_EQ(f->GetPixel(5, 3), 1100u);
  EXPECT_EQ(f->GetPixel(2, 2), 0u);
}

TEST(SurfaceGeometry, TilesStartAtTheOffsetAndLeaveGaps) {
  auto src = Numbered(3, 2);
  auto dst = Solid(9, 6, 32, 0);
  dst->AddUpdateRect(TRect{0, 0, 9, 6});
  dst->TileDraw(TRect{1, 1, 9, 6}, 1, 1, 2, false, TRect{0, 0, 3, 2}, *src, 1);
  // First tile row: starting row 1 (one row high), then a gap row, then full tiles.
  // First column: starting column 2 (one column wide), a gap, then full widths.
  EXPECT_EQ(dst->GetPixel(1, 1), 1102u);
  EXPECT_EQ(dst->GetPixel(2, 1), 0u);
  EXPECT_EQ(dst->GetPixel(3, 1), 1100u);
  EXPECT_EQ(dst->GetPixel(5, 1), 1102u);
  EXPECT_EQ(dst->GetPixel(6, 1), 0u);
  EXPECT_EQ(dst->GetPixel(7, 1), 1100u);
  EXPECT_EQ(dst->GetPixel(3, 2), 0u);
  EXPECT_EQ(dst->GetPixel(3, 3), 1000u);
  EXPECT_EQ(dst->GetPixel(3, 4), 1100u);
  EXPECT_EQ(dst->GetPixel(0, 3), 0u);
  // The update rectangle is back afterwards.
  EXPECT_EQ(dst->UpdateRect(), (TRect{0, 0, 9, 6}));
  // A huge destination far outside costs nothing and draws nothing outside the clip.
  auto t = Solid(4, 4, 32, 0);
  t->TileDraw(TRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, 0, INT32_MIN, INT32_MIN, false,
              TRect{0, 0, 1, 1}, *src, 0);
  EXPECT_EQ(t->GetPixel(3, 3), 1000u);
  t->TileDraw(TRect{0, 0, 4, 4}, 0, 0, 0, false, TRect{0, 0, 0, 0}, *src, 0);
}

}  // namespace
}  // namespace quen
