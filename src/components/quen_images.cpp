#include "components/quen_images.h"

#include <algorithm>

#include "base/error.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "components/brix_collection.h"
#include "components/quen_base_list.h"
#include "components/quen_motion.h"
#include "expr/param_collection.h"
#include "files/host_path.h"

namespace quen {
namespace {

constexpr long double kTickMs = 16.666666666666668L;

int32_t AddSat(int32_t a, int64_t b) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{a} + b, INT32_MIN, INT32_MAX));
}

bool HasExtension(const std::string& name, const char* ext) {
  return sjis::EqualsNoCase(GameExtension(name), ext);
}

}  // namespace

// ---------------------------------------------------------------- TQuenCustomImages

TCustomDIBX* TQuenCustomImages::Picture() {
  if (HasExternalPicture()) return TQuenCustomImage::Picture();
  if (TQuenImageData* d = list_->Current()) return d->Surface();
  return TQuenCustomImage::Picture();
}

TCustomDIBX* TQuenCustomImages::PictureMask() {
  if (HasExternalPicture()) return TQuenCustomImage::PictureMask();
  if (TQuenImageData* d = list_->Current()) return d->Mask();
  return TQuenCustomImage::PictureMask();
}

TPoint TQuenCustomImages::PictureSize() const {
  if (!HasExternalPicture())
    if (TBrixItem* item = list_->Item())
      if (TBrixItemFrame* f = item->Frame(list_->Index))
        return {f->Surface.Width(), f->Surface.Height()};
  return TQuenCustomImage::PictureSize();
}

void TQuenCustomImages::LoadInto(TQuenImageList& list, const std::string& source) {
  list.Clear();
  if (HasExtension(source, ".brx")) list.Load(source, capture_mask_);
}

void TQuenCustomImages::SetSource(const std::string& source) {
  Invalidate();
  source_ = source;
  finished_ = false;
  FreeMotion();
  ClearExternalPicture();
  list_->Clear();
  if (HasExtension(source, ".qmt")) {
    try {
      StartMotion(source);
    } catch (const EQuenError&) {
      // A film that cannot be opened leaves the image without picture, as a missing file does.
    }
  } else {
    LoadInto(*list_, source);
  }
  if (list_->Count() > 0)
    SetIndex(0);
  else if (!GetMotion() && SizeFollowsPicture())
    SetBounds(Left(), Top(), 0, 0);
  Invalidate();
}

int32_t TQuenCustomImages::Index() const {
  if (TQuenMotion* m = GetMotion()) return m->Frame();
  return list_->Index;
}

int32_t TQuenCustomImages::FrameCount() const {
  if (TQuenMotion* m = GetMotion()) return m->FrameCount();
  return list_->Count();
}

void TQuenCustomImages::AddWait() {
  if (!wait_ || !owner_ || !owner_->ScriptVars() || !owner_->ScriptFuncs()) return;
  wait_->Execute(*owner_->ScriptVars(), *owner_->ScriptFuncs());
  if (TCustomParam* r = wait_->Result())
    list_->Countdown = AddSat(list_->Countdown, r->GetAsInteger());
}

void TQuenCustomImages::SetIndex(int32_t index) {
  if (TQuenMotion* m = GetMotion()) {
    m->SetCounter(index * kTickMs);
    return;
  }
  if (list_->Current()) Invalidate();
  list_->Index = index;
  if (TQuenImageData* d = list_->Current()) {
    ClearExternalPicture();
    list_->Countdown = AddSat(list_->Countdown, d->Time());
    if (index == list_->Count() - 1 && list_->Count() > 1) AddWait();
  }
  RecomputeSize();
  Invalidate();
}

void TQuenCustomImages::SetBrightness(int32_t b) {
  if (b == list_->Brightness()) return;
  list_->SetBrightness(b);
  Invalidate();
}

void TQuenCustomImages::Restart() {
  finished_ = false;
  if (GetMotion()) {
    RestartMotion();
    return;
  }
  if (list_->Count() == 0) return;
  list_->Countdown = 0;
  SetIndex(0);
}

bool TQuenCustomImages::Animate(int32_t frameMs) {
  if (GetMotion() || !list_->Current() || !Visible() || paused_ || PropBool(PR_ANIPAUSED))
    return false;
  const int32_t count = list_->Count();
  // A single frame has nothing to play: it never advances and never ends.
  if (count <= 1 || finished_) return false;
  if (list_->Countdown > 0) list_->Countdown = AddSat(list_->Countdown, -int64_t{frameMs});
  while (list_->Countdown < 1) {
    if (list_->Index < count - 1) {
      if (count <= 2) list_->Countdown = 0;
      SetIndex(list_->Index + 1);
      continue;
    }
    if (Repeats()) {
      list_->Countdown = 0;
      SetIndex(0);
      break;
    }
    finished_ = true;
    return PlayEnded();
  }
  return false;
}

void TQuenCustomImages::RestoreIndex(int32_t index, int32_t countdown) {
  if (GetMotion()) return;
  if (index != list_->Index) {
    list_->Countdown = 0;
    SetIndex(index);
  }
  list_->Countdown = countdown;
}

