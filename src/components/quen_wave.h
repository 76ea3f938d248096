// The wave: its children drawn bent sideways, each row moved by a sine of the row and the
// running phase. With an amplitude of 0 the children draw straight.
#pragma once

#include <vector>

#include "components/quen_object.h"
#include "imaging/dibx_wave.h"

namespace quen {

class TQuenWave : public TQuenControl {
 public:
  using TQuenControl::TQuenControl;
  const char* ClassName() const override { return "TQuenWave"; }
  uint8_t CompoType() const override { return LT_WAVE; }
  TQuenKind Kind() const override { return TQuenKind::Wav; }

  // The sideways move of each row (row 0 is the wave's top row).
  const std::vector<int32_t>& Offsets() const { return offsets_; }

  void Draw(TCustomDIBX& target) override;
  // Rows move by up to the amplitude either way: so must what is redrawn.
  TRect ClipToParent(const TRect& r) const override;
  bool Update(int32_t frameMs) override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;

 private:
  // The offsets for the current phase; true when any changed.
  bool ComputeOffsets();

  int32_t amp_ = 10;
  int32_t wavelength_ = 200;
  int32_t period_ = 2000;
  int32_t phase_ = 0;
  int64_t remainder_ = 0;
  bool paused_ = false;
  std::vector<int32_t> offsets_;
  TDIBXWave surface_;
};

}  // namespace quen
