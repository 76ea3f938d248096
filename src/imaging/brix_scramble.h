// The scrambled order of rows and block tables: the sequence TKvRandom::NextIndex gives for
// a pool of n entries, found in O(log n) per step so that a large pool cannot stall a load.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/kv_random.h"

namespace quen {

class TBrixScramble {
 public:
  // n must be above 0.
  TBrixScramble(int32_t key, int32_t n);
  // The next entry taken out of the pool.
  int32_t Next();

 private:
  TKvRandom random_;
  std::vector<int32_t> tree_;  // Fenwick tree over the entries still in the pool
  int32_t left_;
  int32_t top_ = 1;
};

}  // namespace quen
