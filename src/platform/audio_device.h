// The one sound output of the player: 44100 Hz, 16-bit stereo, pulling from the sources that
// are added to it (the sound engine's mixer, the wave output blocks, the synthesiser). On a
// desktop it is an SDL audio device; when none opens, a silent sink paced by the clock keeps
// the sources moving; headless it is a capture stepped by the virtual time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media_clock.h"

namespace quen::platform {

inline constexpr int32_t kAudioRate = 44100;

// A pull source: writes `frames` frames of interleaved left/right samples (it overwrites the
// buffer, silence included). Called on the device's thread, one call at a time.
class IAudioSource {
 public:
  virtual ~IAudioSource() = default;
  virtual void Render(int16_t* interleaved_stereo, size_t frames) = 0;
};

class IAudioDevice {
 public:
  virtual ~IAudioDevice() = default;
  // Sources are borrowed. After RemoveSource returns, the source is not called again.
  virtual void AddSource(IAudioSource* source) = 0;
  virtual void RemoveSource(IAudioSource* source) = 0;
  // "sdl", "silent" or "capture".
  virtual const char* Kind() const = 0;
  // Called once a frame: a device the system took away (unplugged) is opened again; true
  // when that happened, so the owners restore what they keep in it.
  virtual bool ReopenIfLost() { return false; }
};

// The sources' sum: each source rendered in turn and added with saturation. Devices share it.
class SourceMixer {
 public:
  void Add(IAudioSource* source);
  void Remove(IAudioSource* source);
  // Writes frames of the sum of every source (silence without sources).
  void Render(int16_t* stereo, size_t frames);
  std::mutex& Lock() { return mu_; }

 private:
  std::mutex mu_;
  std::vector<IAudioSource*> sources_;
  std::vector<int16_t> scratch_;
  std::vector<int32_t> sum_;
};

// Headless: every frame of the run, floor(t * 44.1) of them after t ms of virtual time.
class CaptureAudioDevice : public IAudioDevice, public IMediaTimeSink {
 public:
  // Installs itself as the virtual time's sink.
  CaptureAudioDevice();
  ~CaptureAudioDevice() override;
  void AddSource(IAudioSource* source) override { mixer_.Add(source); }
  void RemoveSource(IAudioSource* source) override { mixer_.Remove(source); }
  const char* Kind() const override { return "capture"; }
  void RenderUntilMs(int64_t t_ms) override;
  // Frames captured so far, interleaved.
  const std::vector<int16_t>& Samples() const { return samples_; }
  int64_t Frames() const { return static_cast<int64_t>(samples_.size() / 2); }

 private:
  SourceMixer mixer_;
  std::vector<int16_t> samples_;
};

// A RIFF wave file of 16-bit PCM.
std::string EncodeWav16(const int16_t* samples, size_t frames, int32_t channels, int32_t rate);

// The SDL device, or the silent sink when it cannot be opened (why then tells the reason).
std::unique_ptr<IAudioDevice> OpenAudioDevice(std::string* why);
// The silent sink alone: the sources are pulled at the pace of the clock and the sound thrown
// away.
std::unique_ptr<IAudioDevice> OpenSilentAudioDevice();

}  // namespace quen::platform
