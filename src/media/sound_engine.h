// The media library's sound engine: voices that decode their files, convert them to 44.1 kHz
// stereo, and are mixed with volume and pan into one source of the audio device. A window's run
// decodes ahead on a thread of its own; headless, a voice decodes what the capture pulls, so
// the samples do not depend on timing.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "media/sound_source.h"
#include "platform/audio_device.h"
#include "platform/media_clock.h"
#include "platform/resampler.h"

namespace quen {

class TSoundEngine;

// One playing file. Every operation takes the engine's lock.
class TVoice {
 public:
  // At most this much decoded sound waits in a voice.
  static constexpr int64_t kMaxBufferedFrames = platform::kAudioRate;

  void Play();
  void Pause();
  bool IsPaused() const;
  bool IsPlaying() const;
  // True once, at the first query after the voice played to its end.
  bool IsEnd();
  bool PeekEnd() const;
  int32_t LengthMs() const;
  int32_t PositionMs() const;
  void SetPositionMs(int32_t ms);
  bool Repeat() const;
  void SetRepeat(bool on);
  int32_t RepeatPosMs() const;
  void SetRepeatPosMs(int32_t ms);
  int32_t Volume() const;
  void SetVolume(int32_t hundredths_db);
  int32_t Pan() const;
  void SetPan(int32_t hundredths_db);
  TSoundSource& Source() { return *source_; }
  int64_t BufferedFrames() const;

 private:
  friend class TSoundEngine;
  struct Chunk {
    std::vector<int16_t> samples;  // stereo
    int64_t start = 0;             // frame of the sound's own timeline at 44.1 kHz
  };
  enum class Path { kStereo, kMono, kConvert };

  TVoice(TSoundEngine& engine, std::unique_ptr<TSoundSource> source);
  // With the lock held.
  void Restart(int64_t frame);
  void DecodeChunk();
  void Fill(int64_t frames);
  void Mix(int32_t* acc, size_t frames);
  int64_t ToTimeline(int64_t source_frame) const;

  TSoundEngine& engine_;
  std::unique_ptr<TSoundSource> source_;
  std::unique_ptr<platform::Resampler> resampler_;
  Path path_ = Path::kConvert;
  std::deque<Chunk> queue_;
  size_t head_used_ = 0;  // frames of the first chunk already played
  int64_t queued_ = 0;
  int64_t decode_pos_ = 0;
  int64_t play_pos_ = 0;
  bool eos_ = false;
  bool playing_ = false;
  bool paused_ = false;
  bool ended_ = false;
  bool end_latch_ = false;
  bool repeat_ = false;
  int32_t repeat_pos_ = 0;
  int32_t volume_ = 0;
  int32_t pan_ = 0;
  int32_t gain_l_ = 32768;
  int32_t gain_r_ = 32768;
  std::vector<int16_t> in_;
};

class TSoundEngine : public platform::IAudioSource {
 public:
  // The device may be null: the voices then keep their state but nothing pulls them.
  explicit TSoundEngine(platform::IAudioDevice* device);
  ~TSoundEngine() override;
  TSoundEngine(const TSoundEngine&) = delete;
  TSoundEngine& operator=(const TSoundEngine&) = delete;

  TVoice* AddVoice(std::unique_ptr<TSoundSource> source);
  void RemoveVoice(TVoice* voice);
  // Decoding ahead on a thread of its own (only with the real clock).
  void SetUseThread(bool on);
  // One decoding pass on the caller's thread.
  void Update();
  // Added to the device again after it was lost (harmless when it still has it).
  void Restore();
  void Render(int16_t* stereo, size_t frames) override;
  std::mutex& Mutex() { return mu_; }

 private:
  void DecodePass();

  platform::IAudioDevice* device_;
  std::mutex mu_;
  std::vector<std::unique_ptr<TVoice>> voices_;
  std::vector<int32_t> acc_;
  std::unique_ptr<platform::PeriodicTimer> thread_;
};

}  // namespace quen
