#include "platform/text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace quen::platform {

namespace {

// iconv descriptors keep shift state, so every thread gets its own pair.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts in; on a byte sequence that cannot be converted, appends replacement (when
  // allowed) and skips one input character. Returns false when anything was replaced.
  bool Run(std::string_view in, std::string& out, std::string_view replacement, bool utf8_input) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.clear();
    bool exact = true;
    char* src = const_cast<char*>(in.data());
    size_t src_left = in.size();
    char buf[1024];
    while (src_left > 0) {
      char* dst = buf;
      size_t dst_left = sizeof buf;
      size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
      out.append(buf, static_cast<size_t>(dst - buf));
      if (r != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: skip one input character and put the replacement in its place.
      exact = false;
      out.append(replacement);
      size_t skip = 1;
      if (utf8_input) {
        unsigned char c = static_cast<unsigned char>(*src);
        size_t want = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        skip = 1;
        // Skip the whole sequence only when its continuation bytes are really there.
        while (skip < want && skip < src_left &&
               (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80)
          ++skip;
      } else {
        unsigned char c = static_cast<unsigned char>(*src);
        bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        skip = (lead && src_left >= 2) ? 2 : 1;
      }
      src += skip;
      src_left -= skip;
    }
    char* dst = buf;
    size_t dst_left = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &dst_left);
    out.append(buf, static_cast<size_t>(dst - buf));
    return exact;
  }

 private:
  iconv_t cd_;
};

Converter& ToUtf8() {
  thread_local Converter c("UTF-8", "CP932");
  return c;
}
Converter& ToCp932() {
  thread_local Converter c("CP932", "UTF-8");
  return c;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view sjis) {
  std::string out;
  ToUtf8().Run(sjis, out, "\xEF\xBF\xBD", false);
  return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
  std::string out;
  ToCp932().Run(utf8, out, "?", true);
  return out;
}

bool TryCp932ToUtf8(std::string_view sjis, std::string& out) {
  return ToUtf8().Run(sjis, out, "", false);
}

bool TryUtf8ToCp932(std::string_view utf8, std::string& out) {
  return ToCp932().Run(utf8, out, "", true);
}

}  // namespace quen::platform
