// Grey-scale rendering of short UTF-8 labels (the main window's tool bar) with the system's
// Japanese gothic font, for code that draws its own widgets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quen::platform {

// An 8-bit coverage picture of a line of text (0 = background, 255 = ink), rows top-down.
struct LabelBitmap {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> coverage;
};

// Renders a single line of UTF-8 text with the face the glyph service serves for
// "ＭＳ Ｐゴシック" (IPA P Gothic, else fontconfig's first Japanese sans-serif), at pixel_height
// pixels per em (clamped to 4..256). The bitmap is as wide as the pen advance (with kerning if
// the face has it, at most 8192 pixels: glyphs past that are left out) and as high as the
// face's ascender - descender at that size, baseline at the ascender. Malformed UTF-8 draws as
// U+FFFD. False (bitmap empty) when no font can be found or loaded, or nothing advances the pen
// (empty text). Safe to call from any thread; faces come from the one shared face cache.
bool RenderLabel(const std::string& utf8, int pixel_height, LabelBitmap& out);

}  // namespace quen::platform
