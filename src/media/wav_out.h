// The wave output engine: a software mixer used when DirectSound is switched off. Every
// playing source is converted to 44.1 kHz 16-bit stereo, mixed with saturation into blocks of
// the configured delay time and streamed to the wave-out device; a worker pumps four times per
// block duration and keeps at most two blocks queued.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "media/wave_out_device.h"
#include "platform/media_clock.h"

namespace quen {

// The decoded sound a source reads: bytes in the source's format.
class IWavStream {
 public:
  virtual ~IWavStream() = default;
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Tell() = 0;
  virtual void Seek(int64_t bytes) = 0;
  virtual int64_t Size() = 0;
};

struct TWavFormat {
  int32_t Channels = 0;
  int32_t SamplesPerSec = 0;
  int32_t BitsPerSample = 0;
};

// The output format: PCM, 2 channels, 44100 samples a second, 16 bits.
inline constexpr int32_t kWavOutBytesPerSec = 176400;
inline constexpr int32_t kWavOutBlockAlign = 4;

class TWavOut;

// One source.
class TWavBuffer {
 public:
  void Play();
  void Pause();
  void SetPosition(int64_t bytes);
  // 0..256; 256 (and 255) leave the samples unchanged.
  void SetVolume(int32_t factor);
  void SetRepeat(bool on);
  void SetRepeatPosition(int64_t bytes);
  // Finished and not mixed for more than DelayTime * 2 + 10 ms.
  bool FinishedLongAgo() const;
  bool Playing() const;
  bool Paused() const;
  bool Finished() const;
  bool Repeat() const;
  int64_t RepeatPosition() const;
  int64_t ReadPosition() const;
  int32_t Volume() const;
  const TWavFormat& Format() const { return format_; }

  // Input bytes a block needs, and the factor by which conversion lengthens them; 0 for a
  // format the engine does not convert.
  static int32_t Expansion(const TWavFormat& format);
  // Converts in_bytes of input to 44.1 kHz stereo samples (in_bytes * Expansion / 2 of them).
  static void Convert(const TWavFormat& format, const uint8_t* in, size_t in_bytes, int16_t* out);

 private:
  friend class TWavOut;
  TWavBuffer(TWavOut& engine, const TWavFormat& format, IWavStream* stream);
  // With the engine's lock held: adds this source's part of a block; true when it gave any.
  bool MixSource(int16_t* block, uint32_t bytes);

  TWavOut& engine_;
  TWavFormat format_;
  IWavStream* stream_;
  int64_t read_pos_ = 0;
  std::vector<uint8_t> work_;
  std::vector<int16_t> converted_;
  int32_t volume_ = 256;
  bool repeat_ = false;
  int64_t repeat_pos_ = 0;
  bool playing_ = false;
  bool paused_ = false;
  bool finished_ = false;
  int64_t last_mix_ = 0;
};

// A block on its way to the device.
struct TWavPrimary {
  TWaveHeader header;  // the block header
  std::vector<uint8_t> data;
};
// Blocks handed to the device, and the pool of blocks kept for reuse.
using TWavPrimaryList = std::vector<std::unique_ptr<TWavPrimary>>;
using TMemList = std::vector<std::unique_ptr<TWavPrimary>>;

class TWavOut {
 public:
  using TBlockNotify = std::function<void(TWavOut&, const uint8_t*, uint32_t)>;

  // delay_ms: DelayTime (100..500); the block size is fixed from it.
  TWavOut(platform::IAudioDevice* device, int32_t delay_ms);
  ~TWavOut();
  TWavOut(const TWavOut&) = delete;
  TWavOut& operator=(const TWavOut&) = delete;

  bool Open(bool open);
  void Close();
  bool IsOpen() const;
  TWavBuffer* AddSource(const TWavFormat& format, IWavStream* stream);
  void RemoveSource(TWavBuffer* source);
  void Pump();
  // Mixes every source into the block; true when any gave sound.
  bool Mix(TWavPrimary& block);
  void SetBlockNotify(TBlockNotify notify);

  int32_t DelayTime() const { return delay_; }
  uint32_t BlockSize() const { return block_size_; }
  int32_t PumpPeriod() const { return delay_ / 4; }
  size_t QueuedBlocks() const;
  size_t PoolSize() const;
  std::mutex& Lock() const { return mu_; }

 private:
  friend class TWavBuffer;
  std::unique_ptr<TWavPrimary> TakeBlock();

  platform::IAudioDevice* device_;
  int32_t delay_;
  uint32_t block_size_;
  mutable std::mutex mu_;
  TWaveOutDevice out_;
  std::vector<std::unique_ptr<TWavBuffer>> sources_;
  std::vector<TWavBuffer*> active_;
  TWavPrimaryList queued_;
  TMemList pool_;
  TBlockNotify notify_;
  // The output thread: wakes every DelayTime / 4 ms and pumps.
  std::unique_ptr<platform::PeriodicTimer> thread_;
};

}  // namespace quen
