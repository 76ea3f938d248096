#include "expr/param_forward.h"

namespace quen {

namespace {
const std::vector<int32_t> kNoDims;
}

int32_t TParamForward::GetCount() const {
  return Read(1, [](TCustomParam& t) { return t.GetCount(); });
}
void TParamForward::SetCount(int32_t n) {
  Write([&](TCustomParam& t) { t.SetCount(n); });
}
uint8_t TParamForward::GetValueType() const {
  return Read(TypeWithoutTarget(), [](TCustomParam& t) { return t.GetValueType(); });
}

bool TParamForward::GetAsBool() const {
  int32_t e = 0;
  const bool at = ScalarElement(e);
  return Read(false, [at, e](TCustomParam& t) { return !at ? t.GetAsBool() : t.GetBoolAt(e); });
}
long double TParamForward::GetAsFloat() const {
  int32_t e = 0;
  const bool at = ScalarElement(e);
  return Read(0.0L, [at, e](TCustomParam& t) { return !at ? t.GetAsFloat() : t.GetFloatAt(e); });
}
int32_t TParamForward::GetAsInteger() const {
  int32_t e = 0;
  const bool at = ScalarElement(e);
  return Read(0, [at, e](TCustomParam& t) { return !at ? t.GetAsInteger() : t.GetIntAt(e); });
}
std::string TParamForward::GetAsString() const {
  int32_t e = 0;
  const bool at = ScalarElement(e);
  return Read(std::string(),
              [at, e](TCustomParam& t) { return !at ? t.GetAsString() : t.GetStrAt(e); });
}
void TParamForward::SetAsBool(bool v) {
  int32_t e = 0;
  const bool at = ScalarElement(e);
  Write([&](TCustomParam& t) { !at ? t.SetAsBool(v) : t.SetBoolAt(e, v); });
}
void TParamForward::SetAsFloat(long double v) {
  int32_t e = 0;
  const bool at = ScalarElement(e);
  Write([&](TCustomParam& t) { !at ? t.SetAsFloat(v) : t.SetFloatAt(e, v); });
}
void TParamForward::SetAsInteger(int32_t v) {
  int32_t e = 0;
  const bool at = ScalarElement(e);
  Write([&](TCustomParam& t) { !at ? t.SetAsInteger(v) : t.SetIntAt(e, v); });
}
void TParamForward::SetAsString(std::string_view v) {
  int32_t e = 0;
  const bool at = ScalarElement(e);
  Write([&](TCustomParam& t) { !at ? t.SetAsString(v) : t.SetStrAt(e, v); });
}

int32_t TParamForward::GetIntAt(int32_t i) const {
  return Read(0, [i](TCustomParam& t) { return t.GetIntAt(i); });
}
void TParamForward::SetIntAt(int32_t i, int32_t v) {
  Write([&](TCustomParam& t) { t.SetIntAt(i, v); });
}
long double TParamForward::GetFloatAt(int32_t i) const {
  return Read(0.0L, [i](TCustomParam& t) { return t.GetFloatAt(i); });
}
void TParamForward::SetFloatAt(int32_t i, long double v) {
  Write([&](TCustomParam& t) { t.SetFloatAt(i, v); });
}
bool TParamForward::GetBoolAt(int32_t i) const {
  return Read(false, [i](TCustomParam& t) { return t.GetBoolAt(i); });
}
void TParamForward::SetBoolAt(int32_t i, bool v) {
  Write([&](TCustomParam& t) { t.SetBoolAt(i, v); });
}
std::string TParamForward::GetStrAt(int32_t i) const {
  return Read(std::string(), [i](TCustomParam& t) { return t.GetStrAt(i); });
}
void TParamForward::SetStrAt(int32_t i, std::string_view v) {
  Write([&](TCustomParam& t) { t.SetStrAt(i, v); });
}

int32_t TParamForward::GetDimCount() const {
  return Read(1, [](TCustomParam& t) { return t.GetDimCount(); });
}
int32_t TParamForward::GetDimSize(int32_t i) const {
  return Read(1, [i](TCustomParam& t) { return t.GetDimSize(i); });
}
const std::vector<int32_t>& TParamForward::GetDims() const {
  TForwardGuard g;
  TCustomParam* t = g.ok ? ForwardTarget() : nullptr;
  return t ? t->GetDims() : kNoDims;
}
void TParamForward::AssignRaw(const TCustomParam& other) {
  Write([&](TCustomParam& t) { t.AssignRaw(other); });
}
void TParamForward::SetDims(const std::vector<int32_t>& sizes) {
  Write([&](TCustomParam& t) { t.SetDims(sizes); });
}
void TParamForward::FillInt(int32_t v) {
  Write([&](TCustomParam& t) { t.FillInt(v); });
}
void TParamForward::FillFloat(long double v) {
  Write([&](TCustomParam& t) { t.FillFloat(v); });
}
void TParamForward::FillBool(bool v) {
  Write([&](TCustomParam& t) { t.FillBool(v); });
}
void TParamForward::FillStr(std::string_view v) {
  Write([&](TCustomParam& t) { t.FillStr(v); });
}
void TParamForward::CopyFromSameType(const TCustomParam& other) {
  Write([&](TCustomParam& t) { t.CopyFromSameType(other); });
}
void TParamForward::MakeScalar() {
  Write([](TCustomParam& t) { t.MakeScalar(); });
}
int32_t TParamForward::FindString(std::string_view text, bool case_sensitive, bool partial) const {
  return Read(-1, [&](TCustomParam& t) { return t.FindString(text, case_sensitive, partial); });
}

}  // namespace quen
