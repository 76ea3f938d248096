#include <gtest/gtest.h>

#include "imaging/brix_compose.h"
#include "imaging/pixel_convert.h"

namespace quen {
namespace {

TDIBSurface Solid(int32_t w, int32_t h, int32_t bits, uint32_t pixel) {
  TDIBSurface s;
  s.SetSize(w, h, bits);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) StorePixel(s.ScanLine(y), s.StorageBitCount(), x, pixel);
  return s;
}

uint32_t Px(const TDIBSurface& s, int32_t x, int32_t y) {
  return LoadPixel(s.ScanLine(y), s.StorageBitCount(), x);
}

TEST(BrixRuleA, IndexedDepthsDitherByAlpha) {
  // Alpha 128 is level 8: the source lands where the 4 x 4 threshold is at most 8.
  constexpr int kThreshold[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  for (int bits : {1, 4, 8}) {
    TDIBSurface d = Solid(8, 8, bits, 0);
    BrixBlendAlpha(d, Solid(8, 8, bits, 1), 128, -1);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) ASSERT_EQ(Px(d, x, y), kThreshold[y % 4][x % 4] <= 8 ? 1u : 0u);
  }
  // Level 15 and a negative alpha copy everything but the key.
  for (int32_t alpha : {240, -5}) {
    TDIBSurface d = Solid(4, 4, 8, 0);
    TDIBSurface s = Solid(4, 4, 8, 7);
    StorePixel(s.ScanLine(1), 8, 1, 9);
    BrixBlendAlpha(d, s, alpha, 9);
    EXPECT_EQ(Px(d, 3, 3), 7u);
    EXPECT_EQ(Px(d, 1, 1), 0u);
  }
}

TEST(BrixRuleA, DirectDepthsBlendPerChannel) {
  // 16 bits: 5-6-5 channels blended in place then cut to their masks.
  TDIBSurface d16 = Solid(1, 1, 16, 0xF800);
  BrixBlendAlpha(d16, Solid(1, 1, 16, 0x001F), 100, -1);
  EXPECT_EQ(Px(d16, 0, 0), ((155u * 0xF800 / 255) & 0xF800) | ((100u * 0x1F / 255) & 0x1F));
  TDIBSurface d15 = Solid(1, 1, 15, 0x7C00);
  BrixBlendAlpha(d15, Solid(1, 1, 15, 0x03E0), 200, -1);
  EXPECT_EQ(Px(d15, 0, 0), ((55u * 0x7C00 / 255) & 0x7C00) | ((200u * 0x3E0 / 255) & 0x3E0));
  // 24 bits: per byte with division by 255; the key compares three bytes.
  TDIBSurface d24 = Solid(2, 1, 24, 0x102030);
  TDIBSurface s24 = Solid(2, 1, 24, 0xF0E0D0);
  StorePixel(s24.ScanLine(0), 24, 1, 0x010203);
  BrixBlendAlpha(d24, s24, 64, 0x7F010203);
  EXPECT_EQ(Px(d24, 0, 0), ((191u * 0x10 + 64 * 0xF0) / 255) << 16 |
                               ((191u * 0x20 + 64 * 0xE0) / 255) << 8 |
                               ((191u * 0x30 + 64 * 0xD0) / 255));
  EXPECT_EQ(Px(d24, 1, 0), 0x102030u);
  // 32 bits: red and blue together, green apart, shifted by 8.
  TDIBSurface d32 = Solid(1, 1, 32, 0x00FF00FF);
  BrixBlendAlpha(d32, Solid(1, 1, 32, 0x0000FF00), 51, -1);
  EXPECT_EQ(Px(d32, 0, 0),
            (((0xFF00FFu * 204) >> 8) & 0xFF00FF) | (((0xFF00u * 51) >> 8) & 0xFF00));
}

TEST(BrixRuleA, MinusOneIsNeverAKeyAndNegativeAlphaCopies) {
  for (int bits : {15, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const uint32_t white = bits == 32 ? 0xFFFFFFFFu : bits == 24 ? 0xFFFFFFu : 0x7FFFu;
    TDIBSurface d = Solid(2, 1, bits, 0);
    BrixBlendAlpha(d, Solid(2, 1, bits, white), -1, -1);
    EXPECT_EQ(Px(d, 1, 0), white);
    TDIBSurface z = Solid(1, 1, bits, 5);
    BrixBlendAlpha(z, Solid(1, 1, bits, white), 0, -1);
    EXPECT_EQ(Px(z, 0, 0), 5u);
  }
}

TEST(BrixRuleM, BlendsThroughTheMask) {
  TDIBSurface mask = Solid(3, 1, 8, 0);
  StorePixel(mask.ScanLine(0), 8, 1, 255);
  StorePixel(mask.ScanLine(0), 8, 2, 100);
  TDIBSurface d24 = Solid(3, 1, 24, 0x000000);
  BrixBlendMask(d24, Solid(3, 1, 24, 0xC8C8C8), mask);
  EXPECT_EQ(Px(d24, 0, 0), 0u);
  EXPECT_EQ(Px(d24, 1, 0), 0xC8C8C8u);
  EXPECT_EQ(Px(d24, 2, 0), 0x4E4E4Eu);  // 200 * 100 >> 8
  TDIBSurface d16 = Solid(3, 1, 16, 0xFFFF);
  BrixBlendMask(d16, Solid(3, 1, 16, 0), mask);
  EXPECT_EQ(Px(d16, 2, 0), (((0xF800u * 155) >> 8) & 0xF800) | (((0x7E0u * 155) >> 8) & 0x7E0) |
                               (((0x1Fu * 155) >> 8) & 0x1F));
  TDIBSurface d8 = Solid(3, 1, 8, 1);
  StorePixel(mask.ScanLine(0), 8, 0, 128);
  BrixBlendMask(d8, Solid(3, 1, 8, 2), mask);
  EXPECT_EQ(Px(d8, 0, 0), 2u);  // 128 and above copy
  EXPECT_EQ(Px(d8, 2, 0), 1u);
  TDIBSurface d32 = Solid(3, 1, 32, 0);
  BrixBlendMask(d32, Solid(3, 1, 32, 0xFFFFFF), mask);
  EXPECT_EQ(Px(d32, 2, 0), 0x636363u);  // (255 * 100) >> 8
}

}  // namespace
}  // namespace quen
