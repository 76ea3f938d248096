// The wave-out device that the wave output engine streams its blocks to: blocks of 44.1 kHz
// 16-bit stereo played one after the other as a source of the audio device, each marked done
// once it has been played out. Between blocks (an underrun) it is silent.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/audio_device.h"

namespace quen {

// One block handed to the device.
struct TWaveHeader {
  static constexpr uint32_t kDone = 1;
  static constexpr uint32_t kPrepared = 2;
  uint8_t* data = nullptr;
  uint32_t length = 0;  // bytes, whole frames
  std::atomic<uint32_t> flags{0};
  uint32_t loops = 1;
  bool Done() const { return (flags.load() & kDone) != 0; }
};

class TWaveOutDevice : public platform::IAudioSource {
 public:
  ~TWaveOutDevice() override;
  // False when there is no audio device to play on.
  bool Open(platform::IAudioDevice* device);
  bool IsOpen() const { return device_ != nullptr; }
  void Close();
  void Prepare(TWaveHeader& h);
  void Unprepare(TWaveHeader& h);
  // Queues a prepared block; false when the device is closed.
  bool Write(TWaveHeader& h);
  // Stops at once: every queued block is marked done.
  void Reset();
  // Blocks written and not yet played out.
  size_t Pending() const;
  void Render(int16_t* stereo, size_t frames) override;

 private:
  platform::IAudioDevice* device_ = nullptr;
  mutable std::mutex mu_;
  std::deque<TWaveHeader*> queue_;
  uint32_t played_ = 0;  // bytes of the first block already played
};

}  // namespace quen
