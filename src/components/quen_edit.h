// The edit field and the memo: text entries of our own drawing where the player types, with a
// caret, a selection, the clipboard and the input method's composition shown inline. The field
// shows only where it is the topmost control at its own centre; while it holds the focus and
// shows, the keyboard is its own and never reaches the key tables.
#pragma once

#include <cstdint>
#include <string>

#include "components/quen_object.h"
#include "text/label_renderer.h"

namespace quen {

class TQuenEdit : public TQuenControl {
 public:
  explicit TQuenEdit(TQuenBaseList* owner);
  ~TQuenEdit() override;
  const char* ClassName() const override { return "TQuenEdit"; }
  uint8_t CompoType() const override { return LT_EDIT; }
  TQuenKind Kind() const override { return TQuenKind::Edt; }

  bool Update(int32_t frameMs) override;
  void PositionChanged() override;
  void FocusReceived() override;
  void TextInput(const std::string& sjis) override;
  bool TakesKeyboard() const override;
  void KeyInput(int32_t key, bool down) override;
  void CompositionInput(const std::string& sjis) override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

  // Whether the field shows (see Place); the caret and the selection as byte offsets.
  bool FieldShown() const { return shown_; }
  size_t Caret() const { return caret_; }
  size_t Anchor() const { return anchor_; }
  const std::string& Composition() const { return composition_; }
  // Shows or hides the field by the placement rule.
  void Place();

 protected:
  virtual bool Multiline() const { return false; }
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void DrawSelf(TCustomDIBX& target) override;
  uint8_t align_ = 0;  // the memo's PR_HALIGN

 private:
  bool ReadOnly() const { return read_only_ || paused_; }
  void Insert(const std::string& sjis);
  void DeleteSelection();
  size_t PrevChar(size_t at) const;
  size_t NextChar(size_t at) const;
  size_t LineStart(size_t at) const;
  size_t LineEnd(size_t at) const;
  // The caret moved up or down a line, keeping its column of characters.
  size_t LineMove(size_t at, bool down) const;
  void MoveCaret(size_t to, bool select);
  void Changed();
  void ReleaseKeyboard();
  void TellCaret();

  std::string text_;
  size_t caret_ = 0;
  size_t anchor_ = 0;
  std::string composition_;
  TLabelStyle style_;
  bool read_only_ = false;
  bool paused_ = false;
  bool shown_ = false;
  bool keyboard_ = false;
  bool shift_ = false;
  bool control_ = false;
  int32_t first_line_ = 0;  // the memo's scroll, in lines
};

class TQuenMemo : public TQuenEdit {
 public:
  using TQuenEdit::TQuenEdit;
  const char* ClassName() const override { return "TQuenMemo"; }
  uint8_t CompoType() const override { return LT_MEMO; }
  TQuenKind Kind() const override { return TQuenKind::Mem; }

 protected:
  bool Multiline() const override { return true; }
};

}  // namespace quen
