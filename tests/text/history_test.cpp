// The message history: placement of laid-out parts, trimming, the "same page file" form, the
// values a page was shown with, showing into a box, and every version of the streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "base/error.h"
#include "text/quen_history.h"
#include "text/text_source.h"
#include "text_helpers.h"

namespace quen {
namespace {

using testing::Glyphs;
using testing::Sjis;

class FakeTexts : public ITextSource {
 public:
  void Put(const std::string& file, int32_t command, const std::string& utf8_markup) {
    bodies[{file, command}] = CompileMarkup(SplitMarkupLines(Sjis(utf8_markup)), 0);
  }
  bool FetchText(const std::string& file, int32_t command, std::string& content) override {
    auto it = bodies.find({file, command});
    if (it == bodies.end()) return false;
    content = it->second;
    return true;
  }
  std::map<std::pair<std::string, int32_t>, std::string> bodies;
};

class FakeBox : public IHistoryView {
 public:
  void BeginHistory() override {
    text.Clear();
    received = -1;
  }
  TKvWord& HistoryText() override { return text; }
  void EndHistory(int32_t n) override { received = n; }
  TKvWord text;
  int32_t received = -2;
};

class History : public ::testing::Test {
 protected:
  void SetUp() override { SetTextSource(&texts); }
  void TearDown() override { SetTextSource(nullptr); }

