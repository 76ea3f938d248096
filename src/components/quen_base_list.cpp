#include "components/quen_base_list.h"

#include <algorithm>

#include "base/error.h"
#include "base/stream.h"
#include "components/base_panel.h"
#include "components/brix_collection.h"
#include "components/message_target.h"
#include "components/messages.h"
#include "components/quen_kinds.h"
#include "components/quen_motion.h"
#include "expr/custom_param.h"
#include "media/screen_manager.h"

namespace quen {

// ---------------------------------------------------------------- TQuenBase

TQuenBase::TQuenBase(TQuenBaseList* owner, int index) : TQuenControl(owner), index_(index) {}

TCustomDIBX* TQuenBase::GetSurface() {
  if (index_ == owner_->ActiveIndex() && !owner_->TransitionRunning()) return &owner_->Screen();
  return &surface_;
}

void TQuenBase::AddDirtyRect(const TRect& r) {
  const TRect c = r.Intersect(TRect{0, 0, Width(), Height()});
  if (!c.IsEmpty()) dirty_.Add(c);
}

void TQuenBase::ResizeSurface() {
  if (Width() <= 0 || Height() <= 0) {
    surface_.Clear();
    return;
  }
  TCustomDIBX& screen = owner_->Screen();
  const int32_t bits = screen.IsEmpty() ? 32 : screen.BitCount();
  if (surface_.Width() != Width() || surface_.Height() != Height() || surface_.BitCount() != bits)
    surface_.SetSize(Width(), Height(), bits);
}

void TQuenBase::RestoreSurfaces() {
  ResizeSurface();
  AddFullDirtyRect();
}

void TQuenBase::WriteOwn(uint8_t code, const TPropValue& value) {
  TQuenControl::WriteOwn(code, value);
  if (code == PR_WIDTH || code == PR_HEIGHT) ResizeSurface();
}

void TQuenBase::DrawRoot() {
  if (!Visible()) return;
  TCustomDIBX* s = GetSurface();
  if (!s || s->IsEmpty()) return;
  const TRect saved = s->UpdateRect();
  const TRect whole{0, 0, s->Width(), s->Height()};
  const TColor color = PropInt(PR_COLOR);
  for (const TRect& dirty : dirty_.Rects()) {
    const TRect r = dirty.Intersect(whole);
    if (r.IsEmpty()) continue;
    SetSurfaceClip(*s, r);
    if (color >= 0) {
      TRect fill = HitRect();
      if (ClipActive()) fill = fill.Intersect(ClipRect());
      fill = fill.Intersect(r);
      if (!fill.IsEmpty()) s->FillRect(fill, static_cast<uint32_t>(s->ColorToPixel(color)));
    }
    DrawChildren(*s);
  }
  SetSurfaceClip(*s, saved);
}

void TQuenBase::MousePass() {
  TQuenBaseList& reg = *owner_;
  const bool ldown = LeftDown;
  bool rdown = RightDown;
  const bool wdown = WheelDown, wup = WheelUp;
  LeftDown = RightDown = WheelDown = WheelUp = false;

  if (rdown) {
    const std::vector<TQuenHandle> list = reg.rclick_;
    for (TQuenHandle h : list) {
      TQuenControl* c = reg.ResolveControl(h);
      if (!c || !c->PropBool(PR_RCLICKSCRAP) || !c->Visible() || c->Root() != this ||
          c->IsPaused() || c->InCabinet())
        continue;
      const int32_t im = c->PropInt(PR_IGNOREMOUSE);
      if (im != IM_NONE && im != IM_LCLICK) continue;
      if (c->ConsumeRightClick()) {
        rdown = false;
        break;
      }
    }
  }

  if (Capture != 0) {
    if (TQuenControl* t = reg.ResolveControl(MouseTarget)) {
      const TQuenHandle th = MouseTarget;
      if (Capture & 4) {
        if (!LeftPressed) {
          t->DoLButtonUp(MouseX, MouseY);
          Capture &= static_cast<uint8_t>(~4);
        }
      } else if ((Capture & 8) && !RightPressed) {
        t->DoRButtonUp(MouseX, MouseY);
        Capture &= static_cast<uint8_t>(~8);
      }
      if (Moved)
        if (TQuenControl* t2 = reg.ResolveControl(th)) t2->DoMouseMove(MouseX, MouseY);
      if (TQuenControl* t3 = reg.ResolveControl(th)) t3->DoMouseHold();
      Moved = false;
      return;
    }
  }

  TMouseMask mask;
  if (ldown)
    mask = MaskOf(IM_NONE) | MaskOf(IM_RCLICK);
  else if (rdown)
    mask = MaskOf(IM_NONE) | MaskOf(IM_LCLICK);
  else
    mask = MaskOf(IM_NONE) | MaskOf(IM_CLICK) | MaskOf(IM_LCLICK) | MaskOf(IM_RCLICK);
  Capture = 0;
  TQuenControl* hit = HitTest(MouseX, MouseY, mask);
  const TQuenHandle th = hit ? hit->Handle() : TQuenHandle{};

  if (hit && reg.cursor_host_) {
    std::string file = hit->GetEffectiveCursor();
    if (file.empty()) file = reg.default_cursor_;
    if (!file.empty()) {
      if (file != CursorFile || !ShowingFileCursor) {
        reg.cursor_host_->ShowFileCursor(file);
        CursorFile = file;
        ShowingFileCursor = true;
      }
    } else if (ShowingFileCursor) {
      reg.cursor_host_->ShowArrow();
      ShowingFileCursor = false;
    }
  }

  if (hit) {
    if (ldown) {
      hit->DoLButtonDown(MouseX, MouseY);
      hit = reg.ResolveControl(th);
      if (hit && !hit->IsPaused() && hit->PropBool(PR_HANDLEKEY)) reg.SetFocus(hit);
    } else if (rdown) {
      hit->DoRButtonDown(MouseX, MouseY);
    } else if (wdown || wup) {
      hit->DoWheel(wdown);
    }
    hit = reg.ResolveControl(th);
  }

  const bool changed = !(MouseTarget == th);
  TQuenControl* prev = reg.ResolveControl(MouseTarget);
  if (prev && prev != hit) {
    prev->DoMouseOut(hit);
    hit = reg.ResolveControl(th);
    prev = reg.ResolveControl(MouseTarget);
  }
  if (hit && (Moved || changed)) {
    if (changed) {
      hit->DoMouseIn(prev);
      hit = reg.ResolveControl(th);
    }
    if (hit) hit->DoMouseMove(MouseX, MouseY);
    hit = reg.ResolveControl(th);
  }
  MouseTarget = hit ? hit->Handle() : TQuenHandle{};
  Moved = false;
}

// ---------------------------------------------------------------- TQuenBaseList

TQuenBaseList::TQuenBaseList() : TQuenComponent(nullptr) {
  MakeRoots();
  SetSize(8, 8);
}

TQuenBaseList::~TQuenBaseList() {
  resetting_ = true;
  transition_.reset();
  while (!list_.empty()) Destroy(list_.back());
  names_.clear();
  unique_hint_.clear();
  FreeRoots();
}

void TQuenBaseList::MakeRoots() {
  for (int i = 0; i < 2; ++i) {
    roots_[i] = std::make_unique<TQuenBase>(this, i);
    TQuenBase& r = *roots_[i];
    r.handle_ = TQuenHandle{next_id_++};
    r.name_ = RootName(i);
    by_id_[r.handle_.Id] = &r;
  }
}

void TQuenBaseList::FreeRoots() {
  for (auto& r : roots_) {
    if (!r) continue;
    while (!r->children_.empty()) Destroy(r->children_.back());
    by_id_.erase(r->handle_.Id);
    r.reset();
  }
}

bool TQuenBaseList::Carries(uint8_t code) const {
  return code == PR_WIDTH || code == PR_HEIGHT || code == PR_COLOR;
}

TPropValue TQuenBaseList::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_WIDTH:
      return TPropValue::OfInt(width_);
    case PR_HEIGHT:
      return TPropValue::OfInt(height_);
    default:
      return TPropValue::OfInt(roots_[0]->PropInt(PR_COLOR));
  }
}

