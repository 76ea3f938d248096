// Mask kinds whose mask is a ramp per column or row: blinds and curtains, and the dither.
#pragma once

#include <vector>

#include "imaging/custom_wipe.h"

namespace quen {

// Vertical slats of p0 columns open left to right (reversed: right to left); p1 softens
// their edges. The mask is one row.
class TWipeBlindH : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool UpdateMask() override;
  int32_t MaskHeight() override { return 1; }

 protected:
  void PrepareMask() override { binary_ = P1() < 2; }
};

// Horizontal slats of p0 rows. The mask is one band of slat rows, at most the target's height.
class TWipeBlindV : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool UpdateMask() override;
  int32_t MaskHeight() override;
};

// Columns open in diagonal waves of p0, one after the other; p1 softens them.
class TWipeCurtainH : public TWipeOrderHMask {
 public:
  using TWipeOrderHMask::TWipeOrderHMask;
  // Both at least 1.
  void SetParam(int32_t index, int32_t value) override;
  bool UpdateMask() override;
  int32_t MaskHeight() override { return 1; }

 protected:
  void PrepareMask() override;
};

class TWipeCurtainV : public TWipeOrderVMask {
 public:
  using TWipeOrderVMask::TWipeOrderVMask;
  void SetParam(int32_t index, int32_t value) override;
  bool UpdateMask() override;

 protected:
  void PrepareMask() override;
};

// The new picture appears at the positions of a 64 × 64 tile in a fixed scattered order.
class TWipeDither : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  static constexpr int32_t kTile = 64;
  bool UpdateMask() override;
  int32_t MaskHeight() override { return kTile; }

 protected:
  void PrepareMask() override;

 private:
  std::vector<int32_t> order_;
  std::vector<uint8_t> tile_;
};

}  // namespace quen
