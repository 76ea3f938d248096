#include "imaging/wipe_twist.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
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
// rule would otherwise cost one stretch per column.
template <int D>
void TWipeTwistV::Draw() {
  wipe::TWipeViews v(Target(), From(), To());
  if (!v.Ok()) return;
  enum : uint8_t { kSkip, kClear, kStretch, kDone };
  struct TColumn {
    uint8_t kind = kSkip;
    const detail::TView* source = nullptr;
    int32_t top = 0, height = 0;
    int64_t start = 0, step = 0;
  };
  std::vector<TColumn> columns(static_cast<size_t>(W()));
  for (int32_t i = 0; i < W(); ++i) {
    TColumn& c = columns[static_cast<size_t>(Reverse() ? W() - 1 - i : i)];
    const double theta = LineAngle(Now(), T(), i, W());
    if (theta < 0) continue;
    if (theta >= kPi) {
      c.kind = kDone;
      continue;
    }
    const int32_t h = wipe::Round32(std::cos(theta) * H());
    c.kind = h == 0 ? kClear : kStretch;
    if (h == 0) continue;
    c.source = h > 0 ? &v.from : &v.to;
    c.height = std::abs(h);
    c.top = (H() - c.height) / 2;
    const TRect dest{0, c.top, 1, c.top + c.height};
    detail::TStretchMap map;
    detail::MakeStretchMap(dest, TRect{0, 0, 1, H()}, dest, false, false, map);
    c.start = map.startY;
    c.step = map.dirY;
  }
  for (int32_t y = 0; y < H(); ++y) {
    uint8_t* d = v.dst.Row(y);
    for (int32_t x = 0; x < W(); ++x) {
      const TColumn& c = columns[static_cast<size_t>(x)];
      switch (c.kind) {
        case kClear:
          pixel::Store<D>(d, x, 0);
          break;
        case kStretch: {
          uint32_t p = 0;
          if (y >= c.top && y < c.top + c.height) {
            const int64_t row =
                std::clamp<int64_t>((c.start + (y - c.top) * c.step) >> 16, 0, H() - 1);
            p = pixel::Load<D>(c.source->Row(row), x);
          }
          pixel::Store<D>(d, x, p);
          break;
        }
        case kDone:
          pixel::Store<D>(d, x, pixel::Load<D>(v.to.Row(y), x));
          break;
        default:
          break;
      }
    }
  }
}

void TWipeTwistV::DrawStep() {
  wipe::ForDepth(Bits(), [&](auto depth) { Draw<decltype(depth)::value>(); });
}

}  // namespace quen
