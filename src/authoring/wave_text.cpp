#include "authoring/wave_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <vector>

namespace quen {

namespace {

void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& s, uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

bool Hex(std::istringstream& in, std::string& out) {
  std::string word;
  while (in >> word) {
    if (word.size() % 2 != 0) return false;
    for (size_t i = 0; i < word.size(); i += 2) {
      char* end = nullptr;
      const std::string pair = word.substr(i, 2);
      const long v = std::strtol(pair.c_str(), &end, 16);
      if (*end != '\0') return false;
      out.push_back(static_cast<char>(v));
    }
  }
  return true;
}

std::string ToHex(const std::string& bytes) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (unsigned char c : bytes) {
    s.push_back(d[c >> 4]);
    s.push_back(d[c & 15]);
  }
  return s;
}

}  // namespace

bool AssembleWaveText(const std::string& text, std::string& wav, std::string& error) {
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  int channels = 0, rate = 0, bits = 0, block_align = -1;
  std::string fmt;  // the fmt chunk's body
  std::string before, after, data;
  bool sound = false;
  long long data_size = -1, riff_size = -1;
  auto fail = [&](const std::string& why) {
    error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  auto put_sample = [&](int32_t s16) {
    if (bits == 8) {
      data.push_back(static_cast<char>(std::clamp(128 + (s16 >> 8), 0, 255)));
    } else {
      Put16(data, static_cast<uint16_t>(static_cast<int16_t>(std::clamp(s16, -32768, 32767))));
    }
  };
  auto frames_of = [&](long long ms) { return ms * rate / 1000; };
  while (std::getline(lines, line)) {
    ++number;
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream in(line);
    std::string word;
    if (!(in >> word)) continue;
    const bool needs_format = word == "samples" || word == "tone" || word == "square" ||
                              word == "noise" || word == "silence";
    if (needs_format && (channels < 1 || rate < 1 || (bits != 8 && bits != 16)))
      return fail("sound before a format of 8 or 16 bits");
    if (needs_format) sound = true;
    if (word == "format") {
      if (!(in >> channels >> rate >> bits) || channels < 1 || channels > 8 || rate < 1)
        return fail("format CHANNELS RATE BITS");
    } else if (word == "blockalign") {
      if (!(in >> block_align) || block_align < 0) return fail("blockalign N");
    } else if (word == "fmtraw") {
      if (!Hex(in, fmt)) return fail("fmtraw HEX...");
    } else if (word == "chunk") {
      std::string id, body;
      if (!(in >> id) || id.size() != 4 || !Hex(in, body)) return fail("chunk ID HEX...");
      std::string& into = sound ? after : before;
      into += id;
      Put32(into, static_cast<uint32_t>(body.size()));
      into += body;
      if (body.size() & 1) into.push_back('\0');
    } else if (word == "datasize") {
      if (!(in >> data_size) || data_size < 0) return fail("datasize N");
    } else if (word == "riffsize") {
      if (!(in >> riff_size) || riff_size < 0) return fail("riffsize N");
    } else if (word == "samples") {
      long long v;
      while (in >> v) {
        if (bits == 8 && (v < 0 || v > 255)) return fail("8-bit samples are 0..255");
        if (bits == 16 && (v < -32768 || v > 32767))
          return fail("16-bit samples are -32768..32767");
        if (bits == 8) {
          data.push_back(static_cast<char>(v));
        } else {
          Put16(data, static_cast<uint16_t>(static_cast<int16_t>(v)));
        }
      }
      if (!in.eof()) return fail("samples V...");
    } else if (word == "tone" || word == "square") {
      double hz;
      long long ms;
      int amp;
      if (!(in >> hz >> ms >> amp) || hz <= 0 || ms < 0 || ms > 600000)
        return fail(word + " HZ MS AMPLITUDE");
      for (long long i = 0; i < frames_of(ms); ++i) {
        const double phase = std::fmod(hz * static_cast<double>(i) / rate, 1.0);
        const int32_t s = word == "tone"
                              ? static_cast<int32_t>(std::lround(amp * std::sin(2 * M_PI * phase)))
                              : (phase < 0.5 ? amp : -amp);
        for (int c = 0; c < channels; ++c) put_sample(s);
      }
    } else if (word == "noise") {
      long long ms;
      int amp;
      uint32_t seed;
      if (!(in >> ms >> amp >> seed) || ms < 0 || ms > 600000 || amp < 0)
        return fail("noise MS AMPLITUDE SEED");
      uint32_t x = seed ? seed : 1;
      for (long long i = 0; i < frames_of(ms) * channels; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        put_sample(static_cast<int32_t>(x % (2u * amp + 1)) - amp);
      }
    } else if (word == "silence") {
      long long ms;
      if (!(in >> ms) || ms < 0 || ms > 600000) return fail("silence MS");
      for (long long i = 0; i < frames_of(ms) * channels; ++i) put_sample(0);
    } else {
      return fail("unknown statement " + word);
    }
  }
  if (fmt.empty()) {
    if (channels < 1) return fail("no format");
    const int align = block_align >= 0 ? block_align : channels * bits / 8;
    Put16(fmt, 1);
    Put16(fmt, static_cast<uint32_t>(channels));
    Put32(fmt, static_cast<uint32_t>(rate));
    Put32(fmt, static_cast<uint32_t>(rate * align));
    Put16(fmt, static_cast<uint32_t>(align));
    Put16(fmt, static_cast<uint32_t>(bits));
  }
  std::string body = "WAVE";
  body += "fmt ";
  Put32(body, static_cast<uint32_t>(fmt.size()));
  body += fmt;
  if (fmt.size() & 1) body.push_back('\0');
  body += before;
  body += "data";
  Put32(body,
        static_cast<uint32_t>(data_size >= 0 ? data_size : static_cast<long long>(data.size())));
  body += data;
  if (data.size() & 1) body.push_back('\0');
  body += after;
  wav = "RIFF";
  Put32(wav,
        static_cast<uint32_t>(riff_size >= 0 ? riff_size : static_cast<long long>(body.size())));
  wav += body;
  return true;
}

bool DumpWaveText(const std::string& wav, std::string& text, std::string& error) {
  auto u32 = [&](size_t at) {
    return uint32_t{static_cast<uint8_t>(wav[at])} |
           (uint32_t{static_cast<uint8_t>(wav[at + 1])} << 8) |
           (uint32_t{static_cast<uint8_t>(wav[at + 2])} << 16) |
           (uint32_t{static_cast<uint8_t>(wav[at + 3])} << 24);
  };
  auto u16 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(wav[at]) |
                                 (static_cast<uint8_t>(wav[at + 1]) << 8));
  };
  if (wav.size() < 12 || wav.compare(0, 4, "RIFF") != 0 || wav.compare(8, 4, "WAVE") != 0) {
    error = "not a RIFF wave";
    return false;
  }
  std::ostringstream out;
  size_t pos = 12;
  uint32_t channels = 0, bits = 0;
  bool data_seen = false;
  while (pos + 8 <= wav.size()) {
    const std::string id = wav.substr(pos, 4);
    const uint32_t size = u32(pos + 4);
    const size_t body = pos + 8;
    if (size > wav.size() - body) {
      error = "chunk " + id + " runs past the end";
      return false;
    }
    if (id == "fmt ") {
      if (size != 16 || u16(body) != 1) {
        error = "only plain PCM format records have a text form";
        return false;
      }
      channels = u16(body + 2);
      bits = u16(body + 14);
      if ((bits != 8 && bits != 16) || channels < 1 || u16(body + 12) != channels * bits / 8) {
        error = "only 8- and 16-bit PCM has a text form";
        return false;
      }
      out << "format " << channels << ' ' << u32(body + 4) << ' ' << bits << '\n';
    } else if (id == "data") {
      if (channels == 0) {
        error = "data before the format";
        return false;
      }
      const size_t step = bits / 8;
      const size_t per_line = 16;
      size_t n = 0;
      for (size_t at = body; at + step <= body + size; at += step, ++n) {
        out << (n % per_line == 0 ? "samples" : "") << ' ';
        if (bits == 8) {
          out << static_cast<int>(static_cast<uint8_t>(wav[at]));
        } else {
          out << static_cast<int16_t>(u16(at));
        }
        if (n % per_line == per_line - 1) out << '\n';
      }
      if (n % per_line != 0) out << '\n';
      data_seen = true;
    } else {
      if (!data_seen && channels == 0) {
        error = "chunks before the format have no text form";
        return false;
      }
      out << "chunk " << id << ' ' << ToHex(wav.substr(body, size)) << '\n';
    }
    pos = body + size + (size & 1);
  }
  text = out.str();
  return true;
}

}  // namespace quen
