#include "imaging/wipe_sudare.h"

#include <algorithm>
#include <cmath>

#include "imaging/wipe_util.h"

namespace quen {

namespace {

struct TStrips {
  TCustomDIBX& target;
  TCustomDIBX& from;
  TCustomDIBX& to;
  int64_t t, total;
  bool reverse, vertical, rubber;

  // Columns [a, b) (rows when vertical) across the whole picture.
  TRect Band(int64_t a, int64_t b) const {
    const auto lo = static_cast<int32_t>(a), hi = static_cast<int32_t>(b);
    return vertical ? TRect{0, lo, target.Width(), hi} : TRect{lo, 0, hi, target.Height()};
  }

  void Draw() const {
    const int64_t size = vertical ? target.Height() : target.Width();
    int64_t n = wipe::MulDiv(2 * size - 1, t, total);
    TCustomDIBX* source = &from;
    if (n >= size) {
      source = &to;
      n = 2 * size - n - 1;
    }
    int64_t strip = 1;
    if (rubber) {
      const double half = static_cast<double>(total) / 2;
      strip = std::max<int64_t>(1, wipe::Round32(std::fabs(static_cast<double>(t) - half) *
                                                 (static_cast<double>(n + 1) / 2) / half));
    }
    // The band n + 1 wide at the leading edge shows the strip; the rest is drawn unchanged.
    const int64_t bandLo = reverse ? size - n - 1 : 0, bandHi = reverse ? size : n + 1;
    const int64_t start = reverse ? size - n - 1 : rubber ? std::max<int64_t>(0, n - strip) : n;
    target.StretchDraw(Band(bandLo, bandHi), *source, 255, false, false, false,
                       Band(start, std::min(start + strip, size)));
    const int64_t restLo = reverse ? 0 : n + 1, restHi = reverse ? size - n - 1 : size;
    if (restLo < restHi) {
      target.Draw(vertical ? 0 : static_cast<int32_t>(restLo),
                  vertical ? static_cast<int32_t>(restLo) : 0, false, false, false,
                  Band(restLo, restHi), *source);
    }
  }
};

}  // namespace

void TWipeSudareH::DrawStep() {
  TStrips{Target(), From(), To(), Now(), T(), Reverse(), false, false}.Draw();
}

void TWipeSudareV::DrawStep() {
  TStrips{Target(), From(), To(), Now(), T(), Reverse(), true, false}.Draw();
}

void TWipeRubberH::DrawStep() {
  TStrips{Target(), From(), To(), Now(), T(), Reverse(), false, true}.Draw();
}

void TWipeRubberV::DrawStep() {
  TStrips{Target(), From(), To(), Now(), T(), Reverse(), true, true}.Draw();
}

}  // namespace quen
