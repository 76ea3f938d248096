#include "platform/outline_font.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/font_store.h"
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

namespace quen::platform {

struct OutlineFont::Impl {
  FT_Face face = nullptr;
  FT_Size size = nullptr;
  int32_t bold_px = 0;  // extra ink and advance of a synthesised bold
  bool italic = false;

  ~Impl() {
    if (size) {
      auto lock = detail::Store().Lock();
      FT_Done_Size(size);
    }
  }

  // Loads the outline of code at this size with the synthesised style; false when FreeType
  // refuses. The caller holds the store's lock.
  bool Load(uint16_t code) {
    if (FT_Activate_Size(size) != 0) return false;
    const FT_UInt index = FT_Get_Char_Index(face, detail::Store().Unicode(code));
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return false;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    FT_Outline* outline = &slot->outline;
    if (italic) {
      const FT_Matrix shear{0x10000, 0x3333, 0, 0x10000};  // x += y / 5
      FT_Outline_Transform(outline, &shear);
    }
    if (bold_px > 0 && outline->n_points > 0) {
      FT_BBox before, after;
      FT_Outline_Get_CBox(outline, &before);
      FT_Outline_EmboldenXY(outline, bold_px * 64, 0);
      FT_Outline_Get_CBox(outline, &after);
      // Windows smears a simulated bold to the right; the left edge stays.
      FT_Outline_Translate(outline, before.xMin - after.xMin, 0);
    }
    return true;
  }