void TQuenBaseList::WriteOwn(uint8_t code, const TPropValue& value) {
  switch (code) {
    case PR_WIDTH:
      SetSize(value.Int, height_);
      return;
    case PR_HEIGHT:
      SetSize(width_, value.Int);
      return;
    default:
      roots_[0]->WriteProp(PR_COLOR, value);
      roots_[1]->WriteProp(PR_COLOR, value);
      return;
  }
}

std::unique_ptr<TQuenObject> TQuenBaseList::MakeComponent(uint8_t type, TQuenBaseList* owner) {
  switch (type & 0x7F) {
    case LT_BOX:
      return std::make_unique<TQuenBox>(owner);
    case LT_BUTTON:
      return std::make_unique<TQuenButton>(owner);
    case LT_CINEMA:
      return std::make_unique<TQuenCinema>(owner);
    case LT_EDIT:
      return std::make_unique<TQuenEdit>(owner);
    case LT_FIRE:
      return std::make_unique<TQuenFire>(owner);
    case LT_HTTP:
      return std::make_unique<TQuenHttp>(owner);
    case LT_IMAGES:
      return std::make_unique<TQuenImages>(owner);
    case LT_LABEL:
      return std::make_unique<TQuenLabel>(owner);
    case LT_MEMO:
      return std::make_unique<TQuenMemo>(owner);
    case LT_MENU:
      return std::make_unique<TQuenMenu>(owner);
    case LT_MES:
      return std::make_unique<TQuenMes>(owner);
    case LT_PARTICLE:
      return std::make_unique<TQuenParticle>(owner);
    case LT_TIMER:
      return std::make_unique<TQuenTimer>(owner);
    case LT_VIDEO:
      return std::make_unique<TQuenVideo>(owner);
    case LT_SOUND:
      return std::make_unique<TQuenSound>(owner);
    case LT_MAPIMG:
      return std::make_unique<TQuenMapImage>(owner);
    case LT_WAVE:
      return std::make_unique<TQuenWave>(owner);
    case LT_TILE:
      return std::make_unique<TQuenTile>(owner);
    case LT_SLIDER:
      return std::make_unique<TQuenSlider>(owner);
    case LT_SCROLLBAR:
      return std::make_unique<TQuenScrollbar>(owner);
    case LT_GAUGE:
      return std::make_unique<TQuenGauge>(owner);
    case LT_CGLABEL:
      return std::make_unique<TQuenCGLabel>(owner);
    case LT_PREVMENU:
      return std::make_unique<TQuenPrevMenu>(owner);
    case LT_PROPMOTION:
      return std::make_unique<TQuenPropMotion>(owner);
    case LT_CABINET:
      return std::make_unique<TQuenCabinet>(owner);
    default:
      return nullptr;
  }
}

