// What the sound and video components play through: a media item that a media manager opens
// for a file and frees again. Positions and lengths are in ms; volumes and pans in hundredths
// of a decibel (0 full, -10000 silent; pans -10000 left to 10000 right).
#pragma once

#include <cstdint>
#include <string>

namespace quen {

class TMediaManager;

class TDMediaItem {
 public:
  TDMediaItem(TMediaManager& manager, std::string name)
      : manager_(manager), name_(std::move(name)) {}
  virtual ~TDMediaItem() = default;
  TDMediaItem(const TDMediaItem&) = delete;
  TDMediaItem& operator=(const TDMediaItem&) = delete;

  virtual bool GetAutoRepeat() { return false; }
  virtual void SetAutoRepeat(bool /*on*/) {}
  virtual int32_t GetRepeatPos() { return 0; }
  virtual void SetRepeatPos(int32_t /*ms*/) {}
  // The component's pan, as it was given.
  virtual int32_t GetPan() { return 0; }
  virtual int32_t GetVolume() { return 0; }
  virtual void SetPan(int32_t /*pan*/) {}
  virtual void SetVolume(int32_t /*volume*/) {}
  virtual int32_t GetPosition() { return 0; }
  // Negative values become 0.
  virtual void SetPosition(int32_t /*ms*/) {}
  virtual int32_t GetLength() { return 0; }
  // True once, at the first query after playback reached the end.
  virtual bool IsEnd() { return false; }
  // Playing and not paused.
  virtual bool IsPlaying() { return false; }
  virtual bool IsPaused() { return false; }
  // Starts or resumes; with the manager disabled it only remembers that it should play.
  virtual void Play() {}
  virtual void Pause() {}
  // Whether IsEnd would answer true now, without using the answer up.
  virtual bool PeekEnd() { return false; }

  const std::string& Name() const { return name_; }
  TMediaManager& Manager() const { return manager_; }
  // The manager's suspend and resume mark.
  bool ResumeMark() const { return resume_mark_; }
  void SetResumeMark(bool on) { resume_mark_ = on; }

 protected:
  // With the manager disabled: marks the item to play once it is enabled; true then.
  bool DeferPlay();

 private:
  TMediaManager& manager_;
  std::string name_;
  bool resume_mark_ = false;
};

// A 32-bit picture of a video (pixels 0x00RRGGBB, rows top-down).
struct TVideoFrame {
  int32_t Width = 0;
  int32_t Height = 0;
  const uint32_t* Pixels = nullptr;
};

class TVideoItem : public TDMediaItem {
 public:
  using TDMediaItem::TDMediaItem;
  virtual int32_t GetSourceHeight() { return 0; }
  virtual int32_t GetSourceWidth() { return 0; }
  virtual bool GetVisible() { return false; }
  virtual void SetVisible(bool /*visible*/) {}
  // True when a new picture came since the last GetPicture.
  virtual bool NeedPaint() { return false; }
  // Where an overlay video is shown, in panel coordinates.
  virtual void SetRect(int32_t /*left*/, int32_t /*top*/, int32_t /*width*/, int32_t /*height*/) {}
  // The current picture (capture videos draw it themselves); false before the first one.
  virtual bool GetPicture(TVideoFrame& /*frame*/) { return false; }
  // Every drawn frame (the video manager calls it).
  virtual void UpdateFrame() {}
  // Capture videos give their pictures to the component; the others are overlays.
  virtual bool Capture() const { return false; }
};

}  // namespace quen
