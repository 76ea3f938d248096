// The property motion: moves one property of a component by name from its value at the start
// to a target value over a duration, linearly or eased, and deletes itself at the end.
#pragma once

#include <cstdint>
#include <string>

#include "components/quen_object.h"

namespace quen {

class TQuenPropMotion : public TQuenComponent {
 public:
  using TQuenComponent::TQuenComponent;
  const char* ClassName() const override { return "TQuenPropMotion"; }
  uint8_t CompoType() const override { return LT_PROPMOTION; }
  TQuenKind Kind() const override { return TQuenKind::PrM; }

  // What the PropMotion command sets: the component by name, the PR_ code (255: none), the
  // value at the end, the duration in ms and the easing (MT_ values).
  void SetMotion(std::string target_name, int32_t code, long double target, int32_t duration,
                 int32_t type);
  const std::string& TargetName() const { return target_name_; }
  int32_t Code() const { return code_; }
  long double TargetValue() const { return target_value_; }
  long double StartValue() const { return start_value_; }
  int32_t Duration() const { return duration_; }
  int32_t MotionType() const { return type_; }
  int32_t Elapsed() const { return elapsed_; }

  // The value at elapsed ms (the start value at 0, the exact target from duration - 1 on).
  static long double ValueAt(int32_t type, long double start, long double target, int32_t elapsed,
                             int32_t duration, bool& finished);

  bool Update(int32_t frame_ms) override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;

 private:
  std::string target_name_;
  TQuenHandle target_;
  bool resolved_ = false;
  int32_t code_ = 255;
  long double target_value_ = 0;
  int32_t duration_ = 0;
  int32_t type_ = MT_NORMAL;
  long double start_value_ = 0;
  int32_t elapsed_ = 0;
};

}  // namespace quen
