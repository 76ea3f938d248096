#include "media/video_manager.h"

#include <algorithm>

#include "base/error.h"
#include "files/file_manager.h"
#include "files/messages.h"
#include "media/audio_output.h"
#include "media/media_streams.h"
#include "media/messages.h"
#include "media/quen_lib.h"
#include "platform/game_window.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"

namespace quen {

namespace {

std::string HostPathOf(const std::string& name) {
  std::string utf8;
  if (!platform::TryCp932ToUtf8(name, utf8)) utf8 = name;
  for (char& c : utf8)
    if (c == '\\') c = '/';
  return utf8;
}

// The real path of a game file: a loose file, or an archive entry extracted for the purpose.
std::string RealPath(const std::string& name) {
  if (IsAbsoluteMediaName(name)) return HostPathOf(name);
  if (!FileManager().FileExists(name)) throw EQuenError(Format(msg::kFileNotFound, name.c_str()));
  return FileManager().GetRealPath(name);
}

}  // namespace

// ---- manager ----

TVideoItem* TVideoManager::AddVideo(const std::string& name, bool capture) {
  try {
    if (context_.Output) context_.Output->EnsureOpen();
    std::unique_ptr<TVideoItem> item;
    if (context_.UseWmp) {
      if (!context_.HasScreen) {
        ReportRefused(name, "no screen to show the video on");
        return nullptr;
      }
      item = std::make_unique<TWmVideoItem>(*this, name, capture, next_overlay_++);
    } else {
      item = std::make_unique<TDsVideoItem>(*this, name, capture, next_overlay_++);
    }
    return static_cast<TVideoItem*>(Append(std::move(item)));
  } catch (const std::exception& e) {
    ReportRefused(name, e.what());
    return nullptr;
  }
}

void TVideoManager::Suspend() {
  if (suspended_) return;
  suspended_ = true;
  for (auto& i : Items()) {
    const bool running = i->IsPlaying() && !i->IsPaused() && !i->PeekEnd();
    if (running) i->Pause();
    i->SetResumeMark(running);
  }
  if (!context_.UseWmp) quenVidmanSuspend();
}

void TVideoManager::Resume() {
  if (!suspended_) return;
  suspended_ = false;
  if (!context_.UseWmp) quenVidmanResume();
  for (auto& i : Items()) {
    if (!i->ResumeMark()) continue;
    i->SetResumeMark(false);
    i->Play();
  }
}

void TVideoManager::UpdateFrame() {
  quenVidmanProcessEvent();
  for (auto& i : Items()) static_cast<TVideoItem*>(i.get())->UpdateFrame();
}

// ---- library video ----

TLibVideoItem::TLibVideoItem(TVideoManager& manager, const std::string& name, bool capture,
                             int overlay_id)
    : TVideoItem(manager, name), videos_(manager), capture_(capture), overlay_id_(overlay_id) {}

void TLibVideoItem::Open(const std::string& host_path, std::unique_ptr<TStream> stream) {
  stream_ = std::move(stream);
  handle_ = quenVidmanAdd(host_path.c_str(), stream_.get(), capture_);
  if (handle_ == 0) throw EQuenError(msg::kBadSoundData);
}

TLibVideoItem::~TLibVideoItem() {
  if (shown_ && videos_.Context().Window) videos_.Context().Window->RemoveOverlay(overlay_id_);
  quenVidmanDel(handle_);
}

bool TLibVideoItem::GetAutoRepeat() {
  return quenVideoGetAutoRepeat(handle_);
}
void TLibVideoItem::SetAutoRepeat(bool on) {
  quenVideoSetAutoRepeat(handle_, on);
}
int32_t TLibVideoItem::GetPan() {
  return quenVideoGetPan(handle_);
}
int32_t TLibVideoItem::GetVolume() {
  return quenVideoGetVol(handle_);
}
void TLibVideoItem::SetPan(int32_t pan) {
  quenVideoSetPan(handle_, pan);
}
void TLibVideoItem::SetVolume(int32_t volume) {
  quenVideoSetVol(handle_, volume);
}
int32_t TLibVideoItem::GetPosition() {
  return quenVideoGetPosition(handle_);
}
void TLibVideoItem::SetPosition(int32_t ms) {
  quenVideoSetPosition(handle_, std::max(0, ms));
  end_seen_ = false;
}
int32_t TLibVideoItem::GetLength() {
  return quenVideoGetLen(handle_);
}
bool TLibVideoItem::PeekEnd() {
  if (!end_seen_) end_seen_ = quenVideoIsEnd(handle_);
  return end_seen_;
}
bool TLibVideoItem::IsEnd() {
  const bool e = end_seen_ || quenVideoIsEnd(handle_);
  end_seen_ = false;
  return e;
}
bool TLibVideoItem::IsPlaying() {
  return quenVideoIsPlaying(handle_);
}
bool TLibVideoItem::IsPaused() {
  return quenVideoIsPaused(handle_);
}
void TLibVideoItem::Play() {
  quenVideoPlay(handle_);
}
void TLibVideoItem::Pause() {
  quenVideoPause(handle_);
}
int32_t TLibVideoItem::GetSourceHeight() {
  return quenVideoGetSourceHeight(handle_);
}
int32_t TLibVideoItem::GetSourceWidth() {
  return quenVideoGetSourceWidth(handle_);
}
bool TLibVideoItem::GetVisible() {
  return quenVideoGetVisible(handle_);
}
void TLibVideoItem::SetVisible(bool visible) {
  quenVideoSetVisible(handle_, visible);
}
bool TLibVideoItem::NeedPaint() {
  return quenVideoNeedPaint(handle_);
}
void TLibVideoItem::SetRect(int32_t left, int32_t top, int32_t width, int32_t height) {
  rect_[0] = left;
  rect_[1] = top;
  rect_[2] = width;
  rect_[3] = height;
  quenVideoSetRect(handle_, left, top, width, height);
  shown_ = false;  // placed anew at the next drawn frame
}
bool TLibVideoItem::GetPicture(TVideoFrame& frame) {
  TQuenPicture p{};
  if (!quenVideoGetDC(handle_, &p)) return false;
  frame.Width = p.width;
  frame.Height = p.height;
  frame.Pixels = p.pixels;
  return true;
}

void TLibVideoItem::UpdateFrame() {
  platform::IGameWindow* window = videos_.Context().Window;
  if (capture_ || !window) return;
  const bool visible = GetVisible() && rect_[2] > 0 && rect_[3] > 0;
  if (!visible) {
    if (shown_) window->RemoveOverlay(overlay_id_);
    shown_ = false;
    return;
  }
  if (shown_ && !NeedPaint()) return;
  TVideoFrame f;
  if (!GetPicture(f)) return;
  window->SetOverlay(overlay_id_, platform::FrameRect{rect_[0], rect_[1], rect_[2], rect_[3]},
                     f.Pixels, f.Width, f.Height);
  shown_ = true;
}

TDsVideoItem::TDsVideoItem(TVideoManager& manager, const std::string& name, bool capture,
                           int overlay_id)
    : TLibVideoItem(manager, name, capture, overlay_id) {
  const std::string ext = MediaExtension(name);
  if (IsAbsoluteMediaName(name)) {
    Open(HostPathOf(name), OpenMediaStream(name));
  } else if (ext == ".wmv" || ext == ".asf") {
    Open(RealPath(name), nullptr);
  } else {
    Open(FileManager().GameFolder() + HostPathOf(name), FileManager().OpenRange(name));
  }
}

TWmVideoItem::TWmVideoItem(TVideoManager& manager, const std::string& name, bool capture,
                           int overlay_id)
    : TLibVideoItem(manager, name, capture, overlay_id) {
  Open(RealPath(name), nullptr);
}

}  // namespace quen