TQuenObject* TQuenBaseList::CreateComponent(uint8_t type) {
  auto o = MakeComponent(type, this);
  return o ? Adopt(std::move(o)) : nullptr;
}

TQuenObject* TQuenBaseList::Adopt(std::unique_ptr<TQuenObject> o) {
  TQuenObject* p = o.get();
  p->handle_ = TQuenHandle{next_id_++};
  if (!loading_ && p->WantsAutoName()) p->name_ = UniqueName("object");
  by_id_[p->handle_.Id] = p;
  owned_[p->handle_.Id] = std::move(o);
  list_.push_back(p);
  IndexName(*p, std::string());
  if (p->AsControl() && !Focus()) focus_stale_ = true;
  return p;
}

TQuenObject* TQuenBaseList::Resolve(TQuenHandle h) const {
  if (!h) return nullptr;
  auto it = by_id_.find(h.Id);
  return it == by_id_.end() ? nullptr : it->second;
}

TQuenControl* TQuenBaseList::ResolveControl(TQuenHandle h) const {
  TQuenObject* o = Resolve(h);
  return o ? o->AsControl() : nullptr;
}

TQuenObject* TQuenBaseList::FindByName(std::string_view name) const {
  if (name.empty()) {
    for (TQuenObject* o : list_)
      if (o->name_.empty()) return o;
    return nullptr;
  }
  auto it = names_.find(name);
  return it == names_.end() ? nullptr : it->second.front();
}

TQuenObject* TQuenBaseList::FindComponent(std::string_view name) const {
  if (name.empty() || name == RootName(0)) return &ActiveRoot();
  if (name == "\x01" || name == RootName(1)) return &InactiveRoot();
  if (auto it = names_.find(name); it != names_.end())
    for (TQuenObject* o : it->second)
      if (!o->scrapped_) return o;
  return nullptr;
}

TQuenControl* TQuenBaseList::FindParentControl(std::string_view name) const {
  if (name.empty()) return &ActiveRoot();
  if (name == "\x01") return &InactiveRoot();
  if (name == RootName(0)) return roots_[0].get();
  if (name == RootName(1)) return roots_[1].get();
  if (auto it = names_.find(name); it != names_.end())
    for (TQuenObject* o : it->second)
      if (!o->scrapped_ && o->AsControl()) return o->AsControl();
  return nullptr;
}

std::string TQuenBaseList::UniqueName(std::string_view stem) const {
  auto hint = unique_hint_.find(stem);
  if (hint == unique_hint_.end()) hint = unique_hint_.emplace(std::string(stem), 0).first;
  for (int64_t n = hint->second;; ++n) {
    std::string candidate = std::string(stem) + std::to_string(n);
    if (!names_.count(candidate)) {
      hint->second = n;
      return candidate;
    }
  }
}

