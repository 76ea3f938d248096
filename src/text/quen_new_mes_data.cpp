#include "text/quen_new_mes_data.h"

#include <algorithm>
#include <climits>

#include "base/error.h"
#include "base/messages.h"
#include "text/text_source.h"

namespace quen {
namespace {

// A count read from a stream, refused when its smallest records could not fit in what is left.
int32_t ReadCount(TStream& s, int64_t min_bytes_each) {
  const int32_t n = ReadInt32(s);
  if (n < 0 || int64_t{n} * min_bytes_each > s.Remaining()) RaiseError(msg::kStreamReadError);
  return n;
}

}  // namespace

void TQuenHistData::Add(const std::string& file, int32_t command, int32_t first, int32_t last,
                        int32_t height, const std::string& extra) {
  std::string stored = file;
  for (size_t i = files.size(); i-- > 0;) {
    if (files[i].empty()) continue;
    if (files[i] == file) stored.clear();
    break;
  }
  files.push_back(stored);
  commands.push_back(command);
  first_glyphs.push_back(first);
  last_glyphs.push_back(last);
  heights.push_back(height);
  extra_texts.push_back(extra);
  total_height = static_cast<int32_t>(
      std::clamp<int64_t>(int64_t{total_height} + height, INT32_MIN, INT32_MAX));
}

void TQuenHistData::Load(TStream& s, int32_t version) {
  TQuenHistData d;
  const int32_t n = ReadCount(s, 20);
  for (int32_t i = 0; i < n; ++i) {
    d.files.push_back(ReadString(s));
    d.commands.push_back(ReadInt32(s));
    d.first_glyphs.push_back(ReadInt32(s));
    d.last_glyphs.push_back(ReadInt32(s));
    d.heights.push_back(ReadInt32(s));
    d.extra_texts.push_back(version > 123 ? ReadString(s) : std::string());
  }
  d.total_height = ReadInt32(s);
  *this = std::move(d);
}

void TQuenHistData::Save(TStream& s, int32_t version) const {
  WriteInt32(s, Count());
  for (size_t i = 0; i < files.size(); ++i) {
    WriteString(s, files[i]);
    WriteInt32(s, commands[i]);
    WriteInt32(s, first_glyphs[i]);
    WriteInt32(s, last_glyphs[i]);
    WriteInt32(s, heights[i]);
    if (version > 123) WriteString(s, extra_texts[i]);
  }
  WriteInt32(s, total_height);
}

const std::string* TMesDataCacheList::Find(const std::string& page_file, int32_t command_index) {
  auto key = std::make_pair(page_file, command_index);
  auto it = words_.find(key);
  if (it == words_.end()) {
    TMesDataCacheWord w;
    if (ITextSource* source = TextSource())
      w.found = source->FetchText(page_file, command_index, w.content);
    it = words_.emplace(std::move(key), std::move(w)).first;
  }
  return it->second.found ? &it->second.content : nullptr;
}

void TQuenNewMesData::Clear() {
  parts_.clear();
  history_page_.Clear();
  cache_.Clear();
  starts_.clear();
}

bool TQuenNewMesData::Rebuild(TKvWord& layout, TWdPageList& pages) {
  std::vector<std::pair<const TPart*, const std::string*>> bodies;
  for (const TPart& part : parts_)
    if (const std::string* content = cache_.Find(part.file, part.command))
      bodies.emplace_back(&part, content);
  // Without any body the text stays as it is (a save loaded without its scenario pages).
  if (bodies.empty()) return false;
  layout.Clear();
  pages.clear();
  starts_.clear();
  for (const auto& [part, content] : bodies) {
    TKvMemoryStream ms(*content);
    const int32_t start = layout.GlyphCount();
    try {
      layout.AppendContent(ms);
    } catch (const EQuenError&) {
      // A damaged body leaves the text as it was: the part is skipped.
      continue;
    }
    // Expanding part by part gives the same glyphs and tells where each part begins.
    layout.ExpandVariables(start, -1);
    starts_.push_back({part->file, part->command, start});
  }
  if (layout.GlyphCount() == 0) return false;
  layout.settings.insert_x = parts_.empty() ? 0 : parts_.front().x;
  layout.settings.insert_y = parts_.empty() ? 0 : parts_.front().y;
  layout.LayOut(pages);
  return true;
}

int32_t TQuenNewMesData::PartStart(const std::string& page_file, int32_t command_index) const {
  for (size_t i = starts_.size(); i-- > 0;)
    if (starts_[i].command == command_index && starts_[i].file == page_file)
      return starts_[i].start;
  return -1;
}

void TQuenNewMesData::Load(TStream& s, int32_t version) {
  const int32_t n = ReadCount(s, 4 + 4 + 4 + 8);
  std::vector<TPart> parts(static_cast<size_t>(n));
  for (TPart& p : parts) p.file = ReadString(s);
  for (TPart& p : parts) p.command = ReadInt32(s);
  for (TPart& p : parts) p.page_index = ReadInt32(s);
  for (TPart& p : parts) {
    p.x = ReadInt32(s);
    p.y = ReadInt32(s);
  }
  TQuenHistData page;
  if (version > 112) page.Load(s, version);
  parts_ = std::move(parts);
  history_page_ = std::move(page);
  cache_.Clear();
}

void TQuenNewMesData::Save(TStream& s, int32_t version) const {
  WriteInt32(s, static_cast<int32_t>(parts_.size()));
  for (const TPart& p : parts_) WriteString(s, p.file);
  for (const TPart& p : parts_) WriteInt32(s, p.command);
  for (const TPart& p : parts_) WriteInt32(s, p.page_index);
  for (const TPart& p : parts_) {
    WriteInt32(s, p.x);
    WriteInt32(s, p.y);
  }
  if (version > 112) history_page_.Save(s, version);
}

}  // namespace quen
