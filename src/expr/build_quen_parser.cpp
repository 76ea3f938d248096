#include "expr/build_quen_parser.h"

#include <array>
#include <cstring>

#include "base/error.h"
#include "base/sjis.h"
#include "expr/messages.h"
#include "expr/param_convert.h"
#include "expr/sys_func_man.h"

namespace quen {

namespace {

// The compiler works on one code per character (a double-byte character is lead << 8 | trail),
// so no trail byte can pass for an operator, bracket or quote.
using JStr = std::u16string;

JStr ToJ(std::string_view s) {
  JStr out;
  out.reserve(s.size());
  sjis::ForEachChar(s, [&](size_t i, size_t n) {
    auto b0 = static_cast<unsigned char>(s[i]);
    out.push_back(n == 2 ? static_cast<char16_t>(b0 << 8 | static_cast<unsigned char>(s[i + 1]))
                         : static_cast<char16_t>(b0));
  });
  return out;
}

std::string FromJ(const JStr& s) {
  std::string out;
  out.reserve(s.size());
  for (char16_t c : s) {
    if (c > 0xFF) out.push_back(static_cast<char>(c >> 8));
    out.push_back(static_cast<char>(c & 0xFF));
  }
  return out;
}

bool IsAscii(char16_t c, const char* set) {
  return c != 0 && c < 0x80 && std::strchr(set, c);
}
bool IsOpChar(char16_t c) {
  return IsAscii(c, "%&*+-/<=>^|");
}
bool IsIdentChar(char16_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

JStr Trim(const JStr& s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= 0x20) ++b;
  while (e > b && s[e - 1] <= 0x20) --e;
  return s.substr(b, e - b);
}

[[noreturn]] void SyntaxError() {
  RaiseError(msg::kSyntaxError);
}

void CheckBalance(const JStr& s, char16_t open, char16_t close) {
  size_t opens = 0, closes = 0;
  for (char16_t c : s) {
    if (c == open) ++opens;
    if (c == close) ++closes;
  }
  if (opens != closes) SyntaxError();
}

size_t MatchClose(const JStr& s, size_t open, char16_t o, char16_t c) {
  int depth = 0;
  for (size_t i = open; i < s.size(); ++i) {
    if (s[i] == o) ++depth;
    if (s[i] == c && --depth == 0) return i;
  }
  SyntaxError();
}

// Position of the nearest non-space character left of pos, or npos.
size_t LeftNonSpace(const JStr& s, size_t pos) {
  while (pos > 0 && s[pos - 1] == ' ') --pos;
  return pos == 0 ? JStr::npos : pos - 1;
}

// Splits at every ',' outside square brackets; an empty text has no pieces.
std::vector<JStr> SplitArgs(const JStr& s) {
  std::vector<JStr> out;
  if (s.empty()) return out;
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '[') ++depth;
    if (s[i] == ']' && --depth < 0) SyntaxError();
    if (s[i] == ',' && depth == 0) {
      out.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  if (depth != 0) SyntaxError();
  out.push_back(s.substr(start));
  return out;
}

JStr StripParens(JStr s) {
  while (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
    int depth = 0;
    size_t match = JStr::npos;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '(') ++depth;
      if (s[i] == ')' && --depth == 0) {
        match = i;
        break;
      }
    }
    if (match != s.size() - 1) break;
    s = s.substr(1, s.size() - 2);
  }
  return s;
}

bool IsPlainTemp(const std::string& s) {
  return IsTempName(s) && s.compare(0, 6, kDimTempPrefix) != 0 && s != kArgTemp;
}

uint8_t OperatorCode(const JStr& op) {
  static const std::array<std::pair<const char16_t*, uint8_t>, 19> kOps = {{
      {u"*", ocMul},     {u"/", ocDiv},       {u"%", ocMod},     {u"+", ocPlus},
      {u"-", ocMinus},   {u"<<", ocShiftL},   {u">>", ocShiftR}, {u"==", ocEqual},
      {u">=", ocEBig},   {u"<=", ocESmall},   {u">", ocBig},     {u"<", ocSmall},
      {u"<>", ocNEqual}, {u"++", ocComboStr}, {u"&", ocAnd},     {u"^", ocXor},
      {u"|", ocOr},      {u"=", ocTo},        {u"", ocNone},
  }};
  for (auto& [text, code] : kOps)
    if (op == text) return code;
  return ocNone;
}

}  // namespace