  // A template box of 400 x 400 with 30-pixel glyphs, or none.
  static THistoryTemplate Template(bool on) {
    THistoryTemplate t;
    if (on) t.SetValues({30, 0, 0, 400, 400, 0});
    return t;
  }
  // Notes and commits glyphs first..last of (file, command) shown by box "mes".
  void Show(TQuenNewHistory& h, bool with_template, const std::string& file, int32_t command,
            int32_t first = 0, int32_t last = 1000, const std::string& extra = "") {
    h.Note(Template(with_template), "mes", file, extra, 0, first, last, command, 640, 480);
    h.Commit("mes");
  }
  FakeTexts texts;
};

TEST_F(History, PartsFillTemplatePagesByHeight) {
  // Five rows of 30 pixels: a part of 150.
  texts.Put("a.qsb", 1, "一<BR>二<BR>三<BR>四<BR>五");
  TQuenNewHistory h;
  for (int i = 0; i < 3; ++i) Show(h, true, "a.qsb", 1);
  ASSERT_EQ(h.Count(), 2);
  EXPECT_EQ(h.Pages()[0].Count(), 2);
  EXPECT_EQ(h.Pages()[0].heights[0], 150);
  EXPECT_EQ(h.Pages()[0].total_height, 300);
  EXPECT_EQ(h.Pages()[1].Count(), 1);
  // The file is named once; the second page still finds it.
  EXPECT_EQ(h.Pages()[0].files[1], "");
  EXPECT_EQ(h.PageFileOf(1, 0), "a.qsb");
}

TEST_F(History, MaximumCountTrimsOldestAndHandsTheFileNameOn) {
  texts.Put("a.qsb", 1, "一");
  texts.Put("a.qsb", 2, "二");
  texts.Put("b.qsb", 3, "三");
  struct Case {
    bool with_template;
    int32_t max;
    int32_t count;
  };
  for (const Case& c : {Case{true, 3, 3}, Case{true, 0, 4}, Case{false, 3, 3}, Case{false, 0, 4}}) {
    SCOPED_TRACE(::testing::Message() << c.with_template << " max " << c.max);
    TQuenNewHistory h;
    h.max_count = c.max;
    // One history page per entry: every part is taller than half the page.
    THistoryTemplate t = Template(c.with_template);
    if (c.with_template) t.height = 50;
    for (int32_t cmd : {1, 2, 2, 3}) {
      h.Note(t, "mes", cmd == 3 ? "b.qsb" : "a.qsb", "", 0, 0, 10, cmd, 640, 480);
      h.Commit("mes");
    }
    ASSERT_EQ(h.Count(), c.count);
    if (c.with_template) {
      EXPECT_EQ(h.Pages()[0].commands[0], c.max ? 2 : 1);
      EXPECT_EQ(h.Pages()[0].files[0], "a.qsb");
    } else {
      EXPECT_EQ(h.OldEntries()[0].command, c.max ? 2 : 1);
      EXPECT_EQ(h.OldEntries()[0].file, "a.qsb");
      EXPECT_EQ(h.OldEntries()[1].file, "");
      EXPECT_EQ(h.OldFileOf(static_cast<size_t>(c.count - 1)), "b.qsb");
    }
  }
}

TEST_F(History, CommitOnlyForTheBoxThatNotedAndMissingTextsDropTheEntry) {
  texts.Put("a.qsb", 1, "一");
  TQuenNewHistory h;
  h.Note(Template(true), "mes", "a.qsb", "", 0, 0, 0, 1, 640, 480);
  h.Commit("other");
  EXPECT_TRUE(h.Pending().present);
  h.Commit("mes");
  EXPECT_EQ(h.Count(), 1);
  EXPECT_FALSE(h.Pending().present);
  Show(h, true, "gone.qsb", 1);
  Show(h, true, "a.qsb", 7);
  EXPECT_EQ(h.Count(), 1);
}

TEST_F(History, ShowsTheValuesThePageWasShownWithAndClampsRanges) {
  // The glyph range was taken with a long value; the variable is empty now.
  texts.Put("a.qsb", 1, "<VAR NAME=who>は<HISTCHAR VALUE=mark>来た");
  TQuenNewHistory h;
  const std::string extra = JoinHistoryValues({{"who", Sjis("太郎\r次郎")}, {"mark", "!"}});
  // Glyphs 6..: after VAR(0), 太郎, return, 次郎 come は and 来た.
  Show(h, true, "a.qsb", 1, 6, 9, extra);
  ASSERT_EQ(h.Count(), 1);
  FakeBox box;
  h.Show(0, 5, box);
  EXPECT_EQ(box.received, 1);
  EXPECT_EQ(Glyphs(box.text), "は<histchar>!来た");
  // A range from a save of an older game runs past the text: cut to it.
  h.Clear();
  Show(h, true, "a.qsb", 1, 6, 99999, extra);
  h.Show(0, 1, box);
  EXPECT_EQ(Glyphs(box.text), "は<histchar>!来た");
  h.Clear();
  Show(h, true, "a.qsb", 1, 500, 600, extra);
  EXPECT_EQ(h.Count(), 0);
}

TEST_F(History, OldEntriesShowTheirMessagePageInTheBoxSizeTheyWereShownIn) {
  texts.Put("a.qsb", 1, "一二三四五六");
  texts.Put("a.qsb", 2, "七八");
  TQuenNewHistory h;
  // Two characters of 12 pixels a row, one row a page: page 1 is 三四.
  h.Note(Template(false), "mes", "a.qsb", "", 1, 0, 0, 1, 24, 12);
  h.Commit("mes");
  h.Note(Template(false), "mes", "a.qsb", "", 0, 0, 0, 2, 24, 12);
  h.Commit("mes");
  h.Note(Template(false), "mes", "a.qsb", "", 9, 0, 0, 2, 24, 12);
  h.Commit("mes");
  ASSERT_EQ(h.Count(), 3);
  FakeBox box;
  h.Show(0, 3, box);
  EXPECT_EQ(box.received, 2);
  EXPECT_EQ(Glyphs(box.text), "三四<return>七八");
}

TEST_F(History, StreamsOfEveryVersionReadBackToTheSameBytes) {
  texts.Put("a.qsb", 1, "一<BR>二");
  texts.Put("b.qsb", 2, "三");
  for (int32_t version : {112, 120, 123, 124, 135}) {
    SCOPED_TRACE(version);
    TQuenHistoryFormatManager m;
    m.FindOrAdd("log").settings = Template(true);
    m.SetExpressionContext(nullptr, nullptr);
    m.NotePage("mes", "a.qsb", "x=1", 0, 0, 5, 1, 640, 480);
    m.Commit("mes");
    m.NotePage("mes", "b.qsb", "", 0, 0, 5, 2, 640, 480);
    m.Commit("mes");
    m.NotePage("mes", "a.qsb", "y=2", 0, 0, 5, 1, 640, 480);
    m.Default().History().max_count = 7;
    TKvMemoryStream first;
    if (version >= 135) {
      m.SaveFormats(first, version);
    } else {
      m.SaveDefaultHistory(first, version);
    }
    // fuzz/history/make-seeds.sh: the stream behind the fuzz target's mode byte.
    if (const char* seeds = std::getenv("QP_HISTORY_SEEDS")) {
      std::ofstream f(std::string(seeds) + "/v" + std::to_string(version), std::ios::binary);
      f.put(static_cast<char>((version - 100) * 2 + (version >= 135 ? 1 : 0)));
      f << first.Data();
    }
    TQuenHistoryFormatManager n;
    first.Seek(0, TSeekOrigin::soBeginning);
    if (version >= 135) {
      n.LoadFormats(first, version);
      ASSERT_NE(n.Find("log"), nullptr);
      EXPECT_EQ(n.Find("log")->History().Count(), 1);
      EXPECT_EQ(n.Find("log")->History().Pages()[0].extra_texts[0], "x=1");
    } else {
      n.LoadDefaultHistory(first, version);
      EXPECT_EQ(n.Find("log"), nullptr);
    }
    EXPECT_EQ(n.Default().History().OldEntries().size(), 2u);
    EXPECT_EQ(n.Default().History().Pending().box, "mes");
    EXPECT_EQ(n.Default().History().max_count, version > 112 ? 7 : 0);
    TKvMemoryStream second;
    if (version >= 135) {
      n.SaveFormats(second, version);
    } else {
      n.SaveDefaultHistory(second, version);
    }
    EXPECT_EQ(second.Data(), first.Data());
    // Every cut of the stream fails with the read error and leaves the formats as they were.
    for (int64_t cut = 0; cut < static_cast<int64_t>(first.Data().size()); ++cut) {
      TKvMemoryStream part(first.Data().substr(0, static_cast<size_t>(cut)));
      if (version >= 135) {
        EXPECT_THROW(n.LoadFormats(part, version), EQuenError);
      } else {
        EXPECT_THROW(n.LoadDefaultHistory(part, version), EQuenError);
      }
      EXPECT_EQ(n.Default().History().OldEntries().size(), 2u);
    }
  }
}

TEST_F(History, ColumnFormOfVersion112AndABlockWithoutTheDefault) {
  TKvMemoryStream s;
  WriteString(s, "legacy");
  WriteInt32(s, 2);
  WriteString(s, "a.qsb");
  WriteString(s, "");
  WriteInt32(s, 5);
  WriteInt32(s, 6);
  WriteInt32(s, 0);
  WriteInt32(s, 1);
  for (int32_t v : {640, 480, 320, 240}) WriteInt32(s, v);
  WriteString(s, "");
  for (int i = 0; i < 4; ++i) WriteInt32(s, 0);
  WriteString(s, "");
  s.Seek(0, TSeekOrigin::soBeginning);
  TQuenHistoryFormatManager m;
  m.LoadDefaultHistory(s, 112);
  const auto& old = m.Default().History().OldEntries();
  ASSERT_EQ(old.size(), 2u);
  EXPECT_EQ(old[1].command, 6);
  EXPECT_EQ(old[1].page_index, 1);
  EXPECT_EQ(old[1].width, 320);
  EXPECT_EQ(m.Default().History().OldFileOf(1), "a.qsb");
  EXPECT_FALSE(m.Default().History().Pending().present);
  // Saves 113 to 134 bring the default's template from the variable block.
  m.ApplyLegacySettings({30, 1, 2, 400, 300, 4});
  EXPECT_EQ(m.Default().settings.height, 300);

  // A block holding only another format: the default comes back, empty.
  TKvMemoryStream b;
  WriteInt32(b, 1);
  WriteString(b, "log");
  for (int i = 0; i < 6; ++i) WriteInt32(b, 0);
  TQuenNewHistory empty;
  empty.Save(b, 135);
  b.Seek(0, TSeekOrigin::soBeginning);
  m.LoadFormats(b, 135);
  EXPECT_EQ(m.FormatCount(), 2);
  ASSERT_NE(m.Find(""), nullptr);
  EXPECT_EQ(m.Default().History().Count(), 0);
  EXPECT_EQ(m.Find("LOG"), nullptr);
}

}  // namespace
}  // namespace quen
