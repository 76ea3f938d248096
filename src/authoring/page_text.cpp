#include "authoring/page_text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <optional>
#include <sstream>

#include "base/error.h"
#include "base/sjis.h"
#include "components/prop_table.h"
#include "expr/build_quen_parser.h"
#include "expr/param_var.h"
#include "expr/sys_func_man.h"
#include "platform/text_encoding.h"
#include "text/content_stream.h"
#include "text/markup_compiler.h"

namespace quen {

namespace {

using platform::TryCp932ToUtf8;
using platform::TryUtf8ToCp932;

constexpr uint8_t kCodeWhile = 31, kCodeWhileLoop = 33, kCodeBreak = 34, kCodeContinue = 35;
constexpr uint8_t kCodeJump = 4, kCodeCall = 5, kCodeTextIns = 20;
// The reveal delay a text insertion's markup is compiled with unless told.
constexpr int32_t kDefaultTextDelay = 50;

// Commands whose condition decides whether they act; the player takes an empty condition as
// false for them, so a condition left out of the text is written TRUE.
bool TakesCondition(int code) {
  return code == 0 || code == 1 || code == kCodeJump || code == kCodeCall || code == 6 ||
         code == kCodeBreak || code == kCodeContinue;
}

[[noreturn]] void Fail(int line, const std::string& utf8) {
  std::string text = "line " + std::to_string(line) + ": " + utf8;
  std::string sjis;
  if (!TryUtf8ToCp932(text, sjis)) sjis = text;
  throw EQuenError(sjis);
}

const char* kTypeNames[] = {"none", "int", "float", "bool", "str"};

std::string Hex(const std::string& bytes) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

std::optional<std::string> Unhex(std::string_view h) {
  if (h.size() % 2) return std::nullopt;
  std::string out;
  for (size_t i = 0; i < h.size(); i += 2) {
    int v = 0;
    auto r = std::from_chars(h.data() + i, h.data() + i + 2, v, 16);
    if (r.ec != std::errc() || r.ptr != h.data() + i + 2) return std::nullopt;
    out += static_cast<char>(v);
  }
  return out;
}

std::optional<int32_t> ParseInt(std::string_view t) {
  int64_t v = 0;
  int base = 10;
  std::string_view s = t;
  bool neg = false;
  if (!s.empty() && s[0] == '-') {
    neg = true;
    s.remove_prefix(1);
  }
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return std::nullopt;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  if (neg) v = -v;
  if (v < INT32_MIN || v > UINT32_MAX) return std::nullopt;
  return static_cast<int32_t>(static_cast<uint32_t>(v));
}

// Shift-JIS bytes as a quoted UTF-8 string; bytes that do not convert become \xNN.
std::string Quote(const std::string& sjis) {
  std::string utf8;
  bool text = TryCp932ToUtf8(sjis, utf8);
  std::string back;
  if (text && (!TryUtf8ToCp932(utf8, back) || back != sjis)) text = false;
  const std::string& src = text ? utf8 : sjis;
  std::string out = "\"";
  char buf[8];
  for (unsigned char c : src) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F || (!text && c >= 0x80)) {
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// A string that may stand without quotes as the rest of a line.
bool PlainSafe(const std::string& sjis, std::string& utf8) {
  if (sjis.empty() || !TryCp932ToUtf8(sjis, utf8)) return false;
  std::string back;
  if (!TryUtf8ToCp932(utf8, back) || back != sjis) return false;
  if (utf8.front() == ' ' || utf8.back() == ' ' || utf8.front() == '"' || utf8.front() == '{')
    return false;
  // "name=..." would read back as a field.
  for (unsigned char c : utf8)
    if (c < 0x20 || c == 0x7F || c == '=') return false;
  return true;
}

std::string ToSjis(int line, const std::string& utf8) {
  std::string out;
  if (!TryUtf8ToCp932(utf8, out)) Fail(line, "text that Shift-JIS cannot hold: " + utf8);
  return out;
}

struct TValue {
  enum Kind { kBare, kQuoted, kBraced, kCompiled } kind = kBare;
  std::string text;  // UTF-8 for bare and braced, Shift-JIS for quoted, bytes for compiled
};

// Commands whose derived property set always holds the volume (see AssemblePage); a dump
// writes their set even when it is empty, so that reading it back does not add the volume.
constexpr const char* kVolumeCommands[] = {"Sound", "Movie", "Cinema"};

bool AlwaysHoldsVolume(int code) {
  for (const char* name : kVolumeCommands)
    if (CommandCode(name) == code) return true;
  return false;
}

bool HasCommandOf(const TComList& list, int code) {
  for (int32_t i = 0; i < list.Count(); ++i)
    if (list.At(i)->GetCode() == code) return true;
  return false;
}

// Reads a value at pos: "quoted", {expression}, {#compiled hex} or a bare word.
TValue ReadValue(int line, const std::string& s, size_t& pos) {
  TValue v;
  if (pos < s.size() && s[pos] == '"') {
    v.kind = TValue::kQuoted;
    std::string utf8;
    ++pos;
    for (;;) {
      if (pos >= s.size()) Fail(line, "unterminated string");
      char c = s[pos++];
      if (c == '"') break;
      if (c != '\\') {
        utf8 += c;
        continue;
      }
      if (pos >= s.size()) Fail(line, "unterminated string");
      char e = s[pos++];
      if (e == 'n' || e == 'r' || e == 't') {
        utf8 += e == 'n' ? '\n' : e == 'r' ? '\r' : '\t';
      } else if (e == 'x') {
        auto b = pos + 2 <= s.size() ? Unhex(std::string_view(s).substr(pos, 2)) : std::nullopt;
        if (!b) Fail(line, "\\x needs two hex digits");
        v.text += ToSjis(line, utf8);
        utf8.clear();
        v.text += *b;
        pos += 2;
      } else if (e == '"' || e == '\\') {
        utf8 += e;
      } else {
        Fail(line, std::string("unknown escape \\") + e);
      }
    }
    v.text += ToSjis(line, utf8);
    return v;
  }
  if (pos < s.size() && s[pos] == '{') {
    size_t start = ++pos;
    int depth = 1;
    bool quoted = false;
    for (; pos < s.size(); ++pos) {
      char c = s[pos];
      if (quoted) {
        if (c == '\\' && pos + 1 < s.size())
          ++pos;
        else if (c == '"')
          quoted = false;
      } else if (c == '"') {
        quoted = true;
      } else if (c == '{') {
        ++depth;
      } else if (c == '}' && --depth == 0) {
        break;
      }
    }
    if (pos >= s.size()) Fail(line, "missing }");
    v.text = s.substr(start, pos - start);
    ++pos;
    v.kind = TValue::kBraced;
    if (!v.text.empty() && v.text[0] == '#') {
      auto b = Unhex(v.text.substr(1));
      if (!b) Fail(line, "bad compiled expression {#...}");
      v.kind = TValue::kCompiled;
      v.text = *b;
    }
    return v;
  }
  size_t start = pos;
  while (pos < s.size() && s[pos] != ' ' && s[pos] != '\t') ++pos;
  v.text = s.substr(start, pos - start);
  return v;
}

void Compile(int line, const TValue& v, TQuenParser& out) {
  try {
    TKvMemoryStream m;
    if (v.kind == TValue::kCompiled) {
      m.WriteBuffer(v.text.data(), static_cast<int64_t>(v.text.size()));
    } else {
      std::string src = ToSjis(line, v.text);
      TBuildQuenParser b;
      size_t a = src.find_first_not_of(" \t");
      if (a != std::string::npos) b.Build(src);
      b.Write(m);
    }
    m.Seek(0, TSeekOrigin::soBeginning);
    out.LoadFromStream(m);
    if (m.Remaining() != 0) Fail(line, "bytes after a compiled expression");
  } catch (const EQuenError& e) {
    std::string msg;
    if (!TryCp932ToUtf8(e.Message(), msg)) msg = e.Message();
    if (msg.rfind("line ", 0) == 0) throw;
    Fail(line, "expression: " + msg);
  }
}

struct TLine {
  int line = 0;
  int code = 0;
  int indent = 0;
  bool indent_given = false;
  std::vector<std::pair<std::string, TValue>> opts;
  std::optional<TValue> main;
};

// Default targets of loop commands from the structure of the page: While -> after its
// WhileLoop, WhileLoop -> its While, Break -> after the loop, Continue -> the loop's WhileLoop.
std::vector<std::optional<int32_t>> LoopTargets(const std::vector<int>& codes) {
  std::vector<std::optional<int32_t>> t(codes.size());
  std::vector<size_t> open;
  std::vector<std::vector<size_t>> inner;  // Break/Continue inside each open While
  for (size_t i = 0; i < codes.size(); ++i) {
    int c = codes[i];
    if (c == kCodeWhile) {
      open.push_back(i);
      inner.emplace_back();
    } else if ((c == kCodeBreak || c == kCodeContinue) && !open.empty()) {
      inner.back().push_back(i);
    } else if (c == kCodeWhileLoop && !open.empty()) {
      size_t w = open.back();
      open.pop_back();
      t[w] = static_cast<int32_t>(i + 1);
      t[i] = static_cast<int32_t>(w);
      for (size_t k : inner.back()) t[k] = static_cast<int32_t>(codes[k] == kCodeBreak ? i + 1 : i);
      inner.pop_back();
    }
  }
  return t;
}

// A property key of a component command: "pN" by number, or the property's name (its
// identifier without "PR_", in any case: left, fontname, onlbtndown).
std::optional<int> PropKey(const std::string& key) {
  if (key.size() > 1 && key[0] == 'p') {
    if (auto n = ParseInt(key.substr(1))) return *n;
  }
  std::string ident = "PR_";
  for (char c : key) ident += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const int code = PropCodeOf(ident);
  if (code < 0) return std::nullopt;
  return code;
}

// The name dump prints for a property: lower case, without "PR_".
std::string PropKeyName(int id) {
  if (id < 0 || id >= kPropCount) return "p" + std::to_string(id);
  std::string name = PropInfo(static_cast<uint8_t>(id)).Ident + 3;
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

bool HasProps(const TCommandInfo& info) {
  for (const TFieldSpec& f : info.fields)
    if (f.kind == FK_PROPS) return true;
  return false;
}

// "e1", "e2", ... name the expression fields in order where no field bears that name.
std::string FieldName(const TCommandInfo& info, const std::string& key) {
  for (const TFieldSpec& f : info.fields)
    if (key == f.name) return key;
  if (key.size() < 2 || key[0] != 'e') return key;
  const std::optional<int32_t> n = ParseInt(key.substr(1));
  if (!n || *n < 1 || key[1] == '0') return key;
  int32_t k = 0;
  for (const TFieldSpec& f : info.fields)
    if (f.kind == FK_EXPR && ++k == *n) return f.name;
  return key;
}

bool IsTextIns(const TCommandInfo& info) {
  return std::string(info.name) == "TextIns";
}

bool IsOptionName(const TCommandInfo& info, const std::string& key) {
  if (key == "line" || key == "cont" || key == "disabled" || key == "indent" || key == "code")
    return true;
  if (IsTextIns(info) && (key == "content" || key == "delay")) return true;
  const std::string n = FieldName(info, key);
  for (const TFieldSpec& f : info.fields) {
    if (n == f.name) return true;
    if (f.kind == FK_PROPS && PropKey(n)) return true;
  }
  return false;
}

// Plain markup that compiles to exactly the stored content stream, with the delay it needs;
// nothing for a stream with decorations, links or records plain text cannot make.
std::optional<std::string> MarkupOf(const std::string& content, int32_t& delay) {
  TContentImage image;
  try {
    TKvMemoryStream m(content);
    image = ReadContent(m);
    if (m.Remaining() != 0) return std::nullopt;
  } catch (const EQuenError&) {
    return std::nullopt;
  }
  std::string out;
  bool delay_known = false;
  delay = kDefaultTextDelay;
  for (const TContentGlyph& g : image.glyphs) {
    if (g.type == 3) {
      out += g.value ? "<BR CLEAR>" : "<BR>";
      continue;
    }
    if (g.type != 1 || !g.link.empty()) return std::nullopt;
    if (!delay_known) {
      delay = g.delay;
      delay_known = true;
    } else if (g.delay != delay) {
      return std::nullopt;
    }
    if (g.code < 0x100) {
      const char c = static_cast<char>(g.code);
      if (std::string_view("\"%<>\\{}").find(c) != std::string_view::npos) out += '\\';
      out += c;
    } else {
      out += static_cast<char>(g.code >> 8);
      out += static_cast<char>(g.code & 0xFF);
    }
  }
  try {
    if (CompileMarkup(SplitMarkupLines(out), delay) != content) return std::nullopt;
  } catch (const EQuenError&) {
    return std::nullopt;
  }
  return out;
}

TLine ParseCommandLine(int line, const std::string& s) {
  TLine l;
  l.line = line;
  size_t pos = 0;
  while (pos < s.size() && s[pos] == ' ') ++pos;
  if (pos < s.size() && s[pos] == '\t') Fail(line, "indent with spaces, not tabs");
  if (pos % 2) Fail(line, "indentation must be a multiple of two spaces");
  l.indent = static_cast<int>(pos / 2);
  size_t start = pos;
  while (pos < s.size() && (std::isalnum(static_cast<unsigned char>(s[pos])))) ++pos;
  std::string name = s.substr(start, pos - start);
  l.code = CommandCode(name);
  if (l.code < 0) Fail(line, "unknown command \"" + name + "\"");
  const TCommandInfo& info = CommandInfo(l.code);
  for (;;) {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t')) ++pos;
    if (pos >= s.size()) break;
    size_t eq = pos;
    while (eq < s.size() && (std::isalnum(static_cast<unsigned char>(s[eq])) || s[eq] == '_')) ++eq;
    std::string key = s.substr(pos, eq - pos);
    if (eq < s.size() && s[eq] == '=' && IsOptionName(info, key)) {
      pos = eq + 1;
      l.opts.emplace_back(key, ReadValue(line, s, pos));
      continue;
    }
    if (info.main < 0) Fail(line, name + " takes no text here: " + s.substr(pos));
    size_t end = s.find_last_not_of(" \t");
    std::string rest = s.substr(pos, end + 1 - pos);
    TValue v;
    if (rest[0] == '"' || rest[0] == '{') {
      size_t p = 0;
      v = ReadValue(line, rest, p);
      if (p != rest.size()) Fail(line, "text after the closing quote or brace");
    } else {
      v.text = rest;
    }
    l.main = v;
    break;
  }
  return l;
}

int32_t IntValue(int line, const std::string& key, const TValue& v) {
  auto n = ParseInt(v.text);
  if (!n || v.kind != TValue::kBare) Fail(line, key + " needs a number");
  return *n;
}

// True when expression source can stand between braces: no line break, and braces only inside
// string literals, so the reader's scan ends at the right "}".
bool FitsInBraces(const std::string& src) {
  bool quoted = false;
  for (size_t i = 0; i < src.size(); ++i) {
    const char c = src[i];
    if (c == '\n' || c == '\r') return false;
    if (quoted) {
      if (c == '\\' && i + 1 < src.size())
        ++i;
      else if (c == '"')
        quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '{' || c == '}') {
      return false;
    }
  }
  return !quoted;
}

// Expression source that compiles to exactly the stored records, or nothing. Operators are
// printed with the fewest parentheses, since groups change how the compiler numbers its
// temporaries; anything that does not come back byte for byte is printed as its bytes.
std::optional<std::string> Decompile(const TQuenParser& e) {
  struct TText {
    std::string s;
    int level;  // 0 operand, 1..8 the compiler's precedence levels
  };
  auto level_of = [](uint8_t op) -> int {
    switch (op) {
      case ocMul:
      case ocDiv:
      case ocMod:
        return 1;
      case ocPlus:
      case ocMinus:
        return 2;
      case ocShiftL:
      case ocShiftR:
        return 3;
      case ocEqual:
      case ocEBig:
      case ocESmall:
      case ocBig:
      case ocSmall:
      case ocNEqual:
        return 4;
      case ocComboStr:
        return 5;
      case ocAnd:
        return 6;
      case ocXor:
        return 7;
      case ocOr:
        return 8;
      default:
        return -1;
    }
  };
  static const char* kOpText[] = {"", "=",  "+", "-", "*",  "/",  "%",  "|",  "&",  "^", "",
                                  "", "==", ">", "<", ">=", "<=", "<<", ">>", "++", "<>"};
  std::map<std::string, TText> temps;
  std::optional<std::string> result;
  auto operand = [&](const TCustomParam& o) -> std::optional<TText> {
    if (const TParamVar* v = const_cast<TCustomParam&>(o).AsVar()) {
      const std::string& n = v->TargetName();
      if (IsTempName(n)) {
        auto it = temps.find(n);
        if (it == temps.end()) return std::nullopt;
        return it->second;
      }
      return TText{n, 0};
    }
    switch (o.GetValueType()) {
      case PT_INT:
        return TText{std::to_string(o.GetAsInteger()), 0};
      case PT_BOOL:
        return TText{o.GetAsBool() ? "TRUE" : "FALSE", 0};
      case PT_FLOAT: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.21Lg", o.GetAsFloat());
        std::string t = buf;
        if (t.find_first_of(".eEn") == std::string::npos) t += ".0";
        return TText{t, 0};
      }
      case PT_STR: {
        std::string t = "\"";
        std::string v = o.GetAsString();
        for (size_t i = 0; i < v.size();) {
          size_t n = sjis::CharLen(v, i);
          if (n == 1 && (v[i] == '"' || v[i] == '\\')) t += '\\';
          if (n == 1 && v[i] == '\r' && i + 1 < v.size() && v[i + 1] == '\n') {
            t += "\\n";
            i += 2;
            continue;
          }
          t.append(v, i, n);
          i += n;
        }
        return TText{t + "\"", 0};
      }
      default:
        return std::nullopt;
    }
  };
  for (const TOpeData& r : e.Records()) {
    if (result) return std::nullopt;
    std::vector<TText> ops;
    for (const auto& o : r.operands) {
      auto t = operand(*o);
      if (!t) return std::nullopt;
      ops.push_back(*t);
    }
    int lv = level_of(r.op);
    if (lv > 0) {
      if (ops.size() != 2 || !IsTempName(r.target)) return std::nullopt;
      std::string a = ops[0].level > lv ? "(" + ops[0].s + ")" : ops[0].s;
      std::string b = ops[1].level >= lv ? "(" + ops[1].s + ")" : ops[1].s;
      temps[r.target] = TText{a + " " + kOpText[r.op] + " " + b, lv};
    } else if (r.op == ocTo && ops.size() == 1) {
      if (r.target == kArgTemp) {
        result = ops[0].s;
      } else if (IsTempName(r.target) && r.target.compare(0, 6, kDimTempPrefix) != 0) {
        temps[r.target] = ops[0];
      } else {
        std::string lhs = r.target;
        if (IsTempName(r.target)) {
          auto it = temps.find(r.target);
          if (it == temps.end()) return std::nullopt;
          lhs = it->second.s;
        }
        result = lhs + " = " + ops[0].s;
      }
    } else if (r.op == ocDimTo && !ops.empty() && ops[0].level == 0) {
      std::string t = ops[0].s + "[";
      for (size_t k = 1; k < ops.size(); ++k) t += (k > 1 ? "," : "") + ops[k].s;
      temps[r.target] = TText{t + "]", 0};
    } else if (r.op == ocFunc && r.func < kSysFuncCount) {
      std::string t = std::string(kSysFuncs[r.func].name) + "(";
      for (size_t k = 0; k < ops.size(); ++k) t += (k ? ", " : "") + ops[k].s;
      temps[r.target] = TText{t + ")", 0};
    } else {
      return std::nullopt;
    }
  }
  if (!result) return std::nullopt;
  // Accept the text only when it compiles to the same bytes.
  try {
    TKvMemoryStream want, got;
    e.SaveToStream(want);
    TBuildQuenParser b;
    b.Build(*result);
    b.Write(got);
    if (got.Data() != want.Data()) return std::nullopt;
  } catch (const EQuenError&) {
    return std::nullopt;
  }
  std::string utf8;
  if (!TryCp932ToUtf8(*result, utf8)) return std::nullopt;
  std::string back;
  if (!TryUtf8ToCp932(utf8, back) || back != *result) return std::nullopt;
  return utf8;
}

}  // namespace

int32_t FindLabelInText(const std::string& text, const std::string& label) {
  std::istringstream in(text);
  std::string s;
  int32_t index = 0;
  int line = 0;
  while (std::getline(in, s)) {
    ++line;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos || s[a] == '#' || s[a] == '.') continue;
    TLine l = ParseCommandLine(line, s);
    if (l.code == 3) {
      std::string name;
      if (l.main) name = l.main->text;
      for (auto& [k, v] : l.opts)
        if (k == "name") name = v.text;
      if (l.main && l.main->kind == TValue::kBare) name = ToSjis(line, name);
      if (name == label) return index;
    }
    ++index;
  }
  return -1;
}

void AssemblePage(const std::string& text, const std::string& file_name, TPage& page,
                  const TLabelResolver& resolver) {
  page.Commands().Clear();
  page.file_name = file_name;
  page.version = kMaxPageVersion;
  page.result_type = PT_INT;
  int32_t set_count = kCommandCount, set_size = kPropSetBytes;
  std::map<int, std::string> explicit_sets;
  std::vector<TLine> lines;
  std::istringstream in(text);
  std::string s;
  int line = 0;
  while (std::getline(in, s)) {
    ++line;
    if (!s.empty() && s.back() == '\r') s.pop_back();
    size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos || s[a] == '#') continue;
    if (s[a] != '.') {
      lines.push_back(ParseCommandLine(line, s));
      continue;
    }
    std::istringstream d(s.substr(a + 1));
    std::string key, val, extra;
    d >> key >> val;
    if (key == "set") {
      auto code = ParseInt(val);
      d >> extra;
      auto bytes = Unhex(extra == "-" ? "" : extra);
      if (!code || *code < 0 || !bytes) Fail(line, ".set needs a command code and hex bytes");
      explicit_sets[*code] = *bytes;
      continue;
    }
    if (key == "result") {
      bool found = false;
      for (int t = 0; t <= PT_STR; ++t)
        if (val == kTypeNames[t]) page.result_type = static_cast<uint8_t>(t), found = true;
      if (!found) {
        auto n = ParseInt(val);
        if (!n || *n < 0 || *n > 255) Fail(line, ".result needs int, float, bool or str");
        page.result_type = static_cast<uint8_t>(*n);
      }
      continue;
    }
    auto n = ParseInt(val);
    if (!n) Fail(line, "." + key + " needs a number");
    if (key == "version")
      page.version = *n;
    else if (key == "setcount" && *n >= 0 && *n <= kMaxPropSets)
      set_count = *n;
    else if (key == "setsize" && *n >= 0 && *n <= kMaxPropSetBytes)
      set_size = *n;
    else
      Fail(line, "unknown directive ." + key);
  }
  // Property sets: the explicit records, else every property some command of the code uses.
  page.raw_set_size = set_size;
  page.raw_sets.assign(static_cast<size_t>(set_count), std::string(size_t(set_size), '\0'));
  for (const TLine& l : lines) {
    if (explicit_sets.count(l.code)) continue;
    for (auto& [k, v] : l.opts) {
      if (!HasProps(CommandInfo(l.code))) continue;
      const std::optional<int> key = PropKey(k);
      if (!key) continue;
      const int id = *key;
      if (id < 0 || id >= kPropertyCount || id / 8 >= set_size || l.code >= set_count)
        Fail(l.line, "property " + std::to_string(id) + " has no place in the page's sets");
      page.raw_sets[static_cast<size_t>(l.code)][static_cast<size_t>(id / 8)] |=
          static_cast<char>(1 << (id % 8));
    }
  }
  // A sound, film or cinema left without a volume slot would stay at the component's 0, silent:
  // the derived sets of those commands always hold the volume, which then takes its fallback
  // of full volume when the command gives none.
  for (const char* name : kVolumeCommands) {
    const int code = CommandCode(name);
    if (code < 0 || code >= set_count || explicit_sets.count(code) || PR_VOLUME / 8 >= set_size)
      continue;
    if (std::none_of(lines.begin(), lines.end(), [&](const TLine& l) { return l.code == code; }))
      continue;
    page.raw_sets[static_cast<size_t>(code)][PR_VOLUME / 8] |=
        static_cast<char>(1 << (PR_VOLUME % 8));
  }
  for (auto& [code, bytes] : explicit_sets) {
    if (code >= set_count) Fail(0, ".set for a code beyond .setcount");
    bytes.resize(static_cast<size_t>(set_size), '\0');
    page.raw_sets[static_cast<size_t>(code)] = bytes;
  }
  page.ApplyRawSets();

