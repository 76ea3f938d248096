// Growing squares in a grid of p0 × p0 cells, each starting when the front reaches its rank.
#pragma once

#include <vector>

#include "imaging/custom_wipe.h"

namespace quen {

// Ranked by the distance from the top-left cell (reversed: from the bottom-right one).
class TWipeGrid : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool UpdateMask() override;

 protected:
  void PrepareMask() override;
  // Rank of a cell, and the D of the progress (4 × the largest rank).
  virtual int64_t Rank(int64_t row, int64_t col, int64_t down, int64_t across);
  virtual int64_t Span(int64_t down, int64_t across);

 private:
  std::vector<int32_t> rank_;  // per cell of the rows the mask holds
  int64_t across_ = 0, rows_ = 0, span_ = 0;
};

// Ranked by column; the mask is one band of cells.
class TWipeGridH : public TWipeGrid {
 public:
  using TWipeGrid::TWipeGrid;
  int32_t MaskHeight() override;

 protected:
  int64_t Rank(int64_t row, int64_t col, int64_t down, int64_t across) override;
  int64_t Span(int64_t, int64_t across) override { return 4 * across; }
};

// Ranked by row.
class TWipeGridV : public TWipeGrid {
 public:
  using TWipeGrid::TWipeGrid;

 protected:
  int64_t Rank(int64_t row, int64_t col, int64_t down, int64_t across) override;
  int64_t Span(int64_t down, int64_t) override { return 4 * down; }
};

}  // namespace quen
