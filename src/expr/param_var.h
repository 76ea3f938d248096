// A value that names another variable: array-element references of the evaluator, operands
// that are names, and variables of type 0. Every operation goes to the referenced variable.
#pragma once

#include <memory>
#include <string>

#include "expr/param_forward.h"

namespace quen {

class TParamVar : public TParamForward {
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

  uint8_t StoreType() const override { return PT_NONE; }
  TParamVar* AsVar() override { return this; }
  void SaveToStream(TStream& s) const override;
  void LoadFromStream(TStream& s) override;
  std::unique_ptr<TCustomParam> Clone() const override;

 private:
  TCustomParam* ForwardTarget() const override;
  bool ScalarElement(int32_t& index) const override {
    index = index_;
    return true;
  }

  TParamCollection* table_;
  std::string target_name_;
  std::string pending_name_;
  TParamCollectionItem* target_ = nullptr;
  std::weak_ptr<void> life_;
  uint8_t reserved_ = 0;
  int32_t index_ = 0;
};

}  // namespace quen
