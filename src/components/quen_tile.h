// The tile: an animated picture repeated over the control's rectangle, scrolled (negative
// scroll wraps like positive), spaced by distances and zoomed.
#pragma once

#include "components/after_image.h"
#include "components/quen_images.h"

namespace quen {

class TQuenTile : public TQuenCustomImages {
 public:
  using TQuenCustomImages::TQuenCustomImages;
  const char* ClassName() const override { return "TQuenTile"; }
  uint8_t CompoType() const override { return LT_TILE; }
  TQuenKind Kind() const override { return TQuenKind::Til; }

  bool SizeFollowsPicture() const override { return false; }
  // The control's rectangle, whatever the angle.
  TRect HitRect() const override { return TQuenControl::HitRect(); }
  TQuenControl* HitTest(int32_t x, int32_t y, TMouseMask mask) override;
  bool Update(int32_t frameMs) override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void DrawSelf(TCustomDIBX& target) override;
  // The pattern does not move with offsets or zoom.
  int64_t AnchorTerm(bool) const override { return 0; }
  int64_t PositionTerm(bool vertical) const override;
  bool Repeats() const override { return true; }
  void LeaveAfterImage() override;

 private:
  friend class TQuenBlurTile;
  // The pitch of one axis beyond the picture: the distance's gap, or -1 for none.
  int32_t Gap(bool vertical, int64_t tileSize) const;
  void DrawRegions(TCustomDIBX& target, TCustomDIBX& pic, TCustomDIBX* mask, const TRect& rect);

  int32_t scroll_x_ = 0, scroll_y_ = 0;
  int32_t distance_x_ = 0, distance_y_ = 0;
};

class TQuenBlurTile : public TQuenAfterImage<TQuenTile> {
 public:
  using TQuenAfterImage<TQuenTile>::TQuenAfterImage;
  const char* ClassName() const override { return "TQuenBlurTile"; }
  // Takes the tile's picture (acquired for itself), frame, scroll and looks.
  void CopyFrom(TQuenTile& source);
};

}  // namespace quen
