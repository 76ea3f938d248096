// A value that hands every operation to another value: references to variables (TParamVar) and
// the system variables' records (TParamSystem). Without a target (or past the nesting limit of
// TForwardGuard) reads give the neutral value and writes do nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "expr/custom_param.h"

namespace quen {

class TParamForward : public TCustomParam {
 public:
  int32_t GetCount() const override;
  void SetCount(int32_t n) override;
  uint8_t GetValueType() const override;
  // Scalar access, reads beside writes.
  bool GetAsBool() const override;
  void SetAsBool(bool v) override;
  long double GetAsFloat() const override;
  void SetAsFloat(long double v) override;
  int32_t GetAsInteger() const override;
  void SetAsInteger(int32_t v) override;
  std::string GetAsString() const override;
  void SetAsString(std::string_view v) override;
  // Element access.
  int32_t GetIntAt(int32_t i) const override;
  void SetIntAt(int32_t i, int32_t v) override;
  long double GetFloatAt(int32_t i) const override;
  void SetFloatAt(int32_t i, long double v) override;
  bool GetBoolAt(int32_t i) const override;
  void SetBoolAt(int32_t i, bool v) override;
  std::string GetStrAt(int32_t i) const override;
  void SetStrAt(int32_t i, std::string_view v) override;
  // Shape, whole-value operations and search.
  int32_t GetDimCount() const override;
  int32_t GetDimSize(int32_t i) const override;
  const std::vector<int32_t>& GetDims() const override;
  void AssignRaw(const TCustomParam& other) override;
  void SetDims(const std::vector<int32_t>& sizes) override;
  void FillInt(int32_t v) override;
  void FillFloat(long double v) override;
  void FillBool(bool v) override;
  void FillStr(std::string_view v) override;
  void CopyFromSameType(const TCustomParam& other) override;
  void MakeScalar() override;
  int32_t FindString(std::string_view text, bool case_sensitive, bool partial) const override;

 protected:
  // The value operations go to; null for none.
  virtual TCustomParam* ForwardTarget() const = 0;
  // The type read while there is no target.
  virtual uint8_t TypeWithoutTarget() const { return PT_NONE; }
  // True when scalar reads and writes go to element `index` of the target (a reference names
  // one element); otherwise they take the target's own scalar access (a system record).
  virtual bool ScalarElement(int32_t& /*index*/) const { return false; }

 private:
  template <typename R, typename F>
  R Read(R absent, F&& f) const {
    TForwardGuard g;
    TCustomParam* t = g.ok ? ForwardTarget() : nullptr;
    return t ? f(*t) : absent;
  }
  template <typename F>
  void Write(F&& f) const {
    TForwardGuard g;
    if (TCustomParam* t = g.ok ? ForwardTarget() : nullptr) f(*t);
  }
};

}  // namespace quen
