#include "imaging/wipe_twist.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

#include "imaging/pixel_rules.h"
#include "imaging/wipe_util.h"

namespace quen {

namespace {

constexpr double kPi = std::numbers::pi;

// The turn of line i of n: its angle, at φ = t × 3π/2 / T, is φ − (i / n) × π/2.
double LineAngle(int64_t t, int64_t total, int32_t i, int32_t n) {
  const double phi = static_cast<double>(t) * 3 * kPi / 2 / static_cast<double>(total);
  return phi - static_cast<double>(i) / n * kPi / 2;
}

}  // namespace

void TWipeTwistH::DrawStep() {
  int32_t finished = -1;
  for (int32_t i = 0; i < H(); ++i) {
    const int32_t y = Reverse() ? H() - 1 - i : i;
    const double theta = LineAngle(Now(), T(), i, H());
    if (theta < 0) continue;
    if (theta >= kPi) {
      finished = i;
      continue;
    }
    Target().FillRect(TRect{0, y, W(), y + 1}, 0);
    const int32_t w = wipe::Round32(std::cos(theta) * W());
    if (w == 0) continue;
    const int32_t width = std::abs(w), left = (W() - width) / 2;
    Target().StretchDraw(TRect{left, y, left + width, y + 1}, w > 0 ? From() : To(), 255, false,
                         false, false, TRect{0, y, W(), y + 1});
  }
  if (finished < 0) return;
  const int32_t top = Reverse() ? H() - 1 - finished : 0;
  Target().Draw(0, top, false, false, false, TRect{0, top, W(), top + finished + 1}, To());
}

// The same card turn, drawn row by row: a column stretched by the surfaces' nearest-neighbour
// rule would otherwise cost one stretch per column. The angle falls steadily from column to
// column, so the finished columns, the turning ones and those not started each form one run.
template <int D>
void TWipeTwistV::Draw() {
  wipe::TWipeViews v(Target(), From(), To());
  if (!v.Ok()) return;
  const int32_t w = W();
  int32_t done = 0, turning = 0;  // how many, counted from the start side
  struct TColumn {
    const detail::TView* source = nullptr;  // null: cleared
    int32_t top = 0, bottom = 0;
    int64_t start = 0, step = 0;
  };
  std::vector<TColumn> columns(static_cast<size_t>(w));
  for (int32_t i = 0; i < w; ++i) {
    const double theta = LineAngle(Now(), T(), i, w);
    if (theta >= kPi) {
      ++done;
      continue;
    }
    if (theta < 0) break;
    TColumn& c = columns[static_cast<size_t>(turning++)];
    const int32_t h = wipe::Round32(std::cos(theta) * H());
    if (h == 0) continue;
    c.source = h > 0 ? &v.from : &v.to;
    c.top = (H() - std::abs(h)) / 2;
    c.bottom = c.top + std::abs(h);
    const TRect dest{0, c.top, 1, c.bottom};
    detail::TStretchMap map;
    detail::MakeStretchMap(dest, TRect{0, 0, 1, H()}, dest, false, false, map);
    c.start = map.startY;
    c.step = map.dirY;
  }
  // The runs in x; turning columns are kept in the order of x.
  const int32_t doneLo = Reverse() ? w - done : 0, doneHi = Reverse() ? w : done;
  const int32_t turnLo = Reverse() ? w - done - turning : done;
  if (Reverse()) std::reverse(columns.begin(), columns.begin() + turning);
  constexpr int kB = pixel::TFormat<D>::kBytes;
  for (int32_t y = 0; y < H() && doneHi > doneLo; ++y) {
    std::memcpy(v.dst.Row(y) + doneLo * kB, v.to.Row(y) + doneLo * kB,
                static_cast<size_t>(doneHi - doneLo) * kB);
  }
  // Column by column, top to bottom: the rows a column touches stay in the cache for the next
  // column, and a column's source row only moves on. Squeezed columns read rows far apart
  // whatever the order, which makes this kind the slowest at large sizes.
  const int64_t pitch = H() > 1 ? v.dst.Row(1) - v.dst.Row(0) : 0;
  for (int32_t i = 0; i < turning; ++i) {
    const TColumn& c = columns[static_cast<size_t>(i)];
    const int32_t x = turnLo + i;
    uint8_t* d = v.dst.Row(0) + x * kB;
    const int32_t top = c.source ? c.top : H(), bottom = c.source ? c.bottom : H();
    int32_t y = 0;
    for (; y < top; ++y, d += pitch) pixel::Store<D>(d, 0, 0);
    for (int64_t at = c.start; y < bottom; ++y, d += pitch, at += c.step) {
      const int64_t row = std::min<int64_t>(at >> 16, H() - 1);
      pixel::Store<D>(d, 0, pixel::Load<D>(c.source->Row(row), x));
    }
    for (; y < H(); ++y, d += pitch) pixel::Store<D>(d, 0, 0);
  }
}

void TWipeTwistV::DrawStep() {
  wipe::ForDepth(Bits(), [&](auto depth) { Draw<decltype(depth)::value>(); });
}

}  // namespace quen
