#include "components/quen_custom_image.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/stream.h"
#include "components/brix_collection.h"
#include "components/quen_base_list.h"
#include "imaging/custom_dibx.h"

namespace quen {
namespace {

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// Floor division for a positive divisor.
int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The parent image's scale on one axis as 16.16 (its picture size over its size), or 0 when
// the parent is no image or shows its picture at natural size.
int64_t ParentScale(const TQuenControl* parent, bool vertical) {
  auto* p = dynamic_cast<const TQuenCustomImage*>(parent);
  if (!p) return 0;
  const TPoint ps = p->PictureSize();
  const int64_t size = vertical ? p->Height() : p->Width();
  const int64_t pic = vertical ? ps.Y : ps.X;
  if (size <= 0 || pic <= 0 || size == pic) return 0;
  return std::max<int64_t>((pic << 16) / size, 1);
}

// A position in the parent's picture mapped onto the parent's size, rounded to nearest.
int64_t ScaleEdge(int64_t v, int64_t factor) {
  return FloorDiv(2 * v * 65536 + factor, 2 * factor);
}

double Theta(int32_t angle) {
  return static_cast<double>(angle) * 2.0 * std::numbers::pi / 256.0;
}

}  // namespace

TRect RotatedBox(int32_t ax, int32_t ay, int32_t w, int32_t h, int32_t px, int32_t py,
                 int32_t zoomX, int32_t zoomY, int32_t angle) {
  const double t = Theta(angle), c = std::cos(t), s = std::sin(t);
  const double zx = zoomX / 256.0, zy = zoomY / 256.0;
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool first = true;
  for (int32_t cy : {0, h}) {
    for (int32_t cx : {0, w}) {
      const double dx = (cx - px) * zx, dy = (cy - py) * zy;
      const double x = ax + dx * c - dy * s, y = ay + dx * s + dy * c;
      if (first || x < minX) minX = x;
      if (first || x > maxX) maxX = x;
      if (first || y < minY) minY = y;
      if (first || y > maxY) maxY = y;
      first = false;
    }
  }
  auto clampd = [](double v) { return static_cast<int32_t>(std::clamp(v, -2.0e9, 2.0e9)); };
  return TRect{clampd(std::trunc(minX)), clampd(std::trunc(minY)), clampd(std::trunc(maxX + 1)),
               clampd(std::trunc(maxY + 1))};
}

// ---------------------------------------------------------------- TQuenCustomImage

bool TQuenCustomImage::Carries(uint8_t code) const {
  if (Kind() == TQuenKind::None) {
    switch (code) {
      case PR_ALPHA:
      case PR_ZOOMX:
      case PR_ZOOMY:
      case PR_ANGLE:
      case PR_FLIPH:
      case PR_FLIPV:
      case PR_CAPTUREMASK:
      case PR_ORIGWIDTH:
      case PR_ORIGHEIGHT:
      case PR_BLURSPAN:
      case PR_BLURDELAY:
        return true;
      default:
        break;
    }
  }
  return TQuenControl::Carries(code);
}

TCustomDIBX* TQuenCustomImage::Picture() {
  if (external_) return external_;
  return own_.IsEmpty() ? nullptr : &own_;
}

TCustomDIBX* TQuenCustomImage::PictureMask() {
  if (external_) return external_mask_;
  return own_mask_ && !own_mask_->IsEmpty() ? own_mask_.get() : nullptr;
}

TPoint TQuenCustomImage::PictureSize() const {
  if (external_) return {external_->Width(), external_->Height()};
  return {own_.Width(), own_.Height()};
}

TDIBX& TQuenCustomImage::OwnMask() {
  if (!own_mask_) own_mask_ = std::make_unique<TDIBX>();
  return *own_mask_;
}

void TQuenCustomImage::SetExternalPicture(TCustomDIBX* picture, TCustomDIBX* mask) {
  Invalidate();
  external_ = picture;
  external_mask_ = picture ? mask : nullptr;
  RecomputeSize();
  Invalidate();
}

int64_t TQuenCustomImage::PositionTerm(bool vertical) const {
  if (!GetMotion() && PropBool(PR_POSZOOMED)) {
    if (const int64_t f = ParentScale(Parent(), vertical))
      return ScaleEdge(vertical ? Top() : Left(), f);
  }
  return TQuenControl::PositionTerm(vertical);
}

void TQuenCustomImage::RecomputeSize() {
  size_stale_ = false;
  if (!SizeFollowsPicture()) return;
  const TPoint pic = PictureSize();
  auto axis = [&](bool vertical) -> int32_t {
    const int64_t size = vertical ? pic.Y : pic.X;
    if (!GetMotion() && PropBool(PR_POSZOOMED)) {
      if (const int64_t f = ParentScale(Parent(), vertical)) {
        const int64_t pos = vertical ? Top() : Left();
        return Clamp32(ScaleEdge(pos + size, f) - ScaleEdge(pos, f));
      }
    }
    // Sizes are 15 bits at most and zooms 31: the product needs 64 bits.
    return Clamp32(size * (vertical ? zoom_y_ : zoom_x_) / 256);
  };
  const int32_t w = axis(false), h = axis(true);
  if (w != Width() || h != Height()) SetBounds(Left(), Top(), w, h);
}

void TQuenCustomImage::SetZoom(bool vertical, int32_t zoom) {
  zoom = std::max(zoom, 1);
  int32_t& field = vertical ? zoom_y_ : zoom_x_;
  if (field == zoom) return;
  Invalidate();
  field = zoom;
  size_stale_ = true;
  PositionChanged();
  Invalidate();
  for (TQuenControl* c : Children()) {
    auto* image = dynamic_cast<TQuenCustomImage*>(c);
    if (image && image->PropBool(PR_POSZOOMED)) image->MarkSizeStale();
  }
}

TRect TQuenCustomImage::HitRect() const {
  if (angle_ == 0) return TQuenControl::HitRect();
  const TPoint pic = PictureSize();
  const TPoint a = AnchorToScreen();
  return RotatedBox(a.X, a.Y, pic.X, pic.Y, PropInt(PR_OFFSETX), PropInt(PR_OFFSETY), zoom_x_,
                    zoom_y_, angle_);
}

bool TQuenCustomImage::HitsPicture(int32_t x, int32_t y) {
  const int64_t left = AbsLeft(), top = AbsTop();
  int64_t px = x, py = y;
  if (angle_ != 0) {
    // Turn the point back about the anchor into the unrotated picture.
    const TPoint a = AnchorToScreen();
    const double t = Theta(angle_), c = std::cos(t), s = std::sin(t);
    const double dx = x - a.X, dy = y - a.Y;
    px = static_cast<int64_t>(std::floor(std::clamp(a.X + dx * c + dy * s, -4.0e9, 4.0e9)));
    py = static_cast<int64_t>(std::floor(std::clamp(a.Y - dx * s + dy * c, -4.0e9, 4.0e9)));
  }
  const int64_t w = Width(), h = Height();
  if (px < left || py < top || px >= left + w || py >= top + h) return false;
  if (!capture_mask_) return true;
  TCustomDIBX* mask = PictureMask();
  if (!mask) return true;
  // By the scale the picture is actually drawn at, whatever the zoom says.
  const TPoint pic = PictureSize();
  int64_t lx = (px - left) * pic.X / w;
  int64_t ly = (py - top) * pic.Y / h;
  if (flip_h_) lx = pic.X - 1 - lx;
  if (flip_v_) ly = pic.Y - 1 - ly;
  if (lx < 0 || ly < 0 || lx >= mask->Width() || ly >= mask->Height()) return false;
  return mask->GetPixel(static_cast<int32_t>(lx), static_cast<int32_t>(ly)) > 127;
}

TQuenControl* TQuenCustomImage::HitTest(int32_t x, int32_t y, TMouseMask mask) {
  if (!Visible() || !HitRect().Contains(x, y)) return nullptr;
  const std::vector<TQuenControl*>& kids = Children();
  for (size_t i = kids.size(); i-- > 0;) {
    if (kids[i]->Name().empty()) continue;
    if (TQuenControl* hit = kids[i]->HitTest(x, y, mask)) return hit;
  }
  const int32_t im = PropInt(PR_IGNOREMOUSE);
  if (im > IM_RCLICK || !(mask & MaskOf(static_cast<uint8_t>(im)))) return nullptr;
  return HitsPicture(x, y) ? this : nullptr;
}

void TQuenCustomImage::DrawPicture(TCustomDIBX& target, TCustomDIBX& pic, TCustomDIBX* mask) {
  const int32_t blend = alpha_;
  if (blend < 1 || blend > 511 || Width() < 1 || Height() < 1 || pic.IsEmpty()) return;
  const bool key = pic.ColorKey() != -1;
  const TRect src{0, 0, pic.Width(), pic.Height()};
  if (angle_ != 0) {
    const TPoint a = AnchorToScreen();
    const int32_t ox = PropInt(PR_OFFSETX), oy = PropInt(PR_OFFSETY);
    if (mask)
      target.DrawRotZoomMask(a.X, a.Y, blend, *mask, flip_v_, flip_h_, angle_, oy, ox, src, pic,
                             zoom_y_, zoom_x_);
    else
      target.DrawRotZoom(a.X, a.Y, blend, flip_v_, flip_h_, key, angle_, oy, ox, src, pic, zoom_y_,
                         zoom_x_);
    return;
  }
  const TRect dest = TQuenControl::HitRect();
  if (pic.Width() == Width() && pic.Height() == Height()) {
    auto put = [&] {
      const int32_t x = dest.Left, y = dest.Top;
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
    };
    const std::vector<TRect>& regions = pic.DrawRegions();
    // A wave surface moves rows sideways, so a region there is not where the clip would be.
    if (regions.empty() || target.BaseSurface() != &target) {
      put();
      return;
    }
    const TRect saved = target.UpdateRect();
    const TRect clip = target.ClipRect();
    for (const TRect& r : regions) {
      const int32_t l = flip_h_ ? pic.Width() - r.Right : r.Left;
      const int32_t t = flip_v_ ? pic.Height() - r.Bottom : r.Top;
      const TRect on = TRect::FromSize(dest.Left + l, dest.Top + t, r.Width(), r.Height());
      const TRect c = on.Intersect(clip);
      if (c.IsEmpty()) continue;
      SetSurfaceClip(target, c);
      put();
    }
    SetSurfaceClip(target, saved);
    return;
  }
  if (blend <= 255) {
    if (mask)
      target.StretchDrawMask(dest, pic, blend, *mask, flip_v_, flip_h_, src);
    else
      target.StretchDraw(dest, pic, blend, flip_v_, flip_h_, key, src);
  } else if (mask) {
    target.StretchDrawAddMask(dest, pic, blend - 256, *mask, flip_v_, flip_h_, src);
  } else {
    target.StretchDrawAdd(dest, pic, blend - 256, flip_v_, flip_h_, key, src);
  }
}

void TQuenCustomImage::DrawSelf(TCustomDIBX& target) {
  if (TCustomDIBX* pic = Picture()) DrawPicture(target, *pic, PictureMask());
}

std::vector<int64_t> TQuenCustomImage::TrailState() const {
  return {FrameIndex(),       Left(), Top(), angle_, zoom_x_, zoom_y_, PropInt(PR_SCROLLX),
          PropInt(PR_SCROLLY)};
}

void TQuenCustomImage::LeaveAfterImage() {
  if (!owner_) return;
  auto* copy = owner_->Create<TQuenBlurImage>();
  copy->CopyFrom(*this);
  copy->Follow(*this, trail_.Delay());
}

bool TQuenCustomImage::Update(int32_t frameMs) {
  if (size_stale_) RecomputeSize();
  if (trail_.Step(frameMs, TrailState())) LeaveAfterImage();
  return TQuenControl::Update(frameMs);
}

TPropValue TQuenCustomImage::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_ALPHA:
      return TPropValue::OfInt(alpha_);
    case PR_ZOOMX:
      return TPropValue::OfInt(zoom_x_);
    case PR_ZOOMY:
      return TPropValue::OfInt(zoom_y_);
    case PR_ANGLE:
      return TPropValue::OfInt(angle_);
    case PR_FLIPH:
      return TPropValue::OfBool(flip_h_);
    case PR_FLIPV:
      return TPropValue::OfBool(flip_v_);
    case PR_CAPTUREMASK:
      return TPropValue::OfBool(capture_mask_);
    case PR_ORIGWIDTH:
      return TPropValue::OfInt(PictureSize().X);
    case PR_ORIGHEIGHT:
      return TPropValue::OfInt(PictureSize().Y);
    case PR_BLURSPAN:
      return TPropValue::OfInt(trail_.Span());
    case PR_BLURDELAY:
      return TPropValue::OfInt(trail_.Delay());
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenCustomImage::WriteOwn(uint8_t code, const TPropValue& value) {
  const int32_t v = value.Int;
  auto looks = [&](auto& field, auto now) {
    if (field == now) return;
    Invalidate();
    field = now;
    PositionChanged();
    Invalidate();
  };
  switch (code) {
    case PR_ALPHA:
      looks(alpha_, v);
      return;
    case PR_ZOOMX:
      SetZoom(false, v);
      return;
    case PR_ZOOMY:
      SetZoom(true, v);
      return;
    case PR_ANGLE:
      looks(angle_, v);
      return;
    case PR_FLIPH:
      looks(flip_h_, v != 0);
      return;
    case PR_FLIPV:
      looks(flip_v_, v != 0);
      return;
    case PR_CAPTUREMASK:
      capture_mask_ = v != 0;
      return;
    case PR_ORIGWIDTH:
    case PR_ORIGHEIGHT:
      return;
    case PR_BLURSPAN:
      trail_.SetSpan(v, TrailState());
      return;
    case PR_BLURDELAY:
      trail_.SetDelay(v);
      return;
    default:
      TQuenControl::WriteOwn(code, value);
      return;
  }
}

void TQuenCustomImage::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  WriteInt32(s, alpha_);
  WriteInt32(s, zoom_x_);
  WriteInt32(s, angle_);
  WriteBool(s, flip_h_);
  WriteBool(s, flip_v_);
  WriteBool(s, capture_mask_);
  if (version > 103) WriteInt32(s, zoom_y_);
  if (version >= 140) {
    WriteInt32(s, trail_.Span());
    WriteInt32(s, trail_.Delay());
  }
}

