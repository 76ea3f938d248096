// The variable table: every variable of the running game, the system variables first, looked
// up by name ignoring ASCII case, with call-frame scopes and local shadowing.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "expr/custom_param.h"
#include "files/hash_collection.h"

namespace quen {

class TParamCollectionItem : public THashItem {
 public:
  TCustomParam* Value() const { return value_.get(); }
  void SetValue(std::unique_ptr<TCustomParam> v) { value_ = std::move(v); }
  uint8_t ValueType() const { return value_ ? value_->GetValueType() : PT_NONE; }

  uint8_t reserved = 0;
  bool status = false;
  int32_t owner_frame = -1;
  bool local = false;

  // Lets references notice that the record is gone.
  std::weak_ptr<void> Life() const { return life_; }
  bool IsSystem() const { return system_; }

 private:
  friend class TParamCollection;
  std::unique_ptr<TCustomParam> value_;
  std::shared_ptr<void> life_ = std::make_shared<char>(0);
  bool system_ = false;
};

// Records that live outside the table: the temporaries of one expression run.
class TTempCollection : public THashCollection {
 public:
  // A run holds a handful of temporaries: a plain scan beats hashing the name.
  TParamCollectionItem* Find(std::string_view name) const;
  TParamCollectionItem* Add(std::string name, std::unique_ptr<TCustomParam> value);
};

// The version of the game-save block written by default.
constexpr int32_t kGameSaveVersion = 140;

class TParamCollection : protected THashCollection {
 public:
  TParamCollection();
  ~TParamCollection() override;

  using THashCollection::Count;
  TParamCollectionItem* Item(int index) const { return ItemAs<TParamCollectionItem>(index); }

  int32_t CurrentFrameId() const { return current_frame_id_; }
  void SetCurrentFrameId(int32_t id) {
    if (id != current_frame_id_) ++generation_;
    current_frame_id_ = id;
  }
  // Changes whenever a name lookup could answer differently (records added, renamed or
  // deleted, scopes or the frame changed), so that compiled expressions may keep what they
  // resolved. Whoever edits a record's scope fields directly calls Touch().
  uint64_t Generation() const { return generation_; }
  void Touch() { ++generation_; }

  TParamCollectionItem* FindVariable(std::string_view name) const;
  TParamCollectionItem* FindForDeclare(std::string_view name, bool local) const;
  // Appends an unnamed record holding a new value of the type (0 gives a TParamVar).
  TParamCollectionItem* AddVariable(uint8_t type);
  // Validates the name and files the record under it.
  void SetVarName(TParamCollectionItem* r, std::string name);
  // Declaration steps of VarNew before the initial value: returns the record and whether its
  // initial value is to be evaluated (false for an existing status variable).
  TParamCollectionItem* Declare(std::string_view name, uint8_t type, uint8_t scope,
                                bool& evaluate_initial);
  // Last declaration step: the initial value read by the declared type's scalar getter and
  // stored with the matching setter of the record's value, which converts to its own type.
  static void StoreInitialValue(TParamCollectionItem& r, uint8_t declared_type,
                                const TCustomParam& initial);
  // Deletes a record. System variables are fixed and are left alone.
  void DeleteVariable(TParamCollectionItem* r);
  void DeleteOwnedBy(int32_t frame);
  // Owners above the removed frame move down by one.
  void RenumberOwnersAbove(int32_t frame);
  std::unique_ptr<TCustomParam> DetachValue(std::string_view name) const;
  void ResetVariables();

  void SaveGameVariables(TStream& s, int32_t version = kGameSaveVersion) const;
  void LoadGameVariables(TStream& s, int32_t version);
  void SaveStatusVariables(TStream& s) const;
  void LoadStatusVariables(TStream& s);

  void PushVariables(const std::vector<std::string>& names);
  void PopVariables();
  const std::vector<std::string>& PushStack() const { return push_stack_; }

  // AssignTemp: the alias only takes a variable that exists and is not @Temp itself.
  bool AssignTemp(std::string_view name);
  const std::string& TempAlias() const { return temp_alias_; }

  // What a system variable stands for: a value registered by a higher layer, the aliased
  // variable for @Temp, or null (reads 0 or empty, writes ignored).
  TCustomParam* SystemTarget(int number) const;
  void SetSystemValue(int number, std::unique_ptr<TCustomParam> value);

  int32_t text_delay = 50;
  std::string cursor_name;
  std::string sel_str;
  int32_t sel_index = 0;
  // Six values of the default history format that saves of versions 113 to 134 carry; the
  // history layer picks them up after a load.
  std::array<int32_t, 6> legacy_history_settings{};

 private:
  TParamCollectionItem* Append(std::string name, std::unique_ptr<TCustomParam> value);
  void Rename(TParamCollectionItem* r, std::string name);
  void Unchain(TParamCollectionItem* r);
  void DeleteAt(int index);
  std::vector<TParamCollectionItem*>* Chain(std::string_view name) const;
  void WriteRecord(TStream& s, const TParamCollectionItem& r) const;
  void WriteRecords(TStream& s, bool status) const;
  void SkipPushBuffer(TStream& s) const;

  int32_t current_frame_id_ = 0;
  uint64_t generation_ = 1;
  std::string temp_alias_;
  std::vector<std::string> push_stack_;
  std::array<std::unique_ptr<TCustomParam>, kSystemVariableCount> system_values_;
  // Records per folded name, oldest link first: the bucket chain read from its tail.
  mutable std::unordered_map<std::string, std::vector<TParamCollectionItem*>> chains_;
};

// A new value of the record's type holding its dimensions and elements; a record whose type
// is not 1 to 4 raises "%s:不正な変数です".
std::unique_ptr<TCustomParam> DetachItemValue(const TParamCollectionItem& r);

// Raises the bad-name message for an empty name, one holding a half-width space or one
// beginning with a digit.
void ValidateVarName(std::string_view name);

}  // namespace quen
