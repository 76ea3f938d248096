// The message history. Committing a laid-out page is read next to laying out the same glyph
// range with the text alone (the layout is the floor; the ratio is the figure); 1000 commits
// at maximum count 200 and saving and loading 200 history pages have absolute budgets.
#include <benchmark/benchmark.h>

#include <string>

#include "base/stream.h"
#include "platform/text_encoding.h"
#include "text/markup_compiler.h"
#include "text/quen_history.h"
#include "text/text_source.h"

namespace {

using namespace quen;

// One message page of text: four rows of a 640 x 120 box.
const std::string& Body() {
  static const std::string body = [] {
    std::string line = platform::Utf8ToCp932(
        "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗い");
    return CompileMarkup({line, line, line, line}, 0);
  }();
  return body;
}

class TOneText : public ITextSource {
 public:
  bool FetchText(const std::string&, int32_t, std::string& content) override {
    content = Body();
    return true;
  }
};

THistoryTemplate Template() {
  THistoryTemplate t;
  t.SetValues({24, 0, 0, 640, 120, 0});
  return t;
}

void BM_LayOutAlone(benchmark::State& state) {
  TKvWord w;
  TKvMemoryStream ms(Body());
  w.LoadContent(ms);
  w.settings.font_height = 24;
  w.settings.line_width = 640;
  w.settings.page_height = 120;
  for (auto _ : state) {
    w.ExpandVariables(0, -1, true);
    TWdPageList pages;
    w.LayOut(pages, 0, w.GlyphCount() - 1);
    w.CollapseVariables(0, -1);
    benchmark::DoNotOptimize(pages.size());
  }
}
BENCHMARK(BM_LayOutAlone);

void BM_CommitLaidOutPage(benchmark::State& state) {
  TOneText texts;
  SetTextSource(&texts);
  TQuenNewHistory h;
  h.max_count = 200;
  for (auto _ : state) {
    h.Note(Template(), "mes", "a.qsb", "", 0, 0, 1000, 1, 640, 120);
    h.Commit("mes");
  }
  SetTextSource(nullptr);
}
BENCHMARK(BM_CommitLaidOutPage);

void BM_Thousand_Commits_Max200(benchmark::State& state) {
  TOneText texts;
  SetTextSource(&texts);
  for (auto _ : state) {
    TQuenNewHistory h;
    h.max_count = 200;
    for (int i = 0; i < 1000; ++i) {
      h.Note(Template(), "mes", i % 2 ? "a.qsb" : "b.qsb", "", 0, 0, 1000, i, 640, 120);
      h.Commit("mes");
    }
    benchmark::DoNotOptimize(h.Count());
  }
  SetTextSource(nullptr);
}
BENCHMARK(BM_Thousand_Commits_Max200)->Unit(benchmark::kMillisecond);

void BM_SaveLoad200Pages(benchmark::State& state) {
  TOneText texts;
  SetTextSource(&texts);
  TQuenHistoryFormatManager m;
  m.Default().settings = Template();
  for (int i = 0; i < 200; ++i) {
    m.NotePage("mes", "a.qsb", "name=value", 0, 0, 1000, i, 640, 120);
    m.Commit("mes");
  }
  SetTextSource(nullptr);
  const bool load = state.range(0) != 0;
  TKvMemoryStream saved;
  m.SaveFormats(saved, 135);
  for (auto _ : state) {
    if (load) {
      TQuenHistoryFormatManager n;
      TKvMemoryStream in(saved.Data());
      n.LoadFormats(in, 135);
      benchmark::DoNotOptimize(n.Default().History().Count());
    } else {
      TKvMemoryStream out;
      m.SaveFormats(out, 135);
      benchmark::DoNotOptimize(out.Data().size());
    }
  }
}
BENCHMARK(BM_SaveLoad200Pages)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
