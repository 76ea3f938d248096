// Kinds that stretch one strip of the picture over a growing band: the reed screens and the
// rubber bands. The band grows over the old picture, then shrinks off the new one.
#pragma once

#include "imaging/custom_wipe.h"

namespace quen {

// One source column stretched over the columns up to it (reversed: from the right).
class TWipeSudareH : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

class TWipeSudareV : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

// As the reed screen, with a strip that is widest at the start and the end.
class TWipeRubberH : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

class TWipeRubberV : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override;
};

}  // namespace quen
