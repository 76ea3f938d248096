// The table database: named in-memory tables of typed fields and fixed-size records that
// scripts fill, search and sort through the DB system functions, load from tab-separated text
// files, and keep either with the game saves or with the status save.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/stream.h"

namespace quen {

class TCustomParam;
class TSysFuncMan;

// Save classes of a table.
constexpr uint8_t kDBGameClass = 0;
constexpr uint8_t kDBStatusClass = 1;

// Version of the stream form of the database.
constexpr int32_t kDBStreamVersion = 100;

// Limits that keep a damaged save or a runaway script from asking for absurd allocations: the
// original's 32-bit address space could not hold more either.
constexpr int32_t kDBMaxRecordSize = 1 << 24;
constexpr int32_t kDBMaxRecords = 1 << 24;

class TDBField {
 public:
  std::string name;
  uint8_t type = 0;  // PT_INT, PT_FLOAT, PT_BOOL or PT_STR
  int32_t size = 0;  // bytes in a record: 4, 10, 1, or the string's maximum length + 1
  int32_t offset = 0;

  // The size of a field of this type and maximum string length; nullopt for another type or a
  // string length that gives no room (negative) or too much.
  static std::optional<int32_t> SizeFor(uint8_t type, int64_t max_length);
  // True when size is the one a field of this type can have.
  static bool SizeFits(uint8_t type, int32_t size);
};

class TDBFieldList {
 public:
  int32_t Count() const { return static_cast<int32_t>(fields_.size()); }
  const TDBField& operator[](int32_t i) const { return fields_[static_cast<size_t>(i)]; }
  const std::vector<TDBField>& Items() const { return fields_; }
  int32_t RecordSize() const { return record_size_; }
  // Index of the first field with this name compared ignoring case, or -1.
  int32_t IndexOf(std::string_view name) const;
  // Appends the field at the end of a record (its offset is filled in).
  void Add(TDBField field);
  void Remove(int32_t index);
  void Clear();
  // Same count and, field by field, the same name (exactly), type and size.
  bool SameAs(const TDBFieldList& other) const;

 private:
  void Recount();

  std::vector<TDBField> fields_;
  int32_t record_size_ = 0;
};

// The search of DBLocate, DBDirect*, DBCopyTable and DBInsertTable: element i of names (a field
// name) must match element i of values; no names or no values match every record.
struct TDBSearch {
  const TCustomParam* names = nullptr;
  const TCustomParam* values = nullptr;
  bool partial = false;
  bool ignore_case = false;
};

// One sort key: a field and its direction.
struct TDBSortKey {
  int32_t field = 0;
  bool descending = false;
};

// The operations of a table. Getters answer nullopt when the field or the record is missing,
// setters false; values are converted to and from the field's type as variables convert them.
class TDBCustomTable {
 public:
  TDBCustomTable(std::string name, uint8_t save_class)
      : name_(std::move(name)), save_class_(save_class) {}
  virtual ~TDBCustomTable() = default;
  TDBCustomTable(const TDBCustomTable&) = delete;
  TDBCustomTable& operator=(const TDBCustomTable&) = delete;

  const std::string& Name() const { return name_; }
  uint8_t SaveClass() const { return save_class_; }
  const TDBFieldList& Fields() const { return fields_; }

  virtual int32_t RecordCount() const = 0;
  // The current record, -1 for none; always below RecordCount.
  virtual int32_t RecNo() const = 0;
  // Record bytes (RecordSize of the field list); null for no current record or out of range.
  virtual const uint8_t* CurrentData() const = 0;
  virtual const uint8_t* RecordData(int32_t index) const = 0;
  // Adds a field; existing records grow by its size, zero-filled. False for a bad type or
  // length, an empty or repeated name, or a record that would grow too large.
  virtual bool AddField(std::string_view name, int32_t type, int32_t max_length) = 0;
  virtual bool RemoveField(int32_t index) = 0;
  // Appends a zero-filled record and makes it current; false when the table is full.
  virtual bool Append() = 0;
  // Appends a copy of a record of this layout (it may be one of this table's own) without
  // moving the current record.
  virtual bool AppendCopy(const uint8_t* data) = 0;
  virtual bool DeleteCurrent() = 0;
  virtual bool First() = 0;
  virtual bool Last() = 0;
  virtual bool Next() = 0;
  virtual bool Prior() = 0;
  // A negative index clears the current record; false (unchanged) at or beyond the count.
  virtual bool SetRecNo(int32_t index) = 0;

