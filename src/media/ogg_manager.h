// Ogg and wave sound: through the media library's engine (DirectSound on) or decoded by the
// library and mixed by the wave output engine (DirectSound off).
#pragma once

#include <memory>
#include <string>

#include "base/stream.h"
#include "media/media_context.h"
#include "media/media_manager.h"
#include "media/wav_out.h"

namespace quen {

// Positions in bytes of a sound with this many bytes a second and this block alignment: the
// nearest byte, cut down to a whole frame, in 64 bits; and back to the nearest ms.
int64_t MsToBytes(int64_t ms, int64_t bytes_per_sec, int32_t block_align);
int32_t BytesToMs(int64_t bytes, int64_t bytes_per_sec);
// A volume in hundredths of a decibel as the wave output engine's factor (256 unchanged).
int32_t WaveVolumeFactor(int32_t volume);

class TOggManager : public TMediaManager {
 public:
  explicit TOggManager(TMediaContext& context);
  // The items go first, then the wave output engine.
  ~TOggManager() override;
  TDMediaItem* Add(const std::string& name) override;
  void Restore() override;
  // The wave output engine, made and opened with the first wave item (null before).
  TWavOut* WavOut() const { return wav_out_.get(); }

 private:
  TMediaContext& context_;
  std::unique_ptr<TWavOut> wav_out_;
};

// Played by the library's sound engine.
class TOggItem : public TDMediaItem {
 public:
  // Raises the stream's error or "サウンドデータが不正です".
  TOggItem(TMediaManager& manager, const std::string& name);
  ~TOggItem() override;
  bool GetAutoRepeat() override;
  void SetAutoRepeat(bool on) override;
  int32_t GetRepeatPos() override;
  void SetRepeatPos(int32_t ms) override;
  int32_t GetPan() override;
  int32_t GetVolume() override;
  void SetPan(int32_t pan) override;
  void SetVolume(int32_t volume) override;
  int32_t GetPosition() override;
  void SetPosition(int32_t ms) override;
  int32_t GetLength() override;
  bool IsEnd() override;
  bool IsPlaying() override;
  bool IsPaused() override;
  void Play() override;
  void Pause() override;
  bool PeekEnd() override;

 protected:
  std::unique_ptr<TStream> stream_;
  int32_t handle_ = 0;
  bool end_seen_ = false;  // the library's end, taken and not yet reported
};

// Decoded by the library, mixed by the wave output engine.
class TOggWaveItem : public TDMediaItem, private IWavStream {
 public:
  TOggWaveItem(TMediaManager& manager, const std::string& name, TWavOut& engine);
  ~TOggWaveItem() override;
  bool GetAutoRepeat() override;
  void SetAutoRepeat(bool on) override;
  int32_t GetRepeatPos() override;
  void SetRepeatPos(int32_t ms) override;
  int32_t GetPan() override { return pan_; }
  int32_t GetVolume() override { return volume_; }
  void SetPan(int32_t pan) override { pan_ = pan; }
  void SetVolume(int32_t volume) override;
  int32_t GetPosition() override;
  void SetPosition(int32_t ms) override;
  int32_t GetLength() override;
  bool IsEnd() override;
  bool IsPlaying() override;
  bool IsPaused() override;
  void Play() override;
  void Pause() override;
  bool PeekEnd() override;
  const TWavFormat& Format() const { return format_; }

 private:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Tell() override;
  void Seek(int64_t bytes) override;
  int64_t Size() override;
  int64_t BytesPerSec() const;

  TWavOut& engine_;
  std::unique_ptr<TStream> stream_;
  int32_t handle_ = 0;
  TWavFormat format_;
  TWavBuffer* buffer_ = nullptr;
  int32_t volume_ = 0;
  int32_t pan_ = 0;
  // The end was reported for this play: the source stays finished, the end is said once.
  bool end_reported_ = false;
};

}  // namespace quen