std::string TBuildQuenParser::IssueTemp() {
  return Format("____%d", counter_++);
}
std::string TBuildQuenParser::IssueDimTemp() {
  return Format("____d_%d", counter_++);
}

std::string TBuildQuenParser::ArgOperand(JStr arg) {
  arg = StripParens(Trim(arg));
  if (arg.empty()) return {};
  bool complex = false;
  for (char16_t c : arg)
    if (IsAscii(c, "+-*/%|&^=[](),<>")) complex = true;
  if (!complex) return FromJ(arg);
  std::string a = IssueTemp();
  BuildText(ToJ(a) + u" = " + arg);
  return a;
}

void TBuildQuenParser::Build(std::string_view text) {
  JStr j = ToJ(text);
  if (j.size() > kMaxExprChars) SyntaxError();
  BuildText(std::move(j));
  EliminateCopies();
}

void TBuildQuenParser::BuildText(JStr s) {
  struct TDepth {
    int& d;
    explicit TDepth(int& depth) : d(depth) {
      if (++d > kMaxExprNesting) SyntaxError();
    }
    ~TDepth() { --d; }
  } depth(depth_);
  // 1. String literals become temporaries.
  for (size_t from = 0;;) {
    size_t q = s.find(u'"', from);
    if (q == JStr::npos) break;
    size_t j = q + 1;
    bool closed = false;
    while (j < s.size()) {
      char16_t c = s[j];
      if (c == '\\' && j + 1 < s.size() && (s[j + 1] == '"' || s[j + 1] == '\\')) {
        s.erase(j, 1);
        j += 1;
      } else if (c == '\\' && j + 1 < s.size() && s[j + 1] == 'n') {
        s.replace(j, 2, u"\r\n");
        j += 2;
      } else if (c == '"') {
        closed = true;
        break;
      } else {
        ++j;
      }
    }
    if (!closed) break;
    std::string t = IssueTemp();
    records_.push_back({ocTo, t, {FromJ(s.substr(q, j - q + 1))}});
    JStr jt = ToJ(t);
    s.replace(q, j - q + 1, jt);
    from = q + jt.size();
  }

  // 2. Function calls, innermost and rightmost first.
  for (;;) {
    size_t open = JStr::npos;
    for (size_t k = s.size(); k-- > 0;) {
      if (s[k] != '(') continue;
      size_t left = LeftNonSpace(s, k);
      if (left != JStr::npos && IsIdentChar(s[left])) {
        open = k;
        break;
      }
    }
    if (open == JStr::npos) break;
    CheckBalance(s, '(', ')');
    size_t close = MatchClose(s, open, '(', ')');
    size_t start = LeftNonSpace(s, open);
    while (start > 0 && IsIdentChar(s[start - 1])) --start;
    std::string name = FromJ(Trim(s.substr(start, open - start)));
    std::vector<JStr> args = SplitArgs(Trim(s.substr(open + 1, close - open - 1)));
    std::string t = IssueTemp();
    s.replace(start, close - start + 1, ToJ(t));
    TBuildOpeData rec{ocFunc, t, {name}};
    for (JStr& a : args) rec.operands.push_back(ArgOperand(std::move(a)));
    records_.push_back(std::move(rec));
  }

  // 3. Subscripts.
  for (;;) {
    size_t open = s.rfind(u'[');
    if (open == JStr::npos) {
      CheckBalance(s, '[', ']');
      break;
    }
    CheckBalance(s, '[', ']');
    size_t close = MatchClose(s, open, '[', ']');
    size_t left = LeftNonSpace(s, open);
    if (left == JStr::npos || IsOpChar(s[left])) SyntaxError();
    // The name stops at a space, an operator, a grouping parenthesis or an argument comma.
    size_t start = left + 1;
    while (start > 0 && s[start - 1] != ' ' && !IsOpChar(s[start - 1]) && s[start - 1] != '(' &&
           s[start - 1] != ',')
      --start;
    if (start == left + 1) SyntaxError();
    std::string name = FromJ(s.substr(start, left + 1 - start));
    JStr inner = s.substr(open + 1, close - open - 1);
    if (Trim(inner).empty()) RaiseError(msg::kDimSubscriptMissing);
    std::vector<JStr> subs;
    for (size_t from = 0;;) {
      size_t comma = inner.find(u',', from);
      subs.push_back(inner.substr(from, comma == JStr::npos ? JStr::npos : comma - from));
      if (comma == JStr::npos) break;
      from = comma + 1;
    }
    std::string d = IssueDimTemp();
    s.replace(start, close - start + 1, ToJ(d));
    TBuildOpeData rec{ocDimTo, d, {name}};
    for (JStr& a : subs) rec.operands.push_back(ArgOperand(std::move(a)));
    records_.push_back(std::move(rec));
  }

  // 4. Grouping parentheses.
  for (;;) {
    CheckBalance(s, '(', ')');
    size_t open = s.rfind(u'(');
    if (open == JStr::npos) break;
    size_t close = MatchClose(s, open, '(', ')');
    size_t start = open;
    while (start > 0 && s[start - 1] == ' ') --start;
    JStr inner = s.substr(open + 1, close - open - 1);
    std::string g = IssueTemp();
    s.replace(start, close - start + 1, ToJ(g));
    BuildText(ToJ(g) + u" = " + inner);
  }

  // 5. Tokens.
  std::vector<JStr> tokens;
  size_t prev = 0;
  for (size_t i = 0; i < s.size();) {
    if (!IsOpChar(s[i])) {
      ++i;
      continue;
    }
    JStr operand = Trim(s.substr(prev, i - prev));
    if (!operand.empty()) tokens.push_back(operand);
    JStr pair = s.substr(i, 2);
    if (pair == u"==" || pair == u">=" || pair == u"<=" || pair == u"++" || pair == u"<>" ||
        pair == u"<<" || pair == u">>") {
      tokens.push_back(pair);
      i += 2;
    } else {
      tokens.push_back(s.substr(i, 1));
      i += 1;
    }
    prev = i;
  }
  JStr rest = Trim(s.substr(prev));
  if (!rest.empty()) tokens.push_back(rest);

  // 6. Signs: a '+' or '-' right after another operator belongs to its operand.
  for (size_t k = tokens.size() >= 2 ? tokens.size() - 2 : 0; k >= 1 && k + 1 < tokens.size();
       --k) {
    if (tokens[k] == u"+" || tokens[k] == u"-") {
      const JStr& left = tokens[k - 1];
      if (!left.empty() && IsAscii(left[0], "=+-*/%&^|[(,<>")) {
        if (tokens[k] == u"+") {
          tokens.erase(tokens.begin() + static_cast<long>(k));
        } else {
          std::string t = IssueTemp();
          records_.push_back({ocMinus, t, {"0", FromJ(tokens[k + 1])}});
          tokens[k] = ToJ(t);
          tokens.erase(tokens.begin() + static_cast<long>(k) + 1);
        }
      }
    }
    if (k == 1) break;
  }

  // 7. Reduce by precedence, leftmost first within a level.
  static const std::vector<std::vector<JStr>> kLevels = {{u"*", u"/", u"%"},
                                                         {u"+", u"-"},
                                                         {u"<<", u">>"},
                                                         {u"==", u">=", u"<=", u">", u"<", u"<>"},
                                                         {u"++"},
                                                         {u"&"},
                                                         {u"^"},
                                                         {u"|"},
                                                         {u"="}};
  if (tokens.empty()) {
    records_.push_back({ocTo, kArgTemp, {FromJ(Trim(s))}});
    return;
  }
  bool assigned = false;
  while (!tokens.empty()) {
    size_t pos = JStr::npos;
    for (const auto& level : kLevels) {
      for (size_t k = 0; k < tokens.size() && pos == JStr::npos; ++k)
        for (const JStr& op : level)
          if (tokens[k] == op) {
            pos = k;
            break;
          }
      if (pos != JStr::npos) break;
    }
    if (pos == JStr::npos) {
      if (assigned || tokens.size() != 1) SyntaxError();
      records_.push_back({ocTo, kArgTemp, {FromJ(tokens[0])}});
      break;
    }
    uint8_t code = OperatorCode(tokens[pos]);
    if (code == ocTo) {
      if (pos == 0 || pos + 1 >= tokens.size()) SyntaxError();
      records_.push_back({ocTo, FromJ(tokens[pos - 1]), {FromJ(tokens[pos + 1])}});
      tokens.erase(tokens.begin() + static_cast<long>(pos) - 1,
                   tokens.begin() + static_cast<long>(pos) + 2);
      assigned = true;
      continue;
    }
    if (pos == 0) {
      if ((code != ocPlus && code != ocMinus) || tokens.size() < 2) SyntaxError();
      std::string t = IssueTemp();
      records_.push_back({code, t, {"0", FromJ(tokens[1])}});
      tokens[0] = ToJ(t);
      tokens.erase(tokens.begin() + 1);
      continue;
    }
    if (pos + 1 >= tokens.size() || IsAscii(tokens[pos - 1][0], "+-*/%|&^=[(<>")) SyntaxError();
    std::string t = IssueTemp();
    records_.push_back({code, t, {FromJ(tokens[pos - 1]), FromJ(tokens[pos + 1])}});
    tokens[pos - 1] = ToJ(t);
    tokens.erase(tokens.begin() + static_cast<long>(pos),
                 tokens.begin() + static_cast<long>(pos) + 2);
  }
}

