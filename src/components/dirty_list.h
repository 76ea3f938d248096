// The rectangles a root repaints in the next draw pass. Close rectangles merge so that many
// small changes cost few repaints.
#pragma once

#include <vector>

#include "base/types.h"

namespace quen {

class TDirtyList {
 public:
  // Rectangles at most this many pixels apart in both directions are merged.
  static constexpr int32_t kMergeDistance = 20;

  void Add(TRect r);
  void Clear() { rects_.clear(); }
  const std::vector<TRect>& Rects() const { return rects_; }

 private:
  std::vector<TRect> rects_;
};

}  // namespace quen
