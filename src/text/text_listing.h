// The text form of a content stream (docs/markup-text.md): one record per line in UTF-8, which
// reads back into the same records, so a stream dumped and encoded again gives the same bytes.
//
//   kvword 100
//   decoration refs=2 color=#FF0000 border_color=none shadow_color=none size=24 style=1 nobr=0
//              border=-1 shadow=-1 face="" ruby=""        (one line)
//   chars deco=0 delay=50 "text"        a run of characters sharing decoration, delay, link
//   char deco=0 delay=50 code=0x81      a character without an exact text form
//   align 3 | return clear=0 | indent | undent | event "value" | var deco=0 delay=50 "name"
//   histchar ... | img delay=50 align=5 nobr=0 ruby="" "source"
//
// Strings are double-quoted with "" for a quote, or hex:... for bytes without an exact UTF-8
// form; link="..." is written when not empty. Colours are #RRGGBB, none for -1, or a number.
#pragma once

#include <string>
#include <string_view>

#include "text/content_stream.h"

namespace quen {

std::string ContentListing(const TContentImage& c);
// Raises EQuenError("line N: ...") for a line it cannot read.
TContentImage ParseContentListing(std::string_view text);

}  // namespace quen
