// The list box and the menu: text rows rendered in a normal and a hover style inside a frame of
// nine picture cells, with check marks and a scroll bar drawn from picture strips. The pointer
// and the keys move the hover row; a click or Enter chooses it, which sets the selection
// variables and raises PR_ONSELECT. The menu opens and closes with an animated height and
// deletes itself after a close-and-delete.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "components/image_list.h"
#include "components/quen_object.h"
#include "text/label_renderer.h"

namespace quen {

class TQuenCustomListBox : public TQuenControl {
 public:
  enum : int32_t {
    kNoDrag = -1,
    kThumbDrag = 0,
    kArrowUp = 1,
    kArrowDown = 2,
    kPageUp = 3,
    kPageDown = 4,
    kRowsPress = 5
  };

  explicit TQuenCustomListBox(TQuenBaseList* owner);
  const char* ClassName() const override { return "TQuenCustomListBox"; }

  const std::vector<std::string>& Items() const { return items_; }
  int32_t ItemCount() const { return static_cast<int32_t>(items_.size()); }
  // Check flags, one per item; false outside the list.
  bool Check(int32_t i) const;
  void SetCheck(int32_t i, bool on);
  int32_t HoverRow() const { return hover_row_; }
  int32_t TopIndex() const { return top_; }
  int32_t DragMode() const { return drag_; }
  // Visible rows r = min(PR_ROWCOUNT, items), never below 0.
  int32_t ShownRows() const;
  int32_t RowHeight() const;
  bool ScrollBarShown() const;
  // The row under a screen point, or -1.
  int32_t RowAt(int32_t x, int32_t y);
  // The hover row as if the pointer or the keys had moved it (map events queued).
  void SetHoverRow(int32_t row);
  // The hover row becomes the chosen one.
  virtual void Choose();

  bool Update(int32_t frameMs) override;
  void EndUpdate() override;
  void DoLButtonDown(int32_t x, int32_t y) override;
  void DoLButtonUp(int32_t x, int32_t y) override;
  void DoMouseMove(int32_t x, int32_t y) override;
  void DoMouseOut(TQuenControl* newTarget) override;
  void DoMouseHold() override;
  void DoWheel(bool down) override;
  void DoKeyRepeat(const std::vector<int32_t>& keys) override;
  void ReleaseSurfaces() override;
  void RestoreSurfaces() override;

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void DrawSelf(TCustomDIBX& target) override;
  // Width and full height from items, fonts, frame and margins; the menu animates the height.
  void Relayout();
  virtual void ApplyHeight(int32_t fullHeight);
  int32_t full_height_ = 0;
  bool stale_ = true;
  int32_t menu_state_ = 0;
  TColor hover_color_ = -1;

 private:
  struct TCell {
    std::string source;
    TQuenImageList frames;
    uint8_t halign = 0, valign = 0;
    explicit TCell(const void* owner) : frames(owner) {}
  };
  struct TFrameSizes {
    int32_t left = 0, right = 0, top = 0, bottom = 0;
  };
  struct TBar {
    TRect bar, up, down, thumb;
    int64_t usable = 0;
  };

  void SetText(const std::string& text);
  void SetCellSource(int i, const std::string& source);
  // A strip picture (scroll, check), loaded only when its file exists.
  void SetStrip(TQuenImageList& list, std::string& field, const std::string& source);
  TPoint CellSize(int i) const;
  TFrameSizes FrameSizes() const;
  TPoint StripCell(const TQuenImageList& list, int cells) const;
  // The rectangle inside border, frame and margins, without the scroll bar.
  TRect RowsRect() const;
  TBar Bar() const;
  void SetTop(int64_t top);
  void KeepHoverVisible();
  // One step of a held arrow or page; false once the pointer left the part that started it.
  void StepHeld();
  void DragThumb(int32_t y);
  int32_t PartAt(int32_t x, int32_t y) const;
  void DrawFrame(TCustomDIBX& target, const TRect& inner);
  void DrawScrollBar(TCustomDIBX& target);
  void Mark() {
    stale_ = true;
    Invalidate();
  }

  std::vector<std::string> items_;
  std::string text_;
  TLabelList normal_, hover_;
  std::vector<uint8_t> checks_;
  int32_t line_space_ = 0, alpha_ = 0, margin_x_ = 0, margin_y_ = 0;
  int32_t border_width_ = 0, border_color_ = 0, rows_ = 0;
  std::deque<TCell> cells_;
  std::string scroll_source_, check_source_;
  TQuenImageList scroll_, check_;
  int32_t top_ = 0;
  uint8_t align_ = 0;
  int32_t hover_row_ = -1;
  int32_t index_ = -1;
  int32_t drag_ = kNoDrag;
  int32_t grab_ = 0;
  int32_t countdown_ = 0;
  int32_t held_part_ = 0;
};

class TQuenMenu : public TQuenCustomListBox {
 public:
  // The animation states.
  enum : int32_t {
    kIdle = 0,
    kRightClosed = 10,
    kOpenStart = 100,
    kOpenClock = 101,
    kOpening = 102,
    kCloseStart = 200,
    kClosing = 201,
    kScrapStart = 300,
    kScrapNext = 301,
    kScrapWait = 302
  };

  explicit TQuenMenu(TQuenBaseList* owner);
  const char* ClassName() const override { return "TQuenMenu"; }
  uint8_t CompoType() const override { return LT_MENU; }
  TQuenKind Kind() const override { return TQuenKind::Mnu; }

  int32_t State() const { return menu_state_; }
  bool Closing() const { return closing_; }
  bool IsOpen() const { return open_; }
  bool IsEventBlocked() const override { return closing_; }
  uint8_t PlayMode() const override;
  void SetPlayMode(uint8_t mode) override;
  bool ConsumeRightClick() override;
  void Choose() override;
  bool Update(int32_t frameMs) override;
  void DoKeyRepeat(const std::vector<int32_t>& keys) override;

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void ApplyHeight(int32_t fullHeight) override;

 private:
  // The open and close events are the menu's own: they are queued while it closes.
  void Queue(uint8_t code);
  bool Queued(uint8_t code) const;
  // Height at this point of an animation (64-bit, never past the ends).
  int32_t AnimatedHeight(bool opening) const;
  void OpenNow();
  void CloseNow();

  int32_t delay_ = 0;
  bool open_ = false;
  bool closing_ = false;
  // The end state the last request aims at (animated modes count as their end state).
  bool wants_open_ = false;
  int64_t start_ = 0;
};

}  // namespace quen
