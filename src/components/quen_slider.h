// The slider and the scroll bar: a track with a thumb between two buttons, all drawn from cells
// of cached pictures. The value moves by presses on the buttons and the track, by dragging the
// thumb and by the arrow keys, and is always read clamped into [min, max].
#pragma once

#include <array>
#include <string>
#include <vector>

#include "components/image_list.h"
#include "components/quen_object.h"

namespace quen {

class TQuenSlider : public TQuenControl {
 public:
  enum : int32_t {
    kNone = 0,
    kThumb = 1,
    kFirstButton = 2,
    kSecondButton = 3,
    kTrackLow = 4,
    kTrackHigh = 5
  };

  explicit TQuenSlider(TQuenBaseList* owner);
  const char* ClassName() const override { return "TQuenSlider"; }
  uint8_t CompoType() const override { return LT_SLIDER; }
  TQuenKind Kind() const override { return TQuenKind::Sld; }

  // The value as scripts read it.
  int32_t Value() const;
  int32_t DragMode() const { return mode_; }
  int32_t ThumbState() const { return thumb_state_; }
  int32_t ButtonState(int i) const { return button_state_[i & 1]; }
  // Pixels along the track from its low-value end to the thumb's centre.
  int32_t ThumbOffset() const;
  // Track length: PR_BARSIZE when above 0, else the track picture's length.
  int32_t TrackLength() const;

  void DoLButtonDown(int32_t x, int32_t y) override;
  void DoLButtonUp(int32_t x, int32_t y) override;
  void DoMouseMove(int32_t x, int32_t y) override;
  void DoMouseOut(TQuenControl* newTarget) override;
  void DoMouseHold() override;
  void DoKeyRepeat(const std::vector<int32_t>& keys) override;
  void ReleaseSurfaces() override;
  void RestoreSurfaces() override;

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void DrawSelf(TCustomDIBX& target) override;
  // The scroll bar moves by pages on the track; the slider jumps and drags.
  virtual bool PagesOnTrack() const { return false; }
  int32_t large_change_ = 1;

 private:
  struct TParts {
    bool vertical = false;
    int32_t bw = 0, bh = 0;  // one button cell
    int32_t tw = 0, th = 0;  // one thumb cell
    int32_t hw = 0, hh = 0;  // one half of the track picture
    int32_t length = 0;      // the track's length
  };
  enum class TPart { None, Thumb, First, Second, Track };

  TParts Parts() const;
  // Size from the pictures; invalidates the old and new area.
  void Relayout();
  // Where a screen point lies along the track, from its low-value end.
  int64_t AlongTrack(int32_t x, int32_t y) const;
  TPart PartAt(int32_t x, int32_t y) const;
  TRect ButtonRect(int i) const;
  TRect ThumbRect() const;
  // Value changes made by the user: clamped, redrawn and told through PR_ONNOTIFY.
  void MoveTo(int64_t value);
  void MoveBy(int64_t delta) { MoveTo(int64_t{Value()} + delta); }
  // The value at a position along the track; false when the track has no length.
  bool ValueAt(int64_t along, int32_t& out) const;
  void SetSourceOf(int slot, const std::string& source);
  void UpdateHover(int32_t x, int32_t y);
  bool PointerOn(TPart part) const;
  int32_t ButtonDirection(int i) const;
  // The scroll bar's page towards the pointer, while the thumb has not reached it.
  void PageTowardsPointer();

  std::array<std::string, 3> sources_;  // track, thumb, buttons
  TQuenImageList track_, thumb_, buttons_;
  int32_t min_ = 0, max_ = 0, value_ = 0;
  int32_t small_change_ = 1;
  int32_t alpha_ = 255;
  uint8_t orientation_ = 0;  // 1 vertical
  bool capture_mask_ = false;
  int32_t bar_size_ = 0;
  int32_t thumb_state_ = 0;
  std::array<int32_t, 2> button_state_{};
  int32_t mode_ = kNone;
  int64_t grab_ = 0;
  int32_t countdown_ = 0;
};

class TQuenScrollbar : public TQuenSlider {
 public:
  using TQuenSlider::TQuenSlider;
  const char* ClassName() const override { return "TQuenScrollbar"; }
  uint8_t CompoType() const override { return LT_SCROLLBAR; }
  TQuenKind Kind() const override { return TQuenKind::Scb; }
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  bool PagesOnTrack() const override { return true; }
};

}  // namespace quen
