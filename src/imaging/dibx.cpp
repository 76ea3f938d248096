#include "imaging/dibx.h"

namespace quen {

TDIBX::TDIBX() : dib_(new TDIBSurface) {
  dib_->SetSize(1, 1, 15);
}

TDIBX::~TDIBX() {
  if (!borrowed_) delete dib_;
}

void TDIBX::SetBitCount(int32_t bits) {
  if (bits == dib_->BitCount()) return;
  dib_->SetSize(dib_->Width(), dib_->Height(), bits);
}

void TDIBX::SetSize(int32_t width, int32_t height, int32_t bits) {
  dib_->SetSize(width, height, bits);
  width_ = width;
  height_ = height;
}

uint8_t* TDIBX::PixelAddress(int32_t x, int32_t y) {
  if (!dib_->Bits() || x < 0 || y < 0 || x >= dib_->Width() || y >= dib_->Height()) {
    return nullptr;
  }
  return dib_->ScanLine(y) + (static_cast<int64_t>(x) * dib_->StorageBitCount()) / 8;
}

void TDIBX::Clear() {
  dib_->SetSize(8, 8, dib_->BitCount());
  width_ = height_ = 0;
}

TColorTable* TDIBX::Palette() {
  return dib_->BitCount() <= 8 ? &dib_->ColorTable() : nullptr;
}

void TDIBX::BorrowDIB(TDIBSurface& dib) {
  if (!borrowed_) delete dib_;
  dib_ = &dib;
  borrowed_ = true;
  width_ = dib.Width();
  height_ = dib.Height();
}

void TDIBX::AdoptDIB(std::unique_ptr<TDIBSurface> dib) {
  if (!dib) return;
  if (!borrowed_) delete dib_;
  dib_ = dib.release();
  borrowed_ = false;
  width_ = dib_->Width();
  height_ = dib_->Height();
}

}  // namespace quen
