// The message data of a message box: which text insertions make up its text (scenario page
// file, command index, the message page the part began on, and the insertion point the text
// had when the part came), the history page that box is filling, and a cache of the parts'
// bodies. The box lays its pages out again from it after a load or when a part is added.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/stream.h"
#include "text/kv_word.h"

namespace quen {

// One history page: parallel lists with an item per message part placed on it. A page file
// name is left empty when it equals the nearest earlier non-empty one.
struct TQuenHistData {
  std::vector<std::string> files;
  std::vector<int32_t> commands;
  std::vector<int32_t> first_glyphs;
  std::vector<int32_t> last_glyphs;
  std::vector<int32_t> heights;
  std::vector<std::string> extra_texts;
  int32_t total_height = 0;

  int32_t Count() const { return static_cast<int32_t>(files.size()); }
  bool Empty() const { return files.empty(); }
  void Clear() { *this = TQuenHistData{}; }
  void Add(const std::string& file, int32_t command, int32_t first, int32_t last, int32_t height,
           const std::string& extra);
  // Raises the stream read error for counts beyond the bytes left.
  void Load(TStream& s, int32_t version);
  void Save(TStream& s, int32_t version) const;
};

// The bodies of the parts, fetched once per (page file, command index) from the installed
// text source.
class TMesDataCacheList {
 public:
  // Null when the source has no such text (or none is installed).
  const std::string* Find(const std::string& page_file, int32_t command_index);
  void Clear() { words_.clear(); }

 private:
  struct TMesDataCacheWord {
    bool found = false;
    std::string content;
  };
  std::map<std::pair<std::string, int32_t>, TMesDataCacheWord> words_;
};

class TQuenNewMesData {
 public:
  struct TPart {
    std::string file;
    int32_t command = 0;
    int32_t page_index = 0;
    int32_t x = 0;
    int32_t y = 0;
  };

  const std::vector<TPart>& Parts() const { return parts_; }
  TQuenHistData& HistoryPage() { return history_page_; }
  const TQuenHistData& HistoryPage() const { return history_page_; }
  bool Empty() const { return parts_.empty() && history_page_.Empty(); }
  void Clear();
  void AddPart(const TPart& part) { parts_.push_back(part); }

  // Builds the text from the parts' bodies into layout and lays it out into pages: the parts
  // follow one another, the first starting at its stored insertion point. Parts whose body is
  // missing or damaged are left out. False when no part gave any glyph.
  bool Rebuild(TKvWord& layout, TWdPageList& pages);
  // Where the last part of (page file, command index) begins in the text the last Rebuild
  // made (expanded glyph index), or -1.
  int32_t PartStart(const std::string& page_file, int32_t command_index) const;

  // Parts column by column, then the history page from version 113.
  void Load(TStream& s, int32_t version);
  void Save(TStream& s, int32_t version) const;

 private:
  std::vector<TPart> parts_;
  TQuenHistData history_page_;
  TMesDataCacheList cache_;
  struct TPartStart {
    std::string file;
    int32_t command = 0;
    int32_t start = 0;
  };
  std::vector<TPartStart> starts_;
};

}  // namespace quen
