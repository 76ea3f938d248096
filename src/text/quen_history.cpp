#include "text/quen_history.h"

#include <algorithm>
#include <climits>

#include "base/error.h"
#include "base/messages.h"
#include "text/text_source.h"

namespace quen {
namespace {

TQuenHistoryFormatManager* g_formats = nullptr;

int32_t ReadCount(TStream& s, int64_t min_bytes_each) {
  const int32_t n = ReadInt32(s);
  if (n < 0 || int64_t{n} * min_bytes_each > s.Remaining()) RaiseError(msg::kStreamReadError);
  return n;
}

int32_t Sum(int32_t a, int32_t b) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{a} + b, INT32_MIN, INT32_MAX));
}

bool FetchBody(const std::string& file, int32_t command, std::string& content) {
  ITextSource* source = TextSource();
  return source && !file.empty() && source->FetchText(file, command, content);
}

// The bottom of a laid-out page's lowest row.
int32_t PageHeight(const TWdPage& page) {
  int32_t h = 0;
  for (const auto& row : page.rows) h = std::max(h, Sum(row->y, row->height));
  return h;
}

}  // namespace

void THistoryTemplate::SetValues(const std::array<int32_t, 6>& v) {
  font_height = v[0];
  border = v[1];
  shadow = v[2];
  width = v[3];
  height = v[4];
  line_spacing = v[5];
}

std::string JoinHistoryValues(const std::vector<std::pair<std::string, std::string>>& values) {
  std::string out;
  for (const auto& [name, value] : values) {
    if (!out.empty()) out += "\r\n";
    out += name;
    out += '=';
    for (size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\r') {
        out += '\x01';
        if (i + 1 < value.size() && value[i + 1] == '\n') ++i;
      } else if (value[i] != '\n') {
        out += value[i];
      }
    }
  }
  return out;
}

