#include <gtest/gtest.h>

#include <map>

#include "base/error.h"
#include "components/quen_read_list.h"
#include "platform/text_encoding.h"
#include "support/scene.h"
#include "text/markup_compiler.h"
#include "text/text_source.h"

namespace quen {
namespace {

using test::Scene;

std::string S(const std::string& utf8) {
  return platform::Utf8ToCp932(utf8);
}

// Bodies of text insertions by (file, command), compiled from markup as the page cache does.
struct FakeSource : ITextSource {
  std::map<std::pair<std::string, int32_t>, std::string> bodies;
  void Put(const std::string& file, int32_t command, const std::string& markup) {
    bodies[{file, command}] = CompileMarkup(SplitMarkupLines(markup), 50);
  }
  bool FetchText(const std::string& file, int32_t command, std::string& content) override {
    auto it = bodies.find({file, command});
    if (it == bodies.end()) return false;
    content = it->second;
    return true;
  }
};

struct MesScene : Scene {
  FakeSource source;
  TQuenReadList reads;
  MesScene() : Scene(240, 120) {
    SetTextSource(&source);
    SetReadList(&reads);
  }
  ~MesScene() {
    SetTextSource(nullptr);
    SetReadList(nullptr);
  }
  TQuenMes* Box(int32_t w = 200, int32_t h = 40) {
    auto* m = Make<TQuenMes>("mes", 10, 20, w, h);
    m->WriteProp(PR_FONTHEIGHT, TPropValue::OfInt(16));
    return m;
  }
  static void Text(TQuenMes* m, const std::string& s) {
    m->WriteProp(PR_TEXT, TPropValue::OfStr(s));
  }
  static void Int(TQuenMes* m, uint8_t code, int32_t v) {
    m->WriteProp(code, TPropValue::OfInt(v));
  }
  // Frames until the page stops revealing (at most limit).
  int Reveal(TQuenMes* m, int limit = 400) {
    int n = 0;
    while (n < limit && (m->IsShowingText() || n == 0)) {
      Frame();
      ++n;
    }
    Frame();  // the events of the last step run
    return n;
  }
};

// Alphas of the current page's character glyphs, in order.
std::vector<int> Alphas(const TQuenMes& m) {
  std::vector<int> out;
  for (const auto& row : m.Pages()[static_cast<size_t>(m.PageIndex())]->rows)
    for (const TWdPlaced& p : row->items)
      if (p.glyph->Code() != 0) out.push_back(p.alpha);
  return out;
}

TEST(MessageBoxReveal, DelayRateFadeAndPause) {
  struct Case {
    int32_t rate, fade;
    bool text_paused;
    int first_frame_shown;  // characters visible (alpha > 0) after the first reveal step
  };
  // Five characters at the default delay of 50 ms, 16 ms frames.
  const Case cases[] = {{256, 0, false, 1},
                        {0, 0, false, 5},
                        {256, 10, false, 0},
                        {512, 0, false, 1},
                        {256, 0, true, 0}};
  std::vector<int> frames;
  for (const Case& c : cases) {
    MesScene s;
    auto* m = s.Box();
    Scene::On(m, PR_ONPLAYEND, "end");
    MesScene::Int(m, PR_TEXTDELAY, c.rate);
    MesScene::Int(m, PR_DELAY, c.fade);
    MesScene::Int(m, PR_TEXTPAUSED, c.text_paused);
    MesScene::Text(m, S("あいうえお"));
    s.Frame();  // the start delay
    s.Frame();
    int shown = 0;
    for (int a : Alphas(*m)) shown += a > 0;
    EXPECT_EQ(shown, c.first_frame_shown) << c.rate << " " << c.fade;
    if (c.text_paused) {
      for (int k = 0; k < 30; ++k) s.Frame();
      EXPECT_TRUE(m->IsShowingText());
      MesScene::Int(m, PR_TEXTPAUSED, 0);
    }
    frames.push_back(s.Reveal(m));
    for (int a : Alphas(*m)) EXPECT_EQ(a, 255);
    EXPECT_EQ(m->PropInt(PR_CARETX), 80);
    EXPECT_EQ(m->PropInt(PR_CARETHEIGHT), 16);
    bool ended = false;
    for (const auto& line : s.Take()) ended |= line.find("PR_ONPLAYEND") != std::string::npos;
    EXPECT_TRUE(ended);
  }
  EXPECT_LT(frames[1], frames[0]);  // rate 0 ends sooner
  EXPECT_GT(frames[3], frames[0]);  // twice the delay ends later
}

TEST(MessageBoxReveal, FadeClampsAndHugeDelaysDoNotWrap) {
  MesScene s;
  auto* m = s.Box();
  MesScene::Int(m, PR_DELAY, 10);  // 16 ms frames add 409 per frame
  MesScene::Text(m, S("<WAIT VALUE=2147483647>あい</WAIT>"));
  MesScene::Int(m, PR_TEXTDELAY, 2147483647);
  std::vector<int> last;
  for (int k = 0; k < 6; ++k) {
    s.Frame();
    std::vector<int> now = Alphas(*m);
    for (size_t i = 0; i < now.size() && i < last.size(); ++i) EXPECT_GE(now[i], last[i]);
    last = now;
  }
  EXPECT_EQ(last, (std::vector<int>{255, 0}));
  EXPECT_TRUE(m->IsShowingText());  // the second glyph waits, the countdown did not wrap
}

TEST(MessageBoxReveal, EventsAndPlayingInOrder) {
  MesScene s;
  auto* m = s.Box();
  Scene::On(m, PR_ONNOTIFY, "n");
  Scene::On(m, PR_ONPLAYING, "p");
  MesScene::Int(m, PR_DELAY, 40);
  MesScene::Text(m, S("あ<EVENT VALUE=\"one\"><EVENT VALUE=\"two\">い<IMG SRC=\"x.png\">"));
  s.Reveal(m);
  std::vector<std::string> got;
  for (const auto& line : s.Take()) got.push_back(line.substr(line.find(' ') + 1));
  const std::vector<std::string> want = {S("mes PR_ONPLAYING あ"), "mes PR_ONNOTIFY one",
                                         "mes PR_ONNOTIFY two", S("mes PR_ONPLAYING い")};
  ASSERT_GE(got.size(), want.size());
  EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 4), want);
}

