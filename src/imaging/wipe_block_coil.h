// Mask kinds that uncover the new picture block by block: along a spiral, or in a random
// order.
#pragma once

#include <vector>

#include "imaging/custom_wipe.h"

namespace quen {

// Blocks of min(max(10, p0), W, H) pixels along a spiral from the top-left corner inwards
// (reversed: from the inner end outwards).
class TWipeBlockCoil : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool UpdateMask() override;

  struct TBlock {
    int32_t X, Y;
  };
  const std::vector<TBlock>& Blocks() const { return blocks_; }

 protected:
  void PrepareMask() override;
  // The blocks in the order they are uncovered.
  virtual void ListBlocks(int32_t size, int32_t across, int32_t down);
  virtual bool Reversible() const { return true; }
  void FillBlock(size_t i);

  std::vector<TBlock> blocks_;
  int32_t size_ = 0;
  int64_t drawn_ = -1;  // index of the last block filled
};

// The blocks of the grid in a uniformly random order from the scripts' random source.
class TWipeBlockRandom : public TWipeBlockCoil {
 public:
  using TWipeBlockCoil::TWipeBlockCoil;

 protected:
  void ListBlocks(int32_t size, int32_t across, int32_t down) override;
  bool Reversible() const override { return false; }
};

}  // namespace quen
