// Drawing pages: characters through the glyph rasteriser, ruby above its group at half size,
// link and hover colours, pictures, each glyph at its own alpha.
#include <algorithm>

#include "base/sjis.h"
#include "imaging/dibx.h"
#include "imaging/font_pixel.h"
#include "text/kv_word.h"
#include "text/text_pictures.h"

namespace quen {

struct TKvWord::TDrawTarget {
  // Composing onto a target, or drawing into a colour and alpha pair.
  TCustomDIBX* target = nullptr;
  TCustomDIBX* pair_color = nullptr;
  TCustomDIBX* pair_alpha = nullptr;
  TRect clip;      // target coordinates
  int32_t ox = 0;  // the page's origin on the target
  int32_t oy = 0;
};

namespace {

// Cuts a draw of src at (dx, dy) to clip, moving both.
bool ClipDraw(const TRect& clip, int32_t& dx, int32_t& dy, TRect& src) {
  const TRect r = TRect::FromSize(dx, dy, src.Width(), src.Height()).Intersect(clip);
  if (r.IsEmpty()) return false;
  src.Left += r.Left - dx;
  src.Top += r.Top - dy;
  src.Right = src.Left + r.Width();
  src.Bottom = src.Top + r.Height();
  dx = r.Left;
  dy = r.Top;
  return true;
}

// The blend of a glyph at alpha a: 0 nothing, 1-255 alpha, 256-511 additive level + 256.
int32_t GlyphBlend(int32_t blend, uint8_t a) {
  if (blend <= 0) return 0;
  if (blend <= 255) return blend * a / 255;
  return 256 + std::min(blend - 256, 255) * a / 255;
}

uint16_t CodeAt(std::string_view s, size_t i, size_t len) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  return len == 2 ? static_cast<uint16_t>(b(i) << 8 | b(i + 1)) : b(i);
}

// Puts a colour-and-alpha picture over another pair (straight alpha, "over").
void OverPair(TCustomDIBX& color, TCustomDIBX& alpha, const TRect& src, TCustomDIBX& out_color,
              TCustomDIBX& out_alpha, int32_t dx, int32_t dy) {
  for (int32_t y = 0; y < src.Height(); ++y) {
    for (int32_t x = 0; x < src.Width(); ++x) {
      const uint32_t a = alpha.GetPixel(src.Left + x, src.Top + y);
      if (a == 0) continue;
      const TColor c = color.PixelToColor(color.GetPixel(src.Left + x, src.Top + y));
      const uint32_t oa = out_alpha.GetPixel(dx + x, dy + y);
      if (a == 255 || oa == 0) {
        out_color.SetPixel(dx + x, dy + y, static_cast<uint32_t>(out_color.ColorToPixel(c)));
        out_alpha.SetPixel(dx + x, dy + y, a);
        continue;
      }
      const TColor o = out_color.PixelToColor(out_color.GetPixel(dx + x, dy + y));
      const uint32_t under = oa * (255 - a) / 255, total = a + under;
      const auto mix = [&](uint32_t cv, uint32_t ov) {
        return static_cast<uint8_t>((cv * a + ov * under + total / 2) / total);
      };
      const TColor m = RGBColor(mix(GetRValue(c), GetRValue(o)), mix(GetGValue(c), GetGValue(o)),
                                mix(GetBValue(c), GetBValue(o)));
      out_color.SetPixel(dx + x, dy + y, static_cast<uint32_t>(out_color.ColorToPixel(m)));
      out_alpha.SetPixel(dx + x, dy + y, total);
    }
  }
}

bool SameRun(const TWdGlyph* a, const TWdGlyph* b) {
  return a && b && a->Code() != 0 && b->Code() != 0 && a->Decoration() == b->Decoration() &&
         a->Link() == b->Link();
}

// One character (or ruby character) in its cell, in page coordinates.
struct TCharDraw {
  uint16_t code = 0;
  const TDecorate* deco = nullptr;
  uint8_t style = 0;
  TRect cell;
  int32_t size = 0;
  int32_t border = 0;
  int32_t shadow = 0;
  TColor text = 0, edge = 0, shade = 0;
  bool first = false, last = false;
  uint8_t alpha = 255;
};

void DrawOneChar(const TCharDraw& c, const std::string& face, int32_t level,
                 TCustomDIBX* pair_color, TCustomDIBX* pair_alpha, TCustomDIBX* target,
                 TDIBX& work_color, TDIBX& work_alpha, const TRect& clip, int32_t ox, int32_t oy,
                 int32_t blend, std::vector<TRect>* changed) {
  TFontPixelManager& fonts = FontPixels();
  fonts.Level = std::clamp(level, 0, 3);
  TFontPixel* g = fonts.GetGlyph(c.code, face, c.style, c.size);
  if (g->Width() == 0 || g->Height() == 0) return;
  TRect done;
  const int32_t b = pair_color ? 255 : GlyphBlend(blend, c.alpha);
  if (b == 0) return;
  // The cell and everything the glyph may reach around it, at the target's depth.
  const int32_t need_w = c.cell.Width() + g->left + g->Width() + 2 * c.border + c.shadow + 1;
  const int32_t need_h = c.cell.Height() + g->top + g->Height() + 2 * c.border + c.shadow + 1;
  int32_t bits = (pair_color ? pair_color : target)->BitCount();
  if (bits != 15 && bits != 16 && bits != 24 && bits != 32) bits = 32;
  if (work_color.Width() < need_w || work_color.Height() < need_h ||
      work_color.BitCount() != bits) {
    const int32_t w = std::max(need_w, work_color.Width()),
                  h = std::max(need_h, work_color.Height());
    work_color.SetSize(w, h, bits);
    work_alpha.SetSize(w, h, 8);
  }
  // The lines of a glyph without edge and shadow set only alpha: they show the colour the
  // surface holds, which is the text colour, as in a label.
  const uint32_t text = static_cast<uint32_t>(work_color.ColorToPixel(c.text));
  work_color.FillRect(TRect{0, 0, need_w, need_h}, text);
  work_alpha.FillRect(TRect{0, 0, need_w, need_h}, 0);
  g->DrawChar(work_color, work_alpha, true, done,
              static_cast<uint32_t>(work_color.ColorToPixel(c.shade)),
              static_cast<uint32_t>(work_color.ColorToPixel(c.edge)), text, c.last, c.first,
              c.shadow, c.border, TRect{0, 0, c.cell.Width(), c.cell.Height()});
  if (done.IsEmpty()) return;
  int32_t dx = ox + c.cell.Left + done.Left, dy = oy + c.cell.Top + done.Top;
  TRect src = done;
  if (!ClipDraw(clip, dx, dy, src)) return;
  if (pair_color) {
    OverPair(work_color, work_alpha, src, *pair_color, *pair_alpha, dx, dy);
  } else if (b == 255) {
    target->DrawMask(dx, dy, work_alpha, false, false, src, work_color);
  } else if (b < 255) {
    target->DrawAlphaMask(dx, dy, b, work_alpha, false, false, src, work_color);
  } else {
    target->DrawAddMask(dx, dy, b - 256, work_alpha, false, false, src, work_color);
  }
  if (changed) changed->push_back(TRect::FromSize(dx, dy, src.Width(), src.Height()));
}

}  // namespace

