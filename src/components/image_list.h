// The frames an image component shows: one holder per frame of a cached picture, each with an
// optional private copy brightened or darkened, and the list's animation position.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/dibx.h"

namespace quen {

class TBrixItem;
struct TBrixItemFrame;

class TQuenImageData {
 public:
  TQuenImageData(TBrixItem* item, int32_t index) : item_(item), index_(index) {}

  // The shared frame when the brightness is 0, else the private copy (made on first use and
  // again after the cache decoded the frame anew). Null when the frame is gone.
  TCustomDIBX* Surface();
  TCustomDIBX* Mask() const;
  int32_t Time() const;
  int32_t OffsetX() const;
  int32_t OffsetY() const;
  // b > 0 adds the grey (b, b, b) to every pixel and to the colour key, b < 0 takes it off.
  void SetBrightness(int32_t b);
  bool HasCopy() const { return copy_ != nullptr; }
  void ReleaseSurfaces() { copy_.reset(); }

 private:
  TBrixItemFrame* Frame() const;

  TBrixItem* item_;
  int32_t index_;
  int32_t brightness_ = 0;
  std::unique_ptr<TDIBX> copy_;
  uint64_t copy_generation_ = 0;
};

class TQuenImageList {
 public:
  // Acquisitions are counted for this holder (the component).
  explicit TQuenImageList(const void* owner) : owner_(owner) {}
  ~TQuenImageList() { Clear(); }
  TQuenImageList(const TQuenImageList&) = delete;
  TQuenImageList& operator=(const TQuenImageList&) = delete;

  // Acquires the picture through the cache and makes one holder per frame. Without a cache
  // the list stays empty; a damaged file raises the reader's error and leaves it empty.
  void Load(const std::string& file, bool mask);
  // Takes the picture back and forgets the frames; the animation position goes to none.
  void Clear();
  // One holder per frame again after the cache decoded the picture anew.
  void Refresh();

  TBrixItem* Item() const { return item_; }
  int32_t Count() const { return static_cast<int32_t>(frames_.size()); }
  // Null outside the list.
  TQuenImageData* Frame(int32_t i) {
    return i >= 0 && i < Count() ? &frames_[static_cast<size_t>(i)] : nullptr;
  }
  TQuenImageData* Current() { return Frame(Index); }

  int32_t Brightness() const { return brightness_; }
  void SetBrightness(int32_t b);
  void ReleaseSurfaces();

  // Animation position: the shown frame (-1 none) and the milliseconds it has left.
  int32_t Index = -1;
  int32_t Countdown = 0;

 private:
  const void* owner_;
  TBrixItem* item_ = nullptr;
  std::vector<TQuenImageData> frames_;
  int32_t brightness_ = 0;
};

}  // namespace quen
