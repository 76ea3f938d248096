#include "expr/db_manager.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "base/extended.h"
#include "base/le.h"
#include "base/sjis.h"
#include "expr/custom_param.h"
#include "expr/param_convert.h"
#include "expr/param_types.h"

namespace quen {

namespace {

// Smallest stored field: size, empty name, type.
constexpr int64_t kMinFieldBytes = 4 + 4 + 1;
// Smallest stored table: kind, empty name, class, field count, record count, record number.
constexpr int64_t kMinTableBytes = 1 + 4 + 1 + 4 + 4 + 4;
constexpr int32_t kDefaultTsvLength = 80;

// The longest prefix of v of at most max bytes that does not split a double-byte character.
size_t CutLength(std::string_view v, size_t max) {
  if (v.size() <= max) return v.size();
  size_t i = 0;
  while (i < v.size()) {
    size_t n = sjis::CharLen(v, i);
    if (i + n > max) break;
    i += n;
  }
  return i;
}

// memcpy that accepts the null pointers of empty buffers when there is nothing to copy.
void CopyBytes(uint8_t* dst, const uint8_t* src, size_t n) {
  if (n) std::memcpy(dst, src, n);
}

// The raw value of a field in its own type. A text stops at its terminator or, when a damaged
// record has none, at the field's end.
int32_t RawInt(const uint8_t* p) {
  return le::I32(p);
}
long double RawFloat(const uint8_t* p) {
  return IsFiniteExtended(p) ? DecodeExtended(p) : 0.0L;
}
bool RawBool(const uint8_t* p) {
  return *p != 0;
}
std::string RawStr(const uint8_t* p, int32_t size) {
  const void* z = std::memchr(p, 0, static_cast<size_t>(size));
  size_t n =
      z ? static_cast<size_t>(static_cast<const uint8_t*>(z) - p) : static_cast<size_t>(size);
  return std::string(reinterpret_cast<const char*>(p), n);
}
void PutRawStr(uint8_t* p, int32_t size, std::string_view v) {
  size_t n = CutLength(v, static_cast<size_t>(size) - 1);
  CopyBytes(p, reinterpret_cast<const uint8_t*>(v.data()), n);
  std::memset(p + n, 0, static_cast<size_t>(size) - n);
}
void PutRawFloat(uint8_t* p, long double v) {
  EncodeExtended(conv::CheckFloat(v), p);
}

// A field of a record read as each access type, converted as variables convert.
int32_t CellInt(const TDBField& f, const uint8_t* rec) {
  const uint8_t* p = rec + f.offset;
  switch (f.type) {
    case PT_INT:
      return RawInt(p);
    case PT_FLOAT:
      return conv::FloatToInt(RawFloat(p));
    case PT_BOOL:
      return RawBool(p) ? 1 : 0;
    default:
      return conv::TextToInt(RawStr(p, f.size));
  }
}
long double CellFloat(const TDBField& f, const uint8_t* rec) {
  const uint8_t* p = rec + f.offset;
  switch (f.type) {
    case PT_INT:
      return RawInt(p);
    case PT_FLOAT:
      return RawFloat(p);
    case PT_BOOL:
      return RawBool(p) ? 1 : 0;
    default:
      return conv::TextToFloat(RawStr(p, f.size));
  }
}
bool CellBool(const TDBField& f, const uint8_t* rec) {
  const uint8_t* p = rec + f.offset;
  switch (f.type) {
    case PT_INT:
      return RawInt(p) != 0;
    case PT_FLOAT:
      return RawFloat(p) != 0;
    case PT_BOOL:
      return RawBool(p);
    default:
      return conv::TextToBool(RawStr(p, f.size));
  }
}
std::string CellStr(const TDBField& f, const uint8_t* rec) {
  const uint8_t* p = rec + f.offset;
  switch (f.type) {
    case PT_INT:
      return conv::IntToText(RawInt(p));
    case PT_FLOAT:
      return conv::FloatToText(RawFloat(p));
    case PT_BOOL:
      return conv::BoolToText(RawBool(p));
    default:
      return RawStr(p, f.size);
  }
}

void PutInt(const TDBField& f, uint8_t* rec, int32_t v) {
  uint8_t* p = rec + f.offset;
  switch (f.type) {
    case PT_INT:
      le::Put32(p, static_cast<uint32_t>(v));
      break;
    case PT_FLOAT:
      PutRawFloat(p, v);
      break;
    case PT_BOOL:
      *p = v != 0;
      break;
    default:
      PutRawStr(p, f.size, conv::IntToText(v));
  }
}
void PutFloat(const TDBField& f, uint8_t* rec, long double v) {
  uint8_t* p = rec + f.offset;
  switch (f.type) {
    case PT_INT:
      le::Put32(p, static_cast<uint32_t>(conv::FloatToInt(v)));
      break;
    case PT_FLOAT:
      PutRawFloat(p, v);
      break;
    case PT_BOOL:
      *p = v != 0;
      break;
    default:
      PutRawStr(p, f.size, conv::FloatToText(v));
  }
}
void PutBool(const TDBField& f, uint8_t* rec, bool v) {
  uint8_t* p = rec + f.offset;
  switch (f.type) {
    case PT_INT:
      le::Put32(p, v ? 1 : 0);
      break;
    case PT_FLOAT:
      PutRawFloat(p, v ? 1 : 0);
      break;
    case PT_BOOL:
      *p = v;
      break;
    default:
      PutRawStr(p, f.size, conv::BoolToText(v));
  }
}
void PutStr(const TDBField& f, uint8_t* rec, std::string_view v) {
  uint8_t* p = rec + f.offset;
  switch (f.type) {
    case PT_INT:
      le::Put32(p, static_cast<uint32_t>(conv::TextToInt(v)));
      break;
    case PT_FLOAT:
      PutRawFloat(p, conv::TextToFloat(v));
      break;
    case PT_BOOL:
      *p = conv::TextToBool(v);
      break;
    default:
      PutRawStr(p, f.size, v);
  }
}

// Whether needle occurs in hay starting at a character boundary.
bool ContainsText(std::string_view hay, std::string_view needle) {
  if (needle.empty()) return true;
  for (size_t i = 0; i + needle.size() <= hay.size(); i += sjis::CharLen(hay, i))
    if (hay.compare(i, needle.size(), needle) == 0) return true;
  return false;
}

std::vector<std::string> SplitAt(std::string_view s, char sep) {
  // Tabs and spaces are never trail bytes of Shift-JIS, so a byte split is safe.
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t p = s.find(sep, start);
    if (p == std::string_view::npos) {
      out.emplace_back(s.substr(start));
      return out;
    }
    out.emplace_back(s.substr(start, p - start));
    start = p + 1;
  }
}

std::vector<std::string> SplitWords(std::string_view s) {
  std::vector<std::string> out;
  for (std::string& w : SplitAt(s, ' '))
    if (!w.empty()) out.push_back(std::move(w));
  return out;
}

// \" and \\ give the character, \n a line break; every other character (trail bytes that
// happen to be backslashes included) stays as it is.
std::string Unescape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    size_t n = sjis::CharLen(s, i);
    if (n == 1 && s[i] == '\\' && i + 1 < s.size()) {
      char next = s[i + 1];
      if (next == '"' || next == '\\') {
        out += next;
        i += 2;
        continue;
      }
      if (next == 'n') {
        out += "\r\n";
        i += 2;
        continue;
      }
    }
    out.append(s.substr(i, n));
    i += n;
  }
  return out;
}

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    char ch = text[i];
    if (ch == '\r' || ch == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      i += (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace

// ---- fields ----

std::optional<int32_t> TDBField::SizeFor(uint8_t type, int64_t max_length) {
  switch (type) {
    case PT_INT:
      return 4;
    case PT_FLOAT:
      return kExtendedSize;
    case PT_BOOL:
      return 1;
    case PT_STR:
      if (max_length < 0 || max_length + 1 > kDBMaxRecordSize) return std::nullopt;
      return static_cast<int32_t>(max_length + 1);
    default:
      return std::nullopt;
  }
}

bool TDBField::SizeFits(uint8_t type, int32_t size) {
  if (type == PT_STR) return size >= 1 && size <= kDBMaxRecordSize;
  std::optional<int32_t> expected = SizeFor(type, 0);
  return expected && *expected == size;
}

int32_t TDBFieldList::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (sjis::EqualsNoCase(fields_[i].name, name)) return static_cast<int32_t>(i);
  return -1;
}

void TDBFieldList::Add(TDBField field) {
  field.offset = record_size_;
  record_size_ += field.size;
  fields_.push_back(std::move(field));
}

void TDBFieldList::Remove(int32_t index) {
  if (index < 0 || index >= Count()) return;
  fields_.erase(fields_.begin() + index);
  Recount();
}

void TDBFieldList::Clear() {
  fields_.clear();
  record_size_ = 0;
}

bool TDBFieldList::SameAs(const TDBFieldList& other) const {
  if (fields_.size() != other.fields_.size()) return false;
  for (size_t i = 0; i < fields_.size(); ++i) {
    const TDBField& a = fields_[i];
    const TDBField& b = other.fields_[i];
    if (a.name != b.name || a.type != b.type || a.size != b.size) return false;
  }
  return true;
}

void TDBFieldList::Recount() {
  record_size_ = 0;
  for (TDBField& f : fields_) {
    f.offset = record_size_;
    record_size_ += f.size;
  }
}

// ---- tables ----

bool TDBCustomTable::LoadTsvText(std::string_view text) {
  return LoadTsvLines(SplitTextLines(text));
}

const uint8_t* TDBTable::RecordData(int32_t index) const {
  if (index < 0 || index >= count_) return nullptr;
  // Records of a table without fields have no bytes, yet they exist.
  static const uint8_t kNoBytes = 0;
  if (fields_.RecordSize() == 0) return &kNoBytes;
  return data_.data() + static_cast<size_t>(index) * static_cast<size_t>(fields_.RecordSize());
}

uint8_t* TDBTable::MutableRecord(int32_t index) {
  return const_cast<uint8_t*>(RecordData(index));
}

bool TDBTable::FieldOk(int32_t record, int32_t field) const {
  return record >= 0 && record < count_ && field >= 0 && field < fields_.Count();
}

bool TDBTable::AddField(std::string_view name, int32_t type, int32_t max_length) {
  if (type < PT_INT || type > PT_STR || name.empty() || fields_.IndexOf(name) >= 0) return false;
  std::optional<int32_t> size = TDBField::SizeFor(static_cast<uint8_t>(type), max_length);
  if (!size || int64_t{fields_.RecordSize()} + *size > kDBMaxRecordSize) return false;
  const size_t old_size = static_cast<size_t>(fields_.RecordSize());
  const size_t new_size = old_size + static_cast<size_t>(*size);
  std::vector<uint8_t> data(new_size * static_cast<size_t>(count_), 0);
  for (size_t r = 0; r < static_cast<size_t>(count_); ++r)
    CopyBytes(data.data() + r * new_size, data_.data() + r * old_size, old_size);
  data_ = std::move(data);
  fields_.Add(TDBField{std::string(name), static_cast<uint8_t>(type), *size, 0});
  return true;
}

bool TDBTable::RemoveField(int32_t index) {
  if (index < 0 || index >= fields_.Count()) return false;
  const TDBField f = fields_[index];
  const size_t old_size = static_cast<size_t>(fields_.RecordSize());
  const size_t new_size = old_size - static_cast<size_t>(f.size);
  const size_t head = static_cast<size_t>(f.offset);
  const size_t tail = old_size - head - static_cast<size_t>(f.size);
  std::vector<uint8_t> data(new_size * static_cast<size_t>(count_));
  for (size_t r = 0; r < static_cast<size_t>(count_); ++r) {
    const uint8_t* src = data_.data() + r * old_size;
    CopyBytes(data.data() + r * new_size, src, head);
    CopyBytes(data.data() + r * new_size + head, src + head + f.size, tail);
  }
  data_ = std::move(data);
  fields_.Remove(index);
  return true;
}

bool TDBTable::Append() {
  if (count_ >= kDBMaxRecords) return false;
  data_.resize(data_.size() + static_cast<size_t>(fields_.RecordSize()), 0);
  rec_no_ = count_++;
  return true;
}

bool TDBTable::AppendCopy(const uint8_t* data) {
  if (count_ >= kDBMaxRecords || !data) return false;
  // The source may lie inside data_, which the resize can move: copy it out first.
  std::vector<uint8_t> copy(data, data + fields_.RecordSize());
  data_.insert(data_.end(), copy.begin(), copy.end());
  ++count_;
  return true;
}

bool TDBTable::DeleteCurrent() {
  if (rec_no_ < 0 || rec_no_ >= count_) return false;
  const size_t rs = static_cast<size_t>(fields_.RecordSize());
  auto at = data_.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(rec_no_) * rs);
  data_.erase(at, at + static_cast<std::ptrdiff_t>(rs));
  --count_;
  // The record after the deleted one takes its place; after the last, the new last.
  if (rec_no_ >= count_) rec_no_ = count_ - 1;
  return true;
}

