// Each row turns like a card, the turning front moving down (reversed: up); the vertical kind
// turns the columns.
#pragma once

#include "imaging/custom_wipe.h"

namespace quen {

class TWipeTwistH : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

class TWipeTwistV : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;

 private:
  template <int D>
  void Draw();
};

}  // namespace quen
