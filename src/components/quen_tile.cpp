#include "components/quen_tile.h"

#include <algorithm>

#include "base/stream.h"
#include "components/brix_collection.h"
#include "components/quen_base_list.h"
#include "components/quen_motion.h"
#include "imaging/custom_dibx.h"

namespace quen {
namespace {

// The remainder that never goes negative: a pattern scrolled by -1 starts one column from its
// right edge, not with a gap.
int64_t FloorMod(int64_t a, int64_t b) {
  const int64_t m = a % b;
  return m < 0 ? m + b : m;
}

}  // namespace

int64_t TQuenTile::PositionTerm(bool vertical) const {
  if (GetMotion()) return vertical ? MotionPos().Y : MotionPos().X;
  return vertical ? Top() : Left();
}

int32_t TQuenTile::Gap(bool vertical, int64_t tileSize) const {
  const int64_t d = vertical ? distance_y_ : distance_x_;
  if (d < 1 || d < tileSize) return -1;
  return static_cast<int32_t>(std::min<int64_t>(d - tileSize, INT32_MAX));
}

void TQuenTile::DrawRegions(TCustomDIBX& target, TCustomDIBX& pic, TCustomDIBX* mask,
                            const TRect& rect) {
  const TRect clip = rect.Intersect(target.ClipRect());
  if (clip.IsEmpty()) return;
  const int64_t w = pic.Width(), h = pic.Height();
  const TRect saved = target.UpdateRect();
  const TRect src{0, 0, pic.Width(), pic.Height()};
  const bool key = pic.ColorKey() != -1;
  const int32_t blend = alpha_;
  int64_t y0 = rect.Top - FloorMod(scroll_y_, h);
  y0 += (clip.Top - y0) / h * h;
  int64_t x0 = rect.Left - FloorMod(scroll_x_, w);
  x0 += (clip.Left - x0) / w * w;
  for (int64_t oy = y0; oy < clip.Bottom; oy += h) {
    for (int64_t ox = x0; ox < clip.Right; ox += w) {
      const auto x = static_cast<int32_t>(ox), y = static_cast<int32_t>(oy);
      for (const TRect& r : pic.DrawRegions()) {
        const int32_t l = flip_h_ ? pic.Width() - r.Right : r.Left;
        const int32_t t = flip_v_ ? pic.Height() - r.Bottom : r.Top;
        const TRect c = TRect::FromSize(x + l, y + t, r.Width(), r.Height()).Intersect(clip);
        if (c.IsEmpty()) continue;
        SetSurfaceClip(target, c);
        if (blend == 255) {
          if (mask)
            target.DrawMask(x, y, *mask, flip_v_, flip_h_, src, pic);
          else
            target.Draw(x, y, flip_v_, flip_h_, key, src, pic);
        } else if (blend < 255) {
          if (mask)
            target.DrawAlphaMask(x, y, blend, *mask, flip_v_, flip_h_, src, pic);
          else
            target.DrawAlpha(x, y, blend, flip_v_, flip_h_, key, src, pic);
        } else if (mask) {
          target.DrawAddMask(x, y, blend - 256, *mask, flip_v_, flip_h_, src, pic);
        } else {
          target.DrawAdd(x, y, blend - 256, flip_v_, flip_h_, key, src, pic);
        }
      }
    }
  }
  SetSurfaceClip(target, saved);
}

void TQuenTile::DrawSelf(TCustomDIBX& target) {
  TCustomDIBX* pic = Picture();
  const int32_t blend = alpha_;
  if (!pic || pic->IsEmpty() || blend < 1 || blend > 511) return;
  TCustomDIBX* mask = PictureMask();
  const TRect rect = HitRect();
  if (rect.IsEmpty()) return;
  const bool key = pic->ColorKey() != -1;
  const bool natural = zoom_x_ == 256 && zoom_y_ == 256;
  const int64_t tw = int64_t{pic->Width()} * zoom_x_ / 256;
  const int64_t th = int64_t{pic->Height()} * zoom_y_ / 256;
  const int32_t gx = Gap(false, tw), gy = Gap(true, th);
  const TRect src{0, 0, pic->Width(), pic->Height()};
  if (gx >= 0 || gy >= 0) {
    if (mask)
      target.TileStretchMask(rect, std::max(gx, 0), scroll_y_, scroll_x_, zoom_x_, zoom_y_, blend,
                             *mask, flip_v_, flip_h_, src, *pic, std::max(gy, 0));
    else
      target.TileStretch(rect, std::max(gx, 0), scroll_y_, scroll_x_, zoom_x_, zoom_y_, blend,
                         flip_v_, flip_h_, key, src, *pic, std::max(gy, 0));
    return;
  }
  if (natural && !pic->DrawRegions().empty() && target.BaseSurface() == &target) {
    DrawRegions(target, *pic, mask, rect);
    return;
  }
  if (natural && !key && !mask && blend == 255) {
    target.PatternFill(rect, *pic, flip_v_, flip_h_, scroll_y_, scroll_x_);
  } else if (mask) {
    target.PatternZoomMask(rect, *pic, blend, *mask, flip_v_, flip_h_, scroll_x_, scroll_y_,
                           zoom_x_, zoom_y_);
  } else {
    target.PatternZoom(rect, *pic, blend, flip_v_, flip_h_, key, scroll_x_, scroll_y_, zoom_x_,
                       zoom_y_);
  }
}

TQuenControl* TQuenTile::HitTest(int32_t x, int32_t y, TMouseMask mask) {
  if (!Visible() || !HitRect().Contains(x, y)) return nullptr;
  const std::vector<TQuenControl*>& kids = Children();
  for (size_t i = kids.size(); i-- > 0;) {
    if (kids[i]->Name().empty()) continue;
    if (TQuenControl* hit = kids[i]->HitTest(x, y, mask)) return hit;
  }
  const int32_t im = PropInt(PR_IGNOREMOUSE);
  if (im > IM_RCLICK || !(mask & MaskOf(static_cast<uint8_t>(im)))) return nullptr;
  TCustomDIBX* m = capture_mask_ ? PictureMask() : nullptr;
  if (!m || m->IsEmpty()) return this;
  // The pattern pixel under the point, as the pattern fill places it.
  const int64_t lx = FloorMod(scroll_x_ + (int64_t{x} - AbsLeft()) * 256 / zoom_x_, m->Width());
  const int64_t ly = FloorMod(scroll_y_ + (int64_t{y} - AbsTop()) * 256 / zoom_y_, m->Height());
  const int64_t mx = flip_h_ ? m->Width() - 1 - lx : lx;
  const int64_t my = flip_v_ ? m->Height() - 1 - ly : ly;
  return m->GetPixel(static_cast<int32_t>(mx), static_cast<int32_t>(my)) > 127 ? this : nullptr;
}

bool TQuenTile::Update(int32_t frameMs) {
  if (TQuenCustomImage::Update(frameMs)) return true;
  return Animate(frameMs);
}

void TQuenTile::LeaveAfterImage() {
  if (!owner_) return;
  auto* copy = owner_->Create<TQuenBlurTile>();
  copy->CopyFrom(*this);
  copy->Follow(*this, trail_.Delay());
}

TPropValue TQuenTile::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_SCROLLX:
      return TPropValue::OfInt(scroll_x_);
    case PR_SCROLLY:
      return TPropValue::OfInt(scroll_y_);
    case PR_DISTANCEX:
      return TPropValue::OfInt(distance_x_);
    case PR_DISTANCEY:
      return TPropValue::OfInt(distance_y_);
    case PR_REPEAT:
      return TPropValue::OfBool(true);
    default:
      return TQuenCustomImages::ReadOwn(code);
  }
}