bool TDBTable::First() {
  if (count_ == 0) return false;
  rec_no_ = 0;
  return true;
}

bool TDBTable::Last() {
  if (count_ == 0) return false;
  rec_no_ = count_ - 1;
  return true;
}

bool TDBTable::Next() {
  if (rec_no_ + 1 >= count_) return false;
  ++rec_no_;
  return true;
}

bool TDBTable::Prior() {
  if (rec_no_ <= 0) return false;
  --rec_no_;
  return true;
}

bool TDBTable::SetRecNo(int32_t index) {
  if (index < 0) {
    rec_no_ = -1;
    return true;
  }
  if (index >= count_) return false;
  rec_no_ = index;
  return true;
}

std::optional<int32_t> TDBTable::GetInt(std::string_view field) const {
  return GetIntAt(rec_no_, fields_.IndexOf(field));
}
bool TDBTable::SetInt(std::string_view field, int32_t v) {
  return SetIntAt(rec_no_, fields_.IndexOf(field), v);
}
std::optional<long double> TDBTable::GetFloat(std::string_view field) const {
  return GetFloatAt(rec_no_, fields_.IndexOf(field));
}
bool TDBTable::SetFloat(std::string_view field, long double v) {
  return SetFloatAt(rec_no_, fields_.IndexOf(field), v);
}
std::optional<bool> TDBTable::GetBool(std::string_view field) const {
  return GetBoolAt(rec_no_, fields_.IndexOf(field));
}
bool TDBTable::SetBool(std::string_view field, bool v) {
  return SetBoolAt(rec_no_, fields_.IndexOf(field), v);
}
std::optional<std::string> TDBTable::GetStr(std::string_view field) const {
  return GetStrAt(rec_no_, fields_.IndexOf(field));
}
bool TDBTable::SetStr(std::string_view field, std::string_view v) {
  return SetStrAt(rec_no_, fields_.IndexOf(field), v);
}

