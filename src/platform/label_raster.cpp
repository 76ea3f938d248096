#include "platform/label_raster.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/font_store.h"
#include FT_SIZES_H

namespace quen::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr int kMaxWidth = 8192;
constexpr int kMaxGlyphs = 8192;  // also bounds the work for text that never advances the pen

// The proportional gothic the glyph service serves for "ＭＳ Ｐゴシック" (IPA P Gothic, or
// fontconfig's best Japanese sans-serif), from the shared face cache.
FT_Face LabelFace(detail::FontStore& store) {
  detail::ResolvedFace r = store.ProportionalGothic();
  return store.Face(r.file, r.index);
}

// Decodes the character at s[i] and moves i past it. A malformed or truncated sequence
// (overlong forms and surrogates included) gives U+FFFD; the scan never passes the end.
char32_t NextChar(const std::string& s, size_t& i) {
  const auto byte = [&s](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned lead = byte(i++);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t cp = 0;
  char32_t least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, cp = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, cp = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, cp = lead & 0x07, least = 0x10000;
  } else {
    return kReplacement;  // a continuation byte or a lead that no valid sequence uses
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (byte(i) & 0xC0) != 0x80) return kReplacement;
    cp = (cp << 6) | (byte(i++) & 0x3F);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
  return cp;
}

struct PlacedGlyph {
  FT_UInt index;
  long x;  // whole pixels from the left edge
};

// Draws one rendered glyph with its origin at (x, baseline), cut to the bitmap.
void Composite(const FT_GlyphSlot slot, long x, int baseline, LabelBitmap& out) {
  const FT_Bitmap& bm = slot->bitmap;
  const bool mono = bm.pixel_mode == FT_PIXEL_MODE_MONO;  // embedded bitmap strikes
  if ((bm.pixel_mode != FT_PIXEL_MODE_GRAY && !mono) || !bm.buffer) return;
  if (bm.rows == 0 || bm.width == 0) return;
  const long rows = bm.rows, cols = bm.width, pitch = bm.pitch;
  // With a negative pitch the rows are stored bottom-up from the start of the buffer.
  const unsigned char* top = pitch < 0 ? bm.buffer - (rows - 1) * pitch : bm.buffer;
  const long x0 = x + slot->bitmap_left;
  const long y0 = static_cast<long>(baseline) - slot->bitmap_top;
  const long c_begin = std::max(0L, -x0), c_end = std::min(cols, out.width - x0);
  const long r_begin = std::max(0L, -y0), r_end = std::min(rows, out.height - y0);
  const long grays = bm.num_grays > 1 ? bm.num_grays : 256;
  for (long r = r_begin; r < r_end; ++r) {
    const unsigned char* src = top + r * pitch;
    uint8_t* dst = &out.coverage[static_cast<size_t>((y0 + r) * out.width + x0)];
    for (long c = c_begin; c < c_end; ++c) {
      const long v = mono ? ((src[c >> 3] >> (7 - (c & 7))) & 1) * 255
                          : std::min(255L, src[c] * 255 / (grays - 1));
      dst[c] = std::max(dst[c], static_cast<uint8_t>(v));
    }
  }
}

}  // namespace

bool RenderLabel(const std::string& utf8, int pixel_height, LabelBitmap& out) {
  out = LabelBitmap{};
  if (utf8.empty()) return false;
  detail::FontStore& store = detail::Store();
  auto lock = store.Lock();
  FT_Face face = LabelFace(store);
  if (!face) return false;
  // A size of our own on the shared face, so the glyph service's sizes stay as they are.
  FT_Size size = nullptr;
  if (FT_New_Size(face, &size) != 0) return false;
  struct SizeGuard {
    FT_Size s;
    ~SizeGuard() { FT_Done_Size(s); }
  } guard{size};
  const int em = std::clamp(pixel_height, 4, 256);
  if (FT_Activate_Size(size) != 0 || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(em)) != 0)
    return false;

  // Line box from the face's metrics, rounded outwards to whole pixels. A damaged font could
  // claim an absurd height, so it is held to a few ems.
  const FT_Size_Metrics& metrics = face->size->metrics;
  const int ascender =
      static_cast<int>(std::clamp<FT_Pos>((metrics.ascender + 63) >> 6, 0, em * 2));
  const int descender =
      static_cast<int>(std::clamp<FT_Pos>((-metrics.descender + 63) >> 6, 0, em * 2));
  const int height = ascender + descender;
  if (height <= 0) return false;

  // First the pen positions, so that the bitmap can be sized before anything is drawn.
  std::vector<PlacedGlyph> glyphs;
  const bool kerning = FT_HAS_KERNING(face);
  FT_Pos pen = 0;  // 26.6
  FT_UInt previous = 0;
  for (size_t i = 0; i < utf8.size() && glyphs.size() < kMaxGlyphs;) {
    const FT_UInt index = FT_Get_Char_Index(face, NextChar(utf8, i));
    if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_NORMAL) != 0) continue;
    FT_Pos x = pen;
    if (kerning && previous != 0 && index != 0) {
      FT_Vector delta{};
      if (FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &delta) == 0) x += delta.x;
    }
    const FT_Pos next = x + face->glyph->advance.x;
    if (next > FT_Pos{kMaxWidth} * 64) break;
    glyphs.push_back({index, (x + 32) >> 6});
    pen = next;
    previous = index;
  }
  const long width = (pen + 63) >> 6;
  if (width <= 0) return false;

  out.width = static_cast<int>(width);
  out.height = height;
  out.coverage.assign(static_cast<size_t>(out.width) * static_cast<size_t>(height), 0);
  for (const PlacedGlyph& glyph : glyphs) {
    if (FT_Load_Glyph(face, glyph.index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) continue;
    Composite(face->glyph, glyph.x, ascender, out);
  }
  return true;
}

}  // namespace quen::platform