TEST(MessageBoxPages, PagingIndexAndPlayStart) {
  MesScene s;
  auto* m = s.Box();
  Scene::On(m, PR_ONPLAYSTART, "start");
  std::string forty;
  for (int i = 0; i < 40; ++i) forty += S("あ");
  MesScene::Text(m, forty);
  EXPECT_EQ(m->PropInt(PR_COUNT), 2);
  EXPECT_EQ(m->PropInt(PR_INDEX), 0);
  EXPECT_TRUE(m->PropBool(PR_PLAYING));
  s.Reveal(m);
  EXPECT_TRUE(m->PropBool(PR_PLAYING));  // a page is left
  MesScene::Int(m, PR_INDEX, 1);
  MesScene::Int(m, PR_INDEX, 1);  // the same page again: nothing
  MesScene::Int(m, PR_INDEX, 5);  // outside: nothing
  s.Reveal(m);
  EXPECT_FALSE(m->PropBool(PR_PLAYING));
  int starts = 0;
  for (const auto& line : s.Take()) starts += line.find("PR_ONPLAYSTART 0") != std::string::npos;
  EXPECT_EQ(starts, 2);
  EXPECT_EQ(m->PropStr(PR_TEXT).size(), 16u * 2);  // 16 characters on the second page
}

TEST(MessageBoxPages, NoTextIgnoresScrollAndReadsNothing) {
  MesScene s;
  auto* m = s.Box();
  MesScene::Int(m, PR_SCROLLY, 30);
  EXPECT_EQ(m->PropInt(PR_SCROLLY), 0);
  EXPECT_EQ(m->PropStr(PR_TEXT), "");
  EXPECT_EQ(m->PropInt(PR_CARETX), 0);
  EXPECT_EQ(m->PropInt(PR_INDEX), -1);
  EXPECT_FALSE(m->PropBool(PR_PLAYING));
  s.Frame();
}