std::optional<int32_t> TDBTable::GetIntAt(int32_t record, int32_t field) const {
  if (!FieldOk(record, field)) return std::nullopt;
  return CellInt(fields_[field], RecordData(record));
}
bool TDBTable::SetIntAt(int32_t record, int32_t field, int32_t v) {
  if (!FieldOk(record, field)) return false;
  PutInt(fields_[field], MutableRecord(record), v);
  return true;
}
std::optional<long double> TDBTable::GetFloatAt(int32_t record, int32_t field) const {
  if (!FieldOk(record, field)) return std::nullopt;
  return CellFloat(fields_[field], RecordData(record));
}
bool TDBTable::SetFloatAt(int32_t record, int32_t field, long double v) {
  if (!FieldOk(record, field)) return false;
  PutFloat(fields_[field], MutableRecord(record), v);
  return true;
}
std::optional<bool> TDBTable::GetBoolAt(int32_t record, int32_t field) const {
  if (!FieldOk(record, field)) return std::nullopt;
  return CellBool(fields_[field], RecordData(record));
}
bool TDBTable::SetBoolAt(int32_t record, int32_t field, bool v) {
  if (!FieldOk(record, field)) return false;
  PutBool(fields_[field], MutableRecord(record), v);
  return true;
}
std::optional<std::string> TDBTable::GetStrAt(int32_t record, int32_t field) const {
  if (!FieldOk(record, field)) return std::nullopt;
  return CellStr(fields_[field], RecordData(record));
}
bool TDBTable::SetStrAt(int32_t record, int32_t field, std::string_view v) {
  if (!FieldOk(record, field)) return false;
  PutStr(fields_[field], MutableRecord(record), v);
  return true;
}