  int32_t Advance() const {
    return static_cast<int32_t>((face->glyph->advance.x + 32) >> 6) + bold_px;
  }
};

namespace {

int32_t Round(double v) {
  return static_cast<int32_t>(std::lround(v));
}

// Repacks FreeType's rows into the Windows layout: rows padded to 4 bytes, top-down; grey
// values quantised to n steps, mono bits kept as they are.
void CopyBitmap(const FT_Bitmap& bm, GlyphFormat format, GlyphBitmap& out) {
  const int32_t w = static_cast<int32_t>(bm.width), h = static_cast<int32_t>(bm.rows);
  const bool mono = format == GlyphFormat::kMono;
  out.pitch = mono ? (w + 31) / 32 * 4 : (w + 3) / 4 * 4;
  out.bits.assign(static_cast<size_t>(out.pitch) * static_cast<size_t>(h), 0);
  const int n = format == GlyphFormat::kGray4 ? 4 : format == GlyphFormat::kGray16 ? 16 : 64;
  uint8_t quant[256];
  for (int v = 0; v < 256; ++v) quant[v] = static_cast<uint8_t>((v * n + 127) / 255);
  const long pitch = bm.pitch;
  const unsigned char* top = pitch < 0 ? bm.buffer - (h - 1) * pitch : bm.buffer;
  for (int32_t y = 0; y < h; ++y) {
    const unsigned char* src = top + y * pitch;
    uint8_t* dst = &out.bits[static_cast<size_t>(y) * static_cast<size_t>(out.pitch)];
    if (mono) {
      std::memcpy(dst, src, static_cast<size_t>((w + 7) / 8));
    } else {
      for (int32_t x = 0; x < w; ++x) dst[x] = quant[src[x]];
    }
  }
}

}  // namespace

OutlineFont::OutlineFont(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
OutlineFont::~OutlineFont() = default;

std::unique_ptr<OutlineFont> OutlineFont::Open(std::string_view face_name, int32_t height,
                                               uint8_t style) {
  auto& store = detail::Store();
  auto lock = store.Lock();
  detail::ResolvedFace r = store.Resolve(std::string(face_name));
  FT_Face face = store.Face(r.file, r.index);
  if (!face) {
    // A family whose file FreeType refuses: the gothic alias, then anything Japanese.
    r = store.DefaultFace();
    face = store.Face(r.file, r.index);
  }
  if (!face) {
    r = store.BestMatch("sans-serif:lang=ja");
    r.alias = true;
    face = store.Face(r.file, r.index);
  }
  if (!face) return nullptr;

  const TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const TT_Postscript* post = static_cast<TT_Postscript*>(FT_Get_Sfnt_Table(face, FT_SFNT_POST));
  const double upem = face->units_per_EM > 0 ? face->units_per_EM : 2048;
  double win_ascent = face->ascender, win_descent = -face->descender;
  double typo_ascent = face->ascender;
  if (os2 && os2->version != 0xFFFF) {
    win_ascent = os2->usWinAscent;
    win_descent = os2->usWinDescent;
    typo_ascent = os2->sTypoAscender;
  }
  if (win_ascent + win_descent <= 0) win_ascent = upem, win_descent = 0;

  const int32_t h = std::clamp(height, -kMaxFontHeight, kMaxFontHeight);
  // Height 0 asks Windows for its default size; 12 pixels is the engine's default everywhere.
  const int32_t magnitude = h == 0 ? 12 : std::abs(h);
  double em = magnitude;
  if (h > 0 && !r.alias) em = magnitude * upem / (win_ascent + win_descent);
  em = std::max(em, 1.0);

  auto impl = std::make_unique<Impl>();
  impl->face = face;
  if (FT_New_Size(face, &impl->size) != 0) {
    impl->size = nullptr;
    return nullptr;
  }
  if (FT_Activate_Size(impl->size) != 0 ||
      FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72) != 0) {
    FT_Done_Size(impl->size);  // here, under the lock the destructor would take again
    impl->size = nullptr;
    return nullptr;
  }
  impl->italic = (style & kFontItalic) != 0;
  if (style & kFontBold) impl->bold_px = std::max(1, Round(em / 24));

  const double scale = em / upem;
  OutlineTextMetrics m;
  m.em = Round(em);
  if (r.alias) {
    m.ascent = std::clamp(Round(typo_ascent * scale), 0, m.em);
    m.descent = m.em - m.ascent;
  } else {
    m.ascent = Round(win_ascent * scale);
    m.descent = h > 0 ? std::max(0, magnitude - m.ascent) : Round(win_descent * scale);
  }
  const double ul_size = post ? post->underlineThickness : upem / 20;
  const double ul_pos = post ? post->underlinePosition : -upem / 10;
  const double so_size = os2 && os2->version != 0xFFFF ? os2->yStrikeoutSize : upem / 20;
  const double so_pos = os2 && os2->version != 0xFFFF ? os2->yStrikeoutPosition : upem / 4;
  m.underline_size = std::max(1, Round(ul_size * scale));
  m.underline_position = Round(ul_pos * scale);
  m.strikeout_size = std::max(1, Round(so_size * scale));
  m.strikeout_position = Round(so_pos * scale);
  m.file = r.file;

  auto font = std::unique_ptr<OutlineFont>(new OutlineFont(std::move(impl)));
  font->metrics_ = std::move(m);
  return font;
}

bool OutlineFont::Render(uint16_t code, GlyphFormat format, GlyphBitmap& out) {
  out = GlyphBitmap{};
  auto lock = detail::Store().Lock();
  if (!impl_->Load(code)) return false;
  FT_GlyphSlot slot = impl_->face->glyph;
  out.advance = impl_->Advance();
  if (slot->outline.n_points == 0) return true;  // nothing to draw
  const FT_Render_Mode mode =
      format == GlyphFormat::kMono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL;
  if (FT_Render_Glyph(slot, mode) != 0) return false;
  const FT_Bitmap& bm = slot->bitmap;
  if (bm.width == 0 || bm.rows == 0 || !bm.buffer) return true;
  const bool mono = bm.pixel_mode == FT_PIXEL_MODE_MONO;
  if (mono != (format == GlyphFormat::kMono) || (!mono && bm.pixel_mode != FT_PIXEL_MODE_GRAY))
    return false;
  out.width = static_cast<int32_t>(bm.width);
  out.height = static_cast<int32_t>(bm.rows);
  out.origin_x = slot->bitmap_left;
  out.origin_y = slot->bitmap_top;
  CopyBitmap(bm, format, out);
  return true;
}

CharWidths OutlineFont::Widths(uint16_t code) {
  CharWidths w;
  auto lock = detail::Store().Lock();
  if (!impl_->Load(code)) return w;
  const int32_t advance = impl_->Advance();
  const FT_Outline& outline = impl_->face->glyph->outline;
  if (outline.n_points > 0) {
    FT_BBox box;
    FT_Outline_Get_CBox(&outline, &box);
    // The black box as the renderer rounds it: outwards to whole pixels.
    const int32_t left = static_cast<int32_t>(box.xMin >> 6);
    const int32_t right = static_cast<int32_t>((box.xMax + 63) >> 6);
    w.a = left;
    w.b = std::max(0, right - left);
  }
  w.c = advance - w.a - w.b;
  return w;
}

int32_t OutlineFont::TextWidth(uint16_t code) {
  auto lock = detail::Store().Lock();
  return impl_->Load(code) ? impl_->Advance() : 0;
}

}  // namespace quen::platform
