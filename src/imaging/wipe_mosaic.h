// The picture breaks into coarser and coarser blocks, turns into the new one, and sharpens.
#pragma once

#include "imaging/custom_wipe.h"
#include "imaging/dibx.h"

namespace quen {

class TWipeMosaic : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void PrepareKind() override;
  void DrawStep() override;

 private:
  // The pictures are shrunk into its top-left corner and stretched back; the corner is never
  // larger than a little over a quarter of the target, so that is all it holds.
  TDIBX buffer_;
};

}  // namespace quen
