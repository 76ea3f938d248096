#include "base/sjis.h"

namespace quen::sjis {

size_t CharCount(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); i += CharLen(s, i)) ++n;
  return n;
}

size_t ByteOffsetOfChar(std::string_view s, size_t char_index) {
  size_t i = 0;
  for (size_t k = 0; k < char_index && i < s.size(); ++k) i += CharLen(s, i);
  return i < s.size() ? i : s.size();
}

bool IsCharStart(std::string_view s, size_t i) {
  size_t p = 0;
  while (p < i) p += CharLen(s, p);
  return p == i;
}

namespace {
template <bool kUpper>
std::string FoldAscii(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size();) {
    size_t n = CharLen(out, i);
    if (n == 1) {
      char c = out[i];
      if (kUpper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 'a' + 'A');
      if (!kUpper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c - 'A' + 'a');
    }
    i += n;
  }
  return out;
}

inline unsigned char LowerByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}
}  // namespace

std::string LowerAscii(std::string_view s) {
  return FoldAscii<false>(s);
}
std::string UpperAscii(std::string_view s) {
  return FoldAscii<true>(s);
}

int CompareNoCase(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    size_t na = CharLen(a, i);
    size_t nb = CharLen(b, j);
    for (size_t k = 0; k < na || k < nb; ++k) {
      // Fold only single-byte characters; compare the bytes of double-byte ones as they are.
      int ca = k < na ? static_cast<unsigned char>(a[i + k]) : -1;
      int cb = k < nb ? static_cast<unsigned char>(b[j + k]) : -1;
      if (na == 1 && ca >= 0) ca = LowerByte(static_cast<unsigned char>(ca));
      if (nb == 1 && cb >= 0) cb = LowerByte(static_cast<unsigned char>(cb));
      if (ca != cb) return ca < cb ? -1 : 1;
    }
    i += na;
    j += nb;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

size_t FindLastChar(std::string_view s, char c) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); i += CharLen(s, i))
    if (CharLen(s, i) == 1 && s[i] == c) found = i;
  return found;
}

size_t FindChar(std::string_view s, char c, size_t from) {
  for (size_t i = 0; i < s.size(); i += CharLen(s, i))
    if (i >= from && CharLen(s, i) == 1 && s[i] == c) return i;
  return std::string_view::npos;
}

std::string EucJpToSjis(std::string_view euc) {
  std::string out;
  out.reserve(euc.size());
  const size_t n = euc.size();
  for (size_t i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(euc[i]);
    if (b == 0x00) {
      out += ' ';
    } else if (b <= 0x80 || b == 0xFF) {
      out += static_cast<char>(b);
    } else if (i + 1 >= n) {
      break;  // a lead byte cut off at the end
    } else if (b == 0x8E) {
      out += euc[++i];
    } else {
      const unsigned j1 = b & 0x7F;
      const unsigned j2 = static_cast<unsigned char>(euc[++i]) & 0x7F;
      const unsigned first = (j1 + 1) / 2 + (j1 <= 94 ? 112 : 176);
      const unsigned second = (j1 & 1) ? (j2 < 96 ? j2 + 31 : j2 + 32) : j2 + 126;
      out += static_cast<char>(first & 0xFF);
      out += static_cast<char>(second & 0xFF);
    }
  }
  return out;
}

}  // namespace quen::sjis
