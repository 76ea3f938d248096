#include "components/quen_timer.h"

#include "base/stream.h"
#include "components/quen_base_list.h"

namespace quen {

void TQuenTimer::Restart() {
  if (!owner_) return;
  owner_->Events().RemoveWaitingOf(Handle());
  time_base_ = owner_->GameClock();
}

bool TQuenTimer::EventQueued() const {
  return owner_ && owner_->Events().IndexOf(Handle(), PR_ONNOTIFY) >= 0;
}

void TQuenTimer::WriteOwn(uint8_t code, const TPropValue& value) {
  const bool was_paused = PropBool(PR_PAUSED);
  TQuenComponent::WriteOwn(code, value);
  if (code == PR_ONNOTIFY || code == PR_DELAY ||
      (code == PR_PAUSED && was_paused != (value.Int != 0)))
    Restart();
}

bool TQuenTimer::Update(int32_t /*frame_ms*/) {
  if (fired_ && PropBool(PR_AUTOSCRAP)) return !EventQueued();
  const int32_t interval = PropInt(PR_DELAY);
  if (interval < 0 || PropBool(PR_PAUSED) || !owner_) return false;
  if (interval != 0 && owner_->GameClock() - time_base_ < interval) return false;
  time_base_ += interval;
  if (!EventQueued()) {
    FireEvent(PR_ONNOTIFY, {}, false);
    fired_ = true;
  }
  return false;
}

void TQuenTimer::SaveToStream(TStream& s, int32_t version) const {
  TQuenComponent::SaveToStream(s, version);
  WriteString(s, PropStr(PR_ONNOTIFY));
  WriteInt32(s, PropInt(PR_DELAY));
  WriteByte(s, PropBool(PR_PAUSED) ? 1 : 0);
  if (version > 103) {
    WriteByte(s, PropBool(PR_AUTOSCRAP) ? 1 : 0);
    WriteByte(s, fired_ ? 1 : 0);
  }
}

void TQuenTimer::LoadFromStream(TStream& s, int32_t version) {
  TQuenComponent::LoadFromStream(s, version);
  const std::string text = ReadString(s);
  const int32_t interval = ReadInt32(s);
  const bool paused = ReadByte(s) != 0;
  bool auto_scrap = false, fired = false;
  if (version > 103) {
    auto_scrap = ReadByte(s) != 0;
    fired = ReadByte(s) != 0;
  }
  props_[PR_ONNOTIFY] = TPropValue::OfStr(text);
  props_[PR_DELAY] = TPropValue::OfInt(interval);
  props_[PR_PAUSED] = TPropValue::OfBool(paused);
  props_[PR_AUTOSCRAP] = TPropValue::OfBool(auto_scrap);
  fired_ = fired;
  time_base_ = owner_ ? owner_->GameClock() : 0;
}

}  // namespace quen
