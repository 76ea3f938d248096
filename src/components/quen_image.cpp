#include "components/quen_image.h"

#include "base/stream.h"
#include "components/brix_collection.h"
#include "components/quen_base_list.h"

namespace quen {

const std::string& TQuenImage::SnapshotName() {
  static const std::string name("\x01\x01", 2);
  return name;
}

void TQuenImage::SetSource(const std::string& source) {
  Invalidate();
  source_ = source;
  ClearExternalPicture();
  list_.Clear();
  if (!source.empty()) list_.Load(source, capture_mask_);
  list_.Index = list_.Count() > 0 ? 0 : -1;
  RecomputeSize();
  Invalidate();
}

void TQuenImage::SetBrightness(int32_t b) {
  if (b == list_.Brightness()) return;
  list_.SetBrightness(b);
  Invalidate();
}

TCustomDIBX* TQuenImage::Picture() {
  if (!HasExternalPicture())
    if (TQuenImageData* d = list_.Current()) return d->Surface();
  return TQuenCustomImage::Picture();
}

TCustomDIBX* TQuenImage::PictureMask() {
  if (!HasExternalPicture())
    if (TQuenImageData* d = list_.Current()) return d->Mask();
  return TQuenCustomImage::PictureMask();
}

TPoint TQuenImage::PictureSize() const {
  if (!HasExternalPicture())
    if (TBrixItem* item = list_.Item())
      if (TBrixItemFrame* f = item->Frame(list_.Index))
        return {f->Surface.Width(), f->Surface.Height()};
  return TQuenCustomImage::PictureSize();
}

void TQuenImage::RestoreSurfaces() {
  list_.Refresh();
  RecomputeSize();
  Invalidate();
}

void TQuenImage::SaveToStream(TStream& s, int32_t version) const {
  TQuenCustomImage::SaveToStream(s, version);
  WriteString(s, source_);
  WriteInt32(s, list_.Brightness());
}

void TQuenImage::LoadFromStream(TStream& s, int32_t version) {
  TQuenCustomImage::LoadFromStream(s, version);
  const std::string source = ReadString(s);
  list_.SetBrightness(ReadInt32(s));
  SetSource(source);
}

TQuenImage* TQuenImage::MakeScreenSnapshot(TQuenBaseList& registry) {
  registry.DrawAll();
  TCustomDIBX& screen = registry.Screen();
  auto* image = registry.Create<TQuenImage>();
  image->SetName(SnapshotName());
  if (!screen.IsEmpty()) {
    auto* plain = dynamic_cast<TDIBX*>(&screen);
    if (plain && plain->DIB().Width() == screen.Width() &&
        plain->DIB().Height() == screen.Height()) {
      // One pass: the copy is made straight from the frame's pixels, never cleared first.
      image->OwnSurface().AdoptDIB(std::make_unique<TDIBSurface>(plain->DIB()));
    } else {
      image->OwnSurface().SetSize(screen.Width(), screen.Height(), screen.BitCount());
      image->OwnSurface().Assign(screen);
    }
  }
  image->SetParent(&registry.ActiveRoot());
  image->SetBounds(0, 0, screen.Width(), screen.Height());
  return image;
}

}  // namespace quen