void TQuenCustomImage::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  alpha_ = ReadInt32(s);
  zoom_x_ = std::max(ReadInt32(s), 1);
  angle_ = ReadInt32(s);
  flip_h_ = ReadBool(s);
  flip_v_ = ReadBool(s);
  capture_mask_ = ReadBool(s);
  zoom_y_ = version > 103 ? std::max(ReadInt32(s), 1) : 256;
  if (version >= 140) {
    const int32_t span = ReadInt32(s);
    trail_.SetDelay(ReadInt32(s));
    trail_.SetSpan(span, TrailState());
  }
}

// ---------------------------------------------------------------- TQuenBlurImage

TCustomDIBX* TQuenBlurImage::Picture() {
  if (TQuenImageData* d = list_.Current()) return d->Surface();
  return TQuenAfterImage<TQuenCustomImage>::Picture();
}

TCustomDIBX* TQuenBlurImage::PictureMask() {
  if (TQuenImageData* d = list_.Current()) return d->Mask();
  return TQuenAfterImage<TQuenCustomImage>::PictureMask();
}

TPoint TQuenBlurImage::PictureSize() const {
  if (TBrixItem* item = list_.Item())
    if (TBrixItemFrame* f = item->Frame(list_.Index))
      return {f->Surface.Width(), f->Surface.Height()};
  return TQuenAfterImage<TQuenCustomImage>::PictureSize();
}

