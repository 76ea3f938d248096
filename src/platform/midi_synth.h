// The player's MIDI output: a General MIDI software synthesiser (FluidSynth) that is both the
// output port the sequencer sends to and a sound source the mixer pulls from. Beside it, or
// instead of it, every message can be logged as "MS HEX" lines (MS the sender's clock, HEX the
// message bytes in upper-case hex), which is how headless runs and tests hear MIDI.
//
// Both entries of the port list (the mapper and the one device) open the same synthesiser. The
// sound font is the one given, else the first of /usr/share/sounds/sf2/default-GM.sf2,
// FluidR3_GM.sf2 and TimGM6mb.sf2 that exists; loaded at the first Open. Without one the port
// still opens, logs and renders silence, and says so once on standard error.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/audio_device.h"
#include "platform/midi_port.h"

namespace quen::platform {

class HostFile;

struct MidiSynthOptions {
  // Empty: search the usual places.
  std::string sound_font;
  // Host path of the message log; empty for none.
  std::string dump_file;
  // Also receives every log line (without the newline); tests and quentool use it.
  std::function<void(const std::string& line)> log_line;
  // False: no synthesiser at all (only the log); Render gives silence.
  bool render = true;
};

class MidiSynth : public IMidiPort, public IAudioSource {
 public:
  static constexpr int32_t kSampleRate = 44100;

  explicit MidiSynth(MidiSynthOptions options);
  ~MidiSynth() override;
  MidiSynth(const MidiSynth&) = delete;
  MidiSynth& operator=(const MidiSynth&) = delete;

  std::vector<MidiOutCaps> Devices() override;
  bool Open(int32_t device, Notify notify) override;
  void Close() override;
  void ShortMessage(uint32_t packed, int64_t at_ms) override;
  void LongMessage(uint64_t buffer, const uint8_t* bytes, size_t size, int64_t at_ms) override;
  void Reset(int64_t at_ms) override;

  void Render(int16_t* interleaved_stereo, size_t frames) override;

  // The font in use after the first Open; empty when silent.
  const std::string& SoundFont() const { return font_path_; }
  // False when the log file could not be written.
  bool LogOk() const { return log_ok_; }

  // The sound font a synthesiser would load: the given one, else the first of the usual ones
  // that exists; empty when there is none.
  static std::string FindSoundFont(const std::string& given);

 private:
  struct Fluid;
  void Log(int64_t at_ms, const uint8_t* bytes, size_t size);
  void LoadSynth();

  MidiSynthOptions options_;
  std::mutex lock_;  // over the synthesiser and the log: the timer thread sends, the mixer renders
  std::unique_ptr<Fluid> fluid_;
  Notify notify_;
  bool tried_font_ = false;  // Open belongs to one thread
  bool open_ = false;
  std::string font_path_;
  std::unique_ptr<HostFile> log_file_;
  int64_t log_offset_ = 0;
  bool log_ok_ = true;
};

}  // namespace quen::platform
