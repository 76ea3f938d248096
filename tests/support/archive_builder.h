// Builds archives of every version byte by byte, independently of the player's own writer, so
// the reader is checked against the format rather than against itself.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quen::testing {

struct RawEntry {
  std::string name;
  std::string content;
  bool stored = true;  // ignored below version 101: those are always compressed
  int32_t time = 0;
  uint8_t mode = 1;
};

inline void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}
inline void Put64(std::string& s, uint64_t v) {
  for (int i = 0; i < 8; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}

inline std::string Deflate(const std::string& d) {
  uLongf n = compressBound(static_cast<uLong>(d.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(d.data()),
            static_cast<uLong>(d.size()), 6);
  out.resize(n);
  return out;
}

inline uint32_t Crc(const std::string& d) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(d.data()), static_cast<uInt>(d.size())));
}

// The archive's directory and data as they would stand at base position `base` of a carrier
// (offsets are written relative to it).
inline std::string BuildArchive(int version, const std::vector<RawEntry>& entries) {
  std::string dir;
  if (version >= 100) {
    dir += "vf";
    Put32(dir, static_cast<uint32_t>(version));
  }
  Put32(dir, static_cast<uint32_t>(entries.size()));
  uint32_t key = 0;
  auto next = [&key] { return key = key * 5u + 1583926047u; };
  for (const auto& e : entries) {
    Put32(dir, static_cast<uint32_t>(e.name.size()));
    for (char c : e.name)
      dir.push_back(version > 99 ? static_cast<char>(c ^ static_cast<char>(next() & 0xFF)) : c);
  }
  std::vector<std::string> data;
  for (const auto& e : entries)
    data.push_back(version > 100 && e.stored ? e.content : Deflate(e.content));
  size_t n = entries.size();
  size_t table =
      (n + 1) * (version > 100 ? 8 : 4) + (version > 100 ? n * 9 : 0) + (version >= 102 ? n : 0);
  uint64_t pos = dir.size() + table;
  key = 0;
  std::vector<uint64_t> offsets;
  for (const auto& d : data) {
    offsets.push_back(pos);
    pos += d.size();
  }
  offsets.push_back(pos);
  for (uint64_t off : offsets) {
    uint32_t k = version >= 100 ? next() : 0;
    if (version > 100)
      Put64(dir, off ^ static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(k))));
    else
      Put32(dir, static_cast<uint32_t>(off) ^ k);
  }
  if (version > 100) {
    for (const auto& e : entries) dir.push_back(e.stored ? 1 : 0);
    for (const auto& e : entries) Put32(dir, static_cast<uint32_t>(e.time));
    for (size_t i = 0; i < n; ++i)
      Put32(dir, Crc(version >= 102 && entries[i].mode == 1 ? entries[i].content : data[i]));
    if (version >= 102)
      for (const auto& e : entries) dir.push_back(static_cast<char>(e.mode));
  }
  for (const auto& d : data) dir += d;
  return dir;
}

}  // namespace quen::testing