void TQuenBaseList::SetObjectName(TQuenObject& o, std::string name) {
  if (name == o.name_) return;
  std::string old = std::move(o.name_);
  o.name_ = std::move(name);
  IndexName(o, old);
}

void TQuenBaseList::IndexName(TQuenObject& o, const std::string& old_name) {
  if (!old_name.empty()) {
    if (auto it = names_.find(old_name); it != names_.end()) {
      std::erase(it->second, &o);
      if (it->second.empty()) names_.erase(it);
    }
    // A freed stem + n lowers that stem's hint, so UniqueName still gives the smallest free n.
    size_t digits = old_name.size();
    while (digits > 0 && old_name[digits - 1] >= '0' && old_name[digits - 1] <= '9') --digits;
    for (size_t at = digits; at < old_name.size() && !unique_hint_.empty(); ++at) {
      if (old_name[at] == '0' && at + 1 < old_name.size()) continue;  // not how numbers print
      const std::string_view number = std::string_view(old_name).substr(at);
      if (number.size() > 18) continue;
      auto hint = unique_hint_.find(std::string_view(old_name).substr(0, at));
      if (hint == unique_hint_.end()) continue;
      int64_t n = 0;
      for (char c : number) n = n * 10 + (c - '0');
      hint->second = std::min(hint->second, n);
    }
  }
  if (o.name_.empty() || o.IsRoot() || Resolve(o.handle_) != &o) return;
  std::vector<TQuenObject*>& bucket = names_[o.name_];
  auto at = std::lower_bound(
      bucket.begin(), bucket.end(), &o,
      [](const TQuenObject* a, const TQuenObject* b) { return a->handle_.Id < b->handle_.Id; });
  if (at == bucket.end() || *at != &o) bucket.insert(at, &o);
}

int32_t TQuenBaseList::ListComponents(std::vector<std::string>& out, uint8_t type,
                                      const TQuenObject* parent) const {
  int32_t added = 0;
  for (TQuenObject* o : list_) {
    if (o->scrapped_) continue;
    if (type != LT_NONE && o->CompoType() != type) continue;
    if (parent != this) {
      const TQuenControl* c = o->AsControl();
      if (!c || c->Parent() != parent) continue;
    }
    out.push_back(o->name_);
    ++added;
  }
  return added;
}

void TQuenBaseList::Scrap(TQuenObject* o) {
  if (!o || o->IsRoot() || o->scrapped_ || !IsRegistered(o)) return;
  TQuenControl* c = o->AsControl();
  if (c) c->Invalidate();
  o->scrapped_ = true;
  SetObjectName(*o, std::string());
  scrap_.push_back(o->handle_);
  if (c && c->Parent()) c->Parent()->ReorderChild(c);
}

void TQuenBaseList::Destroy(TQuenObject* o) {
  if (!o || (o->IsRoot() && !resetting_) || !IsRegistered(o)) return;
  const TQuenHandle h = o->handle_;
  if (TQuenControl* c = o->AsControl()) {
    while (!c->children_.empty()) Destroy(c->children_.back());
    c->Invalidate();
    if (c->parent_) {
      c->parent_->RemoveChild(c);
      c->parent_ = nullptr;
    }
    c->motion_.reset();
    if (focus_ == h) {
      focus_ = {};
      focus_stale_ = true;
    }
    std::erase(rclick_, h);
  }
  events_.RemoveWaitingOf(h);
  std::erase(scrap_, h);
  SetObjectName(*o, std::string());
  auto it = std::find(list_.begin(), list_.end(), o);
  if (it != list_.end()) {
    const size_t index = static_cast<size_t>(it - list_.begin());
    list_.erase(it);
    if (walking_ && index < walk_) --walk_;
  }
  by_id_.erase(h.Id);
  owned_.erase(h.Id);
}

void TQuenBaseList::SetSize(int32_t width, int32_t height) {
  width_ = width;
  height_ = height;
  if (!screen_) {
    if (width > 0 && height > 0)
      own_screen_.SetSize(width, height, 32);
    else
      own_screen_.Clear();
  }
  for (auto& r : roots_) {
    r->WriteProp(PR_WIDTH, TPropValue::OfInt(width));
    r->WriteProp(PR_HEIGHT, TPropValue::OfInt(height));
  }
}

void TQuenBaseList::EndTransition() {
  transition_.reset();
  if (transition_type_ != 0) {
    transition_type_ = 0;
    for (auto& r : roots_) r->AddFullDirtyRect();
  }
}