void TQuenBlurImage::CopyFrom(TQuenCustomImage& source) {
  TBrixItem* item = source.PictureItem();
  if (item && source.FrameIndex() >= 0 && !source.HasExternalPicture()) {
    list_.SetBrightness(source.PictureBrightness());
    list_.Load(item->FileName(), item->WantsMask());
    list_.Index = source.FrameIndex() < list_.Count() ? source.FrameIndex() : -1;
  } else if (TCustomDIBX* pic = source.Picture()) {
    // A picture of the source's own (or lent to it) may change or go: keep a copy.
    OwnSurface().SetSize(pic->Width(), pic->Height(), pic->BitCount());
    OwnSurface().Assign(*pic);
    OwnSurface().SetColorKey(pic->ColorKey());
    if (TCustomDIBX* m = source.PictureMask()) {
      OwnMask().SetSize(m->Width(), m->Height(), 8);
      OwnMask().Assign(*m);
    }
  }
  const TPoint pos = source.GetMotion() ? source.MotionPos() : TPoint{source.Left(), source.Top()};
  SetBounds(pos.X, pos.Y, source.Width(), source.Height());
  for (uint8_t code : {PR_OFFSETX, PR_OFFSETY, PR_PLUSX, PR_PLUSY, PR_COLOR, PR_POSZOOMED,
                       PR_CLIPLEFT, PR_CLIPTOP, PR_CLIPWIDTH, PR_CLIPHEIGHT, PR_IGNOREMOUSE})
    TQuenControl::WriteOwn(code, source.ReadProp(code));
  zoom_x_ = source.ZoomX();
  zoom_y_ = source.ZoomY();
  angle_ = source.Angle();
  flip_h_ = source.FlipH();
  flip_v_ = source.FlipV();
}

}  // namespace quen
