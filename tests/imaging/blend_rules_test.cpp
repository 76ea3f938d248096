// The per-pixel arithmetic of each blend family, checked on hand-worked values. Every case
// runs on the plain path and on the packed path the processor offers.
#include <gtest/gtest.h>

#include "imaging/dibx.h"
#include "imaging/row_ops.h"
#include "support/surface_helpers.h"

namespace quen {
namespace {

using testing::Solid;

class BlendRules : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { SetForceScalar(GetParam()); }
  void TearDown() override { SetForceScalar(false); }
};

// Wide enough that the packed paths take whole vectors and a tail.
constexpr int32_t kW = 37;

TEST_P(BlendRules, AlphaBlendPerChannelAndSkips) {
  auto dst = Solid(kW, 2, 32, 0x00000000);
  auto src = Solid(kW, 2, 32, 0x00FF8040);
  dst->DrawAlpha(0, 0, 128, false, false, false, TRect{0, 0, kW, 2}, *src);
  EXPECT_EQ(dst->GetPixel(kW - 1, 1), 0x007F4020u);

  // 255 is one step below the source for bright channels; callers copy for opaque.
  auto d2 = Solid(kW, 1, 32, 0);
  auto white = Solid(kW, 1, 32, 0x00FFFFFF);
  d2->DrawAlpha(0, 0, 255, false, false, false, TRect{0, 0, kW, 1}, *white);
  EXPECT_EQ(d2->GetPixel(3, 0), 0x00FEFEFEu);
  // A source pixel equal to the destination is left alone, not darkened.
  auto d3 = Solid(kW, 1, 32, 0x00FFFFFF);
  d3->DrawAlpha(0, 0, 100, false, false, false, TRect{0, 0, kW, 1}, *white);
  EXPECT_EQ(d3->GetPixel(20, 0), 0x00FFFFFFu);

  // 5-6-5: red 31, green 63 over black at 128 -> 15, 31.
  auto d16 = Solid(kW, 1, 16, 0);
  auto s16 = Solid(kW, 1, 16, 0xFFE0);
  d16->DrawAlpha(0, 0, 128, false, false, false, TRect{0, 0, kW, 1}, *s16);
  EXPECT_EQ(d16->GetPixel(kW - 1, 0), (15u << 11) | (31u << 5));
  // 5-5-5 keeps the top bit clear.
  auto d15 = Solid(kW, 1, 15, 0x8000);
  auto s15 = Solid(kW, 1, 15, 0x7FFF);
  d15->DrawAlpha(0, 0, 128, false, false, false, TRect{0, 0, kW, 1}, *s15);
  EXPECT_EQ(d15->GetPixel(0, 0), (15u << 10) | (15u << 5) | 15u);
}

TEST_P(BlendRules, KeyedDrawsSkipKeyPixelsOnly) {
  auto src = Solid(kW, 1, 32, 0x00123456);
  src->SetPixel(5, 0, 0x00FF00FF);
  src->SetPixel(30, 0, 0x00FF00FF);
  src->SetColorKey(0x00FF00FF);
  for (int family = 0; family < 3; ++family) {
    auto dst = Solid(kW, 1, 32, 0x00010101);
    const TRect r{0, 0, kW, 1};
    if (family == 0) dst->Draw(0, 0, false, false, true, r, *src);
    if (family == 1) dst->DrawAlpha(0, 0, 200, false, false, true, r, *src);
    if (family == 2) dst->DrawAdd(0, 0, 128, false, false, true, r, *src);
    EXPECT_EQ(dst->GetPixel(5, 0), 0x00010101u) << family;
    EXPECT_EQ(dst->GetPixel(30, 0), 0x00010101u) << family;
    EXPECT_NE(dst->GetPixel(6, 0), 0x00010101u) << family;
  }
  // Without transparent set the key pixel is drawn like any other.
  auto dst = Solid(kW, 1, 32, 0);
  dst->Draw(0, 0, false, false, false, TRect{0, 0, kW, 1}, *src);
  EXPECT_EQ(dst->GetPixel(5, 0), 0x00FF00FFu);
}

TEST_P(BlendRules, AdditiveSaturatesEachChannel) {
  auto dst = Solid(kW, 1, 32, 0x00F01000);
  auto src = Solid(kW, 1, 32, 0x00808080);
  dst->DrawAdd(0, 0, 255, false, false, false, TRect{0, 0, kW, 1}, *src);
  // (0x80 × 255) >> 8 = 0x7F per channel.
  EXPECT_EQ(dst->GetPixel(kW - 1, 0), 0x00FF8F7Fu);
  auto d16 = Solid(kW, 1, 16, 0xF800);
  auto s16 = Solid(kW, 1, 16, 0xFFFF);
  d16->DrawAdd(0, 0, 128, false, false, false, TRect{0, 0, kW, 1}, *s16);
  EXPECT_EQ(d16->GetPixel(1, 0), (31u << 11) | (31u << 5) | 15u);
  // Palette indices add without a level.
  auto d8 = Solid(kW, 1, 8, 200);
  auto s8 = Solid(kW, 1, 8, 100);
  d8->DrawAdd(0, 0, 1, false, false, false, TRect{0, 0, kW, 1}, *s8);
  EXPECT_EQ(d8->GetPixel(0, 0), 255u);
}

TEST_P(BlendRules, FillFamilies) {
  auto s = Solid(kW, 1, 32, 0x00102030);
  s->FillRectAdd(TRect{0, 0, kW, 1}, 0x00F0F0F0);
  EXPECT_EQ(s->GetPixel(0, 0), 0x00FFFFFFu);
  s->FillRectSub(TRect{0, 0, kW, 1}, 0x00F00010);
  EXPECT_EQ(s->GetPixel(kW - 1, 0), 0x000FFFEFu);
  // Pixels that already hold the colour stay exactly as they are.
  auto f = Solid(kW, 1, 16, 0x1234);
  f->SetPixel(3, 0, 0x0000);
  f->FillRectAlpha(TRect{0, 0, kW, 1}, 0x1234, 77);
  EXPECT_EQ(f->GetPixel(0, 0), 0x1234u);
  EXPECT_NE(f->GetPixel(3, 0), 0u);
  auto g = Solid(kW, 1, 15, 0x7FFF);
  g->FillRectSub(TRect{0, 0, kW, 1}, 0x7C1F);
  EXPECT_EQ(g->GetPixel(9, 0), 0x03E0u);
}

TEST_P(BlendRules, MaskFamiliesWeightByCoverage) {
  auto src = Solid(kW, 1, 32, 0xAAFFFFFF);
  auto mask = Solid(kW, 1, 8, 0);
  mask->SetPixel(1, 0, 255);
  mask->SetPixel(2, 0, 128);
  auto dst = Solid(kW, 1, 32, 0x00000000);
  dst->DrawMask(0, 0, *mask, false, false, TRect{0, 0, kW, 1}, *src);
  EXPECT_EQ(dst->GetPixel(0, 0), 0u);
  EXPECT_EQ(dst->GetPixel(1, 0), 0xAAFFFFFFu);  // full coverage copies the raw pixel
  EXPECT_EQ(dst->GetPixel(2, 0), 0x557F7F7Fu);

  auto d2 = Solid(kW, 1, 32, 0);
  d2->DrawAlphaMask(0, 0, 128, *mask, false, false, TRect{0, 0, kW, 1}, *src);
  // k = (128 × 255) >> 8 = 127; (255 × 127) >> 8 = 126.
  EXPECT_EQ(d2->GetPixel(1, 0) & 0xFFFFFF, 0x7E7E7Eu);
  auto d3 = Solid(kW, 1, 32, 0x00010101);
  d3->DrawAddMask(0, 0, 255, *mask, false, false, TRect{0, 0, kW, 1}, *src);
  // k = (255 × 128) >> 8 = 127; 1 + ((255 × 127) >> 8) = 127.
  EXPECT_EQ(d3->GetPixel(2, 0) & 0xFFFFFF, 0x007F7F7Fu);
  EXPECT_EQ(d3->GetPixel(0, 0), 0x00010101u);
}

TEST_P(BlendRules, ColorMaskWeights) {
  auto mask = Solid(kW, 1, 8, 255);
  mask->SetPixel(1, 0, 0);
  mask->SetPixel(2, 0, 128);
  auto dst = Solid(kW, 1, 32, 0);
  dst->DrawColorMask(0, 0, 0x00FFFFFF, 128, false, false, TRect{0, 0, kW, 1}, *mask);
  EXPECT_EQ(dst->GetPixel(0, 0), 0x007F7F7Fu);  // m = 255 takes k = alpha
  EXPECT_EQ(dst->GetPixel(1, 0), 0u);
  EXPECT_EQ(dst->GetPixel(2, 0), 0x003F3F3Fu);  // k = (128 × 128) >> 8 = 64
  // The mask must cover srcRect.
  auto d2 = Solid(kW, 1, 32, 0);
  d2->DrawColorMask(0, 0, 0x00FFFFFF, 255, false, false, TRect{0, 0, kW + 1, 1}, *mask);
  EXPECT_EQ(d2->GetPixel(0, 0), 0u);
}

TEST_P(BlendRules, ZeroAlphaLevelOrBlendDrawsNothing) {
  auto src = Solid(8, 8, 32, 0x00FFFFFF);
  auto mask = Solid(8, 8, 8, 255);
  auto dst = Solid(8, 8, 32, 0x00123456);
  const TRect r{0, 0, 8, 8};
  dst->DrawAlpha(0, 0, 0, false, false, false, r, *src);
  dst->DrawAdd(0, 0, 0, false, false, false, r, *src);
  dst->DrawAlphaMask(0, 0, 0, *mask, false, false, r, *src);
  dst->DrawAddMask(0, 0, 0, *mask, false, false, r, *src);
  dst->FillRectAlpha(r, 0, 0);
  dst->DrawRotZoom(0, 0, 0, false, false, false, 0, 0, 0, r, *src, 256, 256);
  dst->StretchDraw(r, *src, 0, false, false, false, r);
  dst->Draw(0, 0, false, false, false, TRect{2, 2, 2, 8}, *src);
  for (uint32_t p : testing::Pixels(*dst)) ASSERT_EQ(p, 0x00123456u);
}

INSTANTIATE_TEST_SUITE_P(Paths, BlendRules, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Scalar" : "Packed"; });

}  // namespace
}  // namespace quen
