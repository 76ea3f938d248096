#include "components/image_list.h"

#include <algorithm>
#include <cstdlib>

#include "base/types.h"
#include "components/brix_collection.h"

namespace quen {

TBrixItemFrame* TQuenImageData::Frame() const {
  return item_ ? item_->Frame(index_) : nullptr;
}

TCustomDIBX* TQuenImageData::Mask() const {
  TBrixItemFrame* f = Frame();
  return f && f->Mask && !f->Mask->IsEmpty() ? f->Mask.get() : nullptr;
}

int32_t TQuenImageData::Time() const {
  TBrixItemFrame* f = Frame();
  return f ? f->Time : 1;
}

int32_t TQuenImageData::OffsetX() const {
  TBrixItemFrame* f = Frame();
  return f ? f->OffsetX : 0;
}

int32_t TQuenImageData::OffsetY() const {
  TBrixItemFrame* f = Frame();
  return f ? f->OffsetY : 0;
}

void TQuenImageData::SetBrightness(int32_t b) {
  if (b == brightness_) return;
  brightness_ = b;
  copy_.reset();
}

TCustomDIBX* TQuenImageData::Surface() {
  TBrixItemFrame* f = Frame();
  if (!f || f->Surface.IsEmpty()) return nullptr;
  if (brightness_ == 0) return &f->Surface;
  if (copy_ && copy_generation_ == item_->Generation()) return copy_.get();
  TDIBX& src = f->Surface;
  auto copy = std::make_unique<TDIBX>();
  copy->SetSize(src.Width(), src.Height(), src.BitCount());
  copy->Assign(src);
  const uint8_t level =
      static_cast<uint8_t>(std::min<int64_t>(std::abs(int64_t{brightness_}), 255));
  const auto grey = static_cast<uint32_t>(copy->ColorToPixel(RGBColor(level, level, level)));
  const TRect whole{0, 0, copy->Width(), copy->Height()};
  auto adjust = [&](TCustomDIBX& s, const TRect& r) {
    if (brightness_ > 0)
      s.FillRectAdd(r, grey);
    else
      s.FillRectSub(r, grey);
  };
  adjust(*copy, whole);
  // The key moves with the pixels, so what was transparent stays transparent.
  if (f->ColorKey != -1) {
    TDIBX key;
    key.SetSize(1, 1, src.BitCount());
    key.SetPixel(0, 0, static_cast<uint32_t>(f->ColorKey));
    adjust(key, TRect{0, 0, 1, 1});
    copy->SetColorKey(static_cast<int32_t>(key.GetPixel(0, 0)));
  }
  copy->SetRegions(src.DrawRegions(), src.SecondRegions());
  copy_ = std::move(copy);
  copy_generation_ = item_->Generation();
  return copy_.get();
}

void TQuenImageList::Load(const std::string& file, bool mask) {
  Clear();
  TBrixCollection* cache = BrixCollection();
  if (!cache) return;
  item_ = cache->Acquire(owner_, file, false, mask);
  frames_.reserve(static_cast<size_t>(item_->Count()));
  for (int32_t i = 0; i < item_->Count(); ++i) {
    frames_.emplace_back(item_, i);
    frames_.back().SetBrightness(brightness_);
  }
}

void TQuenImageList::Refresh() {
  if (!item_ || item_->Count() == Count()) return;
  frames_.clear();
  for (int32_t i = 0; i < item_->Count(); ++i) {
    frames_.emplace_back(item_, i);
    frames_.back().SetBrightness(brightness_);
  }
}

void TQuenImageList::Clear() {
  frames_.clear();
  Index = -1;
  Countdown = 0;
  if (item_) {
    if (TBrixCollection* cache = BrixCollection()) cache->Release(item_, owner_);
    item_ = nullptr;
  }
}

void TQuenImageList::SetBrightness(int32_t b) {
  brightness_ = b;
  for (auto& f : frames_) f.SetBrightness(b);
}

void TQuenImageList::ReleaseSurfaces() {
  for (auto& f : frames_) f.ReleaseSurfaces();
}

}  // namespace quen
