// Cursor files made byte by byte for the cursor tests.
#pragma once

#include <string>

#include "base/stream.h"

namespace quen::testing {

// A cursor file with one 2 x 2 picture of the given depth, hot spot (1, 0).
inline std::string MakeCur(int bits) {
  TKvMemoryStream dib;
  WriteInt32(dib, 40);
  WriteInt32(dib, 2);
  WriteInt32(dib, 4);  // colour rows plus mask rows
  WriteInt16(dib, 1);
  WriteInt16(dib, static_cast<int16_t>(bits));
  for (int i = 0; i < 6; ++i) WriteInt32(dib, 0);
  if (bits == 1) {
    WriteInt32(dib, 0x00000000);  // black
    WriteInt32(dib, 0x00FFFFFF);  // white
    // Bottom row first: bottom (white, black), top (black, white).
    WriteInt32(dib, 0x80000000 >> 24);
    WriteInt32(dib, 0x40000000 >> 24);
  } else {
    // Bottom row: blue, green; top row: red, white (BGR bytes, rows padded to 4 bytes).
    const uint8_t rows[] = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0};
    dib.WriteBuffer(rows, 16);
  }
  // Mask: bottom row fully opaque, top row: right pixel transparent.
  WriteInt32(dib, 0);
  WriteInt32(dib, 0x40);
  TKvMemoryStream f;
  WriteInt16(f, 0);
  WriteInt16(f, 2);
  WriteInt16(f, 1);
  WriteByte(f, 2);
  WriteByte(f, 2);
  WriteByte(f, 0);
  WriteByte(f, 0);
  WriteInt16(f, 1);
  WriteInt16(f, 0);
  WriteInt32(f, static_cast<int32_t>(dib.Data().size()));
  WriteInt32(f, 22);
  f.WriteBuffer(dib.Data().data(), static_cast<int64_t>(dib.Data().size()));
  return f.Data();
}

inline std::string MakeAni(const std::string& cur) {
  std::string icon = "icon";
  TKvMemoryStream c;
  WriteInt32(c, static_cast<int32_t>(cur.size()));
  icon += c.Data() + cur;
  if (cur.size() & 1) icon += '\0';
  std::string list = "fram" + icon;
  TKvMemoryStream l;
  WriteInt32(l, static_cast<int32_t>(list.size()));
  std::string anih = "anih";
  TKvMemoryStream a;
  WriteInt32(a, 36);
  anih += a.Data() + std::string(36, '\0');
  std::string body = "ACON" + anih + "LIST" + l.Data() + list;
  TKvMemoryStream r;
  WriteInt32(r, static_cast<int32_t>(body.size()));
  return "RIFF" + r.Data() + body;
}

}  // namespace quen::testing