  std::vector<int> codes;
  for (const TLine& l : lines) codes.push_back(l.code);
  std::vector<std::optional<int32_t>> loops = LoopTargets(codes);
  std::map<std::string, int32_t> labels;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].code != 3) continue;
    const TLine& l = lines[i];
    std::string name = l.main ? l.main->text : std::string();
    if (l.main && l.main->kind == TValue::kBare) name = ToSjis(l.line, name);
    for (auto& [k, v] : l.opts)
      if (k == "name") name = v.kind == TValue::kBare ? ToSjis(l.line, v.text) : v.text;
    labels.emplace(name, static_cast<int32_t>(i));
  }

  for (size_t i = 0; i < lines.size(); ++i) {
    const TLine& l = lines[i];
    std::unique_ptr<TCommand> c = NewCommand(static_cast<uint8_t>(l.code));
    TCommand* cmd = c.get();
    page.Commands().Add(std::move(c));
    const TCommandInfo& info = CommandInfo(l.code);
    cmd->indent = l.indent;
    cmd->line = l.line;
    cmd->continue_ = 1;
    cmd->fields.resize(info.fields.size());
    std::optional<int32_t> target_given;
    std::string target_label;
    for (size_t f = 0; f < info.fields.size(); ++f) {
      const TFieldSpec& layout = info.fields[f];
      if (layout.above && page.version <= layout.above) cmd->fields[f].present = false;
      if (layout.kind == FK_PROPS)
        for (int id = 0; id < kPropertyCount; ++id)
          if (page.HasProp(l.code, id)) {
            cmd->fields[f].ids.push_back(static_cast<uint8_t>(id));
            cmd->fields[f].list.emplace_back();
          }
    }
    auto set_field = [&](const std::string& given, const TValue& given_value) {
      const std::string key = FieldName(info, given);
      TValue v = given_value;
      // prop= takes a property's name as well as an expression.
      if (key == "prop" && v.kind == TValue::kBare && !ParseInt(v.text))
        if (const std::optional<int> id = PropKey(v.text)) v.text = std::to_string(*id);
      for (size_t f = 0; f < info.fields.size(); ++f) {
        const TFieldSpec& layout = info.fields[f];
        TField& fld = cmd->fields[f];
        if (layout.kind == FK_PROPS) {
          if (const std::optional<int> id = PropKey(key)) {
            for (size_t k = 0; k < fld.ids.size(); ++k)
              if (fld.ids[k] == *id) return Compile(l.line, v, fld.list[k]);
            Fail(l.line, "property " + key + " is not in this page's set for " + info.name);
          }
        }
        if (key != layout.name) continue;
        if (!fld.present)
          Fail(l.line,
               key + " exists only in pages of version above " + std::to_string(layout.above));
        switch (layout.kind) {
          case FK_EXPR:
            return Compile(l.line, v, fld.expr);
          case FK_EXPRLIST:
            Compile(l.line, v, fld.list.emplace_back());
            return;
          case FK_STR:
            fld.str = v.kind == TValue::kBare || v.kind == TValue::kBraced ? ToSjis(l.line, v.text)
                                                                           : v.text;
            return;
          case FK_BYTE:
          case FK_INT: {
            if (key == "target") {
              auto n = ParseInt(v.text);
              if (n) {
                target_given = *n;
              } else {
                target_label = ToSjis(l.line, v.text);
              }
              return;
            }
            int32_t n = 0;
            if (key == "type") {
              for (int t = 1; t <= PT_STR; ++t)
                if (v.text == kTypeNames[t]) return void(fld.num = t);
            }
            n = IntValue(l.line, key, v);
            if (layout.kind == FK_BYTE && (n < 0 || n > 255)) Fail(l.line, key + " is a byte");
            fld.num = n;
            return;
          }
          case FK_PROPS:
            break;
        }
      }
      Fail(l.line, "unknown field " + key);
    };
    if (l.code == 15) cmd->fields[1].num = PT_INT;  // VarNew declares an int unless told
    // A text insertion's body: markup compiled with the delay, or the stream's bytes.
    std::optional<std::string> markup, content;
    int32_t delay = kDefaultTextDelay;
    auto text_value = [&](const TValue& v) {
      return v.kind == TValue::kBare || v.kind == TValue::kBraced ? ToSjis(l.line, v.text) : v.text;
    };
    if (l.main) {
      if (l.code == kCodeTextIns)
        markup = text_value(*l.main);
      else
        set_field(info.fields[static_cast<size_t>(info.main)].name, *l.main);
    }
    for (auto& [k, v] : l.opts) {
      if (l.code == kCodeTextIns && (k == "text" || k == "content" || k == "delay")) {
        if (k == "text") {
          markup = text_value(v);
        } else if (k == "delay") {
          delay = IntValue(l.line, k, v);
        } else {
          auto bytes = v.text.rfind("hex:", 0) == 0 ? Unhex(v.text.substr(4)) : std::nullopt;
          if (!bytes) Fail(l.line, "content needs hex:BYTES");
          content = *bytes;
        }
        continue;
      }
      if (k == "line") {
        cmd->line = IntValue(l.line, k, v);
      } else if (k == "cont" || k == "disabled" || k == "code") {
        int32_t n = IntValue(l.line, k, v);
        if (n < 0 || n > 255) Fail(l.line, k + " is a byte");
        if (k == "cont") cmd->continue_ = static_cast<uint8_t>(n);
        if (k == "disabled") cmd->disabled_ = static_cast<uint8_t>(n);
        if (k == "code") {
          if ((n & 0x7F) != l.code) Fail(l.line, "code byte of another command");
          cmd->code_byte = static_cast<uint8_t>(n);
        }
      } else if (k == "indent") {
        cmd->indent = IntValue(l.line, k, v);
      } else {
        set_field(k, v);
      }
    }
    if (TakesCondition(l.code) && !l.main) {
      bool cond_given = false;
      for (auto& [k, v] : l.opts) cond_given |= k == "cond";
      if (!cond_given) set_field("cond", TValue{TValue::kBare, "TRUE"});
    }
    if (l.code == kCodeTextIns) {
      if (markup && content) Fail(l.line, "TextIns takes markup or content=, not both");
      if (content) cmd->fields[0].str = *content;
      if (markup && !markup->empty()) {
        try {
          cmd->fields[0].str = CompileMarkup(SplitMarkupLines(*markup), delay);
        } catch (const EQuenError& e) {
          std::string msg;
          if (!TryCp932ToUtf8(e.Message(), msg)) msg = e.Message();
          Fail(l.line, "markup: " + msg);
        }
      }
    }
    // Targets.
    if (l.code == kCodeJump || l.code == kCodeCall) {
      bool page_given = false;
      for (auto& [k, v] : l.opts) page_given |= k == "page";
      if (!page_given) cmd->fields[0].str = file_name;
      int32_t t = target_given.value_or(0);
      if (!target_label.empty()) {
        if (cmd->fields[0].str == file_name) {
          auto it = labels.find(target_label);
          if (it == labels.end()) Fail(l.line, "no label " + target_label + " in this page");
          t = it->second;
        } else {
          t = resolver ? resolver(cmd->fields[0].str, target_label) : -1;
          if (t < 0) Fail(l.line, "label " + target_label + " not found in " + cmd->fields[0].str);
        }
      }
      cmd->fields[1].num = t;
    } else if (l.code == kCodeWhile || l.code == kCodeWhileLoop || l.code == kCodeBreak ||
               l.code == kCodeContinue) {
      std::optional<int32_t> t = target_given;
      if (!target_label.empty()) {
        auto it = labels.find(target_label);
        if (it == labels.end()) Fail(l.line, "no label " + target_label + " in this page");
        t = it->second;
      }
      if (!t) t = loops[i];
      if (!t) Fail(l.line, std::string(info.name) + " outside a While ... WhileLoop");
      cmd->fields[1].num = *t;
    } else if (target_given || !target_label.empty()) {
      if (!target_label.empty()) {
        auto it = labels.find(target_label);
        if (it == labels.end()) Fail(l.line, "no label " + target_label + " in this page");
        target_given = it->second;
      }
      cmd->fields[1].num = *target_given;
    }
  }
}

