// Small MIDI files for tests, written from hex: each track is its events' bytes (delta and
// event) in hex, spaces allowed; the End of Track is not added.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quen::test {

inline std::string FromHex(const std::string& hex) {
  std::string out;
  int hi = -1;
  for (char c : hex) {
    int v = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'A' && c <= 'F' ? c - 'A' + 10
            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                   : -1;
    if (v < 0) continue;
    if (hi < 0) {
      hi = v;
    } else {
      out += static_cast<char>(hi << 4 | v);
      hi = -1;
    }
  }
  return out;
}

inline void PutBe(std::string& out, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string Smf(uint16_t division, const std::vector<std::string>& tracks,
                       uint16_t format = 1) {
  std::string f = "MThd";
  PutBe(f, 6, 4);
  PutBe(f, format, 2);
  PutBe(f, static_cast<uint32_t>(tracks.size()), 2);
  PutBe(f, division, 2);
  for (const auto& t : tracks) {
    const std::string body = FromHex(t);
    f += "MTrk";
    PutBe(f, static_cast<uint32_t>(body.size()), 4);
    f += body;
  }
  return f;
}

}  // namespace quen::test
