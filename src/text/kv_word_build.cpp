// Building glyphs from markup, and expanding variables.
#include <algorithm>
#include <climits>
#include <utility>

#include "base/error.h"
#include "base/sjis.h"
#include "expr/build_quen_parser.h"
#include "expr/param_collection.h"
#include "expr/quen_parser.h"
#include "imaging/font_pixel.h"
#include "text/kv_word.h"
#include "text/markup_tokenizer.h"
#include "text/messages.h"
#include "text/tag_val_list.h"

namespace quen {

namespace {

// A decimal integer with an optional sign and surrounding spaces; false when malformed or
// out of range.
bool ParseInt(std::string_view s, int32_t& out) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > int64_t{INT32_MAX} + 1) return false;
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  out = static_cast<int32_t>(v);
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "#RRGGBB" as 0x00BBGGRR; false for anything else.
bool ParseColor(const std::string& s, int32_t& out) {
  if (s.size() != 7 || s[0] != '#') return false;
  int32_t rgb = 0;
  for (size_t i = 1; i < 7; ++i) {
    const int d = HexDigit(s[i]);
    if (d < 0) return false;
    rgb = rgb * 16 + d;
  }
  out = RGBColor(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                 static_cast<uint8_t>(rgb));
  return true;
}

uint16_t CodeAt(std::string_view s, size_t i, size_t len) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  return len == 2 ? static_cast<uint16_t>(b(i) << 8 | b(i + 1)) : b(i);
}

// Follows the tag table. Builds into the text through the callbacks of TKvWord.
class TBuilder {
 public:
  TBuilder(TKvWord& word, int32_t delay) : word_(word), st_(delay) {}

  void Text(const std::string& run) {
    for (size_t i = 0; i < run.size();) {
      const size_t len = sjis::CharLen(run, i);
      auto c = std::make_unique<TWdChar>(CodeAt(run, i, len), Decoration());
      c->link_ = st_.link;
      c->delay_ = st_.delay.Top();
      word_.InsertGlyph(word_.GlyphCount(), std::move(c));
      i += len;
    }
  }

  void Tag(const TMarkupTag& t) {
    const std::string& n = t.Name();
    ++st_.version;
    if (n == "A") {
      const std::string* href = t.Value("HREF");
      if (!href) RaiseError(msg::kNoHref);
      st_.link = *href;
    } else if (n == "/A") {
      st_.link.clear();
    } else if (n == "B" || n == "/B") {
      Style(kGlyphBold, n[0] != '/');
    } else if (n == "I" || n == "/I") {
      Style(kGlyphItalic, n[0] != '/');
    } else if (n == "U" || n == "/U") {
      Style(kGlyphUnderline, n[0] != '/');
    } else if (n == "S" || n == "/S") {
      Style(kGlyphStrikeOut, n[0] != '/');
    } else if (n == "FONT") {
      Font(t);
    } else if (n == "/FONT") {
      st_.size.Pop();
      st_.color.Pop();
      st_.border_color.Pop();
      st_.shadow_color.Pop();
      st_.face.Pop();
      st_.border.Pop();
      st_.shadow.Pop();
    } else if (n == "NOBR" || n == "/NOBR") {
      st_.no_break = n[0] != '/';
    } else if (n == "RUBY") {
      const std::string* v = t.Value("VALUE");
      st_.ruby = v ? *v : std::string();
    } else if (n == "/RUBY") {
      st_.ruby.clear();
    } else if (n == "DIV") {
      const std::string* a = t.Value("ALIGN");
      const std::string up = a ? sjis::UpperAscii(*a) : std::string();
      st_.align.Push(up == "RIGHT" ? WA_RIGHT : up == "CENTER" ? WA_CENTER : WA_LEFT);
      Add(std::make_unique<TWdOpeAlign>(st_.align.Top()));
    } else if (n == "/DIV") {
      st_.align.Pop();
      Add(std::make_unique<TWdOpeAlign>(st_.align.Top()));
    } else if (n == "INDENT") {
      Add(std::make_unique<TWdOpeIndent>());
    } else if (n == "UNDENT") {
      Add(std::make_unique<TWdOpeUndent>());
    } else if (n == "BR") {
      Add(std::make_unique<TWdOpeReturn>(t.Has("CLEAR")));
    } else if (n == "CLEAR") {
      Add(std::make_unique<TWdOpeReturn>(true));
    } else if (n == "EVENT") {
      const std::string* v = t.Value("VALUE");
      std::string value = v ? *v : std::string();
      if (t.Has("END")) value.insert(value.begin(), '\x01');
      Add(std::make_unique<TWdOpeEvent>(std::move(value)));
    } else if (n == "WAIT") {
      int32_t d = st_.delay.Top();
      if (const std::string* v = t.Value("VALUE")) ParseInt(*v, d);
      st_.delay.Push(d);
    } else if (n == "/WAIT") {
      st_.delay.Pop();
    } else if (n == "VAR" || n == "HISTCHAR") {
      const std::string* v = t.Value(n == "VAR" ? "NAME" : "VALUE");
      if (!v) return;
      std::unique_ptr<TWdOpeVar> g = n == "VAR"
                                         ? std::make_unique<TWdOpeVar>(*v, Decoration())
                                         : std::make_unique<TWdOpeHistChar>(*v, Decoration());
      g->link_ = st_.link;
      g->delay_ = st_.delay.Top();
      Add(std::move(g));
    } else if (n == "IMG") {
      const std::string* src = t.Value("SRC");
      if (!src) return;
      const std::string* a = t.Value("ALIGN");
      const std::string up = a ? sjis::UpperAscii(*a) : std::string();
      auto img = std::make_unique<TWdImg>(*src, up == "CENTER" ? WA_CENTER
                                                : up == "TOP"  ? WA_TOP
                                                               : WA_BOTTOM);
      img->no_break_ = st_.no_break;
      img->ruby_ = st_.ruby;
      img->link_ = st_.link;
      img->delay_ = st_.delay.Top();
      Add(std::move(img));
    } else {
      --st_.version;  // any other tag, comments and blocks change nothing
    }
  }

