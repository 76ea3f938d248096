// The cache of decoded pictures: one item per file name (and mask and offset wishes), shared by
// every component that shows it, freed when the last one lets it go. Items hold their frames at
// the screen's depth.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "files/hash_collection.h"
#include "imaging/dibx.h"

namespace quen {

class TDIBSurface;
class TQuenBaseList;
class TScreenManager;
class TStream;

// One decoded frame.
struct TBrixItemFrame {
  TDIBX Surface;
  // 8-bit coverage, when the frame has an alpha mask or a mask was asked for.
  std::unique_ptr<TDIBX> Mask;
  // The transparent colour as a native pixel of Surface; -1 none.
  int32_t ColorKey = -1;
  // Display time in milliseconds, at least 1.
  int32_t Time = 1;
  // Where the kept content lies in the whole picture (offset items only).
  int32_t OffsetX = 0, OffsetY = 0;
};

class TBrixItem : public THashItem {
 public:
  const std::string& FileName() const { return file_; }
  bool WantsMask() const { return want_mask_; }
  bool WantsOffsets() const { return want_offsets_; }
  int32_t Count() const { return static_cast<int32_t>(frames_.size()); }
  // Null outside 0 .. Count() - 1.
  TBrixItemFrame* Frame(int32_t i) const {
    return i >= 0 && i < Count() ? frames_[static_cast<size_t>(i)].get() : nullptr;
  }
  // Size of the first frame as decoded.
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t TotalTime() const { return total_time_; }
  // The file was not there: one transparent 8 x 8 frame stands in.
  bool StandIn() const { return stand_in_; }
  // Changes whenever the frames are decoded anew (copies made from them are then stale).
  uint64_t Generation() const { return generation_; }
  // Distinct holders, and how often one holder acquired the item.
  int32_t OwnerCount() const { return static_cast<int32_t>(owners_.size()); }
  int32_t HeldBy(const void* owner) const;

 private:
  friend class TBrixCollection;
  std::string file_;
  bool want_mask_ = false;
  bool want_offsets_ = false;
  std::vector<std::unique_ptr<TBrixItemFrame>> frames_;
  int32_t width_ = 0, height_ = 0, total_time_ = 0;
  bool stand_in_ = false;
  uint64_t generation_ = 0;
  // A holder may hold one file in several slots (button states, a map's picture and hover):
  // each acquisition counts, and only the last release of the last holder frees the item.
  std::map<const void*, int32_t> owners_;
};

class TBrixCollection : public THashCollection {
 public:
  // Becomes the cache every part reaches through BrixCollection(); one at a time.
  TBrixCollection();
  ~TBrixCollection() override;

  // "name", then "?m" when a mask is wanted, then "?t" when offsets are wanted.
  static std::string MakeKey(const std::string& file, bool offsets, bool mask);

  // Finds or loads the item and counts one acquisition by the holder. A file that does not
  // exist gives the transparent stand-in; a damaged one raises the picture reader's error.
  TBrixItem* Acquire(const void* owner, const std::string& file, bool offsets, bool mask);
  // Takes back one acquisition; the item goes with the last one.
  void Release(TBrixItem* item, const void* owner);

  // The project's picture key (0 none) and where the screen's depth comes from (32 without).
  void SetImageKey(int32_t key) { image_key_ = key; }
  void SetScreenManager(const TScreenManager* screen) { screen_ = screen; }
  int32_t Depth() const;

  // Screen-depth decoding: frames decoded at the screen's depth instead of the decoder's
  // default. A change decodes every item again.
  bool ScreenDepthMode() const { return screen_depth_mode_; }
  void SetScreenDepthMode(bool on);

  // Around a display-mode change: drop every frame's pixels, then decode every item again.
  void ReleaseSurfaces();
  void RestoreSurfaces();

  // After a file was rewritten: items of that name stay with their holders, but the next
  // acquisition decodes the file afresh.
  void Forget(const std::string& file);

  // The first frame of a picture, through the cache, as a picture of the screen's depth;
  // false when the file does not exist or cannot be read.
  bool LoadPicture(const std::string& file, TDIBSurface& picture);

  // Items alive, the forgotten ones included.
  int32_t ItemCount() const { return Count() + static_cast<int32_t>(forgotten_.size()); }

  // The status save's part: the mode byte (read only after status version 100).
  void SaveToStream(TStream& s) const;
  void LoadFromStream(TStream& s, int32_t status_version);

 private:
  void Load(TBrixItem& item, bool stand_in = false);
  void Reload(TBrixItem& item);
  void FreeItem(TBrixItem* item);

  int32_t image_key_ = 0;
  const TScreenManager* screen_ = nullptr;
  bool screen_depth_mode_ = false;
  std::vector<std::unique_ptr<THashItem>> forgotten_;
};

// The cache, or null before start-up and after teardown.
TBrixCollection* BrixCollection();

// Sets the screen-depth mode and brings the registry along: every component picks its frames
// again and both screens are drawn whole.
void SetScreenDepthDecoding(TQuenBaseList& registry, bool on);

}  // namespace quen
