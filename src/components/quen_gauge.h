// The gauge: a bar that shows a value between min and max, filled from the left half of its
// picture and empty from the right half. A rise grows the bar at a fixed rate; a fall drops it
// at once and leaves a trailing segment that shrinks after a delay.
#pragma once

#include <string>

#include "components/image_list.h"
#include "components/quen_object.h"

namespace quen {

class TQuenGauge : public TQuenControl {
 public:
  explicit TQuenGauge(TQuenBaseList* owner) : TQuenControl(owner), bar_(this) {}
  const char* ClassName() const override { return "TQuenGauge"; }
  uint8_t CompoType() const override { return LT_GAUGE; }
  TQuenKind Kind() const override { return TQuenKind::Gau; }

  int32_t Value() const;
  long double Shown() const { return shown_; }
  // Where the trailing segment ends (at the shown value when there is none).
  long double TrailEnd() const { return trail_end_; }
  // Bar length: PR_BARSIZE when above 0, else the length of one half of the picture.
  int32_t BarLength() const;
  // Pixels of the bar a value fills: 0 for an empty or negative range.
  int32_t FilledLength(long double value) const;

  bool Update(int32_t frameMs) override;
  void ReleaseSurfaces() override { bar_.ReleaseSurfaces(); }
  void RestoreSurfaces() override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void DrawSelf(TCustomDIBX& target) override;

 private:
  void SetSource(const std::string& source);
  void Relayout();
  void SetValue(int32_t value);
  // Shown value and trailing segment at the value at once.
  void Settle();
  // Value units per millisecond; 0 when a change completes at once.
  long double Rate() const;

  TQuenImageList bar_;
  std::string source_;
  int32_t min_ = 0, max_ = 0, value_ = 0;
  int32_t alpha_ = 255;
  uint8_t orientation_ = 0;  // 1 vertical
  int32_t delay_ = 0, duration_ = 0;
  bool reverse_ = false;
  int32_t bar_size_ = 0;
  long double shown_ = 0, trail_end_ = 0;
  int32_t delay_left_ = 0;
};

}  // namespace quen
