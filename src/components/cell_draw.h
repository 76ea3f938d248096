// Drawing cut-out cells of cached pictures (the parts of sliders, gauges and list frames): one
// cell at a place, or one cell repeated over an area, with the image blend rules (below 255
// blended, 255 plain, 256..511 added) and the picture's mask or transparent colour.
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/types.h"
#include "components/image_list.h"
#include "components/quen_object.h"
#include "imaging/custom_dibx.h"

namespace quen {

inline void DrawCellAt(TCustomDIBX& target, int32_t x, int32_t y, const TRect& src,
                       TCustomDIBX& pic, TCustomDIBX* mask, int32_t blend) {
  if (blend < 1 || blend > 511 || src.IsEmpty()) return;
  const bool key = pic.ColorKey() != -1;
  if (blend == 255) {
    if (mask)
      target.DrawMask(x, y, *mask, false, false, src, pic);
    else
      target.Draw(x, y, false, false, key, src, pic);
  } else if (blend < 255) {
    if (mask)
      target.DrawAlphaMask(x, y, blend, *mask, false, false, src, pic);
    else
      target.DrawAlpha(x, y, blend, false, false, key, src, pic);
  } else if (mask) {
    target.DrawAddMask(x, y, blend - 256, *mask, false, false, src, pic);
  } else {
    target.DrawAdd(x, y, blend - 256, false, false, key, src, pic);
  }
}

// The cell of a frame holder; nothing when the holder has no picture.
inline void DrawCell(TCustomDIBX& target, int32_t x, int32_t y, const TRect& src, TQuenImageData* d,
                     int32_t blend) {
  TCustomDIBX* pic = d ? d->Surface() : nullptr;
  if (!pic || pic->IsEmpty()) return;
  const TRect cut = src.Intersect(TRect{0, 0, pic->Width(), pic->Height()});
  DrawCellAt(target, x + (cut.Left - src.Left), y + (cut.Top - src.Top), cut, *pic, d->Mask(),
             blend);
}

// The cell repeated over area from its top-left corner, cut to area and the target's clip.
inline void TileCell(TCustomDIBX& target, const TRect& area, const TRect& src, TQuenImageData* d,
                     int32_t blend) {
  TCustomDIBX* pic = d ? d->Surface() : nullptr;
  if (!pic || pic->IsEmpty()) return;
  const TRect cut = src.Intersect(TRect{0, 0, pic->Width(), pic->Height()});
  if (cut.IsEmpty()) return;
  const TRect saved = target.UpdateRect();
  const TRect clip = area.Intersect(target.ClipRect());
  if (clip.IsEmpty()) return;
  SetSurfaceClip(target, clip);
  const int64_t w = cut.Width(), h = cut.Height();
  const int64_t y0 = area.Top + (clip.Top - area.Top) / h * h;
  const int64_t x0 = area.Left + (clip.Left - area.Left) / w * w;
  for (int64_t y = y0; y < clip.Bottom; y += h)
    for (int64_t x = x0; x < clip.Right; x += w)
      DrawCellAt(target, static_cast<int32_t>(x), static_cast<int32_t>(y), cut, *pic, d->Mask(),
                 blend);
  SetSurfaceClip(target, saved);
}

// "Clamped into [lo, hi]" that stays defined when hi < lo: below lo gives lo, else above hi
// gives hi.
inline int32_t ClampInto(int64_t v, int32_t lo, int32_t hi) {
  if (v < lo) return lo;
  if (v > hi) return hi;
  return static_cast<int32_t>(v);
}

}  // namespace quen
