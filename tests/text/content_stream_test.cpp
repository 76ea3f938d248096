#include <gtest/gtest.h>

#include "base/error.h"
#include "text/content_stream.h"
#include "text/text_listing.h"
#include "text_helpers.h"

namespace quen {
namespace {

using testing::Glyphs;
using testing::SetMarkup;

const char kSample[] =
    "<B>太字</B>と<FONT COLOR=#FF0000 BORDER=2>赤</FONT><A HREF=x>リンク</A><WAIT VALUE=9>遅</WAIT>"
    "<EVENT VALUE=e END><IMG SRC=p ALIGN=TOP><DIV ALIGN=RIGHT>右</DIV><INDENT>い<UNDENT>"
    "<VAR NAME=v><HISTCHAR VALUE=h><BR CLEAR><RUBY VALUE=ルビ>字</RUBY><NOBR>ab</NOBR>";

std::string Save(const TKvWord& w) {
  TKvMemoryStream m;
  w.SaveContent(m);
  return m.Data();
}

TEST(ContentStream, SavedTextLoadsAndSavesTheSameBytes) {
  TKvWord w;
  SetMarkup(w, kSample);
  w.Values() = {"v=xyz"};
  w.ExpandVariables(0, -1);  // expanded characters are never stored
  const std::string bytes = Save(w);
  EXPECT_EQ(bytes.substr(0, 9), "KvWord100");
  TKvWord back;
  TKvMemoryStream in(bytes);
  back.LoadContent(in);
  EXPECT_EQ(Save(back), bytes);
  w.CollapseVariables(0, -1);
  EXPECT_EQ(Glyphs(back), Glyphs(w));
  EXPECT_EQ(back.Decorations().Count(), w.Decorations().Count());
  // The listing reads back into the same bytes.
  TKvMemoryStream again(bytes);
  TKvMemoryStream written;
  WriteContent(written, ParseContentListing(ContentListing(ReadContent(again))));
  EXPECT_EQ(written.Data(), bytes);
}

TEST(ContentStream, AppendedTextSharesTheDecorationList) {
  TKvWord a, b;
  SetMarkup(a, "<B>x</B>y");
  SetMarkup(b, "<I>z</I><B>w</B>");
  TKvMemoryStream sb(Save(b));
  a.AppendContent(sb);
  EXPECT_EQ(Glyphs(a), "xyzw");
  EXPECT_EQ(a.Decorations().Count(), 3);  // bold shared, plain, italic
  EXPECT_EQ(a.GlyphAt(0)->Decoration(), a.GlyphAt(3)->Decoration());
  EXPECT_EQ(a.GlyphAt(0)->Decoration()->RefCount(), 2);
}

// Counts, indices and types are checked; damage never half-loads a text.
TEST(ContentStream, DamagedStreamsFailCleanly) {
  TKvWord w;
  SetMarkup(w, kSample);
  const std::string good = Save(w);
  for (size_t n = 0; n < good.size(); ++n) {
    TKvWord t;
    SetMarkup(t, "keep");
    TKvMemoryStream m(good.substr(0, n));
    EXPECT_THROW(t.LoadContent(m), EQuenError) << n;
    EXPECT_EQ(Glyphs(t), "keep");
  }
  const auto patched = [&good](size_t at, const std::string& bytes) {
    std::string s = good;
    s.replace(at, bytes.size(), bytes);
    return s;
  };
  const std::string bad[] = {
      patched(6, "10x"),                               // magic without three digits
      patched(6, "101"),                               // a version we do not write
      patched(9, std::string("\xFF\xFF\xFF\x7F", 4)),  // decoration count beyond the bytes
  };
  for (const std::string& s : bad) {
    TKvMemoryStream m(s);
    EXPECT_THROW(w.LoadContent(m), EQuenError);
  }
  // An unknown glyph type, and a character whose decoration index is outside the list.
  TContentImage c;
  c.decorations.resize(1);
  c.glyphs.push_back({});
  c.glyphs[0].type = 8;
  TKvMemoryStream m8;
  WriteContent(m8, c);
  m8.SetPosition(0);
  EXPECT_THROW(ReadContent(m8), EQuenError);
  c.glyphs[0].type = WD_CHAR;
  c.glyphs[0].deco = 1;
  TKvMemoryStream mi;
  WriteContent(mi, c);
  mi.SetPosition(0);
  EXPECT_THROW(ReadContent(mi), EQuenError);
}

TEST(ContentStream, OldStreamsAndStoredCounts) {
  // Version 0 has no magic and keeps the border as one byte meaning 1 or 0; stored counts are
  // not trusted and records no glyph uses are dropped.
  TContentImage c;
  c.version = 0;
  c.decorations.resize(3);
  c.decorations[0].refs = 99;
  c.decorations[0].looks.border = 7;
  c.decorations[1].refs = 5;  // used by nothing
  c.decorations[2].looks.border = 0;
  for (int32_t d : {0, 0, 2}) {
    TContentGlyph g;
    g.type = WD_CHAR;
    g.code = 'a';
    g.deco = d;
    c.glyphs.push_back(g);
  }
  TKvMemoryStream m;
  WriteContent(m, c);
  EXPECT_EQ(m.Data().substr(0, 4), std::string("\x03\0\0\0", 4));
  m.SetPosition(0);
  TKvWord w;
  w.LoadContent(m);
  ASSERT_EQ(w.Decorations().Count(), 2);
  EXPECT_EQ(w.Decorations().Item(0).border, 1);
  EXPECT_EQ(w.Decorations().Item(0).RefCount(), 2);
  EXPECT_EQ(w.Decorations().Item(1).border, 0);
  EXPECT_EQ(w.Decorations().Item(1).shadow, -1);
}

TEST(ContentStream, ListingKeepsBytesWithoutATextForm) {
  TContentImage c;
  c.decorations.resize(1);
  c.decorations[0].looks.face = std::string("\x82\xA0\x01\"q", 5);
  c.decorations[0].looks.color = 0x7FFFFFFF;
  for (uint16_t code : {0x0041, 0x0081, 0x4142, 0x8140, 0x0022, 0x000D, 0xFFFF}) {
    TContentGlyph g;
    g.type = WD_CHAR;
    g.code = code;
    c.glyphs.push_back(g);
  }
  TContentGlyph e;
  e.type = WD_EVENT;
  e.text = "\x01end";
  c.glyphs.push_back(e);
  TKvMemoryStream a, b;
  WriteContent(a, c);
  WriteContent(b, ParseContentListing(ContentListing(c)));
  EXPECT_EQ(a.Data(), b.Data());
  EXPECT_THROW(ParseContentListing("kvword 100\nchars deco=3 \"a\"\n"), EQuenError);
  EXPECT_THROW(ParseContentListing("kvword 100\nbogus\n"), EQuenError);
  EXPECT_THROW(ParseContentListing("chars \"a\"\n"), EQuenError);
}

}  // namespace
}  // namespace quen