TRect TKvWord::PlacedRect(const TWdPlaced& p) const {
  const TWdGlyph& g = *p.glyph;
  if (g.Code() == 0) return TRect::FromSize(p.x, p.y, g.Width(), g.Height());
  const TCharCell c = CharCell(g.Decoration());
  // Italic slants and wide black boxes may leave the cell on the right.
  return TRect{p.x, p.y, p.x + c.width + c.size / 2, p.y + c.height};
}

void TKvWord::DrawGlyphs(const TWdPage& page, TDrawTarget& t, const TPageDrawState& state,
                         std::vector<TRect>* changed) {
  if (!work_color_) {
    work_color_ = std::make_unique<TDIBX>();
    work_alpha_ = std::make_unique<TDIBX>();
  }
  ITextPictureSource* pictures = TextPictureSource();
  const int32_t oy = t.oy - state.scroll_y;
  const auto colours = [this, &state](const TWdGlyph& g, const TDecorate* d, int32_t index,
                                      TCharDraw& c) {
    if (!g.Link().empty()) {
      const bool hovered = settings.hover_links != 0 && index >= state.hover_first &&
                           index <= state.hover_last && state.hover_first >= 0;
      c.text = hovered ? settings.hover_color : settings.link_color;
    } else {
      c.text = d && d->color >= 0 ? d->color : settings.font_color;
    }
    c.edge = d && d->border_color >= 0 ? d->border_color : settings.border_color;
    c.shade = d && d->shadow_color >= 0 ? d->shadow_color : settings.shadow_color;
  };
  const auto face_of = [this](const TDecorate* d) -> const std::string& {
    return d && !d->face.empty() ? d->face : settings.font_name;
  };
  const auto draw_char = [&](const TCharDraw& c) {
    DrawOneChar(c, face_of(c.deco), settings.antialias, t.pair_color, t.pair_alpha, t.target,
                *work_color_, *work_alpha_, t.clip, t.ox, oy, state.blend, changed);
  };

  for (const auto& row : page.rows) {
    const std::vector<TWdPlaced>& items = row->items;
    for (size_t k = 0; k < items.size(); ++k) {
      const TWdPlaced& p = items[k];
      const TWdGlyph& g = *p.glyph;
      if (g.Code() != 0) {
        const TDecorate* d = g.Decoration();
        const TCharCell cell = CharCell(d);
        TCharDraw c;
        c.code = g.Code();
        c.deco = d;
        c.style = d ? d->style : 0;
        c.cell =
            TRect::FromSize(p.x, p.y + cell.ruby_band, cell.width, cell.height - cell.ruby_band);
        c.size = cell.size;
        c.border = cell.border;
        c.shadow = cell.shadow;
        c.first = k == 0 || !SameRun(items[k - 1].glyph, &g);
        c.last = k + 1 == items.size() || !SameRun(&g, items[k + 1].glyph);
        c.alpha = p.alpha;
        colours(g, d, p.index, c);
        draw_char(c);
      } else if (g.TypeCode() == WD_IMG && pictures) {
        TTextPicture pic;
        if (!pictures->FindPicture(static_cast<const TWdImg&>(g).src_, pic) || !pic.surface)
          continue;
        TRect src{0, 0, pic.surface->Width(), pic.surface->Height()};
        int32_t dx = t.ox + p.x, dy = oy + p.y;
        if (t.pair_color) {
          for (int32_t yy = 0; yy < src.Height(); ++yy) {
            for (int32_t xx = 0; xx < src.Width(); ++xx) {
              const uint32_t px = pic.surface->GetPixel(xx, yy);
              const uint32_t m =
                  pic.mask ? pic.mask->GetPixel(xx, yy)
                           : (static_cast<int32_t>(px) == pic.surface->ColorKey() ? 0 : 255);
              if (m == 0 || !t.clip.Contains(dx + xx, dy + yy)) continue;
              t.pair_color->SetPixel(
                  dx + xx, dy + yy,
                  static_cast<uint32_t>(t.pair_color->ColorToPixel(pic.surface->PixelToColor(px))));
              t.pair_alpha->SetPixel(dx + xx, dy + yy,
                                     std::max(m, t.pair_alpha->GetPixel(dx + xx, dy + yy)));
            }
          }
        } else {
          const int32_t b = GlyphBlend(state.blend, p.alpha);
          if (b == 0 || !ClipDraw(t.clip, dx, dy, src)) continue;
          if (pic.mask && b == 255) {
            t.target->DrawMask(dx, dy, *pic.mask, false, false, src, *pic.surface);
          } else if (pic.mask && b < 255) {
            t.target->DrawAlphaMask(dx, dy, b, *pic.mask, false, false, src, *pic.surface);
          } else if (pic.mask) {
            t.target->DrawAddMask(dx, dy, b - 256, *pic.mask, false, false, src, *pic.surface);
          } else if (b == 255) {
            t.target->Draw(dx, dy, false, false, true, src, *pic.surface);
          } else if (b < 255) {
            t.target->DrawAlpha(dx, dy, b, false, false, true, src, *pic.surface);
          } else {
            t.target->DrawAdd(dx, dy, b - 256, false, false, true, src, *pic.surface);
          }
        }
        if (changed) changed->push_back(TRect::FromSize(dx, dy, src.Width(), src.Height()));
      }
    }
    // Ruby: centred above each run of glyphs that share it, at half their size.
    for (size_t k = 0; k < items.size();) {
      const std::string& ruby = items[k].glyph->Ruby();
      size_t e = k + 1;
      if (ruby.empty()) {
        k = e;
        continue;
      }
      while (e < items.size() && items[e].glyph->Ruby() == ruby) ++e;
      const TWdPlaced& head = items[k];
      const TDecorate* d = head.glyph->Decoration();
      const TCharCell base = CharCell(d);
      const int32_t size = std::max(1, base.size / 2);
      const int32_t cw =
          size + ((d && (d->style & kGlyphItalic)) ? size / 5 : 0) + 2 * base.border + base.shadow;
      const int32_t left = head.x;
      const int32_t right = items[e - 1].x + items[e - 1].glyph->Width();
      const int32_t n = static_cast<int32_t>(sjis::CharCount(ruby));
      int32_t x = left + (right - left - n * cw) / 2;
      const int32_t top = head.glyph->Code() != 0 ? head.y : head.y - size;
      int32_t i = 0;
      for (size_t at = 0; at < ruby.size(); ++i) {
        const size_t len = sjis::CharLen(ruby, at);
        TCharDraw c;
        c.code = CodeAt(ruby, at, len);
        c.deco = d;
        // Ruby takes the group's weight and slant, not its lines.
        c.style = d ? d->style & (kGlyphBold | kGlyphItalic) : 0;
        c.cell = TRect::FromSize(x, top, cw, size + 2 * base.border + base.shadow);
        c.size = size;
        c.border = base.border;
        c.shadow = base.shadow;
        c.first = i == 0;
        c.last = at + len == ruby.size();
        c.alpha = head.alpha;
        colours(*head.glyph, d, head.index, c);
        if (c.code > ' ') draw_char(c);
        x += cw;
        at += len;
      }
      k = e;
    }
  }
}

void TKvWord::DrawPage(const TWdPage& page, TCustomDIBX& target, int32_t x, int32_t y,
                       const TRect& clip, const TPageDrawState& state,
                       std::vector<TRect>* changed) {
  TDrawTarget t;
  t.target = &target;
  t.clip = clip.Intersect(TRect{0, 0, target.Width(), target.Height()});
  if (t.clip.IsEmpty() || state.blend <= 0) return;
  t.ox = x;
  t.oy = y;
  DrawGlyphs(page, t, state, changed);
}

void TKvWord::DrawPageToPair(const TWdPage& page, TCustomDIBX& color, TCustomDIBX& alpha, int32_t x,
                             int32_t y, const TPageDrawState& state, std::vector<TRect>* changed) {
  if (alpha.BitCount() != 8) return;
  TDrawTarget t;
  t.pair_color = &color;
  t.pair_alpha = &alpha;
  t.clip = TRect{0, 0, color.Width(), color.Height()}.Intersect(
      TRect{0, 0, alpha.Width(), alpha.Height()});
  t.ox = x;
  t.oy = y;
  DrawGlyphs(page, t, state, changed);
}

}  // namespace quen
