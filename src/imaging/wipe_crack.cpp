#include "imaging/wipe_crack.h"

#include <algorithm>

#include "expr/random_source.h"
#include "imaging/wipe_util.h"

namespace quen {

namespace {

int64_t Drop(int64_t a) {
  return (5 * a * a - 1500 * a) / 1000;
}

}  // namespace

bool TWipeCrackDraw::Place(int64_t a, int32_t h, int32_t& x, int32_t& y) const {
  const int64_t top = Home.Top + Drop(a);
  if (top >= h) return false;
  x = wipe::Clamp32(Home.Left + a * Drift / 100);
  y = static_cast<int32_t>(top);
  return true;
}

int64_t TWipeCrack::FallTime(int32_t h) {
  int64_t e = 0;
  while (Drop(e) < h) ++e;
  return e;
}

TWipeCrack::TWipeCrack(TCustomDIBX& target, TCustomDIBX& to, TCustomDIBX& from)
    : TCustomWipe(target, to, from) {
  StoreParam(0, 16);
}

void TWipeCrack::SetParam(int32_t index, int32_t value) {
  StoreParam(index, std::max(value, index == 0 ? 16 : 0));
}

void TWipeCrack::PrepareKind() {
  const int32_t size = P0();
  const int32_t across = static_cast<int32_t>((int64_t{W()} + size - 1) / size);
  const int32_t down = static_cast<int32_t>((int64_t{H()} + size - 1) / size);
  std::vector<int32_t> order(static_cast<size_t>(across) * static_cast<size_t>(down));
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int32_t>(i);
  for (size_t i = order.size(); i > 1; --i)
    std::swap(order[i - 1], order[RandomBelow(static_cast<uint32_t>(i))]);
  chips_.resize(order.size());
  for (size_t j = 0; j < order.size(); ++j) {
    TWipeCrackDraw& c = chips_[j];
    const int64_t left = int64_t{order[j] % across} * size, top = int64_t{order[j] / across} * size;
    c.Home = TRect{static_cast<int32_t>(left), static_cast<int32_t>(top),
                   static_cast<int32_t>(std::min<int64_t>(left + size, W())),
                   static_cast<int32_t>(std::min<int64_t>(top + size, H()))};
    c.Start = static_cast<int64_t>(j) * P1();
    c.Drift = static_cast<int32_t>(RandomBelow(200)) - 100;
  }
  fall_ = FallTime(H());
  scale_ = wipe::Clamp32(fall_ + static_cast<int64_t>(chips_.size() - 1) * P1());
}

void TWipeCrack::DrawStep() {
  const int64_t b = wipe::MulDiv(Now(), scale_, T());
  Target().Assign(To());
  for (const TWipeCrackDraw& c : chips_) {
    if (c.Start > b) Target().Draw(c.Home.Left, c.Home.Top, false, false, false, c.Home, From());
  }
  for (auto it = chips_.rbegin(); it != chips_.rend(); ++it) {
    if (it->Start > b) continue;
    const int64_t a = b - it->Start;
    // Past the fall time even a chip of the top row is below the picture.
    int32_t x, y;
    if (a >= fall_ || !it->Place(a, H(), x, y)) continue;
    Target().Draw(x, y, false, false, false, it->Home, From());
  }
}

}  // namespace quen
