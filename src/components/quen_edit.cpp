#include "components/quen_edit.h"

#include <algorithm>

#include "base/sjis.h"
#include "base/stream.h"
#include "components/input_event.h"
#include "components/quen_base_list.h"
#include "imaging/custom_dibx.h"

namespace quen {
namespace {

enum : int32_t {
  kVkBack = 0x08,
  kVkTab = 0x09,
  kVkReturn = 0x0D,
  kVkShift = 0x10,
  kVkControl = 0x11,
  kVkEscape = 0x1B,
  kVkEnd = 0x23,
  kVkHome = 0x24,
  kVkLeft = 0x25,
  kVkUp = 0x26,
  kVkRight = 0x27,
  kVkDown = 0x28,
  kVkDelete = 0x2E,
};

constexpr TColor kSelectionColor = 0x6A240A;
constexpr int32_t kScrollBarWidth = 12;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> out(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out.emplace_back();
      ++i;
    } else {
      out.back() += text[i];
    }
  }
  return out;
}

}  // namespace

TQuenEdit::TQuenEdit(TQuenBaseList* owner) : TQuenControl(owner) {
  style_.height = 12;
  style_.level = 3;
  TQuenControl::WriteOwn(PR_COLOR, TPropValue::OfInt(0xFFFFFF));
  SetVisible(false);
}

TQuenEdit::~TQuenEdit() {
  ReleaseKeyboard();
}

void TQuenEdit::ReleaseKeyboard() {
  if (!keyboard_) return;
  keyboard_ = false;
  composition_.clear();
  shift_ = control_ = false;
  if (owner_ && owner_->TextEntryHost()) owner_->TextEntryHost()->StopTextInput();
}

// Shown while visible with every parent, on the active root, and the topmost control at its
// own centre: a field covered there hides, as a native control under a picture would.
void TQuenEdit::Place() {
  bool now = Visible() && owner_ && Root() == &owner_->ActiveRoot();
  for (const TQuenControl* p = Parent(); now && p; p = p->Parent()) now = p->Visible();
  if (now) {
    const TRect r = HitRect();
    const int32_t cx = static_cast<int32_t>((int64_t{r.Left} + r.Right) / 2);
    const int32_t cy = static_cast<int32_t>((int64_t{r.Top} + r.Bottom) / 2);
    const TMouseMask all =
        MaskOf(IM_NONE) | MaskOf(IM_ALL) | MaskOf(IM_CLICK) | MaskOf(IM_LCLICK) | MaskOf(IM_RCLICK);
    now = owner_->ActiveRoot().HitTest(cx, cy, all) == this;
  }
  if (now == shown_) return;
  shown_ = now;
  Invalidate();
  if (shown_)
    FocusReceived();
  else
    ReleaseKeyboard();
}

void TQuenEdit::PositionChanged() {
  TQuenControl::PositionChanged();
  Place();
}

bool TQuenEdit::Update(int32_t frameMs) {
  const bool remove = TQuenControl::Update(frameMs);
  Place();
  if (keyboard_ && owner_ && owner_->Focus() != this) ReleaseKeyboard();
  return remove;
}

void TQuenEdit::FocusReceived() {
  if (!Visible() || paused_ || !shown_ || !owner_) return;
  if (owner_->Focus() != this) {
    owner_->SetFocus(this);  // comes back here as the focused control
    return;
  }
  if (keyboard_) return;
  keyboard_ = true;
  owner_->ClearKeyboardState();
  if (ITextEntryHost* host = owner_->TextEntryHost()) host->StartTextInput();
  TellCaret();
}

bool TQuenEdit::TakesKeyboard() const {
  return keyboard_ && shown_ && owner_ && owner_->Focus() == this;
}

void TQuenEdit::TellCaret() {
  if (!keyboard_ || !owner_ || !owner_->TextEntryHost()) return;
  const std::vector<std::string> lines = SplitLines(text_.substr(0, caret_));
  const int32_t x = LabelLineWidth(lines.back(), style_);
  const int32_t y = (static_cast<int32_t>(lines.size()) - 1 - first_line_) * style_.height;
  owner_->TextEntryHost()->SetTextInputRect(AbsLeft() + x, AbsTop() + y, 1, style_.height);
}

size_t TQuenEdit::PrevChar(size_t at) const {
  if (at == 0) return 0;
  // A line break is one step; trail bytes are never CR or LF.
  if (at >= 2 && text_.compare(at - 2, 2, "\r\n") == 0) return at - 2;
  size_t prev = 0;
  for (size_t i = 0; i < at && i < text_.size(); i += sjis::CharLen(text_, i)) prev = i;
  return prev;
}

