#include <gtest/gtest.h>

#include <map>

#include "text/text_pictures.h"
#include "text_helpers.h"

namespace quen {
namespace {

using testing::Rows;
using testing::SetMarkup;

struct LayoutCase {
  const char* markup;
  int32_t width;
  int32_t page_height;  // 0: paging off
  const char* rows;
};

std::string Lay(const char* markup, int32_t width, int32_t page_height, TKvWord& w,
                TWdPageList& pages) {
  w.settings.font_height = 12;
  w.settings.line_width = width;
  w.settings.page_height = page_height;
  w.settings.paging = page_height > 0;
  SetMarkup(w, markup);
  w.LayOut(pages);
  return Rows(pages);
}

// Every character is a 12-pixel cell.
TEST(TextLayout, LineBreakingRules) {
  const LayoutCase cases[] = {
      // A closing bracket never starts a line: the character before goes down with it.
      {"あいうえ」おか", 48, 0, "あいう | え」おか"},
      // An opening bracket never ends a line: it goes down with what follows.
      {"あいう「えお", 48, 0, "あいう | 「えお"},
      {"あい「「うえ", 48, 0, "あい | 「「うえ"},
      // ASCII words stay whole, a space stays with the word before it, and a word wider than
      // the line takes a row of its own.
      {"ab cdefgh ij", 48, 0, "ab  | cdefgh  | ij"},
      {"abcdefghijklmnop q", 48, 0, "abcdefghijklmnop  | q"},
      {"あ<NOBR>いうえ</NOBR>お", 36, 0, "あ | いうえ | お"},
      {"あい<RUBY VALUE=x>うえお</RUBY>か", 36, 0, "あい | うえお | か"},
      // Two glyphs without ruby are no ruby group: plain text wraps.
      {"あいうえおか", 24, 0, "あい | うえ | おか"},
      {"あ<BR>い<BR CLEAR>う<CLEAR>え", 48, 0, "あ | い # う # え"},
      {"あいうえおかきくけこさし", 24, 24, "あい | うえ # おか | きく # けこ | さし"},
      // A row taller than the page is placed anyway.
      {"<FONT SIZE=40>大</FONT>あ", 48, 24, "大 # あ"},
      {"あいう<BR>えお", 0, 0, "あいう | えお"},
  };
  for (const LayoutCase& c : cases) {
    TKvWord w;
    TWdPageList pages;
    EXPECT_EQ(Lay(c.markup, c.width, c.page_height, w, pages), c.rows) << c.markup;
  }
}

TEST(TextLayout, AlignmentIndentationAndWidthZero) {
  TKvWord w;
  TWdPageList pages;
  Lay("あ<DIV ALIGN=CENTER>い<BR>うえ</DIV>お<BR>か<DIV ALIGN=RIGHT>き", 48, 0, w, pages);
  const auto& rows = pages[0]->rows;
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]->items[0].x, 0);  // the row had text before DIV: it stays left
  EXPECT_EQ(rows[1]->items[0].x, 6);  // centred: (48 - 36) / 2
  EXPECT_EQ(rows[1]->items[0].y, 12);
  EXPECT_EQ(rows[2]->items[0].x, 0);  // /DIV: left again
  EXPECT_EQ(rows[2]->items.back().x, 12);

  Lay("あ<INDENT>いうえおか<UNDENT><BR>き", 36, 0, w, pages);
  EXPECT_EQ(Rows(pages), "あいう | えお | か | き");
  EXPECT_EQ(pages[0]->rows[1]->items[1].x, 12);  // after the indentation space
  EXPECT_EQ(pages[0]->rows[3]->items[0].x, 0);

  Lay("あいう<BR>え<FONT SIZE=24>お</FONT>", 0, 0, w, pages);
  EXPECT_EQ(w.settings.line_width, 36);  // the widest row
  EXPECT_EQ(pages[0]->rows[1]->height, 24);
  EXPECT_EQ(pages[0]->rows[1]->items[0].y, 12 + 12);  // characters share the bottom line
}