std::vector<int32_t> TDBTable::Search(const TDBSearch& q) const {
  std::vector<int32_t> out;
  int32_t n = 0;
  if (q.names && q.values) n = std::min(q.names->GetCount(), q.values->GetCount());
  if (n <= 0) {
    out.resize(static_cast<size_t>(count_));
    std::iota(out.begin(), out.end(), 0);
    return out;
  }
  // The conditions, read once: the field of each name and the wanted value in the type of
  // the values argument.
  const uint8_t vtype = q.values->GetValueType();
  struct Cond {
    int32_t field = -1;
    int32_t i = 0;
    long double f = 0;
    bool b = false;
    std::string s;
  };
  std::vector<Cond> conds(static_cast<size_t>(n));
  for (int32_t k = 0; k < n; ++k) {
    Cond& c = conds[static_cast<size_t>(k)];
    c.field = fields_.IndexOf(q.names->GetStrAt(k));
    switch (vtype) {
      case PT_INT:
        c.i = q.values->GetIntAt(k);
        break;
      case PT_FLOAT:
        c.f = q.values->GetFloatAt(k);
        break;
      case PT_BOOL:
        c.b = q.values->GetBoolAt(k);
        break;
      default:
        c.s = q.values->GetStrAt(k);
        if (q.partial && q.ignore_case) c.s = sjis::UpperAscii(c.s);
    }
  }
  for (int32_t r = 0; r < count_; ++r) {
    const uint8_t* rec = RecordData(r);
    bool match = true;
    for (const Cond& c : conds) {
      // A name that is no field ends the whole search.
      if (c.field < 0) return out;
      const TDBField& f = fields_[c.field];
      switch (vtype) {
        case PT_INT:
          match = CellInt(f, rec) == c.i;
          break;
        case PT_FLOAT:
          match = CellFloat(f, rec) == c.f;
          break;
        case PT_BOOL:
          match = CellBool(f, rec) == c.b;
          break;
        default: {
          std::string text = CellStr(f, rec);
          if (q.partial)
            match = ContainsText(c.s, q.ignore_case ? sjis::UpperAscii(text) : text);
          else
            match = q.ignore_case ? sjis::EqualsNoCase(text, c.s) : text == c.s;
        }
      }
      if (!match) break;
    }
    if (match) out.push_back(r);
  }
  return out;
}

