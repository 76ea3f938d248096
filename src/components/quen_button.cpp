#include "components/quen_button.h"

#include <algorithm>

#include "base/error.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "components/quen_base_list.h"
#include "components/quen_motion.h"
#include "components/vk_codes.h"
#include "files/host_path.h"

namespace quen {
namespace {

bool IsFilm(const std::string& source) {
  return sjis::EqualsNoCase(GameExtension(source), ".qmt");
}

}  // namespace

TQuenButton::TQuenButton(TQuenBaseList* owner)
    : TQuenImages(owner), hover_(this), pressed_(this), clicked_(this) {
  caption_.style.level = 0;
  caption_.SetItems({""});
}

void TQuenButton::DrawSelf(TCustomDIBX& target) {
  TQuenImages::DrawSelf(target);
  if (caption_.Items().front().empty() || alpha_ < 1 || alpha_ > 511) return;
  const TLabel* label = caption_.Label(0, target.BitCount());
  if (!label || label->width <= 0) return;
  const int32_t down = state_ == BS_PRESSED || state_ == BS_CLICKED ? 1 : 0;
  const int64_t x = int64_t{AbsLeft()} + (int64_t{Width()} - label->width) / 2 + down;
  const int64_t y = int64_t{AbsTop()} + (int64_t{Height()} - label->height) / 2 + down;
  if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) return;
  caption_.blend = alpha_;
  caption_.Draw(0, target, static_cast<int32_t>(x), static_cast<int32_t>(y), target.ClipRect());
}

TQuenImageList& TQuenButton::ListOf(int32_t state) {
  switch (state) {
    case BS_HOVER:
      return hover_;
    case BS_PRESSED:
      return pressed_;
    case BS_CLICKED:
      return clicked_;
    default:
      return frames_;
  }
}

bool TQuenButton::HasState(int32_t state) {
  return state == BS_NORMAL || ListOf(state).Count() > 0 || IsFilm(sources_[state & 3]);
}

void TQuenButton::SetState(int32_t state) {
  state &= 3;
  if (!HasState(state)) return;
  Invalidate();
  state_ = state;
  FreeMotion();
  ClearExternalPicture();
  UseList(ListOf(state));
  SetFinished(false);
  if (IsFilm(sources_[state])) {
    try {
      StartMotion(sources_[state]);
    } catch (const EQuenError&) {
      // A film that cannot be opened shows nothing in that state.
    }
  }
  list_->Countdown = 0;
  if (list_->Count() > 0) {
    list_->Index = -1;
    SetIndex(0);
  } else {
    list_->Index = -1;
    RecomputeSize();
  }
  Invalidate();
}

void TQuenButton::SetStateSource(int32_t state, const std::string& source) {
  state &= 3;
  sources_[state] = source;
  if (state == BS_NORMAL) source_ = source;
  TQuenImageList& list = ListOf(state);
  list.SetBrightness(frames_.Brightness());
  LoadInto(list, source);
  if (state == state_) SetState(state);
}

std::vector<TQuenButton*> TQuenButton::Group() {
  std::vector<TQuenButton*> out;
  if (group_ == 0 || !Parent()) return out;
  for (TQuenControl* c : Parent()->Children()) {
    auto* b = dynamic_cast<TQuenButton*>(c);
    if (b && !b->Name().empty() && b->group_ == group_) out.push_back(b);
  }
  return out;
}

void TQuenButton::GroupSelect(TQuenButton* changed) {
  std::vector<TQuenButton*> group = Group();
  if (group.empty()) return;
  TQuenButton* keep = changed && changed->selected_ ? changed : nullptr;
  for (TQuenButton* b : group)
    if (!keep && b->selected_) keep = b;
  if (!keep && !allow_all_up_) keep = group.front();
  // The siblings' fields are set here, not through their own writes, which would select
  // again in turn.
  for (TQuenButton* b : group) {
    if (b == keep) {
      if (b->selected_ && b->state_ == BS_PRESSED) continue;
      b->selected_ = true;
      b->SetState(BS_PRESSED);
    } else if (b->selected_) {
      b->selected_ = false;
      if (b->state_ == BS_PRESSED && !b->pressing_) b->SetState(BS_NORMAL);
    }
  }
}

void TQuenButton::SetSelected(bool selected) {
  if (group_ == 0) return;
  selected_ = selected;
  if (selected) SetState(BS_PRESSED);
  GroupSelect(this);
  if (!selected_ && state_ == BS_PRESSED && !pressing_) SetState(BS_NORMAL);
}

