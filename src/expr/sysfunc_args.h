// Reading a system function's arguments and writing its result, shared by every function group.
// An absent argument (beyond what the call passed) reads as the given default.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "expr/custom_param.h"
#include "expr/param_collection.h"
#include "expr/param_var.h"
#include "expr/sys_func_man.h"

namespace quen::sysarg {

inline bool Has(const TSysFuncCall& c, size_t i) {
  return i < c.args.size() && c.args[i] != nullptr;
}
inline std::string Str(const TSysFuncCall& c, size_t i, std::string absent = {}) {
  return Has(c, i) ? c.args[i]->GetAsString() : absent;
}
inline int32_t Int(const TSysFuncCall& c, size_t i, int32_t absent = 0) {
  return Has(c, i) ? c.args[i]->GetAsInteger() : absent;
}
inline long double Float(const TSysFuncCall& c, size_t i, long double absent = 0) {
  return Has(c, i) ? c.args[i]->GetAsFloat() : absent;
}
inline bool Bool(const TSysFuncCall& c, size_t i, bool absent = false) {
  return Has(c, i) ? c.args[i]->GetAsBool() : absent;
}

// The variable record an argument names, or null for a constant (or a variable that is gone).
inline TParamCollectionItem* Variable(const TSysFuncCall& c, size_t i) {
  if (!Has(c, i)) return nullptr;
  TParamVar* v = c.args[i]->AsVar();
  return v ? v->Target() : nullptr;
}
// That record's value, or null.
inline TCustomParam* VariableValue(const TSysFuncCall& c, size_t i) {
  TParamCollectionItem* r = Variable(c, i);
  return r ? r->Value() : nullptr;
}

// The call's result, created with the function's result type before the call.
inline TCustomParam& Result(TSysFuncCall& c) {
  return *c.target.Value();
}

inline void SetResultBool(TSysFuncCall& c, bool v) {
  if (TCustomParam* t = c.target.Value()) t->SetAsBool(v);
}
inline void SetResultInt(TSysFuncCall& c, int32_t v) {
  if (TCustomParam* t = c.target.Value()) t->SetAsInteger(v);
}
inline void SetResultStr(TSysFuncCall& c, std::string_view v) {
  if (TCustomParam* t = c.target.Value()) t->SetAsString(v);
}

}  // namespace quen::sysarg
