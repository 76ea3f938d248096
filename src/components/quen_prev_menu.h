// The preview menu: picture buttons placed from a choice layout, each a thumbnail image that
// switches its picture by state (enabled, disabled, checked; hovered, left, clicked), with an
// overlay picture, radio groups, a cursor per button, and choosing by mouse or keys.
#pragma once

#include <string>
#include <vector>

#include "components/cont_sel_list.h"
#include "components/quen_images.h"

namespace quen {

class TBrixItem;

// A preview menu's button picture (and its overlay): never stored, since its name is a system
// name; it tells its menu when a picture shown once has ended.
class TQuenPrevImages : public TQuenImages {
 public:
  using TQuenImages::TQuenImages;
  const char* ClassName() const override { return "TQuenPrevImages"; }
  // Shows a picture, repeating or once; the same picture again changes nothing.
  void Show(const std::string& source, bool repeat);
  bool Hits(int32_t x, int32_t y) { return Visible() && HitsPicture(x, y); }
  // A picture shown once is still playing.
  bool PlayingOnce() const { return once_ && !ended_ && FrameCount() > 1; }
  void SetCaptureMask(bool on) { capture_mask_ = on; }

 protected:
  bool PlayEnded() override;

 private:
  bool once_ = false;
  bool ended_ = false;
};

class TQuenPrevMenu : public TQuenControl {
 public:
  explicit TQuenPrevMenu(TQuenBaseList* owner) : TQuenControl(owner) {}
  ~TQuenPrevMenu() override;
  const char* ClassName() const override { return "TQuenPrevMenu"; }
  uint8_t CompoType() const override { return LT_PREVMENU; }
  TQuenKind Kind() const override { return TQuenKind::PvM; }

  const TContSelList& Layout() const { return layout_; }
  int32_t ButtonCount() const { return layout_.ChoiceCount(); }
  // A button by number or name (-1 none).
  int32_t IndexOf(const std::string& nameOrNumber) const;
  int32_t HoverIndex() const { return hover_; }
  TQuenPrevImages* Thumbnail(int32_t i) const;

  bool Enabled(int32_t i) const { return Flag(enabled_, i); }
  bool VisibleItem(int32_t i) const { return Flag(visible_, i); }
  bool CheckedFlag(int32_t i) const { return Flag(checked_, i); }
  // The checked one of its group (see IsChecked).
  bool IsChecked(int32_t i) const;
  int32_t GroupOf(int32_t i) const;
  void SetEnabled(int32_t i, bool on);
  void SetVisibleItem(int32_t i, bool on);
  void SetCheckedFlag(int32_t i, bool on);

  // The button under a screen point (last drawn first), or -1.
  int32_t ButtonAt(int32_t x, int32_t y);
  void SetHover(int32_t i);
  void Choose(int32_t i);

  bool Update(int32_t frameMs) override;
  void DoLButtonDown(int32_t x, int32_t y) override;
  void DoMouseMove(int32_t x, int32_t y) override;
  void DoMouseOut(TQuenControl* newTarget) override;
  void DoKeyRepeat(const std::vector<int32_t>& keys) override;
  bool ConsumeRightClick() override;
  bool IsEventBlocked() const override { return closing_; }
  std::string GetEffectiveCursor() const override;

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;

 private:
  static bool Flag(const std::vector<uint8_t>& v, int32_t i) {
    return i >= 0 && i < static_cast<int32_t>(v.size()) && v[static_cast<size_t>(i)] != 0;
  }
  void SetSource(const std::string& source);
  void Clear();
  void Build();
  void Preload(const std::string& file);
  // The state's picture for rest (0), mouse in (1) or mouse out (2).
  std::string PictureFor(int32_t i, int moment) const;
  std::string OverlayFor(int32_t i, bool entering) const;
  void ShowOverlay(int32_t i, const std::string& source, bool repeat);
  void ApplyNormal(int32_t i);
  void ApplyGroup(int32_t group);
  void Finish();
  void Cancel();

  std::string source_;
  TContSelList layout_;
  std::vector<TQuenHandle> thumbs_;
  TQuenHandle overlay_;
  std::vector<uint8_t> enabled_, visible_, checked_;
  std::vector<TBrixItem*> cached_;
  std::vector<std::string> cached_names_;
  int32_t hover_ = -1;
  bool closing_ = false;
  bool finishing_ = false;
};

}  // namespace quen