TEST(MessageBoxRead, TrackingFromTextInsertionAndClearing) {
  MesScene s;
  s.source.Put("a.txt", 3, S("こんにちは"));
  auto* m = s.Box();
  Scene::On(m, PR_ONPLAYSTART, "start");
  auto show = [&] {
    m->ClearText();
    m->StartReadTracking("a.txt", 3);
    m->InsertTextPart("a.txt", 3);
    s.Reveal(m);
    std::string arg;
    for (const auto& line : s.Take())
      if (line.find("PR_ONPLAYSTART") != std::string::npos) arg = line.substr(line.size() - 1);
    return arg;
  };
  EXPECT_EQ(show(), "0");
  EXPECT_TRUE(s.reads.IsRead("a.txt", 3, 0));
  EXPECT_EQ(show(), "1");
  s.reads.Clear();
  EXPECT_EQ(show(), "0");
  // A script's own text is not tracked.
  MesScene::Text(m, "x");
  EXPECT_EQ(m->MesData().Parts().size(), 0u);
}

TEST(MessageBoxLinks, HoverColourAndClick) {
  MesScene s;
  auto* m = s.Box();
  Scene::On(m, PR_ONLINK, "link");
  MesScene::Int(m, PR_FONTLINKCOLOR, 0x0000FF);
  MesScene::Int(m, PR_FONTHOVERCOLOR, 0x00FF00);
  MesScene::Int(m, PR_ANTIALIAS, 0);
  MesScene::Int(m, PR_TEXTDELAY, 0);
  MesScene::Text(m, S("<A HREF=\"go\">■■</A>■"));
  s.Reveal(m);
  s.reg.ActiveRoot().AddFullDirtyRect();
  auto count = [&](TColor c) {
    s.reg.ActiveRoot().AddFullDirtyRect();
    s.Frame();
    TCustomDIBX& scr = s.reg.Screen();
    int n = 0, outside = 0;
    const uint32_t px = static_cast<uint32_t>(scr.ColorToPixel(c));
    for (int y = 0; y < scr.Height(); ++y)
      for (int x = 0; x < scr.Width(); ++x) {
        const bool in = x >= 10 && x < 210 && y >= 20 && y < 60;
        if (scr.GetPixel(x, y) == px) ++n;
        if (!in && scr.GetPixel(x, y) != scr.GetPixel(0, 0)) ++outside;
      }
    EXPECT_EQ(outside, 0);
    return n;
  };
  EXPECT_GT(count(0x0000FF), 0);
  EXPECT_EQ(count(0x00FF00), 0);
  s.Feed(TInputKind::MouseMove, 18, 28);
  EXPECT_GT(count(0x00FF00), 0);
  s.Feed(TInputKind::MouseDown, 18, 28);
  s.Frame();
  bool clicked = false;
  for (const auto& line : s.Take()) clicked |= line.find(S("PR_ONLINK ■■ go")) != std::string::npos;
  EXPECT_TRUE(clicked);
  // With capture, only glyphs with a link take the mouse.
  MesScene::Int(m, PR_CAPTURELINK, 1);
  EXPECT_EQ(m->HitTest(18, 28, 0xFF), m);
  EXPECT_EQ(m->HitTest(60, 28, 0xFF), nullptr);
  EXPECT_EQ(m->HitTest(150, 50, 0xFF), nullptr);
}