bool TDBTable::LoadTsvLines(const std::vector<std::string>& lines) {
  Clear();
  if (lines.empty()) return false;
  TDBFieldList fields;
  for (const std::string& column : SplitAt(lines[0], '\t')) {
    std::vector<std::string> words = SplitWords(column);
    if (words.empty()) return false;
    uint8_t type = PT_STR;
    if (words.size() > 1) {
      std::string word = sjis::LowerAscii(words[1]);
      if (word == "int")
        type = PT_INT;
      else if (word == "float")
        type = PT_FLOAT;
      else if (word == "bool")
        type = PT_BOOL;
    }
    int64_t length = kDefaultTsvLength;
    if (words.size() > 2) length = conv::ParseInt(words[2]).value_or(kDefaultTsvLength);
    // A negative length (no room even for the terminator) or an oversized record is refused
    // like an empty name.
    std::optional<int32_t> size = TDBField::SizeFor(type, length);
    if (!size || int64_t{fields.RecordSize()} + *size > kDBMaxRecordSize) return false;
    fields.Add(TDBField{words[0], type, *size, 0});
  }
  fields_ = std::move(fields);
  for (size_t l = 1; l < lines.size() && count_ < kDBMaxRecords; ++l) {
    if (lines[l].empty()) continue;
    std::vector<std::string> cells = SplitAt(Unescape(lines[l]), '\t');
    Append();
    const size_t n = std::min(cells.size(), static_cast<size_t>(fields_.Count()));
    for (size_t i = 0; i < n; ++i) SetStrAt(count_ - 1, static_cast<int32_t>(i), cells[i]);
  }
  rec_no_ = count_ > 0 ? 0 : -1;
  return true;
}

