#include <gtest/gtest.h>

#include "base/error.h"
#include "imaging/dibx.h"
#include "imaging/font_pixel.h"
#include "text/label_renderer.h"
#include "text/text_pictures.h"
#include "text_helpers.h"

namespace quen {
namespace {

using testing::SetMarkup;
using testing::Sjis;

std::unique_ptr<TDIBX> Surface(int32_t w, int32_t h, uint32_t pixel) {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(w, h, 32);
  s->Fill(pixel);
  return s;
}

// Pixels of a surface that differ from a fill value, and the colours seen among them.
int Changed(TDIBX& s, uint32_t fill, const TRect& area, bool* outside = nullptr) {
  int n = 0;
  for (int32_t y = 0; y < s.Height(); ++y) {
    for (int32_t x = 0; x < s.Width(); ++x) {
      if (s.GetPixel(x, y) == fill) continue;
      ++n;
      if (outside && !area.Contains(x, y)) *outside = true;
    }
  }
  return n;
}

struct Page {
  TFontPixelManager fonts;
  TKvWord w;
  TWdPageList pages;
  explicit Page(const char* markup) {
    w.settings.font_height = 24;
    w.settings.line_width = 200;
    w.settings.paging = false;
    w.settings.font_color = 0xFFFFFF;
    w.settings.antialias = 3;
    SetMarkup(w, markup);
    w.LayOut(pages);
  }
};

TEST(PageDrawing, BlendGlyphAlphaAndClip) {
  Page p("漢字<A HREF=go>リンク</A>");
  auto full = Surface(200, 40, 0);
  std::vector<TRect> changed;
  p.w.DrawPage(*p.pages[0], *full, 0, 5, TRect{0, 0, 200, 40}, TPageDrawState{}, &changed);
  EXPECT_GT(Changed(*full, 0, {}), 100);
  EXPECT_EQ(changed.size(), 5u);
  // Link glyphs in the link colour, or the hover colour while hovered: some pixel within 8 of
  // the colour in every channel.
  const auto has_colour = [](TDIBX& s, TColor c, const TRect& area) {
    const auto near = [](int a, int b) { return a - b < 8 && b - a < 8; };
    for (int32_t y = area.Top; y < area.Bottom; ++y) {
      for (int32_t x = area.Left; x < area.Right; ++x) {
        const TColor p = s.PixelToColor(s.GetPixel(x, y));
        if (near(GetRValue(p), GetRValue(c)) && near(GetGValue(p), GetGValue(c)) &&
            near(GetBValue(p), GetBValue(c)))
          return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(has_colour(*full, 0xFFFFFF, TRect{0, 0, 48, 40}));
  EXPECT_TRUE(has_colour(*full, p.w.settings.link_color, TRect{48, 0, 120, 40}));
  TPageDrawState hover;
  hover.hover_first = 2;
  hover.hover_last = 4;
  auto hovered = Surface(200, 40, 0);
  p.w.DrawPage(*p.pages[0], *hovered, 0, 5, TRect{0, 0, 200, 40}, hover);
  EXPECT_TRUE(has_colour(*hovered, p.w.settings.hover_color, TRect{48, 0, 120, 40}));

  // Cut to the clip; the changed rectangles stay inside it.
  auto clipped = Surface(200, 40, 0);
  changed.clear();
  const TRect clip{10, 8, 60, 30};
  p.w.DrawPage(*p.pages[0], *clipped, 0, 5, clip, TPageDrawState{}, &changed);
  bool outside = false;
  EXPECT_GT(Changed(*clipped, 0, clip, &outside), 10);
  EXPECT_FALSE(outside);
  for (const TRect& r : changed) EXPECT_EQ(r.Intersect(clip), r);

  // A glyph at alpha 0 and a blend of 0 draw nothing; half alpha draws less ink.
  p.pages[0]->rows[0]->items[0].alpha = 0;
  auto first_hidden = Surface(200, 40, 0);
  p.w.DrawPage(*p.pages[0], *first_hidden, 0, 5, TRect{0, 0, 24, 40}, TPageDrawState{});
  EXPECT_EQ(Changed(*first_hidden, 0, {}), 0);
  TPageDrawState none;
  none.blend = 0;
  auto blank = Surface(200, 40, 0);
  p.w.DrawPage(*p.pages[0], *blank, 0, 5, TRect{0, 0, 200, 40}, none);
  EXPECT_EQ(Changed(*blank, 0, {}), 0);
  // Additive blending brightens a grey ground.
  TPageDrawState add;
  add.blend = 256 + 255;
  p.pages[0]->rows[0]->items[0].alpha = 255;
  auto grey = Surface(200, 40, 0x404040);
  p.w.DrawPage(*p.pages[0], *grey, 0, 5, TRect{0, 0, 200, 40}, add);
  EXPECT_GT(Changed(*grey, 0x404040, {}), 100);
}

// Pictures of IMG tags, with a mask or with the colour key; ruby above its group.
class OnePicture : public ITextPictureSource {
 public:
  OnePicture() {
    picture.SetSize(10, 8, 32);
    picture.Fill(0x00FF00);
    picture.SetPixel(0, 0, 0x000000);
    picture.SetColorKey(0);
    mask.SetSize(10, 8, 8);
    mask.Fill(255);
  }
  bool FindPicture(const std::string& src, TTextPicture& out) override {
    out.surface = &picture;
    out.mask = src == "masked" ? &mask : nullptr;
    out.width = 10;
    out.height = 8;
    return true;
  }
  TDIBX picture, mask;
};

TEST(PageDrawing, PicturesAndRuby) {
  OnePicture source;
  SetTextPictureSource(&source);
  Page p("<IMG SRC=plain><IMG SRC=masked><RUBY VALUE=かんじ>漢字</RUBY>");
  auto target = Surface(200, 60, 0x202020);
  p.w.DrawPage(*p.pages[0], *target, 0, 0, TRect{0, 0, 200, 60}, TPageDrawState{});
  const int32_t row_bottom = p.pages[0]->rows[0]->height;
  // Images sit on the row's bottom line; the keyed pixel of the plain one stays the ground.
  EXPECT_EQ(target->GetPixel(0, row_bottom - 8), 0x202020u);
  EXPECT_EQ(target->PixelToColor(target->GetPixel(1, row_bottom - 8)), 0x00FF00);
  EXPECT_EQ(target->PixelToColor(target->GetPixel(11, row_bottom - 8)), 0x00FF00);
  // Ruby ink in the band above the characters (rows 0 .. 11 of a 24-pixel text).
  int ruby_ink = 0;
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 20; x < 68; ++x) ruby_ink += target->GetPixel(x, y) != 0x202020u;
  EXPECT_GT(ruby_ink, 20);
  // A picture at alpha 0 is not drawn; into a pair it is copied opaque.
  p.pages[0]->rows[0]->items[1].alpha = 0;
  auto hidden = Surface(200, 60, 0x202020);
  p.w.DrawPage(*p.pages[0], *hidden, 0, 0, TRect{0, 0, 20, 60}, TPageDrawState{});
  EXPECT_EQ(hidden->GetPixel(12, row_bottom - 4), 0x202020u);
  auto color = Surface(200, 60, 0);
  TDIBX alpha;
  alpha.SetSize(200, 60, 8);
  alpha.Fill(0);
  p.w.DrawPageToPair(*p.pages[0], *color, alpha, 0, 0, TPageDrawState{});
  EXPECT_EQ(alpha.GetPixel(0, row_bottom - 8), 0u);
  EXPECT_EQ(alpha.GetPixel(12, row_bottom - 4), 255u);
  SetTextPictureSource(nullptr);
}

TEST(LabelRendering, AdvancesBordersAndAlignment) {
  TFontPixelManager fonts;
  TLabelStyle st;
  st.face = Sjis("ＭＳ ゴシック");
  st.height = 24;
  st.color = 0x00FF00;
  TLabel l;
  RenderLabelLines({"ABC", Sjis("漢")}, st, 32, l);
  EXPECT_EQ(l.width, 36);  // three 12-pixel advances, not three cells
  EXPECT_EQ(l.height, 48);
  EXPECT_EQ(l.color.PixelToColor(l.color.GetPixel(0, 0)), 0x00FF00);  // filled with the colour
  int ink = 0;
  for (int32_t y = 24; y < 48; ++y)
    for (int32_t x = 24; x < 36; ++x) ink += l.mask.GetPixel(x, y) > 0;
  EXPECT_EQ(ink, 0);  // the kanji line is left-aligned: nothing right of it
  st.align = 1;
  st.border = 1;
  st.shadow = 2;
  st.line_space = 3;
  RenderLabelLines({"ABC", Sjis("漢")}, st, 16, l);
  EXPECT_EQ(l.width, 36 + 2 + 2);
  EXPECT_EQ(l.height, 2 * (24 + 2 + 2 + 3));
  EXPECT_EQ(LabelLineWidth(Sjis("漢"), st), 24 + 4);
  RenderLabelLines({}, st, 32, l);
  EXPECT_EQ(l.width, 0);
}

TEST(LabelRendering, ListStreamAndDrawing) {
  TFontPixelManager fonts;
  TLabelList list;
  list.style.height = 12;
  list.style.color = 0xFFFFFF;
  list.style.border = 1;
  list.blend = 200;
  list.SetItems({"one", Sjis("二行\r\n目")});
  EXPECT_EQ(list.Label(1, 32)->height, 2 * (12 + 2));
  TKvMemoryStream m;
  list.SaveToStream(m);
  m.SetPosition(0);
  TLabelList back;
  back.LoadFromStream(m);
  EXPECT_EQ(back.Items(), list.Items());
  EXPECT_TRUE(back.style == list.style);
  EXPECT_EQ(back.blend, 200);
  EXPECT_EQ(back.Widest(32), list.Widest(32));
  for (size_t n = 0; n + 1 < m.Data().size(); n += 7) {
    TKvMemoryStream cut(m.Data().substr(0, n));
    EXPECT_THROW(back.LoadFromStream(cut), EQuenError);
    EXPECT_EQ(back.Items(), list.Items());
  }
  auto target = Surface(60, 20, 0);
  list.Draw(0, *target, -3, 2, TRect{0, 0, 20, 20});
  bool outside = false;
  EXPECT_GT(Changed(*target, 0, TRect{0, 0, 20, 20}, &outside), 5);
  EXPECT_FALSE(outside);
}

}  // namespace
}  // namespace quen
