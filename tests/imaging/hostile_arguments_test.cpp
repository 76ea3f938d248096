// Every operation with arguments at the ends of the integer range: nothing may read or write
// outside a surface or overflow (the sanitizers watch), and pixels outside the clip stay.
#include <gtest/gtest.h>

#include <random>

#include "imaging/dibx.h"
#include "imaging/dibx_wave.h"
#include "support/surface_helpers.h"

namespace quen {
namespace {

TEST(HostileArguments, NoOperationReachesOutsideItsSurfaces) {
  std::mt19937 rng(5);
  const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -65536, -7,  -1,   0,     1,
                              3,         255,           256,    511, 4096, 65536, INT32_MAX - 1,
                              INT32_MAX};
  auto pick = [&]() -> int32_t {
    return rng() % 3 ? extremes[rng() % std::size(extremes)]
                     : static_cast<int32_t>(rng() % 40) - 10;
  };
  auto rect = [&]() { return TRect{pick(), pick(), pick(), pick()}; };
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    auto src = testing::Noise(9, 7, bits, rng, 3);
    src->SetColorKey(static_cast<int32_t>(src->GetPixel(0, 0)));
    auto mask = testing::Noise(6, 5, 8, rng, 0);
    auto mono = std::make_unique<TDIBX>();
    mono->SetSize(16, 8, 1);
    auto classes = std::make_unique<TDIBX>();
    classes->SetSize(16, 8, 4);
    auto idx = testing::Noise(8, 8, 8, rng, 0);
    uint32_t table[256] = {};
    auto dst = testing::Noise(12, 10, bits, rng, 0);
    dst->AddUpdateRect(TRect{1, 1, 11, 9});
    const std::vector<uint32_t> before = testing::Pixels(*dst);
    TDIBXWave wave;
    wave.SetTarget(dst.get(), pick(), pick());
    wave.SetSize(12, 10, bits);
    for (int32_t& o : wave.Offsets()) o = pick();
    for (int iter = 0; iter < 3000; ++iter) {
      TCustomDIBX& d = iter % 5 == 4 ? static_cast<TCustomDIBX&>(wave) : *dst;
      const bool b1 = rng() & 1, b2 = rng() & 1, b3 = rng() & 1;
      switch (iter % 20) {
        case 0:
          d.Draw(pick(), pick(), b1, b2, b3, rect(), *src);
          break;
        case 1:
          d.DrawMask(pick(), pick(), *mask, b1, b2, rect(), *src);
          break;
        case 2:
          d.DrawAlpha(pick(), pick(), pick(), b1, b2, b3, rect(), *src);
          break;
        case 3:
          d.DrawAddMask(pick(), pick(), pick(), *mask, b1, b2, rect(), *src);
          break;
        case 4:
          d.DrawRotZoom(pick(), pick(), pick(), b1, b2, b3, pick(), pick(), pick(), rect(), *src,
                        pick(), pick());
          break;
        case 5:
          d.DrawRotZoomMask(pick(), pick(), pick(), *mask, b1, b2, pick(), pick(), pick(), rect(),
                            *src, pick(), pick());
          break;
        case 6:
          d.StretchDraw(rect(), *src, pick(), b1, b2, b3, rect());
          break;
        case 7:
          d.StretchDrawAddMask(rect(), *src, pick(), *mask, b1, b2, rect());
          break;
        case 8:
          d.DrawMonoGlyph(pick(), pick(), pick(), pick(), b1, b2, 1, rect(), *mono);
          break;
        case 9:
          d.DrawOutlineGlyph(pick(), pick(), pick(), pick(), b1, b2, 1, 2, 3, rect(), *classes);
          break;
        case 10:
          d.TileDrawAlpha(rect(), pick(), pick(), pick(), pick(), b1, rect(), *src, pick());
          break;
        case 11:
          d.TileDrawMask(rect(), pick(), pick(), pick(), *mask, rect(), *src, pick());
          break;
        case 12:
          d.TileStretch(rect(), pick(), pick(), pick(), 1 + static_cast<int32_t>(rng() % 600),
                        1 + static_cast<int32_t>(rng() % 600), pick(), b1, b2, b3, rect(), *src,
                        pick());
          break;
        case 13:
          d.FramePattern(rect(), pick(), pick(), pick(), *src);
          break;
        case 14:
          d.PatternZoom(rect(), *src, pick(), b1, b2, b3, pick(), pick(), pick(), pick());
          break;
        case 15:
          d.PatternFill(rect(), *src, b1, b2, pick(), pick());
          break;
        case 16:
          d.DrawIndexedAdd(pick(), pick(), table, pick(), b1, b2, pick(), rect(), *idx);
          break;
        case 17:
          d.StretchIndexedAdd(rect(), *idx, table, pick(), b1, b2, pick(), rect());
          break;
        case 18:
          d.FrameRectAlpha(rect(), pick(), pick(), 5);
          break;
        default:
          d.DrawColorMask(pick(), pick(), 9, pick(), b1, b2, rect(), *mask);
          break;
      }
    }
    // The rim outside the update rectangle never changed.
    const std::vector<uint32_t> after = testing::Pixels(*dst);
    EXPECT_NE(after, before) << "the operations drew nothing at " << bits << " bits";
    for (int32_t y = 0; y < 10; ++y) {
      for (int32_t x = 0; x < 12; ++x) {
        if (x == 0 || y == 0 || x == 11 || y == 9) {
          ASSERT_EQ(after[y * 12 + x], before[y * 12 + x]);
        }
      }
    }
  }
}

}  // namespace
}  // namespace quen
