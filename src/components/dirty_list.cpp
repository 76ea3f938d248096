#include "components/dirty_list.h"

#include <cstddef>

namespace quen {
namespace {

bool Near(const TRect& a, const TRect& b) {
  const int64_t d = TDirtyList::kMergeDistance;
  return !(int64_t{b.Left} - a.Right > d || int64_t{a.Left} - b.Right > d ||
           int64_t{b.Top} - a.Bottom > d || int64_t{a.Top} - b.Bottom > d);
}

bool Inside(const TRect& inner, const TRect& outer) {
  return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
         inner.Bottom <= outer.Bottom;
}

}  // namespace

void TDirtyList::Add(TRect r) {
  if (r.IsEmpty()) return;
  for (;;) {
    size_t i = 0;
    while (i < rects_.size() && !Near(rects_[i], r)) ++i;
    if (i == rects_.size()) {
      rects_.push_back(r);
      return;
    }
    if (Inside(r, rects_[i])) return;
    r = r.Union(rects_[i]);
    rects_.erase(rects_.begin() + static_cast<std::ptrdiff_t>(i));
  }
}

}  // namespace quen
