#include "expr/param_collection.h"

#include <unordered_set>

#include "base/error.h"
#include "base/sjis.h"
#include "expr/messages.h"
#include "expr/param_system.h"
#include "expr/param_var.h"

namespace quen {

namespace {

// Fewest bytes of one stored variable record: type, empty name, the smallest value record
// (no dimensions, one flag) and the four trailing fields.
constexpr int64_t kMinRecordBytes = 1 + 4 + 9 + 7;

struct TStagedVar {
  std::string name;
  std::unique_ptr<TCustomParam> value;
  bool status = false;
  uint8_t reserved = 0;
  int32_t owner_frame = -1;
  bool local = false;
};

}  // namespace

void ValidateVarName(std::string_view name) {
  bool bad = name.empty() || (name[0] >= '0' && name[0] <= '9');
  sjis::ForEachChar(name, [&](size_t i, size_t n) {
    if (n == 1 && name[i] == ' ') bad = true;
  });
  if (bad) RaiseErrorFmt(msg::kVarNameInvalid, std::string(name).c_str());
}

TParamCollectionItem* TTempCollection::Find(std::string_view name) const {
  for (int i = Count() - 1; i >= 0; --i) {
    THashItem* item = Item(i);
    if (item->Name().size() == name.size() &&
        (item->Name() == name || sjis::EqualsNoCase(item->Name(), name)))
      return static_cast<TParamCollectionItem*>(item);
  }
  return nullptr;
}

TParamCollectionItem* TTempCollection::Add(std::string name, std::unique_ptr<TCustomParam> value) {
  auto item = std::make_unique<TParamCollectionItem>();
  item->SetValue(std::move(value));
  return AddUnfiled(std::move(item), std::move(name));
}

TParamCollection::TParamCollection() {
  for (int i = 0; i < kSystemVariableCount; ++i) {
    TParamCollectionItem* r = Append(kSystemVars[i].name, std::make_unique<TParamSystem>(this, i));
    r->system_ = true;
    system_values_[static_cast<size_t>(i)] = NewBuiltinSystemValue(*this, i);
  }
}

TParamCollection::~TParamCollection() {
  // Values may refer to one another; drop the name index before the records go.
  chains_.clear();
  Clear();
}

std::vector<TParamCollectionItem*>* TParamCollection::Chain(std::string_view name) const {
  auto it = chains_.find(sjis::LowerAscii(name));
  return it == chains_.end() ? nullptr : &it->second;
}

TParamCollectionItem* TParamCollection::Append(std::string name,
                                               std::unique_ptr<TCustomParam> value) {
  auto item = std::make_unique<TParamCollectionItem>();
  item->value_ = std::move(value);
  std::string key = sjis::LowerAscii(name);
  TParamCollectionItem* r = Add(std::move(item), std::move(name));
  chains_[key].push_back(r);
  ++generation_;
  return r;
}

void TParamCollection::Unchain(TParamCollectionItem* r) {
  auto it = chains_.find(sjis::LowerAscii(r->Name()));
  if (it == chains_.end()) return;
  std::erase(it->second, r);
  if (it->second.empty()) chains_.erase(it);
}

void TParamCollection::Rename(TParamCollectionItem* r, std::string name) {
  if (r->Name() == name) return;
  Unchain(r);
  std::string key = sjis::LowerAscii(name);
  SetName(r, std::move(name));
  chains_[key].push_back(r);
  ++generation_;
}

void TParamCollection::SetVarName(TParamCollectionItem* r, std::string name) {
  ValidateVarName(name);
  Rename(r, std::move(name));
}

TParamCollectionItem* TParamCollection::AddVariable(uint8_t type) {
  return Append(std::string(), NewParam(type, this));
}

TParamCollectionItem* TParamCollection::FindVariable(std::string_view name) const {
  auto* chain = Chain(name);
  if (!chain) return nullptr;
  TParamCollectionItem* found = nullptr;
  // From the chain's head (the newest link) to its tail.
  for (auto it = chain->rbegin(); it != chain->rend(); ++it) {
    TParamCollectionItem* r = *it;
    if (r->local) {
      if (r->owner_frame == current_frame_id_) return r;
    } else {
      found = r;
    }
  }
  return found;
}

TParamCollectionItem* TParamCollection::FindForDeclare(std::string_view name, bool local) const {
  auto* chain = Chain(name);
  if (!chain) return nullptr;
  for (auto it = chain->rbegin(); it != chain->rend(); ++it) {
    TParamCollectionItem* r = *it;
    if (local ? (r->local && r->owner_frame == current_frame_id_) : !r->local) return r;
  }
  return nullptr;
}

TParamCollectionItem* TParamCollection::Declare(std::string_view name, uint8_t type, uint8_t scope,
                                                bool& evaluate_initial) {
  if (name.empty()) RaiseError(msg::kVarNameMissing);
  TParamCollectionItem* r = FindForDeclare(name, scope == VS_LOCAL);
  evaluate_initial = true;
  if (!r) {
    ValidateVarName(name);
    if (type > PT_STR) RaiseErrorFmt(msg::kValueTypeInvalid, type);
    r = AddVariable(type);
    Rename(r, std::string(name));
    if (scope == VS_AUTODESTROY || scope == VS_LOCAL) r->owner_frame = current_frame_id_;
    if (scope == VS_LOCAL) r->local = true;
    if (scope == VS_STATUS) r->status = true;
    ++generation_;
  } else if (r->status) {
    evaluate_initial = false;
  }
  return r;
}

void TParamCollection::StoreInitialValue(TParamCollectionItem& r, uint8_t declared_type,
                                         const TCustomParam& initial) {
  TCustomParam& v = *r.Value();
  switch (declared_type) {
    case PT_INT:
      v.SetAsInteger(initial.GetAsInteger());
      break;
    case PT_FLOAT:
      v.SetAsFloat(initial.GetAsFloat());
      break;
    case PT_BOOL:
      v.SetAsBool(initial.GetAsBool());
      break;
    case PT_STR:
      v.SetAsString(initial.GetAsString());
      break;
    default:
      break;
  }
}

void TParamCollection::DeleteAt(int index) {
  TParamCollectionItem* r = Item(index);
  if (!r) return;
  Unchain(r);
  Delete(index);
  ++generation_;
}

void TParamCollection::DeleteVariable(TParamCollectionItem* r) {
  if (!r || r->IsSystem() || Item(r->Index()) != r) return;
  DeleteAt(r->Index());
}

void TParamCollection::DeleteOwnedBy(int32_t frame) {
  for (int i = Count() - 1; i >= kSystemVariableCount; --i)
    if (Item(i)->owner_frame == frame) DeleteAt(i);
}

void TParamCollection::RenumberOwnersAbove(int32_t frame) {
  for (int i = kSystemVariableCount; i < Count(); ++i) {
    TParamCollectionItem* r = Item(i);
    if (r->owner_frame > frame) r->owner_frame -= 1;
  }
  ++generation_;
}

std::unique_ptr<TCustomParam> TParamCollection::DetachValue(std::string_view name) const {
  TParamCollectionItem* r = FindVariable(name);
  return r ? DetachItemValue(*r) : nullptr;
}

std::unique_ptr<TCustomParam> DetachItemValue(const TParamCollectionItem& r) {
  uint8_t type = r.ValueType();
  if (type < PT_INT || type > PT_STR) RaiseErrorFmt(msg::kVarInvalid, r.Name().c_str());
  if (r.Value()->StoreType() == type && !r.IsSystem()) return r.Value()->Clone();
  auto v = NewParam(type);
  v->AssignConverted(*r.Value());
  return v;
}

void TParamCollection::ResetVariables() {
  for (int i = Count() - 1; i >= kSystemVariableCount; --i)
    if (!Item(i)->status) DeleteAt(i);
  text_delay = 50;
  cursor_name.clear();
}

bool TParamCollection::AssignTemp(std::string_view name) {
  TParamCollectionItem* r = FindVariable(name);
  if (!r) return false;
  // @Temp standing for itself would forward forever.
  if (r->IsSystem() && r->Index() == SV_TEMP) return false;
  temp_alias_ = std::string(name);
  return true;
}

TCustomParam* TParamCollection::SystemTarget(int number) const {
  if (number < 0 || number >= kSystemVariableCount) RaiseError(msg::kInternalError);
  if (number == SV_TEMP) {
    if (temp_alias_.empty()) return nullptr;
    TParamCollectionItem* r = FindVariable(temp_alias_);
    if (!r || (r->IsSystem() && r->Index() == SV_TEMP)) return nullptr;
    return r->Value();
  }
  return system_values_[static_cast<size_t>(number)].get();
}

void TParamCollection::SetSystemValue(int number, std::unique_ptr<TCustomParam> value) {
  if (number < 0 || number >= kSystemVariableCount || number == SV_TEMP)
    RaiseError(msg::kInternalError);
  system_values_[static_cast<size_t>(number)] = std::move(value);
}

// ---- stream forms

void TParamCollection::WriteRecord(TStream& s, const TParamCollectionItem& r) const {
  WriteByte(s, r.Value()->StoreType());
  WriteString(s, r.Name());
  r.Value()->SaveToStream(s);
  WriteByte(s, r.status ? 1 : 0);
  WriteByte(s, r.reserved);
  WriteInt32(s, r.owner_frame);
  WriteByte(s, r.local ? 1 : 0);
}

void TParamCollection::WriteRecords(TStream& s, bool status) const {
  std::unordered_set<const TParamCollectionItem*> chosen, written;
  for (int i = kSystemVariableCount; i < Count(); ++i)
    if (Item(i)->status == status) chosen.insert(Item(i));
  // From the last record to the first; a reference waits until what it refers to is out, so
  // that loading can resolve it.
  std::vector<const TParamCollectionItem*> order;
  std::unordered_map<const TParamCollectionItem*, std::vector<const TParamCollectionItem*>> waiting;
  auto emit = [&](const TParamCollectionItem* first) {
    std::vector<const TParamCollectionItem*> stack{first};
    while (!stack.empty()) {
      const TParamCollectionItem* r = stack.back();
      stack.pop_back();
      order.push_back(r);
      written.insert(r);
      auto it = waiting.find(r);
      if (it == waiting.end()) continue;
      for (auto w = it->second.rbegin(); w != it->second.rend(); ++w) stack.push_back(*w);
      waiting.erase(it);
    }
  };
  for (int i = Count() - 1; i >= kSystemVariableCount; --i) {
    const TParamCollectionItem* r = Item(i);
    if (!chosen.count(r)) continue;
    if (auto* ref = dynamic_cast<const TParamVar*>(r->Value())) {
      const TParamCollectionItem* t = ref->Target();
      if (t && t != r && chosen.count(t) && !written.count(t)) {
        waiting[t].push_back(r);
        continue;
      }
    }
    emit(r);
  }
  // References in a cycle: whatever is left, in table order from the last.
  for (int i = Count() - 1; i >= kSystemVariableCount; --i)
    if (chosen.count(Item(i)) && !written.count(Item(i))) emit(Item(i));
  WriteInt32(s, static_cast<int32_t>(order.size()));
  for (const TParamCollectionItem* r : order) WriteRecord(s, *r);
}

namespace {

std::vector<TStagedVar> ReadStaged(TStream& s) {
  int32_t n = ReadInt32(s);
  if (n < 0 || n > s.Remaining() / kMinRecordBytes) RaiseReadError();
  std::vector<TStagedVar> staged;
  staged.reserve(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) {
    TStagedVar v;
    uint8_t type = ReadByte(s);
    if (type > PT_STR) RaiseErrorFmt(msg::kValueTypeInvalid, type);
    v.name = ReadString(s);
    bool keep = !v.name.empty();
    if (keep) ValidateVarName(v.name);
    // A nameless record holds a reference's value part; it is read and dropped.
    v.value = NewParam(keep ? type : PT_NONE, nullptr);
    v.value->LoadFromStream(s);
    v.status = ReadByte(s) != 0;
    v.reserved = ReadByte(s);
    v.owner_frame = ReadInt32(s);
    v.local = ReadByte(s) != 0;
    if (keep) staged.push_back(std::move(v));
  }
  return staged;
}

}  // namespace

void TParamCollection::SkipPushBuffer(TStream& s) const {
  int32_t n = ReadInt32(s);
  if (n < 0 || n > s.Remaining() / 17) RaiseReadError();
  for (int32_t i = 0; i < n; ++i) {
    int32_t type = ReadInt32(s);
    if (type < PT_NONE || type > PT_STR) RaiseErrorFmt(msg::kValueTypeInvalid, type);
    ValidateVarName(ReadString(s));
    NewParam(static_cast<uint8_t>(type), nullptr)->LoadFromStream(s);
  }
}

void TParamCollection::SaveGameVariables(TStream& s, int32_t version) const {
  WriteRecords(s, false);
  WriteInt32(s, text_delay);
  WriteString(s, cursor_name);
  if (version > 102) {
    WriteString(s, sel_str);
    WriteInt32(s, sel_index);
  }
  if (version > 112 && version < 135)
    for (int32_t v : legacy_history_settings) WriteInt32(s, v);
  if (version > 120) WriteString(s, temp_alias_);
  if (version >= 139) {
    WriteInt32(s, static_cast<int32_t>(push_stack_.size()));
    for (const std::string& b : push_stack_)
      s.WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
  }
}

void TParamCollection::LoadGameVariables(TStream& s, int32_t version) {
  // Read everything aside first: a damaged block leaves the table as it was.
  std::vector<TStagedVar> staged = ReadStaged(s);
  int32_t delay = ReadInt32(s);
  std::string cursor = ReadString(s);
  std::string sel = sel_str;
  int32_t sel_idx = sel_index;
  if (version > 102) {
    sel = ReadString(s);
    sel_idx = ReadInt32(s);
  }
  std::array<int32_t, 6> history = legacy_history_settings;
  if (version > 112 && version < 135)
    for (int32_t& v : history) v = ReadInt32(s);
  std::string alias = temp_alias_;
  if (version > 120) alias = ReadString(s);
  std::vector<std::string> stack;
  if (version >= 139) {
    int32_t k = ReadInt32(s);
    if (k < 0 || k > s.Remaining() / 4) RaiseReadError();
    for (int32_t i = 0; i < k; ++i) {
      int64_t start = s.GetPosition();
      SkipPushBuffer(s);
      int64_t end = s.GetPosition();
      s.SetPosition(start);
      stack.push_back(ReadBytes(s, end - start));
    }
  }

  for (int i = Count() - 1; i >= kSystemVariableCount; --i)
    if (!Item(i)->status) DeleteAt(i);
  // The block lists the table from its last record; adding in reverse restores the order.
  std::vector<TParamVar*> refs;
  for (auto it = staged.rbegin(); it != staged.rend(); ++it) {
    TParamCollectionItem* r = Append(std::move(it->name), std::move(it->value));
    r->status = it->status;
    r->reserved = it->reserved;
    r->owner_frame = it->owner_frame;
    r->local = it->local;
    if (auto* ref = dynamic_cast<TParamVar*>(r->Value())) refs.push_back(ref);
  }
  ++generation_;
  for (TParamVar* ref : refs) {
    ref->SetTable(this);
    ref->ResolvePending(*this);
  }
  text_delay = delay;
  cursor_name = std::move(cursor);
  sel_str = std::move(sel);
  sel_index = sel_idx;
  legacy_history_settings = history;
  temp_alias_ = std::move(alias);
  push_stack_ = std::move(stack);
}

void TParamCollection::SaveStatusVariables(TStream& s) const {
  WriteRecords(s, true);
}

void TParamCollection::LoadStatusVariables(TStream& s) {
  std::vector<TStagedVar> staged = ReadStaged(s);
  std::vector<TParamVar*> refs;
  for (auto it = staged.rbegin(); it != staged.rend(); ++it) {
    TParamCollectionItem* r = Append(std::move(it->name), std::move(it->value));
    r->status = it->status;
    r->reserved = it->reserved;
    r->owner_frame = it->owner_frame;
    r->local = it->local;
    if (auto* ref = dynamic_cast<TParamVar*>(r->Value())) refs.push_back(ref);
  }
  ++generation_;
  for (TParamVar* ref : refs) {
    ref->SetTable(this);
    ref->ResolvePending(*this);
  }
}

// ---- push stack

void TParamCollection::PushVariables(const std::vector<std::string>& names) {
  std::vector<TParamCollectionItem*> chosen;
  for (const std::string& name : names) {
    TParamCollectionItem* r = FindVariable(name);
    // System variables have fixed places in the table; they are never pushed.
    if (r && !r->IsSystem() && r->Value()->StoreType() != PT_NONE) chosen.push_back(r);
  }
  TKvMemoryStream buf;
  WriteInt32(buf, static_cast<int32_t>(chosen.size()));
  for (TParamCollectionItem* r : chosen) {
    WriteInt32(buf, r->Value()->StoreType());
    WriteString(buf, r->Name());
    r->Value()->SaveToStream(buf);
  }
  push_stack_.push_back(std::move(buf.Data()));
}

void TParamCollection::PopVariables() {
  if (push_stack_.empty()) return;
  std::string bytes = std::move(push_stack_.back());
  push_stack_.pop_back();
  TViewStream s(bytes);
  int32_t n = ReadInt32(s);
  if (n < 0 || n > s.Remaining() / 17) RaiseReadError();
  for (int32_t i = 0; i < n; ++i) {
    int32_t type = ReadInt32(s);
    if (type < PT_NONE || type > PT_STR) RaiseErrorFmt(msg::kValueTypeInvalid, type);
    std::string name = ReadString(s);
    TParamCollectionItem* r = FindVariable(name);
    if (r && r->IsSystem()) {
      // A system variable is never replaced; its stored value is skipped.
      NewParam(static_cast<uint8_t>(type), nullptr)->LoadFromStream(s);
      continue;
    }
    if (r && r->Value()->StoreType() != type) {
      DeleteVariable(r);
      r = nullptr;
    }
    if (!r) {
      ValidateVarName(name);
      r = AddVariable(static_cast<uint8_t>(type));
      Rename(r, std::move(name));
    }
    r->Value()->LoadFromStream(s);
  }
}

}  // namespace quen