size_t TQuenEdit::NextChar(size_t at) const {
  if (at >= text_.size()) return text_.size();
  if (text_.compare(at, 2, "\r\n") == 0) return at + 2;
  return at + sjis::CharLen(text_, at);
}

size_t TQuenEdit::LineStart(size_t at) const {
  if (at == 0) return 0;
  size_t p = text_.rfind("\r\n", at - 1);
  while (p != std::string::npos && p + 2 > at) {
    if (p == 0) return 0;
    p = text_.rfind("\r\n", p - 1);
  }
  return p == std::string::npos ? 0 : p + 2;
}

size_t TQuenEdit::LineEnd(size_t at) const {
  const size_t p = text_.find("\r\n", at);
  return p == std::string::npos ? text_.size() : p;
}

size_t TQuenEdit::LineMove(size_t at, bool down) const {
  const size_t start = LineStart(at);
  size_t column = 0;
  for (size_t i = start; i < at; i = NextChar(i)) ++column;
  size_t target;
  if (down) {
    const size_t end = LineEnd(at);
    if (end >= text_.size()) return at;
    target = end + 2;
  } else {
    if (start == 0) return at;
    target = LineStart(start - 2);
  }
  const size_t end = LineEnd(target);
  for (size_t k = 0; k < column && target < end; ++k) target = NextChar(target);
  return target;
}

void TQuenEdit::MoveCaret(size_t to, bool select) {
  caret_ = std::min(to, text_.size());
  if (!select) anchor_ = caret_;
  Changed();
}

void TQuenEdit::Changed() {
  if (Multiline()) {
    const int32_t line = static_cast<int32_t>(SplitLines(text_.substr(0, caret_)).size()) - 1;
    const int32_t visible = std::max(1, Height() / std::max(1, style_.height));
    if (line < first_line_) first_line_ = line;
    if (line >= first_line_ + visible) first_line_ = line - visible + 1;
  }
  Invalidate();
  TellCaret();
}

void TQuenEdit::DeleteSelection() {
  const size_t a = std::min(caret_, anchor_), b = std::max(caret_, anchor_);
  text_.erase(a, b - a);
  caret_ = anchor_ = a;
}

void TQuenEdit::Insert(const std::string& sjis) {
  if (ReadOnly()) return;
  std::string put;
  for (size_t i = 0; i < sjis.size();) {
    const size_t len = sjis::CharLen(sjis, i);
    const unsigned char c = static_cast<unsigned char>(sjis[i]);
    // A lone lead byte at the end is no character.
    if (len == 1 && sjis::IsLeadByte(c)) break;
    if (len == 2 || c >= 0x20 || (Multiline() && c == '\r')) put.append(sjis, i, len);
    i += len;
  }
  if (Multiline()) {
    std::string lines;
    for (size_t i = 0; i < put.size(); ++i) {
      lines += put[i];
      if (put[i] == '\r' && (i + 1 >= put.size() || put[i + 1] != '\n')) lines += '\n';
    }
    put = lines;
  }
  if (put.empty()) return;
  DeleteSelection();
  text_.insert(caret_, put);
  caret_ = anchor_ = caret_ + put.size();
  Changed();
}

void TQuenEdit::TextInput(const std::string& sjis) {
  composition_.clear();
  Insert(sjis);
}

void TQuenEdit::CompositionInput(const std::string& sjis) {
  composition_ = sjis;
  Changed();
}

void TQuenEdit::KeyInput(int32_t key, bool down) {
  if (key == kVkShift) shift_ = down;
  if (key == kVkControl) control_ = down;
  if (!down) return;
  const size_t a = std::min(caret_, anchor_), b = std::max(caret_, anchor_);
  ITextEntryHost* host = owner_ ? owner_->TextEntryHost() : nullptr;
  switch (key) {
    case kVkLeft:
      MoveCaret(!shift_ && a != b ? a : PrevChar(caret_), shift_);
      break;
    case kVkRight:
      MoveCaret(!shift_ && a != b ? b : NextChar(caret_), shift_);
      break;
    case kVkHome:
      MoveCaret(Multiline() && !control_ ? LineStart(caret_) : 0, shift_);
      break;
    case kVkEnd:
      MoveCaret(Multiline() && !control_ ? LineEnd(caret_) : text_.size(), shift_);
      break;
    case kVkUp:
    case kVkDown:
      if (Multiline()) MoveCaret(LineMove(caret_, key == kVkDown), shift_);
      break;
    case kVkBack:
    case kVkDelete:
      if (ReadOnly()) break;
      if (a == b) anchor_ = key == kVkBack ? PrevChar(caret_) : NextChar(caret_);
      DeleteSelection();
      Changed();
      break;
    case kVkReturn:
      if (Multiline()) Insert("\r");
      break;
    case 'A':
      if (control_) {
        anchor_ = 0;
        caret_ = text_.size();
        Changed();
      }
      break;
    case 'C':
    case 'X':
      if (control_ && host && a != b) {
        host->SetClipboardText(text_.substr(a, b - a));
        if (key == 'X' && !ReadOnly()) {
          DeleteSelection();
          Changed();
        }
      }
      break;
    case 'V':
      if (control_ && host) Insert(host->ClipboardText());
      break;
    default:
      break;
  }
  FireEvent(PR_ONNOTIFY, {std::to_string(key), text_}, false);
}

