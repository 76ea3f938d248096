#include "platform/label_raster.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quen::platform {
namespace {

// Renders text at 12 px, or skips the test when the machine has no usable Japanese font.
#define RENDER_OR_SKIP(text, bitmap)                                       \
  do {                                                                     \
    if (!RenderLabel("A", 12, bitmap)) GTEST_SKIP() << "no Japanese font"; \
    ASSERT_TRUE(RenderLabel(text, 12, bitmap));                            \
  } while (0)

void ExpectWellFormed(const LabelBitmap& b) {
  EXPECT_GT(b.width, 0);
  EXPECT_GE(b.height, 10);
  EXPECT_LE(b.height, 20);
  EXPECT_EQ(b.coverage.size(), static_cast<size_t>(b.width) * b.height);
}

TEST(LabelRaster, DrawsJapaneseLabels) {
  LabelBitmap two, four;
  RENDER_OR_SKIP("終了", two);
  ASSERT_TRUE(RenderLabel("画面切替", 12, four));
  ExpectWellFormed(two);
  ExpectWellFormed(four);
  EXPECT_EQ(two.height, four.height);
  EXPECT_GT(four.width, two.width + 12);
  EXPECT_GE(*std::max_element(four.coverage.begin(), four.coverage.end()), 240);
  EXPECT_EQ(*std::min_element(four.coverage.begin(), four.coverage.end()), 0);
  // Anti-aliased strokes, not a filled box nor a blank one.
  const auto ink =
      std::count_if(four.coverage.begin(), four.coverage.end(), [](uint8_t v) { return v != 0; });
  EXPECT_GT(ink, four.width);
  EXPECT_LT(ink, static_cast<long>(four.coverage.size()));

  LabelBitmap again;
  ASSERT_TRUE(RenderLabel("画面切替", 12, again));
  EXPECT_EQ(again.width, four.width);
  EXPECT_EQ(again.coverage, four.coverage);
}

TEST(LabelRaster, SizeIsClampedAndEmptyTextFails) {
  LabelBitmap b;
  RENDER_OR_SKIP("終了", b);
  EXPECT_FALSE(RenderLabel("", 12, b));
  EXPECT_EQ(b.width, 0);
  EXPECT_TRUE(b.coverage.empty());

  LabelBitmap tiny, huge;
  ASSERT_TRUE(RenderLabel("終了", -5, tiny));
  ASSERT_TRUE(RenderLabel("終了", 100000, huge));
  EXPECT_LE(tiny.height, 8);
  EXPECT_GE(huge.height, 256);
  EXPECT_LE(huge.height, 400);
}

TEST(LabelRaster, MalformedUtf8StillRenders) {
  LabelBitmap whole, b;
  RENDER_OR_SKIP("終了", whole);
  // A truncated three-byte sequence at the end, a lone continuation byte, an overlong slash
  // and an encoded surrogate: each becomes one replacement character.
  for (const std::string text : {"終\xE4\xBA", "\x80",
                                 "a\xC0\xAF"
                                 "b",
                                 "\xED\xA0\x80", "\xF4"}) {
    ASSERT_TRUE(RenderLabel(text, 12, b)) << testing::PrintToString(text);
    ExpectWellFormed(b);
  }
  // The truncated character takes one cell, no more, so the label is as wide as two.
  ASSERT_TRUE(RenderLabel("終\xE4\xBA", 12, b));
  EXPECT_EQ(b.width, whole.width);
}

TEST(LabelRaster, LongTextIsCutAt8192Pixels) {
  LabelBitmap b;
  RENDER_OR_SKIP("終了", b);
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "画面切替";
  ASSERT_TRUE(RenderLabel(text, 12, b));
  EXPECT_LE(b.width, 8192);
  EXPECT_GT(b.width, 8192 - 24);
  EXPECT_EQ(b.coverage.size(), static_cast<size_t>(b.width) * b.height);
  // The last columns still hold ink: glyphs are placed right up to the limit.
  bool ink = false;
  for (int y = 0; y < b.height; ++y) ink |= b.coverage[y * b.width + b.width - 3] != 0;
  EXPECT_TRUE(ink);
}

}  // namespace
}  // namespace quen::platform
