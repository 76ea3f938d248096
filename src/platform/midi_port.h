// A MIDI output port as the sequencer uses it: open a device, send short and long
// (system-exclusive) messages, reset, close. Notifications of opening, closing and of a long
// message being done with come back through a callback, from any thread, possibly from inside
// the call that caused them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quen::platform {

// One output device as the system describes it.
struct MidiOutCaps {
  uint16_t manufacturer_id = 0;
  uint16_t product_id = 0;
  uint8_t driver_major = 0;
  uint8_t driver_minor = 0;
  std::string name;  // Shift-JIS, at most 31 bytes
  uint16_t technology = 0;
  uint16_t voices = 0;
  uint16_t notes = 0;
  uint16_t channel_mask = 0;
  uint32_t support = 0;
};

enum class MidiNotification { kOpen, kClose, kDone };

class IMidiPort {
 public:
  // `buffer` names the long message a kDone is for; 0 for the others.
  using Notify = std::function<void(MidiNotification what, uint64_t buffer)>;

  virtual ~IMidiPort() = default;
  virtual std::vector<MidiOutCaps> Devices() = 0;
  // device -1 is the mapper, 0.. the devices in order. False when it cannot be opened.
  virtual bool Open(int32_t device, Notify notify) = 0;
  virtual void Close() = 0;
  // Status in the low byte, then data 1 and data 2. at_ms is the sender's clock, for logs.
  virtual void ShortMessage(uint32_t packed, int64_t at_ms) = 0;
  // The bytes stay the sender's and must stay alive until kDone arrives for `buffer`.
  virtual void LongMessage(uint64_t buffer, const uint8_t* bytes, size_t size, int64_t at_ms) = 0;
  // Silences every note of every channel and releases the sustain pedals.
  virtual void Reset(int64_t at_ms) = 0;
};

}  // namespace quen::platform
