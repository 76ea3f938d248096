#include <gtest/gtest.h>

#include "base/error.h"
#include "text/messages.h"
#include "text_helpers.h"

namespace quen {
namespace {

using testing::Glyphs;
using testing::SetMarkup;
using testing::Sjis;

struct BuildCase {
  const char* markup;
  const char* glyphs;
};

// Tokens, white space, escapes, comments and blocks: what becomes glyphs.
TEST(MarkupBuild, TokensBecomeTheseGlyphs) {
  const BuildCase cases[] = {
      {"<B>a</B>b<P>c", "abc"},
      {"a  b", "a b"},
      {"a\nb", "a b"},
      {"a \n b", "a b"},
      {"a <b> b", "a b"},  // across an unknown tag: still one space
      {"a\tb", "ab"},
      {"<PRE>a  b\tc\nd</PRE>", "a  b        c<return>d"},
      {"<PRE>\nx</PRE>", "x"},  // the break right after <PRE> is skipped
      {"<TEXTAREA>a  b\nc</TEXTAREA>", "a  bc"},
      {R"(a\<B\>b\\c\"d\%\{\})", R"(a<B>b\c"d%{})"},
      {R"(ソ\n表\)", R"(ソ\n表\)"},  // trail bytes 0x5C are no escapes; a final \ stays
      {R"(x"<B>"y)", R"(x"<B>"y)"},
      {"x<!-- <B> <!-- nested --> -->y", "xy"},
      {"x<SCRIPT>a<SCRIPT>b</SCRIPT>c</SCRIPT>y<STYLE>s</STYLE>z", "xyz"},
      {"x<!-- never closed", "x<!-- never closed"},  // an unfinished tag is text
      {"a < b", "a < b"},
      {"<BR><BR CLEAR><CLEAR><INDENT><UNDENT><DIV ALIGN=center></DIV>",
       "<return><return><return><indent><undent><align><align>"},
      {"<VAR><VAR NAME=x><HISTCHAR><HISTCHAR VALUE=y><IMG><IMG SRC=p>", "<var><histchar><image>"},
  };
  for (const BuildCase& c : cases) {
    TKvWord w;
    SetMarkup(w, c.markup);
    EXPECT_EQ(Glyphs(w), c.glyphs) << c.markup;
  }
}

TEST(MarkupBuild, TagsSetTheLooksOfCharacters) {
  TKvWord w;
  SetMarkup(w,
            "<B>a</B>b<FONT COLOR=#FF0000 SIZE=20 BCOLOR=red BORDER=x SHADOW=-2 NAME=f>c"
            "<FONT SIZE=zz COLOR=#12345>d</FONT></FONT>e<NOBR><RUBY VALUE=r><I><U><S>f");
  const auto deco = [&w](int i) { return *w.GlyphAt(i)->Decoration(); };
  EXPECT_EQ(deco(0).style, 1);
  EXPECT_EQ(deco(1).style, 0);
  EXPECT_EQ(deco(0).RefCount(), 1);
  const TDecorate c = deco(2);
  EXPECT_EQ(c.color, 0x0000FF);   // red in 0x00BBGGRR
  EXPECT_EQ(c.border_color, -1);  // not "#" + six digits: the stack top stays
  EXPECT_EQ(c.border, 1);         // malformed border: 1
  EXPECT_EQ(c.shadow, 0);         // negative shadow: 0
  EXPECT_EQ(c.size, 20);
  EXPECT_EQ(c.face, "f");
  const TDecorate d = deco(3);  // malformed size and colour keep the top
  EXPECT_EQ(d.size, 20);
  EXPECT_EQ(d.color, 0x0000FF);
  EXPECT_TRUE(deco(4).SameLooks(deco(1)));  // both FONTs popped
  EXPECT_EQ(deco(4).RefCount(), 2);         // b and e share one record
  const TDecorate f = deco(5);
  EXPECT_EQ(f.style, 2 | 4 | 8);
  EXPECT_TRUE(f.no_break);
  EXPECT_EQ(f.ruby, "r");
}

TEST(MarkupBuild, LinksDelaysEventsAndImages) {
  TKvWord w;
  w.text_delay = 30;
  SetMarkup(w,
            "a<A HREF='go there'>b</A>c<WAIT VALUE=5>d<WAIT VALUE=bad>e</WAIT></WAIT>f"
            "<EVENT VALUE=\"v\"><EVENT VALUE=w END><IMG SRC=p ALIGN=center><IMG SRC=q ALIGN=left>");
  EXPECT_EQ(w.GlyphAt(1)->Link(), "go there");
  EXPECT_EQ(w.GlyphAt(2)->Link(), "");
  EXPECT_EQ(w.GlyphAt(0)->Delay(), 30);
  EXPECT_EQ(w.GlyphAt(3)->Delay(), 5);
  EXPECT_EQ(w.GlyphAt(4)->Delay(), 5);  // a malformed WAIT pushes the current delay
  EXPECT_EQ(w.GlyphAt(5)->Delay(), 30);
  EXPECT_EQ(static_cast<TWdOpeEvent*>(w.GlyphAt(6))->value_, "v");
  EXPECT_EQ(static_cast<TWdOpeEvent*>(w.GlyphAt(7))->value_, "\x01w");
  EXPECT_EQ(static_cast<TWdImg*>(w.GlyphAt(8))->align_, WA_CENTER);
  EXPECT_EQ(static_cast<TWdImg*>(w.GlyphAt(9))->align_, WA_BOTTOM);  // LEFT is no IMG alignment
}

TEST(MarkupBuild, AnchorWithoutHrefStopsBuilding) {
  TKvWord w;
  try {
    SetMarkup(w, "ab<A>cd");
    FAIL() << "no error";
  } catch (const EQuenError& e) {
    EXPECT_EQ(e.Message(), msg::kNoHref);
  }
  EXPECT_EQ(Glyphs(w), "ab");
  SetMarkup(w, "x");  // a new text clears the old one
  EXPECT_EQ(Glyphs(w), "x");
  EXPECT_EQ(w.Decorations().Count(), 1);
}

}  // namespace
}  // namespace quen
