// Small helpers of the text tests: markup written in UTF-8, texts summarised as strings.
#pragma once

#include <string>
#include <vector>

#include "platform/text_encoding.h"
#include "text/kv_word.h"
#include "text/markup_compiler.h"

namespace quen::testing {

inline std::string Sjis(const std::string& utf8) {
  return platform::Utf8ToCp932(utf8);
}

inline void SetMarkup(TKvWord& w, const std::string& utf8) {
  w.SetText(SplitMarkupLines(Sjis(utf8)));
}

// The glyphs of a text: characters as themselves, anything else as <kind>.
inline std::string Glyphs(const TKvWord& w) {
  std::string out;
  for (int32_t i = 0; i < w.GlyphCount(); ++i) {
    const TWdGlyph* g = w.GlyphAt(i);
    out += g->Code() != 0 ? platform::Cp932ToUtf8(g->Text()) : "<" + std::string(g->Kind()) + ">";
  }
  return out;
}

// Pages separated by " # ", rows by " | ", characters only.
inline std::string Rows(const TWdPageList& pages) {
  std::string out;
  for (size_t p = 0; p < pages.size(); ++p) {
    if (p) out += " # ";
    for (size_t r = 0; r < pages[p]->rows.size(); ++r) {
      if (r) out += " | ";
      for (const TWdPlaced& it : pages[p]->rows[r]->items) {
        if (it.glyph->Code() != 0) out += platform::Cp932ToUtf8(it.glyph->Text());
        if (it.glyph->TypeCode() == WD_IMG) out += "[img]";
      }
    }
  }
  return out;
}

}  // namespace quen::testing