void TQuenEdit::DrawSelf(TCustomDIBX& target) {
  if (!shown_) return;
  const TRect box = HitRect();
  const TColor back = PropInt(PR_COLOR);
  if (back >= 0) target.FillRect(box, static_cast<uint32_t>(target.ColorToPixel(back)));
  std::string shown = text_;
  shown.insert(caret_, composition_);
  const std::vector<std::string> lines = SplitLines(shown);
  const int32_t h = std::max(1, style_.height);
  const int32_t width = Width() - (Multiline() ? kScrollBarWidth : 0);
  const size_t sel_a = std::min(caret_, anchor_), sel_b = std::max(caret_, anchor_);
  size_t offset = 0;
  const uint32_t ink = static_cast<uint32_t>(target.ColorToPixel(style_.color));
  for (size_t li = 0; li < lines.size(); ++li) {
    const std::string& line = lines[li];
    const int32_t row = static_cast<int32_t>(li) - first_line_;
    const size_t line_start = offset;
    offset += line.size() + 2;
    if (row < 0 || int64_t{row} * h >= Height()) continue;
    const int32_t y = AbsTop() + row * h;
    int32_t x = AbsLeft();
    const int32_t line_w = LabelLineWidth(line, style_);
    if (align_ == 1) x += (width - line_w) / 2;
    if (align_ == 2) x += width - line_w;
    auto x_at = [&](size_t byte) {
      return x + LabelLineWidth(line.substr(0, std::min(byte, line.size())), style_);
    };
    // Offsets in the shown text are those of text_ before the caret, shifted after it.
    auto shown_of = [&](size_t at) { return at <= caret_ ? at : at + composition_.size(); };
    const size_t sa = shown_of(sel_a), sb = shown_of(sel_b);
    if (sa != sb && sb > line_start && sa < line_start + line.size() + 1) {
      const int32_t l = x_at(sa > line_start ? sa - line_start : 0);
      const int32_t r = x_at(std::min(sb - line_start, line.size()));
      target.FillRect(TRect{l, y, r, y + h}.Intersect(box),
                      static_cast<uint32_t>(target.ColorToPixel(kSelectionColor)));
    }
    if (!line.empty()) {
      TLabel label;
      RenderLabelLines({line}, style_, target.BitCount(), label);
      if (!label.mask.IsEmpty())
        target.DrawMask(x, y, label.mask, false, false, TRect{0, 0, label.width, label.height},
                        label.color);
    }
    const size_t caret_shown = caret_ + composition_.size();
    if (!composition_.empty() && caret_ >= line_start && caret_ <= line_start + line.size()) {
      // The composition is underlined until it is typed.
      const int32_t l = x_at(caret_ - line_start), r = x_at(caret_shown - line_start);
      target.FillRect(TRect{l, y + h - 1, r, y + h}.Intersect(box), ink);
    }
    if (keyboard_ && caret_shown >= line_start && caret_shown <= line_start + line.size()) {
      const int32_t cx = x_at(caret_shown - line_start);
      target.FillRect(TRect{cx, y, cx + 1, y + h}.Intersect(box), ink);
    }
  }
  if (Multiline()) {
    // The scroll bar: a track and a thumb for the visible lines.
    const TRect track{box.Right - kScrollBarWidth, box.Top, box.Right, box.Bottom};
    target.FillRect(track, static_cast<uint32_t>(target.ColorToPixel(0xE0E0E0)));
    const int64_t total = std::max<int64_t>(1, static_cast<int64_t>(lines.size()));
    const int64_t visible = std::max<int64_t>(1, Height() / h);
    const int64_t len = track.Height() * std::min(visible, total) / total;
    const int64_t top = track.Top + int64_t{track.Height()} * first_line_ / total;
    target.FillRect(TRect{track.Left + 2, static_cast<int32_t>(top), track.Right - 2,
                          static_cast<int32_t>(top + std::max<int64_t>(len, 4))},
                    static_cast<uint32_t>(target.ColorToPixel(0x808080)));
  }
}