void TDBTable::Clear() {
  ClearRecords();
  fields_.Clear();
}

void TDBTable::ClearRecords() {
  data_.clear();
  data_.shrink_to_fit();
  count_ = 0;
  rec_no_ = -1;
}

void TDBTable::SaveToStream(TStream& s) const {
  WriteInt32(s, fields_.Count());
  for (const TDBField& f : fields_.Items()) {
    WriteInt32(s, f.size);
    WriteString(s, f.name);
    WriteByte(s, f.type);
  }
  WriteInt32(s, count_);
  s.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
  WriteInt32(s, rec_no_);
}

void TDBTable::LoadFromStream(TStream& s) {
  TDBFieldList fields;
  const int32_t field_count = ReadInt32(s);
  if (field_count < 0 || field_count > s.Remaining() / kMinFieldBytes) RaiseReadError();
  for (int32_t i = 0; i < field_count; ++i) {
    TDBField f;
    f.size = ReadInt32(s);
    f.name = ReadString(s);
    f.type = ReadByte(s);
    if (!TDBField::SizeFits(f.type, f.size)) RaiseReadError();
    if (int64_t{fields.RecordSize()} + f.size > kDBMaxRecordSize) RaiseReadError();
    fields.Add(std::move(f));
  }
  const int32_t count = ReadInt32(s);
  if (count < 0 || count > kDBMaxRecords) RaiseReadError();
  const int64_t bytes = int64_t{count} * fields.RecordSize();
  if (bytes > s.Remaining()) RaiseReadError();
  std::vector<uint8_t> data(static_cast<size_t>(bytes));
  s.ReadBuffer(data.data(), bytes);
  // A real that is no finite number would trap on every use: the record is damaged.
  for (const TDBField& f : fields.Items()) {
    if (f.type != PT_FLOAT) continue;
    for (int64_t r = 0; r < count; ++r)
      if (!IsFiniteExtended(data.data() + r * fields.RecordSize() + f.offset)) RaiseReadError();
  }
  int32_t rec_no = ReadInt32(s);
  // Earlier players could leave the number beyond the records; keep it inside.
  if (rec_no >= count) rec_no = count - 1;
  if (rec_no < -1) rec_no = -1;
  fields_ = std::move(fields);
  data_ = std::move(data);
  count_ = count;
  rec_no_ = rec_no;
}

