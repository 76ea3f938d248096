// A marked-up text: builds glyphs from the markup, expands variables, lays the glyphs out into
// rows and pages with the Japanese line-breaking rules, draws pages, and keeps the glyphs in
// the content stream and the layout settings in the settings record.
//
// Entry points for the components that show text:
//   SetText(lines)                  build from markup (message boxes, captions)
//   LoadContent / AppendContent     build from a content stream (a text insertion's body)
//   ExpandVariables(first, last)    let VAR glyphs insert their characters
//   LayOut(pages, first, last)      rows and pages; rows keep each glyph's place and alpha
//   DrawPage(page, target, ...)     onto a target, clipped, with a blend and per-glyph alpha
//   DrawPageToPair(page, ...)       into a colour surface and an 8-bit alpha surface
//   PlacedRect(row, placed)         what a glyph covers, for changed rectangles and hit tests
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "base/types.h"
#include "text/decorate.h"
#include "text/wd_glyph.h"

namespace quen {

class TCustomDIBX;
class TDIBX;
class TParamCollection;
class TSysFuncMan;
struct TContentImage;

// The settings record, in its stored order. The fields the layout does not use belong to the
// message box, which maps its properties on them.
struct TKvWordSettings {
  TColor font_color = 0;    // PR_FONTCOLOR
  TColor border_color = 0;  // PR_FONTBORDERCOLOR
  int32_t font_height = 12;
  std::string font_name;  // "ＭＳ ゴシック" at creation
  int32_t antialias = 0;  // glyph level 0-3 (PR_ANTIALIAS sets 3 or 0)
  int32_t page_height = 0;
  int32_t line_width = 0;  // 0: no wrapping; after layout the widest row
  int32_t fade_time = 0;   // PR_DELAY: fade-in time of each glyph, ms
  int32_t line_spacing = 0;
  bool paging = true;
  TColor link_color = 0xFF0000;    // PR_FONTLINKCOLOR
  TColor hover_color = 0x008000;   // PR_FONTHOVERCOLOR
  int32_t hover_links = 1;         // 1: a hovered link shows in the hover colour
  TColor shadow_color = 0x808080;  // PR_FONTSHADOWCOLOR
  int32_t alpha = 255;             // PR_ALPHA: blend value of the text
  bool history_mode = false;       // the box shows history (CallHist)
  // Where appended text continues: the insertion point, its row's height, alignment and
  // indentation (the message data stores the point of each part it inserted).
  int32_t insert_x = 0;
  int32_t insert_y = 0;
  int32_t insert_height = 0;
  uint8_t insert_align = WA_NONE;  // WA_NONE: left
  int32_t insert_indent = 0;       // stored from version 110
  int32_t default_border = 0;      // PR_FONTBORDER; stored after version 110
  int32_t default_shadow = 0;      // PR_FONTSHADOW; stored after version 110
};

// The cell a character takes in layout (before drawing centres its glyph in it).
struct TCharCell {
  int32_t width = 0;
  int32_t height = 0;
  int32_t size = 0;       // font height the glyph is drawn at
  int32_t ruby_band = 0;  // rows above the character for its ruby
  int32_t border = 0;
  int32_t shadow = 0;
};

struct TPageDrawState {
  int32_t blend = 255;       // 0 nothing, 1-254 alpha, 255 opaque, 256-511 additive
  int32_t hover_first = -1;  // glyph indices of the hovered link
  int32_t hover_last = -1;
  int32_t scroll_y = 0;  // rows move up by this much
};

class TKvWord {
 public:
  TKvWord();
  ~TKvWord();
  TKvWord(const TKvWord&) = delete;
  TKvWord& operator=(const TKvWord&) = delete;

  TKvWordSettings settings;

  // VAR expressions run against these; without them a VAR that names no listed value shows
  // nothing. The default delay of WAIT is @TextDelay of the table, else text_delay.
  void SetExpressionContext(TParamCollection* vars, const TSysFuncMan* funcs);
  int32_t text_delay = 50;
  // name=value lines the VAR tag consults first (names compare ignoring ASCII case).
  std::vector<std::string>& Values() { return values_; }

  // Clears glyphs, decorations and values, then builds the glyphs of the lines (Shift-JIS
  // markup). An A tag without HREF raises "<A>タグにHREF値がありません" and ends building; the
  // glyphs before it stay.
  void SetText(const std::vector<std::string>& lines);
  void Clear();

