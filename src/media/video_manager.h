// Videos: the media library's video engine plays the file (Video/UseWMP only picks how the
// file is opened), with its sound through the sound engine. Capture videos hand 32-bit
// pictures to their component; overlay videos are shown by the window over the game screen
// at their rectangle.
#pragma once

#include <memory>
#include <string>

#include "base/stream.h"
#include "media/media_context.h"
#include "media/media_manager.h"

namespace quen {

class TVideoManager : public TMediaManager {
 public:
  explicit TVideoManager(TMediaContext& context) : TMediaManager("video"), context_(context) {}
  ~TVideoManager() override { Clear(); }
  // An overlay video.
  TDMediaItem* Add(const std::string& name) override { return AddVideo(name, false); }
  // Null (one line on standard error) for a file that holds no video; with UseWMP, also when
  // there is no screen.
  TVideoItem* AddVideo(const std::string& name, bool capture);
  // Videos pause and go on without regard to the enabled flag; the library's own suspension
  // goes with them unless videos go through the media-player route.
  void Suspend() override;
  void Resume() override;
  // Every drawn frame: every video decodes the picture of its time, and overlays are shown.
  void UpdateFrame();
  const TMediaContext& Context() const { return context_; }

 private:
  TMediaContext& context_;
  int next_overlay_ = 1;
  bool suspended_ = false;
};

// A video of the library's engine. The two kinds differ in how the file reaches it.
class TLibVideoItem : public TVideoItem {
 public:
  ~TLibVideoItem() override;
  bool GetAutoRepeat() override;
  void SetAutoRepeat(bool on) override;
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
  int32_t GetSourceHeight() override;
  int32_t GetSourceWidth() override;
  bool GetVisible() override;
  void SetVisible(bool visible) override;
  bool NeedPaint() override;
  void SetRect(int32_t left, int32_t top, int32_t width, int32_t height) override;
  bool GetPicture(TVideoFrame& frame) override;
  void UpdateFrame() override;
  bool Capture() const override { return capture_; }

 protected:
  TLibVideoItem(TVideoManager& manager, const std::string& name, bool capture, int overlay_id);
  // Opens the library's video for a host path or (not null) a stream; raises when refused.
  void Open(const std::string& host_path, std::unique_ptr<TStream> stream);

 private:
  TVideoManager& videos_;
  std::unique_ptr<TStream> stream_;
  int32_t handle_ = 0;
  bool capture_;
  int overlay_id_;
  bool shown_ = false;
  bool end_seen_ = false;
  int32_t rect_[4] = {0, 0, 0, 0};
};

// Video/UseWMP off: absolute names as host files, ".wmv" and ".asf" through their real path,
// everything else as a range of the file manager.
class TDsVideoItem : public TLibVideoItem {
 public:
  TDsVideoItem(TVideoManager& manager, const std::string& name, bool capture, int overlay_id);
};

// Video/UseWMP on: the file's real path.
class TWmVideoItem : public TLibVideoItem {
 public:
  TWmVideoItem(TVideoManager& manager, const std::string& name, bool capture, int overlay_id);
};

}  // namespace quen
