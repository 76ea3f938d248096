// The still image: a film's picture component (one frame of a cached picture, or the frame
// the film hands in) and the full-screen snapshot the screen flips show while they run.
#pragma once

#include <string>

#include "components/quen_custom_image.h"

namespace quen {

class TQuenImage : public TQuenCustomImage {
 public:
  explicit TQuenImage(TQuenBaseList* owner) : TQuenCustomImage(owner), list_(this) {}
  const char* ClassName() const override { return "TQuenImage"; }

  // Shows the first frame of the picture; any other frame comes from the film.
  void SetSource(const std::string& source);
  const std::string& Source() const { return source_; }
  void SetBrightness(int32_t b);
  int32_t Brightness() const { return list_.Brightness(); }

  TCustomDIBX* Picture() override;
  TCustomDIBX* PictureMask() override;
  TPoint PictureSize() const override;
  TBrixItem* PictureItem() const override { return list_.Item(); }
  int32_t FrameIndex() const override { return list_.Index; }
  int32_t PictureBrightness() const override { return list_.Brightness(); }
  void ReleaseSurfaces() override { list_.ReleaseSurfaces(); }
  void RestoreSurfaces() override;

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

  // Copies the screen as it stands into a new image named with the two bytes 01 01, the size
  // of the screen, on the shown root (what a flip shows while its transition runs).
  static TQuenImage* MakeScreenSnapshot(TQuenBaseList& registry);
  static const std::string& SnapshotName();

 private:
  TQuenImageList list_;
  std::string source_;
};

}  // namespace quen
