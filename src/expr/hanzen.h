// Conversion between the single-byte (half-width) characters and their double-byte
// (full-width) forms of code page 932.
#pragma once

#include <string>
#include <string_view>

namespace quen {

// Space and ASCII 0x21-0x7E to their full-width forms, half-width katakana to full-width
// katakana (a following voiced or semi-voiced mark is merged where the full-width kana exists:
// the ka, sa, ta and ha rows, the ha row for the semi-voiced one). Double-byte characters pass
// through unchanged.
std::string HanToZen(std::string_view s);

// The inverse: the full-width forms back to single bytes, a voiced or semi-voiced kana to the
// half-width kana followed by its mark. Other characters pass through unchanged.
std::string ZenToHan(std::string_view s);

}  // namespace quen
