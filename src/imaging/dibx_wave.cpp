#include "imaging/dibx_wave.h"

#include <algorithm>

namespace quen {

namespace {

// Sideways moves saturate: a rectangle at the edge of the coordinate range stays there.
int32_t Move(int32_t v, int32_t o) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{v} + o, INT32_MIN, INT32_MAX));
}

TRect Move(const TRect& r, int32_t o) {
  return TRect{Move(r.Left, o), r.Top, Move(r.Right, o), r.Bottom};
}

}  // namespace

void TDIBXWave::SetTarget(TCustomDIBX* target, int32_t left, int32_t top) {
  target_ = target;
  left_ = left;
  top_ = top;
}

void TDIBXWave::SetSize(int32_t width, int32_t height, int32_t /*bits*/) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  offsets_.resize(static_cast<size_t>(height_), 0);
}

template <class Fn>
void TDIBXWave::Strips(int64_t y0, int64_t y1, Fn draw) {
  if (!target_) return;
  saved_target_rect_ = target_->UpdateRect();
  const TRect clip = target_->ClipRect();
  y0 = std::max<int64_t>({y0, top_, clip.Top});
  y1 = std::min<int64_t>({y1, int64_t{top_} + static_cast<int64_t>(offsets_.size()), clip.Bottom});
  struct TRestore {
    TCustomDIBX* t;
    TRect r;
    ~TRestore() {
      t->ResetUpdateRect();
      t->AddUpdateRect(r);
    }
  } restore{target_, saved_target_rect_};
  for (int64_t y = y0; y < y1;) {
    const int32_t off = offsets_[static_cast<size_t>(y - top_)];
    int64_t e = y + 1;
    while (e < y1 && offsets_[static_cast<size_t>(e - top_)] == off) ++e;
    target_->ResetUpdateRect();
    target_->AddUpdateRect(
        TRect{clip.Left, static_cast<int32_t>(y), clip.Right, static_cast<int32_t>(e)});
    draw(off);
    y = e;
  }
}

uint32_t TDIBXWave::GetPixel(int32_t x, int32_t y) {
  const int64_t i = int64_t{y} - top_;
  if (!target_ || i < 0 || i >= static_cast<int64_t>(offsets_.size())) return 0;
  return target_->GetPixel(Move(x, offsets_[static_cast<size_t>(i)]), y);
}

void TDIBXWave::SetPixel(int32_t x, int32_t y, uint32_t pixel) {
  const int64_t i = int64_t{y} - top_;
  if (!target_ || i < 0 || i >= static_cast<int64_t>(offsets_.size())) return;
  target_->SetPixel(Move(x, offsets_[static_cast<size_t>(i)]), y, pixel);
}

void TDIBXWave::ResetUpdateRect() {
  TCustomDIBX::ResetUpdateRect();
  if (target_) target_->ResetUpdateRect();
}

void TDIBXWave::AddUpdateRect(const TRect& rect) {
  const TRect r = rect.Intersect(TRect{left_, top_, left_ + width_, top_ + height_});
  if (r.IsEmpty()) return;
  update_rect_ = update_rect_.Right == 0 ? r : update_rect_.Union(r);
  if (target_) target_->AddUpdateRect(r);
}

int32_t TDIBXWave::ColorToPixel(TColor color) {
  return target_ ? target_->ColorToPixel(color) : -1;
}

void TDIBXWave::FillRect(const TRect& rect, uint32_t pixel) {
  Strips(rect.Top, rect.Bottom, [&](int32_t o) { target_->FillRect(Move(rect, o), pixel); });
}

void TDIBXWave::FillRectAlpha(const TRect& rect, uint32_t pixel, int32_t alpha) {
  Strips(rect.Top, rect.Bottom,
         [&](int32_t o) { target_->FillRectAlpha(Move(rect, o), pixel, alpha); });
}

void TDIBXWave::FillRectAdd(const TRect& rect, uint32_t pixel) {
  Strips(rect.Top, rect.Bottom, [&](int32_t o) { target_->FillRectAdd(Move(rect, o), pixel); });
}

void TDIBXWave::FillRectSub(const TRect& rect, uint32_t pixel) {
  Strips(rect.Top, rect.Bottom, [&](int32_t o) { target_->FillRectSub(Move(rect, o), pixel); });
}

