// The caption: lines of text drawn with one font into a colour surface and a coverage mask,
// then shown like an image (blend value, zoom, angle, flips); it may follow a motion film.
#pragma once

#include <string>

#include "components/quen_custom_image.h"
#include "text/label_renderer.h"

namespace quen {

class TQuenLabel : public TQuenCustomImage {
 public:
  explicit TQuenLabel(TQuenBaseList* owner);
  const char* ClassName() const override { return "TQuenLabel"; }
  uint8_t CompoType() const override { return LT_LABEL; }
  TQuenKind Kind() const override { return TQuenKind::Lbl; }

  // The rendered text (rendered again once the text or a font setting changed).
  TCustomDIBX* Picture() override;
  TCustomDIBX* PictureMask() override;
  TPoint PictureSize() const override;
  const TLabelStyle& Style() const { return style_; }

  void ReleaseSurfaces() override;
  void RestoreSurfaces() override;
  // The caption's own fields only: it keeps none of the image base's.
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;

 private:
  // Renders when stale, at the depth of the screen the caption is drawn on.
  void Render() const;
  void Restyle();
  void SetSource(const std::string& source);

  std::string text_;
  std::string source_;
  bool repeat_ = false;
  bool paused_ = false;
  TLabelStyle style_;
  mutable TLabel label_;
  mutable bool stale_ = true;
};

}  // namespace quen
