// Mask kinds drawn as filled shapes around the middle: the clock hand, the fans and the
// circle. A pixel belongs to a shape when its centre does (see DESIGN.md, transitions).
#pragma once

#include "imaging/custom_wipe.h"

namespace quen {

// A hand sweeps clockwise from p0 degrees (0 = twelve o'clock; reversed: anticlockwise) and
// uncovers the new picture.
class TWipeClockhand : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool UpdateMask() override;

 protected:
  void PrepareMask() override { binary_ = true; }
  // The start angle in radians, screen coordinates (rows grow downwards).
  double StartAngle() const;
  // Fills with 255 the sector from angle a sweeping s clockwise (nothing when s <= 0).
  void FillSector(double a, double s);
};

// A fan opening both ways from p0 degrees.
class TWipeFan : public TWipeClockhand {
 public:
  using TWipeClockhand::TWipeClockhand;
  bool UpdateMask() override;
};

// Two opposite fans.
class TWipeWFan : public TWipeClockhand {
 public:
  using TWipeClockhand::TWipeClockhand;
  bool UpdateMask() override;
};

// A disc grows from the middle (reversed: a disc of the old picture shrinks into it).
class TWipeCircle : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool UpdateMask() override;

 protected:
  void PrepareMask() override { binary_ = true; }
};

}  // namespace quen