 private:
  void Add(std::unique_ptr<TWdGlyph> g) { word_.InsertGlyph(word_.GlyphCount(), std::move(g)); }

  void Style(uint8_t bit, bool on) { st_.style = on ? (st_.style | bit) : (st_.style & ~bit); }

  void Font(const TMarkupTag& t) {
    int32_t size = st_.size.Top();
    if (const std::string* v = t.Value("SIZE")) ParseInt(*v, size);
    int32_t color = st_.color.Top(), bcolor = st_.border_color.Top(),
            scolor = st_.shadow_color.Top();
    if (const std::string* v = t.Value("COLOR")) ParseColor(*v, color);
    if (const std::string* v = t.Value("BCOLOR")) ParseColor(*v, bcolor);
    if (const std::string* v = t.Value("SCOLOR")) ParseColor(*v, scolor);
    const std::string* name = t.Value("NAME");
    // BORDER and SHADOW: a malformed value is 1, a negative one 0.
    const auto width = [&t](const char* attr, int32_t top) {
      const std::string* v = t.Value(attr);
      if (!v) return top;
      int32_t w = 1;
      if (!ParseInt(*v, w)) w = 1;
      return std::max(w, 0);
    };
    st_.size.Push(size);
    st_.color.Push(color);
    st_.border_color.Push(bcolor);
    st_.shadow_color.Push(scolor);
    st_.face.Push(name ? *name : st_.face.Top());
    st_.border.Push(width("BORDER", st_.border.Top()));
    st_.shadow.Push(width("SHADOW", st_.shadow.Top()));
  }

  // The decoration of the state, shared while the state does not change.
  TDecorate* Decoration() {
    if (!deco_ || deco_version_ != st_.version) {
      deco_ = word_.AcquireDecoration(st_.Looks());
      deco_version_ = st_.version;
      return deco_;
    }
    word_.AddDecorationRef(deco_);
    return deco_;
  }

  TKvWord& word_;
  TTagValList st_;
  TDecorate* deco_ = nullptr;
  uint64_t deco_version_ = 0;
};

}  // namespace

void TKvWord::SetText(const std::vector<std::string>& lines) {
  if (expanding_ > 0) {
    // Asked for by an expression of this text's own expansion: done once the expansion ends.
    pending_text_ = true;
    pending_lines_ = lines;
    return;
  }
  Clear();
  values_.clear();
  Build(lines);
}

