#include "text/wd_glyph.h"

namespace quen {

namespace {
const std::string kEmpty;
}

const std::string& TWdGlyph::Ruby() const {
  return kEmpty;
}

const std::string& TWdGlyph::Link() const {
  return kEmpty;
}

std::string TWdChar::Text() const {
  std::string s;
  if (code_ >= 0x100) s.push_back(static_cast<char>(code_ >> 8));
  s.push_back(static_cast<char>(code_ & 0xFF));
  return s;
}

const std::string& TWdChar::Ruby() const {
  return deco_ ? deco_->ruby : kEmpty;
}

}  // namespace quen
