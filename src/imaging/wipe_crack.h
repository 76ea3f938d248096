// The old picture breaks into chips of p0 × p0 that drop off one after the other, p1 apart,
// in a random order: each first rises a little, then falls faster and faster.
#pragma once

#include <vector>

#include "imaging/custom_wipe.h"

namespace quen {

// One falling chip: its part of the old picture, when it starts and how far it drifts.
class TWipeCrackDraw {
 public:
  TRect Home;         // also its part of the picture
  int64_t Start = 0;  // in the transition's time scale
  int32_t Drift = 0;  // -100 .. 99: hundredths of a pixel per unit of time

  // Where it is a time a after its start; false once it has fallen past the bottom h.
  bool Place(int64_t a, int32_t h, int32_t& x, int32_t& y) const;
};

class TWipeCrack : public TCustomWipe {
 public:
  TWipeCrack(TCustomDIBX& target, TCustomDIBX& to, TCustomDIBX& from);
  // p0 at least 16, p1 at least 0.
  void SetParam(int32_t index, int32_t value) override;

  const std::vector<TWipeCrackDraw>& Chips() const { return chips_; }
  // The smallest e with (5e² − 1500e) div 1000 >= h: when a chip from the top has left.
  static int64_t FallTime(int32_t h);

 protected:
  void PrepareKind() override;
  void DrawStep() override;

 private:
  std::vector<TWipeCrackDraw> chips_;  // in their order of falling
  int64_t fall_ = 0, scale_ = 0;
};

}  // namespace quen
