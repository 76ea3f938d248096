// The pixel surface every picture is composed on. All drawing operations take native pixel
// values (convert colours once with ColorToPixel), clip to the update rectangle when one is
// set, and read sources through PixelAddress.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/types.h"
#include "imaging/dib_surface.h"

namespace quen {

class TStream;

struct TPaletteEntry {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  uint8_t Flags = 0;
};

class TCustomDIBX {
 public:
  TCustomDIBX() = default;
  virtual ~TCustomDIBX() = default;
  TCustomDIBX(const TCustomDIBX&) = delete;
  TCustomDIBX& operator=(const TCustomDIBX&) = delete;

  virtual bool IsEmpty() { return width_ == 0 || height_ == 0; }
  virtual int32_t BitCount() = 0;
  virtual void SetBitCount(int32_t /*bits*/) {}
  virtual uint32_t RedMask() = 0;
  virtual uint32_t GreenMask() = 0;
  virtual uint32_t BlueMask() = 0;
  virtual int32_t Pitch() = 0;
  // Outside the surface: 0 / nothing.
  virtual uint32_t GetPixel(int32_t x, int32_t y);
  virtual void SetPixel(int32_t x, int32_t y, uint32_t pixel);
  virtual int32_t BlueShift();
  virtual int32_t GreenShift();
  virtual int32_t RedShift();
  int32_t Height() const { return height_; }
  int32_t Width() const { return width_; }
  virtual TCustomDIBX* BaseSurface() { return this; }
  virtual int32_t StorageBitCount() = 0;
  virtual void SetSize(int32_t width, int32_t height, int32_t bits);
  // Address of pixel (x, y), or nullptr when there is no pixel memory. Every caller pairs a
  // successful call with Unlock.
  virtual uint8_t* PixelAddress(int32_t x, int32_t y) = 0;
  virtual void Unlock() {}

  // Update rectangle: Right == 0 means none (the whole surface).
  const TRect& UpdateRect() const { return update_rect_; }
  virtual void ResetUpdateRect() { update_rect_ = TRect{}; }
  virtual void AddUpdateRect(const TRect& rect);
  // Where drawing lands: the update rectangle when set, else the whole surface.
  TRect ClipRect() const;

  // Areas of a picture that hold visible content, and the second list a layered picture stores
  // beside them; the image components use the first to limit drawing.
  const std::vector<TRect>& DrawRegions() const { return draw_regions_; }
  const std::vector<TRect>& SecondRegions() const { return second_regions_; }
  void SetRegions(std::vector<TRect> draw, std::vector<TRect> second) {
    draw_regions_ = std::move(draw);
    second_regions_ = std::move(second);
  }

  int32_t ColorKey() const { return color_key_; }
  void SetColorKey(int32_t key) { color_key_ = key; }

  // Native pixel of a colour 0x00BBGGRR; -1 for a negative colour.
  virtual int32_t ColorToPixel(TColor color);
  // The colour a native pixel shows, for pictures written out and for tests.
  TColor PixelToColor(uint32_t pixel);

  void Fill(uint32_t pixel) { FillRect(TRect{0, 0, width_, height_}, pixel); }
  virtual void FillRect(const TRect& rect, uint32_t pixel);
  virtual void FillRectAlpha(const TRect& rect, uint32_t pixel, int32_t alpha);
  virtual void FillRectAdd(const TRect& rect, uint32_t pixel);
  virtual void FillRectSub(const TRect& rect, uint32_t pixel);
  void FrameRect(const TRect& rect, int32_t width, uint32_t pixel);
  void FrameRectAlpha(const TRect& rect, int32_t width, int32_t alpha, uint32_t pixel);
  void FrameRectAdd(const TRect& rect, int32_t width, uint32_t pixel);