bool TQuenBaseList::StartTransition(int index, int32_t type, int32_t duration, bool force,
                                    int32_t /*param1*/, int32_t param2) {
  const int previous = active_;
  const bool wasRunning = TransitionRunning();
  bool made = false;
  active_ = index & 1;
  if (force || (type != 0 && !transition_)) {
    transition_.reset();
    for (auto& r : roots_) r->AddFullDirtyRect();
    if (type != 0) {
      TQuenBase& now = ActiveRoot();
      TQuenBase& other = InactiveRoot();
      // A root that drew straight to the screen has an outdated surface of its own.
      if (previous == active_ && !wasRunning && !now.OwnSurface().IsEmpty())
        now.OwnSurface().Draw(0, 0, false, false, false,
                              TRect{0, 0, Screen().Width(), Screen().Height()}, Screen());
      if (transition_factory_)
        transition_ = transition_factory_(type, Screen(), now.OwnSurface(), other.OwnSurface());
      if (transition_) {
        transition_->SetDuration(duration);
        made = true;
      }
      TQuenControl* f = Focus();
      if (!f || f->Root() != &now) {
        focus_ = {};
        focus_stale_ = true;
      }
    }
  }
  // Without a transition object nothing would ever reach the screen again.
  transition_type_ = transition_ ? type : 0;
  if (transition_) transition_->SetReverse(param2 != 0);
  return made;
}

void TQuenBaseList::Feed(const TInputEvent& e) {
  switch (e.Kind) {
    case TInputKind::MouseDown:
      if (e.Button == TMouseButton::Left) {
        for (auto& r : roots_) {
          r->LeftPressed = true;
          r->RightPressed = false;
        }
        ActiveRoot().LeftDown = true;
      } else if (e.Button == TMouseButton::Right) {
        for (auto& r : roots_) {
          r->RightPressed = true;
          r->LeftPressed = false;
        }
        ActiveRoot().RightDown = true;
      }
      return;
    case TInputKind::MouseUp:
      for (auto& r : roots_) r->LeftPressed = r->RightPressed = false;
      return;
    case TInputKind::MouseMove:
      for (auto& r : roots_) {
        if (r->MouseX != e.X || r->MouseY != e.Y) r->Moved = true;
        r->MouseX = e.X;
        r->MouseY = e.Y;
      }
      return;
    case TInputKind::Wheel:
      if (e.WheelDelta < 0) ActiveRoot().WheelDown = true;
      if (e.WheelDelta > 0) ActiveRoot().WheelUp = true;
      return;
    case TInputKind::KeyDown:
      if (e.Key < 0 || e.Key >= 256) return;
      if (TQuenControl* f = Focus(); f && f->TakesKeyboard()) {
        f->KeyInput(e.Key, true);
        return;
      }
      if (e.AutoRepeat) return;
      KeyDown(e.Key);
      key_pushed_[static_cast<size_t>(e.Key)] = 1;
      return;
    case TInputKind::KeyUp:
      if (e.Key < 0 || e.Key >= 256) return;
      if (TQuenControl* f = Focus();
          f && f->TakesKeyboard() && !key_pressed_[static_cast<size_t>(e.Key)]) {
        f->KeyInput(e.Key, false);
        return;
      }
      KeyUp(e.Key);
      return;
    case TInputKind::Text:
      // Typed characters go to the control that has the keyboard focus, if it takes text.
      if (TQuenControl* f = Focus(); f && !e.Text.empty()) f->TextInput(e.Text);
      return;
    case TInputKind::Composition:
      if (TQuenControl* f = Focus()) f->CompositionInput(e.Text);
      return;
  }
}

void TQuenBaseList::KeyDown(int key) {
  const size_t k = static_cast<size_t>(key);
  if (key_pressed_[k]) return;
  key_pressed_[k] = 1;
  key_repeat_[k] = 1;
  repeat_countdown_[k] = kRepeatDelay;
  any_down_ = any_repeat_ = true;
  keys_down_.push_back(key);
  keys_repeated_.push_back(key);
}

void TQuenBaseList::KeyUp(int key) {
  const size_t k = static_cast<size_t>(key);
  if (!key_pressed_[k]) return;
  key_pressed_[k] = 0;
  key_repeat_[k] = 0;
  any_up_ = true;
  keys_up_.push_back(key);
}

