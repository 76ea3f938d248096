#include "imaging/wipe_grid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/wipe_util.h"

namespace quen {

using wipe::MulDiv;

namespace {

int64_t RoundedHypot(int64_t a, int64_t b) {
  return std::llround(std::sqrt(static_cast<double>(a * a + b * b)));
}

}  // namespace

int64_t TWipeGrid::Rank(int64_t row, int64_t col, int64_t down, int64_t across) {
  if (Reverse()) {
    row = down - 1 - row;
    col = across - 1 - col;
  }
  return RoundedHypot(row, col);
}

int64_t TWipeGrid::Span(int64_t down, int64_t across) {
  return 4 * RoundedHypot(down - 1, across - 1);
}

int64_t TWipeGridH::Rank(int64_t, int64_t col, int64_t, int64_t across) {
  return Reverse() ? across - 1 - col : col;
}

int32_t TWipeGridH::MaskHeight() {
  return std::min(P0(), H());
}

int64_t TWipeGridV::Rank(int64_t row, int64_t, int64_t down, int64_t) {
  return Reverse() ? down - 1 - row : row;
}

void TWipeGrid::PrepareMask() {
  const int64_t p0 = P0();
  across_ = (W() + p0 - 1) / p0;
  const int64_t down = (H() + p0 - 1) / p0;
  // Only the cells that reach into the mask are ever drawn.
  rows_ = (mask_.Height() + p0 - 1) / p0;
  span_ = Span(down, across_);
  rank_.resize(static_cast<size_t>(rows_ * across_));
  for (int64_t r = 0; r < rows_; ++r) {
    for (int64_t c = 0; c < across_; ++c)
      rank_[static_cast<size_t>(r * across_ + c)] = static_cast<int32_t>(Rank(r, c, down, across_));
  }
  binary_ = P1() < 2;
}

bool TWipeGrid::UpdateMask() {
  const int64_t p0 = P0(), p1 = P1();
  const int64_t b = MulDiv(p1 + span_ - 4, Now(), T());
  if (!Advance(b)) return false;
  ClearMask(0);
  const int64_t mw = W(), mh = mask_.Height();
  for (int64_t r = 0; r < rows_; ++r) {
    for (int64_t c = 0; c < across_; ++c) {
      const int64_t h = 4 * int64_t{rank_[static_cast<size_t>(r * across_ + c)]};
      if (h > b) continue;
      const int64_t s = std::min(MulDiv(p0, b - h, p1), p0);
      if (s <= 0) continue;
      const uint8_t value = Ramp(b, h);
      // Squares of the last column and row, and of a band lower than a cell, are cut.
      const int64_t x0 = c * p0 + (p0 - s) / 2, y0 = r * p0 + (p0 - s) / 2;
      const int64_t left = std::max<int64_t>(x0, 0), right = std::min(x0 + s, mw);
      const int64_t top = std::max<int64_t>(y0, 0), bottom = std::min(y0 + s, mh);
      if (left >= right) continue;
      for (int64_t y = top; y < bottom; ++y)
        std::memset(MaskRow(static_cast<int32_t>(y)) + left, value,
                    static_cast<size_t>(right - left));
    }
  }
  return true;
}

}  // namespace quen
