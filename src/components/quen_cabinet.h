// The cabinet: an invisible control under root 0 holding components set aside by SaveCabinet.
// It reads as not visible whatever PR_VISIBLE says, draws nothing and is never hit, so nothing
// inside it shows, takes input, gets idle events or updates.
#pragma once

#include "components/quen_object.h"

namespace quen {

class TQuenCabinet : public TQuenControl {
 public:
  using TQuenControl::TQuenControl;
  const char* ClassName() const override { return "TQuenCabinet"; }
  uint8_t CompoType() const override { return LT_CABINET; }
  TQuenKind Kind() const override { return TQuenKind::Cab; }
  bool IsCabinet() const override { return true; }
  void Draw(TCustomDIBX& /*target*/) override {}
  TQuenControl* HitTest(int32_t /*x*/, int32_t /*y*/, TMouseMask /*mask*/) override {
    return nullptr;
  }

 protected:
  TPropValue ReadOwn(uint8_t code) const override {
    return code == PR_VISIBLE ? TPropValue::OfBool(false) : TQuenControl::ReadOwn(code);
  }
};

}  // namespace quen
