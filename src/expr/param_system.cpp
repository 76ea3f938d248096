#include "expr/param_system.h"

#include <numbers>

#include "base/error.h"
#include "expr/messages.h"
#include "expr/param_collection.h"
#include "expr/param_convert.h"

namespace quen {

const TSystemVarInfo kSystemVars[kSystemVariableCount] = {
    {"@Result", PT_NONE},
    {"@LClick", PT_BOOL},
    {"@RClick", PT_BOOL},
    {"@LPush", PT_BOOL},
    {"@RPush", PT_BOOL},
    {"@MouseX", PT_INT},
    {"@MouseY", PT_INT},
    {"@TextDelay", PT_INT},
    {"@HistoryCount", PT_INT},
    {"@ParamCount", PT_INT},
    {"@ParamStr", PT_STR},
    {"@Sender", PT_STR},
    {"@ScrWidth", PT_INT},
    {"@ScrHeight", PT_INT},
    {"@TickCount", PT_INT},
    {"@PCTickCount", PT_INT},
    {"@UpdateCount", PT_INT},
    {"@Year", PT_INT},
    {"@Month", PT_INT},
    {"@Day", PT_INT},
    {"@Week", PT_INT},
    {"@Hour", PT_INT},
    {"@Min", PT_INT},
    {"@Sec", PT_INT},
    {"@Fonts", PT_STR},
    {"@FixedFonts", PT_STR},
    {"@FullScr", PT_BOOL},
    {"@Cursor", PT_STR},
    {"@SelStr", PT_STR},
    {"@SelIndex", PT_INT},
    {"@Pi", PT_FLOAT},
    {"@CGDither", PT_BOOL},
    {"@1Hour", PT_FLOAT},
    {"@1Min", PT_FLOAT},
    {"@1Sec", PT_FLOAT},
    {"@KeyPush", PT_BOOL},
    {"@KeyClick", PT_BOOL},
    {"@DisplayModeCount", PT_INT},
    {"@DisplayModeIndex", PT_INT},
    {"@Title", PT_STR},
    {"@SoundON", PT_BOOL},
    {"@ActiveCompo", PT_STR},
    {"@KeyRepeat", PT_BOOL},
    {"@HistoryMaxCount", PT_INT},
    {"@Temp", PT_NONE},
    {"@MidiPort", PT_STR},
    {"@MidiPorts", PT_STR},
    {"@WheelDown", PT_BOOL},
    {"@WheelUp", PT_BOOL},
    {"@IsDebug", PT_BOOL},
    {"@StackCount", PT_INT},
};

// ---- TSystemScalar

bool TSystemScalar::GetAsBool() const {
  switch (type_) {
    case PT_INT:
      return ReadInt() != 0;
    case PT_FLOAT:
      return ReadFloat() != 0;
    case PT_BOOL:
      return ReadBool();
    case PT_STR:
      return conv::TextToBool(ReadStr());
  }
  return false;
}
long double TSystemScalar::GetAsFloat() const {
  switch (type_) {
    case PT_INT:
      return ReadInt();
    case PT_FLOAT:
      return ReadFloat();
    case PT_BOOL:
      return ReadBool() ? 1 : 0;
    case PT_STR:
      return conv::TextToFloat(ReadStr());
  }
  return 0;
}
int32_t TSystemScalar::GetAsInteger() const {
  switch (type_) {
    case PT_INT:
      return ReadInt();
    case PT_FLOAT:
      return conv::FloatToInt(ReadFloat());
    case PT_BOOL:
      return ReadBool() ? 1 : 0;
    case PT_STR:
      return conv::TextToInt(ReadStr());
  }
  return 0;
}
std::string TSystemScalar::GetAsString() const {
  switch (type_) {
    case PT_INT:
      return conv::IntToText(ReadInt());
    case PT_FLOAT:
      return conv::FloatToText(ReadFloat());
    case PT_BOOL:
      return conv::BoolToText(ReadBool());
    case PT_STR:
      return ReadStr();
  }
  return {};
}
void TSystemScalar::SetAsBool(bool v) {
  if (!writable_) return;
  switch (type_) {
    case PT_INT:
      WriteInt(v ? 1 : 0);
      break;
    case PT_FLOAT:
      WriteFloat(v ? 1 : 0);
      break;
    case PT_BOOL:
      WriteBool(v);
      break;
    case PT_STR:
      WriteStr(conv::BoolToText(v));
      break;
  }
}
void TSystemScalar::SetAsFloat(long double v) {
  if (!writable_) return;
  switch (type_) {
    case PT_INT:
      WriteInt(conv::FloatToInt(v));
      break;
    case PT_FLOAT:
      WriteFloat(conv::CheckFloat(v));
      break;
    case PT_BOOL:
      WriteBool(v != 0);
      break;
    case PT_STR:
      WriteStr(conv::FloatToText(v));
      break;
  }
}
void TSystemScalar::SetAsInteger(int32_t v) {
  if (!writable_) return;
  switch (type_) {
    case PT_INT:
      WriteInt(v);
      break;
    case PT_FLOAT:
      WriteFloat(v);
      break;
    case PT_BOOL:
      WriteBool(v != 0);
      break;
    case PT_STR:
      WriteStr(conv::IntToText(v));
      break;
  }
}
void TSystemScalar::SetAsString(std::string_view v) {
  if (!writable_) return;
  switch (type_) {
    case PT_INT:
      if (auto n = conv::ParseInt(v)) WriteInt(*n);
      break;
    case PT_FLOAT:
      if (auto f = conv::ParseFloat(v)) WriteFloat(*f);
      break;
    case PT_BOOL:
      // Text reaches a flag through the integer parse: "TRUE" writes false.
      WriteBool(conv::TextToInt(v) != 0);
      break;
    case PT_STR:
      WriteStr(v);
      break;
  }
}

std::unique_ptr<TCustomParam> TSystemScalar::Clone() const {
  // A snapshot of the current value in its own storage class.
  auto v = NewParam(type_);
  v->AssignConverted(*this);
  return v;
}

// ---- built-in values

namespace {

class TTableInt : public TSystemScalar {
 public:
  explicit TTableInt(int32_t& ref) : TSystemScalar(PT_INT, true), ref_(ref) {}