void TQuenButton::Click() {
  FireEvent(PR_ONNOTIFY, {}, false);
  if (group_ == 0) {
    return_state_ = state_ == BS_PRESSED || state_ == BS_CLICKED ? BS_NORMAL : state_;
    if (HasState(BS_CLICKED))
      SetState(BS_CLICKED);
    else if (PropBool(PR_AUTOSCRAP))
      scrap_ = true;
    return;
  }
  if (allow_all_up_ || !selected_) SetSelected(!selected_);
}

bool TQuenButton::ClickedEnded() {
  if (PropBool(PR_AUTOSCRAP)) return true;
  FireEvent(PR_ONPLAYEND, {}, false);
  SetState(return_state_);
  return false;
}

bool TQuenButton::PlayEnded() {
  if (state_ == BS_CLICKED) return ClickedEnded();
  // The other states' pictures end without scrapping the button.
  FireEvent(PR_ONPLAYEND, {}, false);
  return false;
}

bool TQuenButton::Update(int32_t frameMs) {
  if (scrap_) return true;
  if (state_ == BS_CLICKED) {
    if (TQuenMotion* m = GetMotion()) {
      TQuenCustomImage::Update(frameMs);
      return m->Finished() && ClickedEnded();
    }
    // A clicked picture of one frame ends once its time ran out.
    if (list_->Count() == 1 && !Finished()) {
      if (TQuenCustomImage::Update(frameMs)) return true;
      list_->Countdown =
          static_cast<int32_t>(std::max<int64_t>(int64_t{list_->Countdown} - frameMs, INT32_MIN));
      if (list_->Countdown >= 1) return false;
      SetFinished(true);
      return ClickedEnded();
    }
  }
  return TQuenImages::Update(frameMs);
}

bool TQuenButton::UnderPointer() {
  TQuenBase* root = Root();
  if (!root) return false;
  return root->HitTest(root->MouseX, root->MouseY, MaskOf(IM_NONE) | MaskOf(IM_RCLICK)) == this;
}

void TQuenButton::DoMouseMove(int32_t x, int32_t y) {
  TQuenImages::DoMouseMove(x, y);
  if (state_ == BS_CLICKED) return;
  if (pressing_)
    SetState(UnderPointer() || selected_ ? BS_PRESSED : BS_NORMAL);
  else if (IsPaused() || selected_)
    SetState(selected_ ? BS_PRESSED : BS_NORMAL);
  else if (state_ != BS_HOVER)
    SetState(BS_HOVER);
}

void TQuenButton::DoMouseOut(TQuenControl* newTarget) {
  TQuenImages::DoMouseOut(newTarget);
  if (state_ != BS_CLICKED) SetState(selected_ ? BS_PRESSED : BS_NORMAL);
}

void TQuenButton::DoLButtonDown(int32_t /*x*/, int32_t /*y*/) {
  const int32_t im = PropInt(PR_IGNOREMOUSE);
  if (!(im == IM_NONE || im == IM_RCLICK) || IsPaused() || state_ == BS_CLICKED) return;
  // The press is the button's own: no PR_ONLBTNDOWN.
  if (TQuenBase* root = Root()) root->Capture |= 4;
  SetState(BS_PRESSED);
  pressing_ = true;
}

void TQuenButton::DoLButtonUp(int32_t x, int32_t y) {
  const TQuenHandle self = Handle();
  TQuenImages::DoLButtonUp(x, y);
  if (pressing_ && UnderPointer()) Click();
  if (!owner_ || owner_->Resolve(self) != this) return;
  pressing_ = false;
  if (state_ != BS_CLICKED && (group_ == 0 || !selected_)) SetState(BS_NORMAL);
}

void TQuenButton::DoKeyRepeat(const std::vector<int32_t>& keys) {
  TQuenImages::DoKeyRepeat(keys);
  if (IsPaused()) return;
  if (std::find(keys.begin(), keys.end(), VK_RETURN) != keys.end() ||
      std::find(keys.begin(), keys.end(), VK_SPACE) != keys.end())
    Click();
}

void TQuenButton::RestoreSurfaces() {
  hover_.Refresh();
  pressed_.Refresh();
  clicked_.Refresh();
  TQuenImages::RestoreSurfaces();
}

