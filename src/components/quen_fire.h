// The fire: a field of heat cells that rises and cools each 40 ms step, drawn additively
// through the fire colours at the screen's depth, zoomed to the control's size.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "components/quen_object.h"
#include "imaging/dibx.h"

namespace quen {

class TQuenFire : public TQuenControl {
 public:
  // Smallest field that burns: the step reads two rows below and one column either side.
  static constexpr int32_t kMinWidth = 3, kMinHeight = 4;

  explicit TQuenFire(TQuenBaseList* owner);
  const char* ClassName() const override { return "TQuenFire"; }
  uint8_t CompoType() const override { return LT_FIRE; }
  TQuenKind Kind() const override { return TQuenKind::Fir; }

  // One step of the heat field (what the update runs every 40 ms).
  void Step();
  // The field as it burns now (empty before the first update or when it cannot burn).
  TDIBX& Field() { return field_; }
  // Entry k of the cooling table (k = 0 .. 1023).
  uint8_t Cooling(int32_t k) const { return lookup_[256 + static_cast<size_t>(k)]; }

  bool Update(int32_t frameMs) override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void DrawSelf(TCustomDIBX& target) override;

 private:
  void BuildCooling(double heat);
  void SetPower(int32_t power);
  void SetSourceSize(int32_t w, int32_t h);
  void SetZoom(bool vertical, int32_t zoom);
  void Resize();
  // Gives the field the source size and starts it cold; false when it cannot burn.
  bool Start();

  int32_t power_ = 1;
  int32_t src_w_ = 0, src_h_ = 0;
  int32_t zoom_x_ = 256, zoom_y_ = 256;
  bool paused_ = false;
  bool started_ = false;
  // The source size the field was last started with (a refused size is not tried again).
  int32_t field_w_ = 0, field_h_ = 0;
  TDIBX field_;
  std::vector<uint8_t> random_;
  std::vector<int32_t> rows_, cols_;
  int32_t row_offset_ = 0, col_offset_ = 0;
  // 0 .. 255 the floor table, 256 .. 1279 the cooling table.
  std::array<uint8_t, 1280> lookup_{};
  int32_t time_ = 0;
};

}  // namespace quen
