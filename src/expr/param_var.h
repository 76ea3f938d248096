// A value that names another variable: array-element references of the evaluator, operands
// that are names, and variables of type 0. Every operation goes to the referenced variable.
#pragma once

#include <memory>
#include <string>

#include "expr/custom_param.h"

namespace quen {

class TParamVar : public TCustomParam {
 public:
  explicit TParamVar(TParamCollection* table = nullptr, std::string target_name = {})
      : table_(table), target_name_(std::move(target_name)) {}

  const std::string& TargetName() const { return target_name_; }
  void SetTargetName(std::string name) { target_name_ = std::move(name); }
  int32_t ElementIndex() const { return index_; }
  void SetElementIndex(int32_t i) { index_ = i; }
  // The referenced record, or null when unresolved or when that record has been deleted.
  TParamCollectionItem* Target() const;
  void SetTarget(TParamCollectionItem* target);
  void ClearTarget() {
    target_ = nullptr;
    life_.reset();
  }
  // Resolves a name read from a stream that is still pending (see LoadFromStream).
  void ResolvePending(TParamCollection& table);
  void SetTable(TParamCollection* table) { table_ = table; }

  int32_t GetCount() const override;
  void SetCount(int32_t n) override;
  uint8_t GetValueType() const override;
  uint8_t StoreType() const override { return PT_NONE; }
  TParamVar* AsVar() override { return this; }
  bool GetAsBool() const override;
  long double GetAsFloat() const override;
  int32_t GetAsInteger() const override;
  std::string GetAsString() const override;
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
  void SaveToStream(TStream& s) const override;
  void LoadFromStream(TStream& s) override;
  void MakeScalar() override;
  int32_t FindString(std::string_view text, bool case_sensitive, bool partial) const override;
  std::unique_ptr<TCustomParam> Clone() const override;

 private:
  TCustomParam* Forward() const;

  TParamCollection* table_;
  std::string target_name_;
  std::string pending_name_;
  TParamCollectionItem* target_ = nullptr;
  std::weak_ptr<void> life_;
  uint8_t reserved_ = 0;
  int32_t index_ = 0;
};

}  // namespace quen
