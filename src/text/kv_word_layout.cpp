// Layout: word units with the Japanese line-breaking rules, rows, pages, floats, alignment and
// indentation.
#include <algorithm>
#include <bitset>
#include <climits>

#include "base/sjis.h"
#include "imaging/font_pixel.h"
#include "text/kv_word.h"
#include "text/messages.h"

namespace quen {

namespace {

// Characters of a Shift-JIS set, one bit per code.
class TCodeSet {
 public:
  explicit TCodeSet(std::string_view chars) {
    for (size_t i = 0; i < chars.size();) {
      const size_t len = sjis::CharLen(chars, i);
      const auto b = [&](size_t k) { return static_cast<uint8_t>(chars[k]); };
      bits_.set(len == 2 ? (b(i) << 8 | b(i + 1)) : b(i));
      i += len;
    }
  }
  bool Has(uint16_t code) const { return code != 0 && bits_.test(code); }

 private:
  std::bitset<65536> bits_;
};

const TCodeSet& NoLineStart() {
  static const TCodeSet set(msg::kNoLineStart);
  return set;
}

const TCodeSet& NoLineEnd() {
  static const TCodeSet set(msg::kNoLineEnd);
  return set;
}

bool IsOperation(const TWdGlyph* g) {
  const uint8_t t = g->TypeCode();
  return t == WD_ALIGN || t == WD_INDENT || t == WD_UNDENT;
}

// Glyphs that take part in word units: everything but operations and floating images.
bool InUnits(const TWdGlyph* g) {
  return !IsOperation(g) && g->FloatAlign() == WA_NONE;
}

bool BreakForbidden(const TWdGlyph* p, const TWdGlyph* q) {
  if (p->NoBreak() && q->NoBreak()) return true;
  // A ruby group stays together; two glyphs without ruby are no group.
  const std::string& ruby = q->Ruby();
  if (!ruby.empty() && ruby == p->Ruby()) return true;
  const uint16_t a = p->Code(), b = q->Code();
  if (a >= 33 && a <= 255 && b >= 33 && b <= 255) return true;  // alphanumeric words
  if (b == ' ' && a != ' ') return true;
  return NoLineStart().Has(b);
}

struct TFloat {
  int32_t left, top, right, bottom;
  uint8_t side;
};

class TLayout {
 public:
  TLayout(const TKvWord& word, TKvWordSettings& settings, TWdPageList& pages, int32_t first,
          int32_t last)
      : w_(word), s_(settings), pages_(pages), first_(first), last_(last) {
    y_ = s_.insert_y;
    align_ = s_.insert_align != WA_NONE ? s_.insert_align : uint8_t{WA_LEFT};
    indent_ = s_.insert_indent;
    lead_ = s_.insert_x;
    min_height_ = s_.insert_height;
    pending_first_ = first;
  }

  void Run() {
    int32_t i = first_;
    while (i <= last_) {
      TWdGlyph* g = G(i);
      const uint8_t t = g->TypeCode();
      if (page_) page_->last_index = i;
      if (t == WD_ALIGN) {
        align_ = static_cast<TWdOpeAlign*>(g)->align_;
        if (row_ && row_->content == 0) row_->align = align_;
        Place(g, i);
        ++i;
      } else if (t == WD_INDENT || t == WD_UNDENT) {
        if (t == WD_UNDENT) {
          indent_ = 0;
        } else if (row_) {
          indent_ = row_->width;
        }
        Place(g, i);
        ++i;
      } else if (g->FloatAlign() != WA_NONE) {
        Float(g, i);
        ++i;
      } else {
        i = Unit(i);
      }
    }
    CloseRow();
    if (page_) page_->last_index = last_;
    Finish();
  }

 private:
  TWdGlyph* G(int32_t i) const { return w_.GlyphAt(i); }

  // One past the unit that starts at p.
  int32_t UnitEnd(int32_t p) const {
    for (int32_t q = p;; ++q) {
      if (G(q)->IsReturn() || q + 1 > last_) return q + 1;
      const TWdGlyph* n = G(q + 1);
      if (!InUnits(n) || !BreakForbidden(G(q), n)) return q + 1;
    }
  }