  int32_t GlyphCount() const { return static_cast<int32_t>(glyphs_.size()); }
  // Null outside the list.
  TWdGlyph* GlyphAt(int32_t index) const;
  int32_t IndexOf(const TWdGlyph* g) const;
  // Takes the glyph over; a character or variable must hold a decoration of this text's list
  // (AcquireDecoration).
  void InsertGlyph(int32_t index, std::unique_ptr<TWdGlyph> g);
  void DeleteGlyph(int32_t index);
  TDecorate* AcquireDecoration(const TDecorate& looks) { return decorations_.Acquire(looks); }
  void AddDecorationRef(TDecorate* d) { decorations_.AddRef(d); }
  const TDecorateList& Decorations() const { return decorations_; }

  // Lets every variable in [first, last] (last < 0: to the end) insert its characters, history
  // characters too when history is set; returns the range's new last index. An expansion that
  // tries to change this text is refused, or for SetText carried out once expansion ends.
  int32_t ExpandVariables(int32_t first, int32_t last, bool history = false);
  // Removes what expansions in the range inserted; returns the new last index.
  int32_t CollapseVariables(int32_t first, int32_t last);

  // Rows and pages of glyphs [first, last] (last < 0: to the end) into pages, which are
  // cleared first.
  void LayOut(TWdPageList& pages, int32_t first = 0, int32_t last = -1);
  // Where text appended after these pages would continue (for the insertion fields).
  void EndPosition(const TWdPageList& pages, int32_t& x, int32_t& y, int32_t& height) const;

  // Content stream: LoadContent replaces the glyphs, AppendContent adds to them (sharing the
  // decoration list). Damage raises the stream read error and leaves the text as it was.
  void LoadContent(TStream& s);
  void AppendContent(TStream& s);
  void SaveContent(TStream& s) const;
  // Settings record, read and written with the version of the enclosing record.
  void LoadSettings(TStream& s, int32_t version);
  void SaveSettings(TStream& s, int32_t version) const;

  TCharCell CharCell(const TDecorate* d) const;
  // Sets the layout size of one glyph (characters by their cell, images by their picture).
  void Measure(TWdGlyph& g) const;

  // Draws a page with its top-left at (x, y) of target, cut to clip; each glyph at its
  // placement's alpha times the blend. Rectangles drawn are appended to changed (target
  // coordinates) when given.
  void DrawPage(const TWdPage& page, TCustomDIBX& target, int32_t x, int32_t y, const TRect& clip,
                const TPageDrawState& state, std::vector<TRect>* changed = nullptr);
  // Draws a page over a colour surface and its 8-bit alpha surface (straight alpha; glyphs
  // fully shown): pictures of pages, tools.
  void DrawPageToPair(const TWdPage& page, TCustomDIBX& color, TCustomDIBX& alpha, int32_t x,
                      int32_t y, const TPageDrawState& state,
                      std::vector<TRect>* changed = nullptr);
  // The page area a placed glyph covers (its cell with edge, shadow and ruby).
  TRect PlacedRect(const TWdPlaced& p) const;

 private:
  struct TDrawTarget;
  void Build(const std::vector<std::string>& lines);
  void ReleaseGlyph(TWdGlyph* g);
  void Materialise(const TContentImage& image, std::vector<std::unique_ptr<TWdGlyph>>& out);
  std::string EvaluateVar(const TWdOpeVar& v);
  void CheckNotExpanding() const;
  void DrawGlyphs(const TWdPage& page, TDrawTarget& t, const TPageDrawState& state,
                  std::vector<TRect>* changed);

  std::vector<std::unique_ptr<TWdGlyph>> glyphs_;
  TDecorateList decorations_;
  std::vector<std::string> values_;
  TParamCollection* vars_ = nullptr;
  const TSysFuncMan* funcs_ = nullptr;
  int expanding_ = 0;
  uint32_t next_var_id_ = 1;
  bool pending_text_ = false;
  std::vector<std::string> pending_lines_;
  // Working surfaces of drawing: one glyph's colour (at the target's depth) and alpha.
  std::unique_ptr<TDIBX> work_color_;
  std::unique_ptr<TDIBX> work_alpha_;
};

}  // namespace quen
