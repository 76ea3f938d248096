// The system-function table (names, numbers, argument limits, result types) that compiled
// expressions refer to by number, and the manager that runs the functions. The functions
// themselves are registered by the layers that own what they act on.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "expr/custom_param.h"

namespace quen {

class TParamCollection;
class TParamCollectionItem;
class TSysFuncMan;

struct TSysFuncInfo {
  const char* name;
  int min_args;
  int max_args;         // -1: no limit
  uint8_t result_type;  // PT_NONE: the value type of the property (GetProp)
};

constexpr int kSysFuncCount = 159;
extern const TSysFuncInfo kSysFuncs[kSysFuncCount];
constexpr int kSysFuncGetProp = 2;
constexpr int kSysFuncCalc = 136;

// Number of the function with exactly this name, or -1.
int FindSysFunc(std::string_view name);
bool SysFuncArgCountOk(int number, int count);

// Value type of every property code (0 to 164), the result type of GetProp.
constexpr int kPropCount = 165;
uint8_t PropValueType(int code);

// One call: the target temporary that receives the result, and the arguments. An argument
// that names a variable is a TParamVar resolved to it; constants are throw-away copies.
struct TSysFuncCall {
  TParamCollection& vars;
  const TSysFuncMan& funcs;
  TParamCollectionItem& target;
  int number;
  std::vector<TCustomParam*>& args;
};

using TSysFuncImpl = std::function<void(TSysFuncCall&)>;

class TSysFuncMan {
 public:
  void Register(int number, TSysFuncImpl impl);
  // By the table's name; false when there is no such function.
  bool Register(std::string_view name, TSysFuncImpl impl);
  bool IsImplemented(int number) const;
  // Numbers beyond the table do nothing; a function nobody registered fails the run.
  void Execute(TSysFuncCall& call) const;

 private:
  std::array<TSysFuncImpl, kSysFuncCount> impls_;
};

}  // namespace quen