TEST(MessageBoxStream, MidRevealRoundTripAndDamage) {
  MesScene s;
  s.source.Put("b.txt", 7, S("かきくけこさしすせそたちつてとなにぬねのはひふへほまみむめも"));
  auto* m = s.Box();
  const std::pair<uint8_t, int32_t> looks[] = {
      {PR_FONTHEIGHT, 16},       {PR_LINESPACE, 2},
      {PR_FONTCOLOR, 0x123456},  {PR_FONTLINKCOLOR, 0x654321},
      {PR_FONTHOVERCOLOR, 0x11}, {PR_FONTBORDERCOLOR, 0x22},
      {PR_FONTBORDER, 1},        {PR_FONTSHADOWCOLOR, 0x33},
      {PR_FONTSHADOW, 2},        {PR_ANTIALIAS, 0},
      {PR_ALPHA, 200},           {PR_DELAY, 30},
      {PR_TEXTDELAY, 128},       {PR_CAPTURELINK, 1}};
  for (auto [code, v] : looks) MesScene::Int(m, code, v);
  m->WriteProp(PR_FONTNAME, TPropValue::OfStr(S("ＭＳ 明朝")));
  Scene::On(m, PR_ONNOTIFY, "n");
  m->StartReadTracking("b.txt", 7);
  m->InsertTextPart("b.txt", 7);
  for (int k = 0; k < 6; ++k) s.Frame();
  MesScene::Int(m, PR_INDEX, 1);
  MesScene::Int(m, PR_SCROLLY, 3);
  for (int k = 0; k < 5; ++k) s.Frame();
  const std::vector<int> alphas = Alphas(*m);

  TKvMemoryStream out;
  s.reg.SaveToStream(out, kQuenStreamVersion);
  const std::string bytes = out.Data();

  MesScene t;
  t.source = s.source;
  TKvMemoryStream in(bytes);
  t.reg.LoadFromStream(in, kQuenStreamVersion);
  auto* n = dynamic_cast<TQuenMes*>(t.reg.FindComponent("mes"));
  ASSERT_NE(n, nullptr);
  for (auto [code, v] : looks) EXPECT_EQ(n->PropInt(code), v) << PropInfo(code).Ident;
  EXPECT_EQ(n->PropStr(PR_FONTNAME), S("ＭＳ 明朝"));
  EXPECT_EQ(n->PropInt(PR_INDEX), 1);
  EXPECT_EQ(n->PropInt(PR_SCROLLY), 3);
  EXPECT_EQ(n->PropInt(PR_COUNT), m->PropInt(PR_COUNT));
  EXPECT_EQ(Alphas(*n), alphas);
  EXPECT_EQ(n->PropInt(PR_CARETX), m->PropInt(PR_CARETX));
  // Both go on the same way.
  for (int k = 0; k < 20; ++k) {
    s.Frame();
    t.Frame();
    ASSERT_EQ(Alphas(*n), Alphas(*m)) << k;
  }
  TKvMemoryStream again;
  t.reg.SaveToStream(again, kQuenStreamVersion);
  TKvMemoryStream first;
  s.reg.SaveToStream(first, kQuenStreamVersion);
  EXPECT_EQ(again.Data(), first.Data());

  // Every cut of the stream fails with the read error.
  for (size_t cut = 0; cut < bytes.size(); cut += 7) {
    MesScene u;
    TKvMemoryStream part(bytes.substr(0, cut));
    EXPECT_THROW(u.reg.LoadFromStream(part, kQuenStreamVersion), EQuenError) << cut;
  }
}

TEST(MessageBoxStream, ChangedPageClampsIndexAndStartsFresh) {
  MesScene s;
  std::string long_text;
  for (int i = 0; i < 60; ++i) long_text += S("あ");
  s.source.Put("c.txt", 1, long_text);
  auto* m = s.Box();
  m->InsertTextPart("c.txt", 1);
  MesScene::Int(m, PR_INDEX, 2);
  for (int k = 0; k < 8; ++k) s.Frame();
  TKvMemoryStream out;
  s.reg.SaveToStream(out, kQuenStreamVersion);

  MesScene t;
  t.source.Put("c.txt", 1, S("いう"));  // the scenario page changed: one short page
  TKvMemoryStream in(out.Data());
  t.reg.LoadFromStream(in, kQuenStreamVersion);
  auto* n = dynamic_cast<TQuenMes*>(t.reg.FindComponent("mes"));
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->PropInt(PR_COUNT), 1);
  EXPECT_EQ(n->PropInt(PR_INDEX), 0);
  t.Reveal(n);
  EXPECT_EQ(Alphas(*n), (std::vector<int>{255, 255}));
}

