#include "text/content_stream.h"

#include <algorithm>
#include <cstring>

#include "text/wd_glyph.h"

namespace quen {

namespace {

constexpr char kMagic[] = "KvWord";

// Reads the stream in chunks: a content stream is thousands of tiny fields. What was read
// ahead is given back when done.
class TRecordReader {
 public:
  explicit TRecordReader(TStream& s) : s_(s) {}
  ~TRecordReader() {
    if (pos_ < buf_.size())
      s_.Seek(-static_cast<int64_t>(buf_.size() - pos_), TSeekOrigin::soCurrent);
  }
  int64_t Remaining() const { return static_cast<int64_t>(buf_.size() - pos_) + s_.Remaining(); }
  const char* Take(size_t n) {
    if (buf_.size() - pos_ < n) Fill(n);
    const char* p = buf_.data() + pos_;
    pos_ += n;
    return p;
  }
  uint8_t Byte() { return static_cast<uint8_t>(*Take(1)); }
  uint16_t UInt16() {
    const auto* p = reinterpret_cast<const uint8_t*>(Take(2));
    return static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  int32_t Int32() {
    const auto* p = reinterpret_cast<const uint8_t*>(Take(4));
    return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                                uint32_t{p[3]} << 24);
  }
  // An Int32 length and the bytes; nothing for a length of 0 or below.
  std::string String() {
    const int32_t n = Int32();
    if (n <= 0) return {};
    if (n > Remaining()) RaiseReadError();
    return std::string(Take(static_cast<size_t>(n)), static_cast<size_t>(n));
  }
  // A count of records of at least min_bytes each that fit in what is left.
  int32_t Count(int64_t min_bytes) {
    const int32_t n = Int32();
    if (n < 0 || n > Remaining() / min_bytes) RaiseReadError();
    return n;
  }

 private:
  void Fill(size_t n) {
    buf_.erase(0, pos_);
    pos_ = 0;
    const int64_t want =
        std::min<int64_t>(std::max<int64_t>(n - buf_.size(), 65536), s_.Remaining());
    if (static_cast<size_t>(want) + buf_.size() < n) RaiseReadError();
    const size_t old = buf_.size();
    buf_.resize(old + static_cast<size_t>(want));
    s_.ReadBuffer(buf_.data() + old, want);
  }

  TStream& s_;
  std::string buf_;
  size_t pos_ = 0;
};

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

// Records are put together in memory and written in one piece.
class TRecordWriter {
 public:
  void Int32(int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    const char b[4] = {static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                       static_cast<char>(u >> 24)};
    out_.append(b, 4);
  }
  void Int16(uint16_t v) {
    const char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
    out_.append(b, 2);
  }
  void Byte(uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void String(const std::string& v) {
    Int32(static_cast<int32_t>(v.size()));
    out_.append(v);
  }
  void Raw(const char* p, size_t n) { out_.append(p, n); }
  const std::string& Bytes() const { return out_; }

 private:
  std::string out_;
};

int32_t ReadDecoIndex(TRecordReader& r, size_t count) {
  const int32_t i = r.Int32();
  if (i < 0 || static_cast<size_t>(i) >= count) RaiseReadError();
  return i;
}

}  // namespace

TContentImage ReadContent(TStream& s) {
  TContentImage c;
  c.version = ReadVersion(s);
  TRecordReader r(s);
  const bool modern = c.version >= 100;
  const int32_t decos = r.Count(modern ? 38 : 27);
  c.decorations.resize(static_cast<size_t>(decos));
  for (TContentDecoration& d : c.decorations) {
    d.refs = r.Int32();
    d.looks.color = r.Int32();
    d.looks.border_color = r.Int32();
    d.looks.size = r.Int32();
    d.looks.style = r.Byte();
    d.looks.no_break = r.Byte() != 0;
    d.looks.border = modern ? r.Int32() : r.Byte();
    d.looks.face = r.String();
    d.looks.ruby = r.String();
    if (modern) {
      d.looks.shadow = r.Int32();
      d.looks.shadow_color = r.Int32();
    }
  }
  const int32_t glyphs = r.Count(1);
  c.glyphs.resize(static_cast<size_t>(glyphs));
  for (TContentGlyph& g : c.glyphs) {
    g.type = r.Byte();
    switch (g.type) {
      case WD_CHAR:
        g.link = r.String();
        g.delay = r.Int32();
        g.code = r.UInt16();
        g.deco = ReadDecoIndex(r, c.decorations.size());
        break;
      case WD_ALIGN:
      case WD_RETURN:
        g.value = r.Byte();
        break;
      case WD_INDENT:
      case WD_UNDENT:
        break;
      case WD_EVENT:
        g.text = r.String();
        break;
      case WD_VAR:
      case WD_HISTCHAR:
        g.text = r.String();
        g.deco = ReadDecoIndex(r, c.decorations.size());
        g.link = r.String();
        g.delay = r.Int32();
        break;
      case WD_IMG:
        g.link = r.String();
        g.delay = r.Int32();
        g.text = r.String();
        g.value = r.Byte();
        g.no_break = r.Byte() != 0;
        g.ruby = r.String();
        break;
      default:
        RaiseReadError();
    }
  }
  return c;
}

void WriteContent(TStream& s, const TContentImage& c) {
  TRecordWriter w;
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
    w.Raw(head, 9);
  }
  const bool modern = c.version >= 100;
  w.Int32(static_cast<int32_t>(c.decorations.size()));
  for (const TContentDecoration& d : c.decorations) {
    w.Int32(d.refs);
    w.Int32(d.looks.color);
    w.Int32(d.looks.border_color);
    w.Int32(d.looks.size);
    w.Byte(d.looks.style);
    w.Byte(d.looks.no_break ? 1 : 0);
    if (modern) {
      w.Int32(d.looks.border);
    } else {
      w.Byte(static_cast<uint8_t>(d.looks.border));
    }
    w.String(d.looks.face);
    w.String(d.looks.ruby);
    if (modern) {
      w.Int32(d.looks.shadow);
      w.Int32(d.looks.shadow_color);
    }
  }
  w.Int32(static_cast<int32_t>(c.glyphs.size()));
  for (const TContentGlyph& g : c.glyphs) {
    w.Byte(g.type);
    switch (g.type) {
      case WD_CHAR:
        w.String(g.link);
        w.Int32(g.delay);
        w.Int16(g.code);
        w.Int32(g.deco);
        break;
      case WD_ALIGN:
      case WD_RETURN:
        w.Byte(g.value);
        break;
      case WD_EVENT:
        w.String(g.text);
        break;
      case WD_VAR:
      case WD_HISTCHAR:
        w.String(g.text);
        w.Int32(g.deco);
        w.String(g.link);
        w.Int32(g.delay);
        break;
      case WD_IMG:
        w.String(g.link);
        w.Int32(g.delay);
        w.String(g.text);
        w.Byte(g.value);
        w.Byte(g.no_break ? 1 : 0);
        w.String(g.ruby);
        break;
      default:
        break;
    }
  }
  s.WriteBuffer(w.Bytes().data(), static_cast<int64_t>(w.Bytes().size()));
}

}  // namespace quen
