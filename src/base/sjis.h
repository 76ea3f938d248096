// Shift-JIS (code page 932) text helpers. Game text is kept as the bytes the files hold; every
// scanner walks characters so that trail bytes such as '\\', '[' or 'a' are never mistaken for
// ASCII.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quen::sjis {

// Lead bytes of double-byte characters: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Byte length of the character starting at s[i]: 2 for a lead byte followed by another byte,
// otherwise 1 (a lead byte at the very end counts as one character on its own).
inline size_t CharLen(std::string_view s, size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

// Number of characters (a double-byte character counts once).
size_t CharCount(std::string_view s);

// Byte offset of the character with the given 0-based index, or s.size() when beyond.
size_t ByteOffsetOfChar(std::string_view s, size_t char_index);

// True when s[i] is the first byte of a character (not a trail byte).
bool IsCharStart(std::string_view s, size_t i);

// ASCII-only case folding; bytes of double-byte characters are left alone.
std::string LowerAscii(std::string_view s);
std::string UpperAscii(std::string_view s);

// Case-insensitive comparison for ASCII letters only, walking characters.
bool EqualsNoCase(std::string_view a, std::string_view b);
int CompareNoCase(std::string_view a, std::string_view b);

// Position of the last single-byte character c (such as '\\' or '.') that is not a trail byte,
// or npos.
size_t FindLastChar(std::string_view s, char c);
// Position of the first single-byte character c at or after from, or npos.
size_t FindChar(std::string_view s, char c, size_t from = 0);

// EUC-JP bytes as Shift-JIS, byte by byte: 0x00 becomes a space; 0x01-0x80 and 0xFF stay; 0x8E
// keeps the byte after it (half-width katakana); any other byte and the next form a JIS X 0208
// pair, turned into its Shift-JIS pair. A lead byte without a byte after it is dropped.
std::string EucJpToSjis(std::string_view euc);

// Calls f(offset, length) for every character.
template <typename F>
void ForEachChar(std::string_view s, F&& f) {
  for (size_t i = 0; i < s.size();) {
    size_t n = CharLen(s, i);
    f(i, n);
    i += n;
  }
}

}  // namespace quen::sjis
