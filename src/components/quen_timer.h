// The timer: queues its notify event every interval of game time.
#pragma once

#include <cstdint>

#include "components/quen_object.h"

namespace quen {

class TQuenTimer : public TQuenComponent {
 public:
  using TQuenComponent::TQuenComponent;
  const char* ClassName() const override { return "TQuenTimer"; }
  uint8_t CompoType() const override { return LT_TIMER; }
  TQuenKind Kind() const override { return TQuenKind::Tmr; }

  // Ticks on the grid of whole intervals from the time base; a tick due while the last event
  // is still queued (waiting or running) is dropped. With auto-scrap the timer goes once its
  // first event has been handled.
  bool Update(int32_t frame_ms) override;
  int64_t TimeBase() const { return time_base_; }
  bool Fired() const { return fired_; }

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  void WriteOwn(uint8_t code, const TPropValue& value) override;

 private:
  // Forgets the waiting events and counts the next interval from now.
  void Restart();
  bool EventQueued() const;

  int64_t time_base_ = 0;
  bool fired_ = false;
};

}  // namespace quen
