// Helpers shared by the drawing operations: locked views of surfaces, source rows fetched
// in the destination's format, and the row operation a blend family applies.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/types.h"
#include "imaging/custom_dibx.h"
#include "imaging/row_ops.h"

namespace quen::detail {

inline int BytesPerPixel(int32_t bits) {
  return bits == 15 ? 2 : bits / 8;
}

// A locked surface: base address, signed pitch, size and depth. Unlocks when it goes.
class TView {
 public:
  explicit TView(TCustomDIBX& s);
  ~TView();
  TView(const TView&) = delete;
  TView& operator=(const TView&) = delete;

  bool Ok() const { return base_ != nullptr; }
  uint8_t* Row(int64_t y) const { return base_ + y * pitch_; }
  uint8_t* At(int64_t x, int64_t y) const { return Row(y) + x * bpp_; }
  int32_t Width() const { return w_; }
  int32_t Height() const { return h_; }
  int32_t Bits() const { return bits_; }
  int Bpp() const { return bpp_; }
  int64_t Pitch() const { return pitch_; }
  TCustomDIBX& Surface() const { return s_; }
  const TColorTable* Palette() const { return palette_; }

  // Gives the view its own copy of the pixels (the source is also the destination).
  void Detach();

 private:
  TCustomDIBX& s_;
  uint8_t* base_ = nullptr;
  int64_t pitch_ = 0;
  int32_t w_ = 0, h_ = 0, bits_ = 0;
  int bpp_ = 1;
  bool locked_ = false;
  const TColorTable* palette_ = nullptr;
  std::vector<uint8_t> copy_;
};

// The destination, source and optional mask of one draw, opened together. A source that is also
// the destination reads a snapshot, so a surface drawn onto itself sees its old pixels.
struct TDrawViews {
  TDrawViews(TCustomDIBX& target, TCustomDIBX& source, TCustomDIBX* mask)
      : dst(target), src(source), maskView(mask ? std::make_unique<TView>(*mask) : nullptr) {
    ok = dst.Ok() && src.Ok() && (!maskView || maskView->Ok());
    if (ok && &source == &target) src.Detach();
  }
  bool Ok() const { return ok; }
  TView* Mask() const { return maskView.get(); }

  TView dst;
  TView src;
  std::unique_ptr<TView> maskView;
  bool ok = false;
};

// How a family puts a source row on a destination row.
enum class TBlendKind { None, Copy, Alpha, Add, Mask, AlphaMask, AddMask };

struct TApply {
  TBlendKind kind = TBlendKind::None;
  uint32_t factor = 0;  // alpha or level, 0..255
  int64_t key = -1;     // native key of the (converted) source, -1 for none
  const TRowOps* ops = nullptr;

  bool NeedsMask() const {
    return kind == TBlendKind::Mask || kind == TBlendKind::AlphaMask || kind == TBlendKind::AddMask;
  }
  void Run(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n) const;
};

// The family chosen by a blend value (0 nothing, 1..254 alpha, 255 copy, 256..511 add), the
// mask forms when masked.
TApply ApplyForBlend(int32_t blend, bool masked, int64_t key, const TRowOps* ops);

// Fetches n source pixels of one row, in the destination's format, into a buffer when
// needed (flipped reading, a different depth); else points at the source itself.
class TRowFetcher {
 public:
  TRowFetcher(const TView& src, int32_t dstBits, int32_t n);
  // Columns first, first - 1, ... when reversed.
  const uint8_t* Fetch(int64_t row, int64_t first, bool reversed);
  // Gathers the listed columns of one row.
  const uint8_t* Gather(int64_t row, const int32_t* cols, int32_t n);
  // The source's key in the destination's format, -1 for none.
  int64_t ConvertKey(int32_t key) const;

 private:
  const TView& src_;
  int32_t dst_bits_;
  std::vector<uint8_t> buf_, tmp_;
};

// Fetches mask bytes the same way (8-bit masks only).
const uint8_t* FetchMaskRow(const TView& mask, std::vector<uint8_t>& buf, int64_t row,
                            int64_t first, int32_t n, bool reversed);

// Cuts srcRect to [0, limitW) × [0, limitH), moving the landing point so that every pixel
// that remains lands where it would have. False when nothing remains.
bool ClampSource(TRect& src, int32_t& x, int32_t& y, bool flipV, bool flipH, int32_t limitW,
                 int32_t limitH);

// An unscaled draw after clipping: destination rectangle, the source column and row of its
// first pixel, read leftwards / upwards when flipped.
struct TBlit {
  int32_t dx = 0, dy = 0, w = 0, h = 0;
  int64_t sx = 0, sy = 0;
  bool flipH = false, flipV = false;
};
bool ClipBlit(const TRect& clip, int32_t x, int32_t y, const TRect& src, bool flipV, bool flipH,
              TBlit& out);

// Nearest-neighbour mapping of a stretch: the source column of every clipped destination
// column (as many as the destination needs) and the source row of each clipped row.
struct TStretchMap {
  std::vector<int32_t> cols;
  int64_t startY = 0, dirY = 0;
  int32_t srcTop = 0, srcBottom = 0;
  // Source row of clipped row i, or -1 when it falls outside the source rectangle.
  int64_t SourceRow(int32_t i) const {
    const int64_t r = (startY + i * dirY) >> 16;
    return r < srcTop || r >= srcBottom ? -1 : r;
  }
};
bool MakeStretchMap(const TRect& destRect, const TRect& srcRect, const TRect& clip, bool flipV,
                    bool flipH, TStretchMap& out);

// Clamped conversions of real values to integers (truncating toward zero).
int64_t TruncClamp(double v, int64_t lo, int64_t hi);

}  // namespace quen::detail
