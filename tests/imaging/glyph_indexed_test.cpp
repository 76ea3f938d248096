// Oversampled glyphs and palette-indexed drawing.
#include <gtest/gtest.h>

#include "imaging/dibx.h"
#include "imaging/pixel_convert.h"
#include "support/surface_helpers.h"

namespace quen {
namespace {

using testing::Solid;

// A 1-bit glyph source, 8 × 4: the left 4 × 4 block all ink (0 bits), the right block with
// ink in its top two rows only.
std::unique_ptr<TDIBX> MonoSource() {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(8, 4, 1);
  for (int y = 0; y < 4; ++y) s->DIB().ScanLine(y)[0] = y < 2 ? 0x00 : 0x0F;
  return s;
}

TEST(Glyphs, MonoGlyphCountsInkPerDestinationPixel) {
  auto src = MonoSource();
  auto dst = Solid(4, 2, 32, 0);
  dst->DrawMonoGlyph(1, 0, 4, 255, false, false, 0x00FFFFFF, TRect{0, 0, 8, 4}, *src);
  EXPECT_EQ(dst->GetPixel(1, 0), 0x00FFFFFFu);
  EXPECT_EQ(dst->GetPixel(2, 0), 0x007F7F7Fu);  // 8 of 16: (0xFF × 8) >> 4
  EXPECT_EQ(dst->GetPixel(0, 0), 0u);
  EXPECT_EQ(dst->GetPixel(1, 1), 0u);
  // Mirrored: the half-covered block lands first.
  auto m = Solid(2, 1, 32, 0);
  m->DrawMonoGlyph(0, 0, 4, 255, false, true, 0x00FFFFFF, TRect{0, 0, 8, 4}, *src);
  EXPECT_EQ(m->GetPixel(0, 0), 0x007F7F7Fu);
  EXPECT_EQ(m->GetPixel(1, 0), 0x00FFFFFFu);
  // Alpha scales the count: (128 × 16) >> 8 = 8.
  auto a = Solid(1, 1, 16, 0);
  a->DrawMonoGlyph(0, 0, 4, 128, false, false, 0xFFFF, TRect{0, 0, 4, 4}, *src);
  EXPECT_EQ(a->GetPixel(0, 0), (15u << 11) | (31u << 5) | 15u);
  // Other factors divide by factor², not by 16.
  auto f2 = Solid(1, 1, 32, 0);
  f2->DrawMonoGlyph(0, 0, 2, 255, false, false, 0x00FFFFFF, TRect{0, 0, 2, 2}, *src);
  EXPECT_EQ(f2->GetPixel(0, 0), 0x00FFFFFFu);
}

// A 4-bit class source of one 4 × 4 block, every sub-pixel of class c.
std::unique_ptr<TDIBX> ClassSource(int c) {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(4, 4, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) StorePixel(s->DIB().ScanLine(y), 4, x, static_cast<uint32_t>(c));
  }
  return s;
}

TEST(Glyphs, OutlineGlyphWeightsTheThreeColours) {
  auto one = ClassSource(1);
  auto dst = Solid(1, 1, 32, 0x00102030);
  dst->DrawOutlineGlyph(0, 0, 4, 255, false, false, 0x00AABBCC, 0, 0, TRect{0, 0, 4, 4}, *one);
  EXPECT_EQ(dst->GetPixel(0, 0), 0x00AABBCCu);
  // Half weight per sub-pixel: (colour × 128 × 16 + d × 128 × 16) / 4096.
  auto d2 = Solid(1, 1, 32, 0);
  d2->DrawOutlineGlyph(0, 0, 4, 128, false, false, 0x00FEFEFE, 0, 0, TRect{0, 0, 4, 4}, *one);
  EXPECT_EQ(d2->GetPixel(0, 0), 0x007F7F7Fu);
  // Background sub-pixels leave the pixel alone.
  auto bg = ClassSource(0);
  auto d3 = Solid(1, 1, 32, 0x00ABCDEF);
  d3->DrawOutlineGlyph(0, 0, 4, 255, false, false, 0x00FFFFFF, 0, 0, TRect{0, 0, 4, 4}, *bg);
  EXPECT_EQ(d3->GetPixel(0, 0), 0x00ABCDEFu);
  // Additive white on white stays white: the sums are worked in 64 bits and saturate.
  auto three = ClassSource(3);
  auto d4 = Solid(1, 1, 32, 0x00FFFFFF);
  d4->DrawOutlineGlyph(0, 0, 4, 511, false, false, 0, 0, 0x00FFFFFF, TRect{0, 0, 4, 4}, *three);
  EXPECT_EQ(d4->GetPixel(0, 0), 0x00FFFFFFu);
  // Level 255 per sub-pixel: green (0x7E0 × 4080) >> 12 keeps 62 of 63.
  auto d5 = Solid(1, 1, 16, 0xF800);
  d5->DrawOutlineGlyph(0, 0, 4, 511, false, false, 0, 0x07FF, 0, TRect{0, 0, 4, 4},
                       *ClassSource(2));
  EXPECT_EQ(d5->GetPixel(0, 0), (31u << 11) | (62u << 5) | 30u);
}

TEST(IndexedDrawing, SixteenEntryTableSkipsTheKeyIndex) {
  auto src = std::make_unique<TDIBX>();
  src->SetSize(5, 1, 4);
  for (int x = 0; x < 5; ++x) StorePixel(src->DIB().ScanLine(0), 4, x, static_cast<uint32_t>(x));
  src->SetColorKey(2);
  uint32_t table[16];
  for (int i = 0; i < 16; ++i) table[i] = 0x00010000u * static_cast<uint32_t>(i + 1);
  auto dst = Solid(6, 1, 32, 0x000000FF);
  dst->DrawIndexed16(1, 0, table, 255, false, false, TRect{0, 0, 5, 1}, *src);
  EXPECT_EQ(testing::Pixels(*dst),
            (std::vector<uint32_t>{0xFF, 0x10000, 0x20000, 0xFF, 0x40000, 0x50000}));
  auto flipped = Solid(5, 1, 32, 0);
  flipped->DrawIndexed16(0, 0, table, 300, false, true, TRect{0, 0, 5, 1}, *src);
  EXPECT_EQ(flipped->GetPixel(0, 0), (0x50000u * 44) >> 8 & 0xFF0000);
  EXPECT_EQ(flipped->GetPixel(2, 0), 0u);
}

TEST(IndexedDrawing, AdditiveTableSkipsIndicesBelowTheThreshold) {
  auto heat = std::make_unique<TDIBX>();
  heat->SetSize(4, 2, 8);
  for (int x = 0; x < 4; ++x) {
    heat->SetPixel(x, 0, static_cast<uint32_t>(x * 10));
    heat->SetPixel(x, 1, 255);
  }
  uint32_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint32_t>(i);
  auto dst = Solid(4, 2, 32, 0x00000001);
  dst->DrawIndexedAdd(0, 0, table, 255, false, false, 15, TRect{0, 0, 4, 2}, *heat);
  EXPECT_EQ(dst->GetPixel(0, 0), 1u);
  EXPECT_EQ(dst->GetPixel(1, 0), 1u);
  EXPECT_EQ(dst->GetPixel(2, 0), 1u + ((20u * 255) >> 8));
  EXPECT_EQ(dst->GetPixel(3, 1), 255u);
  // Stretched twice over.
  auto big = Solid(8, 4, 32, 0);
  big->StretchIndexedAdd(TRect{0, 0, 8, 4}, *heat, table, 255, false, false, 0, TRect{0, 0, 4, 2});
  EXPECT_EQ(big->GetPixel(7, 0), (30u * 255) >> 8);
  EXPECT_EQ(big->GetPixel(6, 1), (30u * 255) >> 8);
  EXPECT_EQ(big->GetPixel(0, 3), 254u);
}

}  // namespace
}  // namespace quen