std::vector<std::string> SplitHistoryValues(const std::string& extra) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < extra.size()) {
    size_t end = extra.find_first_of("\r\n", start);
    if (end == std::string::npos) end = extra.size();
    if (end > start) lines.push_back(extra.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// ---- one history ----

TQuenNewHistory::TQuenNewHistory() {
  work_.settings.paging = true;
}

void TQuenNewHistory::SetExpressionContext(TParamCollection* vars, const TSysFuncMan* funcs) {
  work_.SetExpressionContext(vars, funcs);
}

void TQuenNewHistory::Note(const THistoryTemplate& format, const std::string& box,
                           const std::string& file, const std::string& extra, int32_t page_index,
                           int32_t first, int32_t last, int32_t command, int32_t box_width,
                           int32_t box_height) {
  if (pages_.empty()) {
    TKvWordSettings& st = work_.settings;
    st.font_height = format.font_height;
    st.default_border = format.border;
    st.default_shadow = format.shadow;
    st.line_width = format.width;
    st.page_height = format.height;
    st.line_spacing = format.line_spacing;
  }
  pending_ = TPending{};
  pending_.present = true;
  pending_.file = file;
  pending_.command = command;
  pending_.box = box;
  pending_.extra = extra;
  pending_.first = first;
  pending_.last = last;
  if (!HasTemplate()) {
    pending_.page_index = page_index;
    pending_.width = box_width;
    pending_.height = box_height;
  }
}

void TQuenNewHistory::Commit(const std::string& box) {
  if (!pending_.present || pending_.box != box) return;
  if (HasTemplate()) {
    CommitLaidOut();
  } else {
    CommitOld();
  }
  pending_ = TPending{};
}

bool TQuenNewHistory::LoadBody(const std::string& file, int32_t command) {
  if (cached_ && cached_command_ == command && cached_file_ == file) return true;
  cached_ = false;
  std::string content;
  if (!FetchBody(file, command, content)) return false;
  TKvMemoryStream ms(content);
  try {
    work_.LoadContent(ms);
  } catch (const EQuenError&) {
    return false;
  }
  cached_ = true;
  cached_file_ = file;
  cached_command_ = command;
  return true;
}

std::string TQuenNewHistory::LastPageFile() const {
  for (size_t p = pages_.size(); p-- > 0;)
    for (size_t i = pages_[p].files.size(); i-- > 0;)
      if (!pages_[p].files[i].empty()) return pages_[p].files[i];
  return {};
}

std::string TQuenNewHistory::PageFileOf(size_t page, size_t part) const {
  for (size_t p = std::min(page + 1, pages_.size()); p-- > 0;) {
    const std::vector<std::string>& files = pages_[p].files;
    size_t i = p == page ? std::min(part + 1, files.size()) : files.size();
    while (i-- > 0)
      if (!files[i].empty()) return files[i];
  }
  return {};
}

std::string TQuenNewHistory::OldFileOf(size_t entry) const {
  for (size_t i = std::min(entry + 1, old_.size()); i-- > 0;)
    if (!old_[i].file.empty()) return old_[i].file;
  return {};
}

void TQuenNewHistory::CommitLaidOut() {
  const TPending& p = pending_;
  if (!LoadBody(p.file, p.command)) return;
  work_.Values() = SplitHistoryValues(p.extra);
  // The box's glyph positions count the expansions it showed, not the history-only ones.
  const int32_t end = work_.ExpandVariables(0, -1, false);
  if (end >= 0 && p.first <= end && p.last >= 0) {
    const int32_t first = std::clamp(p.first, 0, end);
    int32_t last = std::clamp(p.last, first, end);
    last = work_.ExpandVariables(first, last, true);
    TWdPageList laid;
    work_.LayOut(laid, first, last);
    const int32_t spacing = work_.settings.line_spacing;
    for (const auto& page : laid) {
      if (page->first_index < 0 || page->last_index < page->first_index) continue;
      const int32_t h = Sum(PageHeight(*page), spacing);
      const bool fits = !pages_.empty() && int64_t{work_.settings.page_height} >=
                                               int64_t{h} + spacing + pages_.back().total_height;
      const std::string stored = LastPageFile() == p.file ? std::string() : p.file;
      if (!fits) pages_.emplace_back();
      TQuenHistData& d = pages_.back();
      d.files.push_back(stored);
      d.commands.push_back(p.command);
      d.first_glyphs.push_back(page->first_index);
      d.last_glyphs.push_back(page->last_index);
      d.heights.push_back(h);
      d.extra_texts.push_back(p.extra);
      d.total_height = Sum(d.total_height, h);
    }
    Trim();
  }
  work_.CollapseVariables(0, -1);
  work_.Values().clear();
}

void TQuenNewHistory::CommitOld() {
  THistoryOldData e;
  e.file = OldFileOf(old_.size()) == pending_.file ? std::string() : pending_.file;
  e.command = pending_.command;
  e.page_index = pending_.page_index;
  e.width = pending_.width;
  e.height = pending_.height;
  old_.push_back(std::move(e));
  Trim();
}

// The oldest entries go; a name the next one left out as "same as before" is handed on.
void TQuenNewHistory::Trim() {
  if (max_count <= 0) return;
  const auto limit = static_cast<size_t>(max_count);
  if (pages_.size() > limit) {
    const size_t drop = pages_.size() - limit;
    TQuenHistData& next = pages_[drop];
    if (!next.files.empty() && next.files[0].empty()) next.files[0] = PageFileOf(drop, 0);
    pages_.erase(pages_.begin(), pages_.begin() + static_cast<ptrdiff_t>(drop));
  }
  if (old_.size() > limit) {
    const size_t drop = old_.size() - limit;
    if (old_[drop].file.empty()) old_[drop].file = OldFileOf(drop);
    old_.erase(old_.begin(), old_.begin() + static_cast<ptrdiff_t>(drop));
  }
}

void TQuenNewHistory::SetMaxCount(int32_t n) {
  max_count = n;
  Trim();
}

void TQuenNewHistory::Clear() {
  pages_.clear();
  old_.clear();
  pending_ = TPending{};
}

int32_t TQuenNewHistory::Count() const {
  return static_cast<int32_t>(HasTemplate() ? pages_.size() : old_.size());
}

bool TQuenNewHistory::AppendRange(TKvWord& out, const std::string& content, int32_t first,
                                  int32_t last, const std::string& extra) {
  const int32_t base = out.GlyphCount();
  TKvMemoryStream ms(content);
  try {
    out.AppendContent(ms);
  } catch (const EQuenError&) {
    return false;
  }
  out.Values() = SplitHistoryValues(extra);
  const int32_t end = out.ExpandVariables(base, -1, false);
  auto drop_from = [&](int32_t from) {
    for (int32_t i = out.GlyphCount(); i-- > from;) out.DeleteGlyph(i);
  };
  // Ranges come from saves and older games: cut them to the text as it is now.
  if (end < base || first > end - base || last < 0) {
    drop_from(base);
    return false;
  }
  const int32_t f = base + std::max(first, 0);
  int32_t l = base + std::clamp(last, std::max(first, 0), end - base);
  l = out.ExpandVariables(f, l, true);
  drop_from(l + 1);
  for (int32_t i = f; i-- > base;) out.DeleteGlyph(i);
  out.Values().clear();
  return true;
}

void TQuenNewHistory::Show(int32_t first, int32_t count, IHistoryView& view) {
  view.BeginHistory();
  TKvWord& out = view.HistoryText();
  int32_t received = 0;
  const int64_t from = std::max(first, 0);
  const int64_t to = std::min<int64_t>(from + std::max(count, 0), Count());
  for (int64_t i = from; i < to; ++i) {
    const auto index = static_cast<size_t>(i);
    const int32_t before = out.GlyphCount();
    if (received > 0) out.InsertGlyph(out.GlyphCount(), std::make_unique<TWdOpeReturn>(true));
    bool any = false;
    if (HasTemplate()) {
      const TQuenHistData& d = pages_[index];
      for (size_t k = 0; k < d.files.size(); ++k) {
        std::string content;
        if (!FetchBody(PageFileOf(index, k), d.commands[k], content)) continue;
        const int32_t part_start = out.GlyphCount();
        if (any) out.InsertGlyph(out.GlyphCount(), std::make_unique<TWdOpeReturn>(false));
        if (AppendRange(out, content, d.first_glyphs[k], d.last_glyphs[k], d.extra_texts[k])) {
          any = true;
        } else {
          while (out.GlyphCount() > part_start) out.DeleteGlyph(out.GlyphCount() - 1);
        }
      }
    } else {
      const THistoryOldData& e = old_[index];
      std::string content;
      if (FetchBody(OldFileOf(index), e.command, content)) {
        // The message page as the box showed it, in the box's size then.
        TKvWord scratch;
        scratch.settings = out.settings;
        scratch.settings.line_width = std::max(e.width, 0);
        scratch.settings.page_height = std::max(e.height, 0);
        scratch.settings.paging = e.height > 0;
        scratch.settings.insert_x = scratch.settings.insert_y = 0;
        TKvMemoryStream ms(content);
        try {
          scratch.LoadContent(ms);
          scratch.ExpandVariables(0, -1, false);
          TWdPageList laid;
          scratch.LayOut(laid);
          if (e.page_index >= 0 && e.page_index < static_cast<int32_t>(laid.size())) {
            const TWdPage& page = *laid[static_cast<size_t>(e.page_index)];
            any = AppendRange(out, content, page.first_index, page.last_index, std::string());
          }
        } catch (const EQuenError&) {
          any = false;
        }
      }
    }
    if (any) {
      ++received;
    } else {
      while (out.GlyphCount() > before) out.DeleteGlyph(out.GlyphCount() - 1);
    }
  }
  view.EndHistory(received);
}

// ---- streams ----

void TQuenNewHistory::Load(TStream& s, int32_t version) {
  if (version < 113) ReadString(s);
  std::vector<THistoryOldData> old(static_cast<size_t>(ReadCount(s, 20)));
  if (version < 113) {
    for (auto& e : old) e.file = ReadString(s);
    for (auto& e : old) e.command = ReadInt32(s);
    for (auto& e : old) e.page_index = ReadInt32(s);
    for (auto& e : old) {
      e.width = ReadInt32(s);
      e.height = ReadInt32(s);
    }
  } else {
    for (auto& e : old) {
      e.file = ReadString(s);
      e.command = ReadInt32(s);
      e.page_index = ReadInt32(s);
      e.width = ReadInt32(s);
      e.height = ReadInt32(s);
    }
  }
  TPending p;
  p.file = ReadString(s);
  p.command = ReadInt32(s);
  p.page_index = ReadInt32(s);
  p.width = ReadInt32(s);
  p.height = ReadInt32(s);
  p.box = ReadString(s);
  int32_t max = max_count;
  std::array<int32_t, 6> work{};
  std::vector<TQuenHistData> pages;
  if (version > 112) {
    max = ReadInt32(s);
    for (int32_t& v : work) v = ReadInt32(s);
    p.first = ReadInt32(s);
    p.last = ReadInt32(s);
    pages.resize(static_cast<size_t>(ReadCount(s, 8)));
    for (TQuenHistData& d : pages) d.Load(s, version);
  } else {
    const TKvWordSettings& st = work_.settings;
    work = {st.font_height, st.default_border, st.default_shadow,
            st.line_width,  st.page_height,    st.line_spacing};
  }
  if (version > 123) p.extra = ReadString(s);
  // A pending entry is one whose box has a name.
  p.present = !p.box.empty();
  old_ = std::move(old);
  pending_ = std::move(p);
  max_count = max;
  pages_ = std::move(pages);
  TKvWordSettings& st = work_.settings;
  st.font_height = work[0];
  st.default_border = work[1];
  st.default_shadow = work[2];
  st.line_width = work[3];
  st.page_height = work[4];
  st.line_spacing = work[5];
  cached_ = false;
}

void TQuenNewHistory::Save(TStream& s, int32_t version) const {
  if (version < 113) WriteString(s, std::string());
  WriteInt32(s, static_cast<int32_t>(old_.size()));
  if (version < 113) {
    for (const auto& e : old_) WriteString(s, e.file);
    for (const auto& e : old_) WriteInt32(s, e.command);
    for (const auto& e : old_) WriteInt32(s, e.page_index);
    for (const auto& e : old_) {
      WriteInt32(s, e.width);
      WriteInt32(s, e.height);
    }
  } else {
    for (const auto& e : old_) {
      WriteString(s, e.file);
      WriteInt32(s, e.command);
      WriteInt32(s, e.page_index);
      WriteInt32(s, e.width);
      WriteInt32(s, e.height);
    }
  }
  const TPending& p = pending_;
  WriteString(s, p.file);
  WriteInt32(s, p.command);
  WriteInt32(s, p.page_index);
  WriteInt32(s, p.width);
  WriteInt32(s, p.height);
  WriteString(s, p.box);
  if (version > 112) {
    WriteInt32(s, max_count);
    const TKvWordSettings& st = work_.settings;
    for (int32_t v : {st.font_height, st.default_border, st.default_shadow, st.line_width,
                      st.page_height, st.line_spacing})
      WriteInt32(s, v);
    WriteInt32(s, p.first);
    WriteInt32(s, p.last);
    WriteInt32(s, static_cast<int32_t>(pages_.size()));
    for (const TQuenHistData& d : pages_) d.Save(s, version);
  }
  if (version > 123) WriteString(s, p.extra);
}

// ---- the formats ----

TQuenHistoryFormatManager::TQuenHistoryFormatManager() {
  EnsureDefault();
}

void TQuenHistoryFormatManager::EnsureDefault() {
  if (Find("")) return;
  formats_.insert(formats_.begin(), std::make_unique<TQuenHistoryFormat>(std::string()));
  formats_.front()->History().SetExpressionContext(vars_, funcs_);
}

void TQuenHistoryFormatManager::SetExpressionContext(TParamCollection* vars,
                                                     const TSysFuncMan* funcs) {
  vars_ = vars;
  funcs_ = funcs;
  for (auto& f : formats_) f->History().SetExpressionContext(vars, funcs);
}

TQuenHistoryFormat* TQuenHistoryFormatManager::Find(const std::string& name) {
  for (auto& f : formats_)
    if (f->Name() == name) return f.get();
  return nullptr;
}

TQuenHistoryFormat& TQuenHistoryFormatManager::FindOrAdd(const std::string& name) {
  if (TQuenHistoryFormat* f = Find(name)) return *f;
  formats_.push_back(std::make_unique<TQuenHistoryFormat>(name));
  formats_.back()->History().SetExpressionContext(vars_, funcs_);
  return *formats_.back();
}

void TQuenHistoryFormatManager::SetTemplate(TQuenHistoryFormat& format,
                                            const THistoryTemplateSource* box) {
  format.settings = THistoryTemplate{};
  if (!box) return;
  format.settings.SetValues(
      {box->font_height, box->border, box->shadow, box->width, box->height, box->line_spacing});
}

void TQuenHistoryFormatManager::NotePage(const std::string& box_name, const std::string& page_file,
                                         const std::string& extra_text, int32_t page_index,
                                         int32_t first_glyph, int32_t last_glyph,
                                         int32_t command_index, int32_t box_width,
                                         int32_t box_height) {
  for (auto& f : formats_)
    f->History().Note(f->settings, box_name, page_file, extra_text, page_index, first_glyph,
                      last_glyph, command_index, box_width, box_height);
}

void TQuenHistoryFormatManager::Commit(const std::string& box_name) {
  for (auto& f : formats_) f->History().Commit(box_name);
}

void TQuenHistoryFormatManager::ClearAll() {
  for (auto& f : formats_) f->History().Clear();
}

void TQuenHistoryFormatManager::Reset() {
  formats_.clear();
  EnsureDefault();
}

void TQuenHistoryFormatManager::LoadFormats(TStream& s, int32_t version) {
  const int32_t n = ReadCount(s, 4 + 24);
  std::vector<std::unique_ptr<TQuenHistoryFormat>> formats;
  for (int32_t i = 0; i < n; ++i) {
    auto f = std::make_unique<TQuenHistoryFormat>(ReadString(s));
    std::array<int32_t, 6> v{};
    for (int32_t& x : v) x = ReadInt32(s);
    f->settings.SetValues(v);
    f->History().SetExpressionContext(vars_, funcs_);
    f->History().Load(s, version);
    formats.push_back(std::move(f));
  }
  formats_ = std::move(formats);
  EnsureDefault();
}

void TQuenHistoryFormatManager::SaveFormats(TStream& s, int32_t version) const {
  WriteInt32(s, static_cast<int32_t>(formats_.size()));
  for (const auto& f : formats_) {
    WriteString(s, f->Name());
    for (int32_t v : f->settings.Values()) WriteInt32(s, v);
    f->History().Save(s, version);
  }
}

void TQuenHistoryFormatManager::LoadDefaultHistory(TStream& s, int32_t version) {
  // Read into a fresh format first: a damaged record leaves the formats as they were.
  auto loaded = std::make_unique<TQuenHistoryFormat>(std::string());
  loaded->History().SetExpressionContext(vars_, funcs_);
  loaded->History().Load(s, version);
  formats_.clear();
  formats_.push_back(std::move(loaded));
}

void TQuenHistoryFormatManager::SaveDefaultHistory(TStream& s, int32_t version) const {
  for (const auto& f : formats_)
    if (f->Name().empty()) f->History().Save(s, version);
}

void TQuenHistoryFormatManager::ApplyLegacySettings(const std::array<int32_t, 6>& values) {
  Default().settings.SetValues(values);
}

TQuenHistoryFormatManager* HistoryFormats() {
  return g_formats;
}

void SetHistoryFormats(TQuenHistoryFormatManager* manager) {
  g_formats = manager;
}

}  // namespace quen
