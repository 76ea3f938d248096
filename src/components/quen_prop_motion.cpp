#include "components/quen_prop_motion.h"

#include <cmath>
#include <numbers>

#include "base/error.h"
#include "base/stream.h"
#include "components/quen_base_list.h"
#include "expr/custom_param.h"

namespace quen {

void TQuenPropMotion::SetMotion(std::string target_name, int32_t code, long double target,
                                int32_t duration, int32_t type) {
  target_name_ = std::move(target_name);
  code_ = code;
  target_value_ = target;
  duration_ = duration;
  type_ = type;
  resolved_ = false;
  target_ = {};
  elapsed_ = 0;
}

long double TQuenPropMotion::ValueAt(int32_t type, long double start, long double target,
                                     int32_t elapsed, int32_t duration, bool& finished) {
  const int64_t e = elapsed, d = duration;
  finished = false;
  if (e == 0) return start;
  if (e > 0 && e < d - 1) {
    const long double half_pi = std::numbers::pi_v<long double> / 2;
    switch (type) {
      case MT_INC:
        return target -
               std::sin(static_cast<long double>(d - e - 1) * half_pi / d) * (target - start);
      case MT_DEC:
        return start + std::sin(static_cast<long double>(e) * half_pi / d) * (target - start);
      default:
        return start + (target - start) * e / d;
    }
  }
  finished = true;
  return target;
}

bool TQuenPropMotion::Update(int32_t frame_ms) {
  if (PropBool(PR_PAUSED) || !owner_) return false;
  // Codes outside the table (a damaged save may give a negative one) are no property.
  if (code_ < 0 || code_ >= kPropCount) return true;
  TQuenObject* target = nullptr;
  if (resolved_) {
    target = owner_->Resolve(target_);
    if (!target) return true;
  } else {
    // A motion whose target went before it was saved has no name to look for.
    target = target_name_.empty() ? nullptr : owner_->FindComponent(target_name_);
    if (!target) return true;
    TParamFloat holder;
    try {
      GetProp(*target, code_, holder);
    } catch (const EQuenError&) {
      return true;
    }
    start_value_ = holder.GetAsFloat();
    target_ = target->Handle();
    resolved_ = true;
  }
  bool finished = false;
  TParamFloat value;
  value.SetAsFloat(ValueAt(type_, start_value_, target_value_, elapsed_, duration_, finished));
  try {
    SetProp(*target, code_, value);
  } catch (const EQuenError&) {
    // A property the command may not write (the refused codes): the motion ends unwritten.
    return true;
  }
  elapsed_ = static_cast<int32_t>(
      std::min<int64_t>(INT32_MAX, std::max<int64_t>(0, int64_t{elapsed_} + frame_ms)));
  return finished;
}

TPropValue TQuenPropMotion::ReadOwn(uint8_t code) const {
  if (code == PR_PLAYING) return TPropValue::OfBool(!PropBool(PR_PAUSED));
  return TQuenComponent::ReadOwn(code);
}

void TQuenPropMotion::SaveToStream(TStream& s, int32_t version) const {
  TQuenComponent::SaveToStream(s, version);
  // The resolved target under its current name; before resolving, the name the command gave;
  // a target that went is stored as no name, and such a motion ends when loaded.
  std::string name = target_name_;
  if (resolved_) {
    const TQuenObject* t = owner_ ? owner_->Resolve(target_) : nullptr;
    name = t ? t->Name() : std::string();
  }
  WriteString(s, name);
  WriteInt32(s, code_);
  WriteExtended(s, target_value_);
  WriteInt32(s, duration_);
  WriteInt32(s, type_);
  WriteExtended(s, start_value_);
  WriteInt32(s, elapsed_);
  if (version > 125) WriteByte(s, PropBool(PR_PAUSED) ? 1 : 0);
}

void TQuenPropMotion::LoadFromStream(TStream& s, int32_t version) {
  TQuenComponent::LoadFromStream(s, version);
  std::string name = ReadString(s);
  const int32_t code = ReadInt32(s);
  const long double target = ReadExtended(s);
  const int32_t duration = ReadInt32(s);
  const int32_t type = ReadInt32(s);
  const long double start = ReadExtended(s);
  const int32_t elapsed = ReadInt32(s);
  const bool paused = version > 125 && ReadByte(s) != 0;
  SetMotion(std::move(name), code, target, duration, type);
  start_value_ = start;
  elapsed_ = elapsed;
  props_[PR_PAUSED] = TPropValue::OfBool(paused);
}

}  // namespace quen
