// The picture button: four states with pictures of their own (normal, hover, pressed,
// clicked), the click event, groups in which one button stays selected, and a caption.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "components/quen_images.h"
#include "text/label_renderer.h"

namespace quen {

class TQuenButton : public TQuenImages {
 public:
  enum : int32_t { BS_NORMAL = 0, BS_HOVER = 1, BS_PRESSED = 2, BS_CLICKED = 3 };

  explicit TQuenButton(TQuenBaseList* owner);
  const char* ClassName() const override { return "TQuenButton"; }
  uint8_t CompoType() const override { return LT_BUTTON; }
  TQuenKind Kind() const override { return TQuenKind::Btn; }

  int32_t State() const { return state_; }
  // Enters a state when it is the normal one or has a picture or a film; its animation
  // starts again at frame 0.
  void SetState(int32_t state);
  // The state's source ("" for none).
  const std::string& StateSource(int32_t state) const { return sources_[state & 3]; }
  void SetStateSource(int32_t state, const std::string& source);
  bool Selected() const { return selected_; }
  void SetSelected(bool selected);
  void Click();

  // The normal state's source.
  void SetSource(const std::string& source) override { SetStateSource(BS_NORMAL, source); }

  bool Update(int32_t frameMs) override;
  void DoMouseMove(int32_t x, int32_t y) override;
  void DoMouseOut(TQuenControl* newTarget) override;
  void DoLButtonDown(int32_t x, int32_t y) override;
  void DoLButtonUp(int32_t x, int32_t y) override;
  void DoKeyRepeat(const std::vector<int32_t>& keys) override;
  void RestoreSurfaces() override;

  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  bool PlayEnded() override;
  // The picture, then the caption centred on it (one pixel down and right while pressed).
  void DrawSelf(TCustomDIBX& target) override;

 private:
  TQuenImageList& ListOf(int32_t state);
  bool HasState(int32_t state);
  // The selected one of the group stays (the button just changed, else the first selected);
  // the others are let go; with nothing selected and no all-up, the first is selected.
  void GroupSelect(TQuenButton* changed);
  std::vector<TQuenButton*> Group();
  bool UnderPointer();
  // The clicked state's picture ran out.
  bool ClickedEnded();

  std::array<std::string, 4> sources_;
  TQuenImageList hover_, pressed_, clicked_;
  int32_t state_ = BS_NORMAL;
  int32_t return_state_ = BS_NORMAL;
  bool pressing_ = false;
  int32_t group_ = 0;
  bool selected_ = false;
  bool allow_all_up_ = false;
  bool scrap_ = false;
  // The caption: PR_TEXT with the font settings, rendered by the label renderer.
  TLabelList caption_;
};

}  // namespace quen
