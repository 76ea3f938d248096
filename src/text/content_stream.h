// The content stream of a marked-up text as records: what the stream holds, read with every
// count, length and index checked, and written back byte for byte. TKvWord turns the records
// into glyphs; the text listing prints and reads them.
//
// Layout: the magic "KvWord" and three digits (absent: version 0, read from the first byte);
// Int32 decoration count and the decorations (Int32 reference count, Int32 colour, Int32 border
// colour, Int32 size, style byte, no-break byte, border width: Int32 from version 100, before
// it one byte meaning 1 or 0; string face; string ruby; from version 100 Int32 shadow width and
// Int32 shadow colour); Int32 glyph count and per glyph its type byte and record:
//   1 character   string link, Int32 delay, 16-bit code, Int32 decoration index
//   2 alignment   alignment byte
//   3 line break  clear byte (1: also a page break)
//   4, 5 indent, undent   nothing
//   6 event       string value
//   7 variable, 10 history character   string name, Int32 decoration index, string link,
//                 Int32 delay
//   9 image       string link, Int32 delay, string source, alignment byte, no-break byte,
//                 string ruby
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/stream.h"
#include "text/decorate.h"

namespace quen {

constexpr int32_t kContentVersion = 100;

struct TContentDecoration {
  int32_t refs = 0;  // as stored; readers recount
  TDecorate looks;   // border holds the stored byte before version 100
};

struct TContentGlyph {
  uint8_t type = 0;
  std::string link;
  int32_t delay = 0;
  uint16_t code = 0;
  int32_t deco = 0;
  uint8_t value = 0;  // alignment, clear flag, image alignment
  std::string text;   // event value, variable name, image source
  bool no_break = false;
  std::string ruby;
};

struct TContentImage {
  int32_t version = kContentVersion;
  std::vector<TContentDecoration> decorations;
  std::vector<TContentGlyph> glyphs;
};

// Raises the stream read error for a damaged stream: a magic without three digits, a version
// above kContentVersion, a count beyond the bytes left, an unknown glyph type or a decoration
// index outside the stream's list.
TContentImage ReadContent(TStream& s);
void WriteContent(TStream& s, const TContentImage& c);

}  // namespace quen