void TDBTable::Sort(const std::vector<TDBSortKey>& keys) {
  std::vector<TDBSortKey> used;
  for (const TDBSortKey& k : keys)
    if (k.field >= 0 && k.field < fields_.Count()) used.push_back(k);
  // Records without bytes are all alike.
  if (used.empty() || count_ < 2 || fields_.RecordSize() == 0) return;
  // Numbers for integer and real fields, text forms for the others, read once per record.
  struct Key {
    long double num = 0;
    std::string text;
  };
  const size_t nk = used.size();
  std::vector<Key> table(static_cast<size_t>(count_) * nk);
  for (int32_t r = 0; r < count_; ++r) {
    const uint8_t* rec = RecordData(r);
    for (size_t k = 0; k < nk; ++k) {
      const TDBField& f = fields_[used[k].field];
      Key& key = table[static_cast<size_t>(r) * nk + k];
      if (f.type == PT_INT || f.type == PT_FLOAT)
        key.num = CellFloat(f, rec);
      else
        key.text = CellStr(f, rec);
    }
  }
  std::vector<int32_t> order(static_cast<size_t>(count_));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    for (size_t k = 0; k < nk; ++k) {
      const Key& ka = table[static_cast<size_t>(a) * nk + k];
      const Key& kb = table[static_cast<size_t>(b) * nk + k];
      const uint8_t type = fields_[used[k].field].type;
      int cmp;
      if (type == PT_INT || type == PT_FLOAT)
        cmp = ka.num < kb.num ? -1 : (kb.num < ka.num ? 1 : 0);
      else
        cmp = ka.text.compare(kb.text);  // char_traits<char> compares bytes unsigned
      if (cmp != 0) return used[k].descending ? cmp > 0 : cmp < 0;
    }
    return false;
  });
  const size_t rs = static_cast<size_t>(fields_.RecordSize());
  std::vector<uint8_t> data(data_.size());
  for (size_t i = 0; i < order.size(); ++i)
    std::memcpy(data.data() + i * rs, data_.data() + static_cast<size_t>(order[i]) * rs, rs);
  data_ = std::move(data);
}

void TDBTable::AssignRecords(const TDBCustomTable& source, const std::vector<int32_t>& records) {
  const size_t rs = static_cast<size_t>(source.Fields().RecordSize());
  std::vector<uint8_t> data;
  int32_t count = 0;
  for (int32_t r : records) {
    const uint8_t* rec = source.RecordData(r);
    if (!rec || count >= kDBMaxRecords) continue;
    data.insert(data.end(), rec, rec + rs);
    ++count;
  }
  // Built aside first: the source may be this table.
  fields_ = source.Fields();
  data_ = std::move(data);
  count_ = count;
  rec_no_ = count > 0 ? 0 : -1;
}

bool TDBTable::AppendConverted(const TDBCustomTable& source, const std::vector<int32_t>& records) {
  std::vector<int32_t> map(static_cast<size_t>(fields_.Count()));
  for (int32_t j = 0; j < fields_.Count(); ++j)
    map[static_cast<size_t>(j)] = source.Fields().IndexOf(fields_[j].name);
  const size_t rs = static_cast<size_t>(fields_.RecordSize());
  std::vector<uint8_t> added;
  int32_t n = 0;
  for (int32_t r : records) {
    if (r < 0 || r >= source.RecordCount()) continue;
    if (count_ + n >= kDBMaxRecords) break;
    added.resize(added.size() + rs, 0);
    uint8_t* rec = added.data() + added.size() - rs;
    for (int32_t j = 0; j < fields_.Count(); ++j) {
      const int32_t m = map[static_cast<size_t>(j)];
      if (m < 0) continue;
      const TDBField& f = fields_[j];
      switch (f.type) {
        case PT_INT:
          PutInt(f, rec, source.GetIntAt(r, m).value_or(0));
          break;
        case PT_FLOAT:
          PutFloat(f, rec, source.GetFloatAt(r, m).value_or(0));
          break;
        case PT_BOOL:
          PutBool(f, rec, source.GetBoolAt(r, m).value_or(false));
          break;
        default:
          PutStr(f, rec, source.GetStrAt(r, m).value_or(std::string()));
      }
    }
    ++n;
  }
  data_.insert(data_.end(), added.begin(), added.end());
  count_ += n;
  return true;
}

// ---- manager ----

TDBCustomTable* TDBManager::Table(int32_t index) const {
  if (index < 0 || index >= TableCount()) return nullptr;
  return tables_[static_cast<size_t>(index)].get();
}

