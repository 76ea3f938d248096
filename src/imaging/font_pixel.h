// The glyph rasteriser: one 8-bit coverage bitmap per character, face, height, style and
// antialias level, kept in a cache of the 256 most recently used glyphs, and the drawing of a
// glyph into a colour surface and an 8-bit alpha surface with edge, shadow, underline and
// strikeout.
//
// A glyph returned by GetGlyph lives until 256 other glyphs have been made after its last
// use: callers draw it right away and keep codes and metrics, never glyph pointers.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "base/types.h"
#include "imaging/dibx.h"

namespace quen {

namespace platform {
class OutlineFont;
}

class TFontPixelManager;

// Style flags of a glyph and of a text decoration (the bits of the components' FS_ values).
enum : uint8_t { kGlyphBold = 1, kGlyphItalic = 2, kGlyphUnderline = 4, kGlyphStrikeOut = 8 };

// Documented ranges: heights beyond ±kMaxGlyphHeight draw at that height, edges wider than
// kMaxEdgeWidth and shadows further than kMaxShadowOffset at those values, negative ones as 0.
constexpr int32_t kMaxGlyphHeight = 512;
constexpr int32_t kMaxEdgeWidth = 16;
constexpr int32_t kMaxShadowOffset = 64;

class TFontPixel {
 public:
  int32_t Width() const { return coverage_.Width(); }
  int32_t Height() const { return coverage_.Height(); }
  // Width of the character for layout: black box + left + right pad.
  int32_t Advance() const { return Width() + left + right_pad; }
  TDIBX& Coverage() { return coverage_; }
  const uint8_t* CoverageRow(int32_t y);

  // Draws the glyph into its cell (x0, y0, w, h) = (cell.Left, cell.Top, cell.Width(),
  // cell.Height()). Colours are native pixels of the colour surface (15, 16, 24 or 32 bits);
  // the alpha surface is 8 bits. Everything drawn is cut to both surfaces' clip rectangles;
  // changed receives the rectangle touched, cut to the colour surface (empty when nothing was
  // drawn). The plain rules define the bytes; a packed version that gives the same bytes runs
  // unless SetForceScalar(true).
  void DrawChar(TCustomDIBX& color, TCustomDIBX& alpha, bool clear, TRect& changed,
                uint32_t shadow_pixel, uint32_t edge_pixel, uint32_t text_pixel, bool last,
                bool first, int32_t shadow_offset, int32_t edge_width, const TRect& cell);

  uint16_t code = 0;  // single-byte code, or lead byte × 256 + trail byte
  std::string face;   // as asked for
  int32_t height = 0;
  uint8_t flags = 0;
  int32_t level = 0;
  int32_t left = 0;
  int32_t top = 0;
  int32_t underline_size = 0;
  int32_t strikeout_top = 0;
  int32_t strikeout_size = 0;
  int32_t right_pad = 0;

 private:
  friend class TFontPixelManager;
  TFontPixelManager* manager_ = nullptr;
  TDIBX coverage_;
  std::list<std::unique_ptr<TFontPixel>>::iterator recency_;
};

// A-B-C widths of a character: left bearing, black box, advance - A - B.
struct TCharABC {
  int32_t A = 0;
  int32_t B = 0;
  int32_t C = 0;
};

class TFontPixelManager {
 public:
  static constexpr size_t kCacheSize = 256;

  // Makes the glyph cache; the first one made becomes the program-wide manager
  // (FontPixelManager()) until it is destroyed. The composition root makes it at start-up.
  TFontPixelManager();
  ~TFontPixelManager();
  TFontPixelManager(const TFontPixelManager&) = delete;
  TFontPixelManager& operator=(const TFontPixelManager&) = delete;

  // The cached glyph or a new one; never null. Raises "Error:GetOutlineTextMetrics" when no
  // font at all can be opened.
  TFontPixel* GetGlyph(uint16_t code, const std::string& face, uint8_t flags, int32_t height);
  // Ascent of the current font (the one the last new glyph was made with), 0 before any.
  int32_t Ascent() const;
  // The font file of the current font (for tools).
  std::string FontFile() const;
  // A-B-C widths measured with the given face, style (bold, italic) and height.
  TCharABC CharABC(uint16_t code, const std::string& face, uint8_t flags, int32_t height);

  // Antialias level 0-3 that new glyphs are made at; callers set it before asking.
  int32_t Level = 3;

  // Coverage values of a level's gray steps (level 0: 0 and 255).
  static const std::vector<uint8_t>& LevelTable(int32_t level);

  size_t CachedCount() const { return recency_.size(); }
  // Fonts made so far (the font is re-made only when face, height or flags change).
  int64_t FontsMade() const { return fonts_made_; }

 private:
  void SelectFont(const std::string& face, int32_t height, uint8_t flags);
  void Rasterise(TFontPixel& glyph);

  std::array<std::vector<TFontPixel*>, 256> buckets_;
  std::list<std::unique_ptr<TFontPixel>> recency_;  // most recent first; owns the glyphs
  std::unique_ptr<platform::OutlineFont> font_;
  std::string font_face_;
  int32_t font_height_ = 0;
  uint8_t font_flags_ = 0;
  bool have_font_ = false;
  int64_t fonts_made_ = 0;
  // The font of A-B-C queries, kept apart so that they never re-make the glyph font.
  std::unique_ptr<platform::OutlineFont> abc_font_;
  std::string abc_face_;
  int32_t abc_height_ = 0;
  uint8_t abc_flags_ = 0;
};

// The manager the program made, or null before.
TFontPixelManager* FontPixelManager();
// The program's manager, or one kept for the process when none was made (tools, tests).
TFontPixelManager& FontPixels();

}  // namespace quen
