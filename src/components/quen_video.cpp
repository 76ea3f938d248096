#include "components/quen_video.h"

#include <algorithm>
#include <vector>

#include "base/stream.h"
#include "components/media_host.h"
#include "components/quen_base_list.h"
#include "imaging/pixel_convert.h"
#include "media/media_system.h"

namespace quen {

TQuenVideo::TQuenVideo(TQuenBaseList* owner) : TQuenCustomImage(owner) {
  Store(PR_REWINDONLOAD, TPropValue::OfBool(false));
  Store(PR_OVERLAY, TPropValue::OfBool(true));
}

TQuenVideo::~TQuenVideo() {
  fader_.reset();
  link_.Release(Host());
}

IMediaHost* TQuenVideo::Host() const {
  return owner_ ? owner_->MediaHost() : nullptr;
}

TVideoItem* TQuenVideo::Item() const {
  return static_cast<TVideoItem*>(link_.Item());
}

void TQuenVideo::Release() {
  fader_.reset();
  link_.Release(Host());
  OwnSurface().Clear();
  Invalidate();
}

bool TQuenVideo::Open() {
  if (link_.Item()) return true;
  const std::string source = Stored(PR_SOURCE).Str;
  IMediaHost* host = Host();
  if (!host || !host->EnsureFileAvailable(source)) return false;
  TMediaSystem* media = HostMedia(host);
  TVideoManager* manager = media ? media->Video() : nullptr;
  TVideoItem* item = manager ? manager->AddVideo(source, !Overlay()) : nullptr;
  if (!item) return false;
  link_.Set(item, manager);
  item->SetAutoRepeat(StoredBool(PR_REPEAT));
  const int32_t bits = owner_ && owner_->Screen().BitCount() > 0 ? owner_->Screen().BitCount() : 32;
  OwnSurface().SetSize(std::max(item->GetSourceWidth(), 1), std::max(item->GetSourceHeight(), 1),
                       bits);
  RecomputeSize();
  if (Overlay() && IsShowing()) PlaceOverlay();
  Invalidate();
  item->SetPan(StoredInt(PR_BALANCE));
  end_told_ = false;
  return true;
}

void TQuenVideo::PlaceOverlay() {
  TVideoItem* item = Item();
  if (!item || !Overlay()) return;
  item->SetRect(AbsLeft(), AbsTop(), Width(), Height());
  item->SetVisible(IsShowing());
}

void TQuenVideo::PositionChanged() {
  TQuenCustomImage::PositionChanged();
  if (Item() && Overlay()) PlaceOverlay();
}

bool TQuenVideo::TakePicture() {
  TVideoItem* item = Item();
  TVideoFrame frame;
  if (!item || !item->GetPicture(frame) || !frame.Pixels) return false;
  TDIBX& own = OwnSurface();
  const int32_t w = std::min(frame.Width, own.Width()), h = std::min(frame.Height, own.Height());
  if (w <= 0 || h <= 0) return true;
  // Rows go through the surfaces' one row converter; the decoder's fourth byte is cleared first,
  // as a colour picture has none.
  const int32_t bits = own.BitCount();
  std::vector<uint32_t> row(static_cast<size_t>(w));
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t* src = frame.Pixels + static_cast<size_t>(y) * frame.Width;
    for (int32_t x = 0; x < w; ++x) row[x] = src[x] & 0xFFFFFF;
    uint8_t* dst = own.PixelAddress(0, y);
    if (!dst) break;
    ConvertRow(reinterpret_cast<const uint8_t*>(row.data()), 32, nullptr, 0, dst, bits, nullptr, 0,
               w);
    own.Unlock();
  }
  return true;
}

void TQuenVideo::StartFadeIn() {
  fader_ = std::make_unique<TQuenMixerFadein>(link_.Item(), Converted(), StoredInt(PR_DELAY));
}

void TQuenVideo::SetPlayMode(uint8_t mode) {
  fader_.reset();
  mode_ = mode;
  if (mode_ == LP_PLAYFADE && StoredInt(PR_DELAY) <= 0) mode_ = LP_PLAY;
  switch (mode_) {
    case LP_PLAY:
    case LP_PLAYFADE: {
      if (link_.Item() || !Open()) return;
      TVideoItem* item = Item();
      if (mode_ == LP_PLAY) {
        item->SetVolume(Converted());
        item->Play();
        if (!Running()) item->Pause();
        if (start_pos_ >= 1) item->SetPosition(start_pos_);
      } else if (Running()) {
        StartFadeIn();
      }
      return;
    }
    case LP_STOP:
      if (link_.Item()) Release();
      start_pos_ = 0;
      return;
    case LP_STOPFADE:
      if (!link_.Item()) {
        if (owner_) owner_->Scrap(this);
        return;
      }
      fader_ = std::make_unique<TQuenMixerFadeout>(link_.Item(), StoredInt(PR_DELAY));
      start_pos_ = 0;
      return;
    default:
      return;
  }
}

