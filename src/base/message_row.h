#pragma once

namespace quen::msg {

// One row of a layer's message table: the name, the Shift-JIS bytes and the UTF-8 original.
struct MessageRow {
  const char* name;
  const char* sjis;
  const char* utf8;
};

}  // namespace quen::msg
