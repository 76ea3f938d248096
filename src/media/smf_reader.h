// The Standard MIDI File grammar, walked once over the file's bytes. Every count and length is
// bounded by its chunk: a track ends at its End of Track event, at the end of its chunk, or at the
// first thing that cannot be read (a data byte with no status to run on, a status byte without a
// defined length, a count past the chunk, a variable-length number of more than four bytes); the
// bytes left in the chunk are handed over as its trailing bytes. Chunks other than "MTrk" are
// skipped by their length and do not count as tracks. Every byte of the file reaches the visitor
// exactly once, so the text form made from it gives the file back.
#pragma once

#include <cstdint>
#include <string_view>

namespace quen {

struct TSmfHeader {
  uint32_t length = 6;  // as stored
  uint16_t format = 0;
  uint16_t tracks = 0;     // MTrk chunks announced
  uint16_t division = 0;   // as stored (top bit set: frames per second and ticks per frame)
  std::string_view extra;  // header bytes past the six that are read
};

enum class TSmfKind : uint8_t { kChannel = 0, kSysEx = 1, kMeta = 2 };

struct TSmfEvent {
  uint32_t delta = 0;
  std::string_view delta_bytes;  // the delta as stored (a longer encoding than needed is kept)
  std::string_view raw;          // everything after the delta as stored
  TSmfKind kind = TSmfKind::kChannel;
  uint8_t status = 0;  // the status in effect (also when running status left it out)
  bool running = false;
  uint8_t meta_type = 0;
  // Channel messages: the data bytes. System exclusive and meta events: the data after the count.
  std::string_view data;
};

class ISmfVisitor {
 public:
  virtual ~ISmfVisitor() = default;
  virtual void Header(const TSmfHeader& header) = 0;
  // An "MTrk" chunk begins. stored is its stored length, available the bytes of it the file has.
  virtual void TrackBegin(uint32_t stored, uint32_t available) = 0;
  virtual void Event(const TSmfEvent& event) = 0;
  // The bytes of the chunk after its last event (empty after an End of Track at the chunk's end).
  virtual void TrackEnd(std::string_view trailing) = 0;
  // A chunk of another kind, with the bytes of it the file has.
  virtual void OtherChunk(std::string_view id, uint32_t stored, std::string_view payload) = 0;
  // Bytes after the last chunk read (the announced tracks were all read, or too few bytes were
  // left for a chunk header).
  virtual void Trailer(std::string_view rest) = 0;
};

// False when the file does not begin with "MThd" and a whole header; nothing is visited then.
bool WalkSmf(std::string_view file, ISmfVisitor& visitor);

// The shortest encoding of a variable-length quantity (value below 2^28).
void AppendVarLen(std::string& out, uint32_t value);

}  // namespace quen
