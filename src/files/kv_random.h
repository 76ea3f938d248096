// The small deterministic generator shared by archives, layered images and the dither
// transition: state := state * 5 + increment (mod 2^32).
#pragma once

#include <cstdint>
#include <vector>

namespace quen {

class TKvRandom {
 public:
  explicit TKvRandom(int32_t increment) : increment_(increment) {}

  uint32_t Next() {
    state_ = state_ * 5u + static_cast<uint32_t>(increment_);
    return state_;
  }
  // The pool becomes 0 .. count-1; the state is kept.
  void Reset(int32_t count);
  // Takes a random entry out of the pool; -1 when the pool is empty.
  int32_t NextIndex();

  uint32_t State() const { return state_; }
  int32_t PoolSize() const { return static_cast<int32_t>(pool_.size()); }

 private:
  int32_t increment_;
  uint32_t state_ = 0;
  std::vector<int32_t> pool_;
};

}  // namespace quen
