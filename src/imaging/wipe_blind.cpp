#include "imaging/wipe_blind.h"

#include <algorithm>
#include <cstring>

#include "files/kv_random.h"
#include "imaging/wipe_util.h"

namespace quen {

using wipe::MulDiv;

namespace {

// The progress of a blind: (p1 + 2 p0 − 2) × t div T.
int64_t BlindProgress(int64_t p0, int64_t p1, int64_t t, int64_t total) {
  return MulDiv(p1 + 2 * p0 - 2, t, total);
}

// A curtain's column (row) x goes at ((x div p0) + (x mod p0)) × 16.
void CurtainOrder(int32_t count, int32_t p0, bool reverse, std::vector<int32_t>& order) {
  for (int32_t i = 0; i < count; ++i) {
    const int32_t x = reverse ? count - i - 1 : i;
    order[static_cast<size_t>(i)] = x / p0 + x % p0;
  }
}

int64_t CurtainProgress(int64_t count, int64_t p0, int64_t p1, int64_t t, int64_t total) {
  const int64_t cells = (count + p0 - 1) / p0;
  return MulDiv((cells + p0 - 2) * 16 + p1, t, total);
}

}  // namespace

bool TWipeBlindH::UpdateMask() {
  const int64_t b = BlindProgress(P0(), P1(), Now(), T());
  if (!Advance(b)) return false;
  uint8_t* m = MaskRow(0);
  const int32_t p0 = P0();
  for (int32_t x = 0; x < W(); ++x) {
    const int32_t r = x % p0;
    m[x] = Ramp(b, Reverse() ? 2 * (int64_t{p0} - r - 1) : 2 * int64_t{r});
  }
  return true;
}

int32_t TWipeBlindV::MaskHeight() {
  // The band is p0 rows, but rows past the target's height would never be read.
  return std::min(P0(), H());
}

bool TWipeBlindV::UpdateMask() {
  const int64_t b = BlindProgress(P0(), P1(), Now(), T());
  if (!Advance(b)) return false;
  binary_ = true;
  const int64_t p0 = P0();
  for (int32_t y = 0; y < mask_.Height(); ++y) {
    const uint8_t v = Ramp(b, Reverse() ? 2 * (p0 - y - 1) : 2 * int64_t{y});
    if (v != 0 && v != 255) binary_ = false;
    std::memset(MaskRow(y), v, static_cast<size_t>(W()));
  }
  return true;
}

void TWipeCurtainH::SetParam(int32_t index, int32_t value) {
  StoreParam(index, std::max(value, 1));
}

void TWipeCurtainH::PrepareMask() {
  TWipeOrderHMask::PrepareMask();
  CurtainOrder(W(), P0(), Reverse(), order_);
  binary_ = P1() < 2;
}

bool TWipeCurtainH::UpdateMask() {
  const int64_t b = CurtainProgress(W(), P0(), P1(), Now(), T());
  if (!Advance(b)) return false;
  uint8_t* m = MaskRow(0);
  for (int32_t x = 0; x < W(); ++x) m[x] = Ramp(b, int64_t{order_[static_cast<size_t>(x)]} * 16);
  return true;
}

void TWipeCurtainV::SetParam(int32_t index, int32_t value) {
  StoreParam(index, std::max(value, 1));
}

void TWipeCurtainV::PrepareMask() {
  TWipeOrderVMask::PrepareMask();
  CurtainOrder(H(), P0(), Reverse(), order_);
  binary_ = P1() < 2;
}

bool TWipeCurtainV::UpdateMask() {
  const int64_t b = CurtainProgress(H(), P0(), P1(), Now(), T());
  if (!Advance(b)) return false;
  for (int32_t y = 0; y < H(); ++y) {
    std::memset(MaskRow(y), Ramp(b, int64_t{order_[static_cast<size_t>(y)]} * 16),
                static_cast<size_t>(W()));
  }
  return true;
}

void TWipeDither::PrepareMask() {
  TKvRandom random(12341);
  random.Reset(kTile * kTile);
  order_.resize(kTile * kTile);
  for (int32_t& a : order_) a = random.NextIndex();
  tile_.assign(kTile * kTile, 0);
  binary_ = true;
}

bool TWipeDither::UpdateMask() {
  const int64_t n = MulDiv(Now(), kTile * kTile, T());
  if (!Advance(n)) return false;
  const int64_t all = kTile * kTile;
  if (n > all / 2 - 1) {
    std::fill(tile_.begin(), tile_.end(), 255);
    for (int64_t i = std::max<int64_t>(n, 0); i < all; ++i)
      tile_[static_cast<size_t>(order_[static_cast<size_t>(i)])] = 0;
  } else {
    std::fill(tile_.begin(), tile_.end(), 0);
    for (int64_t i = 0; i < n; ++i)
      tile_[static_cast<size_t>(order_[static_cast<size_t>(i)])] = 255;
  }
  for (int32_t y = 0; y < kTile; ++y) {
    uint8_t* row = MaskRow(y);
    const uint8_t* t = &tile_[static_cast<size_t>(y) * kTile];
    for (int32_t x = 0; x < W(); x += kTile)
      std::memcpy(row + x, t, static_cast<size_t>(std::min(kTile, W() - x)));
  }
  return true;
}

}  // namespace quen
