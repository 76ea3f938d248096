#include "expr/random_source.h"

#include <array>
#include <mutex>

#include "platform/clock.h"

namespace quen {

namespace {

// xoshiro256** seeded through splitmix64.
class TRandomSource {
 public:
  void Seed(uint64_t seed) {
    for (uint64_t& word : s_) word = SplitMix(seed);
    seeded_ = true;
  }

  // Uniform in 0 <= r < bound (bound > 0): the multiply-and-shift method, rejecting the few
  // products that would favour some results over others.
  uint32_t Below(uint32_t bound) {
    if (!seeded_) SeedFromClock();
    uint64_t m = (Next() >> 32) * bound;
    auto low = static_cast<uint32_t>(m);
    if (low < bound) {
      uint32_t threshold = (0u - bound) % bound;
      while (low < threshold) {
        m = (Next() >> 32) * bound;
        low = static_cast<uint32_t>(m);
      }
    }
    return static_cast<uint32_t>(m >> 32);
  }

  double Unit() {
    if (!seeded_) SeedFromClock();
    return static_cast<double>(Next() >> 11) * 0x1.0p-53;
  }

 private:
  static uint64_t SplitMix(uint64_t& x) {
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

  uint64_t Next() {
    uint64_t result = Rotl(s_[1] * 5, 7) * 9;
    uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotl(s_[3], 45);
    return result;
  }

  void SeedFromClock() { Seed(platform::Clock().Entropy()); }

  std::array<uint64_t, 4> s_{};
  bool seeded_ = false;
};

std::mutex g_random_mutex;
TRandomSource g_random;

}  // namespace

void SetRandomSeed(uint64_t seed) {
  std::lock_guard<std::mutex> lock(g_random_mutex);
  g_random.Seed(seed);
}

uint32_t RandomBelow(uint32_t bound) {
  if (bound == 0) return 0;
  std::lock_guard<std::mutex> lock(g_random_mutex);
  return g_random.Below(bound);
}

int32_t RandomBelow(int32_t n) {
  return n <= 0 ? 0 : static_cast<int32_t>(RandomBelow(static_cast<uint32_t>(n)));
}

double RandomUnit() {
  std::lock_guard<std::mutex> lock(g_random_mutex);
  return g_random.Unit();
}

}  // namespace quen