  // Places the word unit starting at i; returns where layout goes on.
  int32_t Unit(int32_t i) {
    if (!row_) NewRow(i);
    // An opening bracket alone goes with the unit after it.
    int32_t start = i, end = UnitEnd(i);
    while (end == start + 1 && end <= last_ && NoLineEnd().Has(G(start)->Code()) &&
           InUnits(G(end))) {
      start = end;
      end = UnitEnd(end);
    }
    int64_t width = 0;
    for (int32_t k = i; k < end; ++k) width += G(k)->Width();
    if (row_->content > 0 && s_.line_width != 0 &&
        int64_t{row_->right} - row_->left < int64_t{row_->width} + width) {
      CloseRow();
      return i;  // tried again on a new row
    }
    for (int32_t k = i; k < end; ++k) {
      TWdGlyph* g = G(k);
      Place(g, k);
      if (!g->IsReturn() && (g->Width() > 0 || g->Height() > 0)) {
        ++row_->content;
        row_->height = std::max(row_->height, g->Height());
        row_->width =
            static_cast<int32_t>(std::min<int64_t>(int64_t{row_->width} + g->Width(), INT32_MAX));
      }
      if (s_.paging && page_->rows.size() > 1 && int64_t{row_->y} + row_->height > s_.page_height) {
        return Restart();
      }
    }
    if (G(end - 1)->IsReturn()) {
      has_return_ = true;
      const bool clear = static_cast<TWdOpeReturn*>(G(end - 1))->clear_;
      CloseRow();
      if (clear) ClosePage(end);
    }
    return end;
  }

  // The row passed the page: it goes, and layout starts again from its first glyph on a new
  // page, with the alignment and indentation it began with.
  int32_t Restart() {
    int32_t from = last_ + 1;
    for (const TWdPlaced& p : row_->items) {
      if (p.index >= 0) {
        from = p.index;
        break;
      }
    }
    align_ = row_->align;
    indent_ = row_->indent;
    page_->rows.pop_back();
    row_ = nullptr;
    page_->last_index = from - 1;
    page_ = nullptr;
    pending_first_ = from;
    return from;
  }

  void Float(TWdGlyph* g, int32_t i) {
    if (row_ && row_->content > 0) CloseRow();
    if (!row_) NewRow(i);
    // A float that passes the page starts a new one, unless the page is empty: a float taller
    // than the page is placed anyway, as rows are.
    if (s_.paging && int64_t{y_} + g->Height() > s_.page_height && page_->rows.size() > 1) {
      page_->rows.pop_back();
      row_ = nullptr;
      page_->last_index = i - 1;
      page_ = nullptr;
      pending_first_ = i;
      NewRow(i);
    }
    TFloat f;
    f.side = g->FloatAlign();
    f.left = f.side == WA_LEFT ? row_->left : row_->right - g->Width();
    f.top = y_;
    f.right = f.left + g->Width();
    f.bottom = y_ + g->Height();
    floats_.push_back(f);
    row_->items.push_back({g, i, f.left, f.top, 255});
    ++row_->content;
    FreeSpan(y_, row_->left, row_->right);
  }

  void Place(TWdGlyph* g, int32_t i) {
    if (row_) row_->items.push_back({g, i, row_->width, 0, 255});
  }

  void FreeSpan(int32_t y, int32_t& left, int32_t& right) const {
    left = 0;
    right = s_.line_width;
    for (const TFloat& f : floats_) {
      if (y < f.top || y >= f.bottom) continue;
      if (f.side == WA_LEFT) {
        left = std::max(left, f.right);
      } else {
        right = std::min(right, f.left);
      }
    }
  }

  void NewPage(int32_t i) {
    pages_.push_back(std::make_unique<TWdPage>());
    page_ = pages_.back().get();
    page_->first_index = std::min(pending_first_, i);
    page_->last_index = i;
    if (pages_.size() > 1) y_ = 0;
    floats_.clear();
  }

