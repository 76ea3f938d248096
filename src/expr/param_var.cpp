#include "expr/param_var.h"

#include "expr/param_collection.h"

namespace quen {

namespace {
const std::vector<int32_t> kNoDims;
}

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

TCustomParam* TParamVar::Forward() const {
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

int32_t TParamVar::GetCount() const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetCount() : 1;
}
void TParamVar::SetCount(int32_t n) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->SetCount(n);
}
uint8_t TParamVar::GetValueType() const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetValueType() : PT_NONE;
}
bool TParamVar::GetAsBool() const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetBoolAt(index_) : false;
}
long double TParamVar::GetAsFloat() const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetFloatAt(index_) : 0;
}
int32_t TParamVar::GetAsInteger() const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetIntAt(index_) : 0;
}
std::string TParamVar::GetAsString() const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetStrAt(index_) : std::string();
}
void TParamVar::SetAsBool(bool v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->SetBoolAt(index_, v);
}
void TParamVar::SetAsFloat(long double v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->SetFloatAt(index_, v);
}
void TParamVar::SetAsInteger(int32_t v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->SetIntAt(index_, v);
}
void TParamVar::SetAsString(std::string_view v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->SetStrAt(index_, v);
}
int32_t TParamVar::GetIntAt(int32_t i) const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetIntAt(i) : 0;
}
void TParamVar::SetIntAt(int32_t i, int32_t v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->SetIntAt(i, v);
}
long double TParamVar::GetFloatAt(int32_t i) const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetFloatAt(i) : 0;
}
void TParamVar::SetFloatAt(int32_t i, long double v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->SetFloatAt(i, v);
}
bool TParamVar::GetBoolAt(int32_t i) const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetBoolAt(i) : false;
}
void TParamVar::SetBoolAt(int32_t i, bool v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->SetBoolAt(i, v);
}
std::string TParamVar::GetStrAt(int32_t i) const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetStrAt(i) : std::string();
}
void TParamVar::SetStrAt(int32_t i, std::string_view v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->SetStrAt(i, v);
}
int32_t TParamVar::GetDimCount() const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetDimCount() : 1;
}
int32_t TParamVar::GetDimSize(int32_t i) const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetDimSize(i) : 1;
}
const std::vector<int32_t>& TParamVar::GetDims() const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->GetDims() : kNoDims;
}
void TParamVar::AssignRaw(const TCustomParam& other) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->AssignRaw(other);
}
void TParamVar::SetDims(const std::vector<int32_t>& sizes) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->SetDims(sizes);
}
void TParamVar::FillInt(int32_t v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->FillInt(v);
}
void TParamVar::FillFloat(long double v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->FillFloat(v);
}
void TParamVar::FillBool(bool v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->FillBool(v);
}
void TParamVar::FillStr(std::string_view v) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->FillStr(v);
}
void TParamVar::CopyFromSameType(const TCustomParam& other) {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->CopyFromSameType(other);
}
void TParamVar::MakeScalar() {
  TForwardGuard g;
  if (auto* f = g.ok ? Forward() : nullptr) f->MakeScalar();
}
int32_t TParamVar::FindString(std::string_view text, bool case_sensitive, bool partial) const {
  TForwardGuard g;
  auto* f = g.ok ? Forward() : nullptr;
  return f ? f->FindString(text, case_sensitive, partial) : -1;
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
