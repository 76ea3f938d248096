#include "text/content_stream.h"

#include <cstring>

#include "text/wd_glyph.h"

namespace quen {

namespace {

constexpr char kMagic[] = "KvWord";

int32_t ReadVersion(TStream& s) {
  const int64_t start = s.GetPosition();
  if (s.Remaining() < 9) return 0;
  char head[9];
  s.ReadBuffer(head, 9);
  if (std::memcmp(head, kMagic, 6) != 0) {
    s.SetPosition(start);
    return 0;
  }
  int32_t v = 0;
  for (int i = 6; i < 9; ++i) {
    if (head[i] < '0' || head[i] > '9') RaiseReadError();
    v = v * 10 + (head[i] - '0');
  }
  if (v > kContentVersion) RaiseReadError();
  return v;
}

int32_t ReadCount(TStream& s, int64_t min_bytes) {
  const int32_t n = ReadInt32(s);
  if (n < 0 || n > s.Remaining() / min_bytes) RaiseReadError();
  return n;
}

int32_t ReadDecoIndex(TStream& s, size_t count) {
  const int32_t i = ReadInt32(s);
  if (i < 0 || static_cast<size_t>(i) >= count) RaiseReadError();
  return i;
}

}  // namespace

TContentImage ReadContent(TStream& s) {
  TContentImage c;
  c.version = ReadVersion(s);
  const bool modern = c.version >= 100;
  const int32_t decos = ReadCount(s, modern ? 38 : 27);
  c.decorations.resize(static_cast<size_t>(decos));
  for (TContentDecoration& d : c.decorations) {
    d.refs = ReadInt32(s);
    d.looks.color = ReadInt32(s);
    d.looks.border_color = ReadInt32(s);
    d.looks.size = ReadInt32(s);
    d.looks.style = ReadByte(s);
    d.looks.no_break = ReadByte(s) != 0;
    d.looks.border = modern ? ReadInt32(s) : ReadByte(s);
    d.looks.face = ReadString(s);
    d.looks.ruby = ReadString(s);
    if (modern) {
      d.looks.shadow = ReadInt32(s);
      d.looks.shadow_color = ReadInt32(s);
    }
  }
  const int32_t glyphs = ReadCount(s, 1);
  c.glyphs.reserve(static_cast<size_t>(glyphs));
  for (int32_t k = 0; k < glyphs; ++k) {
    TContentGlyph g;
    g.type = ReadByte(s);
    switch (g.type) {
      case WD_CHAR:
        g.link = ReadString(s);
        g.delay = ReadInt32(s);
        g.code = static_cast<uint16_t>(ReadInt16(s));
        g.deco = ReadDecoIndex(s, c.decorations.size());
        break;
      case WD_ALIGN:
      case WD_RETURN:
        g.value = ReadByte(s);
        break;
      case WD_INDENT:
      case WD_UNDENT:
        break;
      case WD_EVENT:
        g.text = ReadString(s);
        break;
      case WD_VAR:
      case WD_HISTCHAR:
        g.text = ReadString(s);
        g.deco = ReadDecoIndex(s, c.decorations.size());
        g.link = ReadString(s);
        g.delay = ReadInt32(s);
        break;
      case WD_IMG:
        g.link = ReadString(s);
        g.delay = ReadInt32(s);
        g.text = ReadString(s);
        g.value = ReadByte(s);
        g.no_break = ReadByte(s) != 0;
        g.ruby = ReadString(s);
        break;
      default:
        RaiseReadError();
    }
    c.glyphs.push_back(std::move(g));
  }
  return c;
}

void WriteContent(TStream& s, const TContentImage& c) {
  if (c.version > 0) {
    const int v = c.version % 1000;
    const char head[9] = {'K',
                          'v',
                          'W',
                          'o',
                          'r',
                          'd',
                          static_cast<char>('0' + v / 100),
                          static_cast<char>('0' + v / 10 % 10),
                          static_cast<char>('0' + v % 10)};
    s.WriteBuffer(head, 9);
  }
  const bool modern = c.version >= 100;
  WriteInt32(s, static_cast<int32_t>(c.decorations.size()));
  for (const TContentDecoration& d : c.decorations) {
    WriteInt32(s, d.refs);
    WriteInt32(s, d.looks.color);
    WriteInt32(s, d.looks.border_color);
    WriteInt32(s, d.looks.size);
    WriteByte(s, d.looks.style);
    WriteByte(s, d.looks.no_break ? 1 : 0);
    if (modern) {
      WriteInt32(s, d.looks.border);
    } else {
      WriteByte(s, static_cast<uint8_t>(d.looks.border));
    }
    WriteString(s, d.looks.face);
    WriteString(s, d.looks.ruby);
    if (modern) {
      WriteInt32(s, d.looks.shadow);
      WriteInt32(s, d.looks.shadow_color);
    }
  }
  WriteInt32(s, static_cast<int32_t>(c.glyphs.size()));
  for (const TContentGlyph& g : c.glyphs) {
    WriteByte(s, g.type);
    switch (g.type) {
      case WD_CHAR:
        WriteString(s, g.link);
        WriteInt32(s, g.delay);
        WriteInt16(s, static_cast<int16_t>(g.code));
        WriteInt32(s, g.deco);
        break;
      case WD_ALIGN:
      case WD_RETURN:
        WriteByte(s, g.value);
        break;
      case WD_EVENT:
        WriteString(s, g.text);
        break;
      case WD_VAR:
      case WD_HISTCHAR:
        WriteString(s, g.text);
        WriteInt32(s, g.deco);
        WriteString(s, g.link);
        WriteInt32(s, g.delay);
        break;
      case WD_IMG:
        WriteString(s, g.link);
        WriteInt32(s, g.delay);
        WriteString(s, g.text);
        WriteByte(s, g.value);
        WriteByte(s, g.no_break ? 1 : 0);
        WriteString(s, g.ruby);
        break;
      default:
        break;
    }
  }
}

}  // namespace quen
