// Plain lines of text (captions, button captions, list rows) drawn with one set of font settings
// into a colour surface and an 8-bit mask. Unlike marked-up text, a label's characters take
// their glyph advances: a line is as wide as the sum of its advances (plus border and shadow).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "base/types.h"
#include "imaging/dibx.h"

namespace quen {

struct TLabelStyle {
  std::string face;  // Shift-JIS; empty: "ＭＳ ゴシック"
  int32_t height = 12;
  uint8_t style = 0;  // FS_ bits
  TColor color = 0;
  int32_t border = 0;
  TColor border_color = 0;
  int32_t shadow = 0;
  TColor shadow_color = 0;
  int32_t level = 3;  // glyph antialias level (the smoothing option: 3 on, 0 off)
  int32_t line_space = 0;
  uint8_t align = 0;  // per line: 0 left, 1 centre, 2 right (HA_ values)
  friend bool operator==(const TLabelStyle&, const TLabelStyle&) = default;
};

struct TLabel {
  TDIBX color;  // filled with the text colour, so lines drawn into the mask show in it
  TDIBX mask;   // 8-bit coverage
  int32_t width = 0;
  int32_t height = 0;
};

// Renders lines (Shift-JIS, no markup) at colour depth bits (15, 16, 24 or 32). Width = the
// widest line: the sum of its advances + 2 × border + shadow; height = lines × (font height +
// 2 × border + shadow + line space). No lines give a label of 0 × 0 with empty surfaces.
void RenderLabelLines(const std::vector<std::string>& lines, const TLabelStyle& style, int32_t bits,
                      TLabel& out);
// The width RenderLabelLines gives one line.
int32_t LabelLineWidth(const std::string& line, const TLabelStyle& style);

// A list of labels sharing one style: list box rows, a button's caption. Labels are rendered
// when first asked for and kept until the items, the style or the depth change.
class TLabelList {
 public:
  TLabelStyle style;
  int32_t blend = 255;

  void SetItems(std::vector<std::string> items);
  const std::vector<std::string>& Items() const { return items_; }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Item i (line breaks inside it give several lines); null outside the list.
  TLabel* Label(int32_t i, int32_t bits);
  // The widest label (0 for none).
  int32_t Widest(int32_t bits);
  // Draws item i with its top-left at (x, y), cut to clip, with the list's blend value.
  void Draw(int32_t i, TCustomDIBX& target, int32_t x, int32_t y, const TRect& clip);
  // Forgets rendered labels (after a change of style).
  void Invalidate() { rendered_.clear(); }

  // Stream: face (string), height (Int32), style (byte), colour, border, border colour,
  // shadow, shadow colour (Int32 each), level (byte), line space (Int32), alignment (byte),
  // blend (Int32), item count (Int32) and the items (strings).
  void SaveToStream(TStream& s) const;
  // Damage raises the stream read error and leaves the list as it was.
  void LoadFromStream(TStream& s);

 private:
  std::vector<std::string> items_;
  std::vector<std::unique_ptr<TLabel>> rendered_;
  TLabelStyle rendered_style_;
  int32_t rendered_bits_ = 0;
};

}  // namespace quen
