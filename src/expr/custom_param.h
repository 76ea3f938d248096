// Typed values: the payload of every variable and the operands of compiled expressions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "expr/param_types.h"

namespace quen {

class TParamCollection;
class TParamCollectionItem;
class TParamVar;

// Arrays larger than this are refused with the array-size message rather than exhausting
// memory: the original's 32-bit address space could not hold more either.
constexpr int64_t kMaxArrayElements = int64_t{1} << 24;

// Counts nested forwarding (references to references, @Temp to a reference) so that a cycle
// read from a damaged save ends as an unresolved reference instead of exhausting the stack.
struct TForwardGuard {
  TForwardGuard() : ok(++depth <= 32) {}
  ~TForwardGuard() { --depth; }
  TForwardGuard(const TForwardGuard&) = delete;
  TForwardGuard& operator=(const TForwardGuard&) = delete;
  bool ok;
  static thread_local int depth;
};

class TCustomParam {
 public:
  virtual ~TCustomParam() = default;

  virtual int32_t GetCount() const { return 1; }
  virtual void SetCount(int32_t) {}
  virtual uint8_t GetValueType() const { return PT_INT; }
  // The type a record is stored and pushed with: a reference is type 0 whatever it refers to.
  virtual uint8_t StoreType() const { return GetValueType(); }
  virtual bool GetAsBool() const { return false; }
  virtual long double GetAsFloat() const { return 0; }
  virtual int32_t GetAsInteger() const { return 0; }
  virtual std::string GetAsString() const { return {}; }
  virtual void SetAsBool(bool) {}
  virtual void SetAsFloat(long double) {}
  virtual void SetAsInteger(int32_t) {}
  virtual void SetAsString(std::string_view) {}
  virtual int32_t GetIntAt(int32_t) const { return 0; }
  virtual void SetIntAt(int32_t, int32_t) {}
  virtual long double GetFloatAt(int32_t) const { return 0; }
  virtual void SetFloatAt(int32_t, long double) {}
  virtual bool GetBoolAt(int32_t) const { return false; }
  virtual void SetBoolAt(int32_t, bool) {}
  virtual std::string GetStrAt(int32_t) const { return {}; }
  virtual void SetStrAt(int32_t, std::string_view) {}
  virtual int32_t GetDimCount() const;
  virtual int32_t GetDimSize(int32_t i) const;
  virtual const std::vector<int32_t>& GetDims() const { return dims_; }
  virtual void AssignRaw(const TCustomParam&) {}
  virtual void SetDims(const std::vector<int32_t>& sizes);
  virtual void FillInt(int32_t) {}
  virtual void FillFloat(long double) {}
  virtual void FillBool(bool) {}
  virtual void FillStr(std::string_view) {}
  virtual void CopyFromSameType(const TCustomParam& other);
  virtual void SaveToStream(TStream& s) const;
  virtual void LoadFromStream(TStream& s);
  virtual void MakeScalar();
  virtual int32_t FindString(std::string_view text, bool case_sensitive, bool partial) const;
  // The value as a reference, or null: cheaper than a cast on the evaluator's path.
  virtual TParamVar* AsVar() { return nullptr; }
  const TParamVar* AsVar() const { return const_cast<TCustomParam*>(this)->AsVar(); }
  // A fresh value of the same class, same dimensions and elements.
  virtual std::unique_ptr<TCustomParam> Clone() const;

  // Copies the source's dimensions and every element, converted into this value's type.
  void AssignConverted(const TCustomParam& source);

 protected:
  // Validates sizes (each above 0, product within kMaxArrayElements) and returns the product.
  static int32_t CheckedProduct(const std::vector<int32_t>& sizes);
  // Reads a dimension list checked against the bytes left; sizes below 1 are damage.
  static std::vector<int32_t> ReadDims(TStream& s);
  static void WriteDims(TStream& s, const std::vector<int32_t>& dims);

  std::vector<int32_t> dims_;
};

// The four storage classes. Each holds at least one element.
template <typename T, uint8_t kType>
class TParamTyped : public TCustomParam {
 public:
  TParamTyped() : items_(1) {}

  int32_t GetCount() const override { return static_cast<int32_t>(items_.size()); }
  void SetCount(int32_t n) override;
  uint8_t GetValueType() const override { return kType; }
  bool GetAsBool() const override { return GetBoolAt(0); }
  long double GetAsFloat() const override { return GetFloatAt(0); }
  int32_t GetAsInteger() const override { return GetIntAt(0); }
  std::string GetAsString() const override { return GetStrAt(0); }
  void SetAsBool(bool v) override;
  void SetAsFloat(long double v) override;
  void SetAsInteger(int32_t v) override;
  void SetAsString(std::string_view v) override;
  int32_t GetIntAt(int32_t i) const override;
  void SetIntAt(int32_t i, int32_t v) override;
  long double GetFloatAt(int32_t i) const override;
  void SetFloatAt(int32_t i, long double v) override;
  bool GetBoolAt(int32_t i) const override;
  void SetBoolAt(int32_t i, bool v) override;
  std::string GetStrAt(int32_t i) const override;
  void SetStrAt(int32_t i, std::string_view v) override;
  void AssignRaw(const TCustomParam& other) override;
  void SetDims(const std::vector<int32_t>& sizes) override;
  void FillInt(int32_t v) override;
  void FillFloat(long double v) override;
  void FillBool(bool v) override;
  void FillStr(std::string_view v) override;
  void CopyFromSameType(const TCustomParam& other) override;
  void SaveToStream(TStream& s) const override;
  void LoadFromStream(TStream& s) override;
  void MakeScalar() override;
  std::unique_ptr<TCustomParam> Clone() const override;

  // Direct element access for the evaluator and tests.
  const std::vector<T>& Items() const { return items_; }

 private:
  const T& At(int32_t i) const;
  T& AtForWrite(int32_t i);

  std::vector<T> items_;
};

using TParamInt = TParamTyped<int32_t, PT_INT>;
using TParamFloat = TParamTyped<long double, PT_FLOAT>;
using TParamFlag = TParamTyped<uint8_t, PT_BOOL>;
using TParamStr = TParamTyped<std::string, PT_STR>;

extern template class TParamTyped<int32_t, PT_INT>;
extern template class TParamTyped<long double, PT_FLOAT>;
extern template class TParamTyped<uint8_t, PT_BOOL>;
extern template class TParamTyped<std::string, PT_STR>;

// A new scalar of the given type: Int, Float, Flag or Str; type 0 gives an unresolved
// TParamVar bound to the table (may be null). Other types raise the damaged-type error.
std::unique_ptr<TCustomParam> NewParam(uint8_t type, TParamCollection* table = nullptr);

// The label authors see for a value type (Shift-JIS); empty for none and unknown codes.
const char* ValueTypeLabel(uint8_t type);

}  // namespace quen