TEST(ReadListStream, RoundTripAndUntrustedCounts) {
  TQuenReadList list;
  list.SetPending("mes", "a.txt", 2, 5);
  list.CommitPending("other");  // another box's mark stays pending
  EXPECT_FALSE(list.IsRead("a.txt", 5, 2));
  list.CommitPending("mes");
  list.SetPending("mes", "b.txt", 0, 1);
  TKvMemoryStream out;
  list.SaveToStream(out);
  TQuenReadList back;
  TKvMemoryStream in(out.Data());
  back.LoadFromStream(in);
  EXPECT_TRUE(back.IsRead("a.txt", 5, 2));
  back.CommitPending("mes");
  EXPECT_TRUE(back.IsRead("b.txt", 1, 0));

  TKvMemoryStream huge;
  WriteInt32(huge, 1);
  WriteString(huge, "k");
  WriteInt32(huge, 0x40000000);  // a billion pairs in a few bytes
  TKvMemoryStream bad(huge.Data());
  EXPECT_THROW(back.LoadFromStream(bad), EQuenError);
  EXPECT_TRUE(back.IsRead("a.txt", 5, 2));  // left as it was
}

struct FakeEntry : ITextEntryHost {
  bool on = false;
  int32_t x = -1, y = -1;
  std::string clip;
  void StartTextInput() override { on = true; }
  void StopTextInput() override { on = false; }
  void SetTextInputRect(int32_t l, int32_t t, int32_t, int32_t) override {
    x = l;
    y = t;
  }
  std::string ClipboardText() override { return clip; }
  void SetClipboardText(const std::string& sjis) override { clip = sjis; }
};

struct EditScene : Scene {
  FakeEntry entry;
  EditScene() : Scene(240, 120) { reg.SetTextEntryHost(&entry); }
  ~EditScene() { reg.SetTextEntryHost(nullptr); }
  template <typename T = TQuenEdit>
  T* Field() {
    auto* e = Make<T>("edit", 20, 20, 120, 20);
    e->WriteProp(PR_FONTHEIGHT, TPropValue::OfInt(16));
    e->WriteProp(PR_VISIBLE, TPropValue::OfBool(true));
    return e;
  }
  void Press(int32_t key) {
    Key(true, key);
    Key(false, key);
  }
  void Type(const std::string& utf8) {
    TInputEvent e;
    e.Kind = TInputKind::Text;
    e.Text = S(utf8);
    reg.Feed(e);
  }
};

TEST(EditField, PlacementFocusAndKeyboard) {
  EditScene s;
  auto* e = s.Make<TQuenEdit>("edit", 20, 20, 120, 20);
  EXPECT_FALSE(e->PropBool(PR_VISIBLE));
  EXPECT_TRUE(e->PropBool(PR_HANDLEKEY));
  s.Key(true, 'Q');  // held before the field takes the keyboard
  e->WriteProp(PR_VISIBLE, TPropValue::OfBool(true));
  s.Frame();
  EXPECT_TRUE(e->FieldShown());
  EXPECT_EQ(s.reg.Focus(), e);
  EXPECT_TRUE(s.entry.on);
  EXPECT_FALSE(s.reg.KeyPressed('Q'));  // the key tables were cleared
  s.Press('Z');
  EXPECT_FALSE(s.reg.KeyPressed('Z'));
  // A box over its centre hides it and gives the keyboard back.
  s.Make<TQuenBox>("zcover", 70, 25, 20, 10);
  s.Frame();
  EXPECT_FALSE(e->FieldShown());
  EXPECT_FALSE(s.entry.on);
  s.Key(true, 'Z');
  EXPECT_TRUE(s.reg.KeyPressed('Z'));
}