  virtual std::optional<int32_t> GetInt(std::string_view field) const = 0;
  virtual bool SetInt(std::string_view field, int32_t v) = 0;
  virtual std::optional<long double> GetFloat(std::string_view field) const = 0;
  virtual bool SetFloat(std::string_view field, long double v) = 0;
  virtual std::optional<bool> GetBool(std::string_view field) const = 0;
  virtual bool SetBool(std::string_view field, bool v) = 0;
  virtual std::optional<std::string> GetStr(std::string_view field) const = 0;
  virtual bool SetStr(std::string_view field, std::string_view v) = 0;

  virtual std::optional<int32_t> GetIntAt(int32_t record, int32_t field) const = 0;
  virtual bool SetIntAt(int32_t record, int32_t field, int32_t v) = 0;
  virtual std::optional<long double> GetFloatAt(int32_t record, int32_t field) const = 0;
  virtual bool SetFloatAt(int32_t record, int32_t field, long double v) = 0;
  virtual std::optional<bool> GetBoolAt(int32_t record, int32_t field) const = 0;
  virtual bool SetBoolAt(int32_t record, int32_t field, bool v) = 0;
  virtual std::optional<std::string> GetStrAt(int32_t record, int32_t field) const = 0;
  virtual bool SetStrAt(int32_t record, int32_t field, std::string_view v) = 0;

  // Indexes of the matching records in record order.
  virtual std::vector<int32_t> Search(const TDBSearch& search) const = 0;
  // Replaces fields and records from the lines of a tab-separated file (header first); false
  // when the header names no field or names an empty one (the table is then left empty).
  virtual bool LoadTsvLines(const std::vector<std::string>& lines) = 0;
  // The same from the file's text: CR LF, LF and CR each end a line.
  bool LoadTsvText(std::string_view text);
  // Drops fields and records.
  virtual void Clear() = 0;
  virtual void ClearRecords() = 0;
  virtual void SaveToStream(TStream& s) const = 0;
  // Reads what SaveToStream wrote (the manager stores the kind byte, name and save class before
  // it); raises the stream read error on damage and then keeps its former content.
  virtual void LoadFromStream(TStream& s) = 0;
  // Orders the records by the keys, the first deciding first (stable).
  virtual void Sort(const std::vector<TDBSortKey>& keys) = 0;
  // Replaces fields and records with the given records of source (which may be this table);
  // the current record becomes the first, or none.
  virtual void AssignRecords(const TDBCustomTable& source, const std::vector<int32_t>& records) = 0;
  // Appends the given records of source (which may be this table), each field taken from the
  // source field of the same name, converted, the others zero; the current record stays.
  virtual bool AppendConverted(const TDBCustomTable& source,
                               const std::vector<int32_t>& records) = 0;

 protected:
  std::string name_;
  uint8_t save_class_;
  TDBFieldList fields_;
};

class TDBTable : public TDBCustomTable {
 public:
  using TDBCustomTable::TDBCustomTable;

  int32_t RecordCount() const override { return count_; }
  int32_t RecNo() const override { return rec_no_; }
  const uint8_t* CurrentData() const override { return RecordData(rec_no_); }
  const uint8_t* RecordData(int32_t index) const override;
  bool AddField(std::string_view name, int32_t type, int32_t max_length) override;
  bool RemoveField(int32_t index) override;
  bool Append() override;
  bool AppendCopy(const uint8_t* data) override;
  bool DeleteCurrent() override;
  bool First() override;
  bool Last() override;
  bool Next() override;
  bool Prior() override;
  bool SetRecNo(int32_t index) override;