void TBuildQuenParser::EliminateCopies() {
  for (size_t k = 0; k < records_.size();) {
    TBuildOpeData& r = records_[k];
    if (r.op == ocTo && !r.operands.empty() && IsPlainTemp(r.target) &&
        IsPlainTemp(r.operands[0])) {
      std::string t = r.target, s = r.operands[0];
      for (size_t j = k + 1; j < records_.size(); ++j) {
        if (records_[j].target == t) records_[j].target = s;
        for (std::string& o : records_[j].operands)
          if (o == t) o = s;
      }
      records_.erase(records_.begin() + static_cast<long>(k));
      continue;
    }
    ++k;
  }
}

TTypedOperand TypeOperandText(const std::string& text) {
  TTypedOperand out;
  if (auto i = conv::ParseInt(text)) {
    out.type = 1;
    out.i = *i;
  } else if (auto f = conv::ParseFloat(text)) {
    out.type = 2;
    out.f = *f;
  } else if (text == "TRUE" || text == "FALSE") {
    out.type = 3;
    out.i = text == "TRUE";
  } else if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    out.type = 4;
    out.s = text.substr(1, text.size() - 2);
  } else {
    out.type = 0;
    out.s = text;
  }
  return out;
}

void TBuildQuenParser::Write(TStream& s) const {
  // Validate first so that a failure writes nothing.
  std::vector<int> funcs(records_.size(), 0);
  for (size_t k = 0; k < records_.size(); ++k) {
    const TBuildOpeData& r = records_[k];
    if (r.op != ocFunc) continue;
    const std::string& name = r.operands.empty() ? std::string() : r.operands[0];
    int n = FindSysFunc(name);
    if (n < 0) RaiseErrorFmt(msg::kFuncNameMissing, name.c_str());
    if (!SysFuncArgCountOk(n, static_cast<int>(r.operands.size()) - 1))
      RaiseError(name + msg::kFuncArgCountInvalid);
    funcs[k] = n;
  }
  TKvMemoryStream m;
  WriteInt32(m, static_cast<int32_t>(records_.size()));
  for (size_t k = 0; k < records_.size(); ++k) {
    const TBuildOpeData& r = records_[k];
    size_t first = r.op == ocFunc ? 1 : 0;
    WriteByte(m, r.op);
    WriteString(m, r.target);
    WriteInt32(m, static_cast<int32_t>(r.operands.size() - first));
    if (r.op == ocFunc) WriteByte(m, static_cast<uint8_t>(funcs[k]));
    for (size_t o = first; o < r.operands.size(); ++o) {
      TTypedOperand t = TypeOperandText(r.operands[o]);
      WriteByte(m, t.type);
      switch (t.type) {
        case 1:
          WriteInt32(m, t.i);
          break;
        case 2:
          WriteExtended(m, t.f);
          break;
        case 3:
          WriteByte(m, static_cast<uint8_t>(t.i));
          break;
        default:
          WriteString(m, t.s);
          break;
      }
    }
  }
  s.WriteBuffer(m.Data().data(), static_cast<int64_t>(m.Data().size()));
}

}  // namespace quen