  virtual void Assign(TCustomDIBX& source);
  virtual void Draw(int32_t x, int32_t y, bool flipV, bool flipH, bool transparent, TRect srcRect,
                    TCustomDIBX& source);
  virtual void DrawMask(int32_t x, int32_t y, TCustomDIBX& mask, bool flipV, bool flipH,
                        TRect srcRect, TCustomDIBX& source);
  virtual void DrawAlpha(int32_t x, int32_t y, int32_t alpha, bool flipV, bool flipH,
                         bool transparent, TRect srcRect, TCustomDIBX& source);
  virtual void DrawAlphaMask(int32_t x, int32_t y, int32_t alpha, TCustomDIBX& mask, bool flipV,
                             bool flipH, TRect srcRect, TCustomDIBX& source);
  virtual void DrawAdd(int32_t x, int32_t y, int32_t level, bool flipV, bool flipH,
                       bool transparent, TRect srcRect, TCustomDIBX& source);
  virtual void DrawAddMask(int32_t x, int32_t y, int32_t level, TCustomDIBX& mask, bool flipV,
                           bool flipH, TRect srcRect, TCustomDIBX& source);
  virtual void DrawRotZoom(int32_t x, int32_t y, int32_t blend, bool flipV, bool flipH,
                           bool transparent, int32_t angle, int32_t pivotY, int32_t pivotX,
                           TRect srcRect, TCustomDIBX& source, int32_t zoomY, int32_t zoomX);
  virtual void DrawRotZoomMask(int32_t x, int32_t y, int32_t blend, TCustomDIBX& mask, bool flipV,
                               bool flipH, int32_t angle, int32_t pivotY, int32_t pivotX,
                               TRect srcRect, TCustomDIBX& source, int32_t zoomY, int32_t zoomX);
  virtual void StretchDraw(const TRect& destRect, TCustomDIBX& source, int32_t alpha, bool flipV,
                           bool flipH, bool transparent, TRect srcRect);
  virtual void StretchDrawMask(const TRect& destRect, TCustomDIBX& source, int32_t alpha,
                               TCustomDIBX& mask, bool flipV, bool flipH, TRect srcRect);
  virtual void StretchDrawAdd(const TRect& destRect, TCustomDIBX& source, int32_t level, bool flipV,
                              bool flipH, bool transparent, TRect srcRect);
  virtual void StretchDrawAddMask(const TRect& destRect, TCustomDIBX& source, int32_t level,
                                  TCustomDIBX& mask, bool flipV, bool flipH, TRect srcRect);
  // 1-bit source oversampled by factor; a 0 bit is ink.
  virtual void DrawMonoGlyph(int32_t x, int32_t y, int32_t factor, int32_t alpha, bool flipV,
                             bool flipH, uint32_t pixel, TRect srcRect, TCustomDIBX& source);
  // 4-bit source oversampled by factor; each sub-pixel's low 2 bits give its class.
  virtual void DrawOutlineGlyph(int32_t x, int32_t y, int32_t factor, int32_t blend, bool flipV,
                                bool flipH, uint32_t pixel1, uint32_t pixel2, uint32_t pixel3,
                                TRect srcRect, TCustomDIBX& source);

  virtual void TileDraw(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                        bool transparent, TRect srcRect, TCustomDIBX& source, int32_t gapY);
  virtual void TileDrawAlpha(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                             int32_t alpha, bool transparent, TRect srcRect, TCustomDIBX& source,
                             int32_t gapY);
  virtual void TileDrawAdd(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                           int32_t level, bool transparent, TRect srcRect, TCustomDIBX& source,
                           int32_t gapY);
  virtual void TileDrawMask(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                            TCustomDIBX& mask, TRect srcRect, TCustomDIBX& source, int32_t gapY);
  virtual void TileDrawAlphaMask(const TRect& destRect, int32_t gapX, int32_t offsetY,
                                 int32_t offsetX, int32_t alpha, TCustomDIBX& mask, TRect srcRect,
                                 TCustomDIBX& source, int32_t gapY);
  virtual void TileDrawAddMask(const TRect& destRect, int32_t gapX, int32_t offsetY,
                               int32_t offsetX, int32_t level, TCustomDIBX& mask, TRect srcRect,
                               TCustomDIBX& source, int32_t gapY);
  // Tiles of the source stretched to zoomX/256 × zoomY/256; blend value below 256 draws with
  // StretchDraw at that alpha, 256..511 with StretchDrawAdd at value - 256.
  virtual void TileStretch(const TRect& destRect, int32_t gapX, int32_t offsetY, int32_t offsetX,
                           int32_t zoomX, int32_t zoomY, int32_t blend, bool flipV, bool flipH,
                           bool transparent, TRect srcRect, TCustomDIBX& source, int32_t gapY);
  virtual void TileStretchMask(const TRect& destRect, int32_t gapX, int32_t offsetY,
                               int32_t offsetX, int32_t zoomX, int32_t zoomY, int32_t blend,
                               TCustomDIBX& mask, bool flipV, bool flipH, TRect srcRect,
                               TCustomDIBX& source, int32_t gapY);
  virtual void FramePattern(const TRect& rect, int32_t width, int32_t offsetY, int32_t offsetX,
                            TCustomDIBX& pattern);

