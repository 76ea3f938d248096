#include "expr/param_convert.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/error.h"
#include "expr/messages.h"

namespace quen::conv {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int32_t> ParseInt(std::string_view text) {
  std::string_view s = TrimBlanks(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  if (s.front() == '$') {
    s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    uint64_t v = 0;
    for (char c : s) {
      int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      v = v * 16 + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFull) return std::nullopt;
    }
    uint32_t u = static_cast<uint32_t>(v);
    if (negative) u = 0u - u;
    return static_cast<int32_t>(u);
  }
  int64_t v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return std::nullopt;
    v = v * 10 + (c - '0');
    if (v > 2147483648LL) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(v);
}

std::optional<long double> ParseFloat(std::string_view text) {
  std::string_view s = TrimBlanks(text);
  // Check the syntax here: the library parser would also take "inf", "nan" and hex floats.
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  // from_chars takes no leading '+'.
  if (s.front() == '+') s.remove_prefix(1);
  long double v = 0;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::string IntToText(int32_t v) {
  return std::to_string(v);
}

std::string FloatToText(long double v) {
  if (v == 0 || !std::isfinite(v)) return "0";
  // Round to 15 significant digits first; the form is chosen by the rounded exponent.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14Le", v);
  std::string digits;
  int exponent = 0;
  bool negative = buf[0] == '-';
  for (const char* p = buf; *p; ++p) {
    if (*p == 'e' || *p == 'E') {
      exponent = std::atoi(p + 1);
      break;
    }
    if (IsDigit(*p)) digits.push_back(*p);
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -5) {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out.append(digits, 1, std::string::npos);
    }
    out += 'E';
    out += std::to_string(exponent);
    return out;
  }
  if (exponent >= 0) {
    size_t int_len = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= int_len) {
      out += digits;
      out.append(int_len - digits.size(), '0');
    } else {
      out.append(digits, 0, int_len);
      out += '.';
      out.append(digits, int_len, std::string::npos);
    }
    return out;
  }
  out += "0.";
  out.append(static_cast<size_t>(-exponent - 1), '0');
  out += digits;
  return out;
}

int32_t TextToInt(std::string_view text) {
  return ParseInt(text).value_or(0);
}

long double TextToFloat(std::string_view text) {
  return ParseFloat(text).value_or(0.0L);
}

int32_t FloatToInt(long double v) {
  // The FPU's 64-bit store reports invalid for anything it cannot represent.
  if (!(v > -9223372036854775809.0L && v < 9223372036854775808.0L))
    RaiseError(msg::kFloatInvalidOp);
  int64_t whole = static_cast<int64_t>(v);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(whole)));
}

long double CheckFloat(long double v) {
  if (std::isnan(v)) RaiseError(msg::kFloatInvalidOp);
  if (std::isinf(v)) RaiseError(msg::kFloatOverflow);
  return v;
}

int32_t IntAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t IntSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
int32_t IntMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
int32_t IntDiv(int32_t a, int32_t b) {
  if (b == 0) RaiseError(msg::kDivisionByZero);
  if (b == -1 && a == std::numeric_limits<int32_t>::min()) RaiseError(msg::kIntegerOverflow);
  return a / b;
}
int32_t IntMod(int32_t a, int32_t b) {
  if (b == 0) RaiseError(msg::kDivisionByZero);
  if (b == -1 && a == std::numeric_limits<int32_t>::min()) RaiseError(msg::kIntegerOverflow);
  return a % b;
}
int32_t IntShl(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) << (static_cast<uint32_t>(b) & 31u));
}
int32_t IntShr(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) >> (static_cast<uint32_t>(b) & 31u));
}

long double FloatAdd(long double a, long double b) {
  return CheckFloat(a + b);
}
long double FloatSub(long double a, long double b) {
  return CheckFloat(a - b);
}
long double FloatMul(long double a, long double b) {
  return CheckFloat(a * b);
}
long double FloatDiv(long double a, long double b) {
  if (b == 0) RaiseError(a == 0 ? msg::kFloatInvalidOp : msg::kDivisionByZero);
  return CheckFloat(a / b);
}

}  // namespace quen::conv
