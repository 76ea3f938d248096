#include "components/quen_sound.h"

#include <algorithm>

#include "base/stream.h"
#include "components/media_host.h"
#include "components/quen_base_list.h"
#include "media/media_system.h"

namespace quen {

TMediaSystem* HostMedia(const IMediaHost* host) {
  return host ? const_cast<IMediaHost*>(host)->Media() : nullptr;
}

void TMediaLink::Release(const IMediaHost* host) {
  TDMediaItem* item = item_;
  TMediaManager* manager = manager_;
  item_ = nullptr;
  manager_ = nullptr;
  TMediaSystem* media = HostMedia(host);
  if (!item || !media) return;
  // The manager may have gone with the media layer (shut-down): its items went with it.
  const TMediaManager* live[] = {media->Ogg(), media->Wmp(), media->Cdda(), media->Midi(),
                                 media->Video()};
  if (std::find(std::begin(live), std::end(live), manager) == std::end(live)) return;
  for (const auto& held : manager->Items())
    if (held.get() == item) {
      manager->Remove(item);
      return;
    }
}

namespace {
bool IsCdName(const std::string& s) {
  return s.compare(0, 3, "CD_") == 0;
}
}  // namespace

TQuenSound::TQuenSound(TQuenBaseList* owner) : TQuenComponent(owner) {
  Store(PR_REWINDONLOAD, TPropValue::OfBool(false));
}

TQuenSound::~TQuenSound() {
  if (link_.Item()) link_.Item()->SetVolume(-10000);
  fader_.reset();
  Release();
}

IMediaHost* TQuenSound::Host() const {
  return owner_ ? owner_->MediaHost() : nullptr;
}

int32_t TQuenSound::Converted() const {
  return ConvertVolume(StoredInt(PR_VOLUME), link_.Item() && IsMidiItem(*link_.Item()));
}

void TQuenSound::Release() {
  fader_.reset();
  link_.Release(Host());
}

bool TQuenSound::Open() {
  if (link_.Item()) return true;
  const std::string source = Stored(PR_SOURCE).Str;
  IMediaHost* host = Host();
  if (!(host && host->EnsureFileAvailable(source)) && !IsCdName(source)) {
    if (StoredBool(PR_AUTOSCRAP) && owner_) owner_->Scrap(this);
    return false;
  }
  TMediaSystem* media = HostMedia(host);
  TMediaManager* manager = media ? media->ManagerFor(source) : nullptr;
  TDMediaItem* item = manager ? manager->Add(source) : nullptr;
  if (!item) return false;
  link_.Set(item, manager);
  item->SetPan(StoredInt(PR_BALANCE));
  if (start_pos_ > 0) item->SetPosition(start_pos_);
  return true;
}

void TQuenSound::StartFadeIn() {
  fader_ = std::make_unique<TQuenMixerFadein>(link_.Item(), Converted(), StoredInt(PR_DELAY));
}

void TQuenSound::SetPlayMode(uint8_t mode) {
  fader_.reset();
  finished_ = false;
  mode_ = mode;
  if (mode_ == LP_PLAYFADE && StoredInt(PR_DELAY) <= 0) mode_ = LP_PLAY;
  switch (mode_) {
    case LP_PLAY:
    case LP_PLAYFADE: {
      // On an open sound the write only cancels a running fade.
      if (link_.Item() || !Open()) return;
      TDMediaItem* item = link_.Item();
      item->SetAutoRepeat(StoredBool(PR_REPEAT));
      item->SetRepeatPos(StoredInt(PR_REPEATPOS));
      if (mode_ == LP_PLAY) {
        item->SetVolume(Converted());
        if (Held())
          item->Pause();
        else
          item->Play();
        if (start_pos_ > 0) item->SetPosition(start_pos_);
      } else if (!Held()) {
        StartFadeIn();
      }
      return;
    }
    case LP_STOP:
      if (!link_.Item()) return;
      Release();
      start_pos_ = 0;
      if (owner_) owner_->Scrap(this);
      return;
    case LP_STOPFADE:
      if (!link_.Item()) {
        if (owner_) owner_->Scrap(this);
        return;
      }
      fader_ = std::make_unique<TQuenMixerFadeout>(link_.Item(), StoredInt(PR_DELAY));
      start_pos_ = 0;
      TakeScrapName();
      return;
    default:
      return;
  }
}

void TQuenSound::TakeScrapName() {
  if (HasSystemName() || !owner_) return;
  const std::string base = std::string("\x01SCRAP_") + Name();
  std::string name = base;
  for (int n = 2;; ++n) {
    const TQuenObject* holder = owner_->FindByName(name);
    if (!holder || holder == this) break;
    name = base + "#" + std::to_string(n);
  }
  SetName(name);
}

void TQuenSound::Replay() {
  start_pos_ = 0;
  Store(PR_PAUSED, TPropValue::OfBool(false));
  finished_ = false;
  SetPlayMode(LP_PLAYFADE);
  TDMediaItem* item = link_.Item();
  if (!item) return;
  fader_.reset();
  if (StoredInt(PR_DELAY) <= 0) {
    item->SetVolume(Converted());
    item->SetPosition(0);
    if (!item->IsPlaying() && !Held()) item->Play();
  } else {
    item->Pause();
    item->SetVolume(-10000);
    item->SetPosition(0);
    if (!Held()) StartFadeIn();
  }
}

void TQuenSound::ApplyPause() {
  TDMediaItem* item = link_.Item();
  if (!item) return;
  if (Held()) {
    item->Pause();
    item->SetVolume(-10000);
  } else if (mode_ == LP_PLAYFADE) {
    StartFadeIn();
  } else {
    item->SetVolume(Converted());
    item->Play();
  }
}

bool TQuenSound::Update(int32_t /*frame_ms*/) {
  bool remove = false;
  TDMediaItem* item = link_.Item();
  if (item && item->IsEnd()) {
    if (StoredBool(PR_REPEAT)) {
      item->SetPosition(0);
    } else {
      finished_ = true;
      if (StoredBool(PR_AUTOSCRAP))
        remove = true;
      else
        FireEvent(PR_ONPLAYEND, {}, false);
    }
  }
  // An animation-paused sound is skipped by nobody else: its fader waits here, so a first step
  // never starts a held item.
  if (fader_ && !Held() && fader_->Advance(owner_ ? owner_->GameClock() : 0)) {
    const bool out = fader_->FadesOut();
    fader_.reset();
    if (out) remove = true;
  }
  return remove;
}

int32_t TQuenSound::Length() const {
  if (link_.Item()) return link_.Item()->GetLength();
  // Opened for the moment, through the manager the extension names.
  const std::string source = Stored(PR_SOURCE).Str;
  IMediaHost* host = Host();
  if (!(host && host->EnsureFileAvailable(source)) && !IsCdName(source)) return 0;
  TMediaSystem* media = HostMedia(host);
  TMediaManager* manager = media ? media->ManagerFor(source) : nullptr;
  TDMediaItem* item = manager ? manager->Add(source) : nullptr;
  if (!item) return 0;
  const int32_t length = item->GetLength();
  manager->Remove(item);
  return length;
}

TPropValue TQuenSound::ReadOwn(uint8_t code) const {
  TDMediaItem* item = link_.Item();
  switch (code) {
    case PR_INDEX:
      return TPropValue::OfInt(item ? item->GetPosition() : 0);
    case PR_PLAYING:
      return TPropValue::OfBool(item && item->IsPlaying());
    case PR_COUNT:
      return TPropValue::OfInt(Length());
    case PR_ANIPAUSED:
      return TPropValue::OfBool(false);
    default:
      return TQuenComponent::ReadOwn(code);
  }
}

void TQuenSound::WriteOwn(uint8_t code, const TPropValue& value) {
  TDMediaItem* item = link_.Item();
  const TPropValue old = Stored(code);
  switch (code) {
    case PR_SOURCE:
      if (value.Str == old.Str) return;
      Release();
      Store(code, value);
      mode_ = LP_STOP;
      Store(PR_PAUSED, TPropValue::OfBool(false));
      start_pos_ = 0;
      finished_ = false;
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
    case PR_REPEATPOS:
      if (value.Int == old.Int) return;
      Store(code, value);
      if (item) item->SetRepeatPos(value.Int);
      return;
    case PR_REPEAT:
      Store(code, value);
      if (!item) return;
      item->SetAutoRepeat(value.Int != 0);
      if (value.Int != 0 && !Held() && item->GetPosition() >= item->GetLength() - 1) {
        item->SetPosition(0);
        finished_ = false;
      }
      return;
    case PR_INDEX:
      start_pos_ = value.Int;
      if (!item) return;
      item->SetPosition(value.Int);
      finished_ = false;
      if (!Held() && !item->IsPlaying()) item->Play();
      return;
    case PR_PAUSED:
      if ((value.Int != 0) == old.Int) return;
      Store(code, value);
      ApplyPause();
      return;
    case PR_ANIPAUSED:
      if ((value.Int != 0) == ani_paused_) return;
      ani_paused_ = value.Int != 0;
      ApplyPause();
      return;
    default:
      Store(code, value);
      return;
  }
}

void TQuenSound::SaveToStream(TStream& s, int32_t version) const {
  TQuenComponent::SaveToStream(s, version);
  const bool repeat = StoredBool(PR_REPEAT);
  WriteString(s, Stored(PR_SOURCE).Str);
  for (bool b : {repeat, StoredBool(PR_AUTOSCRAP), StoredBool(PR_PAUSED), ani_paused_, finished_})
    WriteByte(s, b ? 1 : 0);
  WriteInt32(s, StoredInt(PR_VOLUME));
  WriteInt32(s, StoredInt(PR_BALANCE));
  WriteInt32(s, StoredInt(PR_DELAY));
  WriteInt32(s, ReadOwn(PR_INDEX).Int);
  // A short effect that was playing once is not heard again after a load.
  uint8_t mode = mode_;
  if (!repeat && (mode == LP_PLAY || mode == LP_PLAYFADE) && Length() <= 2999) mode = LP_STOP;
  WriteByte(s, mode);
  WriteString(s, Stored(PR_ONPLAYEND).Str);
  if (version > 107) WriteByte(s, StoredBool(PR_REWINDONLOAD) ? 1 : 0);
  if (version > 128) WriteByte(s, StoredBool(PR_MUTEONLOAD) ? 1 : 0);
  if (version > 137) WriteInt32(s, StoredInt(PR_REPEATPOS));
}

void TQuenSound::LoadFromStream(TStream& s, int32_t version) {
  TQuenComponent::LoadFromStream(s, version);
  const std::string source = ReadString(s);
  const bool repeat = ReadByte(s) != 0;
  const bool auto_scrap = ReadByte(s) != 0;
  const bool paused = ReadByte(s) != 0;
  const bool ani_paused = ReadByte(s) != 0;
  const bool finished = ReadByte(s) != 0;
  int32_t volume = ReadInt32(s);
  const int32_t balance = ReadInt32(s);
  const int32_t delay = ReadInt32(s);
  const int32_t position = ReadInt32(s);
  uint8_t mode = ReadByte(s);
  if (mode > LP_STOPFADE) mode = LP_STOP;
  const std::string on_end = ReadString(s);
  const bool rewind = version > 107 && ReadByte(s) != 0;
  const bool mute = version > 128 && ReadByte(s) != 0;
  const int32_t repeat_pos = version > 137 ? ReadInt32(s) : 0;

  if (mute) volume = 0;
  Store(PR_REPEAT, TPropValue::OfBool(repeat));
  Store(PR_AUTOSCRAP, TPropValue::OfBool(auto_scrap));
  Store(PR_VOLUME, TPropValue::OfInt(volume));
  Store(PR_BALANCE, TPropValue::OfInt(std::clamp(balance, -10000, 10000)));
  Store(PR_DELAY, TPropValue::OfInt(0));
  Store(PR_ONPLAYEND, TPropValue::OfStr(on_end));
  Store(PR_REWINDONLOAD, TPropValue::OfBool(rewind));
  Store(PR_MUTEONLOAD, TPropValue::OfBool(mute));
  Store(PR_REPEATPOS, TPropValue::OfInt(repeat_pos));
  WriteOwn(PR_SOURCE, TPropValue::OfStr(source));
  start_pos_ = rewind ? 0 : position;
  Store(PR_PAUSED, TPropValue::OfBool(paused));
  ani_paused_ = ani_paused;
  finished_ = finished;
  // A fade-out needs an open item to fade.
  if (mode == LP_STOPFADE) SetPlayMode(LP_PLAY);
  Store(PR_DELAY, TPropValue::OfInt(delay));
  if (finished) {
    mode_ = mode;
    finished_ = true;
  } else {
    SetPlayMode(mode);
    finished_ = false;
  }
  if (paused || ani_paused) ApplyPause();
}

}  // namespace quen
