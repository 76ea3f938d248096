#include "expr/param_var.h"

#include "expr/param_collection.h"

namespace quen {

TParamCollectionItem* TParamVar::Target() const {
  if (!target_ || life_.expired()) return nullptr;
  return target_;
}

void TParamVar::SetTarget(TParamCollectionItem* target) {
  target_ = target;
  if (target)
    life_ = target->Life();
  else
    life_.reset();
}

TCustomParam* TParamVar::ForwardTarget() const {
  TParamCollectionItem* t = Target();
  if (!t) return nullptr;
  TCustomParam* v = t->Value();
  // A reference to itself would forward forever.
  return v == this ? nullptr : v;
}

void TParamVar::ResolvePending(TParamCollection& table) {
  if (pending_name_.empty()) return;
  SetTarget(table.FindVariable(pending_name_));
  pending_name_.clear();
}

void TParamVar::SaveToStream(TStream& s) const {
  WriteDims(s, dims_);
  WriteString(s, target_name_);
  TParamCollectionItem* t = Target();
  WriteString(s, t ? t->Name() : std::string());
  WriteByte(s, reserved_);
  WriteInt32(s, index_);
}

void TParamVar::LoadFromStream(TStream& s) {
  std::vector<int32_t> dims = ReadDims(s);
  std::string target_name = ReadString(s);
  std::string resolved = ReadString(s);
  uint8_t reserved = ReadByte(s);
  int32_t index = ReadInt32(s);
  dims_ = std::move(dims);
  target_name_ = std::move(target_name);
  reserved_ = reserved;
  index_ = index;
  ClearTarget();
  pending_name_ = std::move(resolved);
  if (table_) ResolvePending(*table_);
}

std::unique_ptr<TCustomParam> TParamVar::Clone() const {
  auto p = std::make_unique<TParamVar>(table_, target_name_);
  p->dims_ = dims_;
  p->SetTarget(Target());
  p->reserved_ = reserved_;
  p->index_ = index_;
  return p;
}

}  // namespace quen