void TQuenVideo::Replay() {
  start_pos_ = 0;
  Store(PR_PAUSED, TPropValue::OfBool(false));
  SetPlayMode(LP_PLAYFADE);
  TVideoItem* item = Item();
  if (!item) return;
  fader_.reset();
  end_told_ = false;
  if (StoredInt(PR_DELAY) > 0) {
    item->Pause();
    item->SetVolume(-10000);
    item->SetPosition(0);
    if (Running()) StartFadeIn();
  } else {
    item->SetVolume(Converted());
    item->SetPosition(0);
    if (!item->IsPlaying() && Running()) item->Play();
  }
}

bool TQuenVideo::Update(int32_t frame_ms) {
  const bool remove = TQuenCustomImage::Update(frame_ms);
  TVideoItem* item = Item();
  if (!item) return remove;
  if (Overlay() && item->GetVisible() != IsShowing()) PlaceOverlay();
  const int64_t clock = owner_ ? owner_->GameClock() : 0;
  if (clock - last_check_ > 32) {
    last_check_ = clock;
    if (item->NeedPaint()) {
      if (!Overlay()) TakePicture();
      Invalidate();
    }
  }
  if (!StoredBool(PR_REPEAT)) {
    // One event for each end: the flag comes back only after the video has played on.
    const bool at_end = item->PeekEnd() || (item->GetLength() > 0 && !item->IsPlaying() &&
                                            item->GetPosition() >= item->GetLength() - 1);
    if (at_end && !end_told_) {
      end_told_ = true;
      item->IsEnd();
      if (StoredBool(PR_AUTOSCRAP)) {
        if (owner_) owner_->Scrap(this);
        return remove;
      }
      FireEvent(PR_ONPLAYEND, {}, false);
    } else if (!at_end) {
      end_told_ = false;
    }
  }
  if (fader_ && Running() && fader_->Advance(clock)) {
    const bool out = fader_->FadesOut();
    fader_.reset();
    if (out) {
      Invalidate();
      return true;
    }
  }
  return remove;
}

void TQuenVideo::EnteredCabinet() {
  if (Item() && Running() && (mode_ == LP_PLAY || mode_ == LP_PLAYFADE)) Item()->Pause();
}

void TQuenVideo::LeftCabinet() {
  if (Item() && Running() && (mode_ == LP_PLAY || mode_ == LP_PLAYFADE)) Item()->Play();
}

int32_t TQuenVideo::Length() const {
  if (link_.Item()) return link_.Item()->GetLength();
  const std::string source = Stored(PR_SOURCE).Str;
  IMediaHost* host = Host();
  if (!host || !host->EnsureFileAvailable(source)) return 0;
  TMediaSystem* media = HostMedia(host);
  TVideoManager* manager = media ? media->Video() : nullptr;
  TVideoItem* item = manager ? manager->AddVideo(source, true) : nullptr;
  if (!item) return 0;
  const int32_t length = item->GetLength();
  manager->Remove(item);
  return length;
}

TPropValue TQuenVideo::ReadOwn(uint8_t code) const {
  TDMediaItem* item = link_.Item();
  switch (code) {
    case PR_INDEX:
      return TPropValue::OfInt(item ? item->GetPosition() : 0);
    case PR_COUNT:
      return TPropValue::OfInt(Length());
    case PR_PLAYING: {
      if (!Running()) return TPropValue::OfBool(false);
      if (StoredBool(PR_REPEAT)) return TPropValue::OfBool(true);
      const int32_t pos = item ? item->GetPosition() : 0;
      return TPropValue::OfBool(pos < Length() - 1);
    }
    default:
      return TQuenCustomImage::ReadOwn(code);
  }
}