void TQuenBaseList::SetFocus(TQuenControl* c) {
  TQuenControl* old = Focus();
  if (c == old) {
    focus_stale_ = false;
    return;
  }
  if (old && !old->PropStr(PR_ONFOCUSOUT).empty() && !old->Name().empty())
    old->FireEvent(PR_ONFOCUSOUT, {}, false);
  focus_ = c ? c->Handle() : TQuenHandle{};
  if (c) c->FireEvent(PR_ONFOCUSIN, {}, false);
  focus_stale_ = false;
  if (TQuenControl* now = Focus()) now->FocusReceived();
}

void TQuenBaseList::FireKeys() {
  TQuenControl* f = Focus();
  if (!f || !f->PropBool(PR_HANDLEKEY)) return;
  const TQuenHandle h = f->Handle();
  if (any_down_) f->DoKeyDown(keys_down_);
  if (any_repeat_)
    if (TQuenControl* g = ResolveControl(h)) g->DoKeyRepeat(keys_repeated_);
  if (any_up_)
    if (TQuenControl* g = ResolveControl(h)) g->DoKeyUp(keys_up_);
}

void TQuenBaseList::ProcessInput(int32_t frameMs) {
  frame_ms_ = frameMs;
  if (focus_stale_) {
    SetFocus(ActiveRoot().FindKeyTarget());
    focus_stale_ = false;
  }
  key_pushed_last_ = key_pushed_;
  key_pushed_.fill(0);
  key_repeat_last_ = key_repeat_;
  ActiveRoot().MousePass();
  FireKeys();
  any_down_ = any_up_ = any_repeat_ = false;
  keys_down_.clear();
  keys_up_.clear();
  keys_repeated_.clear();
  for (int k = 0; k < 256; ++k) {
    const size_t i = static_cast<size_t>(k);
    if (!key_pressed_[i]) continue;
    int64_t left = int64_t{repeat_countdown_[i]} - frameMs;
    key_repeat_[i] = left <= 0;
    if (left <= 0) {
      left += kRepeatInterval;
      any_repeat_ = true;
      keys_repeated_.push_back(k);
    }
    repeat_countdown_[i] =
        static_cast<int32_t>(std::clamp<int64_t>(left, -kRepeatDelay, kRepeatDelay));
  }
}

void TQuenBaseList::UpdateAll(int32_t frameMs) {
  frame_ms_ = frameMs;
  for (auto& r : roots_) r->Update(frameMs);
  walking_ = true;
  for (walk_ = 0; walk_ < list_.size();) {
    TQuenObject* o = list_[walk_];
    const TQuenHandle h = o->Handle();
    if (!o->PropStr(PR_ONIDLE).empty() && !o->InCabinet() && !o->IsEventBlocked())
      o->FireEvent(PR_ONIDLE, {}, true);
    const bool skip = o->IsPaused() || o->IsScrapped() || o->InCabinet();
    const bool remove = !skip && o->Update(frameMs);
    // Gone during its own step: the entries after it have already moved up.
    if (Resolve(h) != o) continue;
    if (!remove) {
      ++walk_;
      continue;
    }
    Destroy(o);
  }
  walking_ = false;
  // Destroying a scrapped parent takes its scrapped children with it; they leave this list
  // as they go, so nothing is destroyed twice.
  while (!scrap_.empty()) {
    const TQuenHandle h = scrap_.front();
    scrap_.erase(scrap_.begin());
    if (TQuenObject* o = Resolve(h)) Destroy(o);
  }
}

void TQuenBaseList::DrawAll() {
  transition_rect_ = TRect{};
  roots_[0]->DrawRoot();
  roots_[1]->DrawRoot();
  if (transition_) {
    transition_->Step();
    transition_rect_ = transition_->ChangedRect();
  }
}

void TQuenBaseList::ClearKeyboardState() {
  key_pressed_.fill(0);
  key_pushed_.fill(0);
  key_pushed_last_.fill(0);
  key_repeat_.fill(0);
  key_repeat_last_.fill(0);
  repeat_countdown_.fill(0);
  any_down_ = any_up_ = any_repeat_ = false;
  keys_down_.clear();
  keys_up_.clear();
  keys_repeated_.clear();
}

std::vector<TRect> TQuenBaseList::ChangedRects() const {
  if (!transition_rect_.IsEmpty()) return {transition_rect_};
  return roots_[active_]->DirtyList().Rects();
}

void TQuenBaseList::PresentTo(TScreenManager* screen) {
  if (screen) screen->Present(ChangedRects());
  ClearDirty();
}

void TQuenBaseList::ClearDirty() {
  for (auto& r : roots_) r->DirtyList().Clear();
}

