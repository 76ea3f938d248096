#include "imaging/wipe_clockhand.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "imaging/wipe_util.h"

namespace quen {

namespace {

constexpr double kPi = std::numbers::pi;

int64_t FloorDiv2(int64_t a) {
  return a >= 0 ? a / 2 : -((-a + 1) / 2);
}

// Largest k with k × k <= n (n >= 0).
int64_t ISqrt(int64_t n) {
  auto k = static_cast<int64_t>(std::sqrt(static_cast<double>(n)));
  while (k > 0 && k * k > n) --k;
  while ((k + 1) * (k + 1) <= n) ++k;
  return k;
}

// Pixel centres and the middle are measured in half pixels, so that the middle of an area of
// odd size needs no fraction: the centre of pixel x lies at 2x + 1 − w from the middle.
template <class F>
void DiscRows(int64_t w, int64_t h, int64_t c, F&& row) {
  if (c <= 0) return;
  const int64_t outer = (2 * c + 1) * (2 * c + 1);
  for (int64_t y = 0; y < h; ++y) {
    const int64_t py = 2 * y + 1 - h;
    const int64_t room = outer - py * py;
    if (room <= 0) continue;
    const int64_t k = ISqrt(room - 1);  // |px| <= k
    const int64_t x0 = std::max<int64_t>(-FloorDiv2(k - w + 1), 0);
    const int64_t x1 = std::min<int64_t>(FloorDiv2(w - 1 + k) + 1, w);
    if (x0 < x1) row(y, x0, x1);
  }
}

struct TRun {
  int32_t lo, hi;  // the columns lo <= x < hi
};

// The columns of a row where a test holds that changes its answer at most once along it.
template <class F>
TRun MonotoneRun(int32_t w, F&& holds) {
  if (w <= 0) return {0, 0};
  const bool left = holds(0), right = holds(w - 1);
  if (left == right) return left ? TRun{0, w} : TRun{0, 0};
  // The first column whose answer differs from the left end's.
  int32_t lo = 0, hi = w - 1;
  while (hi - lo > 1) {
    const int32_t mid = lo + (hi - lo) / 2;
    (holds(mid) == left ? lo : hi) = mid;
  }
  return left ? TRun{0, hi} : TRun{hi, w};
}

}  // namespace

double TWipeClockhand::StartAngle() const {
  return static_cast<double>(P0()) * 2 * kPi / 360 - kPi / 2;
}

void TWipeClockhand::FillSector(double a, double s) {
  if (s <= 0) return;
  if (s >= 2 * kPi) {
    for (int32_t y = 0; y < mask_.Height(); ++y)
      std::memset(MaskRow(y), 255, static_cast<size_t>(W()));
    return;
  }
  // Clockwise on screen is the direction of growing angles with rows growing downwards. With
  // u the start direction and v the end one, a centre p lies in [a, a + π] when u × p >= 0 and
  // in [a + s − π, a + s] when p × v >= 0: the sector is both for s <= π, either beyond.
  // The radius reaches every pixel centre, so the angle alone decides.
  // Along a row each test is monotone in x, so each holds on one run of the row, found by
  // bisection with the very test a pixel would take.
  const double ux = std::cos(a), uy = std::sin(a), vx = std::cos(a + s), vy = std::sin(a + s);
  const bool narrow = s <= kPi;
  const int32_t w = W();
  for (int32_t y = 0; y < mask_.Height(); ++y) {
    uint8_t* m = MaskRow(y);
    const double py = 2.0 * y + 1 - H();
    const double a1 = ux * py, b2 = py * vx;
    const TRun first = MonotoneRun(w, [&](int32_t x) { return a1 - uy * (2.0 * x + 1 - w) >= 0; });
    const TRun second = MonotoneRun(w, [&](int32_t x) { return (2.0 * x + 1 - w) * vy - b2 >= 0; });
    if (narrow) {
      const int32_t lo = std::max(first.lo, second.lo), hi = std::min(first.hi, second.hi);
      if (lo < hi) std::memset(m + lo, 255, static_cast<size_t>(hi - lo));
    } else {
      for (const TRun& r : {first, second}) {
        if (r.lo < r.hi) std::memset(m + r.lo, 255, static_cast<size_t>(r.hi - r.lo));
      }
    }
  }
}

bool TWipeClockhand::UpdateMask() {
  if (!Advance(Now())) return false;
  ClearMask(0);
  const double s = 2 * kPi * static_cast<double>(Now()) / static_cast<double>(T());
  const double a0 = StartAngle();
  FillSector(Reverse() ? a0 - s : a0, s);
  return true;
}

bool TWipeFan::UpdateMask() {
  if (!Advance(Now())) return false;
  ClearMask(0);
  const double half = kPi * static_cast<double>(Now()) / static_cast<double>(T());
  FillSector(StartAngle() - half, 2 * half);
  return true;
}

bool TWipeWFan::UpdateMask() {
  if (!Advance(Now())) return false;
  ClearMask(0);
  const double half = kPi / 2 * static_cast<double>(Now()) / static_cast<double>(T());
  FillSector(StartAngle() - half, 2 * half);
  FillSector(StartAngle() + kPi - half, 2 * half);
  return true;
}

bool TWipeCircle::UpdateMask() {
  const int64_t hw = W() / 2, hh = H() / 2;
  const double r = std::sqrt(static_cast<double>(hw * hw + hh * hh));
  const double t = static_cast<double>(Now()), total = static_cast<double>(T());
  const int64_t c = wipe::Round32(r * (Reverse() ? total - t : t) / total);
  if (!Advance(c)) return false;
  const uint8_t inside = Reverse() ? 0 : 255;
  ClearMask(Reverse() ? 255 : 0);
  DiscRows(W(), H(), c, [&](int64_t y, int64_t x0, int64_t x1) {
    std::memset(MaskRow(static_cast<int32_t>(y)) + x0, inside, static_cast<size_t>(x1 - x0));
  });
  return true;
}

}  // namespace quen
