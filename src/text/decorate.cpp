#include "text/decorate.h"

#include <algorithm>

namespace quen {

TDecorate* TDecorateList::Acquire(const TDecorate& looks, int32_t n) {
  // Newest first: a text mostly reuses the looks it made last.
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    if ((*it)->SameLooks(looks)) {
      (*it)->refs_ += n;
      return it->get();
    }
  }
  auto d = std::make_unique<TDecorate>(looks);
  d->refs_ = n;
  items_.push_back(std::move(d));
  return items_.back().get();
}

void TDecorateList::Release(TDecorate* d) {
  if (!d || --d->refs_ > 0) return;
  auto it = std::find_if(items_.begin(), items_.end(), [d](const auto& p) { return p.get() == d; });
  if (it != items_.end()) items_.erase(it);
}

int32_t TDecorateList::IndexOf(const TDecorate* d) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].get() == d) return static_cast<int32_t>(i);
  }
  return -1;
}

}  // namespace quen
