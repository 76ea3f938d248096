// A Standard MIDI File read into one list of events in playing order, each with its time in
// milliseconds worked out once at load.
//
// Times: tempo 500000 us per quarter note until a tempo event; for each event in list order
// t += round(f * (tick - previous tick)) with f = tempo / division / 1000 rounded to a
// single-precision float, the product taken exactly and rounded half to even. A division with
// its top bit set counts frames per second and ticks per frame (f = 1000 / (fps * ticks)).
// A file is refused (the list stays empty) when it does not begin with a header, when its
// division is 0, or when an absolute tick or a time does not fit 31 bits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quen {

class TStream;

struct TMidiMsgEvent {
  int32_t tick = 0;     // absolute, from the start of its track
  int32_t delta = 0;    // since the previous event of its track
  int32_t time = 0;     // ms from the start of the piece
  int32_t order = 0;    // reading order over the whole file
  uint8_t kind = 0;     // 0 channel message, 1 system exclusive, 2 meta event
  uint32_t offset = 0;  // of the bytes in the list's byte pool
  uint32_t size = 0;
};

class TMidiV {
 public:
  static constexpr int64_t kMaxFileBytes = int64_t{64} << 20;
  static constexpr int32_t kDefaultTempo = 500000;

  TMidiV() = default;
  virtual ~TMidiV() = default;
  TMidiV(const TMidiV&) = delete;
  TMidiV& operator=(const TMidiV&) = delete;

  // Reads the whole stream. A refused file raises "サウンドデータが不正です (why)" and leaves the
  // list empty.
  void LoadFromStream(TStream& stream);
  void LoadFromBytes(std::string_view file);

  const std::vector<TMidiMsgEvent>& Events() const { return events_; }
  // Channel message: status and data; system exclusive: status (F0 or F7) and the stored data;
  // meta event: FF, the type, the data.
  std::string_view Bytes(const TMidiMsgEvent& e) const {
    return std::string_view(pool_).substr(e.offset, e.size);
  }
  int32_t Division() const { return division_; }
  int32_t Format() const { return format_; }
  // The time of the last event; 0 for an empty list (also after a refused file).
  int32_t Length() const { return events_.empty() ? 0 : events_.back().time; }

  // The length of a file without keeping it; 0 when it is refused.
  static int32_t MeasureLength(std::string_view file);

  static bool IsNoteOn(std::string_view b) {
    return b.size() == 3 && (b[0] & 0xF0) == 0x90 && (b[2] & 0x7F) != 0;
  }
  static bool IsNoteOff(std::string_view b) {
    return b.size() == 3 &&
           ((b[0] & 0xF0) == 0x80 || ((b[0] & 0xF0) == 0x90 && (b[2] & 0x7F) == 0));
  }
  static bool IsGsReset(std::string_view b);
  // Microseconds per quarter note of a tempo event, else -1.
  static int32_t TempoOf(std::string_view b);

 protected:
  void Clear();

 private:
  std::vector<TMidiMsgEvent> events_;
  std::string pool_;
  int32_t division_ = 0;
  int32_t format_ = 0;
};

}  // namespace quen
