// A surface without pixels of its own: every drawing operation goes to a target surface,
// each row moved sideways by its own offset (the wave distortion). It works in the target's
// coordinates; row y uses offset y - Top().
#pragma once

#include <vector>

#include "imaging/custom_dibx.h"

namespace quen {

class TDIBXWave : public TCustomDIBX {
 public:
  TDIBXWave() = default;

  // The target stays owned by the caller and must outlive its use here.
  void SetTarget(TCustomDIBX* target, int32_t left, int32_t top);
  TCustomDIBX* Target() { return target_; }
  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  std::vector<int32_t>& Offsets() { return offsets_; }

  int32_t BitCount() override { return target_ ? target_->BitCount() : 0; }
  uint32_t RedMask() override { return target_ ? target_->RedMask() : 0; }
  uint32_t GreenMask() override { return target_ ? target_->GreenMask() : 0; }
  uint32_t BlueMask() override { return target_ ? target_->BlueMask() : 0; }
  int32_t Pitch() override { return target_ ? target_->Pitch() : 0; }
  int32_t StorageBitCount() override { return target_ ? target_->StorageBitCount() : 0; }
  TCustomDIBX* BaseSurface() override { return target_ ? target_ : this; }
  // Sizes the area and the row-offset array (one per row, new rows 0).
  void SetSize(int32_t width, int32_t height, int32_t bits) override;
  uint8_t* PixelAddress(int32_t, int32_t) override { return nullptr; }
  uint32_t GetPixel(int32_t x, int32_t y) override;
  void SetPixel(int32_t x, int32_t y, uint32_t pixel) override;
  void ResetUpdateRect() override;
  void AddUpdateRect(const TRect& rect) override;
  int32_t ColorToPixel(TColor color) override;
  TColorTable* Palette() override { return target_ ? target_->Palette() : nullptr; }

