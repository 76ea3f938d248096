// The packed SSE2 and AVX2 paths must give the same bytes as the plain rules, row by row
// and through whole surface operations with clipping, flips, keys and masks.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/row_ops.h"
#include "support/surface_helpers.h"

namespace quen {
namespace {

std::vector<TSimdLevel> Levels() {
  std::vector<TSimdLevel> out{TSimdLevel::Sse2};
  if (DetectedSimdLevel() == TSimdLevel::Avx2) out.push_back(TSimdLevel::Avx2);
  return out;
}

struct TRows {
  std::vector<uint8_t> dst, src, mask;
};

TRows RandomRows(std::mt19937& rng, int32_t n, int bpp, uint32_t limit) {
  TRows r;
  r.dst.resize(static_cast<size_t>(n) * bpp + 1);
  r.src.resize(static_cast<size_t>(n) * bpp + 1);
  r.mask.resize(static_cast<size_t>(n) + 1);
  // A few distinct values so that keys and equal pixels come up often.
  uint32_t pal[4];
  for (uint32_t& p : pal) p = rng() & limit;
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t s = (rng() % 3) ? pal[rng() % 4] : rng() & limit;
    const uint32_t d = (rng() % 4) == 0 ? s : ((rng() % 2) ? pal[rng() % 4] : rng() & limit);
    std::memcpy(&r.src[static_cast<size_t>(i) * bpp], &s, bpp);
    std::memcpy(&r.dst[static_cast<size_t>(i) * bpp], &d, bpp);
    const uint32_t m = rng() % 4;
    r.mask[i] = static_cast<uint8_t>(m == 0 ? 0 : m == 1 ? 255 : rng());
  }
  return r;
}

TEST(PackedPaths, EveryRowOperationMatchesThePlainRules) {
  std::mt19937 rng(1234);
  for (int32_t bits : {15, 16, 32}) {
    const TRowOps* plain = GetScalarRowOps(bits);
    const int bpp = bits == 32 ? 4 : 2;
    const uint32_t limit = testing::PixelLimit(bits == 15 ? 16 : bits);
    for (TSimdLevel level : Levels()) {
      const TRowOps* packed = GetSimdRowOps(bits, level);
      ASSERT_NE(packed, nullptr);
      for (int iter = 0; iter < 3000; ++iter) {
        const int32_t n = static_cast<int32_t>(rng() % 80);
        TRows a = RandomRows(rng, n, bpp, limit);
        TRows b = a;
        uint32_t first = 0;
        if (n > 0) std::memcpy(&first, a.src.data(), bpp);
        const int64_t keys[] = {-1, first, static_cast<int64_t>(limit) + 1};
        const int64_t key = keys[rng() % 3];
        const uint32_t factor = rng() % 4 == 0 ? 255 : rng() % 256;
        const uint32_t pixel = n > 0 && rng() % 2 ? first : rng() & limit;
        const int op = iter % 11;
        for (int pass = 0; pass < 2; ++pass) {
          const TRowOps* ops = pass == 0 ? plain : packed;
          TRows& r = pass == 0 ? a : b;
          switch (op) {
            case 0:
              ops->Fill(r.dst.data(), n, pixel);
              break;
            case 1:
              ops->CopyKey(r.dst.data(), r.src.data(), n, key);
              break;
            case 2:
              ops->Alpha(r.dst.data(), r.src.data(), n, factor, key);
              break;
            case 3:
              ops->Add(r.dst.data(), r.src.data(), n, factor, key);
              break;
            case 4:
              ops->Mask(r.dst.data(), r.src.data(), r.mask.data(), n);
              break;
            case 5:
              ops->AlphaMask(r.dst.data(), r.src.data(), r.mask.data(), n, factor);
              break;
            case 6:
              ops->AddMask(r.dst.data(), r.src.data(), r.mask.data(), n, factor);
              break;
            case 7:
              ops->FillAlpha(r.dst.data(), n, pixel, factor);
              break;
            case 8:
              ops->FillAdd(r.dst.data(), n, pixel);
              break;
            case 9:
              ops->FillSub(r.dst.data(), n, pixel);
              break;
            default:
              ops->ColorMask(r.dst.data(), r.mask.data(), n, pixel, factor);
              break;
          }
        }
        ASSERT_EQ(a.dst, b.dst) << "bits " << bits << " level " << SimdLevelName(level) << " op "
                                << op << " n " << n << " factor " << factor << " key " << key;
      }
    }
  }
}

// One random drawing operation, the same on both surfaces.
void RandomOperation(std::mt19937& rng, TDIBX& dst, TDIBX& src, TDIBX& mask, int op) {
  auto rnd = [&](int lo, int hi) { return lo + static_cast<int>(rng() % (hi - lo + 1)); };
  const TRect sr{rnd(-2, 10), rnd(-2, 8), rnd(5, 42), rnd(4, 30)};
  const int x = rnd(-20, 60), y = rnd(-20, 40);
  const bool fv = rng() & 1, fh = rng() & 1, tr = rng() & 1;
  const int a = rnd(0, 300);
  const TRect dr{rnd(-10, 30), rnd(-10, 20), rnd(0, 80), rnd(0, 50)};
  const uint32_t pix = src.GetPixel(0, 0);
  switch (op) {
    case 0:
      dst.Draw(x, y, fv, fh, tr, sr, src);
      break;
    case 1:
      dst.DrawAlpha(x, y, a, fv, fh, tr, sr, src);
      break;
    case 2:
      dst.DrawAdd(x, y, a, fv, fh, tr, sr, src);
      break;
    case 3:
      dst.DrawMask(x, y, mask, fv, fh, sr, src);
      break;
    case 4:
      dst.DrawAlphaMask(x, y, a, mask, fv, fh, sr, src);
      break;
    case 5:
      dst.DrawAddMask(x, y, a, mask, fv, fh, sr, src);
      break;
    case 6:
      dst.StretchDraw(dr, src, a, fv, fh, tr, sr);
      break;
    case 7:
      dst.StretchDrawAddMask(dr, src, a, mask, fv, fh, sr);
      break;
    case 8:
      dst.DrawRotZoom(x, y, rnd(0, 511), fv, fh, tr, rnd(-300, 300), rnd(0, 20), rnd(0, 20), sr,
                      src, rnd(40, 700), rnd(40, 700));
      break;
    case 9:
      dst.DrawRotZoomMask(x, y, rnd(0, 511), mask, fv, fh, rnd(0, 255), 5, 5, sr, src, 256, 300);
      break;
    case 10:
      dst.FillRectAlpha(dr, pix, a);
      break;
    case 11:
      dst.FillRectAdd(dr, pix);
      break;
    case 12:
      dst.FillRectSub(dr, pix);
      break;
    case 13:
      dst.DrawColorMask(x, y, pix, a, fv, fh, TRect{0, 0, 30, 20}, mask);
      break;
    case 14:
      dst.PatternZoom(dr, src, rnd(0, 511), fv, fh, tr, x, y, rnd(60, 600), 256);
      break;
    default:
      dst.TileDrawAlpha(dr, rnd(0, 3), y, x, a, tr, sr, src, rnd(0, 3));
      break;
  }
}

TEST(PackedPaths, SurfaceOperationsMatchThePlainPathAtEveryDepth) {
  std::mt19937 rng(99);
  for (int32_t bits : {15, 16, 32}) {
    for (int iter = 0; iter < 250; ++iter) {
      const int op = iter % 16;
      std::mt19937 content(static_cast<uint32_t>(iter * 31 + bits));
      auto src = testing::Noise(40, 30, bits, content, 5);
      src->SetColorKey(static_cast<int32_t>(src->GetPixel(1, 1)));
      auto mask = testing::Noise(36, 28, 8, content, 0);
      for (int y = 0; y < 28; ++y) {
        for (int x = 0; x < 36; ++x) {
          if ((x + y) % 3 == 0) mask->SetPixel(x, y, (x % 2) ? 255 : 0);
        }
      }
      auto base = testing::Noise(64, 40, bits, content, 6);
      if (iter % 4 == 0) base->AddUpdateRect(TRect{3, 2, 50, 33});
      auto plain = testing::Clone(*base);
      auto packed = testing::Clone(*base);
      plain->AddUpdateRect(base->UpdateRect());
      packed->AddUpdateRect(base->UpdateRect());
      const uint32_t seed = rng();
      std::mt19937 r1(seed), r2(seed);
      SetForceScalar(true);
      RandomOperation(r1, *plain, *src, *mask, op);
      SetForceScalar(false);
      RandomOperation(r2, *packed, *src, *mask, op);
      ASSERT_EQ(testing::Pixels(*plain), testing::Pixels(*packed))
          << "bits " << bits << " op " << op << " iter " << iter;
    }
  }
}

}  // namespace
}  // namespace quen
