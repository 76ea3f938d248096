// The 51 system variables: entries of the variable table whose values read and write engine
// state. The table's own state (@TextDelay, @Cursor, @SelStr, @SelIndex, @Temp) and the
// constants are served here; the rest are registered by the layers that own that state.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "expr/custom_param.h"
#include "expr/param_forward.h"

namespace quen {

struct TSystemVarInfo {
  const char* name;
  uint8_t type;
};
extern const TSystemVarInfo kSystemVars[kSystemVariableCount];

enum : uint8_t {
  SV_RESULT = 0,
  SV_TEXTDELAY = 7,
  SV_CURSOR = 27,
  SV_SELSTR = 28,
  SV_SELINDEX = 29,
  SV_PI = 30,
  SV_1HOUR = 32,
  SV_1MIN = 33,
  SV_1SEC = 34,
  SV_TEMP = 44,
  SV_ISDEBUG = 49,
};

// A scalar system variable of a fixed type. Subclasses supply reads and writes in that type;
// this class converts other accesses with the system-variable rules: text written to a flag is
// read as an integer, malformed numbers written as text are ignored, element access ignores
// the index, and writes to read-only variables do nothing.
class TSystemScalar : public TCustomParam {
 public:
  TSystemScalar(uint8_t type, bool writable) : type_(type), writable_(writable) {}

  uint8_t GetValueType() const override { return type_; }
  bool GetAsBool() const override;
  long double GetAsFloat() const override;
  int32_t GetAsInteger() const override;
  std::string GetAsString() const override;
  void SetAsBool(bool v) override;
  void SetAsFloat(long double v) override;
  void SetAsInteger(int32_t v) override;
  void SetAsString(std::string_view v) override;
  int32_t GetIntAt(int32_t) const override { return GetAsInteger(); }
  void SetIntAt(int32_t, int32_t v) override { SetAsInteger(v); }
  long double GetFloatAt(int32_t) const override { return GetAsFloat(); }
  void SetFloatAt(int32_t, long double v) override { SetAsFloat(v); }
  bool GetBoolAt(int32_t) const override { return GetAsBool(); }
  void SetBoolAt(int32_t, bool v) override { SetAsBool(v); }
  std::string GetStrAt(int32_t) const override { return GetAsString(); }
  void SetStrAt(int32_t, std::string_view v) override { SetAsString(v); }
  void SetDims(const std::vector<int32_t>&) override {}
  void MakeScalar() override {}
  void SaveToStream(TStream&) const override {}
  void LoadFromStream(TStream&) override {}
  std::unique_ptr<TCustomParam> Clone() const override;

 protected:
  virtual int32_t ReadInt() const { return 0; }
  virtual long double ReadFloat() const { return 0; }
  virtual bool ReadBool() const { return false; }
  virtual std::string ReadStr() const { return {}; }
  virtual void WriteInt(int32_t) {}
  virtual void WriteFloat(long double) {}
  virtual void WriteBool(bool) {}
  virtual void WriteStr(std::string_view) {}

 private:
  uint8_t type_;
  bool writable_;
};

// A system scalar read (and, when given a writer, written) through functions: integer and flag
// variables through the int pair, string variables through the string pair.
class TFunctionScalar : public TSystemScalar {
 public:
  using TRead = std::function<int32_t()>;
  using TReadStr = std::function<std::string()>;
  TFunctionScalar(uint8_t type, TRead read, std::function<void(int32_t)> write = nullptr)
      : TSystemScalar(type, write != nullptr), read_(std::move(read)), write_(std::move(write)) {}
  explicit TFunctionScalar(TReadStr read, std::function<void(std::string_view)> write = nullptr)
      : TSystemScalar(PT_STR, write != nullptr),
        read_str_(std::move(read)),
        write_str_(std::move(write)) {}

 protected:
  int32_t ReadInt() const override { return read_ ? read_() : 0; }
  bool ReadBool() const override { return read_ && read_() != 0; }
  std::string ReadStr() const override { return read_str_ ? read_str_() : std::string(); }
  void WriteInt(int32_t v) override {
    if (write_) write_(v);
  }
  void WriteBool(bool v) override {
    if (write_) write_(v ? 1 : 0);
  }
  void WriteStr(std::string_view v) override {
    if (write_str_) write_str_(v);
  }

 private:
  TRead read_;
  std::function<void(int32_t)> write_;
  TReadStr read_str_;
  std::function<void(std::string_view)> write_str_;
};

// The value object of a system variable record.
class TParamSystem : public TParamForward {
 public:
  TParamSystem(TParamCollection* table, int number);
  int Number() const { return number_; }

  void SaveToStream(TStream&) const override {}
  void LoadFromStream(TStream&) override {}
  std::unique_ptr<TCustomParam> Clone() const override;

 protected:
  TCustomParam* ForwardTarget() const override;
  uint8_t TypeWithoutTarget() const override;

 private:
  TParamCollection* table_;
  int number_;
};

// The built-in values of the table's own system variables (text delay, cursor, selection,
// constants), installed by the table at creation.
std::unique_ptr<TCustomParam> NewBuiltinSystemValue(TParamCollection& table, int number);

}  // namespace quen