TEST(EditField, TypingKeysCompositionAndClipboard) {
  EditScene s;
  auto* e = s.Field();
  Scene::On(e, PR_ONNOTIFY, "n");
  s.Frame();
  s.Type("名前");
  s.Press(0x08);  // backspace takes the whole double-byte character
  EXPECT_EQ(e->PropStr(PR_TEXT), S("名"));
  s.Type("ab");
  s.Press(0x25);  // left, over a byte, a byte and the kanji
  s.Press(0x25);
  s.Press(0x25);
  s.Press(0x2E);  // delete: the kanji
  EXPECT_EQ(e->PropStr(PR_TEXT), "ab");
  s.Press(0x23);  // end
  TInputEvent c;
  c.Kind = TInputKind::Composition;
  c.Text = S("かな");
  s.reg.Feed(c);
  EXPECT_EQ(e->Composition(), S("かな"));
  EXPECT_EQ(e->PropStr(PR_TEXT), "ab");
  s.Type("仮名");
  EXPECT_EQ(e->Composition(), "");
  // Shift+Home selects everything; copy, cut and paste.
  s.Key(true, 0x10);
  s.Press(0x24);
  s.Key(false, 0x10);
  s.Key(true, 0x11);
  s.Press('X');
  s.Press('V');
  s.Press('V');
  s.Key(false, 0x11);
  EXPECT_EQ(s.entry.clip, S("ab仮名"));
  EXPECT_EQ(e->PropStr(PR_TEXT), S("ab仮名ab仮名"));
  s.Frame();
  s.Take();
  s.Press(0x0D);
  s.Frame();
  const std::vector<std::string> log = s.Take();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.front().find(S("PR_ONNOTIFY 13 ab仮名ab仮名")), std::string::npos);
  EXPECT_GT(s.entry.x, 20);
}

TEST(EditField, MemoLinesAndStream) {
  EditScene s;
  auto* m = s.Field<TQuenMemo>();
  s.Frame();
  s.Type("一");
  s.Press(0x0D);
  s.Type("二三");
  s.Press(0x26);  // up: column 2 of a line of one character ends at its end
  s.Type("x");
  EXPECT_EQ(m->PropStr(PR_TEXT), S("一x\r\n二三"));
  s.Press(0x28);  // down
  s.Press(0x08);
  EXPECT_EQ(m->PropStr(PR_TEXT), S("一x\r\n二"));
  m->WriteProp(PR_HALIGN, TPropValue::OfInt(2));
  m->WriteProp(PR_READONLY, TPropValue::OfBool(true));
  m->WriteProp(PR_FONTCOLOR, TPropValue::OfInt(0x123456));
  TKvMemoryStream out;
  s.reg.SaveToStream(out, kQuenStreamVersion);
  EditScene t;
  TKvMemoryStream in(out.Data());
  t.reg.LoadFromStream(in, kQuenStreamVersion);
  auto* n = dynamic_cast<TQuenMemo*>(t.reg.FindComponent("edit"));
  ASSERT_NE(n, nullptr);
  for (uint8_t code : {PR_TEXT, PR_HALIGN, PR_READONLY, PR_FONTCOLOR, PR_FONTHEIGHT, PR_VISIBLE})
    EXPECT_EQ(n->ReadProp(code).Str + std::to_string(n->ReadProp(code).Int),
              m->ReadProp(code).Str + std::to_string(m->ReadProp(code).Int))
        << PropInfo(code).Ident;
  t.Frame();
  t.Type("z");  // read-only
  EXPECT_EQ(n->PropStr(PR_TEXT), S("一x\r\n二"));
}

}  // namespace
}  // namespace quen
