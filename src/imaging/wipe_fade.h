// The kinds drawn with whole-picture operations of the surfaces: fade, scrolls, the white,
// black and flash fades, shrink and grow with rotation, and the zoom.
#pragma once

#include "imaging/custom_wipe.h"

namespace quen {

// The new picture blended in, sliding from the offset (p0, p1) when one is given.
class TWipeFade : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

// The new picture pushes the old one out to the left (reversed: to the right).
class TWipeScrollH : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

class TWipeScrollV : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

// The old picture brightens to white, then the new one emerges from white.
class TWipeWhite : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
  virtual void Tint(const TRect& whole, uint32_t grey);
};

// The same through black.
class TWipeBlack : public TWipeWhite {
 public:
  using TWipeWhite::TWipeWhite;

 protected:
  void Tint(const TRect& whole, uint32_t grey) override;
};

// A white flash fading into the new picture.
class TWipeFlash : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

// The old picture shrinks, fades and turns by p0 256ths of a turn.
class TWipeSmall : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

// The new picture grows out of the middle.
class TWipeBig : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

// The old picture magnified towards (p0, p1), then the new one unmagnified from there.
class TWipeZoomin : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

}  // namespace quen
