#include "components/quen_mes.h"

#include <algorithm>
#include <climits>

#include "base/error.h"
#include "base/messages.h"
#include "base/sjis.h"
#include "base/stream.h"
#include "components/quen_base_list.h"
#include "components/quen_read_list.h"
#include "imaging/custom_dibx.h"
#include "text/markup_compiler.h"
#include "text/message_history.h"

namespace quen {
namespace {

int64_t Clamp32(int64_t v) {
  return std::clamp<int64_t>(v, INT32_MIN, INT32_MAX);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  out.push_back(line);
  return out;
}

TQuenReadList* Reads() {
  return dynamic_cast<TQuenReadList*>(ReadList());
}

// The reveal state of one page in the saved block: next row and item, countdown, accumulator,
// the fading glyphs with their alpha, the collected event values, the flags and the scroll.
void WriteReveal(TStream& s, const TMesReveal& r, const TWdPage& page) {
  WriteInt32(s, r.row);
  WriteInt32(s, r.item);
  WriteInt64(s, r.countdown);
  WriteInt64(s, r.accumulator);
  WriteInt32(s, static_cast<int32_t>(r.fading.size()));
  for (const auto& f : r.fading) {
    WriteInt32(s, f.row);
    WriteInt32(s, f.item);
    WriteByte(s, page.rows[static_cast<size_t>(f.row)]->items[static_cast<size_t>(f.item)].alpha);
  }
  WriteStringList(s, r.events);
  WriteByte(
      s, static_cast<uint8_t>((r.started ? 1 : 0) | (r.skip_time ? 2 : 0) | (r.finished ? 4 : 0)));
  WriteInt32(s, r.scroll);
}

// False when the state does not fit the page (a changed text): the page then starts afresh.
bool ReadReveal(TStream& s, TMesReveal& r, std::vector<uint8_t>& alphas, const TWdPage& page) {
  const auto rows = static_cast<int32_t>(page.rows.size());
  auto items = [&page](int32_t row) {
    return static_cast<int32_t>(page.rows[static_cast<size_t>(row)]->items.size());
  };
  r.row = ReadInt32(s);
  r.item = ReadInt32(s);
  r.countdown = Clamp32(ReadInt64(s));
  r.accumulator = std::clamp<int64_t>(ReadInt64(s), 0, INT32_MAX);
  bool ok = r.row >= 0 && r.item >= 0 &&
            (r.row < rows ? r.item <= items(r.row) : (r.row == rows && r.item == 0));
  const int32_t n = ReadInt32(s);
  if (n < 0 || int64_t{n} * 9 > s.Remaining()) RaiseError(msg::kStreamReadError);
  for (int32_t k = 0; k < n; ++k) {
    TMesReveal::TFading f;
    f.row = ReadInt32(s);
    f.item = ReadInt32(s);
    const uint8_t a = ReadByte(s);
    // Only glyphs already revealed can be fading.
    const bool fits = f.row >= 0 && f.item >= 0 && f.row < rows && f.item < items(f.row) &&
                      (f.row < r.row || (f.row == r.row && f.item < r.item));
    ok = ok && fits;
    r.fading.push_back(f);
    alphas.push_back(a);
  }
  r.events = ReadStringList(s);
  const uint8_t flags = ReadByte(s);
  r.started = flags & 1;
  r.skip_time = flags & 2;
  r.finished = flags & 4;
  r.scroll = ReadInt32(s);
  return ok;
}

}  // namespace

TQuenMes::TQuenMes(TQuenBaseList* owner) : TQuenControl(owner) {
  layout_.settings.antialias = 3;
  layout_.settings.paging = true;
}

TQuenMes::~TQuenMes() = default;

const TMesReveal* TQuenMes::Reveal(int32_t i) const {
  if (i < 0 || i >= static_cast<int32_t>(reveals_.size())) return nullptr;
  return &reveals_[static_cast<size_t>(i)];
}

void TQuenMes::FreePages() {
  pages_.clear();
  reveals_.clear();
  index_ = -1;
  hover_first_ = hover_last_ = -1;
  caret_x_ = caret_y_ = caret_h_ = 0;
}

void TQuenMes::LayOutText() {
  layout_.settings.line_width = Width();
  layout_.settings.page_height = Height();
  layout_.settings.paging = true;
  layout_.LayOut(pages_);
  FreshReveals();
}

// New pages show nothing until their reveal starts.
void TQuenMes::FreshReveals() {
  reveals_.assign(pages_.size(), TMesReveal{});
  for (int32_t i = 0; i < static_cast<int32_t>(pages_.size()); ++i) ApplyReveal(i);
}

void TQuenMes::FirePlayStart() {
  const std::string& key = read_key_;
  TQuenReadList* reads = Reads();
  const bool read = read_tracking_ && reads && reads->IsRead(key, read_number_, index_);
  FireEvent(PR_ONPLAYSTART, {read ? "1" : "0"}, false);
  start_delay_ = 1;
}

// The variables of glyphs from..to with the values they show, in the history's value list form.
std::string TQuenMes::ShownValues(int32_t from, int32_t to) const {
  std::vector<std::pair<std::string, std::string>> values;
  const int32_t n = layout_.GlyphCount();
  for (int32_t i = std::max(from, 0); i <= to && i < n; ++i) {
    const TWdGlyph* g = layout_.GlyphAt(i);
    if (g->TypeCode() != WD_VAR) continue;
    const auto* v = static_cast<const TWdOpeVar*>(g);
    std::string text;
    for (int32_t k = i + 1; k < n && layout_.GlyphAt(k)->ExpansionOwner() == v->id_; ++k)
      text += layout_.GlyphAt(k)->IsReturn() ? std::string("\r") : layout_.GlyphAt(k)->Text();
    bool listed = false;
    for (const auto& [name, value] : values) listed = listed || sjis::EqualsNoCase(name, v->name_);
    if (!listed) values.emplace_back(v->name_, text);
  }
  return JoinHistoryValues(values);
}

void TQuenMes::HandPageOver() {
  const TWdPage* page = CurrentPage();
  if (!read_tracking_ || read_key_.empty() || !page) return;
  // The history finds the text by its command alone: glyph positions count from the start of
  // that command's part, and a page that shows none of it is not noted.
  const int32_t start = mes_data_.PartStart(read_key_, read_number_);
  if (start >= 0 && page->last_index >= start) {
    const int32_t first = std::max(page->first_index, start) - start;
    MessageHistory().NotePage(Name(), read_key_, ShownValues(start, page->last_index), index_,
                              first, page->last_index - start, read_number_, Width(), Height());
  }
  if (TQuenReadList* reads = Reads()) reads->SetPending(Name(), read_key_, index_, read_number_);
}

void TQuenMes::BeginHistory() {
  const bool mode = layout_.settings.history_mode;
  ClearText();
  layout_.settings.history_mode = mode;
  layout_.settings.insert_x = layout_.settings.insert_y = 0;
  history_received_ = 0;
}

void TQuenMes::EndHistory(int32_t received) {
  history_received_ = received;
  LayOutText();
  if (pages_.empty()) return;
  // History pages show at once.
  for (size_t i = 0; i < pages_.size(); ++i) {
    TMesReveal& r = reveals_[i];
    r.row = static_cast<int32_t>(pages_[i]->rows.size());
    r.item = 0;
    r.started = r.finished = true;
  }
  index_ = 0;
  for (int32_t i = 0; i < static_cast<int32_t>(pages_.size()); ++i) ApplyReveal(i);
  Invalidate();
}

THistoryTemplateSource TQuenMes::HistoryTemplate() const {
  THistoryTemplateSource t;
  const TKvWordSettings& st = layout_.settings;
  t.font_height = st.font_height;
  t.border = st.default_border;
  t.shadow = st.default_shadow;
  t.width = Width();
  t.height = Height();
  t.line_spacing = st.line_spacing;
  return t;
}

void TQuenMes::MoveOn() {
  MessageHistory().Commit(Name());
}

void TQuenMes::ClearReadTracking() {
  read_tracking_ = false;
  read_key_.clear();
  read_number_ = 0;
}

void TQuenMes::StartReadTracking(const std::string& page_file, int32_t command_index) {
  read_tracking_ = true;
  read_key_ = page_file;
  read_number_ = command_index;
}

void TQuenMes::InsertTextPart(const std::string& page_file, int32_t command_index) {
  TQuenNewMesData::TPart part;
  part.file = page_file;
  part.command = command_index;
  part.page_index = std::max<int32_t>(0, static_cast<int32_t>(pages_.size()) - 1);
  int32_t h = 0;
  if (mes_data_.Parts().empty() || pages_.empty()) {
    part.x = part.y = 0;
  } else {
    layout_.EndPosition(pages_, part.x, part.y, h);
  }
  mes_data_.AddPart(part);
  RebuildFromMesData(true, false);
}

void TQuenMes::RebuildFromMesData(bool fire_play_start, bool param) {
  Invalidate();
  raw_text_.clear();
  MoveOn();
  MessageHistory().NewText(Name());
  FreePages();
  data_param_byte_ = param;
  layout_.settings.line_width = Width();
  layout_.settings.page_height = Height();
  layout_.settings.paging = true;
  if (mes_data_.Rebuild(layout_, pages_)) FreshReveals();
  if (pages_.empty()) return;
  index_ = 0;
  if (fire_play_start) FirePlayStart();
  HandPageOver();
  restart_pending_ = true;
  restart_from_top_ = true;
  Invalidate();
}

void TQuenMes::ClearText() {
  ClearReadTracking();
  Invalidate();
  MoveOn();
  FreePages();
  layout_.Clear();
  raw_text_.clear();
  mes_data_.Clear();
  restart_pending_ = restart_from_top_ = false;
  start_delay_ = 0;
}

bool TQuenMes::IsShowingText() const {
  if (!ValidPage()) return false;
  if (start_delay_ > 0 || restart_pending_) return true;
  if (owner_ && owner_->Events().IndexOf(Handle(), PR_ONPLAYSTART) >= 0) return true;
  return Revealing(index_);
}

bool TQuenMes::PageRevealing() const {
  return ValidPage() && Revealing(index_);
}

bool TQuenMes::Revealing(int32_t i) const {
  const TMesReveal& r = reveals_[static_cast<size_t>(i)];
  if (!r.fading.empty() || !r.events.empty()) return true;
  if (paused_) return false;
  const TWdPage& page = *pages_[static_cast<size_t>(i)];
  for (size_t row = static_cast<size_t>(r.row); row < page.rows.size(); ++row) {
    const size_t from = row == static_cast<size_t>(r.row) ? static_cast<size_t>(r.item) : 0;
    if (from < page.rows[row]->items.size()) return true;
  }
  return false;
}

void TQuenMes::RestartPage(int32_t i) {
  if (i < 0 || i >= static_cast<int32_t>(pages_.size())) return;
  const int32_t scroll = restart_from_top_ ? 0 : reveals_[static_cast<size_t>(i)].scroll;
  reveals_[static_cast<size_t>(i)] = TMesReveal{};
  reveals_[static_cast<size_t>(i)].scroll = scroll;
  ApplyReveal(i);
  Invalidate();
}

void TQuenMes::ApplyReveal(int32_t i) {
  TMesReveal& r = reveals_[static_cast<size_t>(i)];
  TWdPage& page = *pages_[static_cast<size_t>(i)];
  for (size_t row = 0; row < page.rows.size(); ++row) {
    auto& items = page.rows[row]->items;
    for (size_t k = 0; k < items.size(); ++k) {
      const bool shown = static_cast<int32_t>(row) < r.row ||
                         (static_cast<int32_t>(row) == r.row && static_cast<int32_t>(k) < r.item);
      items[k].alpha = shown ? 255 : 0;
    }
  }
  if (i == index_) UpdateCaret(i);
}

void TQuenMes::UpdateCaret(int32_t i) {
  const TMesReveal& r = reveals_[static_cast<size_t>(i)];
  const TWdPage& page = *pages_[static_cast<size_t>(i)];
  caret_x_ = caret_y_ = caret_h_ = 0;
  // The last revealed item: before (row, item).
  int32_t row = r.row, item = r.item - 1;
  while (row >= 0) {
    if (row < static_cast<int32_t>(page.rows.size()) && item >= 0 &&
        item < static_cast<int32_t>(page.rows[static_cast<size_t>(row)]->items.size()))
      break;
    --row;
    item = row >= 0 && row < static_cast<int32_t>(page.rows.size())
               ? static_cast<int32_t>(page.rows[static_cast<size_t>(row)]->items.size()) - 1
               : -1;
  }
  if (row < 0) return;
  const TWdRow& w = *page.rows[static_cast<size_t>(row)];
  const TWdPlaced& p = w.items[static_cast<size_t>(item)];
  caret_x_ = static_cast<int32_t>(Clamp32(int64_t{p.x} + p.glyph->Width()));
  caret_y_ = static_cast<int32_t>(Clamp32(int64_t{w.y} - r.scroll));
  caret_h_ = w.height;
}

TRect TQuenMes::GlyphRect(const TWdRow& /*row*/, const TWdPlaced& p, int32_t scroll) const {
  const TRect r = layout_.PlacedRect(p);
  const int64_t dx = AbsLeft(), dy = int64_t{AbsTop()} - scroll;
  return TRect{
      static_cast<int32_t>(Clamp32(r.Left + dx)), static_cast<int32_t>(Clamp32(r.Top + dy)),
      static_cast<int32_t>(Clamp32(r.Right + dx)), static_cast<int32_t>(Clamp32(r.Bottom + dy))};
}

TQuenMes::TStepResult TQuenMes::Step(int32_t i, int32_t frameMs, std::vector<TRect>& changed) {
  TStepResult res;
  TMesReveal& r = reveals_[static_cast<size_t>(i)];
  TWdPage& page = *pages_[static_cast<size_t>(i)];
  const auto rows = static_cast<int32_t>(page.rows.size());
  int64_t dt = std::max(frameMs, 0);
  if (r.skip_time) dt = 0;
  r.skip_time = false;
  const bool notify = !PropStr(PR_ONNOTIFY).empty();
  auto item_at = [&page](int32_t row, int32_t item) -> TWdPlaced* {
    if (row < 0 || row >= static_cast<int32_t>(page.rows.size())) return nullptr;
    auto& items = page.rows[static_cast<size_t>(row)]->items;
    return item >= 0 && item < static_cast<int32_t>(items.size())
               ? &items[static_cast<size_t>(item)]
               : nullptr;
  };
  auto normalise = [&]() {
    while (r.row < rows &&
           r.item >= static_cast<int32_t>(page.rows[static_cast<size_t>(r.row)]->items.size())) {
      ++r.row;
      r.item = 0;
    }
  };
  bool revealed_any = false;
  if (!paused_ && !text_paused_ && r.events.empty()) {
    if (!r.started) {
      r.started = true;
      r.countdown = 0;
      r.accumulator = 0;
      dt = 0;
    } else {
      r.countdown = Clamp32(r.countdown - dt);
    }
    normalise();
    while (r.countdown <= 0 && r.row < rows) {
      const TWdRow& row = *page.rows[static_cast<size_t>(r.row)];
      // A row below the visible part waits until the script scrolls.
      if (int64_t{row.y} - r.scroll >= Height()) break;
      TWdPlaced& p = *item_at(r.row, r.item);
      p.alpha = 0;
      const int64_t d = p.glyph->Delay();
      int64_t add = 0;
      if (d >= 0)
        add = d * std::max(0, text_delay_) / 256;
      else if (text_delay_ >= 0)
        add = -d;
      r.countdown = Clamp32(r.countdown + add);
      r.fading.push_back({r.row, r.item});
      ++r.item;
      normalise();
      revealed_any = true;
      const uint8_t type = p.glyph->TypeCode();
      if (type == WD_EVENT && notify) {
        r.events.push_back(static_cast<const TWdOpeEvent*>(p.glyph)->value_);
        const TWdPlaced* next = item_at(r.row, r.item);
        if (d > 0 || !next || next->glyph->TypeCode() != WD_EVENT) break;
      } else if (p.glyph->Code() != 0) {
        res.revealed += p.glyph->Text();
      } else if (type == WD_IMG) {
        res.revealed += "*";
      }
    }
    if (revealed_any) UpdateCaret(i);
  }
  // Fading: a fade time of 0 shows a glyph at once; alpha never passes 255.
  if (!r.fading.empty()) {
    const int64_t fade = std::max(0, layout_.settings.fade_time);
    r.accumulator = std::min<int64_t>(r.accumulator + dt * 256, INT32_MAX);
    const int64_t k = fade == 0 ? 255 : std::min<int64_t>(r.accumulator / fade, 255);
    if (k > 0) {
      r.accumulator %= std::max<int64_t>(fade, 1);
      std::vector<TMesReveal::TFading> still;
      for (const auto& f : r.fading) {
        TWdPlaced* p = item_at(f.row, f.item);
        if (!p) continue;
        p->alpha = static_cast<uint8_t>(std::min<int64_t>(int64_t{p->alpha} + k, 255));
        if (p->glyph->Width() > 0 && p->glyph->Height() > 0)
          changed.push_back(GlyphRect(*page.rows[static_cast<size_t>(f.row)], *p, r.scroll));
        if (p->alpha <= 254) still.push_back(f);
      }
      r.fading.swap(still);
    }
  } else {
    r.accumulator = 0;
  }
  if (!r.events.empty() && r.fading.empty()) {
    std::vector<std::string> values;
    values.swap(r.events);
    for (const std::string& v : values) FireEvent(PR_ONNOTIFY, Lines(v), false);
    r.skip_time = true;
  }
  if (!r.finished && !Revealing(i)) {
    r.finished = true;
    res.finished = true;
  }
  return res;
}

bool TQuenMes::Update(int32_t frameMs) {
  const bool remove = TQuenControl::Update(frameMs);
  if (!ValidPage()) return remove;
  if (start_delay_ >= 1) {
    --start_delay_;
    return remove;
  }
  if (owner_ && owner_->Events().IndexOf(Handle(), PR_ONPLAYSTART) >= 0) return remove;
  if (restart_pending_) {
    RestartPage(index_);
    restart_pending_ = restart_from_top_ = false;
  }
  std::vector<TRect> changed;
  const TStepResult res = Step(index_, frameMs, changed);
  if (!res.revealed.empty()) FireEvent(PR_ONPLAYING, {res.revealed}, false);
  if (res.finished) {
    if (TQuenReadList* reads = Reads()) reads->CommitPending(Name());
    FireEvent(PR_ONPLAYEND, {}, false);
  }
  if (!changed.empty() && Visible()) {
    if (TQuenBase* root = Root()) {
      TRect box = HitRect();
      if (ClipActive()) box = box.Intersect(ClipRect());
      for (const TRect& c : changed) {
        const TRect r = c.Intersect(box);
        if (!r.IsEmpty()) root->AddDirtyRect(ClipToParent(r));
      }
    }
  }
  return remove;
}

void TQuenMes::DrawSelf(TCustomDIBX& target) {
  const TWdPage* page = CurrentPage();
  if (!page) return;
  const TRect clip = HitRect().Intersect(target.ClipRect());
  if (clip.IsEmpty()) return;
  TPageDrawState state;
  state.blend = layout_.settings.alpha;
  state.hover_first = hover_first_;
  state.hover_last = hover_last_;
  state.scroll_y = reveals_[static_cast<size_t>(index_)].scroll;
  layout_.DrawPage(*page, target, AbsLeft(), AbsTop(), clip, state);
}

const TWdPlaced* TQuenMes::GlyphAt(int32_t x, int32_t y) const {
  const TWdPage* page = CurrentPage();
  if (!page) return nullptr;
  const int32_t scroll = reveals_[static_cast<size_t>(index_)].scroll;
  for (const auto& row : page->rows)
    for (const TWdPlaced& p : row->items)
      if (p.index >= 0 && p.glyph->Width() > 0 && GlyphRect(*row, p, scroll).Contains(x, y))
        return &p;
  return nullptr;
}

TQuenControl* TQuenMes::HitTest(int32_t x, int32_t y, TMouseMask mask) {
  TQuenControl* hit = TQuenControl::HitTest(x, y, mask);
  if (hit != this || !capture_link_) return hit;
  const TWdPlaced* p = GlyphAt(x, y);
  return p && !p->glyph->Link().empty() ? hit : nullptr;
}

void TQuenMes::SetHover(int32_t first, int32_t last) {
  if (first == hover_first_ && last == hover_last_) return;
  hover_first_ = first;
  hover_last_ = last;
  Invalidate();
}

void TQuenMes::DoMouseMove(int32_t x, int32_t y) {
  if (ValidPage()) {
    int32_t first = -1, last = -1;
    const TWdPlaced* p = paused_ || Revealing(index_) ? nullptr : GlyphAt(x, y);
    if (p && !p->glyph->Link().empty()) {
      const std::string& link = p->glyph->Link();
      first = last = p->index;
      while (first > 0 && layout_.GlyphAt(first - 1) && layout_.GlyphAt(first - 1)->Link() == link)
        --first;
      while (layout_.GlyphAt(last + 1) && layout_.GlyphAt(last + 1)->Link() == link) ++last;
    }
    SetHover(first, last);
  }
  TQuenControl::DoMouseMove(x, y);
}

void TQuenMes::DoMouseOut(TQuenControl* newTarget) {
  SetHover(-1, -1);
  TQuenControl::DoMouseOut(newTarget);
}

void TQuenMes::DoLButtonDown(int32_t x, int32_t y) {
  if (hover_first_ >= 0 && !PropStr(PR_ONLINK).empty() && owner_ &&
      owner_->Events().IndexOf(Handle(), PR_ONLINK) < 0) {
    std::string text;
    for (int32_t g = hover_first_; g <= hover_last_; ++g)
      if (const TWdGlyph* glyph = layout_.GlyphAt(g)) text += glyph->Text();
    std::vector<std::string> args{text};
    if (const TWdGlyph* glyph = layout_.GlyphAt(hover_first_))
      for (std::string& line : Lines(glyph->Link())) args.push_back(std::move(line));
    FireEvent(PR_ONLINK, std::move(args), false);
    return;
  }
  TQuenControl::DoLButtonDown(x, y);
}

std::string TQuenMes::PageText() const {
  const TWdPage* page = CurrentPage();
  if (!page) return {};
  std::string out;
  for (int32_t g = page->first_index; g >= 0 && g <= page->last_index; ++g) {
    const TWdGlyph* glyph = layout_.GlyphAt(g);
    if (!glyph) break;
    if (glyph->IsReturn())
      out += "\r\n";
    else
      out += glyph->Text();
  }
  return out;
}

void TQuenMes::Restyle() {
  restart_pending_ = true;
  Invalidate();
}

TPropValue TQuenMes::ReadOwn(uint8_t code) const {
  const TKvWordSettings& st = layout_.settings;
  switch (code) {
    case PR_TEXT:
      return TPropValue::OfStr(PageText());
    case PR_INDEX:
      return TPropValue::OfInt(index_);
    case PR_COUNT:
      return TPropValue::OfInt(static_cast<int32_t>(pages_.size()));
    case PR_SCROLLY:
      return TPropValue::OfInt(ValidPage() ? reveals_[static_cast<size_t>(index_)].scroll : 0);
    case PR_PLAYING:
      return TPropValue::OfBool(
          ValidPage() && (index_ + 1 < static_cast<int32_t>(pages_.size()) || Revealing(index_)));
    case PR_CARETX:
      return TPropValue::OfInt(ValidPage() ? caret_x_ : 0);
    case PR_CARETY:
      return TPropValue::OfInt(ValidPage() ? caret_y_ : 0);
    case PR_CARETHEIGHT:
      return TPropValue::OfInt(ValidPage() ? caret_h_ : 0);
    case PR_PAUSED:
      return TPropValue::OfBool(paused_);
    case PR_TEXTPAUSED:
      return TPropValue::OfBool(text_paused_);
    case PR_TEXTDELAY:
      return TPropValue::OfInt(text_delay_);
    case PR_CAPTURELINK:
      return TPropValue::OfBool(capture_link_);
    case PR_FONTNAME:
      return TPropValue::OfStr(st.font_name);
    case PR_FONTHEIGHT:
      return TPropValue::OfInt(st.font_height);
    case PR_LINESPACE:
      return TPropValue::OfInt(st.line_spacing);
    case PR_FONTCOLOR:
      return TPropValue::OfInt(st.font_color);
    case PR_FONTLINKCOLOR:
      return TPropValue::OfInt(st.link_color);
    case PR_FONTHOVERCOLOR:
      return TPropValue::OfInt(st.hover_color);
    case PR_FONTBORDERCOLOR:
      return TPropValue::OfInt(st.border_color);
    case PR_FONTBORDER:
      return TPropValue::OfInt(st.default_border);
    case PR_FONTSHADOWCOLOR:
      return TPropValue::OfInt(st.shadow_color);
    case PR_FONTSHADOW:
      return TPropValue::OfInt(st.default_shadow);
    case PR_ANTIALIAS:
      return TPropValue::OfBool(st.antialias > 0);
    case PR_ALPHA:
      return TPropValue::OfInt(st.alpha);
    case PR_DELAY:
      return TPropValue::OfInt(st.fade_time);
    default:
      return TQuenControl::ReadOwn(code);
  }
}

void TQuenMes::WriteOwn(uint8_t code, const TPropValue& value) {
  TKvWordSettings& st = layout_.settings;
  const int32_t v = value.Int;
  auto look = [&](auto& field, auto now) {
    field = now;
    Restyle();
  };
  switch (code) {
    case PR_TEXT:
      Invalidate();
      MoveOn();
      mes_data_.Clear();
      MessageHistory().NewText(Name());
      raw_text_ = value.Str;
      FreePages();
      layout_.settings.insert_x = layout_.settings.insert_y = 0;
      layout_.SetText(raw_text_.empty() ? std::vector<std::string>{} : SplitMarkupLines(raw_text_));
      layout_.ExpandVariables(0, -1);
      LayOutText();
      if (pages_.empty()) return;
      index_ = 0;
      restart_pending_ = true;
      restart_from_top_ = true;
      FirePlayStart();
      return;
    case PR_INDEX:
      if (v < 0 || v >= static_cast<int32_t>(pages_.size()) || v == index_) return;
      MoveOn();
      index_ = v;
      reveals_[static_cast<size_t>(index_)].scroll = 0;
      hover_first_ = hover_last_ = -1;
      FirePlayStart();
      HandPageOver();
      restart_from_top_ = true;
      RestartPage(index_);
      restart_from_top_ = false;
      Invalidate();
      return;
    case PR_SCROLLY:
      // Without text there is no page to scroll.
      if (!ValidPage()) return;
      Invalidate();
      reveals_[static_cast<size_t>(index_)].scroll = v;
      UpdateCaret(index_);
      Invalidate();
      return;
    case PR_PAUSED:
      paused_ = v != 0;
      return;
    case PR_TEXTPAUSED:
      text_paused_ = v != 0;
      return;
    case PR_TEXTDELAY:
      text_delay_ = v;
      return;
    case PR_CAPTURELINK:
      capture_link_ = v != 0;
      return;
    case PR_FONTNAME:
      look(st.font_name, value.Str);
      return;
    case PR_FONTHEIGHT:
      look(st.font_height, v);
      return;
    case PR_LINESPACE:
      look(st.line_spacing, v);
      return;
    case PR_FONTCOLOR:
      look(st.font_color, v);
      return;
    case PR_FONTLINKCOLOR:
      look(st.link_color, v);
      return;
    case PR_FONTHOVERCOLOR:
      look(st.hover_color, v);
      return;
    case PR_FONTBORDERCOLOR:
      look(st.border_color, v);
      return;
    case PR_FONTBORDER:
      look(st.default_border, v);
      return;
    case PR_FONTSHADOWCOLOR:
      look(st.shadow_color, v);
      return;
    case PR_FONTSHADOW:
      look(st.default_shadow, v);
      return;
    case PR_ANTIALIAS:
      look(st.antialias, v != 0 ? 3 : 0);
      return;
    case PR_ALPHA:
      look(st.alpha, v);
      return;
    case PR_DELAY:
      look(st.fade_time, std::max(v, 0));
      return;
    default:
      TQuenControl::WriteOwn(code, value);
      return;
  }
}

void TQuenMes::SaveToStream(TStream& s, int32_t version) const {
  TQuenControl::SaveToStream(s, version);
  layout_.SaveSettings(s, version);
  layout_.SaveContent(s);
  mes_data_.Save(s, version);
  WriteBool(s, data_param_byte_);
  if (version > 112) WriteInt32(s, data_param_int_);
  WriteString(s, raw_text_);
  WriteInt32(s, index_);
  WriteInt32(s, ValidPage() ? reveals_[static_cast<size_t>(index_)].scroll : 0);
  WriteInt32(s, reserved_int_);
  for (const std::string& r : reserved_) WriteString(s, r);
  for (uint8_t code : {PR_ONPLAYING, PR_ONPLAYSTART, PR_ONPLAYEND, PR_ONLINK, PR_ONNOTIFY})
    WriteString(s, PropStr(code));
  WriteBool(s, paused_);
  WriteBool(s, text_paused_);
  WriteInt32(s, text_delay_);
  WriteBool(s, read_tracking_);
  WriteString(s, read_key_);
  WriteInt32(s, read_number_);
  if (version > 103) WriteString(s, PropStr(PR_ONIDLE));
  if (version >= 120) WriteBool(s, capture_link_);
  TKvMemoryStream block;
  for (size_t i = 0; i < pages_.size(); ++i) WriteReveal(block, reveals_[i], *pages_[i]);
  WriteInt32(s, static_cast<int32_t>(block.GetSize()));
  block.SetPosition(0);
  if (block.GetSize() > 0) s.CopyFrom(block, block.GetSize());
}

void TQuenMes::LoadFromStream(TStream& s, int32_t version) {
  TQuenControl::LoadFromStream(s, version);
  TKvWord& w = layout_;
  w.LoadSettings(s, version);
  w.LoadContent(s);
  TQuenNewMesData data;
  data.Load(s, version);
  const bool param_byte = ReadBool(s);
  const int32_t param_int = version > 112 ? ReadInt32(s) : 0;
  std::string raw = ReadString(s);
  const int32_t index = ReadInt32(s);
  const int32_t scroll = ReadInt32(s);
  const int32_t reserved = ReadInt32(s);
  std::string reserved_strings[3];
  for (std::string& r : reserved_strings) r = ReadString(s);
  std::string events[5];
  for (std::string& e : events) e = ReadString(s);
  const bool paused = ReadBool(s);
  const bool text_paused = ReadBool(s);
  const int32_t text_delay = ReadInt32(s);
  const bool tracking = ReadBool(s);
  std::string key = ReadString(s);
  const int32_t number = ReadInt32(s);
  std::string idle = version > 103 ? ReadString(s) : std::string();
  const bool capture = version >= 120 ? ReadBool(s) : false;
  const int32_t bytes = ReadInt32(s);
  if (bytes < 0 || bytes > s.Remaining()) RaiseError(msg::kStreamReadError);
  std::string block = ReadBytes(s, bytes);

  // Everything read: now the box takes it.
  mes_data_ = std::move(data);
  data_param_byte_ = param_byte;
  data_param_int_ = param_int;
  reserved_int_ = reserved;
  for (int k = 0; k < 3; ++k) reserved_[k] = std::move(reserved_strings[k]);
  const uint8_t codes[] = {PR_ONPLAYING, PR_ONPLAYSTART, PR_ONPLAYEND, PR_ONLINK, PR_ONNOTIFY};
  for (int k = 0; k < 5; ++k) TQuenControl::WriteOwn(codes[k], TPropValue::OfStr(events[k]));
  if (version > 103) TQuenControl::WriteOwn(PR_ONIDLE, TPropValue::OfStr(idle));
  paused_ = paused;
  text_paused_ = text_paused;
  text_delay_ = text_delay;
  capture_link_ = capture;
  start_delay_ = 0;

  FreePages();
  if (!mes_data_.Empty() && mes_data_.Rebuild(layout_, pages_)) {
    FreshReveals();
  } else if (!raw.empty()) {
    layout_.SetText(SplitMarkupLines(raw));
    layout_.ExpandVariables(0, -1);
    LayOutText();
  } else if (layout_.GlyphCount() > 0) {
    LayOutText();
  }
  raw_text_ = std::move(raw);
  read_tracking_ = tracking;
  read_key_ = std::move(key);
  read_number_ = number;
  restart_pending_ = restart_from_top_ = false;
  if (!pages_.empty()) {
    index_ = std::clamp<int32_t>(index, 0, static_cast<int32_t>(pages_.size()) - 1);
    for (int32_t i = 0; i < static_cast<int32_t>(pages_.size()); ++i) ApplyReveal(i);
    reveals_[static_cast<size_t>(index_)].scroll = scroll;
  }
  saved_states_ = std::move(block);
  ReadSavedStates();
  if (ValidPage()) UpdateCaret(index_);
  Invalidate();
}

void TQuenMes::ReadSavedStates() {
  TKvMemoryStream s(std::move(saved_states_));
  saved_states_.clear();
  for (int32_t i = 0; i < static_cast<int32_t>(pages_.size()); ++i) {
    if (s.Remaining() == 0) break;  // pages beyond the block start afresh
    TMesReveal r;
    std::vector<uint8_t> alphas;
    bool ok = false;
    try {
      ok = ReadReveal(s, r, alphas, *pages_[static_cast<size_t>(i)]);
    } catch (const EQuenError&) {
      break;  // the rest of the block is damaged: the remaining pages start afresh
    }
    if (!ok) continue;
    if (i == index_) r.scroll = reveals_[static_cast<size_t>(i)].scroll;
    reveals_[static_cast<size_t>(i)] = std::move(r);
    ApplyReveal(i);
    TWdPage& page = *pages_[static_cast<size_t>(i)];
    const auto& fading = reveals_[static_cast<size_t>(i)].fading;
    for (size_t k = 0; k < fading.size(); ++k)
      page.rows[static_cast<size_t>(fading[k].row)]
          ->items[static_cast<size_t>(fading[k].item)]
          .alpha = alphas[k];
  }
}

}  // namespace quen
