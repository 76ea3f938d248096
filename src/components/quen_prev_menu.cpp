#include "components/quen_prev_menu.h"

#include <algorithm>
#include <cstdlib>

#include "base/error.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "components/brix_collection.h"
#include "components/quen_base_list.h"
#include "components/vk_codes.h"
#include "expr/param_collection.h"
#include "files/file_manager.h"
#include "files/host_path.h"

namespace quen {
namespace {

bool Has(const std::vector<int32_t>& keys, int32_t k) {
  return std::find(keys.begin(), keys.end(), k) != keys.end();
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// Either the first name, or the second when the first is empty.
const std::string& Or(const std::string& a, const std::string& b) {
  return a.empty() ? b : a;
}

}  // namespace

// ------------------------------------------------------------------ TQuenPrevImages

void TQuenPrevImages::Show(const std::string& source, bool repeat) {
  once_ = !repeat;
  ended_ = false;
  repeat_ = repeat;
  if (source == Source()) {
    Restart();
    SetFinished(false);
    return;
  }
  SetSource(source);
}

bool TQuenPrevImages::PlayEnded() {
  ended_ = true;
  return false;
}

// ------------------------------------------------------------------ TQuenPrevMenu

TQuenPrevMenu::~TQuenPrevMenu() {
  Clear();
}

TQuenPrevImages* TQuenPrevMenu::Thumbnail(int32_t i) const {
  if (!owner_ || i < 0 || i >= static_cast<int32_t>(thumbs_.size())) return nullptr;
  return dynamic_cast<TQuenPrevImages*>(owner_->Resolve(thumbs_[static_cast<size_t>(i)]));
}

int32_t TQuenPrevMenu::IndexOf(const std::string& text) const {
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (!text.empty() && *end == '\0')
    return v >= 0 && v < ButtonCount() ? static_cast<int32_t>(v) : -1;
  for (int32_t i = 0; i < ButtonCount(); ++i)
    if (layout_.Buttons[static_cast<size_t>(i)].Name == text) return i;
  return -1;
}

int32_t TQuenPrevMenu::GroupOf(int32_t i) const {
  return i >= 0 && i < ButtonCount() ? layout_.Buttons[static_cast<size_t>(i)].Group : 0;
}

bool TQuenPrevMenu::IsChecked(int32_t i) const {
  const int32_t g = GroupOf(i);
  if (g <= 0 || !VisibleItem(i)) return false;
  int32_t first = -1, first_checked = -1;
  for (int32_t k = 0; k < ButtonCount(); ++k) {
    if (GroupOf(k) != g || !VisibleItem(k)) continue;
    if (first < 0) first = k;
    if (first_checked < 0 && CheckedFlag(k)) first_checked = k;
  }
  return (first_checked >= 0 ? first_checked : first) == i;
}

std::string TQuenPrevMenu::PictureFor(int32_t i, int moment) const {
  const TContSelButton& b = layout_.Buttons[static_cast<size_t>(i)];
  if (!Enabled(i)) {
    const std::string& rest = Or(b.DisabledPicture, b.Picture);
    if (moment == 1) return Or(b.DisabledHoverPicture, rest);
    if (moment == 2) return Or(b.DisabledLeavePicture, rest);
    return rest;
  }
  std::string plain = moment == 1   ? Or(b.HoverPicture, b.Picture)
                      : moment == 2 ? Or(b.LeavePicture, b.Picture)
                                    : b.Picture;
  if (!IsChecked(i)) return plain;
  if (moment == 1) return Or(b.CheckedHoverPicture, Or(b.CheckedPicture, plain));
  if (moment == 2) return Or(b.CheckedLeavePicture, Or(b.CheckedPicture, plain));
  return Or(b.CheckedPicture, plain);
}

std::string TQuenPrevMenu::OverlayFor(int32_t i, bool entering) const {
  const TContSelButton& b = layout_.Buttons[static_cast<size_t>(i)];
  if (!Enabled(i)) return entering ? b.DisabledEnterOverlay : b.DisabledLeaveOverlay;
  if (IsChecked(i)) {
    const std::string& c = entering ? b.CheckedEnterOverlay : b.CheckedLeaveOverlay;
    if (!c.empty()) return c;
  }
  return entering ? b.EnterOverlay : b.LeaveOverlay;
}

void TQuenPrevMenu::ShowOverlay(int32_t i, const std::string& source, bool repeat) {
  TQuenPrevImages* o = owner_ ? dynamic_cast<TQuenPrevImages*>(owner_->Resolve(overlay_)) : nullptr;
  if (source.empty()) {
    if (o) owner_->Scrap(o);
    overlay_ = {};
    return;
  }
  if (!o) {
    o = owner_->Create<TQuenPrevImages>();
    o->SetName("\x01" + Name() +
               "\x01"
               "overlay");
    o->SetParent(this);
    o->WriteProp(PR_IGNOREMOUSE, TPropValue::OfInt(IM_ALL));
    o->WriteProp(PR_PRIORITY, TPropValue::OfInt(1));
    overlay_ = o->Handle();
  }
  const TContSelButton& b = layout_.Buttons[static_cast<size_t>(i)];
  o->WriteProp(PR_LEFT, TPropValue::OfInt(b.OverlayX));
  o->WriteProp(PR_TOP, TPropValue::OfInt(b.OverlayY));
  o->Show(source, repeat);
}

void TQuenPrevMenu::ApplyNormal(int32_t i) {
  TQuenPrevImages* t = Thumbnail(i);
  if (!t) return;
  t->SetVisible(VisibleItem(i));
  t->Show(PictureFor(i, i == hover_ ? 1 : 0), true);
}

void TQuenPrevMenu::ApplyGroup(int32_t group) {
  if (group <= 0) return;
  for (int32_t k = 0; k < ButtonCount(); ++k)
    if (GroupOf(k) == group) ApplyNormal(k);
}

void TQuenPrevMenu::SetEnabled(int32_t i, bool on) {
  if (i < 0 || i >= ButtonCount()) return;
  enabled_[static_cast<size_t>(i)] = on;
  ApplyNormal(i);
  ApplyGroup(GroupOf(i));
}

void TQuenPrevMenu::SetVisibleItem(int32_t i, bool on) {
  if (i < 0 || i >= ButtonCount()) return;
  visible_[static_cast<size_t>(i)] = on;
  if (!on && hover_ == i) SetHover(-1);
  if (!on) {
    if (TQuenPrevImages* t = Thumbnail(i)) t->SetVisible(false);
  } else {
    ApplyNormal(i);
  }
  ApplyGroup(GroupOf(i));
}

void TQuenPrevMenu::SetCheckedFlag(int32_t i, bool on) {
  if (i < 0 || i >= ButtonCount()) return;
  checked_[static_cast<size_t>(i)] = on;
  ApplyNormal(i);
  ApplyGroup(GroupOf(i));
}

int32_t TQuenPrevMenu::ButtonAt(int32_t x, int32_t y) {
  for (int32_t i = ButtonCount(); i-- > 0;) {
    if (!VisibleItem(i)) continue;
    TQuenPrevImages* t = Thumbnail(i);
    if (t && t->Hits(x, y)) return i;
  }
  return -1;
}

void TQuenPrevMenu::SetHover(int32_t i) {
  if (i == hover_) return;
  const int32_t before = hover_;
  hover_ = i;
  auto args = [this](int32_t k) {
    return std::vector<std::string>{layout_.Buttons[static_cast<size_t>(k)].Name,
                                    std::to_string(k)};
  };
  if (before >= 0 && before < ButtonCount()) {
    if (TQuenPrevImages* t = Thumbnail(before)) t->Show(PictureFor(before, 2), false);
    ShowOverlay(before, OverlayFor(before, false), false);
    FireEvent(PR_ONMAPOUT, args(before), true);
  }
  if (i >= 0 && i < ButtonCount()) {
    if (TQuenPrevImages* t = Thumbnail(i)) t->Show(PictureFor(i, 1), true);
    ShowOverlay(i, OverlayFor(i, true), true);
    FireEvent(PR_ONMAPIN, args(i), true);
  }
}

void TQuenPrevMenu::Choose(int32_t i) {
  if (i < 0 || i >= ButtonCount() || !Enabled(i) || !VisibleItem(i) || closing_) return;
  const TContSelButton& b = layout_.Buttons[static_cast<size_t>(i)];
  if (b.Group > 0) {
    const bool was = IsChecked(i);
    for (int32_t k = 0; k < ButtonCount(); ++k)
      if (GroupOf(k) == b.Group) checked_[static_cast<size_t>(k)] = k == i;
    ApplyGroup(b.Group);
    const std::string& overlay = was ? b.CheckedClickOverlay : b.GroupClickOverlay;
    if (!overlay.empty()) ShowOverlay(i, overlay, false);
  } else {
    if (!b.ClickedPicture.empty())
      if (TQuenPrevImages* t = Thumbnail(i)) t->Show(b.ClickedPicture, false);
    if (!b.ClickOverlay.empty()) ShowOverlay(i, b.ClickOverlay, false);
  }
  if (owner_ && owner_->ScriptVars()) {
    owner_->ScriptVars()->sel_str = b.Name;
    owner_->ScriptVars()->sel_index = i;
  }
  FireEvent(PR_ONSELECT, {b.Name, std::to_string(i)}, true);
  finishing_ = true;
}

void TQuenPrevMenu::Finish() {
  finishing_ = false;
  if (PropBool(PR_AUTOSCRAP)) {
    closing_ = true;
    if (owner_) owner_->Scrap(this);
    return;
  }
  FireEvent(PR_ONPLAYEND, {}, false);
}

void TQuenPrevMenu::Cancel() {
  closing_ = true;
  if (owner_ && owner_->ScriptVars()) {
    owner_->ScriptVars()->sel_str.clear();
    owner_->ScriptVars()->sel_index = -1;
  }
  if (owner_) owner_->Scrap(this);
}

bool TQuenPrevMenu::ConsumeRightClick() {
  if (closing_) return false;
  Cancel();
  return true;
}

bool TQuenPrevMenu::Update(int32_t frameMs) {
  if (TQuenControl::Update(frameMs)) return true;
  if (!finishing_) return false;
  // The click animation runs while the chosen button or the overlay plays a picture once.
  bool running = false;
  for (int32_t i = 0; i < ButtonCount() && !running; ++i)
    if (TQuenPrevImages* t = Thumbnail(i)) running = t->PlayingOnce();
  if (auto* o = owner_ ? dynamic_cast<TQuenPrevImages*>(owner_->Resolve(overlay_)) : nullptr)
    running = running || o->PlayingOnce();
  if (!running) Finish();
  return false;
}

void TQuenPrevMenu::DoLButtonDown(int32_t x, int32_t y) {
  TQuenControl::DoLButtonDown(x, y);
  const int32_t im = PropInt(PR_IGNOREMOUSE);
  if (!(im == IM_NONE || im == IM_RCLICK) || IsPaused() || closing_) return;
  const int32_t i = ButtonAt(x, y);
  if (i < 0) return;
  SetHover(i);
  Choose(i);
}

void TQuenPrevMenu::DoMouseMove(int32_t x, int32_t y) {
  TQuenControl::DoMouseMove(x, y);
  if (IsPaused() || closing_) return;
  SetHover(ButtonAt(x, y));
}

void TQuenPrevMenu::DoMouseOut(TQuenControl* newTarget) {
  TQuenControl::DoMouseOut(newTarget);
  if (PropInt(PR_IGNOREMOUSE) != IM_ALL) SetHover(-1);
}

void TQuenPrevMenu::DoKeyRepeat(const std::vector<int32_t>& keys) {
  TQuenControl::DoKeyRepeat(keys);
  // Without buttons there is nothing to move to or choose.
  if (IsPaused() || closing_ || ButtonCount() == 0) return;
  if (Has(keys, VK_ESCAPE) && PropBool(PR_RCLICKSCRAP)) {
    Cancel();
    return;
  }
  int dx = 0, dy = 0;
  if (Has(keys, VK_LEFT)) dx = -1;
  if (Has(keys, VK_RIGHT)) dx = 1;
  if (Has(keys, VK_UP)) dy = -1;
  if (Has(keys, VK_DOWN)) dy = 1;
  auto usable = [this](int32_t k) { return Enabled(k) && VisibleItem(k); };
  if (dx != 0 || dy != 0) {
    int32_t to = -1;
    if (hover_ < 0) {
      for (int32_t k = 0; k < ButtonCount() && to < 0; ++k)
        if (usable(k)) to = k;
    } else {
      auto centre = [this](int32_t k) {
        TQuenPrevImages* t = Thumbnail(k);
        const TContSelButton& b = layout_.Buttons[static_cast<size_t>(k)];
        const int64_t w = t ? t->Width() : 0, h = t ? t->Height() : 0;
        return std::pair<int64_t, int64_t>{2 * int64_t{b.X} + w, 2 * int64_t{b.Y} + h};
      };
      const auto [hx, hy] = centre(hover_);
      int64_t best = 0;
      for (int32_t k = 0; k < ButtonCount(); ++k) {
        if (k == hover_ || !usable(k)) continue;
        const auto [kx, ky] = centre(k);
        const int64_t ax = (kx - hx) * dx, ay = (ky - hy) * dy;
        // That way: ahead along the arrow's axis.
        if ((dx != 0 && ax <= 0) || (dy != 0 && ay <= 0)) continue;
        const int64_t d = (kx - hx) * (kx - hx) + (ky - hy) * (ky - hy);
        if (to < 0 || d < best) {
          to = k;
          best = d;
        }
      }
    }
    if (to >= 0) SetHover(to);
  }
  if (Has(keys, VK_RETURN) && hover_ >= 0) Choose(hover_);
}

std::string TQuenPrevMenu::GetEffectiveCursor() const {
  if (hover_ >= 0 && hover_ < ButtonCount()) {
    const std::string& c = layout_.Buttons[static_cast<size_t>(hover_)].Cursor;
    if (!c.empty()) return c;
  }
  return TQuenControl::GetEffectiveCursor();
}

void TQuenPrevMenu::Preload(const std::string& file) {
  if (file.empty()) return;
  const std::string key = Upper(file);
  if (std::find(cached_names_.begin(), cached_names_.end(), key) != cached_names_.end()) return;
  cached_names_.push_back(key);
  // Films bring the pictures of their tracks once films can be read; until then only
  // pictures are cached.
  if (sjis::EqualsNoCase(GameExtension(file), ".qmt")) return;
  TBrixCollection* cache = BrixCollection();
  if (!cache || !FileManager().FileExists(file)) return;
  try {
    cached_.push_back(cache->Acquire(this, file, false, false));
  } catch (const EQuenError&) {
    // A damaged picture shows nothing where it is used.
  }
}

void TQuenPrevMenu::Clear() {
  if (owner_) {
    for (int32_t i = 0; i < static_cast<int32_t>(thumbs_.size()); ++i)
      if (TQuenPrevImages* t = Thumbnail(i)) owner_->Scrap(t);
    if (TQuenObject* o = owner_->Resolve(overlay_)) owner_->Scrap(o);
  }
  thumbs_.clear();
  overlay_ = {};
  if (TBrixCollection* cache = BrixCollection())
    for (TBrixItem* item : cached_) cache->Release(item, this);
  cached_.clear();
  cached_names_.clear();
  layout_ = TContSelList{};
  enabled_.clear();
  visible_.clear();
  checked_.clear();
  hover_ = -1;
  finishing_ = false;
}

void TQuenPrevMenu::Build() {
  const int32_t n = ButtonCount();
  enabled_.assign(static_cast<size_t>(n), 1);
  visible_.assign(static_cast<size_t>(n), 1);
  checked_.assign(static_cast<size_t>(n), 0);
  SetBounds(Left(), Top(), layout_.Width, layout_.Height);
  for (TContSelButton& b : layout_.Buttons)
    for (std::string* f : b.FileNames())
      if (f != &b.Cursor) Preload(*f);
  for (int32_t i = 0; i < n; ++i) {
    const TContSelButton& b = layout_.Buttons[static_cast<size_t>(i)];
    auto* t = owner_->Create<TQuenPrevImages>();
    t->SetName("\x01" + Name() + "\x01" + std::to_string(i));
    t->SetParent(this);
    t->WriteProp(PR_LEFT, TPropValue::OfInt(b.X));
    t->WriteProp(PR_TOP, TPropValue::OfInt(b.Y));
    t->WriteProp(PR_IGNOREMOUSE, TPropValue::OfInt(IM_ALL));
    t->SetCaptureMask(b.CaptureMask != 0);
    t->WriteProp(PR_CURSOR, TPropValue::OfStr(b.Cursor));
    thumbs_.push_back(t->Handle());
    t->Show(b.Picture, true);
  }
  for (int32_t i = 0; i < n; ++i)
    if (IsChecked(i)) ApplyNormal(i);
}

void TQuenPrevMenu::SetSource(const std::string& source) {
  Invalidate();
  Clear();
  source_ = source;
  SetBounds(Left(), Top(), 0, 0);
  if (source.empty() || !owner_ || !FileManager().FileExists(source)) return;
  TKvMemoryStream m;
  FileManager().LoadFile(m, source);
  TContSelList read;
  // A damaged layout leaves an empty menu of no size, and the error goes to the script.
  read.LoadFromStream(m, GameFolderOf(source));
  layout_ = std::move(read);
  Build();
  Invalidate();
}

TPropValue TQuenPrevMenu::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_SOURCE:
      return TPropValue::OfStr(source_);
    case PR_COUNT:
      return TPropValue::OfInt(ButtonCount());
    case PR_TEXT: {
      std::string text;
      for (int32_t i = 0; i < ButtonCount(); ++i)
        text += (i ? "\r\n" : "") + layout_.Buttons[static_cast<size_t>(i)].Name;
      return TPropValue::OfStr(text);
    }
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenPrevMenu::WriteOwn(uint8_t code, const TPropValue& value) {
  if (code == PR_SOURCE) {
    SetSource(value.Str);
    return;
  }
  TQuenControl::WriteOwn(code, value);
}

void TQuenPrevMenu::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  WriteString(s, source_);
  WriteBool(s, PropBool(PR_AUTOSCRAP));
  WriteBool(s, PropBool(PR_RCLICKSCRAP));
  WriteBool(s, PropBool(PR_PAUSED));
  for (uint8_t code : {PR_ONMAPIN, PR_ONMAPOUT, PR_ONIDLE, PR_ONSELECT, PR_ONPLAYEND})
    WriteString(s, PropStr(code));
  auto array = [&](const std::vector<uint8_t>& v) {
    WriteInt32(s, static_cast<int32_t>(v.size()));
    for (uint8_t b : v) WriteByte(s, b);
  };
  if (version > 126) array(enabled_);
  if (version > 131) array(visible_);
  if (version > 135) array(checked_);
}

void TQuenPrevMenu::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  const std::string source = ReadString(s);
  const bool autoscrap = ReadBool(s), rclick = ReadBool(s), paused = ReadBool(s);
  std::string events[5];
  for (std::string& e : events) e = ReadString(s);
  auto array = [&]() {
    const int32_t n = ReadInt32(s);
    if (n < 0 || n > s.Remaining()) RaiseReadError();
    std::vector<uint8_t> v(static_cast<size_t>(n));
    for (uint8_t& b : v) b = ReadByte(s);
    return v;
  };
  std::vector<uint8_t> enabled, visible, checked;
  if (version > 126) enabled = array();
  if (version > 131) visible = array();
  if (version > 135) checked = array();
  TQuenControl::WriteOwn(PR_AUTOSCRAP, TPropValue::OfBool(autoscrap));
  TQuenControl::WriteOwn(PR_RCLICKSCRAP, TPropValue::OfBool(rclick));
  TQuenControl::WriteOwn(PR_PAUSED, TPropValue::OfBool(paused));
  const uint8_t codes[5] = {PR_ONMAPIN, PR_ONMAPOUT, PR_ONIDLE, PR_ONSELECT, PR_ONPLAYEND};
  for (int i = 0; i < 5; ++i) TQuenControl::WriteOwn(codes[i], TPropValue::OfStr(events[i]));
  try {
    SetSource(source);
  } catch (const EQuenError&) {
    // A layout damaged since the save leaves an empty menu; the game goes on.
  }
  auto apply = [&](const std::vector<uint8_t>& v, auto write) {
    const int32_t n = std::min(static_cast<int32_t>(v.size()), ButtonCount());
    for (int32_t i = 0; i < n; ++i) write(i, v[static_cast<size_t>(i)] != 0);
  };
  apply(enabled, [this](int32_t i, bool on) { SetEnabled(i, on); });
  apply(visible, [this](int32_t i, bool on) { SetVisibleItem(i, on); });
  apply(checked, [this](int32_t i, bool on) { SetCheckedFlag(i, on); });
}

}  // namespace quen
