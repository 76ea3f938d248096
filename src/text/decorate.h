// Decorations: the looks that glyphs share (colours, size, style, face, ruby, no-break, border
// and shadow), reference-counted in one list per text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/types.h"

namespace quen {

class TDecorate {
 public:
  TColor color = kColorNone;         // -1: the text's colour
  TColor border_color = kColorNone;  // -1: the text's border colour
  TColor shadow_color = kColorNone;  // -1: the text's shadow colour
  int32_t size = 0;                  // 0: the text's font height
  uint8_t style = 0;                 // bold 1, italic 2, underline 4, strike-out 8
  std::string face;                  // empty: the text's font name
  std::string ruby;
  bool no_break = false;
  int32_t border = -1;  // negative: the text's default border width
  int32_t shadow = -1;  // negative: the text's default shadow width

  // Every field compared, strings byte for byte (the scratch mark aside).
  bool SameLooks(const TDecorate& o) const {
    return color == o.color && border_color == o.border_color && shadow_color == o.shadow_color &&
           size == o.size && style == o.style && no_break == o.no_break && border == o.border &&
           shadow == o.shadow && face == o.face && ruby == o.ruby;
  }
  int32_t RefCount() const { return refs_; }

  // Scratch of whoever walks the list (the content stream's writer numbers records in it).
  mutable int32_t mark = 0;

 private:
  friend class TDecorateList;
  int32_t refs_ = 0;
};

class TDecorateList {
 public:
  // The record with these looks, its count raised by n; a new one with count n when none.
  TDecorate* Acquire(const TDecorate& looks, int32_t n = 1);
  // One more glyph holds d.
  void AddRef(TDecorate* d) { ++d->refs_; }
  // Lowers the count; a record whose count reaches 0 leaves the list.
  void Release(TDecorate* d);
  void Clear() { items_.clear(); }

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const TDecorate& Item(int32_t i) const { return *items_[static_cast<size_t>(i)]; }
  // Position in the list, -1 for a record of another list.
  int32_t IndexOf(const TDecorate* d) const;

 private:
  std::vector<std::unique_ptr<TDecorate>> items_;
};

}  // namespace quen