void TQuenTile::WriteOwn(uint8_t code, const TPropValue& value) {
  auto looks = [&](int32_t& field, bool position) {
    if (field == value.Int) return;
    Invalidate();
    field = value.Int;
    // Children are placed against the scroll.
    if (position) PositionChanged();
    Invalidate();
  };
  switch (code) {
    case PR_SCROLLX:
      looks(scroll_x_, true);
      return;
    case PR_SCROLLY:
      looks(scroll_y_, true);
      return;
    case PR_DISTANCEX:
      looks(distance_x_, false);
      return;
    case PR_DISTANCEY:
      looks(distance_y_, false);
      return;
    default:
      TQuenCustomImages::WriteOwn(code, value);
      return;
  }
}

void TQuenTile::SaveToStream(TStream& s, int32_t version) const {
  TQuenCustomImages::SaveToStream(s, version);
  WriteInt32(s, scroll_x_);
  WriteInt32(s, scroll_y_);
  WriteString(s, source_);
  WriteString(s, PropStr(PR_ONIDLE));
  WriteInt32(s, distance_x_);
  WriteInt32(s, distance_y_);
}

void TQuenTile::LoadFromStream(TStream& s, int32_t version) {
  TQuenCustomImages::LoadFromStream(s, version);
  scroll_x_ = ReadInt32(s);
  scroll_y_ = ReadInt32(s);
  if (std::string source = ReadString(s); !source.empty()) SetSource(source);
  TQuenCustomImages::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
  distance_x_ = ReadInt32(s);
  distance_y_ = ReadInt32(s);
  RestoreIndex(stored_index_, stored_countdown_);
  Invalidate();
}

void TQuenBlurTile::CopyFrom(TQuenTile& source) {
  list_->SetBrightness(source.PictureBrightness());
  if (TBrixItem* item = source.PictureItem()) {
    // The same item as the source's, held for this copy.
    capture_mask_ = item->WantsMask();
    LoadInto(*list_, item->FileName());
    list_->Index = source.FrameIndex() < list_->Count() ? source.FrameIndex() : -1;
  }
  const TPoint pos = source.GetMotion() ? source.MotionPos() : TPoint{source.Left(), source.Top()};
  SetBounds(pos.X, pos.Y, source.Width(), source.Height());
  for (uint8_t code : {PR_PLUSX, PR_PLUSY, PR_COLOR, PR_CLIPLEFT, PR_CLIPTOP, PR_CLIPWIDTH,
                       PR_CLIPHEIGHT, PR_IGNOREMOUSE})
    TQuenControl::WriteOwn(code, source.ReadProp(code));
  scroll_x_ = source.scroll_x_;
  scroll_y_ = source.scroll_y_;
  distance_x_ = source.distance_x_;
  distance_y_ = source.distance_y_;
  zoom_x_ = source.ZoomX();
  zoom_y_ = source.ZoomY();
  flip_h_ = source.FlipH();
  flip_v_ = source.FlipV();
}

}  // namespace quen
