#include "components/quen_object.h"

#include <algorithm>
#include <charconv>

#include "base/error.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "components/messages.h"
#include "components/quen_base_list.h"
#include "components/quen_motion.h"
#include "files/messages.h"
#include "imaging/custom_dibx.h"

namespace quen {
namespace {

int32_t Wrap(int64_t v) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

// True when the text reads as a decimal integer above 1 (an optional sign, then digits).
bool ReadsAsIntAbove1(std::string_view t) {
  if (!t.empty() && t[0] == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  int64_t v = 0;
  auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  return ec == std::errc() && p == t.data() + t.size() && v > 1 && v <= INT32_MAX;
}

// Index of a control-level mouse event text, or -1.
int MouseSlot(uint8_t code) {
  switch (code) {
    case PR_ONMOUSEMOVE:
      return 0;
    case PR_ONMOUSEIN:
      return 1;
    case PR_ONMOUSEOUT:
      return 2;
    case PR_ONLBTNDOWN:
      return 3;
    case PR_ONLBTNUP:
      return 4;
    case PR_ONRBTNDOWN:
      return 5;
    case PR_ONRBTNUP:
      return 6;
    case PR_ONWHEELDOWN:
      return 7;
    case PR_ONWHEELUP:
      return 8;
    default:
      return -1;
  }
}

int KeySlot(uint8_t code) {
  switch (code) {
    case PR_ONKEYDOWN:
      return 0;
    case PR_ONKEYUP:
      return 1;
    case PR_ONKEYREPEAT:
      return 2;
    case PR_ONFOCUSIN:
      return 3;
    case PR_ONFOCUSOUT:
      return 4;
    default:
      return -1;
  }
}

std::vector<std::string> KeyArgs(const std::vector<int32_t>& keys) {
  std::vector<std::string> out;
  out.reserve(keys.size());
  for (int32_t k : keys) out.push_back(std::to_string(k));
  return out;
}

// Bounds the nesting of stored children so a damaged stream cannot exhaust the stack.
struct TNestGuard {
  TNestGuard() {
    if (++depth > TQuenBaseList::kMaxNesting) {
      --depth;
      RaiseReadError();
    }
  }
  ~TNestGuard() { --depth; }
  static thread_local int depth;
};
thread_local int TNestGuard::depth = 0;

}  // namespace

void SetSurfaceClip(TCustomDIBX& surface, const TRect& clip) {
  surface.ResetUpdateRect();
  if (clip.Right != 0) surface.AddUpdateRect(clip);
}

TPropValue TPropValue::Default(uint8_t code, int32_t width, int32_t height) {
  const TPropInfo& info = PropInfo(code);
  TPropValue v;
  v.Type = info.Type;
  if (info.Type == TPropType::ptInt || info.Type == TPropType::ptBool) v.Int = info.Default;
  if (info.Flags & kDefWidth) v.Int = width;
  if (info.Flags & kDefHeight) v.Int = height;
  return v;
}

// ---------------------------------------------------------------- TQuenObject

TQuenObject::TQuenObject(TQuenBaseList* owner) : owner_(owner) {}

TQuenObject::~TQuenObject() = default;

bool TQuenObject::Carries(uint8_t code) const {
  if (code >= kPropCount) return false;
  const TPropInfo& info = PropInfo(code);
  if (info.Flags & kAll) return true;
  if ((info.Flags & kCtl) && AsControl()) return true;
  return (info.Kinds & KindBit(Kind())) != 0;
}

TPropValue TQuenObject::ReadProp(uint8_t code) const {
  if (code >= kPropCount) return {};
  switch (code) {
    case PR_NAME:
      return TPropValue::OfStr(name_);
    case PR_PRIORITY:
      return TPropValue::OfInt(priority_);
    case PR_TAG:
      return TPropValue::OfStr(tag_);
    case PR_COMPOTYPE:
      return TPropValue::OfInt(CompoType());
    default:
      break;
  }
  if (!Carries(code)) return TPropValue::Default(code, DefaultWidth(), DefaultHeight());
  return ReadOwn(code);
}

void TQuenObject::WriteProp(uint8_t code, const TPropValue& value) {
  if (code >= kPropCount) return;
  const TPropInfo& info = PropInfo(code);
  if (info.Flags & (kRO | kRefused)) return;
  TPropValue v = value;
  v.Type = info.Type;
  if (v.Type == TPropType::ptBool) v.Int = v.Int != 0;
  switch (code) {
    case PR_NAME:
      // Roots keep their names, and nobody may take a root's name.
      if (IsRoot() || v.Str == TQuenBaseList::RootName(0) || v.Str == TQuenBaseList::RootName(1))
        return;
      SetName(v.Str);
      return;
    case PR_PRIORITY:
      SetPriority(v.Int);
      return;
    case PR_TAG:
      SetTag(v.Str);
      return;
    default:
      break;
  }
  if (!Carries(code) || (info.ReadOnlyKinds & KindBit(Kind()))) return;
  WriteOwn(code, v);
}

TPropValue TQuenObject::ReadOwn(uint8_t code) const {
  auto it = props_.find(code);
  if (it != props_.end()) return it->second;
  return TPropValue::Default(code, DefaultWidth(), DefaultHeight());
}

void TQuenObject::WriteOwn(uint8_t code, const TPropValue& value) {
  TPropValue v = value;
  if (code == PR_FONTSTYLE || code == PR_FONTHOVERSTYLE) v.Int &= 15;
  props_[code] = v;
  if (code == PR_RCLICKSCRAP && owner_ && AsControl())
    owner_->SetRightClickScrap(AsControl(), v.Int != 0);
}

void TQuenObject::SetName(std::string_view name) {
  if (name == name_) return;
  if (owner_ && !name.empty()) {
    TQuenObject* other = owner_->FindByName(name);
    if (other && other != this) ResolveNameClash(*other);
  }
  if (owner_)
    owner_->SetObjectName(*this, std::string(name));
  else
    name_ = name;
  if (TQuenControl* c = AsControl())
    if (c->Parent()) c->Parent()->ReorderChild(c);
}

void TQuenObject::ResolveNameClash(TQuenObject& other) {
  if (owner_) owner_->Scrap(&other);
}

void TQuenObject::SetPriority(int32_t priority) {
  if (priority == priority_) return;
  TQuenControl* c = AsControl();
  if (c) c->Invalidate();
  priority_ = priority;
  priority_offset_ = 0;
  if (c) {
    if (c->Parent()) c->Parent()->ReorderChild(c);
    c->Invalidate();
  }
}

void TQuenObject::SetPriorityOffset(int32_t offset) {
  if (offset == priority_offset_) return;
  TQuenControl* c = AsControl();
  if (c) c->Invalidate();
  priority_offset_ = offset;
  if (c) {
    if (c->Parent()) c->Parent()->ReorderChild(c);
    c->Invalidate();
  }
}

bool TQuenObject::Update(int32_t /*frameMs*/) {
  return false;
}

bool TQuenObject::FireEvent(uint8_t code, std::vector<std::string> args, bool dedupe) {
  if (!owner_ || code >= kPropCount) return false;
  std::string text = PropStr(code);
  if (text.empty() || IsEventBlocked()) return false;
  if (dedupe && owner_->Events().IndexOf(handle_, code) >= 0) return false;
  owner_->Events().Add(TTimerData{std::move(text), handle_, code, 0, std::move(args)});
  return true;
}

void TQuenObject::SaveToStream(TStream& s, int32_t version) const {
  WriteString(s, name_);
  WriteInt32(s, priority_);
  if (version > 103) WriteInt32(s, priority_offset_);
  if (version >= 120) WriteString(s, tag_);
}

void TQuenObject::LoadFromStream(TStream& s, int32_t version) {
  std::string name = ReadString(s);
  // Roots keep their own names whatever the stream says.
  if (!IsRoot()) {
    if (owner_)
      owner_->SetObjectName(*this, std::move(name));
    else
      name_ = std::move(name);
  }
  priority_ = ReadInt32(s);
  priority_offset_ = version > 103 ? ReadInt32(s) : 0;
  if (version >= 120) tag_ = ReadString(s);
}

void TQuenObject::ListChangedProps(std::string& out) const {
  for (const auto& [code, v] : props_) {
    const TPropValue d = TPropValue::Default(code, DefaultWidth(), DefaultHeight());
    if (v.Int == d.Int && v.Str == d.Str && v.Float == d.Float) continue;
    out += ' ';
    out += PropInfo(code).Ident;
    out += '=';
    if (v.Type == TPropType::ptStr)
      out += '"' + v.Str + '"';
    else if (v.Type == TPropType::ptFloat)
      out += std::to_string(static_cast<double>(v.Float));
    else
      out += std::to_string(v.Int);
  }
}

// ---------------------------------------------------------------- TQuenControl

TQuenControl::TQuenControl(TQuenBaseList* owner) : TQuenComponent(owner) {}

TQuenControl::~TQuenControl() = default;

int TQuenControl::Compare(const TQuenControl& a, const TQuenControl& b) {
  if (&a == &b) return 0;
  if (a.IsImageAfterImage() && b.IsImageAfterImage()) {
    const int aa = a.PropInt(PR_ALPHA) & 0xFF, ba = b.PropInt(PR_ALPHA) & 0xFF;
    if (aa != ba) return aa < ba ? -1 : 1;
  }
  if (a.IsAfterImage() && a.AfterImageSource() == b.Handle()) return -1;
  if (b.IsAfterImage() && b.AfterImageSource() == a.Handle()) return 1;
  static const std::string kSnapshot("\x01\x01", 2);
  if (a.Name() == kSnapshot && b.Name() != kSnapshot) return 1;
  if (b.Name() == kSnapshot && a.Name() != kSnapshot) return -1;
  if (a.HasSystemName() != b.HasSystemName()) return a.HasSystemName() ? -1 : 1;
  const int64_t pa = int64_t{a.Priority()} + a.PriorityOffset();
  const int64_t pb = int64_t{b.Priority()} + b.PriorityOffset();
  if (pa != pb) return pa < pb ? -1 : 1;
  const int c = a.Name().compare(b.Name());
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Insertion from the end: a new child goes after every sibling it does not sort before.
// This needs no total order, so the after-image rules cannot make it misbehave. Without
// after-images the order is total and the children sorted, so a binary search finds the same
// place.
void TQuenControl::InsertChild(TQuenControl* child) {
  // A tree being loaded keeps its children in stream order until its keys are in and it is
  // sorted: so equal keys keep their saved order and a tree saved again gives the same bytes.
  if (owner_ && owner_->loading_) {
    children_.push_back(child);
    if (child->IsAfterImage()) ++after_image_children_;
    return;
  }
  PlaceChild(child);
}

void TQuenControl::PlaceChild(TQuenControl* child) {
  size_t pos = children_.size();
  if (child->IsAfterImage() || after_image_children_ > 0) {
    while (pos > 0 && Compare(*child, *children_[pos - 1]) < 0) --pos;
  } else {
    pos = static_cast<size_t>(std::upper_bound(children_.begin(), children_.end(), child,
                                               [](const TQuenControl* a, const TQuenControl* b) {
                                                 return Compare(*a, *b) < 0;
                                               }) -
                              children_.begin());
  }
  children_.insert(children_.begin() + static_cast<ptrdiff_t>(pos), child);
  if (child->IsAfterImage()) ++after_image_children_;
}

void TQuenControl::RemoveChild(TQuenControl* child) {
  if (std::erase(children_, child) && child->IsAfterImage()) --after_image_children_;
}

void TQuenControl::SortChildren() {
  std::vector<TQuenControl*> old;
  old.swap(children_);
  after_image_children_ = 0;
  children_.reserve(old.size());
  for (TQuenControl* c : old) PlaceChild(c);
}

void TQuenControl::ReorderChild(TQuenControl* child) {
  if (after_image_children_ > 0) {
    SortChildren();
    return;
  }
  RemoveChild(child);
  PlaceChild(child);
}

bool TQuenControl::IsAncestorOf(const TQuenObject* other) const {
  const TQuenControl* c = other ? other->AsControl() : nullptr;
  for (c = c ? c->parent_ : nullptr; c; c = c->parent_)
    if (c == this) return true;
  return false;
}

TQuenBase* TQuenControl::Root() {
  TQuenControl* c = this;
  while (c->parent_) c = c->parent_;
  return c->IsRoot() ? static_cast<TQuenBase*>(c) : nullptr;
}

void TQuenControl::SetParent(TQuenControl* p) {
  if (p == parent_ || p == this || (p && IsAncestorOf(p)) || IsRoot()) return;
  Invalidate();
  TQuenControl* old = parent_;
  if (old) {
    old->RemoveChild(this);
    if (old->IsCabinet()) LeftCabinet();
  }
  parent_ = p;
  if (p) {
    p->InsertChild(this);
    if (p->IsCabinet()) EnteredCabinet();
  }
  Invalidate();
  if (!owner_) return;
  // Only a focus at or below this control is lost; an empty focus on the shown screen is
  // looked for again. A focus elsewhere stays.
  TQuenControl* f = owner_->Focus();
  if (f && (f == this || IsAncestorOf(f))) {
    owner_->focus_ = {};
    owner_->focus_stale_ = true;
  } else if (!f && Root() == &owner_->ActiveRoot()) {
    owner_->focus_stale_ = true;
  }
}

bool TQuenControl::InCabinet() const {
  for (const TQuenControl* c = parent_; c; c = c->parent_)
    if (c->IsCabinet()) return true;
  return false;
}

bool TQuenControl::IsShowing() {
  if (!owner_ || Root() != &owner_->ActiveRoot()) return false;
  for (const TQuenControl* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TQuenControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  Invalidate();
  const bool moved = left != left_ || top != top_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (moved) PositionChanged();
  Invalidate();
}

void TQuenControl::SetVisible(bool v) {
  if (v == visible_) return;
  Invalidate();
  visible_ = v;
  Invalidate();
  if (!owner_) return;
  TQuenControl* f = owner_->Focus();
  if ((!v && f && (f == this || IsAncestorOf(f))) || (v && !f)) owner_->focus_stale_ = true;
}

void TQuenControl::SetHighlight(bool v) {
  if (v == highlight_) return;
  highlight_ = v;
  Invalidate();
}

int64_t TQuenControl::AnchorTerm(bool vertical) const {
  const int64_t zoom = PropInt(vertical ? PR_ZOOMY : PR_ZOOMX);
  const int64_t off = vertical ? offset_y_ : offset_x_;
  const int64_t scaled = zoom != 256 ? off * zoom / 256 : off;
  const bool flip = PropBool(vertical ? PR_FLIPV : PR_FLIPH);
  return flip ? int64_t{vertical ? height_ : width_} - scaled - 1 : scaled;
}

int64_t TQuenControl::PositionTerm(bool vertical) const {
  if (motion_) return vertical ? motion_y_ : motion_x_;
  const int64_t pos = vertical ? top_ : left_;
  return pos_zoomed_ ? pos * PropInt(vertical ? PR_ZOOMY : PR_ZOOMX) / 256 : pos;
}

int32_t TQuenControl::AbsAxis(bool vertical) const {
  int64_t r = PositionTerm(vertical) - AnchorTerm(vertical) + (vertical ? plus_y_ : plus_x_);
  if (parent_)
    r += int64_t{parent_->AbsAxis(vertical)} - parent_->PropInt(vertical ? PR_SCROLLY : PR_SCROLLX);
  return Wrap(r);
}

TPoint TQuenControl::AnchorToScreen() const {
  return TPoint{Wrap(int64_t{AbsLeft()} + AnchorTerm(false)),
                Wrap(int64_t{AbsTop()} + AnchorTerm(true))};
}

int32_t TQuenControl::AbsLeft() const {
  return AbsAxis(false);
}
int32_t TQuenControl::AbsTop() const {
  return AbsAxis(true);
}

TRect TQuenControl::HitRect() const {
  const int32_t x = AbsLeft(), y = AbsTop();
  return TRect{x, y, Wrap(int64_t{x} + width_), Wrap(int64_t{y} + height_)};
}

TRect TQuenControl::ClipRect() const {
  const int64_t x = int64_t{AbsLeft()} + clip_l_, y = int64_t{AbsTop()} + clip_t_;
  return TRect{Wrap(x), Wrap(y), Wrap(x + clip_w_), Wrap(y + clip_h_)};
}

void TQuenControl::Invalidate() {
  if (!visible_) return;
  TQuenBase* root = Root();
  if (!root) return;
  TRect r = HitRect();
  if (parent_) {
    r = r.Intersect(parent_->HitRect());
    if (r.IsEmpty()) return;
  }
  if (ClipActive()) {
    r = r.Intersect(ClipRect());
    if (r.IsEmpty()) return;
  }
  root->AddDirtyRect(ClipToParent(r));
}

TCustomDIBX* TQuenControl::GetSurface() {
  return parent_ ? parent_->GetSurface() : nullptr;
}

void TQuenControl::Draw(TCustomDIBX& target) {
  DrawSelf(target);
  DrawChildren(target);
}

void TQuenControl::DrawChildren(TCustomDIBX& target) {
  const TRect saved = target.UpdateRect();
  const TRect r = HitRect().Intersect(target.ClipRect());
  if (!r.IsEmpty()) {
    for (size_t i = 0; i < children_.size(); ++i) {
      TQuenControl* child = children_[i];
      if (child->Name().empty() || !child->visible_) continue;
      TRect cr = r;
      if (child->ClipActive()) cr = cr.Intersect(child->ClipRect());
      if (cr.IsEmpty()) continue;
      SetSurfaceClip(target, cr);
      child->Draw(target);
      SetSurfaceClip(target, saved);
    }
  }
  SetSurfaceClip(target, saved);
  if (highlight_) {
    // A checkered one-pixel frame, to spot a control on a busy screen.
    const TRect h = HitRect();
    const TRect clip = target.ClipRect();
    const uint32_t black = static_cast<uint32_t>(target.ColorToPixel(0));
    const uint32_t white = static_cast<uint32_t>(target.ColorToPixel(0xFFFFFF));
    auto plot = [&](int32_t x, int32_t y) {
      if (clip.Contains(x, y)) target.SetPixel(x, y, ((x + y) & 1) ? white : black);
    };
    if (!h.IsEmpty()) {
      for (int32_t x = std::max(h.Left, clip.Left); x < std::min(h.Right, clip.Right); ++x) {
        plot(x, h.Top);
        plot(x, h.Bottom - 1);
      }
      for (int32_t y = std::max(h.Top, clip.Top); y < std::min(h.Bottom, clip.Bottom); ++y) {
        plot(h.Left, y);
        plot(h.Right - 1, y);
      }
    }
  }
}

TQuenControl* TQuenControl::HitTest(int32_t x, int32_t y, TMouseMask mask) {
  if (!visible_ || !HitRect().Contains(x, y)) return nullptr;
  TQuenControl* candidate =
      (ignore_mouse_ <= IM_RCLICK && (mask & MaskOf(ignore_mouse_))) ? this : nullptr;
  for (size_t i = children_.size(); i-- > 0;) {
    // Scrapped children are gone for the player even before the pass ends.
    if (children_[i]->Name().empty()) continue;
    if (TQuenControl* hit = children_[i]->HitTest(x, y, mask)) return hit;
  }
  return candidate;
}

void TQuenControl::FireMouse(uint8_t code, int32_t x, int32_t y, bool dedupe) {
  FireEvent(code, {std::to_string(int64_t{x} - AbsLeft()), std::to_string(int64_t{y} - AbsTop())},
            dedupe);
}

bool TQuenControl::FiresButtonDown() const {
  return !IsRoot() && !IsPaused() && !IsEventBlocked();
}

void TQuenControl::DoLButtonDown(int32_t x, int32_t y) {
  if (!FiresButtonDown() || !(ignore_mouse_ == IM_NONE || ignore_mouse_ == IM_RCLICK)) return;
  if (owner_ && owner_->Events().IndexOf(Handle(), PR_ONLBTNDOWN) >= 0) return;
  FireMouse(PR_ONLBTNDOWN, x, y, true);
  if (TQuenBase* root = Root()) root->Capture |= 4;
}

void TQuenControl::DoRButtonDown(int32_t x, int32_t y) {
  if (!FiresButtonDown() || !(ignore_mouse_ == IM_NONE || ignore_mouse_ == IM_LCLICK)) return;
  if (owner_ && owner_->Events().IndexOf(Handle(), PR_ONRBTNDOWN) >= 0) return;
  FireMouse(PR_ONRBTNDOWN, x, y, true);
  if (TQuenBase* root = Root()) root->Capture |= 8;
}

void TQuenControl::DoLButtonUp(int32_t x, int32_t y) {
  FireMouse(PR_ONLBTNUP, x, y, false);
  if (TQuenBase* root = Root()) root->Capture &= static_cast<uint8_t>(~4);
}

void TQuenControl::DoRButtonUp(int32_t x, int32_t y) {
  FireMouse(PR_ONRBTNUP, x, y, false);
  if (TQuenBase* root = Root()) root->Capture &= static_cast<uint8_t>(~8);
}

void TQuenControl::DoMouseMove(int32_t x, int32_t y) {
  FireMouse(PR_ONMOUSEMOVE, x, y, true);
}

void TQuenControl::DoWheel(bool down) {
  FireEvent(down ? PR_ONWHEELDOWN : PR_ONWHEELUP, {}, true);
}

void TQuenControl::DoMouseOut(TQuenControl* /*newTarget*/) {
  FireEvent(PR_ONMOUSEOUT, {}, false);
}

void TQuenControl::DoMouseIn(TQuenControl* /*previous*/) {
  FireEvent(PR_ONMOUSEIN, {}, false);
}

TQuenControl* TQuenControl::FindKeyTarget() {
  for (size_t i = children_.size(); i-- > 0;) {
    TQuenControl* c = children_[i];
    if (!c->visible_ || c->Name().empty()) continue;
    if (TQuenControl* t = c->FindKeyTarget()) return t;
  }
  return handle_key_ && !IsPaused() ? this : nullptr;
}

void TQuenControl::DoKeyDown(const std::vector<int32_t>& keys) {
  if (!IsRoot() && !IsPaused()) FireEvent(PR_ONKEYDOWN, KeyArgs(keys), true);
}
void TQuenControl::DoKeyUp(const std::vector<int32_t>& keys) {
  if (!IsRoot() && !IsPaused()) FireEvent(PR_ONKEYUP, KeyArgs(keys), true);
}
void TQuenControl::DoKeyRepeat(const std::vector<int32_t>& keys) {
  if (!IsRoot() && !IsPaused()) FireEvent(PR_ONKEYREPEAT, KeyArgs(keys), true);
}

void TQuenControl::PositionChanged() {
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->PositionChanged();
}

void TQuenControl::ClipChanged() {
  for (size_t i = 0; i < children_.size(); ++i) children_[i]->ClipChanged();
}

void TQuenControl::SetMotion(std::unique_ptr<TQuenMotion> motion) {
  motion_ = std::move(motion);
}

void TQuenControl::StartMotion(const std::string& file) {
  const TMotionFilmLoader& loader = MotionFilmLoader();
  // Without a film reader no film can be found.
  if (!loader) RaiseErrorFmt(msg::kFileNotFound, file.c_str());
  std::unique_ptr<IMotionFilm> film = loader(file, *this);
  if (!film) RaiseErrorFmt(msg::kFileNotFound, file.c_str());
  motion_ = std::make_unique<TQuenMotion>(*this, std::move(film));
}

void TQuenControl::RestartMotion() {
  if (motion_) motion_->Restart();
}

void TQuenControl::FreeMotion() {
  if (!motion_) return;
  Invalidate();
  motion_.reset();
  motion_x_ = motion_y_ = 0;
  SetPriorityOffset(0);
  PositionChanged();
  Invalidate();
}

void TQuenControl::SetMotionPos(int32_t x, int32_t y) {
  if (x == motion_x_ && y == motion_y_) return;
  Invalidate();
  motion_x_ = x;
  motion_y_ = y;
  PositionChanged();
  Invalidate();
}

bool TQuenControl::Update(int32_t frameMs) {
  if (motion_ && motion_->Step(frameMs)) {
    if (PropBool(PR_AUTOSCRAP)) return true;
    FireEvent(PR_ONPLAYEND, {}, false);
  }
  return false;
}

void TQuenControl::ResolveNameClash(TQuenObject& other) {
  std::string stem = other.Name();
  // Cut a "_n" suffix (n > 1) found scanning from the end, at character starts only.
  std::vector<size_t> unders;
  for (size_t i = 0; i < stem.size(); i += sjis::CharLen(stem, i))
    if (i >= 1 && stem[i] == '_') unders.push_back(i);
  for (size_t k = unders.size(); k-- > 0;) {
    if (ReadsAsIntAbove1(std::string_view(stem).substr(unders[k] + 1))) {
      stem.resize(unders[k]);
      break;
    }
  }
  for (int64_t n = 2;; ++n) {
    std::string candidate = stem + "_" + std::to_string(n);
    if (!owner_->FindByName(candidate)) {
      if (other.owner_)
        other.owner_->SetObjectName(other, std::move(candidate));
      else
        other.name_ = std::move(candidate);
      if (TQuenControl* oc = other.AsControl())
        if (oc->parent_) oc->parent_->ReorderChild(oc);
      return;
    }
  }
}

TPropValue TQuenControl::ReadOwn(uint8_t code) const {
  if (int m = MouseSlot(code); m >= 0) return TPropValue::OfStr(mouse_events_[m]);
  if (int k = KeySlot(code); k >= 0) return TPropValue::OfStr(key_events_[k]);
  switch (code) {
    case PR_PARENT:
      return TPropValue::OfStr(parent_ ? parent_->Name() : std::string());
    case PR_LEFT:
      return TPropValue::OfInt(left_);
    case PR_TOP:
      return TPropValue::OfInt(top_);
    case PR_WIDTH:
      return TPropValue::OfInt(width_);
    case PR_HEIGHT:
      return TPropValue::OfInt(height_);
    case PR_COLOR:
      return TPropValue::OfInt(color_);
    case PR_OFFSETX:
      return TPropValue::OfInt(offset_x_);
    case PR_OFFSETY:
      return TPropValue::OfInt(offset_y_);
    case PR_VISIBLE:
      return TPropValue::OfBool(visible_);
    case PR_IGNOREMOUSE:
      return TPropValue::OfInt(ignore_mouse_);
    case PR_CURSOR:
      return TPropValue::OfStr(cursor_);
    case PR_POSZOOMED:
      return TPropValue::OfBool(pos_zoomed_);
    case PR_CLIPLEFT:
      return TPropValue::OfInt(clip_l_);
    case PR_CLIPTOP:
      return TPropValue::OfInt(clip_t_);
    case PR_CLIPWIDTH:
      return TPropValue::OfInt(clip_w_);
    case PR_CLIPHEIGHT:
      return TPropValue::OfInt(clip_h_);
    case PR_ANIPAUSED:
      return TPropValue::OfBool(ani_paused_);
    // A control plays while its film motion runs.
    case PR_PLAYING:
      return TPropValue::OfBool(motion_ && !motion_->Finished());
    case PR_HANDLEKEY:
      return TPropValue::OfBool(handle_key_);
    case PR_PLUSX:
      return TPropValue::OfInt(plus_x_);
    case PR_PLUSY:
      return TPropValue::OfInt(plus_y_);
    default:
      return TQuenComponent::ReadOwn(code);
  }
}

void TQuenControl::WriteOwn(uint8_t code, const TPropValue& value) {
  const int32_t v = value.Int;
  if (int m = MouseSlot(code); m >= 0) {
    mouse_events_[m] = value.Str;
    return;
  }
  if (int k = KeySlot(code); k >= 0) {
    key_events_[k] = value.Str;
    return;
  }
  auto geometry = [&](int32_t& field, bool position) {
    if (field == v) return;
    Invalidate();
    field = v;
    if (position) PositionChanged();
    Invalidate();
  };
  auto clip = [&](int32_t& field) {
    if (field == v) return;
    Invalidate();
    field = v;
    ClipChanged();
    Invalidate();
  };
  switch (code) {
    case PR_PARENT:
      if (owner_ && !IsRoot())
        if (TQuenControl* p = owner_->FindParentControl(value.Str)) SetParent(p);
      return;
    case PR_LEFT:
      geometry(left_, true);
      return;
    case PR_TOP:
      geometry(top_, true);
      return;
    case PR_WIDTH:
      geometry(width_, false);
      return;
    case PR_HEIGHT:
      geometry(height_, false);
      return;
    case PR_OFFSETX:
      geometry(offset_x_, true);
      return;
    case PR_OFFSETY:
      geometry(offset_y_, true);
      return;
    case PR_PLUSX:
      geometry(plus_x_, true);
      return;
    case PR_PLUSY:
      geometry(plus_y_, true);
      return;
    case PR_COLOR:
      geometry(color_, false);
      return;
    case PR_VISIBLE:
      SetVisible(v != 0);
      return;
    case PR_IGNOREMOUSE:
      ignore_mouse_ = static_cast<uint8_t>(v);
      return;
    case PR_CURSOR:
      cursor_ = value.Str;
      return;
    case PR_POSZOOMED:
      if (pos_zoomed_ == (v != 0)) return;
      Invalidate();
      pos_zoomed_ = v != 0;
      PositionChanged();
      Invalidate();
      return;
    case PR_CLIPLEFT:
      clip(clip_l_);
      return;
    case PR_CLIPTOP:
      clip(clip_t_);
      return;
    case PR_CLIPWIDTH:
      clip(clip_w_);
      return;
    case PR_CLIPHEIGHT:
      clip(clip_h_);
      return;
    case PR_ANIPAUSED:
      ani_paused_ = v != 0;
      return;
    case PR_HANDLEKEY: {
      if (handle_key_ == (v != 0)) return;
      handle_key_ = v != 0;
      if (!owner_) return;
      TQuenControl* f = owner_->Focus();
      if ((handle_key_ && !f) || (!handle_key_ && f == this)) owner_->focus_stale_ = true;
      return;
    }
    default:
      TQuenComponent::WriteOwn(code, value);
      return;
  }
}

void TQuenControl::SaveToStream(TStream& s, int32_t version) const {
  TQuenComponent::SaveToStream(s, version);
  for (int32_t v : {left_, top_, width_, height_, offset_x_, offset_y_}) WriteInt32(s, v);
  WriteBool(s, pos_zoomed_);
  if (version >= 130)
    for (int32_t v : {motion_x_, motion_y_, plus_x_, plus_y_}) WriteInt32(s, v);
  if (version > 103) {
    for (int32_t v : {clip_l_, clip_t_, clip_w_, clip_h_}) WriteInt32(s, v);
    WriteBool(s, ani_paused_);
  }
  WriteBool(s, visible_);
  WriteInt32(s, color_);
  for (int32_t v : {spare_.Left, spare_.Top, spare_.Right, spare_.Bottom}) WriteInt32(s, v);
  WriteByte(s, ignore_mouse_);
  WriteString(s, cursor_);
  WriteString(s, mouse_events_[0]);
  if (version > 101) WriteString(s, mouse_events_[1]);
  for (int i = 2; i < 9; ++i) WriteString(s, mouse_events_[i]);
  if (version > 117) {
    WriteBool(s, handle_key_);
    for (const auto& e : key_events_) WriteString(s, e);
  }
  SaveChildren(s, version);
}

void TQuenControl::SaveChildren(TStream& s, int32_t version) const {
  std::vector<const TQuenControl*> stored;
  for (const TQuenControl* c : children_)
    if (!c->IsScrapped() && c->CompoType() != LT_NONE && !c->IsAfterImage() && !c->HasSystemName())
      stored.push_back(c);
  WriteInt32(s, static_cast<int32_t>(stored.size()));
  for (const TQuenControl* c : stored) {
    WriteByte(s, c->CompoType());
    c->SaveToStream(s, version);
  }
}

void TQuenControl::LoadFromStream(TStream& s, int32_t version) {
  TQuenComponent::LoadFromStream(s, version);
  Invalidate();
  left_ = ReadInt32(s);
  top_ = ReadInt32(s);
  width_ = ReadInt32(s);
  height_ = ReadInt32(s);
  offset_x_ = ReadInt32(s);
  offset_y_ = ReadInt32(s);
  pos_zoomed_ = ReadBool(s);
  if (version >= 130) {
    motion_x_ = ReadInt32(s);
    motion_y_ = ReadInt32(s);
    plus_x_ = ReadInt32(s);
    plus_y_ = ReadInt32(s);
  }
  if (version > 103) {
    clip_l_ = ReadInt32(s);
    clip_t_ = ReadInt32(s);
    clip_w_ = ReadInt32(s);
    clip_h_ = ReadInt32(s);
    ani_paused_ = ReadBool(s);
  }
  visible_ = ReadBool(s);
  color_ = ReadInt32(s);
  spare_.Left = ReadInt32(s);
  spare_.Top = ReadInt32(s);
  spare_.Right = ReadInt32(s);
  spare_.Bottom = ReadInt32(s);
  ignore_mouse_ = ReadByte(s);
  cursor_ = ReadString(s);
  mouse_events_[0] = ReadString(s);
  if (version > 101) mouse_events_[1] = ReadString(s);
  for (int i = 2; i < 9; ++i) mouse_events_[i] = ReadString(s);
  if (version > 117) {
    handle_key_ = ReadBool(s);
    for (auto& e : key_events_) e = ReadString(s);
  }
  LoadChildren(s, version);
  Invalidate();
}

void TQuenControl::LoadChildren(TStream& s, int32_t version) {
  TNestGuard guard;
  const int32_t n = ReadInt32(s);
  // Every stored child takes well over one byte.
  if (n < 0 || n > s.Remaining()) RaiseReadError();
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t type = ReadByte(s);
    TQuenObject* o = owner_ ? owner_->CreateComponent(type) : nullptr;
    if (!o) RaiseReadError();
    TQuenControl* c = o->AsControl();
    if (!c) {
      owner_->Destroy(o);
      RaiseReadError();
    }
    c->SetParent(this);
    c->LoadFromStream(s, version);
  }
  SortChildren();
}

void TQuenControl::ListChangedProps(std::string& out) const {
  auto put = [&](uint8_t code) {
    const TPropValue v = ReadProp(code);
    out += ' ';
    out += PropInfo(code).Ident;
    out += '=';
    out += v.Type == TPropType::ptStr ? '"' + v.Str + '"' : std::to_string(v.Int);
  };
  if (!visible_) put(PR_VISIBLE);
  if (color_ != 0) put(PR_COLOR);
  if (offset_x_ || offset_y_) {
    put(PR_OFFSETX);
    put(PR_OFFSETY);
  }
  if (ignore_mouse_) put(PR_IGNOREMOUSE);
  if (handle_key_) put(PR_HANDLEKEY);
  if (ClipActive())
    for (uint8_t c : {PR_CLIPLEFT, PR_CLIPTOP, PR_CLIPWIDTH, PR_CLIPHEIGHT}) put(c);
  if (plus_x_ || plus_y_) {
    put(PR_PLUSX);
    put(PR_PLUSY);
  }
  if (!cursor_.empty()) put(PR_CURSOR);
  for (uint8_t c : {PR_ONMOUSEMOVE, PR_ONMOUSEIN, PR_ONMOUSEOUT, PR_ONLBTNDOWN, PR_ONLBTNUP,
                    PR_ONRBTNDOWN, PR_ONRBTNUP, PR_ONWHEELDOWN, PR_ONWHEELUP, PR_ONKEYDOWN,
                    PR_ONKEYUP, PR_ONKEYREPEAT, PR_ONFOCUSIN, PR_ONFOCUSOUT})
    if (!ReadOwn(c).Str.empty()) put(c);
  TQuenComponent::ListChangedProps(out);
}

}  // namespace quen
