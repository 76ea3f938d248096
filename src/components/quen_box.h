// The box: a rectangle filled with a colour and framed by a border, blended, added or copied;
// it may follow a motion film and leaves fading copies behind when it moves.
#pragma once

#include <string>
#include <vector>

#include "components/after_image.h"
#include "components/quen_object.h"

namespace quen {

class TQuenBox : public TQuenControl {
 public:
  using TQuenControl::TQuenControl;
  const char* ClassName() const override { return "TQuenBox"; }
  uint8_t CompoType() const override { return LT_BOX; }
  TQuenKind Kind() const override { return TQuenKind::Box; }

  bool Update(int32_t frameMs) override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void DrawSelf(TCustomDIBX& target) override;

 private:
  friend class TQuenBlurBox;
  // What a copy compares: left, top, width, height, border width.
  std::vector<int64_t> TrailState() const;
  void SetSource(const std::string& source);
  void LeaveAfterImage();

  int32_t border_width_ = 0;
  TColor border_color_ = 0;
  int32_t alpha_ = 255;
  std::string source_;
  bool repeat_ = false;
  bool paused_ = false;
  TAfterImageTrail trail_;
};

class TQuenBlurBox : public TQuenAfterImage<TQuenBox> {
 public:
  using TQuenAfterImage<TQuenBox>::TQuenAfterImage;
  const char* ClassName() const override { return "TQuenBlurBox"; }
  // Takes the source's looks: geometry, colours and flags.
  void CopyFrom(const TQuenBox& source);
};

}  // namespace quen
