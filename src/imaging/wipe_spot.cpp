#include "imaging/wipe_spot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "imaging/pixel_rules.h"
#include "imaging/wipe_util.h"

namespace quen {

using wipe::MulDiv;

// ---------------------------------------------------------------- TWipeSpot

void TWipeSpot::PrepareKind() {
  const int64_t cx = W() / 2, cy = H() / 2;
  const auto far =
      static_cast<int64_t>(std::nearbyint(std::sqrt(static_cast<double>(cx * cx + cy * cy))));
  span_ = far + 512;
  distance_.resize(static_cast<size_t>(W()) * static_cast<size_t>(H()));
  for (int64_t y = 0; y < H(); ++y) {
    uint16_t* row = &distance_[static_cast<size_t>(y * W())];
    for (int64_t x = 0; x < W(); ++x) {
      const auto d = static_cast<int64_t>(std::nearbyint(
          std::sqrt(static_cast<double>((y - cy) * (y - cy) + (x - cx) * (x - cx)))));
      row[x] = static_cast<uint16_t>(Reverse() ? far - d : d);
    }
  }
  grey_pixels_ = wipe::GreyPixels(Bits());
}

template <int D>
void TWipeSpot::Draw() {
  wipe::TWipeViews v(Target(), From(), To());
  if (!v.Ok()) return;
  const int64_t b = MulDiv(Now(), span_, T());
  // What a pixel at each distance shows now: the new picture once the ring's middle has
  // passed, with the ring's grey added.
  const size_t far = static_cast<size_t>(span_ - 512);
  std::vector<uint32_t> tint(far + 1);
  std::vector<uint8_t> late(far + 1);
  for (size_t n = 0; n <= far; ++n) {
    const auto at = static_cast<int64_t>(n);
    late[n] = b >= at + 256;
    tint[n] = at <= b && b < at + 512
                  ? grey_pixels_[static_cast<size_t>(late[n] ? at - b + 511 : b - at)]
                  : 0;
  }
  for (int32_t y = 0; y < H(); ++y) {
    uint8_t* d = v.dst.Row(y);
    const uint8_t* f = v.from.Row(y);
    const uint8_t* t = v.to.Row(y);
    const uint16_t* n = &distance_[static_cast<size_t>(y) * static_cast<size_t>(W())];
    for (int32_t x = 0; x < W(); ++x) {
      const uint16_t at = n[x];
      pixel::Store<D>(d, x, wipe::AddPixel<D>(pixel::Load<D>(late[at] ? t : f, x), tint[at]));
    }
  }
}

void TWipeSpot::DrawStep() {
  wipe::ForDepth(Bits(), [&](auto depth) { Draw<decltype(depth)::value>(); });
}

// ---------------------------------------------------------------- TWipeRipple

void TWipeRipple::PrepareKind() {
  const int64_t w = W() / 2, h = H() / 2;
  const auto cells = static_cast<size_t>((w + 1) * (h + 1));
  distance_.resize(cells);
  cos_.resize(cells);
  sin_.resize(cells);
  for (int64_t ay = 0; ay <= h; ++ay) {
    for (int64_t ax = 0; ax <= w; ++ax) {
      const double d = std::sqrt(static_cast<double>(ax * ax + ay * ay));
      const auto at = static_cast<size_t>(ay * (w + 1) + ax);
      distance_[at] = static_cast<uint16_t>(std::nearbyint(d));
      // Straight away from the middle (the direction of (x − w, y − h) itself).
      cos_[at] = d > 0 ? static_cast<int32_t>(std::nearbyint(ax / d * 65536)) : 0;
      sin_[at] = d > 0 ? static_cast<int32_t>(std::nearbyint(ay / d * 65536)) : 0;
    }
  }
  const int64_t ring = std::min(w, h) * 2 / 3;
  const int64_t tooth = ring / 4;
  displace_.assign(static_cast<size_t>(ring), 0);
  // On screens below 12 pixels a side the sawtooth has no teeth: no displacement at all.
  if (tooth > 0) {
    for (int64_t i = 0; i < ring; ++i)
      displace_[static_cast<size_t>(i)] = wipe::Clamp32(MulDiv(i % tooth, P0(), tooth));
  }
  reach_ =
      static_cast<int64_t>(std::nearbyint(std::sqrt(static_cast<double>(h * h + w * w)))) + ring;
}

template <int D>
void TWipeRipple::Draw() {
  wipe::TWipeViews v(Target(), From(), To());
  if (!v.Ok()) return;
  const int64_t w = W() / 2, h = H() / 2;
  const auto ring = static_cast<int64_t>(displace_.size());
  const int64_t front = MulDiv(Now(), reach_, T());
  // By distance: the radius the ring displaces a pixel of that distance to, or one of two
  // marks for outside the front (the old picture) and behind the ring (the new one).
  constexpr int64_t kOld = INT64_MIN, kNew = INT64_MIN + 1;
  const size_t far = static_cast<size_t>(distance_.empty() ? 0 : distance_.back());
  std::vector<int64_t> radius(far + 1);
  for (size_t d = 0; d <= far; ++d) {
    const int64_t i = static_cast<int64_t>(d) + (ring - 1) - front;
    radius[d] = i > ring - 1 ? kOld
                : i < 0      ? kNew
                             : static_cast<int64_t>(d) + displace_[static_cast<size_t>(i)];
  }
  for (int32_t y = 0; y < H(); ++y) {
    uint8_t* out = v.dst.Row(y);
    const uint8_t* f = v.from.Row(y);
    const uint8_t* t = v.to.Row(y);
    const int64_t dy = y - h;
    const size_t rowAt = static_cast<size_t>(std::abs(dy) * (w + 1));
    for (int32_t x = 0; x < W(); ++x) {
      const int64_t dx = x - w;
      const size_t at = rowAt + static_cast<size_t>(std::abs(dx));
      const int64_t r = radius[distance_[at]];
      uint32_t p;
      if (r == kOld) {
        p = pixel::Load<D>(f, x);
      } else if (r == kNew) {
        p = pixel::Load<D>(t, x);
      } else {
        const int64_t ox = (r * cos_[at] + 0x8000) >> 16, oy = (r * sin_[at] + 0x8000) >> 16;
        const int64_t sx = w + (dx < 0 ? -ox : ox), sy = h + (dy < 0 ? -oy : oy);
        p = sx >= 0 && sx < W() && sy >= 0 && sy < H() ? pixel::Load<D>(v.to.Row(sy), sx)
                                                       : pixel::Load<D>(t, x);
      }
      pixel::Store<D>(out, x, p);
    }
  }
}

void TWipeRipple::DrawStep() {
  wipe::ForDepth(Bits(), [&](auto depth) { Draw<decltype(depth)::value>(); });
}

}  // namespace quen
