// Glyphs and marked-up text. The glyph cache is read next to FreeType's own loading and
// rendering of the same glyphs in the same run (the ratio is the figure); drawing and layout
// have absolute budgets for 400 glyphs and 10,000 characters.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "imaging/dibx.h"
#include "imaging/font_pixel.h"
#include "platform/outline_font.h"
#include "platform/text_encoding.h"
#include "text/kv_word.h"
#include "text/markup_compiler.h"

namespace {

using quen::TFontPixelManager;

const std::string& Gothic() {
  static const std::string face = quen::platform::Utf8ToCp932("ＭＳ ゴシック");
  return face;
}

// 400 distinct kanji codes of the first levels of the code page.
const std::vector<uint16_t>& Codes() {
  static const std::vector<uint16_t> codes = [] {
    std::vector<uint16_t> out;
    for (int lead = 0x89; out.size() < 400; ++lead) {
      for (int trail = 0x40; trail <= 0xFC && out.size() < 400; ++trail) {
        if (trail == 0x7F) continue;
        out.push_back(static_cast<uint16_t>(lead << 8 | trail));
      }
    }
    return out;
  }();
  return codes;
}

// FreeType's own loading and rendering of the same glyphs at the same size and load flags.
struct TFreeType {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  std::vector<FT_UInt> index;

  TFreeType() {
    FT_Init_FreeType(&lib);
    const std::string file = quen::platform::FaceFile(Gothic());
    if (FT_New_Face(lib, file.c_str(), 0, &face) != 0) {
      face = nullptr;
      return;
    }
    FT_Set_Pixel_Sizes(face, 0, 24);
    for (uint16_t c : Codes()) {
      const std::string sjis{static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
      const std::string u = quen::platform::Cp932ToUtf8(sjis);
      const char32_t cp = ((u[0] & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F);
      index.push_back(FT_Get_Char_Index(face, cp));
    }
  }
  ~TFreeType() {
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(lib);
  }
  void RenderAll() {
    for (FT_UInt i : index) {
      FT_Load_Glyph(face, i, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
      FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL);
      benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
    }
  }
};

// The glyph cache made cold (a new manager) and filled with the 400 glyphs at level 3, next to
// FreeType doing the same glyphs, alternately; ratio = ours / FreeType's (target: at most 1.3).
void BM_GetGlyphColdOverFreeType(benchmark::State& state) {
  TFreeType ft;
  if (!ft.face) {
    state.SkipWithError("no font");
    return;
  }
  double ours = 0, theirs = 0;
  const auto cold = [] {
    TFontPixelManager m;
    m.Level = 3;
    for (uint16_t c : Codes()) benchmark::DoNotOptimize(m.GetGlyph(c, Gothic(), 0, 24));
  };
  bool ours_first = true;
  for (auto _ : state) {
    // Each goes first every other time, so that neither runs on caches the other warmed.
    const auto t0 = std::chrono::steady_clock::now();
    ours_first ? cold() : ft.RenderAll();
    const auto t1 = std::chrono::steady_clock::now();
    ours_first ? ft.RenderAll() : cold();
    const auto t2 = std::chrono::steady_clock::now();
    const double a = std::chrono::duration<double>(t1 - t0).count();
    const double b = std::chrono::duration<double>(t2 - t1).count();
    ours += ours_first ? a : b;
    theirs += ours_first ? b : a;
    ours_first = !ours_first;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ours_ms"] = ours * 1000 / n;
  state.counters["freetype_ms"] = theirs * 1000 / n;
  state.counters["ratio"] = theirs > 0 ? ours / theirs : 0;
}
BENCHMARK(BM_GetGlyphColdOverFreeType)->Unit(benchmark::kMicrosecond);

// The 400 glyphs warm in two caches of 200, drawn into a label pair; args: edge, shadow
// (targets: 0.4 ms plain, 3 ms with edge 2 and shadow 2).
void BM_DrawChar(benchmark::State& state) {
  const int edge = static_cast<int>(state.range(0)), shadow = static_cast<int>(state.range(1));
  TFontPixelManager a, b;
  std::vector<quen::TFontPixel*> glyphs;
  for (size_t i = 0; i < Codes().size(); ++i)
    glyphs.push_back((i < 200 ? a : b).GetGlyph(Codes()[i], Gothic(), 0, 24));
  quen::TDIBX color, alpha;
  color.SetSize(640, 480, 32);
  alpha.SetSize(640, 480, 8);
  const int cell = 24 + 2 * edge + shadow;
  for (auto _ : state) {
    int x = 0, y = 0;
    for (quen::TFontPixel* g : glyphs) {
      quen::TRect changed;
      g->DrawChar(color, alpha, true, changed, 0x404040, 0x000000, 0xFFFFFF, false, false, shadow,
                  edge, quen::TRect::FromSize(x, y, cell, cell));
      x += cell;
      if (x + cell > 640) x = 0, y = (y + cell) % (480 - cell);
    }
  }
  state.SetItemsProcessed(state.iterations() * 400);
}
BENCHMARK(BM_DrawChar)->Args({0, 0})->Args({2, 2})->Unit(benchmark::kMicrosecond);

// About 10,000 characters of typical markup: a tag every 20 characters or so, ruby, brackets
// and punctuation that the line-breaking rules move.
const std::vector<std::string>& Markup() {
  static const std::vector<std::string> lines = [] {
    const char* parts[] = {
        "「今日は<B>良い天気</B>ですね」と、彼女は言った。",
        "<FONT COLOR=#FF8040>夕焼けの空</FONT>が広がっている。",
        "<RUBY VALUE=\"かんじ\">漢字</RUBY>の読み方を覚えよう！",
        "<WAIT VALUE=120>……少し、待って。</WAIT>",
        "Hello, world. This is <I>English</I> text.",
        "『本当に？』<A HREF=\"jump\">ここを押して</A>ください。",
    };
    std::vector<std::string> out;
    std::string line;
    size_t chars = 0;
    for (int i = 0; chars < 10000; ++i) {
      const std::string part = quen::platform::Utf8ToCp932(parts[i % 6]);
      line += part;
      chars += 17;  // characters of a part, about
      if (i % 4 == 3) {
        out.push_back(line);
        line.clear();
      }
    }
    out.push_back(line);
    return out;
  }();
  return lines;
}

// Target: 3 ms, and no glyph bitmap made.
void BM_BuildAndLayOut(benchmark::State& state) {
  TFontPixelManager fonts;
  quen::TKvWord word;
  word.settings.font_height = 24;
  word.settings.line_width = 640;
  word.settings.page_height = 480;
  quen::TWdPageList pages;
  for (auto _ : state) {
    word.SetText(Markup());
    word.LayOut(pages);
    benchmark::DoNotOptimize(pages.data());
  }
  if (fonts.CachedCount() != 0) state.SkipWithError("layout made glyph bitmaps");
  state.counters["glyphs"] = word.GlyphCount();
  state.counters["pages"] = static_cast<double>(pages.size());
}
BENCHMARK(BM_BuildAndLayOut)->Unit(benchmark::kMicrosecond);

// Target: 1 ms.
void BM_ContentSaveLoad(benchmark::State& state) {
  quen::TKvWord word, back;
  word.SetText(Markup());
  for (auto _ : state) {
    quen::TKvMemoryStream m;
    word.SaveContent(m);
    m.SetPosition(0);
    back.LoadContent(m);
    benchmark::DoNotOptimize(back.GlyphCount());
  }
  state.counters["glyphs"] = word.GlyphCount();
}
BENCHMARK(BM_ContentSaveLoad)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