  std::optional<int32_t> GetInt(std::string_view field) const override;
  bool SetInt(std::string_view field, int32_t v) override;
  std::optional<long double> GetFloat(std::string_view field) const override;
  bool SetFloat(std::string_view field, long double v) override;
  std::optional<bool> GetBool(std::string_view field) const override;
  bool SetBool(std::string_view field, bool v) override;
  std::optional<std::string> GetStr(std::string_view field) const override;
  bool SetStr(std::string_view field, std::string_view v) override;

  std::optional<int32_t> GetIntAt(int32_t record, int32_t field) const override;
  bool SetIntAt(int32_t record, int32_t field, int32_t v) override;
  std::optional<long double> GetFloatAt(int32_t record, int32_t field) const override;
  bool SetFloatAt(int32_t record, int32_t field, long double v) override;
  std::optional<bool> GetBoolAt(int32_t record, int32_t field) const override;
  bool SetBoolAt(int32_t record, int32_t field, bool v) override;
  std::optional<std::string> GetStrAt(int32_t record, int32_t field) const override;
  bool SetStrAt(int32_t record, int32_t field, std::string_view v) override;

  std::vector<int32_t> Search(const TDBSearch& search) const override;
  bool LoadTsvLines(const std::vector<std::string>& lines) override;
  void Clear() override;
  void ClearRecords() override;
  void SaveToStream(TStream& s) const override;
  void LoadFromStream(TStream& s) override;
  void Sort(const std::vector<TDBSortKey>& keys) override;
  void AssignRecords(const TDBCustomTable& source, const std::vector<int32_t>& records) override;
  bool AppendConverted(const TDBCustomTable& source, const std::vector<int32_t>& records) override;

 private:
  uint8_t* MutableRecord(int32_t index);
  bool FieldOk(int32_t record, int32_t field) const;

  // All records back to back: count_ blocks of the field list's record size.
  std::vector<uint8_t> data_;
  int32_t count_ = 0;
  int32_t rec_no_ = -1;
};

class TDBManager {
 public:
  int32_t TableCount() const { return static_cast<int32_t>(tables_.size()); }
  TDBCustomTable* Table(int32_t index) const;
  // The first table with this name compared ignoring case, or null.
  TDBCustomTable* Find(std::string_view name) const;
  TDBCustomTable* Active() const { return active_; }
  // The active table's position in the list, -1 for none.
  int32_t ActiveIndex() const;
  bool SetActive(std::string_view name);
  // False when the name is empty or taken.
  bool CreateTable(std::string_view name, uint8_t save_class);
  bool DeleteTable(std::string_view name);
  // Deletes this table (null: false); deleting the active table leaves none active.
  bool Remove(const TDBCustomTable* table);
  // Every table goes and none is active (DBClearTable).
  void Clear();
  // The Reset command: the game tables go and none is active; the status tables stay, as the
  // status variables do.
  void Reset();

  // Stream forms inside the game save (class 0, followed by the active table's name) and the
  // status save (class 1). Loading replaces the tables of that class; a damaged stream raises
  // the stream read error and changes nothing.
  void SaveToStream(TStream& s, uint8_t save_class) const;
  void LoadFromStream(TStream& s, uint8_t save_class);
  void SaveGameToStream(TStream& s) const { SaveToStream(s, kDBGameClass); }
  void LoadGameFromStream(TStream& s) { LoadFromStream(s, kDBGameClass); }
  void SaveStatusToStream(TStream& s) const { SaveToStream(s, kDBStatusClass); }
  void LoadStatusFromStream(TStream& s) { LoadFromStream(s, kDBStatusClass); }

 private:
  std::vector<std::unique_ptr<TDBCustomTable>> tables_;
  // Kept by identity, so that replacing other tables never moves it.
  TDBCustomTable* active_ = nullptr;
};

// Registers DBCreateTable ... DBClearRecord (numbers 87 to 124) working on db.
void RegisterDatabaseFunctions(TSysFuncMan& funcs, TDBManager& db);

}  // namespace quen
