#include "imaging/wipe_block_coil.h"

#include <algorithm>
#include <cstring>

#include "expr/random_source.h"
#include "imaging/wipe_util.h"

namespace quen {

void TWipeBlockCoil::PrepareMask() {
  size_ = std::min({std::max(10, P0()), W(), H()});
  blocks_.clear();
  const int32_t across = (W() + size_ - 1) / size_, down = (H() + size_ - 1) / size_;
  ListBlocks(size_, across, down);
  binary_ = true;
  drawn_ = Reverse() && Reversible() ? static_cast<int64_t>(blocks_.size()) : -1;
}

void TWipeBlockCoil::ListBlocks(int32_t size, int32_t across, int32_t down) {
  // The remaining area in blocks: its top row, then its right column, bottom row and left
  // column are walked and taken off in turn.
  int32_t left = 0, top = 0, right = across, bottom = down;
  blocks_.reserve(static_cast<size_t>(across) * down);
  while (left < right && top < bottom) {
    for (int32_t c = left; c < right; ++c) blocks_.push_back({c * size, top * size});
    if (++top >= bottom) break;
    for (int32_t r = top; r < bottom; ++r) blocks_.push_back({(right - 1) * size, r * size});
    if (--right <= left) break;
    for (int32_t c = right - 1; c >= left; --c) blocks_.push_back({c * size, (bottom - 1) * size});
    if (--bottom <= top) break;
    for (int32_t r = bottom - 1; r >= top; --r) blocks_.push_back({left * size, r * size});
    ++left;
  }
}

void TWipeBlockRandom::ListBlocks(int32_t size, int32_t across, int32_t down) {
  blocks_.reserve(static_cast<size_t>(across) * down);
  for (int32_t r = 0; r < down; ++r) {
    for (int32_t c = 0; c < across; ++c) blocks_.push_back({c * size, r * size});
  }
  for (size_t i = blocks_.size(); i > 1; --i)
    std::swap(blocks_[i - 1], blocks_[RandomBelow(static_cast<uint32_t>(i))]);
}

void TWipeBlockCoil::FillBlock(size_t i) {
  const TBlock& b = blocks_[i];
  const int32_t right = std::min(b.X + size_, W()), bottom = std::min(b.Y + size_, H());
  for (int32_t y = b.Y; y < bottom; ++y)
    std::memset(MaskRow(y) + b.X, 255, static_cast<size_t>(right - b.X));
}

bool TWipeBlockCoil::UpdateMask() {
  const auto count = static_cast<int64_t>(blocks_.size());
  if (count == 0) return false;
  const bool back = Reverse() && Reversible();
  const int64_t n = wipe::MulDiv(count - 1, back ? T() - Now() : Now(), T());
  // Blocks are only ever added; a film running backwards starts over.
  if (back ? n > drawn_ : n < drawn_) {
    ClearMask(0);
    drawn_ = back ? count : -1;
  }
  if (n == drawn_) return false;
  if (back) {
    for (int64_t i = drawn_ - 1; i >= n; --i) FillBlock(static_cast<size_t>(i));
  } else {
    for (int64_t i = drawn_ + 1; i <= n; ++i) FillBlock(static_cast<size_t>(i));
  }
  drawn_ = n;
  return true;
}

}  // namespace quen
