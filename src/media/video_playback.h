// The media library's video engine: one video's pictures, decoded at the position its clock
// gives, and its sound as a voice of the sound engine.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media/sound_engine.h"
#include "platform/byte_source.h"
#include "platform/video_decoder.h"

namespace quen {

class TVideoPlayback {
 public:
  using TOpenBytes = std::function<std::unique_ptr<platform::IByteSource>()>;
  // open gives a fresh reader of the file each time it is called (pictures and sound read it
  // apart). The engine may be null (no sound). Null, why set, when it holds no video.
  static std::unique_ptr<TVideoPlayback> Open(const TOpenBytes& open, TSoundEngine* engine,
                                              bool capture, std::string* why);
  ~TVideoPlayback();

  void Play();
  void Pause();
  bool IsPaused() const { return paused_; }
  bool IsPlaying();
  // True once after the video played to its end (repeat off).
  bool IsEnd();
  int32_t LengthMs() const { return length_ms_; }
  int32_t PositionMs();
  void SetPositionMs(int32_t ms);
  bool Repeat() const { return repeat_; }
  void SetRepeat(bool on) { repeat_ = on; }
  int32_t Volume() const { return volume_; }
  void SetVolume(int32_t v);
  int32_t Pan() const { return pan_; }
  void SetPan(int32_t p);
  int32_t Width() const { return decoder_->Width(); }
  int32_t Height() const { return decoder_->Height(); }
  bool Capture() const { return capture_; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  void SetRect(int32_t left, int32_t top, int32_t width, int32_t height);
  void Rect(int32_t& left, int32_t& top, int32_t& width, int32_t& height) const;
  // Pauses a playing video and remembers it; Resume plays it on.
  void Suspend();
  void Resume();
  // Decodes the picture of the current position.
  void ProcessFrame();
  const std::vector<uint32_t>& Pixels() const { return pixels_; }
  bool HasPicture() const { return has_picture_; }
  // True when a new picture came since the last TakePicture.
  bool NeedPaint() const { return need_paint_; }
  void TakePicture() { need_paint_ = false; }

 private:
  TVideoPlayback() = default;
  void Advance();
  int64_t Running() const;

  std::unique_ptr<platform::IByteSource> picture_bytes_;
  std::unique_ptr<platform::IVideoDecoder> decoder_;
  TSoundEngine* engine_ = nullptr;
  TVoice* voice_ = nullptr;
  bool capture_ = false;
  int32_t length_ms_ = 0;
  bool playing_ = false;
  bool paused_ = false;
  bool ended_ = false;
  bool end_latch_ = false;
  bool repeat_ = false;
  bool suspended_ = false;
  int64_t base_ms_ = 0;
  int64_t started_ms_ = 0;
  int32_t volume_ = 0;
  int32_t pan_ = 0;
  bool visible_ = true;
  int32_t rect_[4] = {0, 0, 0, 0};
  int64_t serial_ = 0;
  bool has_picture_ = false;
  bool need_paint_ = false;
  std::vector<uint32_t> pixels_;
};

}  // namespace quen
