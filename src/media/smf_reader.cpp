#include "media/smf_reader.h"

#include <algorithm>
#include <string>

namespace quen {

namespace {

uint32_t Be32(const char* p) {
  auto b = [&](int i) { return static_cast<uint32_t>(static_cast<uint8_t>(p[i])); };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

uint16_t Be16(const char* p) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) << 8 | static_cast<uint8_t>(p[1]));
}

// Reads a variable-length quantity of at most four bytes from [pos, end); false when it runs past
// the end or is longer.
bool ReadVarLen(std::string_view s, size_t& pos, size_t end, uint32_t& value) {
  value = 0;
  for (int i = 0; i < 4; ++i) {
    if (pos >= end) return false;
    const auto b = static_cast<uint8_t>(s[pos++]);
    value = value << 7 | (b & 0x7F);
    if (!(b & 0x80)) return true;
  }
  return false;
}

// Walks one track's events over [begin, end) of the file; returns where the events stopped.
size_t WalkTrack(std::string_view s, size_t begin, size_t end, ISmfVisitor& v) {
  size_t pos = begin;
  uint8_t running = 0;  // the last channel status; system exclusive and meta events leave it
  while (pos < end) {
    const size_t start = pos;
    TSmfEvent e;
    if (!ReadVarLen(s, pos, end, e.delta) || pos >= end) return start;
    e.delta_bytes = s.substr(start, pos - start);
    const size_t body = pos;
    auto b = static_cast<uint8_t>(s[pos]);
    if (b < 0x80) {
      if (!running) return start;
      e.status = running;
      e.running = true;
    } else {
      e.status = b;
      ++pos;
    }
    if (e.status < 0xF0) {
      const int kind = e.status >> 4;
      const size_t n = kind == 0xC || kind == 0xD ? 1 : 2;
      if (end - pos < n) return start;
      running = e.status;
      e.kind = TSmfKind::kChannel;
      e.data = s.substr(pos, n);
      pos += n;
    } else if (e.status == 0xF0 || e.status == 0xF7 || e.status == 0xFF) {
      if (e.status == 0xFF) {
        if (pos >= end) return start;
        e.meta_type = static_cast<uint8_t>(s[pos++]);
        e.kind = TSmfKind::kMeta;
      } else {
        e.kind = TSmfKind::kSysEx;
      }
      uint32_t count = 0;
      if (!ReadVarLen(s, pos, end, count) || end - pos < count) return start;
      e.data = s.substr(pos, count);
      pos += count;
    } else {
      // System common and real-time messages carry no length in a file: nothing after them can
      // be trusted.
      return start;
    }
    e.raw = s.substr(body, pos - body);
    v.Event(e);
    if (e.kind == TSmfKind::kMeta && e.meta_type == 0x2F) break;
  }
  return pos;
}

}  // namespace

void AppendVarLen(std::string& out, uint32_t value) {
  char buf[5];
  int n = 0;
  buf[n++] = static_cast<char>(value & 0x7F);
  while ((value >>= 7) != 0 && n < 5) buf[n++] = static_cast<char>(0x80 | (value & 0x7F));
  while (n > 0) out += buf[--n];
}

bool WalkSmf(std::string_view s, ISmfVisitor& v) {
  if (s.size() < 14 || s.substr(0, 4) != "MThd") return false;
  TSmfHeader h;
  h.length = Be32(s.data() + 4);
  h.format = Be16(s.data() + 8);
  h.tracks = Be16(s.data() + 10);
  h.division = Be16(s.data() + 12);
  size_t pos = 14;
  // A header longer than its six bytes has bytes a later version of the format added.
  if (h.length > 6) {
    const size_t extra = std::min<size_t>(h.length - 6, s.size() - pos);
    h.extra = s.substr(pos, extra);
    pos += extra;
  }
  v.Header(h);
  int tracks_left = h.tracks;
  while (tracks_left > 0 && s.size() - pos >= 8) {
    const std::string_view id = s.substr(pos, 4);
    const uint32_t stored = Be32(s.data() + pos + 4);
    pos += 8;
    const size_t available = std::min<size_t>(stored, s.size() - pos);
    if (id == "MTrk") {
      v.TrackBegin(stored, static_cast<uint32_t>(available));
      const size_t stop = WalkTrack(s, pos, pos + available, v);
      v.TrackEnd(s.substr(stop, pos + available - stop));
      --tracks_left;
    } else {
      v.OtherChunk(id, stored, s.substr(pos, available));
    }
    pos += available;
  }
  v.Trailer(s.substr(pos));
  return true;
}

}  // namespace quen