 protected:
  int32_t ReadInt() const override { return ref_; }
  void WriteInt(int32_t v) override { ref_ = v; }

 private:
  int32_t& ref_;
};

class TTableStr : public TSystemScalar {
 public:
  explicit TTableStr(std::string& ref) : TSystemScalar(PT_STR, true), ref_(ref) {}

 protected:
  std::string ReadStr() const override { return ref_; }
  void WriteStr(std::string_view v) override { ref_ = std::string(v); }

 private:
  std::string& ref_;
};

class TConstFloat : public TSystemScalar {
 public:
  explicit TConstFloat(long double v) : TSystemScalar(PT_FLOAT, false), v_(v) {}

 protected:
  long double ReadFloat() const override { return v_; }

 private:
  long double v_;
};

class TConstFalse : public TSystemScalar {
 public:
  TConstFalse() : TSystemScalar(PT_BOOL, false) {}
};

}  // namespace

std::unique_ptr<TCustomParam> NewBuiltinSystemValue(TParamCollection& table, int number) {
  switch (number) {
    case SV_TEXTDELAY:
      return std::make_unique<TTableInt>(table.text_delay);
    case SV_CURSOR:
      return std::make_unique<TTableStr>(table.cursor_name);
    case SV_SELSTR:
      return std::make_unique<TTableStr>(table.sel_str);
    case SV_SELINDEX:
      return std::make_unique<TTableInt>(table.sel_index);
    case SV_PI:
      return std::make_unique<TConstFloat>(std::numbers::pi_v<long double>);
    case SV_1HOUR:
      return std::make_unique<TConstFloat>(1.0L / 24);
    case SV_1MIN:
      return std::make_unique<TConstFloat>(1.0L / 1440);
    case SV_1SEC:
      return std::make_unique<TConstFloat>(1.0L / 86400);
    case SV_ISDEBUG:
      return std::make_unique<TConstFalse>();
    default:
      return nullptr;
  }
}

// ---- TParamSystem

TParamSystem::TParamSystem(TParamCollection* table, int number) : table_(table), number_(number) {
  if (number < 0 || number >= kSystemVariableCount) RaiseError(msg::kInternalError);
}

TCustomParam* TParamSystem::ForwardTarget() const {
  TCustomParam* t = table_ ? table_->SystemTarget(number_) : nullptr;
  return t == this ? nullptr : t;
}

uint8_t TParamSystem::TypeWithoutTarget() const {
  return kSystemVars[number_].type;
}

std::unique_ptr<TCustomParam> TParamSystem::Clone() const {
  uint8_t type = GetValueType();
  auto v = NewParam(type >= PT_INT && type <= PT_STR ? type : PT_INT);
  v->AssignConverted(*this);
  return v;
}

}  // namespace quen