  void FillRect(const TRect& rect, uint32_t pixel) override;
  void FillRectAlpha(const TRect& rect, uint32_t pixel, int32_t alpha) override;
  void FillRectAdd(const TRect& rect, uint32_t pixel) override;
  void FillRectSub(const TRect& rect, uint32_t pixel) override;
  void Assign(TCustomDIBX& source) override;
  void Draw(int32_t x, int32_t y, bool flipV, bool flipH, bool transparent, TRect srcRect,
            TCustomDIBX& source) override;
  void DrawMask(int32_t x, int32_t y, TCustomDIBX& mask, bool flipV, bool flipH, TRect srcRect,
                TCustomDIBX& source) override;
  void DrawAlpha(int32_t x, int32_t y, int32_t alpha, bool flipV, bool flipH, bool transparent,
                 TRect srcRect, TCustomDIBX& source) override;
  void DrawAlphaMask(int32_t x, int32_t y, int32_t alpha, TCustomDIBX& mask, bool flipV, bool flipH,
                     TRect srcRect, TCustomDIBX& source) override;
  void DrawAdd(int32_t x, int32_t y, int32_t level, bool flipV, bool flipH, bool transparent,
               TRect srcRect, TCustomDIBX& source) override;
  void DrawAddMask(int32_t x, int32_t y, int32_t level, TCustomDIBX& mask, bool flipV, bool flipH,
                   TRect srcRect, TCustomDIBX& source) override;
  void DrawRotZoom(int32_t x, int32_t y, int32_t blend, bool flipV, bool flipH, bool transparent,
                   int32_t angle, int32_t pivotY, int32_t pivotX, TRect srcRect,
                   TCustomDIBX& source, int32_t zoomY, int32_t zoomX) override;
  void DrawRotZoomMask(int32_t x, int32_t y, int32_t blend, TCustomDIBX& mask, bool flipV,
                       bool flipH, int32_t angle, int32_t pivotY, int32_t pivotX, TRect srcRect,
                       TCustomDIBX& source, int32_t zoomY, int32_t zoomX) override;
  void StretchDraw(const TRect& destRect, TCustomDIBX& source, int32_t alpha, bool flipV,
                   bool flipH, bool transparent, TRect srcRect) override;
  void StretchDrawMask(const TRect& destRect, TCustomDIBX& source, int32_t alpha, TCustomDIBX& mask,
                       bool flipV, bool flipH, TRect srcRect) override;
  void StretchDrawAdd(const TRect& destRect, TCustomDIBX& source, int32_t level, bool flipV,
                      bool flipH, bool transparent, TRect srcRect) override;
  void StretchDrawAddMask(const TRect& destRect, TCustomDIBX& source, int32_t level,
                          TCustomDIBX& mask, bool flipV, bool flipH, TRect srcRect) override;
  void DrawMonoGlyph(int32_t x, int32_t y, int32_t factor, int32_t alpha, bool flipV, bool flipH,
                     uint32_t pixel, TRect srcRect, TCustomDIBX& source) override;
  void DrawOutlineGlyph(int32_t x, int32_t y, int32_t factor, int32_t blend, bool flipV, bool flipH,
                        uint32_t pixel1, uint32_t pixel2, uint32_t pixel3, TRect srcRect,
                        TCustomDIBX& source) override;
  void TileDraw(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                bool transparent, TRect srcRect, TCustomDIBX& source, int32_t gapY) override;
  void TileDrawAlpha(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                     int32_t alpha, bool transparent, TRect srcRect, TCustomDIBX& source,
                     int32_t gapY) override;
  void TileDrawAdd(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                   int32_t level, bool transparent, TRect srcRect, TCustomDIBX& source,
                   int32_t gapY) override;
  void TileDrawMask(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                    TCustomDIBX& mask, TRect srcRect, TCustomDIBX& source, int32_t gapY) override;
  void TileDrawAlphaMask(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                         int32_t alpha, TCustomDIBX& mask, TRect srcRect, TCustomDIBX& source,
                         int32_t gapY) override;
  void TileDrawAddMask(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                       int32_t level, TCustomDIBX& mask, TRect srcRect, TCustomDIBX& source,
                       int32_t gapY) override;
  void TileStretch(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                   int32_t zoomX, int32_t zoomY, int32_t blend, bool flipV, bool flipH,
                   bool transparent, TRect srcRect, TCustomDIBX& source, int32_t gapY) override;
  void TileStretchMask(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                       int32_t zoomX, int32_t zoomY, int32_t blend, TCustomDIBX& mask, bool flipV,
                       bool flipH, TRect srcRect, TCustomDIBX& source, int32_t gapY) override;
  void FramePattern(const TRect& rect, int32_t width, int32_t offsetY, int32_t offsetX,
                    TCustomDIBX& pattern) override;
  void DrawIndexed16(int32_t x, int32_t y, const uint32_t* table16, int32_t blend, bool flipV,
                     bool flipH, TRect srcRect, TCustomDIBX& source) override;
  void DrawIndexedAdd(int32_t x, int32_t y, const uint32_t* table256, int32_t level, bool flipV,
                      bool flipH, int32_t threshold, TRect srcRect, TCustomDIBX& source) override;
  void StretchIndexedAdd(const TRect& destRect, TCustomDIBX& source, const uint32_t* table256,
                         int32_t level, bool flipV, bool flipH, int32_t threshold,
                         TRect srcRect) override;
  void PatternZoom(const TRect& rect, TCustomDIBX& source, int32_t blend, bool flipV, bool flipH,
                   bool transparent, int32_t offsetX, int32_t offsetY, int32_t zoomX,
                   int32_t zoomY) override;
  void PatternZoomMask(const TRect& rect, TCustomDIBX& source, int32_t blend, TCustomDIBX& mask,
                       bool flipV, bool flipH, int32_t offsetX, int32_t offsetY, int32_t zoomX,
                       int32_t zoomY) override;
  void PatternFill(const TRect& rect, TCustomDIBX& source, bool flipV, bool flipH, int32_t offsetY,
                   int32_t offsetX) override;
  void DrawColorMask(int32_t x, int32_t y, uint32_t pixel, int32_t alpha, bool flipV, bool flipH,
                     TRect srcRect, TCustomDIBX& mask) override;

 private:
  // Calls draw(offset) once per strip of rows in [y0, y1) that share an offset, with the
  // target's update rectangle held at the strip; rows without an offset are not drawn.
  template <class Fn>
  void Strips(int64_t y0, int64_t y1, Fn draw);

  TCustomDIBX* target_ = nullptr;
  TRect saved_target_rect_{};
  std::vector<int32_t> offsets_;
  int32_t left_ = 0;
  int32_t top_ = 0;
};

}  // namespace quen
