#include "base/error.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace quen {

namespace {
std::string FormatV(const char* fmt, va_list ap) {
  va_list copy;
  va_copy(copy, ap);
  char small[256];
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string(fmt);
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), fmt, ap);
  return std::string(big.data(), static_cast<size_t>(n));
}
}  // namespace

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = FormatV(fmt, ap);
  va_end(ap);
  return s;
}

void RaiseError(const std::string& message) {
  throw EQuenError(message);
}

void RaiseNamingFile(const EQuenError& e, const std::string& name) {
  const std::string& m = e.Message();
  const std::string tail = ": " + name;
  if (name.empty() ||
      (m.size() >= tail.size() && m.compare(m.size() - tail.size(), tail.size(), tail) == 0))
    throw e;
  throw EQuenError(m + tail);
}

void RaiseErrorFmt(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = FormatV(fmt, ap);
  va_end(ap);
  throw EQuenError(std::move(s));
}

}  // namespace quen