void TQuenBaseList::Reset() {
  TPoint mouse{roots_[0]->MouseX, roots_[0]->MouseY};
  transition_.reset();
  transition_type_ = 0;
  resetting_ = true;
  FreeRoots();
  events_.Clear();
  while (!list_.empty()) Destroy(list_.back());
  names_.clear();
  unique_hint_.clear();
  resetting_ = false;
  scrap_.clear();
  rclick_.clear();
  focus_ = {};
  focus_stale_ = false;
  MakeRoots();
  SetSize(width_, height_);
  for (auto& r : roots_) {
    r->MouseX = mouse.X;
    r->MouseY = mouse.Y;
  }
}

// A cinema's private registry shares the cache with the main one, which alone drops and
// reloads it.
bool TQuenBaseList::OwnsImageCache() const {
  const TQuenBaseList* main = MainRegistry();
  return BrixCollection() && (!main || main == this);
}

void TQuenBaseList::ReleaseAllSurfaces() {
  own_screen_.Clear();
  if (OwnsImageCache()) BrixCollection()->ReleaseSurfaces();
  for (auto& r : roots_) r->ReleaseSurfaces();
  for (TQuenObject* o : list_) o->ReleaseSurfaces();
  transition_.reset();
  transition_type_ = 0;
}

void TQuenBaseList::RestoreAllSurfaces() {
  SetSize(width_, height_);
  if (OwnsImageCache()) BrixCollection()->RestoreSurfaces();
  for (auto& r : roots_) r->ResizeSurface();
  for (TQuenObject* o : list_) o->RestoreSurfaces();
  for (auto& r : roots_) r->AddFullDirtyRect();
}

void TQuenBaseList::SetRightClickScrap(TQuenControl* c, bool on) {
  const TQuenHandle h = c->Handle();
  const bool listed = std::find(rclick_.begin(), rclick_.end(), h) != rclick_.end();
  if (on && !listed) rclick_.push_back(h);
  if (!on) std::erase(rclick_, h);
}

void TQuenBaseList::SaveToStream(TStream& s, int32_t version) const {
  WriteInt32(s, width_);
  WriteInt32(s, height_);
  WriteInt32(s, active_);
  roots_[0]->SaveToStream(s, version);
  roots_[1]->SaveToStream(s, version);
  std::vector<const TQuenObject*> top;
  for (const TQuenObject* o : list_)
    if (!o->AsControl() && !o->scrapped_ && o->CompoType() != LT_NONE && !o->HasSystemName())
      top.push_back(o);
  WriteInt32(s, static_cast<int32_t>(top.size()));
  for (const TQuenObject* o : top) {
    WriteByte(s, o->CompoType());
    o->SaveToStream(s, version);
  }
  events_.SaveToStream(s, *this, version);
  if (version > 118) {
    const TQuenControl* f = Focus();
    WriteString(s, f ? f->Name() : std::string());
  }
}

void TQuenBaseList::LoadComponent(TStream& s, int32_t version) {
  TQuenObject* o = CreateComponent(ReadByte(s));
  if (!o) RaiseReadError();
  // Controls live inside their roots' streams; one out here would have no parent.
  if (o->AsControl()) {
    Destroy(o);
    RaiseReadError();
  }
  o->LoadFromStream(s, version);
}

void TQuenBaseList::LoadFromStream(TStream& s, int32_t version) {
  if (version < kQuenOldestVersion || version > kQuenStreamVersion) RaiseReadError();
  Reset();
  loading_ = true;
  try {
    SetSize(8, 8);
    const int32_t w = ReadInt32(s);
    const int32_t h = ReadInt32(s);
    if (w < 0 || h < 0 || w > 32768 || h > 32768) RaiseReadError();
    SetSize(w, h);
    const int32_t active = ReadInt32(s);
    if (active != 0 && active != 1) RaiseReadError();
    active_ = active;
    for (auto& r : roots_) {
      r->LoadFromStream(s, version);
      r->ResizeSurface();
      r->AddFullDirtyRect();
    }
    const int32_t n = ReadInt32(s);
    if (n < 0 || n > s.Remaining()) RaiseReadError();
    for (int32_t i = 0; i < n; ++i) LoadComponent(s, version);
    events_.LoadFromStream(s, *this, version);
    if (version > 118) {
      const std::string name = ReadString(s);
      // No stored focus means none, not the screen the empty name would find.
      TQuenObject* o = name.empty() ? nullptr : FindComponent(name);
      if (o && o->AsControl()) {
        focus_ = o->Handle();
        o->AsControl()->FocusReceived();
        focus_stale_ = false;
      }
    }
  } catch (...) {
    loading_ = false;
    Reset();
    throw;
  }
  loading_ = false;
}

