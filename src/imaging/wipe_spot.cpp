#include "imaging/wipe_spot.h"

#include <algorithm>
#include <cmath>
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
  for (int32_t y = 0; y < H(); ++y) {
    uint8_t* d = v.dst.Row(y);
    const uint8_t* f = v.from.Row(y);
    const uint8_t* t = v.to.Row(y);
    const uint16_t* n = &distance_[static_cast<size_t>(y) * static_cast<size_t>(W())];
    for (int32_t x = 0; x < W(); ++x) {
      const int64_t at = n[x];
      const bool old = b < at + 256;
      uint32_t p = pixel::Load<D>(old ? f : t, x);
      if (at <= b && b < at + 512) {
        const int64_t level = old ? b - at : at - b + 511;
        p = pixel::AddSat<D>(p, grey_pixels_[static_cast<size_t>(level)]);
      }
      pixel::Store<D>(d, x, p);
    }
  }
}

void TWipeSpot::DrawStep() {
  wipe::ForDepth(Bits(), [&](auto depth) { Draw<decltype(depth)::value>(); });
}

// ---------------------------------------------------------------- TWipeRipple

void TWipeRipple::PrepareKind() {
  const int64_t w = W() / 2, h = H() / 2;
  quarter_.resize(static_cast<size_t>((w + 1) * (h + 1)));
  for (int64_t ay = 0; ay <= h; ++ay) {
    for (int64_t ax = 0; ax <= w; ++ax) {
      const double d = std::sqrt(static_cast<double>(ax * ax + ay * ay));
      TSpoke& s = quarter_[static_cast<size_t>(ay * (w + 1) + ax)];
      s.Distance = static_cast<int32_t>(std::nearbyint(d));
      // Straight away from the middle (the direction of (x − w, y − h) itself).
      s.Cos = d > 0 ? static_cast<int32_t>(std::nearbyint(ax / d * 65536)) : 0;
      s.Sin = d > 0 ? static_cast<int32_t>(std::nearbyint(ay / d * 65536)) : 0;
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
  for (int32_t y = 0; y < H(); ++y) {
    uint8_t* d = v.dst.Row(y);
    const uint8_t* f = v.from.Row(y);
    const uint8_t* t = v.to.Row(y);
    const int64_t dy = y - h;
    const TSpoke* spokes = &quarter_[static_cast<size_t>(std::abs(dy) * (w + 1))];
    for (int32_t x = 0; x < W(); ++x) {
      const int64_t dx = x - w;
      const TSpoke& s = spokes[std::abs(dx)];
      const int64_t i = s.Distance + (ring - 1) - front;
      uint32_t p;
      if (i > ring - 1) {
        p = pixel::Load<D>(f, x);
      } else if (i < 0) {
        p = pixel::Load<D>(t, x);
      } else {
        const int64_t r = s.Distance + displace_[static_cast<size_t>(i)];
        const int64_t ox = (r * s.Cos + 0x8000) >> 16, oy = (r * s.Sin + 0x8000) >> 16;
        const int64_t sx = w + (dx < 0 ? -ox : ox), sy = h + (dy < 0 ? -oy : oy);
        if (sx >= 0 && sx < W() && sy >= 0 && sy < H())
          p = pixel::Load<D>(v.to.Row(sy), sx);
        else
          p = pixel::Load<D>(t, x);
      }
      pixel::Store<D>(d, x, p);
    }
  }
}

void TWipeRipple::DrawStep() {
  wipe::ForDepth(Bits(), [&](auto depth) { Draw<decltype(depth)::value>(); });
}

}  // namespace quen
