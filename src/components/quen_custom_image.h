// The image base every picture-showing kind draws through: a picture (the kind's current frame,
// one handed in by a film, or the kind's own surface) placed, zoomed, rotated, mirrored and
// blended; hit tests that follow the rotation and, when asked, the picture's mask; and the
// fading copy an image leaves behind when it moves.
#pragma once

#include <memory>
#include <vector>

#include "components/after_image.h"
#include "components/image_list.h"
#include "components/quen_object.h"
#include "imaging/dibx.h"

namespace quen {

class TBrixItem;

class TQuenCustomImage : public TQuenControl {
 public:
  using TQuenControl::TQuenControl;
  const char* ClassName() const override { return "TQuenCustomImage"; }
  // The still images of films and the fading copies have no row of their own in the property
  // table, yet films set their zoom, angle and blend: they carry the image base's codes.
  bool Carries(uint8_t code) const override;

  // What is drawn: a picture handed in, else the kind's own frame, else the own surface (when
  // it holds pixels). Null when there is nothing to show.
  virtual TCustomDIBX* Picture();
  virtual TCustomDIBX* PictureMask();
  // The size of what Picture() gives, without making anything.
  virtual TPoint PictureSize() const;
  // Shows a picture that stays the caller's (film tracks); it must outlive its use here. It
  // replaces the kind's frame until the kind selects another one. Null hands it back.
  void SetExternalPicture(TCustomDIBX* picture, TCustomDIBX* mask);
  bool HasExternalPicture() const { return external_ != nullptr; }
  // Pixels of the kind's own (the screen snapshot, a caption, a video frame).
  TDIBX& OwnSurface() { return own_; }
  TDIBX& OwnMask();
  void DropOwnMask() { own_mask_.reset(); }

  // The cache item and frame index shown, for copies that share the picture (none: -1).
  virtual TBrixItem* PictureItem() const { return nullptr; }
  virtual int32_t FrameIndex() const { return -1; }
  virtual int32_t PictureBrightness() const { return 0; }

  int32_t Alpha() const { return alpha_; }
  int32_t ZoomX() const { return zoom_x_; }
  int32_t ZoomY() const { return zoom_y_; }
  int32_t Angle() const { return angle_; }
  bool FlipH() const { return flip_h_; }
  bool FlipV() const { return flip_v_; }

  // Width and height from the picture and the zoom (children with PR_POSZOOMED of a zoomed
  // image follow that image's scale instead); both areas are invalidated when they change.
  void RecomputeSize();
  // False for kinds whose size the script sets (the tile).
  virtual bool SizeFollowsPicture() const { return true; }
  // A zoom changed: the size follows at the next update.
  void MarkSizeStale() { size_stale_ = true; }

  // With an angle, the box the rotated picture covers.
  TRect HitRect() const override;
  TQuenControl* HitTest(int32_t x, int32_t y, TMouseMask mask) override;
  bool Update(int32_t frameMs) override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void DrawSelf(TCustomDIBX& target) override;
  int64_t PositionTerm(bool vertical) const override;
  // The picture handed in is let go (the kind selected a frame of its own).
  void ClearExternalPicture() { external_ = external_mask_ = nullptr; }
  // What a copy compares: index, left, top, angle, zoom x and y, scroll x and y.
  virtual std::vector<int64_t> TrailState() const;
  virtual void LeaveAfterImage();
  // The image drawing rules for one picture at the control's place.
  void DrawPicture(TCustomDIBX& target, TCustomDIBX& picture, TCustomDIBX* mask);
  // Whether a point (screen coordinates) falls on the picture, its mask and rotation counted.
  bool HitsPicture(int32_t x, int32_t y);
  // The writes of the image base in one place, so kinds can reach them from their streams.
  void SetZoom(bool vertical, int32_t zoom);

  int32_t alpha_ = 255;
  int32_t zoom_x_ = 256, zoom_y_ = 256;
  int32_t angle_ = 0;
  bool flip_h_ = false, flip_v_ = false;
  bool capture_mask_ = false;
  bool size_stale_ = false;
  TAfterImageTrail trail_;

 private:
  TDIBX own_;
  std::unique_ptr<TDIBX> own_mask_;
  TCustomDIBX* external_ = nullptr;
  TCustomDIBX* external_mask_ = nullptr;
};

// The fading copy of an image: it holds the same cached frame as its source (acquired for
// itself), or a copy of its pixels when the source's picture is its own.
class TQuenBlurImage : public TQuenAfterImage<TQuenCustomImage> {
 public:
  explicit TQuenBlurImage(TQuenBaseList* owner)
      : TQuenAfterImage<TQuenCustomImage>(owner), list_(this) {}
  const char* ClassName() const override { return "TQuenBlurImage"; }
  bool IsImageAfterImage() const override { return true; }
  TCustomDIBX* Picture() override;
  TCustomDIBX* PictureMask() override;
  TPoint PictureSize() const override;
  TBrixItem* PictureItem() const override { return list_.Item(); }
  int32_t FrameIndex() const override { return list_.Index; }

  // Takes the source's picture, geometry and looks.
  void CopyFrom(TQuenCustomImage& source);

 private:
  TQuenImageList list_;
};

// The rotated picture's box for a picture of size w x h drawn at anchor (ax, ay) about pivot
// (px, py) with zooms (256 = natural) and an angle in 256ths of a turn.
TRect RotatedBox(int32_t ax, int32_t ay, int32_t w, int32_t h, int32_t px, int32_t py,
                 int32_t zoomX, int32_t zoomY, int32_t angle);

}  // namespace quen
