// What the MIDI manager asks of the MIDI file sequencer. The sequencer itself is built apart;
// an adapter over it is installed with SetSequencerFactory, and the MIDI manager makes its one
// sequencer (and temporary ones that measure lengths) through it.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"

namespace quen::platform {
class IAudioDevice;
}

namespace quen {

class ISequencer {
 public:
  virtual ~ISequencer() = default;
  // Stops and reads a whole Standard MIDI File from the stream; raises the system's error for
  // a file it refuses.
  virtual void LoadFromStream(TStream& stream) = 0;
  // The output port: device index, -1 for the MIDI mapper. True when it opened.
  virtual bool OpenPort(int32_t device) = 0;
  virtual void ClosePort() = 0;
  virtual bool PortOpen() const = 0;
  virtual void SendSystemOn() = 0;
  virtual void PlayFrom(int32_t ms) = 0;
  virtual void Stop() = 0;
  virtual bool IsPlaying() const = 0;
  virtual bool IsEnd() const = 0;
  virtual int32_t Position() const = 0;
  virtual int32_t Length() const = 0;
  // percent of every channel's controller value (controller 7 carries the item's volume).
  virtual void SetControllerScale(int32_t controller, int32_t percent) = 0;
  virtual bool Repeat() const = 0;
  virtual void SetRepeat(bool on) = 0;
  // The system's MIDI output devices, in device order.
  virtual std::vector<std::string> DeviceNames() const = 0;
  // The length of a file without loading it (the music that plays goes on); 0 when refused.
  virtual int32_t MeasureLength(const std::string& file) const = 0;
  // Headless: the ticks due up to now_ms run (the media system calls it in time order with
  // the sound capture), and when the next one is due.
  virtual void Step(int64_t /*now_ms*/) {}
  virtual int64_t NextTickMs() const { return INT64_MAX; }
};

// Makes a sequencer whose synthesiser plays into the player's sound output (a source added to
// it). Installed once at start-up (null: no MIDI).
using TSequencerFactory =
    std::function<std::unique_ptr<ISequencer>(platform::IAudioDevice& output)>;
void SetSequencerFactory(TSequencerFactory factory);
// Null when none is installed.
std::unique_ptr<ISequencer> NewSequencer(platform::IAudioDevice& output);

}  // namespace quen