TPropValue TQuenButton::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_HOVERSOURCE:
      return TPropValue::OfStr(sources_[BS_HOVER]);
    case PR_PRESSEDSOURCE:
      return TPropValue::OfStr(sources_[BS_PRESSED]);
    case PR_CLICKEDSOURCE:
      return TPropValue::OfStr(sources_[BS_CLICKED]);
    case PR_GROUPINDEX:
      return TPropValue::OfInt(group_);
    case PR_SELECTED:
      return TPropValue::OfBool(selected_);
    case PR_ALLOWALLUP:
      return TPropValue::OfBool(allow_all_up_);
    case PR_TEXT:
      return TPropValue::OfStr(caption_.Items().front());
    case PR_FONTNAME:
      return TPropValue::OfStr(caption_.style.face);
    case PR_FONTHEIGHT:
      return TPropValue::OfInt(caption_.style.height);
    case PR_FONTSTYLE:
      return TPropValue::OfInt(caption_.style.style);
    case PR_FONTCOLOR:
      return TPropValue::OfInt(caption_.style.color);
    case PR_ANTIALIAS:
      return TPropValue::OfBool(caption_.style.level != 0);
    default:
      return TQuenImages::ReadOwn(code);
  }
}

void TQuenButton::WriteOwn(uint8_t code, const TPropValue& value) {
  switch (code) {
    case PR_HOVERSOURCE:
      SetStateSource(BS_HOVER, value.Str);
      return;
    case PR_PRESSEDSOURCE:
      SetStateSource(BS_PRESSED, value.Str);
      return;
    case PR_CLICKEDSOURCE:
      SetStateSource(BS_CLICKED, value.Str);
      return;
    case PR_GROUPINDEX:
      group_ = value.Int;
      if (group_ != 0) GroupSelect(selected_ ? this : nullptr);
      return;
    case PR_SELECTED:
      SetSelected(value.Int != 0);
      return;
    case PR_ALLOWALLUP: {
      allow_all_up_ = value.Int != 0;
      for (TQuenButton* b : Group()) b->allow_all_up_ = allow_all_up_;
      if (!allow_all_up_) GroupSelect(nullptr);
      return;
    }
    case PR_TEXT:
      Invalidate();
      caption_.SetItems({value.Str});
      Invalidate();
      return;
    case PR_FONTNAME:
    case PR_FONTHEIGHT:
    case PR_FONTSTYLE:
    case PR_FONTCOLOR:
    case PR_ANTIALIAS: {
      TLabelStyle& st = caption_.style;
      if (code == PR_FONTNAME) st.face = value.Str;
      if (code == PR_FONTHEIGHT) st.height = value.Int;
      if (code == PR_FONTSTYLE) st.style = static_cast<uint8_t>(value.Int & 15);
      if (code == PR_FONTCOLOR) st.color = value.Int;
      if (code == PR_ANTIALIAS) st.level = value.Int != 0 ? 3 : 0;
      Invalidate();
      return;
    }
    case PR_BRIGHTNESS:
      for (int32_t s = BS_HOVER; s <= BS_CLICKED; ++s) ListOf(s).SetBrightness(value.Int);
      frames_.SetBrightness(value.Int);
      Invalidate();
      return;
    default:
      TQuenImages::WriteOwn(code, value);
      return;
  }
}

void TQuenButton::SaveToStream(TStream& s, int32_t version) const {
  TQuenImages::SaveToStream(s, version);
  WriteString(s, sources_[BS_HOVER]);
  WriteString(s, sources_[BS_PRESSED]);
  WriteInt32(s, group_);
  WriteBool(s, selected_);
  WriteBool(s, allow_all_up_);
  WriteString(s, PropStr(PR_ONNOTIFY));
  if (version > 103) {
    WriteString(s, PropStr(PR_ONIDLE));
    WriteString(s, sources_[BS_CLICKED]);
  }
  if (version > 136) caption_.SaveToStream(s);
}

void TQuenButton::LoadFromStream(TStream& s, int32_t version) {
  TQuenImages::LoadFromStream(s, version);
  const int32_t index = stored_index_, countdown = stored_countdown_;
  auto apply = [&](int32_t state) {
    if (std::string source = ReadString(s); !source.empty()) SetStateSource(state, source);
  };
  apply(BS_HOVER);
  apply(BS_PRESSED);
  group_ = ReadInt32(s);
  const bool selected = ReadBool(s);
  allow_all_up_ = ReadBool(s);
  TQuenImages::WriteOwn(PR_ONNOTIFY, TPropValue::OfStr(ReadString(s)));
  if (version > 103) {
    TQuenImages::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
    apply(BS_CLICKED);
  }
  if (version > 136) {
    caption_.LoadFromStream(s);
    // The caption is one item: the button's text.
    if (caption_.Count() != 1) RaiseReadError();
  }
  pressing_ = false;
  selected_ = selected && group_ != 0;
  if (selected_) SetState(BS_PRESSED);
  // The stored position belongs to the state the button showed, which is entered again.
  RestoreIndex(index, countdown);
}

}  // namespace quen
