#include "authoring/desc_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/error.h"
#include "platform/text_encoding.h"

namespace quen {

std::vector<TDescLine> ParseDescText(std::string_view text) {
  // Editors may lead a UTF-8 file with a byte-order mark.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<TDescLine> out;
  int number = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t lf = text.find('\n', pos);
    std::string_view line = text.substr(pos, lf == std::string_view::npos ? text.npos : lf - pos);
    pos = lf == std::string_view::npos ? text.size() + 1 : lf + 1;
    ++number;
    TDescLine l;
    l.Number = number;
    size_t i = 0;
    while (i < line.size()) {
      char c = line[i];
      if (c == ' ' || c == '\t' || c == '\r') {
        ++i;
        continue;
      }
      if (c == '#') break;
      if (c == '"') {
        std::string s;
        ++i;
        bool closed = false;
        while (i < line.size()) {
          if (line[i] == '"') {
            if (i + 1 < line.size() && line[i + 1] == '"') {
              s += '"';
              i += 2;
              continue;
            }
            ++i;
            closed = true;
            break;
          }
          s += line[i++];
        }
        if (!closed) RaiseError("line " + std::to_string(number) + ": unterminated string");
        l.Tokens.push_back(std::move(s));
        l.Quoted.push_back(true);
        continue;
      }
      size_t b = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
      l.Tokens.emplace_back(line.substr(b, i - b));
      l.Quoted.push_back(false);
    }
    if (!l.Tokens.empty()) out.push_back(std::move(l));
  }
  return out;
}

void TDescReader::Fail(const std::string& what) const {
  RaiseError("line " + std::to_string(line_.Number) + ": " + Name() + ": " + what);
}

void TDescReader::ExpectCount(size_t n) const {
  if (ValueCount() != n) Fail("expected " + std::to_string(n) + " value(s)");
}

const std::string& TDescReader::Word(size_t i) const {
  if (i + 1 >= line_.Tokens.size()) Fail("a value is missing");
  return line_.Tokens[i + 1];
}

int64_t TDescReader::Int64(size_t i) const {
  if (i + 1 >= line_.Tokens.size() || line_.Quoted[i + 1]) Fail("a number is missing");
  const std::string& t = line_.Tokens[i + 1];
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(t.c_str(), &end, 0);
  if (t.empty() || *end != '\0' || errno == ERANGE) Fail("not a whole number: " + t);
  return v;
}

int32_t TDescReader::Int(size_t i) const {
  int64_t v = Int64(i);
  if (v < INT32_MIN || v > INT32_MAX) Fail("out of the 32-bit range");
  return static_cast<int32_t>(v);
}

uint8_t TDescReader::Byte(size_t i) const {
  int64_t v = Int64(i);
  if (v < 0 || v > 255) Fail("not a byte");
  return static_cast<uint8_t>(v);
}

bool TDescReader::Bool(size_t i) const {
  int64_t v = Int64(i);
  if (v != 0 && v != 1) Fail("expected 0 or 1");
  return v != 0;
}

long double TDescReader::Real(size_t i) const {
  if (i + 1 >= line_.Tokens.size() || line_.Quoted[i + 1]) Fail("a number is missing");
  const std::string& t = line_.Tokens[i + 1];
  char* end = nullptr;
  long double v = std::strtold(t.c_str(), &end);
  if (t.empty() || *end != '\0' || !std::isfinite(v)) Fail("not a finite number: " + t);
  return v;
}

std::string TDescReader::Str(size_t i) const {
  if (i + 1 < line_.Tokens.size() && !line_.Quoted[i + 1] &&
      line_.Tokens[i + 1].rfind("hex:", 0) == 0) {
    const std::string& t = line_.Tokens[i + 1];
    if (t.size() % 2 != 0) Fail("odd number of hex digits");
    std::string out;
    for (size_t k = 4; k < t.size(); k += 2) {
      char* end = nullptr;
      std::string pair = t.substr(k, 2);
      long b = std::strtol(pair.c_str(), &end, 16);
      if (*end != '\0' || pair[0] == '-' || pair[0] == '+') Fail("bad hex digits: " + pair);
      out += static_cast<char>(b);
    }
    return out;
  }
  if (i + 1 >= line_.Tokens.size() || !line_.Quoted[i + 1]) Fail("a quoted string is missing");
  std::string out;
  if (!platform::TryUtf8ToCp932(line_.Tokens[i + 1], out)) Fail("text that Shift-JIS cannot hold");
  return out;
}

std::string DescQuote(std::string_view sjis) {
  std::string u;
  std::string back;
  // Characters with two codes in code page 932 would not come back as the same bytes.
  bool plain =
      platform::TryCp932ToUtf8(sjis, u) && platform::TryUtf8ToCp932(u, back) && back == sjis;
  for (char c : sjis)
    if (static_cast<unsigned char>(c) < 0x20) plain = false;
  if (!plain) {
    // Bytes that have no one-line text form are written as they are.
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "hex:";
    for (unsigned char c : sjis) {
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
    return out;
  }
  std::string out = "\"";
  for (char c : u) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string DescReal(long double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.21Lg", v);
  return buf;
}

}  // namespace quen
