// The outline-font service behind the glyph rasteriser: faces by the names games use, Windows
// logical heights, outline text metrics, glyph bitmaps in the Windows glyph formats, A-B-C
// widths and advances, on FreeType and fontconfig.
//
// Faces. The four Windows families games name ("ＭＳ ゴシック", "ＭＳ Ｐゴシック", "ＭＳ 明朝",
// "ＭＳ Ｐ明朝") are aliases of IPAGothic, IPAPGothic, IPAMincho and IPAPMincho. Any other
// name must be a family of an outline font, named exactly so in any of its languages;
// otherwise the "ＭＳ ゴシック" alias serves. When an alias's family is missing (a system
// without the IPA fonts) fontconfig's best Japanese gothic or mincho takes its place.
//
// Fonts seen. By default only the pinned IPA files of Debian 12 (fonts-ipafont-gothic and
// fonts-ipafont-mincho) are known, so that headless runs, tests and quentool draw the same
// bytes on every machine; the desktop player calls UseSystemFonts() to see the system's.
//
// Heights. A positive height is the cell (em = h × unitsPerEm / (winAscent + winDescent)), a
// negative one the em, as for a Windows logical font. The aliased Windows faces had no
// internal leading; the IPA faces' Windows metrics add 8 %, so for an alias a positive height
// is the em and the ascent the typographic ascender. Heights are held to ±kMaxFontHeight.
//
// Glyphs. Outlines are rendered without hinting (the same shapes at every level, whatever
// FreeType's hinting properties) with whole-pixel advances. Bold widens the outline to the
// right by max(1, em / 24) pixels and the advance by as much; italic shears it by 1/5 around
// the baseline and keeps the advance. The mono format holds 0 or 1 per pixel; the grey formats
// hold FreeType's 256-level coverage v quantised to n steps, (v × n + 127) / 255, n = 4, 16, 64.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quen::platform {

// Sees the system's fonts from now on (the desktop player; call before the first glyph).
void UseSystemFonts();
// Back to the pinned files (tests).
void UsePinnedFonts();
bool UsingSystemFonts();
// The pinned files, in alias order (IPAGothic, IPAPGothic, IPAMincho, IPAPMincho).
const std::vector<std::string>& PinnedFontFiles();

constexpr int32_t kMaxFontHeight = 512;

enum : uint8_t { kFontBold = 1, kFontItalic = 2, kFontUnderline = 4, kFontStrikeOut = 8 };

// Whole pixels. Positions count up from the baseline (underline negative: below it).
struct OutlineTextMetrics {
  int32_t ascent = 0;
  int32_t descent = 0;
  int32_t em = 0;
  int32_t underline_size = 0;
  int32_t underline_position = 0;
  int32_t strikeout_size = 0;
  int32_t strikeout_position = 0;
  std::string file;  // host path of the font file
};

// The Windows glyph formats: 1 bit per pixel, or one byte per pixel holding 0..4, 0..16, 0..64.
enum class GlyphFormat : uint8_t { kMono, kGray4, kGray16, kGray64 };

struct GlyphBitmap {
  int32_t width = 0;  // black box; 0 × 0 when there is nothing to draw (a space)
  int32_t height = 0;
  int32_t origin_x = 0;       // black box's left from the pen
  int32_t origin_y = 0;       // black box's top above the baseline
  int32_t advance = 0;        // cell advance
  int32_t pitch = 0;          // bytes per row, a multiple of 4 as in the Windows formats
  std::vector<uint8_t> bits;  // pitch × height; mono rows most significant bit first
};

struct CharWidths {
  int32_t a = 0;  // left bearing
  int32_t b = 0;  // black box width
  int32_t c = 0;  // advance - a - b
};

// One logical font: face, height and style. Safe to use from any thread.
class OutlineFont {
 public:
  // face is Shift-JIS. Null only when no font file at all can be opened.
  static std::unique_ptr<OutlineFont> Open(std::string_view face, int32_t height, uint8_t style);
  ~OutlineFont();
  OutlineFont(const OutlineFont&) = delete;
  OutlineFont& operator=(const OutlineFont&) = delete;

  const OutlineTextMetrics& Metrics() const { return metrics_; }
  // code: a single-byte character, or a double-byte Shift-JIS character with the lead byte in
  // the high byte; characters the code page lacks draw the face's missing-glyph shape. False
  // when FreeType refuses the glyph.
  bool Render(uint16_t code, GlyphFormat format, GlyphBitmap& out);
  CharWidths Widths(uint16_t code);
  // The character's advance (its text width).
  int32_t TextWidth(uint16_t code);

 private:
  struct Impl;
  explicit OutlineFont(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
  OutlineTextMetrics metrics_;
};

// The font file a face name resolves to (empty when none can be found).
std::string FaceFile(std::string_view face_sjis);

}  // namespace quen::platform
