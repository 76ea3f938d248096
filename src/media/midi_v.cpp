#include "media/midi_v.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/error.h"
#include "base/stream.h"
#include "media/midi_messages.h"
#include "media/smf_reader.h"

namespace quen {

namespace {

[[noreturn]] void Refuse(const char* why) {
  RaiseErrorFmt(msg::kMidiDataBad, why);
}

// Collects the events of every track, each track's run in file order.
class TLoadVisitor : public ISmfVisitor {
 public:
  TLoadVisitor(std::vector<TMidiMsgEvent>& events, std::string& pool)
      : events_(events), pool_(pool) {}

  // Events take three or four bytes of a file as a rule; reserving for that once saves the
  // copies of a growing list without trusting a hostile file's size too far.
  explicit TLoadVisitor(std::vector<TMidiMsgEvent>& events, std::string& pool, size_t file_size)
      : TLoadVisitor(events, pool) {
    events_.reserve(std::min<size_t>(file_size / 3, size_t{1} << 22));
    pool_.reserve(file_size);
  }

  void Header(const TSmfHeader& h) override { header_ = h; }
  void TrackBegin(uint32_t, uint32_t) override {
    tick_ = 0;
    runs_.push_back(events_.size());
  }
  void Event(const TSmfEvent& e) override {
    tick_ += e.delta;
    if (tick_ > INT32_MAX) Refuse("tick beyond 2^31");
    TMidiMsgEvent m;
    m.tick = static_cast<int32_t>(tick_);
    m.delta = static_cast<int32_t>(e.delta);
    m.order = static_cast<int32_t>(events_.size());
    m.kind = static_cast<uint8_t>(e.kind);
    m.offset = static_cast<uint32_t>(pool_.size());
    pool_ += static_cast<char>(e.status);
    if (e.kind == TSmfKind::kMeta) pool_ += static_cast<char>(e.meta_type);
    pool_.append(e.data);
    m.size = static_cast<uint32_t>(pool_.size() - m.offset);
    events_.push_back(m);
  }
  void TrackEnd(std::string_view) override {}
  void OtherChunk(std::string_view, uint32_t, std::string_view) override {}
  void Trailer(std::string_view) override {}

  const TSmfHeader& HeaderRead() const { return header_; }
  const std::vector<size_t>& Runs() const { return runs_; }

