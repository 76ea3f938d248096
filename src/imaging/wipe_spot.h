// Kinds drawn from per-pixel tables of the distance to the middle: the spotlight ring and
// the ripple.
#pragma once

#include <array>
#include <vector>

#include "imaging/custom_wipe.h"

namespace quen {

// A bright ring runs outwards (reversed: inwards) and leaves the new picture behind it.
class TWipeSpot : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void PrepareKind() override;
  void DrawStep() override;

 private:
  template <int D>
  void Draw();
  std::vector<uint16_t> distance_;
  int64_t span_ = 0;
  std::array<uint32_t, 256> grey_pixels_{};
};

// A wave front runs out from the middle; inside its ring of L pixels the new picture is
// displaced outwards by a sawtooth of amplitude p0.
class TWipeRipple : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void PrepareKind() override;
  void DrawStep() override;

 private:
  template <int D>
  void Draw();
  // Per position of a quarter (|dx| <= W div 2, |dy| <= H div 2, mirrored to the others):
  // the rounded distance to the middle and the direction away from it in 16.16.
  std::vector<uint16_t> distance_;
  std::vector<int32_t> cos_, sin_;
  std::vector<int32_t> displace_;
  int64_t reach_ = 0;
};

}  // namespace quen