  void NewRow(int32_t i) {
    if (!page_) NewPage(i);
    page_->rows.push_back(std::make_unique<TWdRow>());
    row_ = page_->rows.back().get();
    row_->y = y_;
    row_->align = align_;
    row_->indent = indent_;
    FreeSpan(y_, row_->left, row_->right);
    const int32_t lead = indent_ + lead_;
    lead_ = 0;  // the insertion point only moves the first row
    if (lead > 0) {
      row_->spaces.push_back(std::make_unique<TWdSpace>());
      TWdSpace* sp = row_->spaces.back().get();
      sp->SetSize(lead, 0);
      row_->items.push_back({sp, -1, 0, 0, 255});
      row_->width = lead;
    }
    has_return_ = false;
  }

  void CloseRow() {
    if (!row_) return;
    // A row of nothing but a line break is a blank line of the text's height.
    if (row_->content == 0 && has_return_) {
      row_->height = std::max(row_->height, std::clamp(s_.font_height, 1, kMaxGlyphHeight));
    }
    if (min_height_ > 0) {
      row_->height = std::max(row_->height, min_height_);
      min_height_ = 0;
    }
    y_ = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{y_} + row_->height + s_.line_spacing, INT32_MIN, INT32_MAX));
    row_ = nullptr;
  }

  void ClosePage(int32_t next) {
    CloseRow();
    if (page_) page_->last_index = next - 1;
    page_ = nullptr;
    pending_first_ = next;
  }

  // Horizontal alignment inside the limits, vertical placement inside the rows.
  void Finish() {
    int32_t widest = 0;
    for (const auto& p : pages_) {
      for (const auto& r : p->rows) widest = std::max(widest, r->width);
    }
    const bool unwrapped = s_.line_width == 0;
    if (unwrapped) s_.line_width = widest;
    for (const auto& p : pages_) {
      for (const auto& r : p->rows) {
        if (unwrapped) r->right += widest;
        int64_t x = r->left;
        if (r->align == WA_CENTER) {
          x = r->left + (int64_t{r->right} - r->left - r->width) / 2;
        } else if (r->align == WA_RIGHT) {
          x = int64_t{r->right} - r->width;
        }
        for (TWdPlaced& it : r->items) {
          const TWdGlyph* g = it.glyph;
          if (g->FloatAlign() != WA_NONE) continue;
          it.x = static_cast<int32_t>(x + it.x);
          const int32_t room = r->height - g->Height();
          const auto* img = g->TypeCode() == WD_IMG ? static_cast<const TWdImg*>(g) : nullptr;
          if (img && img->align_ == WA_TOP) {
            it.y = r->y;
          } else if (img && img->align_ == WA_CENTER) {
            it.y = r->y + room / 2;
          } else if (img || g->Code() != 0) {
            it.y = r->y + room;  // characters and images share the bottom line
          } else {
            it.y = r->y;  // operations, events, unexpanded variables
          }
        }
      }
    }
  }

  const TKvWord& w_;
  TKvWordSettings& s_;
  TWdPageList& pages_;
  int32_t first_, last_;
  TWdPage* page_ = nullptr;
  TWdRow* row_ = nullptr;
  int32_t y_ = 0;
  uint8_t align_ = WA_LEFT;
  int32_t indent_ = 0;
  int32_t lead_ = 0;
  int32_t min_height_ = 0;
  int32_t pending_first_ = 0;
  bool has_return_ = false;
  std::vector<TFloat> floats_;
};

}  // namespace

void TKvWord::LayOut(TWdPageList& pages, int32_t first, int32_t last) {
  pages.clear();
  if (last < 0 || last >= GlyphCount()) last = GlyphCount() - 1;
  first = std::max(first, 0);
  if (first > last) return;
  for (int32_t i = first; i <= last; ++i) Measure(*glyphs_[static_cast<size_t>(i)]);
  TLayout(*this, settings, pages, first, last).Run();
}

void TKvWord::EndPosition(const TWdPageList& pages, int32_t& x, int32_t& y, int32_t& height) const {
  x = y = height = 0;
  if (pages.empty() || pages.back()->rows.empty()) return;
  const TWdRow& r = *pages.back()->rows.back();
  y = r.y;
  height = r.height;
  for (const TWdPlaced& p : r.items) x = std::max(x, p.x + p.glyph->Width());
}

}  // namespace quen
