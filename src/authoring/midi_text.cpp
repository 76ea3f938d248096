#include "authoring/midi_text.h"

#include <cstdlib>
#include <optional>
#include <vector>

#include "base/error.h"
#include "media/midi_v.h"
#include "media/smf_reader.h"

namespace quen {

namespace {

std::string Hex(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

class TDumpVisitor : public ISmfVisitor {
 public:
  std::string out;

  void Header(const TSmfHeader& h) override {
    out += "format " + std::to_string(h.format) + "\n";
    out += "tracks " + std::to_string(h.tracks) + "\n";
    out += "division " + std::to_string(h.division) + "\n";
    if (h.length != 6) out += "header-length " + std::to_string(h.length) + "\n";
    if (!h.extra.empty()) out += "header-extra " + Hex(h.extra) + "\n";
  }
  void TrackBegin(uint32_t stored, uint32_t available) override {
    out += "track";
    if (stored != available) out += " length " + std::to_string(stored);
    out += "\n";
  }
  void Event(const TSmfEvent& e) override {
    std::string minimal;
    AppendVarLen(minimal, e.delta);
    out += "  ";
    out += minimal == e.delta_bytes ? std::to_string(e.delta) : "raw:" + Hex(e.delta_bytes);
    out += ' ';
    out += Hex(e.raw);
    out += '\n';
  }
  void TrackEnd(std::string_view trailing) override {
    if (!trailing.empty()) out += "  trailing " + Hex(trailing) + "\n";
    out += "end\n";
  }
  void OtherChunk(std::string_view id, uint32_t stored, std::string_view payload) override {
    out += "chunk " + Hex(id);
    if (stored != payload.size()) out += " length " + std::to_string(stored);
    if (!payload.empty()) out += " " + Hex(payload);
    out += "\n";
  }
  void Trailer(std::string_view rest) override {
    if (!rest.empty()) out += "trailer " + Hex(rest) + "\n";
  }
};

void Be32(std::string& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out += static_cast<char>((v >> s) & 0xFF);
}

void Be16(std::string& out, uint32_t v) {
  out += static_cast<char>((v >> 8) & 0xFF);
  out += static_cast<char>(v & 0xFF);
}

class TAssembler {
 public:
  std::string Run(std::string_view text) {
    size_t pos = 0;
    while (pos <= text.size()) {
      size_t nl = text.find('\n', pos);
      if (nl == std::string_view::npos) nl = text.size();
      ++line_no_;
      Line(text.substr(pos, nl - pos));
      pos = nl + 1;
    }
    if (in_track_) Fail("the last track has no end");
    if (!header_done_) FinishHeader();
    return out_;
  }

 private:
  [[noreturn]] void Fail(const std::string& why) {
    RaiseError("line " + std::to_string(line_no_) + ": " + why);
  }

  static std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> w;
    size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
      const size_t b = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
      if (i > b) w.push_back(line.substr(b, i - b));
    }
    return w;
  }