  virtual void DrawIndexed16(int32_t x, int32_t y, const uint32_t* table16, int32_t blend,
                             bool flipV, bool flipH, TRect srcRect, TCustomDIBX& source);
  virtual void DrawIndexedAdd(int32_t x, int32_t y, const uint32_t* table256, int32_t level,
                              bool flipV, bool flipH, int32_t threshold, TRect srcRect,
                              TCustomDIBX& source);
  virtual void StretchIndexedAdd(const TRect& destRect, TCustomDIBX& source,
                                 const uint32_t* table256, int32_t level, bool flipV, bool flipH,
                                 int32_t threshold, TRect srcRect);
  virtual void PatternZoom(const TRect& rect, TCustomDIBX& source, int32_t blend, bool flipV,
                           bool flipH, bool transparent, int32_t offsetX, int32_t offsetY,
                           int32_t zoomX, int32_t zoomY);
  virtual void PatternZoomMask(const TRect& rect, TCustomDIBX& source, int32_t blend,
                               TCustomDIBX& mask, bool flipV, bool flipH, int32_t offsetX,
                               int32_t offsetY, int32_t zoomX, int32_t zoomY);
  virtual void PatternFill(const TRect& rect, TCustomDIBX& source, bool flipV, bool flipH,
                           int32_t offsetY, int32_t offsetX);

  // ".bmp" files only (extension compared without regard to case); a missing file or another
  // extension does nothing.
  void LoadFromFile(const std::string& path);
  // "BM" at offset 0: a Windows bitmap. Other content leaves the surface unchanged (the
  // layered-image and PNG readers hook in through SetPictureReader).
  virtual void LoadFromStream(TStream& stream, int32_t option);
  // ".bmp" only, written as a 24-bit bitmap.
  void SaveToFile(const std::string& path);
  void SaveToStream(TStream& stream);
  virtual void Clear() { width_ = height_ = 0; }
  // Surfaces held by a display device give their device memory back here before a display
  // reset; memory surfaces have none.
  virtual void ReleaseDevice() {}

  // Palette entries in the order red, green, blue, 0; surfaces without a colour table give
  // black and ignore changes.
  void GetPalette(TPaletteEntry* entries256) { GetPaletteEntries(entries256, 0, 256); }
  virtual void GetPaletteEntries(TPaletteEntry* entries, int32_t start, int32_t count);
  void SetPalette(const TPaletteEntry* entries256) { SetPaletteEntries(entries256, 0, 256); }
  virtual void SetPaletteEntries(const TPaletteEntry* entries, int32_t start, int32_t count);

  virtual void DrawColorMask(int32_t x, int32_t y, uint32_t pixel, int32_t alpha, bool flipV,
                             bool flipH, TRect srcRect, TCustomDIBX& mask);

  // Copies the picture in at this surface's size and depth, converting the pixel format.
  void CopyFromPicture(const TDIBSurface& picture);
  // The whole surface as a picture of its own depth (for writers).
  void CopyToPicture(TDIBSurface& picture);

  // Readers of other picture formats that LoadFromStream hands a stream to when the
  // bitmap reader does not recognise it; returns false when the content is not theirs.
  using TPictureReader = bool (*)(TStream& stream, int32_t option, TDIBSurface& picture);
  static void SetPictureReader(TPictureReader reader);

  // The colour table of an indexed memory surface; nullptr for surfaces without one.
  virtual TColorTable* Palette() { return nullptr; }

 protected:
  TRect update_rect_{};
  int32_t color_key_ = -1;
  std::vector<TRect> draw_regions_;
  std::vector<TRect> second_regions_;
  int32_t height_ = 0;
  int32_t width_ = 0;
};

}  // namespace quen
