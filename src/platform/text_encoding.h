// Conversion between the game's Shift-JIS text and the host's UTF-8, through iconv "CP932"
// (never "SHIFT_JIS", which maps 0x5C to a yen sign).
#pragma once

#include <string>
#include <string_view>

namespace quen::platform {

// Bytes that are not valid CP932 become U+FFFD.
std::string Cp932ToUtf8(std::string_view sjis);
// Characters CP932 cannot hold become '?'; invalid UTF-8 bytes as well.
std::string Utf8ToCp932(std::string_view utf8);
// Strict forms: false when anything could not be converted exactly.
bool TryCp932ToUtf8(std::string_view sjis, std::string& out);
bool TryUtf8ToCp932(std::string_view utf8, std::string& out);

}  // namespace quen::platform
