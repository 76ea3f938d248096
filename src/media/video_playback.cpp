#include "media/video_playback.h"

#include <algorithm>

#include "platform/media_clock.h"

namespace quen {

std::unique_ptr<TVideoPlayback> TVideoPlayback::Open(const TOpenBytes& open, TSoundEngine* engine,
                                                     bool capture, std::string* why) {
  std::unique_ptr<TVideoPlayback> v(new TVideoPlayback());
  v->picture_bytes_ = open();
  if (!v->picture_bytes_) {
    if (why) *why = "cannot read the file";
    return nullptr;
  }
  v->decoder_ = platform::OpenVideoDecoder(*v->picture_bytes_, why);
  if (!v->decoder_) return nullptr;
  v->engine_ = engine;
  v->capture_ = capture;
  int64_t length = v->decoder_->DurationMs();
  if (engine) {
    // The sound is optional: a video without it plays silently.
    if (auto bytes = open()) {
      std::string ignored;
      if (auto sound = TSoundSource::Open(std::move(bytes), false, &ignored)) {
        length = std::max(length, sound->LengthMs());
        v->voice_ = engine->AddVoice(std::move(sound));
      }
    }
  }
  v->length_ms_ = static_cast<int32_t>(std::clamp<int64_t>(length, 0, INT32_MAX));
  return v;
}

TVideoPlayback::~TVideoPlayback() {
  if (voice_) engine_->RemoveVoice(voice_);
}

int64_t TVideoPlayback::Running() const {
  return playing_ && !paused_ ? platform::MediaNowMs() - started_ms_ : 0;
}

void TVideoPlayback::Advance() {
  if (!playing_ || paused_) return;
  const int64_t pos = base_ms_ + Running();
  if (pos < length_ms_) return;
  if (repeat_ && length_ms_ > 0) {
    base_ms_ = pos % length_ms_;
    started_ms_ = platform::MediaNowMs();
    if (voice_) {
      voice_->SetPositionMs(static_cast<int32_t>(base_ms_));
      voice_->Play();
    }
    return;
  }
  base_ms_ = length_ms_;
  playing_ = false;
  ended_ = true;
  end_latch_ = true;
  if (voice_) voice_->Pause();
}

void TVideoPlayback::Play() {
  Advance();
  if (ended_) {
    SetPositionMs(0);
    ended_ = false;
  }
  if (playing_ && !paused_) return;
  playing_ = true;
  paused_ = false;
  started_ms_ = platform::MediaNowMs();
  if (voice_) voice_->Play();
}

void TVideoPlayback::Pause() {
  Advance();
  base_ms_ += Running();
  paused_ = true;
  if (voice_) voice_->Pause();
}

bool TVideoPlayback::IsPlaying() {
  Advance();
  return playing_ && !paused_;
}

bool TVideoPlayback::IsEnd() {
  Advance();
  const bool e = end_latch_;
  end_latch_ = false;
  return e;
}

int32_t TVideoPlayback::PositionMs() {
  Advance();
  return static_cast<int32_t>(std::min<int64_t>(base_ms_ + Running(), length_ms_));
}

void TVideoPlayback::SetPositionMs(int32_t ms) {
  base_ms_ = std::clamp(ms, 0, length_ms_);
  started_ms_ = platform::MediaNowMs();
  ended_ = false;
  if (voice_) voice_->SetPositionMs(static_cast<int32_t>(base_ms_));
}

void TVideoPlayback::SetVolume(int32_t v) {
  volume_ = std::clamp(v, -10000, 0);
  if (voice_) voice_->SetVolume(volume_);
}

void TVideoPlayback::SetPan(int32_t p) {
  pan_ = std::clamp(p, -10000, 10000);
  if (voice_) voice_->SetPan(pan_);
}

void TVideoPlayback::SetRect(int32_t left, int32_t top, int32_t width, int32_t height) {
  rect_[0] = left;
  rect_[1] = top;
  rect_[2] = std::max(0, width);
  rect_[3] = std::max(0, height);
}

void TVideoPlayback::Rect(int32_t& left, int32_t& top, int32_t& width, int32_t& height) const {
  left = rect_[0];
  top = rect_[1];
  width = rect_[2];
  height = rect_[3];
}

void TVideoPlayback::Suspend() {
  if (!IsPlaying()) return;
  Pause();
  suspended_ = true;
}

void TVideoPlayback::Resume() {
  if (!suspended_) return;
  suspended_ = false;
  Play();
}

void TVideoPlayback::ProcessFrame() {
  const int32_t pos = PositionMs();
  if (!decoder_->ShowAt(pos)) return;
  if (has_picture_ && decoder_->PictureSerial() == serial_) return;
  serial_ = decoder_->PictureSerial();
  const int32_t w = decoder_->Width(), h = decoder_->Height();
  pixels_.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  decoder_->CopyPicture(reinterpret_cast<uint8_t*>(pixels_.data()), w * 4, w, h);
  has_picture_ = true;
  need_paint_ = true;
}

}  // namespace quen