void TQuenCustomImages::ReleaseSurfaces() {
  list_->ReleaseSurfaces();
}

void TQuenCustomImages::RestoreSurfaces() {
  list_->Refresh();
  RecomputeSize();
  Invalidate();
}

TPropValue TQuenCustomImages::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_SOURCE:
      return TPropValue::OfStr(source_);
    case PR_INDEX:
      return TPropValue::OfInt(Index());
    case PR_COUNT:
      return TPropValue::OfInt(FrameCount());
    case PR_BRIGHTNESS:
      return TPropValue::OfInt(list_->Brightness());
    case PR_PAUSED:
      return TPropValue::OfBool(paused_);
    default:
      return TQuenCustomImage::ReadOwn(code);
  }
}

void TQuenCustomImages::WriteOwn(uint8_t code, const TPropValue& value) {
  switch (code) {
    case PR_SOURCE:
      SetSource(value.Str);
      return;
    case PR_INDEX:
      SetIndex(value.Int);
      return;
    case PR_COUNT:
      return;
    case PR_BRIGHTNESS:
      SetBrightness(value.Int);
      return;
    case PR_PAUSED:
      paused_ = value.Int != 0;
      return;
    case PR_CAPTUREMASK: {
      const bool was = capture_mask_;
      TQuenCustomImage::WriteOwn(code, value);
      // A hit mask is decoded only when asked for: fetch the picture again with it.
      TBrixItem* item = list_->Item();
      if (capture_mask_ && !was && item && !item->WantsMask()) {
        const int32_t index = list_->Index, countdown = list_->Countdown;
        LoadInto(*list_, source_);
        list_->Index = index;
        list_->Countdown = countdown;
        Invalidate();
      }
      return;
    }
    default:
      TQuenCustomImage::WriteOwn(code, value);
      return;
  }
}

void TQuenCustomImages::SaveToStream(TStream& s, int32_t version) const {
  TQuenCustomImage::SaveToStream(s, version);
  WriteInt32(s, list_->Countdown);
  WriteInt32(s, list_->Index);
  WriteInt32(s, list_->Brightness());
  WriteBool(s, paused_);
  if (wait_)
    wait_->SaveToStream(s);
  else
    TQuenParser().SaveToStream(s);
}

void TQuenCustomImages::LoadFromStream(TStream& s, int32_t version) {
  TQuenCustomImage::LoadFromStream(s, version);
  stored_countdown_ = ReadInt32(s);
  stored_index_ = ReadInt32(s);
  list_->SetBrightness(ReadInt32(s));
  paused_ = ReadBool(s);
  auto wait = std::make_unique<TQuenParser>();
  wait->LoadFromStream(s);
  wait_ = wait->Records().empty() ? nullptr : std::move(wait);
}

// ---------------------------------------------------------------- TQuenImages

bool TQuenImages::PlayEnded() {
  if (PropBool(PR_AUTOSCRAP)) return true;
  FireEvent(PR_ONPLAYEND, {}, false);
  return false;
}

bool TQuenImages::Update(int32_t frameMs) {
  if (TQuenCustomImage::Update(frameMs)) return true;
  return Animate(frameMs);
}

TPropValue TQuenImages::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_REPEAT:
      return TPropValue::OfBool(repeat_);
    case PR_PLAYING:
      return TPropValue::OfBool(
          !paused_ && !PropBool(PR_ANIPAUSED) &&
          (GetMotion() ? !GetMotion()->Finished() || repeat_ : repeat_ || !Finished()));
    default:
      return TQuenCustomImages::ReadOwn(code);
  }
}

void TQuenImages::WriteOwn(uint8_t code, const TPropValue& value) {
  if (code != PR_REPEAT) {
    TQuenCustomImages::WriteOwn(code, value);
    return;
  }
  repeat_ = value.Int != 0;
  const bool ended = GetMotion() ? GetMotion()->Finished() : Finished();
  if (repeat_ && ended) Restart();
}

void TQuenImages::SaveToStream(TStream& s, int32_t version) const {
  TQuenCustomImages::SaveToStream(s, version);
  WriteBool(s, repeat_);
  WriteBool(s, PropBool(PR_AUTOSCRAP));
  WriteString(s, source_);
  WriteString(s, PropStr(PR_ONPLAYEND));
  if (version > 103) WriteString(s, PropStr(PR_ONIDLE));
}

void TQuenImages::LoadFromStream(TStream& s, int32_t version) {
  TQuenCustomImages::LoadFromStream(s, version);
  repeat_ = ReadBool(s);
  TQuenCustomImages::WriteOwn(PR_AUTOSCRAP, TPropValue::OfBool(ReadBool(s)));
  // An image stored without picture keeps its stored size.
  if (std::string source = ReadString(s); !source.empty()) SetSource(source);
  TQuenCustomImages::WriteOwn(PR_ONPLAYEND, TPropValue::OfStr(ReadString(s)));
  if (version > 103) TQuenCustomImages::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
  RestoreIndex(stored_index_, stored_countdown_);
}

}  // namespace quen