class Pictures : public ITextPictureSource {
 public:
  bool FindPicture(const std::string& src, TTextPicture& out) override {
    auto it = sizes.find(src);
    if (it == sizes.end()) return false;
    out.width = it->second.first;
    out.height = it->second.second;
    return true;
  }
  std::map<std::string, std::pair<int32_t, int32_t>> sizes{{"p", {24, 24}}, {"tall", {24, 100}}};
};

TEST(TextLayout, FloatsNarrowTheRowsBesideThem) {
  Pictures pictures;
  SetTextPictureSource(&pictures);
  TKvWord w;
  TWdPageList pages;
  w.settings.font_height = 12;
  w.settings.line_width = 48;
  w.settings.paging = false;
  SetMarkup(w, "あいうえおかきく");
  w.InsertGlyph(0, std::make_unique<TWdImg>("p", WA_LEFT));
  w.LayOut(pages);
  EXPECT_EQ(Rows(pages), "[img]あい | うえ | おかきく");
  EXPECT_EQ(pages[0]->rows[0]->items[1].x, 24);

  // A float taller than the page starts one new page and is placed there.
  SetMarkup(w, "あい");
  w.InsertGlyph(1, std::make_unique<TWdImg>("tall", WA_RIGHT));
  w.settings.paging = true;
  w.settings.page_height = 24;
  w.LayOut(pages);
  EXPECT_EQ(Rows(pages), "あ # [img]い");
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[1]->rows[0]->items[0].x, 24);  // at the right limit
  EXPECT_EQ(pages[1]->first_index, 1);
  SetTextPictureSource(nullptr);
}

TEST(TextLayout, PagesKnowTheirGlyphRangesAndRelayoutIsStable) {
  TKvWord w;
  TWdPageList pages;
  Lay("<DIV ALIGN=RIGHT>あい<BR CLEAR><DIV ALIGN=CENTER>うえ", 48, 100, w, pages);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0]->first_index, 0);
  EXPECT_EQ(pages[0]->last_index, 3);
  EXPECT_EQ(pages[1]->first_index, 4);  // the DIV after the page break belongs to the next page
  EXPECT_EQ(pages[1]->last_index, 6);
  // Laying out the second page's range alone gives its rows again.
  TWdPageList again;
  w.LayOut(again, pages[1]->first_index, pages[1]->last_index);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0]->rows[0]->items[0].x, pages[1]->rows[0]->items[0].x);
  EXPECT_EQ(again[0]->rows[0]->items[0].x, 12);
}

}  // namespace
}  // namespace quen

namespace quen {
namespace {

TEST(TextLayout, InsertionPointSpacingAndInvisibleGlyphs) {
  TKvWord w;
  TWdPageList pages;
  w.settings.font_height = 12;
  w.settings.line_width = 48;
  w.settings.line_spacing = 3;
  w.settings.paging = false;
  // Appended text continues at the insertion point: the first row starts there, later rows
  // at the left.
  w.settings.insert_x = 24;
  w.settings.insert_y = 30;
  w.settings.insert_height = 20;
  SetMarkup(w, "あいうえ");
  w.LayOut(pages);
  EXPECT_EQ(Rows(pages), "あい | うえ");
  const auto& rows = pages[0]->rows;
  EXPECT_EQ(rows[0]->y, 30);
  EXPECT_EQ(rows[0]->height, 20);
  EXPECT_EQ(rows[0]->items[1].x, 24);
  EXPECT_EQ(rows[1]->y, 30 + 20 + 3);
  int32_t x = 0, y = 0, h = 0;
  w.EndPosition(pages, x, y, h);
  EXPECT_EQ(x, 24);
  EXPECT_EQ(y, 53);
  EXPECT_EQ(h, 12);

  // An event or an unexpanded variable is no content: a long word after it keeps its row.
  TKvWord v;
  v.settings = TKvWordSettings{};
  v.settings.font_height = 12;
  v.settings.line_width = 48;
  v.settings.paging = false;
  SetMarkup(v, "<EVENT VALUE=e><VAR NAME=n>abcdefgh");
  v.LayOut(pages);
  EXPECT_EQ(Rows(pages), "abcdefgh");
  EXPECT_EQ(pages[0]->rows[0]->items.size(), 10u);
}

}  // namespace
}  // namespace quen
