#include "imaging/brix_scramble.h"

namespace quen {

TBrixScramble::TBrixScramble(int32_t key, int32_t n)
    : random_(key), tree_(static_cast<size_t>(n) + 1, 0), left_(n) {
  for (int32_t i = 1; i <= n; ++i) {
    tree_[i] += 1;
    const int32_t parent = i + (i & -i);
    if (parent <= n) tree_[parent] += tree_[i];
  }
  while (top_ * 2 <= n) top_ *= 2;
}

int32_t TBrixScramble::Next() {
  if (left_ <= 0) return -1;
  // The (k+1)-th entry still present, k = state mod pool size, as the pool's erase gives.
  int32_t k = static_cast<int32_t>(random_.Next() % static_cast<uint32_t>(left_));
  int32_t pos = 0;
  const auto n = static_cast<int32_t>(tree_.size()) - 1;
  for (int32_t step = top_; step > 0; step /= 2) {
    if (pos + step <= n && tree_[pos + step] <= k) {
      pos += step;
      k -= tree_[pos];
    }
  }
  const int32_t index = pos;  // zero-based entry number
  for (int32_t i = index + 1; i <= n; i += i & -i) tree_[i] -= 1;
  --left_;
  return index;
}

}  // namespace quen