std::string TQuenBaseList::Dump() const {
  auto show = [](const std::string& name) {
    std::string out;
    for (char c : name) {
      if (static_cast<unsigned char>(c) < 0x20)
        out += "^" + std::string(1, static_cast<char>(c + '@'));
      else
        out += c;
    }
    return out;
  };
  std::string out = "registry " + std::to_string(width_) + "x" + std::to_string(height_) +
                    " active=" + std::to_string(active_);
  const TQuenControl* f = Focus();
  out += " focus=" + (f ? show(f->Name()) : std::string("-")) + "\n";
  std::function<void(const TQuenControl&, int)> walk = [&](const TQuenControl& c, int depth) {
    out += std::string(static_cast<size_t>(depth) * 2, ' ');
    out += (c.Name().empty() ? std::string("(scrapped)") : show(c.Name())) + " " + c.ClassName() +
           " " + TypeCodeIdent(c.CompoType()) + " pri=" + std::to_string(c.Priority());
    if (c.PriorityOffset()) out += "+" + std::to_string(c.PriorityOffset());
    out += " pos=" + std::to_string(c.Left()) + "," + std::to_string(c.Top()) +
           " size=" + std::to_string(c.Width()) + "x" + std::to_string(c.Height()) +
           " abs=" + std::to_string(c.AbsLeft()) + "," + std::to_string(c.AbsTop());
    c.ListChangedProps(out);
    out += "\n";
    for (const TQuenControl* child : c.Children()) walk(*child, depth + 1);
  };
  for (int i = 0; i < 2; ++i) walk(*roots_[i], 0);
  for (const TQuenObject* o : list_) {
    if (o->AsControl()) {
      if (!o->AsControl()->Parent())
        out += "(no parent) " + show(o->Name()) + " " + o->ClassName() + "\n";
      continue;
    }
    out += (o->Name().empty() ? std::string("(scrapped)") : show(o->Name())) + " " +
           o->ClassName() + " " + TypeCodeIdent(o->CompoType()) +
           " pri=" + std::to_string(o->Priority());
    o->ListChangedProps(out);
    out += "\n";
  }
  for (int32_t i = 0; i < events_.Count(); ++i) {
    const TTimerData& e = events_[i];
    const TQuenObject* sender = Resolve(e.Sender);
    out += "event " + std::string(PropInfo(e.Code).Ident) + " " +
           (sender ? show(sender->Name()) : std::string("-")) + " \"" + e.EventText + "\"";
    for (const auto& a : e.Args) out += " " + a;
    if (e.Level) out += " level=" + std::to_string(e.Level);
    out += "\n";
  }
  return out;
}

// ---------------------------------------------------------------- property commands

void GetProp(const TQuenObject& c, int32_t code, TCustomParam& holder) {
  if (code < 0 || code >= kPropCount) RaiseError(msg::kGetPropError);
  const TPropValue v = c.ReadProp(static_cast<uint8_t>(code));
  switch (PropInfo(static_cast<uint8_t>(code)).Type) {
    case TPropType::ptInt:
      holder.SetAsInteger(v.Int);
      break;
    case TPropType::ptBool:
      holder.SetAsBool(v.Int != 0);
      break;
    case TPropType::ptFloat:
      holder.SetAsFloat(v.Float);
      break;
    case TPropType::ptStr:
      holder.SetAsString(v.Str);
      break;
  }
}

void SetProp(TQuenObject& c, int32_t code, const TCustomParam& value) {
  if (code < 0 || code >= kPropCount) RaiseError(msg::kSetPropError);
  const TPropInfo& info = PropInfo(static_cast<uint8_t>(code));
  if (info.Flags & kRefused) RaiseError(msg::kSetPropError);
  if (info.Flags & kRO) return;
  TPropValue v;
  v.Type = info.Type;
  switch (info.Type) {
    case TPropType::ptInt:
      v.Int = value.GetAsInteger();
      break;
    case TPropType::ptBool:
      v.Int = value.GetAsBool() ? 1 : 0;
      break;
    case TPropType::ptFloat:
      v.Float = value.GetAsFloat();
      break;
    case TPropType::ptStr:
      v.Str = value.GetAsString();
      break;
  }
  // Text written by a script is no longer the text a text command tracks.
  if (code == PR_TEXT)
    if (auto* target = dynamic_cast<IMessageTarget*>(&c)) target->ClearReadTracking();
  c.WriteProp(static_cast<uint8_t>(code), v);
}

}  // namespace quen
