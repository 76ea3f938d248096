#include "expr/custom_param.h"

#include <algorithm>
#include <typeinfo>

#include "base/error.h"
#include "base/sjis.h"
#include "expr/messages.h"
#include "expr/param_convert.h"
#include "expr/param_var.h"

namespace quen {

namespace {

// Conversions of one stored element to and from the four access types.
int32_t ToInt(int32_t v) {
  return v;
}
int32_t ToInt(long double v) {
  return conv::FloatToInt(v);
}
int32_t ToInt(uint8_t v) {
  return v ? 1 : 0;
}
int32_t ToInt(const std::string& v) {
  return conv::TextToInt(v);
}
long double ToFloat(int32_t v) {
  return v;
}
long double ToFloat(long double v) {
  return v;
}
long double ToFloat(uint8_t v) {
  return v ? 1 : 0;
}
long double ToFloat(const std::string& v) {
  return conv::TextToFloat(v);
}
bool ToBool(int32_t v) {
  return v != 0;
}
bool ToBool(long double v) {
  return v != 0;
}
bool ToBool(uint8_t v) {
  return v != 0;
}
bool ToBool(const std::string& v) {
  return conv::TextToBool(v);
}
std::string ToStr(int32_t v) {
  return conv::IntToText(v);
}
std::string ToStr(long double v) {
  return conv::FloatToText(v);
}
std::string ToStr(uint8_t v) {
  return conv::BoolToText(v != 0);
}
std::string ToStr(const std::string& v) {
  return v;
}

template <typename T>
T FromInt(int32_t v);
template <>
int32_t FromInt(int32_t v) {
  return v;
}
template <>
long double FromInt(int32_t v) {
  return v;
}
template <>
uint8_t FromInt(int32_t v) {
  return v != 0;
}
template <>
std::string FromInt(int32_t v) {
  return conv::IntToText(v);
}

template <typename T>
T FromFloat(long double v);
template <>
int32_t FromFloat(long double v) {
  return conv::FloatToInt(v);
}
template <>
long double FromFloat(long double v) {
  return conv::CheckFloat(v);
}
template <>
uint8_t FromFloat(long double v) {
  return v != 0;
}
template <>
std::string FromFloat(long double v) {
  return conv::FloatToText(v);
}

template <typename T>
T FromBool(bool v);
template <>
int32_t FromBool(bool v) {
  return v ? 1 : 0;
}
template <>
long double FromBool(bool v) {
  return v ? 1 : 0;
}
template <>
uint8_t FromBool(bool v) {
  return v;
}
template <>
std::string FromBool(bool v) {
  return conv::BoolToText(v);
}

template <typename T>
T FromStr(std::string_view v);
template <>
int32_t FromStr(std::string_view v) {
  return conv::TextToInt(v);
}
template <>
long double FromStr(std::string_view v) {
  return conv::TextToFloat(v);
}
template <>
uint8_t FromStr(std::string_view v) {
  return conv::TextToBool(v);
}
template <>
std::string FromStr(std::string_view v) {
  return std::string(v);
}

// Stream forms of one element and the fewest bytes it takes.
void WriteItem(TStream& s, int32_t v) {
  WriteInt32(s, v);
}
void WriteItem(TStream& s, long double v) {
  WriteExtended(s, v);
}
void WriteItem(TStream& s, uint8_t v) {
  WriteByte(s, v ? 1 : 0);
}
void WriteItem(TStream& s, const std::string& v) {
  WriteString(s, v);
}
void ReadItem(TStream& s, int32_t& v) {
  v = ReadInt32(s);
}
void ReadItem(TStream& s, long double& v) {
  v = ReadExtended(s);
}
void ReadItem(TStream& s, uint8_t& v) {
  v = ReadByte(s) != 0;
}
void ReadItem(TStream& s, std::string& v) {
  v = ReadString(s);
}
template <typename T>
constexpr int64_t kMinItemBytes = 4;
template <>
constexpr int64_t kMinItemBytes<long double> = 10;
template <>
constexpr int64_t kMinItemBytes<uint8_t> = 1;

std::string JoinSizes(const std::vector<int32_t>& sizes) {
  std::string out;
  for (size_t i = 0; i < sizes.size(); ++i) {
    if (i) out += ',';
    out += std::to_string(sizes[i]);
  }
  return out;
}

}  // namespace

thread_local int TForwardGuard::depth = 0;

// ---- TCustomParam

int32_t TCustomParam::GetDimCount() const {
  return dims_.empty() ? 1 : static_cast<int32_t>(dims_.size());
}

int32_t TCustomParam::GetDimSize(int32_t i) const {
  if (i < 0 || static_cast<size_t>(i) >= dims_.size()) return 1;
  return dims_[static_cast<size_t>(i)];
}

int32_t TCustomParam::CheckedProduct(const std::vector<int32_t>& sizes) {
  int64_t product = 1;
  bool ok = true;
  for (int32_t n : sizes) {
    if (n <= 0) ok = false;
    if (ok) product *= n;
    if (product > kMaxArrayElements) ok = false;
  }
  if (!ok) RaiseErrorFmt(msg::kArraySizeInvalid, JoinSizes(sizes).c_str());
  return static_cast<int32_t>(product);
}

void TCustomParam::SetDims(const std::vector<int32_t>& sizes) {
  CheckedProduct(sizes);
  dims_ = sizes;
}

void TCustomParam::CopyFromSameType(const TCustomParam& other) {
  if (typeid(*this) != typeid(other)) RaiseError(msg::kCopyMemTypeMismatch);
  dims_ = other.GetDims();
}

void TCustomParam::WriteDims(TStream& s, const std::vector<int32_t>& dims) {
  WriteInt32(s, static_cast<int32_t>(dims.size()));
  for (int32_t n : dims) WriteInt32(s, n);
}

std::vector<int32_t> TCustomParam::ReadDims(TStream& s) {
  int32_t n = ReadInt32(s);
  if (n < 0 || n > s.Remaining() / 4) RaiseReadError();
  std::vector<int32_t> dims(static_cast<size_t>(n));
  for (auto& d : dims) d = ReadInt32(s);
  return dims;
}

void TCustomParam::SaveToStream(TStream& s) const {
  WriteDims(s, dims_);
}

void TCustomParam::LoadFromStream(TStream& s) {
  std::vector<int32_t> dims = ReadDims(s);
  CheckedProduct(dims);
  dims_ = std::move(dims);
}

void TCustomParam::MakeScalar() {
  dims_.clear();
}

int32_t TCustomParam::FindString(std::string_view text, bool case_sensitive, bool partial) const {
  int32_t count = GetCount();
  if (partial) {
    std::string needle = case_sensitive ? std::string(text) : sjis::LowerAscii(text);
    for (int32_t i = 0; i < count; ++i) {
      std::string item = GetStrAt(i);
      if (!case_sensitive) item = sjis::LowerAscii(item);
      if (item.find(needle) != std::string::npos) return i;
    }
    return -1;
  }
  for (int32_t i = 0; i < count; ++i) {
    std::string item = GetStrAt(i);
    if (case_sensitive ? item == text : sjis::EqualsNoCase(item, text)) return i;
  }
  return -1;
}

std::unique_ptr<TCustomParam> TCustomParam::Clone() const {
  auto p = std::make_unique<TCustomParam>();
  p->dims_ = dims_;
  return p;
}

void TCustomParam::AssignConverted(const TCustomParam& source) {
  std::vector<int32_t> dims = source.GetDims();
  int32_t count = source.GetCount();
  // Read everything first: the source may be this very value seen through a reference.
  switch (GetValueType()) {
    case PT_INT: {
      std::vector<int32_t> v(static_cast<size_t>(count));
      for (int32_t i = 0; i < count; ++i) v[static_cast<size_t>(i)] = source.GetIntAt(i);
      SetDims(dims);
      for (int32_t i = 0; i < count && i < GetCount(); ++i) SetIntAt(i, v[static_cast<size_t>(i)]);
      break;
    }
    case PT_FLOAT: {
      std::vector<long double> v(static_cast<size_t>(count));
      for (int32_t i = 0; i < count; ++i) v[static_cast<size_t>(i)] = source.GetFloatAt(i);
      SetDims(dims);
      for (int32_t i = 0; i < count && i < GetCount(); ++i)
        SetFloatAt(i, v[static_cast<size_t>(i)]);
      break;
    }
    case PT_BOOL: {
      std::vector<uint8_t> v(static_cast<size_t>(count));
      for (int32_t i = 0; i < count; ++i) v[static_cast<size_t>(i)] = source.GetBoolAt(i);
      SetDims(dims);
      for (int32_t i = 0; i < count && i < GetCount(); ++i) SetBoolAt(i, v[static_cast<size_t>(i)]);
      break;
    }
    case PT_STR: {
      std::vector<std::string> v(static_cast<size_t>(count));
      for (int32_t i = 0; i < count; ++i) v[static_cast<size_t>(i)] = source.GetStrAt(i);
      SetDims(dims);
      for (int32_t i = 0; i < count && i < GetCount(); ++i) SetStrAt(i, v[static_cast<size_t>(i)]);
      break;
    }
    default:
      break;
  }
}

// ---- TParamTyped

template <typename T, uint8_t kType>
const T& TParamTyped<T, kType>::At(int32_t i) const {
  if (i < 0 || i >= GetCount()) RaiseError(msg::kArrayIndexInvalid);
  return items_[static_cast<size_t>(i)];
}

template <typename T, uint8_t kType>
T& TParamTyped<T, kType>::AtForWrite(int32_t i) {
  if (i < 0 || i >= GetCount()) RaiseError(msg::kArrayIndexInvalid);
  return items_[static_cast<size_t>(i)];
}

template <typename T, uint8_t kType>
void TParamTyped<T, kType>::SetCount(int32_t n) {
  if (n < 0 || n > kMaxArrayElements)
    RaiseErrorFmt(msg::kArraySizeInvalid, std::to_string(n).c_str());
  items_.resize(static_cast<size_t>(n));
}

template <typename T, uint8_t kType>
void TParamTyped<T, kType>::SetAsBool(bool v) {
  T item = FromBool<T>(v);
  MakeScalar();
  items_[0] = std::move(item);
}
template <typename T, uint8_t kType>
void TParamTyped<T, kType>::SetAsFloat(long double v) {
  T item = FromFloat<T>(v);
  MakeScalar();
  items_[0] = std::move(item);
}
template <typename T, uint8_t kType>
void TParamTyped<T, kType>::SetAsInteger(int32_t v) {
  T item = FromInt<T>(v);
  MakeScalar();
  items_[0] = std::move(item);
}
template <typename T, uint8_t kType>
void TParamTyped<T, kType>::SetAsString(std::string_view v) {
  T item = FromStr<T>(v);
  MakeScalar();
  items_[0] = std::move(item);
}

template <typename T, uint8_t kType>
int32_t TParamTyped<T, kType>::GetIntAt(int32_t i) const {
  return ToInt(At(i));
}
template <typename T, uint8_t kType>
void TParamTyped<T, kType>::SetIntAt(int32_t i, int32_t v) {
  AtForWrite(i) = FromInt<T>(v);
}
template <typename T, uint8_t kType>
long double TParamTyped<T, kType>::GetFloatAt(int32_t i) const {
  return ToFloat(At(i));
}
template <typename T, uint8_t kType>
void TParamTyped<T, kType>::SetFloatAt(int32_t i, long double v) {
  T item = FromFloat<T>(v);
  AtForWrite(i) = std::move(item);
}
template <typename T, uint8_t kType>
bool TParamTyped<T, kType>::GetBoolAt(int32_t i) const {
  return ToBool(At(i));
}
template <typename T, uint8_t kType>
void TParamTyped<T, kType>::SetBoolAt(int32_t i, bool v) {
  AtForWrite(i) = FromBool<T>(v);
}
template <typename T, uint8_t kType>
std::string TParamTyped<T, kType>::GetStrAt(int32_t i) const {
  return ToStr(At(i));
}
template <typename T, uint8_t kType>
void TParamTyped<T, kType>::SetStrAt(int32_t i, std::string_view v) {
  AtForWrite(i) = FromStr<T>(v);
}

template <typename T, uint8_t kType>
void TParamTyped<T, kType>::AssignRaw(const TCustomParam& other) {
  auto* o = dynamic_cast<const TParamTyped*>(&other);
  if (!o || o == this) return;
  dims_ = o->dims_;
  items_ = o->items_;
}

template <typename T, uint8_t kType>
void TParamTyped<T, kType>::SetDims(const std::vector<int32_t>& sizes) {
  int32_t count = CheckedProduct(sizes);
  items_.resize(static_cast<size_t>(count));
  dims_ = sizes;
}

template <typename T, uint8_t kType>
void TParamTyped<T, kType>::FillInt(int32_t v) {
  if constexpr (kType == PT_INT) std::fill(items_.begin(), items_.end(), v);
}
template <typename T, uint8_t kType>
void TParamTyped<T, kType>::FillFloat(long double v) {
  if constexpr (kType == PT_FLOAT) std::fill(items_.begin(), items_.end(), conv::CheckFloat(v));
}
template <typename T, uint8_t kType>
void TParamTyped<T, kType>::FillBool(bool v) {
  if constexpr (kType == PT_BOOL) std::fill(items_.begin(), items_.end(), v ? 1 : 0);
}
template <typename T, uint8_t kType>
void TParamTyped<T, kType>::FillStr(std::string_view v) {
  if constexpr (kType == PT_STR) std::fill(items_.begin(), items_.end(), std::string(v));
}

template <typename T, uint8_t kType>
void TParamTyped<T, kType>::CopyFromSameType(const TCustomParam& other) {
  auto* o = dynamic_cast<const TParamTyped*>(&other);
  if (!o || typeid(other) != typeid(*this)) RaiseError(msg::kCopyMemTypeMismatch);
  if (o == this) return;
  dims_ = o->dims_;
  items_ = o->items_;
}

template <typename T, uint8_t kType>
void TParamTyped<T, kType>::SaveToStream(TStream& s) const {
  WriteDims(s, dims_);
  WriteInt32(s, GetCount());
  for (const T& item : items_) WriteItem(s, item);
}

template <typename T, uint8_t kType>
void TParamTyped<T, kType>::LoadFromStream(TStream& s) {
  // Everything is read aside first so that damage leaves the value as it was.
  std::vector<int32_t> dims = ReadDims(s);
  for (int32_t d : dims)
    if (d <= 0) RaiseReadError();
  int32_t product = CheckedProduct(dims);
  int32_t count = ReadInt32(s);
  if (count != product) RaiseErrorFmt(msg::kElementCountMismatch, count);
  if (count > s.Remaining() / kMinItemBytes<T>) RaiseReadError();
  std::vector<T> items(static_cast<size_t>(count));
  for (T& item : items) ReadItem(s, item);
  dims_ = std::move(dims);
  items_ = std::move(items);
}

template <typename T, uint8_t kType>
void TParamTyped<T, kType>::MakeScalar() {
  if (dims_.empty() && items_.size() == 1) return;
  dims_.clear();
  items_.resize(1);
}

template <typename T, uint8_t kType>
std::unique_ptr<TCustomParam> TParamTyped<T, kType>::Clone() const {
  auto p = std::make_unique<TParamTyped>();
  p->dims_ = dims_;
  p->items_ = items_;
  return p;
}

template class TParamTyped<int32_t, PT_INT>;
template class TParamTyped<long double, PT_FLOAT>;
template class TParamTyped<uint8_t, PT_BOOL>;
template class TParamTyped<std::string, PT_STR>;

std::unique_ptr<TCustomParam> NewParam(uint8_t type, TParamCollection* table) {
  switch (type) {
    case PT_NONE:
      return std::make_unique<TParamVar>(table);
    case PT_INT:
      return std::make_unique<TParamInt>();
    case PT_FLOAT:
      return std::make_unique<TParamFloat>();
    case PT_BOOL:
      return std::make_unique<TParamFlag>();
    case PT_STR:
      return std::make_unique<TParamStr>();
    default:
      RaiseErrorFmt(msg::kValueTypeInvalid, type);
  }
}

const char* ValueTypeLabel(uint8_t type) {
  switch (type) {
    case PT_INT:
      return msg::kTypeLabelInt;
    case PT_FLOAT:
      return msg::kTypeLabelFloat;
    case PT_BOOL:
      return msg::kTypeLabelBool;
    case PT_STR:
      return msg::kTypeLabelStr;
    default:
      return "";
  }
}

}  // namespace quen