  uint64_t Number(std::string_view w, uint64_t max) {
    if (w.empty() || w.size() > 10) Fail("a number is expected, not \"" + std::string(w) + "\"");
    uint64_t v = 0;
    for (char c : w) {
      if (c < '0' || c > '9') Fail("a number is expected, not \"" + std::string(w) + "\"");
      v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    if (v > max) Fail(std::string(w) + " is larger than " + std::to_string(max));
    return v;
  }

  std::string Bytes(std::string_view w) {
    if (w.size() % 2) Fail("hex bytes come in pairs of digits");
    std::string out;
    out.reserve(w.size() / 2);
    auto digit = [&](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      Fail("\"" + std::string(w) + "\" is not hex");
    };
    for (size_t i = 0; i < w.size(); i += 2)
      out += static_cast<char>(digit(w[i]) << 4 | digit(w[i + 1]));
    return out;
  }

  void FinishHeader() {
    if (!have_format_ || !have_tracks_ || !have_division_)
      Fail("format, tracks and division come before the first chunk");
    header_done_ = true;
    out_ = "MThd";
    Be32(out_, header_length_);
    Be16(out_, format_);
    Be16(out_, tracks_);
    Be16(out_, division_);
    out_ += header_extra_;
  }

  void EndTrack() {
    out_ += "MTrk";
    Be32(out_, track_length_ ? *track_length_ : static_cast<uint32_t>(track_.size()));
    out_ += track_;
    in_track_ = false;
  }

  void Line(std::string_view line) {
    const auto w = Words(line);
    if (w.empty() || w[0][0] == '#') return;
    if (trailer_done_) Fail("nothing may follow the trailer");
    const std::string_view key = w[0];
    if (in_track_) {
      if (key == "end") {
        if (w.size() != 1) Fail("end stands alone");
        EndTrack();
        return;
      }
      if (trailing_done_) Fail("trailing bytes are the last of a track");
      if (key == "trailing") {
        if (w.size() != 2) Fail("trailing HEX");
        track_ += Bytes(w[1]);
        trailing_done_ = true;
        return;
      }
      if (w.size() != 2) Fail("an event is DELTA HEX");
      if (key.substr(0, 4) == "raw:") {
        track_ += Bytes(key.substr(4));
      } else {
        AppendVarLen(track_, static_cast<uint32_t>(Number(key, 0x0FFFFFFF)));
      }
      track_ += Bytes(w[1]);
      return;
    }
    if (key == "format" || key == "tracks" || key == "division" || key == "header-length" ||
        key == "header-extra") {
      if (header_done_) Fail(std::string(key) + " belongs before the first chunk");
      if (w.size() != 2) Fail(std::string(key) + " takes one value");
      if (key == "header-extra") {
        header_extra_ = Bytes(w[1]);
      } else if (key == "header-length") {
        header_length_ = static_cast<uint32_t>(Number(w[1], UINT32_MAX));
      } else {
        const auto v = static_cast<uint16_t>(Number(w[1], 0xFFFF));
        if (key == "format") format_ = v, have_format_ = true;
        if (key == "tracks") tracks_ = v, have_tracks_ = true;
        if (key == "division") division_ = v, have_division_ = true;
      }
      return;
    }
    if (!header_done_) FinishHeader();
    if (key == "track") {
      track_.clear();
      track_length_.reset();
      trailing_done_ = false;
      if (w.size() == 3 && w[1] == "length") {
        track_length_ = static_cast<uint32_t>(Number(w[2], UINT32_MAX));
      } else if (w.size() != 1) {
        Fail("track [length N]");
      }
      in_track_ = true;
    } else if (key == "chunk") {
      if (w.size() < 2 || w[1].size() != 8) Fail("chunk ID takes four bytes of hex");
      std::string id = Bytes(w[1]);
      size_t i = 2;
      std::optional<uint32_t> length;
      if (i < w.size() && w[i] == "length") {
        if (i + 1 >= w.size()) Fail("length N");
        length = static_cast<uint32_t>(Number(w[i + 1], UINT32_MAX));
        i += 2;
      }
      std::string payload = i < w.size() ? Bytes(w[i++]) : std::string();
      if (i != w.size()) Fail("chunk ID [length N] [HEX]");
      out_ += id;
      Be32(out_, length ? *length : static_cast<uint32_t>(payload.size()));
      out_ += payload;
    } else if (key == "trailer") {
      if (w.size() != 2) Fail("trailer HEX");
      out_ += Bytes(w[1]);
      trailer_done_ = true;
    } else {
      Fail("unknown line \"" + std::string(key) + "\"");
    }
  }

  std::string out_;
  int line_no_ = 0;
  bool header_done_ = false, have_format_ = false, have_tracks_ = false, have_division_ = false;
  uint16_t format_ = 0, tracks_ = 0, division_ = 0;
  uint32_t header_length_ = 6;
  std::string header_extra_;
  bool in_track_ = false, trailing_done_ = false, trailer_done_ = false;
  std::string track_;
  std::optional<uint32_t> track_length_;
};

}  // namespace

std::string DumpMidiText(std::string_view file) {
  // Only what the player would play is dumped; its refusal says why.
  TMidiV check;
  check.LoadFromBytes(file);
  TDumpVisitor dump;
  WalkSmf(file, dump);
  return dump.out;
}

std::string AssembleMidiText(std::string_view text) {
  return TAssembler().Run(text);
}

}  // namespace quen