void TQuenVideo::WriteOwn(uint8_t code, const TPropValue& value) {
  TDMediaItem* item = link_.Item();
  const TPropValue old = Stored(code);
  switch (code) {
    case PR_SOURCE:
      if (value.Str == old.Str) return;
      if (item) Release();
      Store(code, value);
      mode_ = LP_STOP;
      Store(PR_PAUSED, TPropValue::OfBool(false));
      start_pos_ = 0;
      return;
    case PR_VOLUME:
      if (value.Int == old.Int) return;
      Store(code, value);
      if (item) item->SetVolume(Converted());
      if (fader_ && !fader_->FadesOut()) fader_->SetTarget(Converted());
      return;
    case PR_BALANCE: {
      const int32_t pan = std::clamp(value.Int, -10000, 10000);
      if (pan == old.Int) return;
      Store(code, TPropValue::OfInt(pan));
      if (item) item->SetPan(pan);
      return;
    }
    case PR_REPEAT:
      Store(code, value);
      if (item) item->SetAutoRepeat(value.Int != 0);
      return;
    case PR_INDEX:
      start_pos_ = value.Int;
      if (!item) return;
      item->SetPosition(value.Int);
      end_told_ = false;
      if (Running() && !item->IsPlaying()) item->Play();
      return;
    case PR_PAUSED:
    case PR_ANIPAUSED: {
      const bool was_running = Running();
      Store(code, value);
      if (!item || Running() == was_running) return;
      if (!Running())
        item->Pause();
      else if (mode_ == LP_PLAYFADE)
        StartFadeIn();
      else
        item->Play();
      return;
    }
    default:
      Store(code, value);
      return;
  }
}

void TQuenVideo::SaveToStream(TStream& s, int32_t version) const {
  TQuenCustomImage::SaveToStream(s, version);
  WriteString(s, Stored(PR_SOURCE).Str);
  for (bool b : {StoredBool(PR_REPEAT), StoredBool(PR_AUTOSCRAP), StoredBool(PR_PAUSED)})
    WriteByte(s, b ? 1 : 0);
  WriteInt32(s, StoredInt(PR_VOLUME));
  WriteInt32(s, StoredInt(PR_BALANCE));
  WriteInt32(s, StoredInt(PR_DELAY));
  WriteInt32(s, ReadOwn(PR_INDEX).Int);
  WriteByte(s, mode_);
  WriteString(s, Stored(PR_ONPLAYEND).Str);
  WriteString(s, Stored(PR_ONIDLE).Str);
  if (version > 107) WriteByte(s, StoredBool(PR_REWINDONLOAD) ? 1 : 0);
  if (version >= 112) WriteByte(s, Overlay() ? 1 : 0);
  if (version > 128) WriteByte(s, StoredBool(PR_MUTEONLOAD) ? 1 : 0);
}

void TQuenVideo::LoadFromStream(TStream& s, int32_t version) {
  TQuenCustomImage::LoadFromStream(s, version);
  const std::string source = ReadString(s);
  const bool repeat = ReadByte(s) != 0;
  const bool auto_scrap = ReadByte(s) != 0;
  const bool paused = ReadByte(s) != 0;
  int32_t volume = ReadInt32(s);
  const int32_t balance = ReadInt32(s);
  const int32_t delay = ReadInt32(s);
  const int32_t position = ReadInt32(s);
  uint8_t mode = ReadByte(s);
  if (mode > LP_STOPFADE) mode = LP_STOP;
  const std::string on_end = ReadString(s);
  const std::string on_idle = ReadString(s);
  const bool rewind = version > 107 && ReadByte(s) != 0;
  const bool overlay = version >= 112 ? ReadByte(s) != 0 : true;
  const bool mute = version > 128 && ReadByte(s) != 0;

  if (mute) volume = 0;
  Store(PR_REPEAT, TPropValue::OfBool(repeat));
  Store(PR_AUTOSCRAP, TPropValue::OfBool(auto_scrap));
  Store(PR_VOLUME, TPropValue::OfInt(volume));
  Store(PR_BALANCE, TPropValue::OfInt(std::clamp(balance, -10000, 10000)));
  Store(PR_DELAY, TPropValue::OfInt(0));
  Store(PR_ONPLAYEND, TPropValue::OfStr(on_end));
  Store(PR_ONIDLE, TPropValue::OfStr(on_idle));
  Store(PR_REWINDONLOAD, TPropValue::OfBool(rewind));
  Store(PR_OVERLAY, TPropValue::OfBool(overlay));
  Store(PR_MUTEONLOAD, TPropValue::OfBool(mute));
  WriteOwn(PR_SOURCE, TPropValue::OfStr(source));
  start_pos_ = rewind ? 0 : position;
  Store(PR_PAUSED, TPropValue::OfBool(paused));
  if (mode == LP_STOPFADE) SetPlayMode(LP_PLAY);
  Store(PR_DELAY, TPropValue::OfInt(delay));
  SetPlayMode(mode);
}

}  // namespace quen
