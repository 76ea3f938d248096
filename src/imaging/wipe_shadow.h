// The picture-driven kinds: a grey picture decides where the new picture appears first.
#pragma once

#include <array>
#include <vector>

#include "imaging/custom_wipe.h"

namespace quen {

// Bright places of the picture change first; without a picture a plain fade done at half
// the time.
class TWipeShadow : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool UpdateMask() override;

 protected:
  void PrepareMask() override;

 private:
  std::vector<uint8_t> greys_;
};

// Through white: each place brightens to white and comes back as the new picture, bright
// places first.
class TWipeShadowWhite : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void PrepareKind() override;
  void DrawStep() override;
  virtual bool Darkens() const { return false; }

 private:
  template <int D>
  void Draw();
  std::vector<uint8_t> greys_;
  std::array<uint32_t, 256> grey_pixels_{};
  std::array<uint16_t, 1024> levels_{};
};

// Through black.
class TWipeShadowBlack : public TWipeShadowWhite {
 public:
  using TWipeShadowWhite::TWipeShadowWhite;

 protected:
  bool Darkens() const override { return true; }
};

}  // namespace quen