void TKvWord::Build(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\r';
    text += lines[i];
  }
  int32_t delay = text_delay;
  if (vars_) {
    if (TParamCollectionItem* r = vars_->FindVariable("@TextDelay"); r && r->Value()) {
      delay = r->Value()->GetAsInteger();
    }
  }
  TBuilder b(*this, delay);
  for (const TMarkupToken& t : TokenizeMarkup(text)) {
    if (t.tag) {
      b.Tag(TMarkupTag(t.text));
    } else {
      b.Text(t.text);
    }
  }
}

std::string TKvWord::EvaluateVar(const TWdOpeVar& v) {
  for (const std::string& line : values_) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || !sjis::EqualsNoCase(line.substr(0, eq), v.name_)) continue;
    std::string value = line.substr(eq + 1);
    std::replace(value.begin(), value.end(), '\x01', '\r');
    return value;
  }
  if (!vars_ || !funcs_) return {};
  try {
    TBuildQuenParser build;
    build.Build(v.name_);
    TKvMemoryStream m;
    build.Write(m);
    m.SetPosition(0);
    TQuenParser parser;
    parser.LoadFromStream(m);
    parser.Execute(*vars_, *funcs_);
    if (!parser.LastError().empty() || !parser.Result()) return {};
    return parser.Result()->GetAsString();
  } catch (const EQuenError&) {
    return {};  // an expression error shows nothing
  }
}

int32_t TKvWord::CollapseVariables(int32_t first, int32_t last) {
  CheckNotExpanding();
  if (last < 0 || last >= GlyphCount()) last = GlyphCount() - 1;
  first = std::max(first, 0);
  for (int32_t i = first; i <= last && i < GlyphCount(); ++i) {
    const TWdGlyph* g = glyphs_[static_cast<size_t>(i)].get();
    if (g->TypeCode() != WD_VAR && g->TypeCode() != WD_HISTCHAR) continue;
    const auto* v = static_cast<const TWdOpeVar*>(g);
    while (i + 1 < GlyphCount() &&
           glyphs_[static_cast<size_t>(i + 1)]->ExpansionOwner() == v->id_) {
      DeleteGlyph(i + 1);
      --last;
    }
  }
  return last;
}

int32_t TKvWord::ExpandVariables(int32_t first, int32_t last, bool history) {
  CheckNotExpanding();
  if (last < 0 || last >= GlyphCount()) last = GlyphCount() - 1;
  first = std::max(first, 0);
  for (int32_t i = first; i <= last && i < GlyphCount(); ++i) {
    TWdGlyph* g = glyphs_[static_cast<size_t>(i)].get();
    if (g->TypeCode() != WD_VAR && g->TypeCode() != WD_HISTCHAR) continue;
    auto* v = static_cast<TWdOpeVar*>(g);
    if (v->HistoryOnly() && !history) continue;
    while (i + 1 < GlyphCount() &&
           glyphs_[static_cast<size_t>(i + 1)]->ExpansionOwner() == v->id_) {
      DeleteGlyph(i + 1);
      --last;
    }
    std::string text;
    ++expanding_;
    try {
      text = EvaluateVar(*v);
    } catch (...) {
      --expanding_;
      throw;
    }
    --expanding_;
    std::vector<std::unique_ptr<TWdGlyph>> made;
    for (size_t k = 0; k < text.size();) {
      const size_t len = sjis::CharLen(text, k);
      const char ch = text[k];
      if (len == 1 && ch == '\r') {
        made.push_back(std::make_unique<TWdVarReturn>(v->id_));
        k += (k + 1 < text.size() && text[k + 1] == '\n') ? 2 : 1;
        continue;
      }
      if (len == 1 && static_cast<unsigned char>(ch) < 0x20) {
        ++k;  // other control characters are dropped
        continue;
      }
      TDecorate* d = v->deco_;
      if (d) decorations_.AddRef(d);
      auto c = std::make_unique<TWdVarChar>(CodeAt(text, k, len), d, v->id_);
      c->link_ = v->link_;
      c->delay_ = v->delay_;
      made.push_back(std::move(c));
      k += len;
    }
    const int32_t n = static_cast<int32_t>(made.size());
    glyphs_.insert(glyphs_.begin() + i + 1, std::make_move_iterator(made.begin()),
                   std::make_move_iterator(made.end()));
    last += n;
    i += n;
    if (pending_text_) break;
  }
  if (pending_text_) {
    pending_text_ = false;
    SetText(std::exchange(pending_lines_, {}));
    return GlyphCount() - 1;
  }
  return last;
}

}  // namespace quen
