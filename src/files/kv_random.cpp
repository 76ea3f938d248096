#include "files/kv_random.h"

namespace quen {

void TKvRandom::Reset(int32_t count) {
  pool_.clear();
  for (int32_t i = 0; i < count; ++i) pool_.push_back(i);
}

int32_t TKvRandom::NextIndex() {
  // An empty pool would divide by zero; it gives -1 and leaves the state alone.
  if (pool_.empty()) return -1;
  uint32_t i = Next() % static_cast<uint32_t>(pool_.size());
  int32_t v = pool_[i];
  pool_.erase(pool_.begin() + i);
  return v;
}

}  // namespace quen
