// The tests' own writer of layered pictures, independent of the library's: every version
// (0, 100-106), raw, zlib and JPEG chunks, block tables with chosen entries, scrambled rows
// and tables, header sizes, and hand-made damage.
#pragma once

#include <turbojpeg.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/types.h"
#include "files/kv_random.h"

namespace quen::brixtest {

inline void Put32(std::string& s, int32_t v) {
  for (int i = 0; i < 4; ++i)
    s.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
}
inline void PutStr(std::string& s, const std::string& v) {
  Put32(s, static_cast<int32_t>(v.size()));
  s += v;
}

inline int32_t StorageBits(int32_t bits) {
  return bits == 15 ? 16 : bits;
}
inline int32_t RowLen(int32_t w, int32_t bits) {
  return ((w * StorageBits(bits) + 31) / 32) * 4;
}

// A raw picture: top-down rows of RowLen bytes.
struct TRaw {
  int32_t w = 0, h = 0, bits = 0;
  std::string rows;
  TRaw() = default;
  TRaw(int32_t w_, int32_t h_, int32_t bits_)
      : w(w_), h(h_), bits(bits_), rows(static_cast<size_t>(RowLen(w_, bits_) * h_), '\0') {}
  uint8_t* Row(int32_t y) { return reinterpret_cast<uint8_t*>(rows.data()) + RowLen(w, bits) * y; }
  void Set(int32_t x, int32_t y, uint32_t v) {
    uint8_t* r = Row(y);
    const int32_t b = StorageBits(bits);
    if (b == 1) {
      r[x / 8] = static_cast<uint8_t>((r[x / 8] & ~(0x80 >> (x % 8))) | ((v & 1) << (7 - x % 8)));
    } else if (b == 4) {
      r[x / 2] = x % 2 ? static_cast<uint8_t>((r[x / 2] & 0xF0) | (v & 15))
                       : static_cast<uint8_t>((r[x / 2] & 0x0F) | ((v & 15) << 4));
    } else {
      for (int i = 0; i < b / 8; ++i) r[x * (b / 8) + i] = static_cast<uint8_t>(v >> (8 * i));
    }
  }
  void Fill(uint32_t v) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) Set(x, y, v);
  }
};

struct TLayerSpec {
  bool visible = true;
  int32_t key = -1;
  int32_t alpha = 255;
  bool maskValid = false;
  std::string name = "L";
  TRaw picture;
  std::optional<TRaw> mask;  // 8 bits
  // Block entries for the picture / mask chunk (e0, e1); e0 = -1 stores the block itself.
  std::vector<std::pair<int32_t, int32_t>> entries;
  std::vector<std::pair<int32_t, int32_t>> maskEntries;
  std::optional<std::string> pictureChunk;  // the chunk bytes exactly as given
  std::optional<std::string> maskChunk;
};

struct TFrameSpec {
  std::string name = "F";
  int32_t key = -1;
  int32_t duration = 100;
  int32_t w = 0, h = 0, bits = 32;
  std::vector<uint32_t> table;  // 0x00RRGGBB entries, 2^bits of them at <= 8 bits
  std::vector<TLayerSpec> layers;
  std::vector<TRect> regions, second;
  std::optional<int32_t> layerCountOverride;
};

struct TFileSpec {
  int32_t version = 106;
  int32_t compression = 1;
  bool scrambled = false;
  int32_t key = 0;  // used to scramble rows and tables when scrambled
  int32_t blockW = 0, blockH = 0;
  TColor background = 0;
  bool opaqueBottom = false;
  int32_t headerSize = 40;
  std::optional<int32_t> frameCount;
  std::vector<TFrameSpec> frames;
};

inline std::string Zip(const std::string& raw) {
  uLongf n = compressBound(static_cast<uLong>(raw.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), 6);
  out.resize(n);
  return out;
}