std::string DumpPage(const TPage& page) {
  std::ostringstream out;
  int line = 0;
  auto emit = [&](const std::string& s) {
    out << s << "\n";
    ++line;
  };
  emit(".version " + std::to_string(page.version));
  if (page.version < kMinPageVersion || page.version > kMaxPageVersion) return out.str();
  emit(".result " + (page.result_type >= 1 && page.result_type <= PT_STR
                         ? std::string(kTypeNames[page.result_type])
                         : std::to_string(page.result_type)));
  if (page.raw_sets.size() != kCommandCount)
    emit(".setcount " + std::to_string(page.raw_sets.size()));
  if (page.raw_set_size != kPropSetBytes) emit(".setsize " + std::to_string(page.raw_set_size));
  const TComList& list = page.Commands();
  for (size_t i = 0; i < page.raw_sets.size(); ++i)
    if (page.raw_sets[i].find_first_not_of('\0') != std::string::npos ||
        (AlwaysHoldsVolume(static_cast<int>(i)) && HasCommandOf(list, static_cast<int>(i))))
      emit(".set " + std::to_string(i) + " " + Hex(page.raw_sets[i]));
  std::vector<int> codes;
  for (int32_t i = 0; i < list.Count(); ++i) codes.push_back(list.At(i)->GetCode());
  std::vector<std::optional<int32_t>> loops = LoopTargets(codes);
  auto expr_text = [](const TQuenParser& e) {
    TKvMemoryStream m;
    e.SaveToStream(m);
    // Source is printed only when the compiler makes exactly the stored bytes of it again and
    // the reader can find its closing brace.
    if (auto src = Decompile(e); src && FitsInBraces(*src)) {
      // A leading '#' would read back as compiled bytes; a space before it keeps it source.
      if (!src->empty() && (*src)[0] == '#') src->insert(0, " ");
      try {
        TKvMemoryStream again;
        TBuildQuenParser b;
        if (src->find_first_not_of(" \t") != std::string::npos) b.Build(*src);
        b.Write(again);
        if (again.Data() == m.Data()) return "{" + *src + "}";
      } catch (const EQuenError&) {
      }
    }
    return "{#" + Hex(m.Data()) + "}";
  };
  for (int32_t i = 0; i < list.Count(); ++i) {
    const TCommand& c = *list.At(i);
    const TCommandInfo& info = CommandInfo(c.GetCode());
    // Short gaps in the line numbers become blank lines, so most lines need no line=.
    if (c.line > line + 1 && c.line - line <= 8)
      while (line + 1 < c.line) emit("");
    std::string s;
    bool spaces = c.indent >= 0 && c.indent <= 40;
    if (spaces) s.assign(static_cast<size_t>(c.indent) * 2, ' ');
    s += info.name;
    auto opt = [&s](const std::string& k, const std::string& v) { s += " " + k + "=" + v; };
    if (!spaces) opt("indent", std::to_string(c.indent));
    if (c.line != line + 1) opt("line", std::to_string(c.line));
    if (c.continue_ != 1) opt("cont", std::to_string(c.continue_));
    if (c.disabled_) opt("disabled", std::to_string(c.disabled_));
    if (c.code_byte && c.code_byte != c.GetCode()) opt("code", std::to_string(c.code_byte));
    std::string main;
    for (size_t f = 0; f < info.fields.size() && f < c.fields.size(); ++f) {
      const TFieldSpec& layout = info.fields[f];
      const TField& fld = c.fields[f];
      if (!fld.present) continue;
      bool is_main = static_cast<int>(f) == info.main;
      switch (layout.kind) {
        case FK_EXPR:
          if (fld.expr.Records().empty()) {
            // An empty condition is kept apart from one left out, which is written TRUE.
            if (is_main && TakesCondition(c.GetCode())) main = "{}";
            break;
          }
          if (is_main) {
            main = expr_text(fld.expr);
            // Plain source as the rest of the line when it reads back the same way.
            std::string inner = main.substr(1, main.size() - 2);
            if (main[1] != '#' && !inner.empty() && inner.front() != '"' && inner.front() != '{' &&
                inner.find_first_of("\r\n") == std::string::npos)
              main = inner;
          } else
            opt(layout.name, expr_text(fld.expr));
          break;
        case FK_STR: {
          std::string plain;
          if (c.GetCode() == kCodeTextIns && f == 0) {
            if (fld.str.empty()) break;
            int32_t delay = kDefaultTextDelay;
            if (const std::optional<std::string> markup = MarkupOf(fld.str, delay)) {
              if (delay != kDefaultTextDelay) opt("delay", std::to_string(delay));
              main = PlainSafe(*markup, plain) ? plain : Quote(*markup);
            } else {
              opt("content", "hex:" + Hex(fld.str));
            }
            break;
          }
          if (is_main && PlainSafe(fld.str, plain)) {
            main = plain;
          } else if (!fld.str.empty() ||
                     ((c.GetCode() == kCodeJump || c.GetCode() == kCodeCall) && f == 0)) {
            opt(layout.name, Quote(fld.str));
          }
          break;
        }
        case FK_INT:
        case FK_BYTE: {
          uint8_t code = c.GetCode();
          bool loop = code == kCodeWhile || code == kCodeWhileLoop || code == kCodeBreak ||
                      code == kCodeContinue;
          if (loop && std::string(layout.name) == "target") {
            if (loops[static_cast<size_t>(i)] != fld.num) opt("target", std::to_string(fld.num));
          } else if (code == 15 && std::string(layout.name) == "type") {
            if (fld.num >= 1 && fld.num <= PT_STR)
              opt("type", kTypeNames[fld.num]);
            else
              opt("type", std::to_string(fld.num));
          } else if (fld.num != 0) {
            opt(layout.name, std::to_string(fld.num));
          }
          break;
        }
        case FK_EXPRLIST:
          for (const TQuenParser& e : fld.list) opt(layout.name, expr_text(e));
          break;
        case FK_PROPS:
          for (size_t k = 0; k < fld.ids.size(); ++k)
            if (!fld.list[k].Records().empty())
              opt(PropKeyName(fld.ids[k]), expr_text(fld.list[k]));
          break;
      }
    }
    if (!main.empty()) s += " " + main;
    emit(s);
  }
  return out.str();
}

}  // namespace quen