 private:
  std::vector<TMidiMsgEvent>& events_;
  std::string& pool_;
  TSmfHeader header_;
  int64_t tick_ = 0;
  std::vector<size_t> runs_;
};

// Merges the tracks' runs (each already in tick order) pairwise: stable, so ties keep the
// reading order, and linear per pass.
void MergeRuns(std::vector<TMidiMsgEvent>& events, std::vector<size_t> runs) {
  if (runs.size() <= 1) return;
  runs.push_back(events.size());
  std::vector<TMidiMsgEvent> buffer(events.size());
  auto by_tick = [](const TMidiMsgEvent& a, const TMidiMsgEvent& b) { return a.tick < b.tick; };
  while (runs.size() > 2) {
    std::vector<size_t> next;
    size_t i = 0;
    for (; i + 2 < runs.size(); i += 2) {
      std::merge(events.begin() + static_cast<long>(runs[i]),
                 events.begin() + static_cast<long>(runs[i + 1]),
                 events.begin() + static_cast<long>(runs[i + 1]),
                 events.begin() + static_cast<long>(runs[i + 2]),
                 buffer.begin() + static_cast<long>(runs[i]), by_tick);
      next.push_back(runs[i]);
    }
    if (i + 1 < runs.size()) {
      std::copy(events.begin() + static_cast<long>(runs[i]),
                events.begin() + static_cast<long>(runs[i + 1]),
                buffer.begin() + static_cast<long>(runs[i]));
      next.push_back(runs[i]);
    }
    next.push_back(events.size());
    events.swap(buffer);
    runs.swap(next);
  }
}

// Milliseconds per tick, as the single-precision factor every event's delta is multiplied by.
float TickFactor(uint16_t division, int32_t tempo) {
  if (division & 0x8000) {
    // Frames per second as a negative byte (-29 means 29.97 drop-frame), ticks per frame.
    const int fps_code = -static_cast<int8_t>(division >> 8);
    const long double fps = fps_code == 29 ? 30000.0L / 1001.0L : fps_code;
    const int ticks = division & 0xFF;
    return static_cast<float>(1000.0L / (fps * ticks));
  }
  return static_cast<float>(1.0L / division * tempo / 1000.0L);
}

bool ValidDivision(uint16_t division) {
  if (!(division & 0x8000)) return division != 0;
  const int fps = -static_cast<int8_t>(division >> 8);
  return (fps == 24 || fps == 25 || fps == 29 || fps == 30) && (division & 0xFF) != 0;
}

}  // namespace

bool TMidiV::IsGsReset(std::string_view b) {
  static constexpr char kGsReset[] = "\xF0\x41\x10\x42\x12\x40\x00\x7F\x00\x41\xF7";
  return b == std::string_view(kGsReset, 11);
}

int32_t TMidiV::TempoOf(std::string_view b) {
  if (b.size() < 5 || static_cast<uint8_t>(b[0]) != 0xFF || b[1] != 0x51) return -1;
  auto u = [&](size_t i) { return static_cast<int32_t>(static_cast<uint8_t>(b[i])); };
  return u(2) << 16 | u(3) << 8 | u(4);
}

void TMidiV::Clear() {
  events_.clear();
  pool_.clear();
  division_ = 0;
  format_ = 0;
}

void TMidiV::LoadFromStream(TStream& stream) {
  const int64_t size = stream.Remaining();
  if (size > kMaxFileBytes) {
    Clear();
    Refuse("file larger than 64 MiB");
  }
  const std::string bytes = ReadBytes(stream, size);
  LoadFromBytes(bytes);
}

void TMidiV::LoadFromBytes(std::string_view file) {
  Clear();
  try {
    TLoadVisitor loader(events_, pool_, file.size());
    if (!WalkSmf(file, loader)) Refuse("no MThd header");
    const TSmfHeader& h = loader.HeaderRead();
    if (!ValidDivision(h.division)) Refuse(h.division ? "bad SMPTE division" : "division 0");
    if (pool_.size() > UINT32_MAX) Refuse("too many events");
    MergeRuns(events_, loader.Runs());

    int32_t tempo = kDefaultTempo;
    float f = TickFactor(h.division, tempo);
    int64_t t = 0;
    int32_t previous = 0;
    for (TMidiMsgEvent& e : events_) {
      // f has 24 bits of mantissa: with up to 29 bits of ticks the product is exact in a double,
      // beyond that in 64 bits of mantissa, so the only rounding is the one to whole
      // milliseconds, half to even.
      const int32_t ticks = e.tick - previous;
      if (ticks < (1 << 29)) {
        t += static_cast<int64_t>(std::nearbyint(static_cast<double>(f) * ticks));
      } else {
        t += static_cast<int64_t>(std::nearbyintl(static_cast<long double>(f) * ticks));
      }
      if (t > INT32_MAX) Refuse("time beyond 2^31 ms");
      e.time = static_cast<int32_t>(t);
      previous = e.tick;
      if (e.kind == 2) {
        const int32_t v = TempoOf(Bytes(e));
        if (v >= 0) {
          tempo = v;
          f = TickFactor(h.division, tempo);
        }
      }
    }
    division_ = h.division;
    format_ = h.format;
  } catch (...) {
    Clear();
    throw;
  }
}

int32_t TMidiV::MeasureLength(std::string_view file) {
  TMidiV probe;
  try {
    probe.LoadFromBytes(file);
  } catch (const EQuenError&) {
    return 0;
  }
  return probe.Length();
}

}  // namespace quen
