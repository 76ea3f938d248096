#include "imaging/font_pixel.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <set>

#include "imaging/row_ops.h"
#include "platform/outline_font.h"
#include "platform/text_encoding.h"
#include "support/surface_helpers.h"

namespace quen {
namespace {

std::string Sjis(const char* utf8) {
  return platform::Utf8ToCp932(utf8);
}
uint16_t Code(const char* utf8) {
  const std::string s = Sjis(utf8);
  return s.size() == 2
             ? static_cast<uint16_t>((static_cast<uint8_t>(s[0]) << 8) | static_cast<uint8_t>(s[1]))
             : static_cast<uint8_t>(s[0]);
}
const std::string kGothic = Sjis("ＭＳ ゴシック");

int64_t Ink(TFontPixel* g) {
  int64_t sum = 0;
  for (int32_t y = 0; y < g->Height(); ++y)
    for (int32_t x = 0; x < g->Width(); ++x) sum += g->CoverageRow(y)[x];
  return sum;
}

TEST(GlyphCache, ReusesGlyphsPerLevelAndEvictsTheLeastRecent) {
  TFontPixelManager m;
  TFontPixel* a = m.GetGlyph(Code("あ"), kGothic, 0, 24);
  EXPECT_EQ(m.GetGlyph(Code("あ"), kGothic, 0, 24), a);
  m.Level = 2;
  TFontPixel* a2 = m.GetGlyph(Code("あ"), kGothic, 0, 24);
  EXPECT_NE(a2, a);
  EXPECT_EQ(a2->level, 2);
  m.Level = 3;
  EXPECT_EQ(m.GetGlyph(Code("あ"), kGothic, 0, 24), a);  // a is the most recent again

  // 255 more distinct glyphs fill the cache; a2 is now the least recent and goes next.
  for (uint16_t c = 0x889F; m.CachedCount() < TFontPixelManager::kCacheSize; ++c)
    m.GetGlyph(c, kGothic, 0, 24);
  EXPECT_EQ(m.CachedCount(), 256u);
  const int64_t fonts = m.FontsMade();
  m.GetGlyph('Z', kGothic, 0, 24);
  EXPECT_EQ(m.CachedCount(), 256u);
  EXPECT_EQ(m.GetGlyph(Code("あ"), kGothic, 0, 24), a);  // survived: used after a2
  EXPECT_EQ(m.FontsMade(), fonts);                       // same face, height, flags
  m.GetGlyph('Z', kGothic, kGlyphBold, 24);
  m.GetGlyph('Y', kGothic, kGlyphBold, 24);
  EXPECT_EQ(m.FontsMade(), fonts + 1);
}

TEST(GlyphCache, MetricsAtTheOriginalsSize) {
  TFontPixelManager m;
  TFontPixel* kana = m.GetGlyph(Code("あ"), kGothic, 0, 24);
  EXPECT_EQ(kana->Advance(), 24);
  TFontPixel* letter = m.GetGlyph('A', kGothic, 0, 24);
  EXPECT_EQ(letter->Advance(), 12);
  EXPECT_EQ(m.Ascent(), 21);  // the typographic ascender of a 24-pixel em
  TFontPixel* space = m.GetGlyph(' ', kGothic, 0, 24);
  EXPECT_EQ(space->Width(), 0);
  EXPECT_EQ(space->Advance(), 12);
  TFontPixel* lined = m.GetGlyph('A', kGothic, kGlyphUnderline | kGlyphStrikeOut, 24);
  EXPECT_GT(lined->underline_size, 0);
  EXPECT_GT(lined->strikeout_size, 0);
  EXPECT_GT(lined->strikeout_top, 0);
  EXPECT_LT(lined->strikeout_top, 24);
  EXPECT_GT(Ink(m.GetGlyph(Code("漢"), kGothic, kGlyphBold, 24)),
            Ink(m.GetGlyph(Code("漢"), kGothic, 0, 24)));
}

TEST(GlyphCache, CoverageHoldsOnlyTheLevelsValues) {
  TFontPixelManager m;
  for (int level = 0; level <= 3; ++level) {
    m.Level = level;
    const std::vector<uint8_t>& table = TFontPixelManager::LevelTable(level);
    const std::set<uint8_t> allowed(table.begin(), table.end());
    std::set<uint8_t> seen;
    for (const char* ch : {"漢", "字", "あ", "g"}) {
      TFontPixel* g = m.GetGlyph(Code(ch), kGothic, 0, 24);
      for (int32_t y = 0; y < g->Height(); ++y)
        for (int32_t x = 0; x < g->Width(); ++x) seen.insert(g->CoverageRow(y)[x]);
    }
    for (uint8_t v : seen) EXPECT_TRUE(allowed.count(v)) << "level " << level << " value " << +v;
    EXPECT_TRUE(seen.count(255)) << level;
    if (level == 0) {
      EXPECT_EQ(seen.size(), 2u);
    }
  }
}

TEST(GlyphCache, FacesAndAbsurdHeights) {
  EXPECT_EQ(platform::FaceFile(Sjis("ＭＳ Ｐゴシック")), platform::PinnedFontFiles()[1]);
  EXPECT_EQ(platform::FaceFile(Sjis("ＭＳ 明朝")), platform::PinnedFontFiles()[2]);
  EXPECT_EQ(platform::FaceFile(Sjis("IPAゴシック")), platform::PinnedFontFiles()[0]);
  EXPECT_EQ(platform::FaceFile("No Such Face"), platform::PinnedFontFiles()[0]);
  TFontPixelManager m;
  for (int32_t h : {INT_MAX, INT_MIN, 0, -1, 100000}) {
    TFontPixel* g = m.GetGlyph(Code("漢"), kGothic, kGlyphBold | kGlyphItalic, h);
    EXPECT_LE(g->Width(), 2 * kMaxGlyphHeight);
    EXPECT_LE(g->Height(), 2 * kMaxGlyphHeight);
  }
}

// ---- DrawChar ----

// Draws a glyph with both versions of the pixel operations onto copies of the same surfaces
// and expects the same bytes and the same changed rectangle.
struct DrawCase {
  int bits;
  bool clear, first, last;
  int edge, shadow;
  TRect cell;
  TRect clip;  // update rectangle of the colour surface; empty: none
};

void ExpectSameBytes(TFontPixel* g, const DrawCase& k, std::mt19937& rng) {
  auto color = testing::Noise(40, 36, k.bits, rng, 6);
  auto alpha = testing::Noise(40, 36, 8, rng, 4);
  auto color2 = testing::Solid(40, 36, k.bits, 0);
  auto alpha2 = testing::Solid(40, 36, 8, 0);
  color2->Draw(0, 0, false, false, false, TRect{0, 0, 40, 36}, *color);
  alpha2->Draw(0, 0, false, false, false, TRect{0, 0, 40, 36}, *alpha);
  if (!k.clip.IsEmpty()) {
    color->AddUpdateRect(k.clip);
    color2->AddUpdateRect(k.clip);
  }
  const uint32_t text = rng() & testing::PixelLimit(k.bits), edge = rng(), shadow = rng();
  TRect r1, r2;
  SetForceScalar(true);
  g->DrawChar(*color, *alpha, k.clear, r1, shadow & 0xFFFF, edge & 0xFFFF, text, k.last, k.first,
              k.shadow, k.edge, k.cell);
  SetForceScalar(false);
  g->DrawChar(*color2, *alpha2, k.clear, r2, shadow & 0xFFFF, edge & 0xFFFF, text, k.last, k.first,
              k.shadow, k.edge, k.cell);
  EXPECT_EQ(r1, r2);
  EXPECT_EQ(testing::Pixels(*color), testing::Pixels(*color2)) << k.bits << " e" << k.edge;
  EXPECT_EQ(testing::Pixels(*alpha), testing::Pixels(*alpha2));
}

TEST(DrawChar, PlainAndPackedVersionsGiveTheSameBytes) {
  TFontPixelManager m;
  std::mt19937 rng(5);
  const uint8_t flags[] = {0, kGlyphUnderline, kGlyphStrikeOut | kGlyphItalic,
                           kGlyphBold | kGlyphUnderline};
  for (int bits : {15, 16, 24, 32}) {
    for (int level : {0, 3}) {
      m.Level = level;
      for (uint8_t f : flags) {
        for (const char* ch : {"漢", "i", "W"}) {
          TFontPixel* g = m.GetGlyph(Code(ch), kGothic, f, 20);
          for (int edge : {0, 1, 3}) {
            for (int shadow : {0, 2}) {
              const int x = static_cast<int>(rng() % 50) - 15,
                        y = static_cast<int>(rng() % 44) - 12;
              const bool clip = rng() % 3 == 0;
              DrawCase k{bits,
                         rng() % 2 == 0,
                         rng() % 2 == 0,
                         rng() % 2 == 0,
                         edge,
                         shadow,
                         TRect::FromSize(x, y, 20 + 2 * edge + shadow, 20 + 2 * edge + shadow),
                         clip ? TRect{3, 5, 31, 27} : TRect{}};
              ExpectSameBytes(g, k, rng);
            }
          }
        }
      }
    }
  }
}

// A glyph holding every coverage value composed over every alpha value: the packed division
// must agree with the plain rule on all 65536 pairs.
TEST(DrawChar, CompositionAgreesOnEveryCoverageAndAlpha) {
  TFontPixel g;
  g.Coverage().SetSize(256, 1, 8);
  for (int v = 0; v < 256; ++v) g.Coverage().DIB().ScanLine(0)[v] = static_cast<uint8_t>(v);
  g.height = 1;  // no centring
  // With a shadow of 1 the glyph is composed on row 0 and its shadow copied onto row 1.
  for (int bits : {16, 32}) {
    const uint32_t text = 0xC0FFEE & testing::PixelLimit(bits);
    for (int a = 0; a < 256; ++a) {
      std::vector<uint32_t> rows[2][2];
      for (bool fast : {false, true}) {
        auto color = testing::Solid(257, 2, bits, 0x123456 & testing::PixelLimit(bits));
        auto alpha = testing::Solid(257, 2, 8, static_cast<uint32_t>(a));
        TRect r;
        SetForceScalar(!fast);
        g.DrawChar(*color, *alpha, false, r, 0, 0, text, false, false, 1, 0,
                   TRect::FromSize(0, 0, 1, 2));
        for (int x = 0; x < 256; ++x) {
          rows[fast][0].push_back(color->GetPixel(x, 0));
          rows[fast][1].push_back(alpha->GetPixel(x, 0));
        }
      }
      SetForceScalar(false);
      ASSERT_EQ(rows[0][0], rows[1][0]) << bits << " alpha " << a;
      ASSERT_EQ(rows[0][1], rows[1][1]) << bits << " alpha " << a;
    }
  }
}

TEST(DrawChar, LinesWithoutEdgeTouchOnlyAlpha) {
  TFontPixelManager m;
  TFontPixel* g = m.GetGlyph(' ' + 1, kGothic, kGlyphUnderline | kGlyphStrikeOut, 24);  // "!"
  auto color = testing::Solid(40, 30, 32, 0x010203);
  auto alpha = testing::Solid(40, 30, 8, 0);
  TRect changed;
  g->DrawChar(*color, *alpha, false, changed, 0, 0, 0xFFFFFF, true, true, 0, 0,
              TRect::FromSize(4, 2, 24, 24));
  // Underline: the cell's bottom rows; colour keeps its old pixels there.
  for (int y = 26 - g->underline_size; y < 26; ++y) {
    EXPECT_EQ(alpha->GetPixel(4, y), 255u);
    EXPECT_EQ(color->GetPixel(4, y), 0x010203u);
  }
  EXPECT_EQ(alpha->GetPixel(4, 2 + g->strikeout_top), 255u);
  EXPECT_EQ(changed.Left, 4);
  EXPECT_EQ(changed.Right, 28);
  EXPECT_EQ(changed.Bottom, 26);
}

TEST(DrawChar, ClearWithEdgeLeavesAlphaLeftOfTheCentredGlyph) {
  TFontPixelManager m;
  TFontPixel* g = m.GetGlyph('i', kGothic, 0, 24);
  ASSERT_GT(g->Width(), 0);
  auto color = testing::Solid(48, 40, 32, 0);
  auto alpha = testing::Solid(48, 40, 8, 77);
  TRect changed;
  // A wide cell: the narrow letter is centred, s > 0.
  g->DrawChar(*color, *alpha, true, changed, 0, 0x00FF00, 0xFFFFFF, false, false, 0, 1,
              TRect::FromSize(0, 0, 26, 26));
  ASSERT_GT(changed.Left, g->left);
  for (int x = 0; x < changed.Left; ++x) EXPECT_EQ(alpha->GetPixel(x, 10), 77u) << x;
  EXPECT_EQ(alpha->GetPixel(changed.Left, g->top), 0u);  // the cleared box starts at the glyph
}

TEST(DrawChar, CellsFarOutsideAndAbsurdWidthsEndCleanly) {
  TFontPixelManager m;
  TFontPixel* g = m.GetGlyph(Code("漢"), kGothic, kGlyphUnderline | kGlyphStrikeOut, 24);
  auto color = testing::Solid(30, 30, 16, 0);
  auto alpha = testing::Solid(30, 30, 8, 0);
  auto small = testing::Solid(10, 10, 8, 0);  // an alpha surface smaller than the colour one
  TRect changed;
  for (const TRect& cell : {TRect{INT_MAX - 5, INT_MAX - 5, INT_MAX, INT_MAX},
                            TRect{INT_MIN, INT_MIN, INT_MIN + 30, INT_MIN + 30},
                            TRect{-20, -20, 40, 40}, TRect{INT_MIN, 0, INT_MAX, 30}}) {
    for (bool fast : {false, true}) {
      SetForceScalar(!fast);
      g->DrawChar(*color, *alpha, true, changed, 1, 2, 3, true, true, INT_MAX, INT_MAX, cell);
      EXPECT_TRUE(changed.IsEmpty() || (TRect{0, 0, 30, 30}.Intersect(changed) == changed));
      g->DrawChar(*color, *small, false, changed, 1, 2, 3, true, true, -5, 2, cell);
    }
  }
  SetForceScalar(false);
}

}  // namespace
}  // namespace quen