TDBCustomTable* TDBManager::Find(std::string_view name) const {
  for (const auto& t : tables_)
    if (sjis::EqualsNoCase(t->Name(), name)) return t.get();
  return nullptr;
}

int32_t TDBManager::ActiveIndex() const {
  for (size_t i = 0; i < tables_.size(); ++i)
    if (tables_[i].get() == active_) return static_cast<int32_t>(i);
  return -1;
}

bool TDBManager::SetActive(std::string_view name) {
  TDBCustomTable* t = Find(name);
  if (!t) return false;
  active_ = t;
  return true;
}

bool TDBManager::CreateTable(std::string_view name, uint8_t save_class) {
  // An empty name could not be told from "no active table" in the game save.
  if (name.empty() || Find(name)) return false;
  tables_.push_back(std::make_unique<TDBTable>(
      std::string(name), save_class == kDBGameClass ? kDBGameClass : kDBStatusClass));
  return true;
}

bool TDBManager::DeleteTable(std::string_view name) {
  return Remove(Find(name));
}

bool TDBManager::Remove(const TDBCustomTable* table) {
  auto it = std::find_if(tables_.begin(), tables_.end(),
                         [table](const auto& t) { return t.get() == table; });
  if (!table || it == tables_.end()) return false;
  if (active_ == table) active_ = nullptr;
  tables_.erase(it);
  return true;
}

void TDBManager::Clear() {
  active_ = nullptr;
  tables_.clear();
}

void TDBManager::Reset() {
  active_ = nullptr;
  std::erase_if(tables_, [](const auto& t) { return t->SaveClass() == kDBGameClass; });
}

void TDBManager::SaveToStream(TStream& s, uint8_t save_class) const {
  WriteInt32(s, kDBStreamVersion);
  int32_t n = 0;
  for (const auto& t : tables_) n += t->SaveClass() == save_class;
  WriteInt32(s, n);
  for (const auto& t : tables_) {
    if (t->SaveClass() != save_class) continue;
    WriteByte(s, 0);
    WriteString(s, t->Name());
    WriteByte(s, t->SaveClass());
    t->SaveToStream(s);
  }
  if (save_class == kDBGameClass) WriteString(s, active_ ? active_->Name() : std::string());
}

void TDBManager::LoadFromStream(TStream& s, uint8_t save_class) {
  // Everything is read aside first, so that a damaged stream leaves the tables as they were.
  if (ReadInt32(s) != kDBStreamVersion) RaiseReadError();
  const int32_t n = ReadInt32(s);
  if (n < 0 || n > s.Remaining() / kMinTableBytes) RaiseReadError();
  std::vector<std::unique_ptr<TDBCustomTable>> loaded;
  for (int32_t i = 0; i < n; ++i) {
    if (ReadByte(s) != 0) RaiseReadError();  // the only table kind
    std::string name = ReadString(s);
    if (ReadByte(s) != save_class) RaiseReadError();
    auto t = std::make_unique<TDBTable>(std::move(name), save_class);
    t->LoadFromStream(s);
    loaded.push_back(std::move(t));
  }
  std::string active_name;
  if (save_class == kDBGameClass) active_name = ReadString(s);

  const bool active_replaced = active_ && active_->SaveClass() == save_class;
  const std::string old_active = active_ ? active_->Name() : std::string();
  if (active_replaced) active_ = nullptr;
  std::erase_if(tables_, [save_class](const auto& t) { return t->SaveClass() == save_class; });
  TDBCustomTable* same_name = nullptr;
  for (auto& t : loaded) {
    if (!same_name && active_replaced && sjis::EqualsNoCase(t->Name(), old_active))
      same_name = t.get();
    tables_.push_back(std::move(t));
  }
  if (save_class == kDBGameClass)
    active_ = active_name.empty() ? nullptr : Find(active_name);
  else if (active_replaced)
    active_ = same_name;
}

}  // namespace quen