void TDIBXWave::Assign(TCustomDIBX& source) {
  Draw(0, 0, false, false, false, TRect{0, 0, source.Width(), source.Height()}, source);
}

void TDIBXWave::Draw(int32_t x, int32_t y, bool flipV, bool flipH, bool transparent, TRect srcRect,
                     TCustomDIBX& source) {
  Strips(y, int64_t{y} + int64_t{srcRect.Bottom} - srcRect.Top, [&](int32_t o) {
    target_->Draw(Move(x, o), y, flipV, flipH, transparent, srcRect, source);
  });
}

void TDIBXWave::DrawMask(int32_t x, int32_t y, TCustomDIBX& mask, bool flipV, bool flipH,
                         TRect srcRect, TCustomDIBX& source) {
  Strips(y, int64_t{y} + int64_t{srcRect.Bottom} - srcRect.Top,
         [&](int32_t o) { target_->DrawMask(Move(x, o), y, mask, flipV, flipH, srcRect, source); });
}

void TDIBXWave::DrawAlpha(int32_t x, int32_t y, int32_t alpha, bool flipV, bool flipH,
                          bool transparent, TRect srcRect, TCustomDIBX& source) {
  Strips(y, int64_t{y} + int64_t{srcRect.Bottom} - srcRect.Top, [&](int32_t o) {
    target_->DrawAlpha(Move(x, o), y, alpha, flipV, flipH, transparent, srcRect, source);
  });
}

void TDIBXWave::DrawAlphaMask(int32_t x, int32_t y, int32_t alpha, TCustomDIBX& mask, bool flipV,
                              bool flipH, TRect srcRect, TCustomDIBX& source) {
  Strips(y, int64_t{y} + int64_t{srcRect.Bottom} - srcRect.Top, [&](int32_t o) {
    target_->DrawAlphaMask(Move(x, o), y, alpha, mask, flipV, flipH, srcRect, source);
  });
}

void TDIBXWave::DrawAdd(int32_t x, int32_t y, int32_t level, bool flipV, bool flipH,
                        bool transparent, TRect srcRect, TCustomDIBX& source) {
  Strips(y, int64_t{y} + int64_t{srcRect.Bottom} - srcRect.Top, [&](int32_t o) {
    target_->DrawAdd(Move(x, o), y, level, flipV, flipH, transparent, srcRect, source);
  });
}

void TDIBXWave::DrawAddMask(int32_t x, int32_t y, int32_t level, TCustomDIBX& mask, bool flipV,
                            bool flipH, TRect srcRect, TCustomDIBX& source) {
  Strips(y, int64_t{y} + int64_t{srcRect.Bottom} - srcRect.Top, [&](int32_t o) {
    target_->DrawAddMask(Move(x, o), y, level, mask, flipV, flipH, srcRect, source);
  });
}

void TDIBXWave::DrawRotZoom(int32_t x, int32_t y, int32_t blend, bool flipV, bool flipH,
                            bool transparent, int32_t angle, int32_t pivotY, int32_t pivotX,
                            TRect srcRect, TCustomDIBX& source, int32_t zoomY, int32_t zoomX) {
  Strips(INT32_MIN, INT32_MAX, [&](int32_t o) {
    target_->DrawRotZoom(Move(x, o), y, blend, flipV, flipH, transparent, angle, pivotY, pivotX,
                         srcRect, source, zoomY, zoomX);
  });
}

void TDIBXWave::DrawRotZoomMask(int32_t x, int32_t y, int32_t blend, TCustomDIBX& mask, bool flipV,
                                bool flipH, int32_t angle, int32_t pivotY, int32_t pivotX,
                                TRect srcRect, TCustomDIBX& source, int32_t zoomY, int32_t zoomX) {
  Strips(INT32_MIN, INT32_MAX, [&](int32_t o) {
    target_->DrawRotZoomMask(Move(x, o), y, blend, mask, flipV, flipH, angle, pivotY, pivotX,
                             srcRect, source, zoomY, zoomX);
  });
}

void TDIBXWave::StretchDraw(const TRect& destRect, TCustomDIBX& source, int32_t alpha, bool flipV,
                            bool flipH, bool transparent, TRect srcRect) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->StretchDraw(Move(destRect, o), source, alpha, flipV, flipH, transparent, srcRect);
  });
}