// A 24-bit raw picture (B, G, R bytes) as a JPEG file.
inline std::string Jpeg(TRaw rgb, int quality = 95, int pixelFormat = TJPF_BGR) {
  tjhandle tj = tjInitCompress();
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  tjCompress2(tj, reinterpret_cast<unsigned char*>(rgb.rows.data()), rgb.w, RowLen(rgb.w, rgb.bits),
              rgb.h, pixelFormat, &buf, &size, pixelFormat == TJPF_GRAY ? TJSAMP_GRAY : TJSAMP_444,
              quality, 0);
  std::string out(reinterpret_cast<char*>(buf), size);
  tjFree(buf);
  tjDestroy(tj);
  return out;
}

class TWriter {
 public:
  explicit TWriter(const TFileSpec& f) : f_(f) {}

  std::string Build() {
    std::string s;
    const int32_t count = f_.frameCount.value_or(static_cast<int32_t>(f_.frames.size()));
    if (f_.version != 0) s += "Brix" + std::to_string(f_.version);
    if (f_.version < 103) {
      Put32(s, count);
      s.push_back(0);
      if (f_.version >= 102) Put32(s, f_.background);
    } else {
      Put32(s, f_.headerSize);
      std::string rec(40, '\0');
      auto put = [&](int at, int32_t v) {
        for (int i = 0; i < 4; ++i)
          rec[at + i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
      };
      const TFrameSpec* first = f_.frames.empty() ? nullptr : &f_.frames[0];
      put(0, f_.version);
      put(4, first ? first->w : 0);
      put(8, first ? first->h : 0);
      put(12, first ? first->bits : 0);
      put(16, count);
      rec[20] = 1;
      rec[21] = f_.scrambled ? 1 : 0;
      rec[22] = static_cast<char>(f_.compression);
      put(24, f_.background);
      put(28, f_.blockW);
      put(32, f_.blockH);
      rec[36] = f_.opaqueBottom ? 1 : 0;
      rec[37] = 70;
      rec.resize(static_cast<size_t>(f_.headerSize), '\0');
      s += rec;
    }
    for (const TFrameSpec& fr : f_.frames) Frame(s, fr);
    return s;
  }

 private:
  void Frame(std::string& s, const TFrameSpec& fr) {
    PutStr(s, fr.name);
    Put32(s, fr.key);
    Put32(s, fr.duration);
    s.push_back(0);
    Put32(s, 0);
    Put32(s, fr.layerCountOverride.value_or(static_cast<int32_t>(fr.layers.size())));
    Put32(s, fr.w);
    Put32(s, fr.h);
    Put32(s, fr.bits);
    if (fr.bits == 1 || fr.bits == 4 || fr.bits == 8) {
      for (int32_t i = 0; i < (1 << fr.bits); ++i) {
        const uint32_t c = i < static_cast<int32_t>(fr.table.size()) ? fr.table[i] : 0;
        s.push_back(static_cast<char>(c & 0xFF));
        s.push_back(static_cast<char>((c >> 8) & 0xFF));
        s.push_back(static_cast<char>((c >> 16) & 0xFF));
        s.push_back(0);
      }
    }
    for (const TLayerSpec& l : fr.layers) {
      Put32(s, 0);
      Put32(s, 0);
      s.push_back(l.visible ? 1 : 0);
      Put32(s, l.key);
      Put32(s, l.alpha);
      if (f_.version >= 101) s.push_back(l.maskValid ? 1 : 0);
      PutStr(s, l.name);
      const std::string pc = l.pictureChunk ? *l.pictureChunk : Chunk(l.picture, false, l.entries);
      Put32(s, static_cast<int32_t>(pc.size()));
      s += pc;
      if (f_.version >= 100) {
        if (l.maskChunk) {
          Put32(s, static_cast<int32_t>(l.maskChunk->size()));
          s += *l.maskChunk;
        } else if (l.mask) {
          const std::string mc = Chunk(*l.mask, true, l.maskEntries);
          Put32(s, static_cast<int32_t>(mc.size()));
          s += mc;
        } else {
          Put32(s, 0);
        }
      }
    }
    if (f_.version >= 104) {
      for (const auto* list : {&fr.regions, &fr.second}) {
        Put32(s, static_cast<int32_t>(list->size()));
        for (const TRect& r : *list) {
          Put32(s, r.Left);
          Put32(s, r.Top);
          Put32(s, r.Right);
          Put32(s, r.Bottom);
        }
      }
    }
  }

  std::string Chunk(TRaw raw, bool mask, const std::vector<std::pair<int32_t, int32_t>>& entries) {
    if (f_.compression == 2 && !mask) {
      // The picture as 24 bits (B, G, R) for the JPEG encoder; tests use 24-bit frames here.
      return Jpeg(raw);
    }
    std::string data;
    const int32_t rowLen = RowLen(raw.w, raw.bits);
    const bool blocks = f_.version >= 103 && f_.blockW > 0 && f_.blockH > 0 && f_.compression != 2;
    if (blocks) {
      const int32_t across = (raw.w + f_.blockW - 1) / f_.blockW;
      const int32_t down = (raw.h + f_.blockH - 1) / f_.blockH;
      const int32_t n = across * down;
      std::vector<std::pair<int32_t, int32_t>> table = entries;
      table.resize(static_cast<size_t>(n), {-1, 0});
      std::vector<std::pair<int32_t, int32_t>> stored(table.size());
      if (f_.scrambled) {
        // The i-th stored entry becomes entry NextIndex.
        TKvRandom r(f_.key);
        r.Reset(n);
        for (int32_t i = 0; i < n; ++i) stored[i] = table[r.NextIndex()];
      } else {
        stored = table;
      }
      for (auto& e : stored) {
        Put32(data, e.first);
        Put32(data, e.second);
      }
      const int32_t bits = StorageBits(raw.bits);
      for (int32_t b = 0; b < n; ++b) {
        if (table[b].first != -1) continue;
        const int32_t x0 = (b % across) * f_.blockW, y0 = (b / across) * f_.blockH;
        const int32_t bw = std::min(f_.blockW, raw.w - x0), bh = std::min(f_.blockH, raw.h - y0);
        const int32_t len = (bw * bits + 7) / 8;
        for (int32_t y = 0; y < bh; ++y) {
          std::string row(static_cast<size_t>(len), '\0');
          if (bits >= 8) {
            std::memcpy(row.data(), raw.Row(y0 + y) + x0 * (bits / 8), static_cast<size_t>(len));
          } else {
            TRaw one(bw, 1, bits);
            for (int32_t x = 0; x < bw; ++x) {
              const uint8_t* r = raw.Row(y0 + y);
              const int32_t sx = x0 + x;
              const uint32_t v = bits == 1 ? (r[sx / 8] >> (7 - sx % 8)) & 1
                                           : (sx % 2 ? r[sx / 2] & 15 : r[sx / 2] >> 4);
              one.Set(x, 0, v);
            }
            std::memcpy(row.data(), one.rows.data(), static_cast<size_t>(len));
          }
          data += row;
        }
      }
    } else if (f_.version >= 103 && f_.scrambled && f_.compression != 2) {
      std::vector<std::string> rows(static_cast<size_t>(raw.h));
      TKvRandom r(f_.key);
      r.Reset(raw.h);
      // Stored row i is picture row NextIndex.
      for (int32_t i = 0; i < raw.h; ++i) {
        const int32_t y = r.NextIndex();
        data.append(reinterpret_cast<const char*>(raw.Row(y)), static_cast<size_t>(rowLen));
      }
    } else {
      data = raw.rows;
    }
    const bool zipped = f_.compression == 0 || (mask && f_.compression == 2);
    return zipped ? Zip(data) : data;
  }

  const TFileSpec& f_;
};

inline std::string Write(const TFileSpec& f) {
  return TWriter(f).Build();
}

}  // namespace quen::brixtest
