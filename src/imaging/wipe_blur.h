// Through a blurred picture: the old picture blurs and brightens (darkens), then the new one
// comes back sharp.
#pragma once

#include "imaging/custom_wipe.h"
#include "imaging/dibx.h"

namespace quen {

class TWipeBlurWhite : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void PrepareKind() override;
  void DrawStep() override;
  virtual void Tint(uint32_t grey);

 private:
  // Made at the first step: at creation the draw pass has not drawn the new screen yet.
  bool blurred_ = false;
  TDIBX blurred_from_, blurred_to_;
};

class TWipeBlurBlack : public TWipeBlurWhite {
 public:
  using TWipeBlurWhite::TWipeBlurWhite;

 protected:
  void Tint(uint32_t grey) override;
};

// out := source with every pixel the average, channel by channel (rounded down), of the
// pixels within radius in both directions that lie inside the picture. out takes the
// source's size and depth; 15- and 16-bit channels are averaged at their own width.
void BoxBlur(TCustomDIBX& source, TDIBX& out, int32_t radius);

}  // namespace quen