void TDIBXWave::StretchDrawMask(const TRect& destRect, TCustomDIBX& source, int32_t alpha,
                                TCustomDIBX& mask, bool flipV, bool flipH, TRect srcRect) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->StretchDrawMask(Move(destRect, o), source, alpha, mask, flipV, flipH, srcRect);
  });
}

void TDIBXWave::StretchDrawAdd(const TRect& destRect, TCustomDIBX& source, int32_t level,
                               bool flipV, bool flipH, bool transparent, TRect srcRect) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->StretchDrawAdd(Move(destRect, o), source, level, flipV, flipH, transparent, srcRect);
  });
}

void TDIBXWave::StretchDrawAddMask(const TRect& destRect, TCustomDIBX& source, int32_t level,
                                   TCustomDIBX& mask, bool flipV, bool flipH, TRect srcRect) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->StretchDrawAddMask(Move(destRect, o), source, level, mask, flipV, flipH, srcRect);
  });
}

void TDIBXWave::DrawMonoGlyph(int32_t x, int32_t y, int32_t factor, int32_t alpha, bool flipV,
                              bool flipH, uint32_t pixel, TRect srcRect, TCustomDIBX& source) {
  if (factor <= 0) return;
  Strips(y, int64_t{y} + (int64_t{srcRect.Bottom} - srcRect.Top) / factor, [&](int32_t o) {
    target_->DrawMonoGlyph(Move(x, o), y, factor, alpha, flipV, flipH, pixel, srcRect, source);
  });
}

void TDIBXWave::DrawOutlineGlyph(int32_t x, int32_t y, int32_t factor, int32_t blend, bool flipV,
                                 bool flipH, uint32_t pixel1, uint32_t pixel2, uint32_t pixel3,
                                 TRect srcRect, TCustomDIBX& source) {
  if (factor <= 0) return;
  Strips(y, int64_t{y} + (int64_t{srcRect.Bottom} - srcRect.Top) / factor, [&](int32_t o) {
    target_->DrawOutlineGlyph(Move(x, o), y, factor, blend, flipV, flipH, pixel1, pixel2, pixel3,
                              srcRect, source);
  });
}

void TDIBXWave::TileDraw(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                         bool transparent, TRect srcRect, TCustomDIBX& source, int32_t gapY) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->TileDraw(Move(destRect, o), gapX, offsetY, offsetX, transparent, srcRect, source,
                      gapY);
  });
}

void TDIBXWave::TileDrawAlpha(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                              int32_t alpha, bool transparent, TRect srcRect, TCustomDIBX& source,
                              int32_t gapY) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->TileDrawAlpha(Move(destRect, o), gapX, offsetY, offsetX, alpha, transparent, srcRect,
                           source, gapY);
  });
}

void TDIBXWave::TileDrawAdd(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                            int32_t level, bool transparent, TRect srcRect, TCustomDIBX& source,
                            int32_t gapY) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->TileDrawAdd(Move(destRect, o), gapX, offsetY, offsetX, level, transparent, srcRect,
                         source, gapY);
  });
}

void TDIBXWave::TileDrawMask(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                             TCustomDIBX& mask, TRect srcRect, TCustomDIBX& source, int32_t gapY) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->TileDrawMask(Move(destRect, o), gapX, offsetY, offsetX, mask, srcRect, source, gapY);
  });
}

void TDIBXWave::TileDrawAlphaMask(const TRect& destRect, int32_t gapX, int32_t offsetY,
                                  int32_t offsetX, int32_t alpha, TCustomDIBX& mask, TRect srcRect,
                                  TCustomDIBX& source, int32_t gapY) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->TileDrawAlphaMask(Move(destRect, o), gapX, offsetY, offsetX, alpha, mask, srcRect,
                               source, gapY);
  });
}

void TDIBXWave::TileDrawAddMask(const TRect& destRect, int32_t gapX, int32_t offsetY,
                                int32_t offsetX, int32_t level, TCustomDIBX& mask, TRect srcRect,
                                TCustomDIBX& source, int32_t gapY) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->TileDrawAddMask(Move(destRect, o), gapX, offsetY, offsetX, level, mask, srcRect,
                             source, gapY);
  });
}

void TDIBXWave::TileStretch(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                            int32_t zoomX, int32_t zoomY, int32_t blend, bool flipV, bool flipH,
                            bool transparent, TRect srcRect, TCustomDIBX& source, int32_t gapY) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->TileStretch(Move(destRect, o), gapX, offsetY, offsetX, zoomX, zoomY, blend, flipV,
                         flipH, transparent, srcRect, source, gapY);
  });
}

