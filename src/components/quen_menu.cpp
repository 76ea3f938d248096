#include "components/quen_menu.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "base/stream.h"
#include "components/brix_collection.h"
#include "components/cell_draw.h"
#include "components/quen_base_list.h"
#include "components/vk_codes.h"
#include "expr/param_collection.h"
#include "files/file_manager.h"

namespace quen {
namespace {

bool Has(const std::vector<int32_t>& keys, int32_t k) {
  return std::find(keys.begin(), keys.end(), k) != keys.end();
}

int32_t C32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The pattern offset of an aligned area: where the picture's origin lies from the area's start.
int32_t AlignOffset(uint8_t align, int64_t area, int64_t picture) {
  if (picture <= 0) return 0;
  if (align == 1) return C32(picture < area ? -((area % picture) / 2) : (area - picture) / 2);
  if (align == 2) return C32(picture < area ? -(area % picture) : area - picture);
  return 0;
}

// The scroll strip's cells.
enum : int32_t {
  kUpCell = 0,
  kUpPressed = 1,
  kDownCell = 2,
  kDownPressed = 3,
  kTrackCell = 4,
  kThumbCell = 5,
  kThumbPressed = 6
};
// Parts of the scroll bar under a point.
enum : int32_t { kNoPart = 0, kUpPart, kDownPart, kThumbPart, kAbovePart, kBelowPart, kRowsPart };

constexpr uint8_t kCellCodes[9] = {PR_BORDERSOURCETL, PR_BORDERSOURCETC, PR_BORDERSOURCETR,
                                   PR_BORDERSOURCECL, PR_BORDERSOURCECC, PR_BORDERSOURCECR,
                                   PR_BORDERSOURCEBL, PR_BORDERSOURCEBC, PR_BORDERSOURCEBR};

int CellOf(uint8_t code) {
  for (int i = 0; i < 9; ++i)
    if (kCellCodes[i] == code) return i;
  return -1;
}

// The whole text loses control characters at both ends.
std::string Trimmed(const std::string& text) {
  size_t a = 0, b = text.size();
  while (a < b && static_cast<unsigned char>(text[a]) < 32) ++a;
  while (b > a && static_cast<unsigned char>(text[b - 1]) < 32) --b;
  return text.substr(a, b - a);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  if (text.empty()) return out;
  size_t at = 0;
  while (true) {
    const size_t cr = text.find_first_of("\r\n", at);
    if (cr == std::string::npos) {
      out.push_back(text.substr(at));
      break;
    }
    out.push_back(text.substr(at, cr - at));
    at = cr + (text[cr] == '\r' && cr + 1 < text.size() && text[cr + 1] == '\n' ? 2 : 1);
  }
  return out;
}

}  // namespace

// ------------------------------------------------------------------ TQuenCustomListBox

TQuenCustomListBox::TQuenCustomListBox(TQuenBaseList* owner)
    : TQuenControl(owner), scroll_(this), check_(this) {
  for (int i = 0; i < 9; ++i) cells_.emplace_back(this);
  normal_.blend = hover_.blend = alpha_;
}

bool TQuenCustomListBox::Check(int32_t i) const {
  return i >= 0 && i < ItemCount() && checks_[static_cast<size_t>(i)] != 0;
}

void TQuenCustomListBox::SetCheck(int32_t i, bool on) {
  if (i < 0 || i >= ItemCount()) return;
  checks_[static_cast<size_t>(i)] = on ? 1 : 0;
  Invalidate();
}

int32_t TQuenCustomListBox::ShownRows() const {
  return std::clamp(rows_, 0, ItemCount());
}

int32_t TQuenCustomListBox::RowHeight() const {
  auto h = [](const TLabelStyle& s) {
    return int64_t{s.height} + 2 * int64_t{s.border} + s.shadow + s.line_space;
  };
  return C32(std::max(h(normal_.style), h(hover_.style)));
}

bool TQuenCustomListBox::ScrollBarShown() const {
  return ItemCount() > rows_;
}

TPoint TQuenCustomListBox::CellSize(int i) const {
  const TBrixItem* item = cells_[static_cast<size_t>(i)].frames.Item();
  if (!item || item->StandIn()) return {0, 0};
  return {item->Width(), item->Height()};
}

TQuenCustomListBox::TFrameSizes TQuenCustomListBox::FrameSizes() const {
  TFrameSizes f;
  for (int i : {0, 3, 6}) f.left = std::max(f.left, CellSize(i).X);
  for (int i : {2, 5, 8}) f.right = std::max(f.right, CellSize(i).X);
  for (int i : {0, 1, 2}) f.top = std::max(f.top, CellSize(i).Y);
  for (int i : {6, 7, 8}) f.bottom = std::max(f.bottom, CellSize(i).Y);
  return f;
}

TPoint TQuenCustomListBox::StripCell(const TQuenImageList& list, int cells) const {
  const TBrixItem* item = list.Item();
  if (!item || item->StandIn()) return {0, 0};
  return {item->Width() / cells, item->Height()};
}

void TQuenCustomListBox::Relayout() {
  stale_ = false;
  const TFrameSizes f = FrameSizes();
  int32_t widest = 0;
  // Widths are measured, not rendered: only the rows shown are ever rendered.
  for (const std::string& item : items_)
    widest =
        std::max({widest, LabelLineWidth(item, normal_.style), LabelLineWidth(item, hover_.style)});
  int64_t w = int64_t{widest} + 2 * int64_t{border_width_} + f.left + f.right +
              2 * int64_t{margin_x_} + StripCell(check_, 2).X;
  if (ScrollBarShown()) w += StripCell(scroll_, 7).X;
  const int64_t r = ShownRows();
  const int64_t h = r * RowHeight() + std::max<int64_t>(r - 1, 0) * line_space_ +
                    2 * int64_t{border_width_} + f.top + f.bottom + 2 * int64_t{margin_y_};
  Invalidate();
  full_height_ = static_cast<int32_t>(std::clamp<int64_t>(h, 0, INT32_MAX));
  SetBounds(Left(), Top(), static_cast<int32_t>(std::clamp<int64_t>(w, 0, INT32_MAX)), Height());
  ApplyHeight(full_height_);
  SetTop(top_);
  Invalidate();
}

void TQuenCustomListBox::ApplyHeight(int32_t fullHeight) {
  SetBounds(Left(), Top(), Width(), fullHeight);
}

TRect TQuenCustomListBox::RowsRect() const {
  const TFrameSizes f = FrameSizes();
  const int64_t l = int64_t{AbsLeft()} + border_width_ + f.left + margin_x_;
  const int64_t t = int64_t{AbsTop()} + border_width_ + f.top + margin_y_;
  int64_t r = int64_t{AbsLeft()} + Width() - border_width_ - f.right - margin_x_;
  if (ScrollBarShown()) r -= StripCell(scroll_, 7).X;
  const int64_t b = int64_t{AbsTop()} + Height() - border_width_ - f.bottom - margin_y_;
  return TRect{C32(l), C32(t), C32(std::max(l, r)), C32(std::max(t, b))};
}

TQuenCustomListBox::TBar TQuenCustomListBox::Bar() const {
  TBar b;
  if (!ScrollBarShown()) return b;
  const TFrameSizes f = FrameSizes();
  const TPoint cell = StripCell(scroll_, 7);
  const int64_t right = int64_t{AbsLeft()} + Width() - border_width_ - f.right - margin_x_;
  const int64_t top = int64_t{AbsTop()} + border_width_ + f.top;
  const int64_t bottom = int64_t{AbsTop()} + Height() - border_width_ - f.bottom;
  b.bar = TRect{C32(right - cell.X), C32(top), C32(right), C32(std::max(top, bottom))};
  b.up = TRect::FromSize(b.bar.Left, b.bar.Top, cell.X, cell.Y);
  b.down = TRect::FromSize(b.bar.Left, C32(bottom - cell.Y), cell.X, cell.Y);
  b.usable =
      int64_t{Height()} - 2 * int64_t{border_width_} - f.top - f.bottom - 3 * int64_t{cell.Y};
  const int64_t span = int64_t{ItemCount()} - rows_;
  const int64_t along = b.usable > 0 && span > 0 ? b.usable * top_ / span : 0;
  b.thumb = TRect::FromSize(b.bar.Left, C32(top + cell.Y + along), cell.X, cell.Y);
  return b;
}

int32_t TQuenCustomListBox::RowAt(int32_t x, int32_t y) {
  if (stale_) Relayout();
  const TRect rows = RowsRect();
  const int64_t extend = std::max<int64_t>(0, std::min<int64_t>(margin_y_, line_space_ / 2));
  if (x < rows.Left || x >= rows.Right || y < rows.Top - extend || y >= rows.Bottom + extend)
    return -1;
  const int64_t step = int64_t{RowHeight()} + line_space_;
  if (step <= 0) return -1;
  const int64_t from = int64_t{rows.Top} - line_space_ / 2;
  if (y < from) return ShownRows() > 0 ? top_ : -1;
  const int64_t n = (int64_t{y} - from) / step;
  if (n >= ShownRows()) return -1;
  const int64_t row = top_ + n;
  return row < ItemCount() ? static_cast<int32_t>(row) : -1;
}

int32_t TQuenCustomListBox::PartAt(int32_t x, int32_t y) const {
  const TBar b = Bar();
  if (!b.bar.IsEmpty() && b.bar.Contains(x, y)) {
    if (b.up.Contains(x, y)) return kUpPart;
    if (b.down.Contains(x, y)) return kDownPart;
    if (b.thumb.Contains(x, y)) return kThumbPart;
    return y < b.thumb.Top ? kAbovePart : kBelowPart;
  }
  return kRowsPart;
}

void TQuenCustomListBox::SetTop(int64_t top) {
  const int64_t last = std::max<int64_t>(int64_t{ItemCount()} - rows_, 0);
  const int32_t now = static_cast<int32_t>(std::clamp<int64_t>(top, 0, last));
  if (now == top_) return;
  top_ = now;
  Invalidate();
}

void TQuenCustomListBox::KeepHoverVisible() {
  if (hover_row_ < 0) return;
  const int32_t shown = std::max(ShownRows(), 1);
  if (hover_row_ < top_) SetTop(hover_row_);
  if (int64_t{hover_row_} >= int64_t{top_} + shown) SetTop(int64_t{hover_row_} - shown + 1);
}

void TQuenCustomListBox::SetHoverRow(int32_t row) {
  if (row < -1 || row >= ItemCount()) row = -1;
  if (row == hover_row_) return;
  const int32_t before = hover_row_;
  hover_row_ = row;
  Invalidate();
  auto args = [this](int32_t i) {
    return std::vector<std::string>{items_[static_cast<size_t>(i)], std::to_string(i)};
  };
  if (before >= 0 && before < ItemCount()) FireEvent(PR_ONMAPOUT, args(before), true);
  if (row >= 0) FireEvent(PR_ONMAPIN, args(row), true);
}

void TQuenCustomListBox::Choose() {
  if (hover_row_ < 0 || hover_row_ >= ItemCount()) return;
  index_ = hover_row_;
  const std::string& item = items_[static_cast<size_t>(index_)];
  if (owner_ && owner_->ScriptVars()) {
    owner_->ScriptVars()->sel_str = item;
    owner_->ScriptVars()->sel_index = index_;
  }
  FireEvent(PR_ONSELECT, {item, std::to_string(index_)}, true);
}

void TQuenCustomListBox::DoLButtonDown(int32_t x, int32_t y) {
  TQuenControl::DoLButtonDown(x, y);
  const int32_t im = PropInt(PR_IGNOREMOUSE);
  if (!(im == IM_NONE || im == IM_RCLICK) || IsPaused() || IsEventBlocked()) return;
  if (TQuenBase* root = Root()) root->Capture |= 4;
  held_part_ = PartAt(x, y);
  const int32_t rows = std::max(ShownRows(), 1);
  switch (held_part_) {
    case kThumbPart:
      drag_ = kThumbDrag;
      grab_ = y - Bar().thumb.Top;
      break;
    case kUpPart:
    case kDownPart:
      drag_ = held_part_ == kUpPart ? kArrowUp : kArrowDown;
      SetTop(int64_t{top_} + (held_part_ == kUpPart ? -1 : 1));
      countdown_ = TQuenBaseList::kRepeatDelay;
      break;
    case kAbovePart:
    case kBelowPart:
      drag_ = held_part_ == kAbovePart ? kPageUp : kPageDown;
      SetTop(int64_t{top_} + (held_part_ == kAbovePart ? -rows : rows));
      countdown_ = TQuenBaseList::kRepeatDelay;
      break;
    default:
      drag_ = kRowsPress;
      break;
  }
}

void TQuenCustomListBox::StepHeld() {
  const TQuenBase* root = Root();
  if (!root || PartAt(root->MouseX, root->MouseY) != held_part_) return;
  const int32_t rows = std::max(ShownRows(), 1);
  if (drag_ == kArrowUp) SetTop(int64_t{top_} - 1);
  if (drag_ == kArrowDown) SetTop(int64_t{top_} + 1);
  if (drag_ == kPageUp) SetTop(int64_t{top_} - rows);
  if (drag_ == kPageDown) SetTop(int64_t{top_} + rows);
}

void TQuenCustomListBox::DragThumb(int32_t y) {
  const TBar b = Bar();
  const int64_t cell = StripCell(scroll_, 7).Y;
  // A bar too short for its thumb gives no position.
  if (b.usable <= 0) return;
  const int64_t span = int64_t{ItemCount()} - rows_;
  const long double at =
      static_cast<long double>(int64_t{y} - grab_ + cell / 2 - b.bar.Top - cell - cell / 2);
  SetTop(std::llround(span * at / b.usable));
}

void TQuenCustomListBox::DoMouseHold() {
  const TQuenBase* root = Root();
  if (!root) return;
  if (drag_ == kThumbDrag) {
    DragThumb(root->MouseY);
    return;
  }
  if (drag_ < kArrowUp || drag_ > kPageDown) return;
  const int32_t frame = owner_ ? owner_->FrameMs() : 0;
  countdown_ = C32(int64_t{countdown_} - frame);
  if (countdown_ > 0) return;
  countdown_ = TQuenBaseList::kRepeatInterval;
  StepHeld();
}

void TQuenCustomListBox::DoLButtonUp(int32_t x, int32_t y) {
  const TQuenHandle self = Handle();
  TQuenControl::DoLButtonUp(x, y);
  if (!owner_ || owner_->Resolve(self) != this) return;
  const int32_t mode = drag_;
  drag_ = kNoDrag;
  if (mode == kRowsPress && !IsPaused()) {
    const int32_t row = RowAt(x, y);
    if (row >= 0) {
      SetHoverRow(row);
      Choose();
    }
  }
}

void TQuenCustomListBox::DoMouseMove(int32_t x, int32_t y) {
  TQuenControl::DoMouseMove(x, y);
  if (IsPaused() || (drag_ != kNoDrag && drag_ != kRowsPress)) return;
  const int32_t row = RowAt(x, y);
  if (row >= 0) SetHoverRow(row);
}

void TQuenCustomListBox::DoMouseOut(TQuenControl* newTarget) {
  TQuenControl::DoMouseOut(newTarget);
  if (PropInt(PR_IGNOREMOUSE) != IM_ALL) SetHoverRow(-1);
}

void TQuenCustomListBox::DoWheel(bool down) {
  TQuenControl::DoWheel(down);
  if (!IsPaused() && ScrollBarShown()) SetTop(int64_t{top_} + (down ? 1 : -1));
}

void TQuenCustomListBox::DoKeyRepeat(const std::vector<int32_t>& keys) {
  TQuenControl::DoKeyRepeat(keys);
  const int32_t n = ItemCount();
  // Without items there is nothing to move to.
  if (IsPaused() || IsEventBlocked() || n == 0) return;
  const int32_t last = n - 1, page = std::max(ShownRows(), 1);
  const int32_t h = hover_row_;
  int32_t to = h;
  if (Has(keys, VK_UP)) to = h < 0 ? last : std::max(h - 1, 0);
  if (Has(keys, VK_DOWN)) to = h < 0 ? 0 : std::min(h + 1, last);
  if (Has(keys, VK_PRIOR)) to = h < 0 ? last : std::max(h - page, 0);
  if (Has(keys, VK_NEXT)) to = h < 0 ? 0 : std::min(h + page, last);
  if (to != h) {
    SetHoverRow(to);
    KeepHoverVisible();
  }
  if ((Has(keys, VK_RETURN) || Has(keys, VK_SPACE)) && hover_row_ >= 0) Choose();
}

bool TQuenCustomListBox::Update(int32_t frameMs) {
  if (TQuenControl::Update(frameMs)) return true;
  // Animated frame cells.
  for (TCell& c : cells_) {
    TQuenImageList& l = c.frames;
    if (l.Count() < 2) continue;
    l.Countdown = C32(int64_t{l.Countdown} - frameMs);
    int guard = 0;
    while (l.Countdown <= 0 && guard++ < 64) {
      l.Index = (l.Index + 1) % l.Count();
      TQuenImageData* d = l.Current();
      l.Countdown = C32(int64_t{l.Countdown} + (d ? std::max(d->Time(), 1) : 1));
      Invalidate();
    }
  }
  return false;
}

void TQuenCustomListBox::EndUpdate() {
  if (stale_) Relayout();
  TQuenControl::EndUpdate();
}

void TQuenCustomListBox::DrawFrame(TCustomDIBX& target, const TRect& in) {
  const TFrameSizes f = FrameSizes();
  const int32_t blend = alpha_;
  if (blend < 1 || blend > 511) return;
  const int64_t l = in.Left, t = in.Top, r = in.Right, b = in.Bottom;
  auto area = [&](int i) -> TRect {
    const TPoint s = CellSize(i);
    switch (i) {
      case 0:
        return TRect{C32(l), C32(t), C32(l + s.X), C32(t + s.Y)};
      case 1:
        return TRect{C32(l + f.left), C32(t), C32(r - f.right), C32(t + s.Y)};
      case 2:
        return TRect{C32(r - s.X), C32(t), C32(r), C32(t + s.Y)};
      case 3:
        return TRect{C32(l), C32(t + f.top), C32(l + s.X), C32(b - f.bottom)};
      case 4:
        return TRect{C32(l + f.left), C32(t + f.top), C32(r - f.right), C32(b - f.bottom)};
      case 5:
        return TRect{C32(r - s.X), C32(t + f.top), C32(r), C32(b - f.bottom)};
      case 6:
        return TRect{C32(l), C32(b - s.Y), C32(l + s.X), C32(b)};
      case 7:
        return TRect{C32(l + f.left), C32(b - s.Y), C32(r - f.right), C32(b)};
      default:
        return TRect{C32(r - s.X), C32(b - s.Y), C32(r), C32(b)};
    }
  };
  const bool bottom_row = in.Height() >= f.top;
  for (int i = 0; i < 9; ++i) {
    if (i >= 6 && !bottom_row) continue;
    TCell& c = cells_[static_cast<size_t>(i)];
    TQuenImageData* d = c.frames.Current();
    TCustomDIBX* pic = d ? d->Surface() : nullptr;
    if (!pic || pic->IsEmpty() || CellSize(i).X == 0) continue;
    const TRect a = area(i).Intersect(in);
    if (a.IsEmpty()) continue;
    const int32_t ox =
        (i == 1 || i == 4 || i == 7) ? AlignOffset(c.halign, a.Width(), pic->Width()) : 0;
    const int32_t oy =
        (i == 3 || i == 4 || i == 5) ? AlignOffset(c.valign, a.Height(), pic->Height()) : 0;
    // The fills take the picture's pixel at the area's start: the origin's offset negated.
    const int32_t px = -ox, py = -oy;
    if (TCustomDIBX* mask = d->Mask())
      target.PatternZoomMask(a, *pic, blend, *mask, false, false, px, py, 256, 256);
    else if (blend == 255 && pic->ColorKey() == -1)
      target.PatternFill(a, *pic, false, false, py, px);
    else
      target.PatternZoom(a, *pic, blend, false, false, pic->ColorKey() != -1, px, py, 256, 256);
  }
}

void TQuenCustomListBox::DrawScrollBar(TCustomDIBX& target) {
  const TBar b = Bar();
  TQuenImageData* d = scroll_.Frame(0);
  const TPoint cell = StripCell(scroll_, 7);
  if (b.bar.IsEmpty() || !d || cell.X <= 0 || cell.Y <= 0) return;
  const int32_t blend = std::max(alpha_, 1);
  auto src = [&](int32_t n) { return TRect::FromSize(n * cell.X, 0, cell.X, cell.Y); };
  TileCell(target, b.bar, src(kTrackCell), d, blend);
  DrawCell(target, b.up.Left, b.up.Top, src(drag_ == kArrowUp ? kUpPressed : kUpCell), d, blend);
  DrawCell(target, b.down.Left, b.down.Top, src(drag_ == kArrowDown ? kDownPressed : kDownCell), d,
           blend);
  DrawCell(target, b.thumb.Left, b.thumb.Top, src(drag_ == kThumbDrag ? kThumbPressed : kThumbCell),
           d, blend);
}

void TQuenCustomListBox::DrawSelf(TCustomDIBX& target) {
  if (stale_) Relayout();
  const TRect whole = TRect::FromSize(AbsLeft(), AbsTop(), Width(), Height());
  if (whole.IsEmpty()) return;
  const TRect saved = target.UpdateRect();
  const TRect clip = whole.Intersect(target.ClipRect());
  if (clip.IsEmpty()) return;
  SetSurfaceClip(target, clip);
  if (border_width_ > 0 && border_color_ >= 0)
    target.FrameRect(whole, border_width_,
                     static_cast<uint32_t>(target.ColorToPixel(border_color_)));
  const int64_t bw = std::max(border_width_, 0);
  const TRect inner{C32(whole.Left + bw), C32(whole.Top + bw), C32(whole.Right - bw),
                    C32(whole.Bottom - bw)};
  if (!inner.IsEmpty()) DrawFrame(target, inner);
  const TRect rows = RowsRect();
  const TRect row_clip = rows.Intersect(clip);
  const int32_t row_h = RowHeight();
  const TPoint check = StripCell(check_, 2);
  const int32_t shown = ShownRows();
  normal_.blend = hover_.blend = alpha_;
  for (int32_t n = 0; n < shown && !row_clip.IsEmpty(); ++n) {
    const int64_t i = int64_t{top_} + n;
    if (i >= ItemCount()) break;
    const int64_t y = int64_t{rows.Top} + n * (int64_t{row_h} + line_space_);
    if (y >= row_clip.Bottom) break;
    if (y + row_h <= row_clip.Top) continue;
    const bool hot = i == hover_row_;
    if (hot && hover_color_ >= 0) {
      const TRect bar = TRect{rows.Left, C32(y), rows.Right, C32(y + row_h)}.Intersect(row_clip);
      const uint32_t px = static_cast<uint32_t>(target.ColorToPixel(hover_color_));
      if (!bar.IsEmpty()) {
        if (alpha_ >= 255)
          target.FillRect(bar, px);
        else if (alpha_ > 0)
          target.FillRectAlpha(bar, px, alpha_);
      }
    }
    if (check.X > 0)
      DrawCell(target, rows.Left, C32(y + (row_h - check.Y) / 2),
               TRect::FromSize(Check(static_cast<int32_t>(i)) ? check.X : 0, 0, check.X, check.Y),
               check_.Frame(0), alpha_);
    TLabelList& list = hot ? hover_ : normal_;
    const TLabel* label = list.Label(static_cast<int32_t>(i), target.BitCount());
    if (!label) continue;
    const int64_t left = int64_t{rows.Left} + check.X;
    const int64_t room = int64_t{rows.Right} - left - label->width;
    const int64_t x = align_ == 1 ? left + room / 2 : align_ == 2 ? left + room : left;
    list.Draw(static_cast<int32_t>(i), target, C32(x), C32(y), row_clip);
  }
  DrawScrollBar(target);
  SetSurfaceClip(target, saved);
}

void TQuenCustomListBox::SetText(const std::string& text) {
  text_ = Trimmed(text);
  items_ = Lines(text_);
  normal_.SetItems(items_);
  hover_.SetItems(items_);
  checks_.assign(items_.size(), 0);
  if (hover_row_ >= ItemCount()) hover_row_ = -1;
  Mark();
}

void TQuenCustomListBox::SetCellSource(int i, const std::string& source) {
  TCell& c = cells_[static_cast<size_t>(i)];
  c.source = source;
  c.frames.Clear();
  if (!source.empty()) c.frames.Load(source, false);
  c.frames.Index = c.frames.Count() > 0 ? 0 : -1;
  if (TQuenImageData* d = c.frames.Current()) c.frames.Countdown = d->Time();
  Mark();
}

void TQuenCustomListBox::SetStrip(TQuenImageList& list, std::string& field,
                                  const std::string& source) {
  field = source;
  list.Clear();
  if (!source.empty() && FileManager().FileExists(source)) list.Load(source, false);
  list.Index = list.Count() > 0 ? 0 : -1;
  Mark();
}

void TQuenCustomListBox::ReleaseSurfaces() {
  for (TCell& c : cells_) c.frames.ReleaseSurfaces();
  scroll_.ReleaseSurfaces();
  check_.ReleaseSurfaces();
}

void TQuenCustomListBox::RestoreSurfaces() {
  for (TCell& c : cells_) c.frames.Refresh();
  scroll_.Refresh();
  check_.Refresh();
  Mark();
}

TPropValue TQuenCustomListBox::ReadOwn(uint8_t code) const {
  if (int i = CellOf(code); i >= 0) return TPropValue::OfStr(cells_[static_cast<size_t>(i)].source);
  const TLabelStyle& n = normal_.style;
  const TLabelStyle& h = hover_.style;
  switch (code) {
    case PR_TEXT:
      return TPropValue::OfStr(text_);
    case PR_COUNT:
      return TPropValue::OfInt(ItemCount());
    case PR_INDEX:
      return TPropValue::OfInt(index_);
    case PR_TOPINDEX:
      return TPropValue::OfInt(top_);
    case PR_LINESPACE:
      return TPropValue::OfInt(line_space_);
    case PR_ALPHA:
      return TPropValue::OfInt(alpha_);
    case PR_MARGINX:
      return TPropValue::OfInt(margin_x_);
    case PR_MARGINY:
      return TPropValue::OfInt(margin_y_);
    case PR_BORDERWIDTH:
      return TPropValue::OfInt(border_width_);
    case PR_BORDERCOLOR:
      return TPropValue::OfInt(border_color_);
    case PR_ROWCOUNT:
      return TPropValue::OfInt(rows_);
    case PR_HALIGN:
      return TPropValue::OfInt(align_);
    case PR_HOVERCOLOR:
      return TPropValue::OfInt(hover_color_);
    case PR_BORDERHALIGNT:
      return TPropValue::OfInt(cells_[1].halign);
    case PR_BORDERHALIGNC:
      return TPropValue::OfInt(cells_[4].halign);
    case PR_BORDERHALIGNB:
      return TPropValue::OfInt(cells_[7].halign);
    case PR_BORDERVALIGNL:
      return TPropValue::OfInt(cells_[3].valign);
    case PR_BORDERVALIGNC:
      return TPropValue::OfInt(cells_[4].valign);
    case PR_BORDERVALIGNR:
      return TPropValue::OfInt(cells_[5].valign);
    case PR_SCROLLSOURCE:
      return TPropValue::OfStr(scroll_source_);
    case PR_CHECKSOURCE:
      return TPropValue::OfStr(check_source_);
    case PR_FONTNAME:
      return TPropValue::OfStr(n.face);
    case PR_FONTHEIGHT:
      return TPropValue::OfInt(n.height);
    case PR_FONTSTYLE:
      return TPropValue::OfInt(n.style);
    case PR_FONTCOLOR:
      return TPropValue::OfInt(n.color);
    case PR_FONTBORDERCOLOR:
      return TPropValue::OfInt(n.border_color);
    case PR_FONTBORDER:
      return TPropValue::OfInt(n.border);
    case PR_FONTSHADOW:
      return TPropValue::OfInt(n.shadow);
    case PR_FONTSHADOWCOLOR:
      return TPropValue::OfInt(n.shadow_color);
    case PR_ANTIALIAS:
      return TPropValue::OfBool(n.level != 0);
    case PR_FONTHOVERCOLOR:
      return TPropValue::OfInt(h.color);
    case PR_FONTHOVERSTYLE:
      return TPropValue::OfInt(h.style);
    case PR_FONTHOVERBORDER:
      return TPropValue::OfInt(h.border);
    case PR_FONTHOVERBORDERCOLOR:
      return TPropValue::OfInt(h.border_color);
    case PR_FONTHOVERSHADOW:
      return TPropValue::OfInt(h.shadow);
    case PR_FONTHOVERSHADOWCOLOR:
      return TPropValue::OfInt(h.shadow_color);
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenCustomListBox::WriteOwn(uint8_t code, const TPropValue& value) {
  if (int i = CellOf(code); i >= 0) {
    SetCellSource(i, value.Str);
    return;
  }
  const int32_t v = value.Int;
  auto layout = [&](int32_t& field) {
    field = v;
    Mark();
  };
  // Font settings reach the normal rows, the hover settings the hover rows; the face, height
  // and antialias level are shared.
  auto font = [&](auto apply) {
    apply(normal_.style, hover_.style);
    normal_.Invalidate();
    hover_.Invalidate();
    Mark();
  };
  switch (code) {
    case PR_TEXT:
      SetText(value.Str);
      return;
    case PR_INDEX:
      index_ = v;
      return;
    case PR_TOPINDEX:
      SetTop(v);
      return;
    case PR_LINESPACE:
      layout(line_space_);
      return;
    case PR_ALPHA:
      alpha_ = v;
      normal_.blend = hover_.blend = v;
      Invalidate();
      return;
    case PR_MARGINX:
      layout(margin_x_);
      return;
    case PR_MARGINY:
      layout(margin_y_);
      return;
    case PR_BORDERWIDTH:
      layout(border_width_);
      return;
    case PR_BORDERCOLOR:
      border_color_ = v;
      Invalidate();
      return;
    case PR_ROWCOUNT:
      layout(rows_);
      return;
    case PR_HALIGN:
      align_ = static_cast<uint8_t>(v);
      Invalidate();
      return;
    case PR_HOVERCOLOR:
      hover_color_ = v;
      Invalidate();
      return;
    case PR_BORDERHALIGNT:
    case PR_BORDERHALIGNC:
    case PR_BORDERHALIGNB:
      cells_[code == PR_BORDERHALIGNT   ? 1
             : code == PR_BORDERHALIGNC ? 4
                                        : 7]
          .halign = static_cast<uint8_t>(v);
      Invalidate();
      return;
    case PR_BORDERVALIGNL:
    case PR_BORDERVALIGNC:
    case PR_BORDERVALIGNR:
      cells_[code == PR_BORDERVALIGNL   ? 3
             : code == PR_BORDERVALIGNC ? 4
                                        : 5]
          .valign = static_cast<uint8_t>(v);
      Invalidate();
      return;
    case PR_SCROLLSOURCE:
      SetStrip(scroll_, scroll_source_, value.Str);
      return;
    case PR_CHECKSOURCE:
      SetStrip(check_, check_source_, value.Str);
      return;
    case PR_FONTNAME:
      font([&](TLabelStyle& n, TLabelStyle& h) { n.face = h.face = value.Str; });
      return;
    case PR_FONTHEIGHT:
      font([&](TLabelStyle& n, TLabelStyle& h) { n.height = h.height = v; });
      return;
    case PR_ANTIALIAS:
      font([&](TLabelStyle& n, TLabelStyle& h) { n.level = h.level = v != 0 ? 3 : 0; });
      return;
    case PR_FONTSTYLE:
      font([&](TLabelStyle& n, TLabelStyle&) { n.style = static_cast<uint8_t>(v & 15); });
      return;
    case PR_FONTCOLOR:
      font([&](TLabelStyle& n, TLabelStyle&) { n.color = v; });
      return;
    case PR_FONTBORDERCOLOR:
      font([&](TLabelStyle& n, TLabelStyle&) { n.border_color = v; });
      return;
    case PR_FONTBORDER:
      font([&](TLabelStyle& n, TLabelStyle&) { n.border = v; });
      return;
    case PR_FONTSHADOW:
      font([&](TLabelStyle& n, TLabelStyle&) { n.shadow = v; });
      return;
    case PR_FONTSHADOWCOLOR:
      font([&](TLabelStyle& n, TLabelStyle&) { n.shadow_color = v; });
      return;
    case PR_FONTHOVERCOLOR:
      font([&](TLabelStyle&, TLabelStyle& h) { h.color = v; });
      return;
    case PR_FONTHOVERSTYLE:
      font([&](TLabelStyle&, TLabelStyle& h) { h.style = static_cast<uint8_t>(v & 15); });
      return;
    case PR_FONTHOVERBORDER:
      font([&](TLabelStyle&, TLabelStyle& h) { h.border = v; });
      return;
    case PR_FONTHOVERBORDERCOLOR:
      font([&](TLabelStyle&, TLabelStyle& h) { h.border_color = v; });
      return;
    case PR_FONTHOVERSHADOW:
      font([&](TLabelStyle&, TLabelStyle& h) { h.shadow = v; });
      return;
    case PR_FONTHOVERSHADOWCOLOR:
      font([&](TLabelStyle&, TLabelStyle& h) { h.shadow_color = v; });
      return;
    case PR_PAUSED: {
      TQuenControl::WriteOwn(code, value);
      if (v == 0 || !owner_) return;
      // A paused list gives up the keyboard.
      TQuenControl* f = owner_->Focus();
      if (f && (f == this || IsAncestorOf(f))) owner_->SetFocus(nullptr);
      return;
    }
    default:
      TQuenControl::WriteOwn(code, value);
      return;
  }
}

void TQuenCustomListBox::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  normal_.SaveToStream(s);
  hover_.SaveToStream(s);
  WriteString(s, text_);
  for (int32_t v : {line_space_, alpha_, margin_x_, margin_y_, border_width_, border_color_, rows_})
    WriteInt32(s, v);
  for (const TCell& c : cells_) {
    WriteString(s, c.source);
    WriteByte(s, c.halign);
    WriteByte(s, c.valign);
  }
  WriteString(s, scroll_source_);
  WriteString(s, check_source_);
  WriteInt32(s, top_);
  if (version < 104) WriteByte(s, 0);
  WriteByte(s, align_);
  for (uint8_t c : checks_) WriteByte(s, c);
  WriteString(s, PropStr(PR_ONSELECT));
  WriteBool(s, PropBool(PR_PAUSED));
  WriteInt32(s, index_);
  WriteInt32(s, menu_state_);
  if (version > 130) WriteString(s, PropStr(PR_ONIDLE));
  if (version > 133) {
    WriteString(s, PropStr(PR_ONMAPIN));
    WriteString(s, PropStr(PR_ONMAPOUT));
  }
}

void TQuenCustomListBox::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  normal_.LoadFromStream(s);
  hover_.LoadFromStream(s);
  const TLabelStyle normal = normal_.style, hover = hover_.style;
  const int32_t nb = normal_.blend, hb = hover_.blend;
  SetText(ReadString(s));
  normal_.style = normal;
  hover_.style = hover;
  for (int32_t* f :
       {&line_space_, &alpha_, &margin_x_, &margin_y_, &border_width_, &border_color_, &rows_})
    *f = ReadInt32(s);
  normal_.blend = nb;
  hover_.blend = hb;
  for (int i = 0; i < 9; ++i) {
    const std::string source = ReadString(s);
    TCell& c = cells_[static_cast<size_t>(i)];
    c.halign = ReadByte(s);
    c.valign = ReadByte(s);
    SetCellSource(i, source);
  }
  SetStrip(scroll_, scroll_source_, ReadString(s));
  SetStrip(check_, check_source_, ReadString(s));
  const int32_t top = ReadInt32(s);
  if (version < 104) ReadByte(s);
  align_ = ReadByte(s);
  if (s.Remaining() < static_cast<int64_t>(checks_.size())) RaiseReadError();
  for (uint8_t& c : checks_) c = ReadByte(s);
  TQuenControl::WriteOwn(PR_ONSELECT, TPropValue::OfStr(ReadString(s)));
  TQuenControl::WriteOwn(PR_PAUSED, TPropValue::OfBool(ReadBool(s)));
  index_ = ReadInt32(s);
  menu_state_ = ReadInt32(s);
  if (version > 130) TQuenControl::WriteOwn(PR_ONIDLE, TPropValue::OfStr(ReadString(s)));
  if (version > 133) {
    TQuenControl::WriteOwn(PR_ONMAPIN, TPropValue::OfStr(ReadString(s)));
    TQuenControl::WriteOwn(PR_ONMAPOUT, TPropValue::OfStr(ReadString(s)));
  }
  hover_row_ = -1;
  drag_ = kNoDrag;
  Relayout();
  top_ = std::clamp(top, 0, std::max(ItemCount() - rows_, 0));
}

// ------------------------------------------------------------------ TQuenMenu

TQuenMenu::TQuenMenu(TQuenBaseList* owner) : TQuenCustomListBox(owner) {}

void TQuenMenu::Queue(uint8_t code) {
  if (!owner_) return;
  std::string text = PropStr(code);
  if (text.empty()) return;
  owner_->Events().Add(TTimerData{std::move(text), Handle(), code, 0, {}});
}

bool TQuenMenu::Queued(uint8_t code) const {
  return owner_ && owner_->Events().IndexOf(Handle(), code) >= 0;
}

void TQuenMenu::ApplyHeight(int32_t fullHeight) {
  // Only an open menu at rest shows its whole height; the animation sets the rest.
  const bool animating = menu_state_ >= kOpenStart;
  if (open_ && !animating) SetBounds(Left(), Top(), Width(), fullHeight);
  if (!open_ && !animating) SetBounds(Left(), Top(), Width(), 0);
}

int32_t TQuenMenu::AnimatedHeight(bool opening) const {
  const int64_t elapsed = std::max<int64_t>((owner_ ? owner_->GameClock() : 0) - start_, 0);
  const int64_t full = full_height_;
  const int64_t part = elapsed * full / delay_;
  return C32(std::clamp<int64_t>(opening ? part : full - part, 0, full));
}

uint8_t TQuenMenu::PlayMode() const {
  if (menu_state_ >= kOpenStart && menu_state_ <= kOpening) return LP_PLAYFADE;
  if (menu_state_ >= kCloseStart || menu_state_ == kRightClosed) return LP_STOPFADE;
  return open_ ? LP_PLAY : LP_STOP;
}

void TQuenMenu::OpenNow() {
  menu_state_ = kIdle;
  open_ = true;
  Relayout();
  SetBounds(Left(), Top(), Width(), full_height_);
  if (owner_) owner_->SetFocus(this);
  Queue(PR_ONOPENING);
  Queue(PR_ONOPENED);
}

void TQuenMenu::CloseNow() {
  Invalidate();
  menu_state_ = kIdle;
  open_ = false;
  SetBounds(Left(), Top(), Width(), 0);
  if (owner_ && owner_->Focus() == this) owner_->MarkFocusStale();
  Queue(PR_ONCLOSING);
  Queue(PR_ONCLOSED);
}

void TQuenMenu::SetPlayMode(uint8_t mode) {
  if (mode > LP_STOPFADE) return;
  const bool open = mode == LP_PLAY || mode == LP_PLAYFADE;
  // A request for the state the menu is in, or is heading for, does nothing.
  if (open == wants_open_ && (open_ == open || menu_state_ != kIdle)) return;
  wants_open_ = open;
  switch (mode) {
    case LP_PLAY:
      OpenNow();
      break;
    case LP_PLAYFADE:
      menu_state_ = kOpenStart;
      break;
    case LP_STOP:
      CloseNow();
      break;
    default:
      menu_state_ = kCloseStart;
      break;
  }
}

bool TQuenMenu::ConsumeRightClick() {
  if (closing_) return false;
  closing_ = true;
  wants_open_ = false;
  menu_state_ = kRightClosed;
  return true;
}

void TQuenMenu::Choose() {
  if (HoverRow() < 0 || HoverRow() >= ItemCount()) return;
  TQuenCustomListBox::Choose();
  if (PropBool(PR_AUTOSCRAP)) {
    closing_ = true;
    wants_open_ = false;
    menu_state_ = kScrapStart;
  }
}

void TQuenMenu::DoKeyRepeat(const std::vector<int32_t>& keys) {
  if (!IsPaused() && !closing_ && PropBool(PR_RCLICKSCRAP) &&
      std::find(keys.begin(), keys.end(), VK_ESCAPE) != keys.end()) {
    ConsumeRightClick();
    return;
  }
  TQuenCustomListBox::DoKeyRepeat(keys);
}

bool TQuenMenu::Update(int32_t frameMs) {
  if (TQuenCustomListBox::Update(frameMs)) return true;
  if (PropBool(PR_ANIPAUSED)) return false;
  const int64_t now = owner_ ? owner_->GameClock() : 0;
  switch (menu_state_) {
    case kIdle:
      if (stale_) Relayout();
      break;
    case kRightClosed:
      if (stale_) Relayout();
      menu_state_ = kCloseStart;
      [[fallthrough]];
    case kCloseStart:
      closing_ = true;
      start_ = now;
      Queue(PR_ONCLOSING);
      menu_state_ = kClosing;
      break;
    case kOpenStart:
      Relayout();
      Queue(PR_ONOPENING);
      Invalidate();
      SetBounds(Left(), Top(), Width(), 0);
      menu_state_ = kOpenClock;
      break;
    case kOpenClock:
      start_ = now;
      menu_state_ = kOpening;
      break;
    case kOpening:
      // The end first: a delay of 0 or less would divide by it.
      if (delay_ <= 0 || now - start_ >= delay_) {
        Invalidate();
        menu_state_ = kIdle;
        open_ = true;
        SetBounds(Left(), Top(), Width(), full_height_);
        if (owner_) owner_->SetFocus(this);
        Queue(PR_ONOPENED);
      } else {
        Invalidate();
        SetBounds(Left(), Top(), Width(), AnimatedHeight(true));
      }
      Invalidate();
      break;
    case kClosing:
      Invalidate();
      if (delay_ <= 0 || now - start_ >= delay_) {
        SetBounds(Left(), Top(), Width(), 0);
        open_ = false;
        Queue(PR_ONCLOSED);
        menu_state_ = kScrapWait;
      } else {
        SetBounds(Left(), Top(), Width(), AnimatedHeight(false));
      }
      break;
    case kScrapStart:
      closing_ = true;
      Queue(PR_ONCLOSING);
      Queue(PR_ONCLOSED);
      menu_state_ = kScrapNext;
      break;
    case kScrapNext:
      menu_state_ = kScrapWait;
      break;
    case kScrapWait:
      return !Queued(PR_ONCLOSING) && !Queued(PR_ONCLOSED);
    default:
      menu_state_ = kIdle;
      break;
  }
  return false;
}

TPropValue TQuenMenu::ReadOwn(uint8_t code) const {
  if (code == PR_DELAY) return TPropValue::OfInt(delay_);
  return TQuenCustomListBox::ReadOwn(code);
}

void TQuenMenu::WriteOwn(uint8_t code, const TPropValue& value) {
  if (code == PR_DELAY) {
    delay_ = value.Int;
    return;
  }
  TQuenCustomListBox::WriteOwn(code, value);
}

void TQuenMenu::SaveToStream(TStream& s, int32_t version) const {
  TQuenCustomListBox::SaveToStream(s, version);
  WriteInt32(s, delay_);
  WriteInt32(s, hover_color_);
  WriteBool(s, PropBool(PR_AUTOSCRAP));
  WriteBool(s, PropBool(PR_RCLICKSCRAP));
  WriteByte(s, open_ ? 0 : 2);
  for (uint8_t code : {PR_ONOPENING, PR_ONOPENED, PR_ONCLOSING, PR_ONCLOSED})
    WriteString(s, PropStr(code));
}

void TQuenMenu::LoadFromStream(TStream& s, int32_t version) {
  TQuenCustomListBox::LoadFromStream(s, version);
  delay_ = ReadInt32(s);
  hover_color_ = ReadInt32(s);
  TQuenControl::WriteOwn(PR_AUTOSCRAP, TPropValue::OfBool(ReadBool(s)));
  TQuenCustomListBox::WriteOwn(PR_RCLICKSCRAP, TPropValue::OfBool(ReadBool(s)));
  const uint8_t open = ReadByte(s);
  if (open != 0 && open != 2) RaiseReadError();
  open_ = open == 0;
  wants_open_ = open_;
  for (uint8_t code : {PR_ONOPENING, PR_ONOPENED, PR_ONCLOSING, PR_ONCLOSED})
    TQuenControl::WriteOwn(code, TPropValue::OfStr(ReadString(s)));
  closing_ = menu_state_ >= kCloseStart || menu_state_ == kRightClosed;
  Relayout();
  start_ = owner_ ? owner_->GameClock() : 0;
}

}  // namespace quen