TPropValue TQuenEdit::ReadOwn(uint8_t code) const {
  switch (code) {
    case PR_TEXT:
      return TPropValue::OfStr(text_);
    case PR_FONTNAME:
      return TPropValue::OfStr(style_.face);
    case PR_FONTHEIGHT:
      return TPropValue::OfInt(style_.height);
    case PR_FONTSTYLE:
      return TPropValue::OfInt(style_.style);
    case PR_FONTCOLOR:
      return TPropValue::OfInt(style_.color);
    case PR_READONLY:
      return TPropValue::OfBool(read_only_);
    case PR_PAUSED:
      return TPropValue::OfBool(paused_);
    case PR_HANDLEKEY:
      return TPropValue::OfBool(true);
    case PR_HALIGN:
      return TPropValue::OfInt(align_);
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenEdit::WriteOwn(uint8_t code, const TPropValue& value) {
  switch (code) {
    case PR_TEXT:
      text_ = value.Str;
      // Writing selects the whole text, as the native field did.
      anchor_ = 0;
      caret_ = text_.size();
      Changed();
      return;
    case PR_FONTNAME:
      style_.face = value.Str;
      Changed();
      return;
    case PR_FONTHEIGHT:
      style_.height = value.Int;
      Changed();
      return;
    case PR_FONTSTYLE:
      style_.style = static_cast<uint8_t>(value.Int & 15);
      Changed();
      return;
    case PR_FONTCOLOR:
      style_.color = value.Int;
      Changed();
      return;
    case PR_READONLY:
      read_only_ = value.Int != 0;
      return;
    case PR_PAUSED:
      paused_ = value.Int != 0;
      if (paused_) ReleaseKeyboard();
      return;
    case PR_HANDLEKEY:
      return;
    case PR_HALIGN:
      align_ = static_cast<uint8_t>(value.Int);
      Changed();
      return;
    case PR_VISIBLE:
    case PR_LEFT:
    case PR_TOP:
    case PR_WIDTH:
    case PR_HEIGHT:
    case PR_PARENT:
    case PR_OFFSETX:
    case PR_OFFSETY:
    case PR_PLUSX:
    case PR_PLUSY:
      TQuenControl::WriteOwn(code, value);
      Place();
      return;
    default:
      TQuenControl::WriteOwn(code, value);
      return;
  }
}

void TQuenEdit::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  WriteBool(s, paused_);
  WriteString(s, text_);
  WriteString(s, style_.face);
  WriteInt32(s, style_.height);
  WriteByte(s, style_.style);
  WriteInt32(s, style_.color);
  WriteInt32(s, PropInt(PR_COLOR));
  WriteBool(s, read_only_);
  if (Multiline()) WriteByte(s, align_);
  WriteString(s, PropStr(PR_ONNOTIFY));
}

void TQuenEdit::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  const bool paused = ReadBool(s);
  std::string text = ReadString(s);
  std::string face = ReadString(s);
  const int32_t height = ReadInt32(s);
  const uint8_t style = ReadByte(s);
  const int32_t color = ReadInt32(s);
  const int32_t back = ReadInt32(s);
  const bool read_only = ReadBool(s);
  const uint8_t align = Multiline() ? ReadByte(s) : 0;
  std::string notify = ReadString(s);
  // Re-applied through the property writes, in the stored order.
  WriteOwn(PR_PAUSED, TPropValue::OfBool(paused));
  WriteOwn(PR_TEXT, TPropValue::OfStr(std::move(text)));
  WriteOwn(PR_FONTNAME, TPropValue::OfStr(std::move(face)));
  WriteOwn(PR_FONTHEIGHT, TPropValue::OfInt(height));
  WriteOwn(PR_FONTSTYLE, TPropValue::OfInt(style));
  WriteOwn(PR_FONTCOLOR, TPropValue::OfInt(color));
  WriteOwn(PR_COLOR, TPropValue::OfInt(back));
  WriteOwn(PR_READONLY, TPropValue::OfBool(read_only));
  if (Multiline()) WriteOwn(PR_HALIGN, TPropValue::OfInt(align));
  TQuenControl::WriteOwn(PR_ONNOTIFY, TPropValue::OfStr(std::move(notify)));
  shown_ = false;
  Place();
}

}  // namespace quen