void TDIBXWave::TileStretchMask(const TRect& destRect, int32_t gapX, int32_t offsetY,
                                int32_t offsetX, int32_t zoomX, int32_t zoomY, int32_t blend,
                                TCustomDIBX& mask, bool flipV, bool flipH, TRect srcRect,
                                TCustomDIBX& source, int32_t gapY) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->TileStretchMask(Move(destRect, o), gapX, offsetY, offsetX, zoomX, zoomY, blend, mask,
                             flipV, flipH, srcRect, source, gapY);
  });
}

void TDIBXWave::FramePattern(const TRect& rect, int32_t width, int32_t offsetY, int32_t offsetX,
                             TCustomDIBX& pattern) {
  Strips(rect.Top, rect.Bottom, [&](int32_t o) {
    target_->FramePattern(Move(rect, o), width, offsetY, offsetX, pattern);
  });
}

void TDIBXWave::DrawIndexed16(int32_t x, int32_t y, const uint32_t* table16, int32_t blend,
                              bool flipV, bool flipH, TRect srcRect, TCustomDIBX& source) {
  Strips(y, int64_t{y} + int64_t{srcRect.Bottom} - srcRect.Top, [&](int32_t o) {
    target_->DrawIndexed16(Move(x, o), y, table16, blend, flipV, flipH, srcRect, source);
  });
}

void TDIBXWave::DrawIndexedAdd(int32_t x, int32_t y, const uint32_t* table256, int32_t level,
                               bool flipV, bool flipH, int32_t threshold, TRect srcRect,
                               TCustomDIBX& source) {
  Strips(y, int64_t{y} + int64_t{srcRect.Bottom} - srcRect.Top, [&](int32_t o) {
    target_->DrawIndexedAdd(Move(x, o), y, table256, level, flipV, flipH, threshold, srcRect,
                            source);
  });
}

void TDIBXWave::StretchIndexedAdd(const TRect& destRect, TCustomDIBX& source,
                                  const uint32_t* table256, int32_t level, bool flipV, bool flipH,
                                  int32_t threshold, TRect srcRect) {
  Strips(destRect.Top, destRect.Bottom, [&](int32_t o) {
    target_->StretchIndexedAdd(Move(destRect, o), source, table256, level, flipV, flipH, threshold,
                               srcRect);
  });
}

void TDIBXWave::PatternZoom(const TRect& rect, TCustomDIBX& source, int32_t blend, bool flipV,
                            bool flipH, bool transparent, int32_t offsetX, int32_t offsetY,
                            int32_t zoomX, int32_t zoomY) {
  // The pattern stays anchored to the rectangle, which moves with each strip.
  Strips(rect.Top, rect.Bottom, [&](int32_t o) {
    target_->PatternZoom(Move(rect, o), source, blend, flipV, flipH, transparent, offsetX, offsetY,
                         zoomX, zoomY);
  });
}

void TDIBXWave::PatternZoomMask(const TRect& rect, TCustomDIBX& source, int32_t blend,
                                TCustomDIBX& mask, bool flipV, bool flipH, int32_t offsetX,
                                int32_t offsetY, int32_t zoomX, int32_t zoomY) {
  Strips(rect.Top, rect.Bottom, [&](int32_t o) {
    target_->PatternZoomMask(Move(rect, o), source, blend, mask, flipV, flipH, offsetX, offsetY,
                             zoomX, zoomY);
  });
}

void TDIBXWave::PatternFill(const TRect& rect, TCustomDIBX& source, bool flipV, bool flipH,
                            int32_t offsetY, int32_t offsetX) {
  Strips(rect.Top, rect.Bottom, [&](int32_t o) {
    target_->PatternFill(Move(rect, o), source, flipV, flipH, offsetY, offsetX);
  });
}

void TDIBXWave::DrawColorMask(int32_t x, int32_t y, uint32_t pixel, int32_t alpha, bool flipV,
                              bool flipH, TRect srcRect, TCustomDIBX& mask) {
  Strips(y, int64_t{y} + int64_t{srcRect.Bottom} - srcRect.Top, [&](int32_t o) {
    target_->DrawColorMask(Move(x, o), y, pixel, alpha, flipV, flipH, srcRect, mask);
  });
}

}  // namespace quen
