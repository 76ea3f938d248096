// The expression compiler: turns one line of expression text into three-address records and
// writes their serialised form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "expr/ope_code.h"

namespace quen {

// Text compiled at run time (Calc) must not be able to exhaust the stack or the processor: the
// compiler rewrites the text once per call, group and literal, so longer or deeper text is
// refused as a syntax error. A scenario line is far shorter.
constexpr int kMaxExprNesting = 200;
constexpr size_t kMaxExprChars = 4096;

struct TBuildOpeData {
  uint8_t op = ocNone;
  std::string target;
  // For ocFunc operand 0 is the function name; for ocDimTo it is the array's name.
  std::vector<std::string> operands;
};

class TBuildQuenParser {
 public:
  // Appends the records of the expression and removes copies between temporaries.
  void Build(std::string_view text);
  // Validates function names and argument counts and writes the serialised form.
  void Write(TStream& s) const;

  const std::vector<TBuildOpeData>& Records() const { return records_; }

 private:
  void BuildText(std::u16string text);
  std::string ArgOperand(std::u16string arg);
  std::string IssueTemp();
  std::string IssueDimTemp();
  void EliminateCopies();

  std::vector<TBuildOpeData> records_;
  int32_t counter_ = 0;
  int depth_ = 0;
};

// How the compiler types an operand text: 1 integer, 2 real, 3 flag, 4 string (the text
// between the quotes), 0 a name.
struct TTypedOperand {
  uint8_t type = 0;
  int32_t i = 0;
  long double f = 0;
  std::string s;
};
TTypedOperand TypeOperandText(const std::string& text);

}  // namespace quen
