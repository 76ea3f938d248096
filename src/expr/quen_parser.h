// A compiled expression: the run-time records read from the serialised form, run against the
// variable table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "expr/custom_param.h"
#include "expr/ope_code.h"

namespace quen {

class TParamCollection;
class TSysFuncMan;

// What a name resolved to in the variable table, valid while the table's generation stands.
struct TNameCache {
  const TParamCollection* table = nullptr;
  uint64_t generation = 0;
  TParamCollectionItem* item = nullptr;
};

struct TOpeData {
  uint8_t op = ocNone;
  std::string target;
  uint8_t func = 0;  // ocFunc only
  // Constants are Int, Float, Flag or Str values; names are TParamVar.
  std::vector<std::unique_ptr<TCustomParam>> operands;
  // Lookups of the previous run, reused while the table has not changed.
  TNameCache target_cache;
  std::vector<TNameCache> operand_cache;
};

class TQuenParser {
 public:
  // Clears the list and reads the serialised form; damage raises the system's error.
  void LoadFromStream(TStream& s);
  void SaveToStream(TStream& s) const;
  void Assign(const TQuenParser& other);

  // Runs the records. The first error ends the run silently; records before it keep their
  // effects. An error while detaching the result escapes, after the run's temporaries are
  // destroyed.
  void Execute(TParamCollection& vars, const TSysFuncMan& funcs);

  // The detached "____arg" of the last run, or null.
  TCustomParam* Result() const { return result_.get(); }
  std::unique_ptr<TCustomParam> TakeResult() { return std::move(result_); }
  // The message of the error that ended the last run, empty when it ran to the end.
  const std::string& LastError() const { return last_error_; }

  const std::vector<TOpeData>& Records() const { return records_; }

 private:
  std::vector<TOpeData> records_;
  std::unique_ptr<TCustomParam> result_;
  std::string last_error_;
};

// Compiles trimmed, non-empty text with a fresh compiler, passes it through the serialised
// form and runs it; false when the text is empty or an error escaped.
bool RunText(std::string_view text, TParamCollection& vars, const TSysFuncMan& funcs);

}  // namespace quen
