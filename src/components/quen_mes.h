// The message box: marked-up text laid out into pages of the box's size and revealed glyph by
// glyph (each waits its delay, scaled by the text delay rate, then fades in), with links that
// light up under the pointer and answer clicks, event marks that raise script events, and the
// read marks and history notes of the pages it shows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "components/message_target.h"
#include "components/quen_object.h"
#include "text/kv_word.h"
#include "text/quen_history.h"
#include "text/quen_new_mes_data.h"

namespace quen {

// Where the reveal of one page stands.
struct TMesReveal {
  int32_t row = 0;  // next row and item of the page to reveal
  int32_t item = 0;
  int64_t countdown = 0;    // ms until the next glyph
  int64_t accumulator = 0;  // fade time, in 1/256 ms
  struct TFading {
    int32_t row = 0;
    int32_t item = 0;
  };
  std::vector<TFading> fading;
  std::vector<std::string> events;  // event values waiting for the fading to end
  bool started = false;             // the first glyph was revealed
  bool skip_time = false;           // the next step counts no time (after events)
  bool finished = false;            // the end of the reveal was reported
  int32_t scroll = 0;
};

class TQuenMes : public TQuenControl, public IMessageTarget, public IHistoryView {
 public:
  explicit TQuenMes(TQuenBaseList* owner);
  ~TQuenMes() override;
  const char* ClassName() const override { return "TQuenMes"; }
  uint8_t CompoType() const override { return LT_MES; }
  TQuenKind Kind() const override { return TQuenKind::Mes; }

  bool Update(int32_t frameMs) override;
  TQuenControl* HitTest(int32_t x, int32_t y, TMouseMask mask) override;
  void DoMouseMove(int32_t x, int32_t y) override;
  void DoMouseOut(TQuenControl* newTarget) override;
  void DoLButtonDown(int32_t x, int32_t y) override;
  void SaveToStream(TStream& s, int32_t version) const override;
  void LoadFromStream(TStream& s, int32_t version) override;

  // IMessageTarget
  void ClearReadTracking() override;
  void StartReadTracking(const std::string& page_file, int32_t command_index) override;
  void InsertTextPart(const std::string& page_file, int32_t command_index) override;
  bool IsShowingText() const override;
  void ClearText() override;

  // IHistoryView: the box shows history pages (CallHist), each fully revealed.
  void BeginHistory() override;
  TKvWord& HistoryText() override { return layout_; }
  void EndHistory(int32_t received) override;
  int32_t HistoryReceived() const { return history_received_; }
  // What a history format takes from this box as its template.
  THistoryTemplateSource HistoryTemplate() const;

  // Lays the box out again from its message data (the text commands' parts).
  void RebuildFromMesData(bool fire_play_start, bool param);

  TKvWord& Layout() { return layout_; }
  const TWdPageList& Pages() const { return pages_; }
  int32_t PageIndex() const { return index_; }
  const TQuenNewMesData& MesData() const { return mes_data_; }
  // The reveal of page i (null outside the pages).
  const TMesReveal* Reveal(int32_t i) const;
  bool PageRevealing() const;

 protected:
  TPropValue ReadOwn(uint8_t code) const override;
  void WriteOwn(uint8_t code, const TPropValue& value) override;
  void DrawSelf(TCustomDIBX& target) override;

 private:
  struct TStepResult {
    std::string revealed;
    bool finished = false;
  };
  bool ValidPage() const { return index_ >= 0 && index_ < static_cast<int32_t>(pages_.size()); }
  TWdPage* CurrentPage() const { return ValidPage() ? pages_[index_].get() : nullptr; }
  void LayOutText();
  void FreshReveals();
  void FreePages();
  void FirePlayStart();
  // The current page becomes the one the read list and the history hear of.
  void HandPageOver();
  void MoveOn();
  void RestartPage(int32_t i);
  // Applies a reveal state to the glyphs' alphas and the caret.
  void ApplyReveal(int32_t i);
  bool Revealing(int32_t i) const;
  TStepResult Step(int32_t i, int32_t frameMs, std::vector<TRect>& changed);
  TRect GlyphRect(const TWdRow& row, const TWdPlaced& p, int32_t scroll) const;
  // The placed glyph under a screen point, or null.
  const TWdPlaced* GlyphAt(int32_t x, int32_t y) const;
  void SetHover(int32_t first, int32_t last);
  void UpdateCaret(int32_t i);
  void Restyle();
  std::string PageText() const;
  std::string ShownValues(int32_t from, int32_t to) const;
  void ReadSavedStates();

  TKvWord layout_;
  TWdPageList pages_;
  std::vector<TMesReveal> reveals_;
  int32_t index_ = -1;
  std::string raw_text_;
  TQuenNewMesData mes_data_;
  bool data_param_byte_ = false;
  int32_t data_param_int_ = 0;
  bool paused_ = false;
  bool text_paused_ = false;
  int32_t text_delay_ = 256;
  bool read_tracking_ = false;
  std::string read_key_;
  int32_t read_number_ = 0;
  int32_t start_delay_ = 0;
  bool restart_pending_ = false;
  bool restart_from_top_ = false;
  bool capture_link_ = false;
  int32_t reserved_int_ = 0;
  std::string reserved_[3];
  int32_t hover_first_ = -1, hover_last_ = -1;
  int32_t caret_x_ = 0, caret_y_ = 0, caret_h_ = 0;
  std::string saved_states_;
  int32_t history_received_ = 0;
};

}  // namespace quen
