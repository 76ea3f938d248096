// A surface in ordinary memory, holding a memory bitmap (owned, or borrowed from somebody
// who keeps it alive).
#pragma once

#include <memory>

#include "imaging/custom_dibx.h"
#include "imaging/dib_surface.h"

namespace quen {

class TDIBX : public TCustomDIBX {
 public:
  TDIBX();
  ~TDIBX() override;

  int32_t BitCount() override { return dib_->BitCount(); }
  void SetBitCount(int32_t bits) override;
  uint32_t RedMask() override { return dib_->RedMask(); }
  uint32_t GreenMask() override { return dib_->GreenMask(); }
  uint32_t BlueMask() override { return dib_->BlueMask(); }
  int32_t Pitch() override { return dib_->Pitch(); }
  int32_t StorageBitCount() override { return dib_->StorageBitCount(); }
  // Raises the system's error for a size or depth we refuse; the surface is then unchanged.
  void SetSize(int32_t width, int32_t height, int32_t bits) override;
  uint8_t* PixelAddress(int32_t x, int32_t y) override;
  void Clear() override;
  TColorTable* Palette() override;

  TDIBSurface& DIB() { return *dib_; }
  // Uses somebody else's bitmap without taking it over; the surface takes its size.
  void BorrowDIB(TDIBSurface& dib);
  // Takes a bitmap over.
  void AdoptDIB(std::unique_ptr<TDIBSurface> dib);
  bool Borrowed() const { return borrowed_; }
  // Gives the bitmap its own pixel memory when it shares it.
  void MakeIndependent() { dib_->MakeIndependent(); }

 private:
  TDIBSurface* dib_;
  bool borrowed_ = false;
};

}  // namespace quen
