// The readable text form the authoring tool uses for small binary records: one field per line,
// "name value...", '#' comments, strings in double quotes with "" for a quote (backslashes are
// plain characters, as in game file names). The text is UTF-8; strings become Shift-JIS.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quen {

struct TDescLine {
  int Number = 0;  // 1-based line number for messages
  std::vector<std::string> Tokens;
  std::vector<bool> Quoted;
};

// Raises EQuenError "line N: ..." for an unterminated string.
std::vector<TDescLine> ParseDescText(std::string_view utf8);

// Field readers for one line; they raise "line N: ..." naming the field.
class TDescReader {
 public:
  explicit TDescReader(const TDescLine& line) : line_(line) {}
  const std::string& Name() const { return line_.Tokens[0]; }
  size_t ValueCount() const { return line_.Tokens.size() - 1; }
  void ExpectCount(size_t n) const;
  // The i-th value as written (unquoted words such as a type name).
  const std::string& Word(size_t i) const;
  int32_t Int(size_t i) const;
  int64_t Int64(size_t i) const;
  uint8_t Byte(size_t i) const;
  bool Bool(size_t i) const;
  long double Real(size_t i) const;
  // A quoted string, converted to Shift-JIS (text CP932 cannot hold raises).
  std::string Str(size_t i) const;
  [[noreturn]] void Fail(const std::string& what) const;

 private:
  const TDescLine& line_;
};

// Quotes Shift-JIS text for the description (converted to UTF-8).
std::string DescQuote(std::string_view sjis);
std::string DescReal(long double v);

}  // namespace quen
