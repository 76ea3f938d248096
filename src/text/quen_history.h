// The message history: every message page a box finishes showing is kept, per history format,
// as a reference to where its text came from (page file, command index, glyph range), never as
// a copy of the text. A format with a template (a box whose width is above 0) lays its entries
// out into history pages of the template's size; a format without one keeps old entries that
// name the command and message page and the box size they were shown in.
//
// The text is found again through the text source (text_source.h); a history shown into a box
// goes through IHistoryView, which the message box implements.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/stream.h"
#include "text/kv_word.h"
#include "text/message_history.h"
#include "text/quen_new_mes_data.h"

namespace quen {

// An entry kept without layout. The page file name is empty when it equals the previous
// entry's.
struct THistoryOldData {
  std::string file;
  int32_t command = 0;
  int32_t page_index = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The six settings a format takes from its template box, in their stored order.
struct THistoryTemplate {
  int32_t font_height = 0;
  int32_t border = 0;
  int32_t shadow = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t line_spacing = 0;

  std::array<int32_t, 6> Values() const {
    return {font_height, border, shadow, width, height, line_spacing};
  }
  void SetValues(const std::array<int32_t, 6>& v);
};

// What a box shows a history in. Begin switches the box into history mode with empty text;
// the entries are then appended to Text() (a page break between history pages); End lays the
// text out, starting from the first page.
class IHistoryView {
 public:
  virtual ~IHistoryView() = default;
  virtual void BeginHistory() = 0;
  virtual TKvWord& HistoryText() = 0;
  // received: the number of history pages or entries put into the text.
  virtual void EndHistory(int32_t received) = 0;
};

// The box a format takes its template from.
struct THistoryTemplateSource {
  int32_t font_height = 0;
  int32_t border = 0;
  int32_t shadow = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t line_spacing = 0;
};

// The value list form of the variables a page was shown with: name=value lines joined by
// CR LF, a line break inside a value written as the byte 0x01.
std::string JoinHistoryValues(const std::vector<std::pair<std::string, std::string>>& values);
std::vector<std::string> SplitHistoryValues(const std::string& extra);

class TQuenNewHistory {
 public:
  struct TPending {
    bool present = false;
    std::string file;
    int32_t command = 0;
    int32_t page_index = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::string box;
    int32_t first = 0;
    int32_t last = 0;
    std::string extra;
  };

  TQuenNewHistory();

  // The history formats' template is copied into the work text while no page exists yet.
  void Note(const THistoryTemplate& format, const std::string& box, const std::string& file,
            const std::string& extra, int32_t page_index, int32_t first, int32_t last,
            int32_t command, int32_t box_width, int32_t box_height);
  void Commit(const std::string& box);
  void Clear();
  // Entries: history pages with a template, old entries without.
  int32_t Count() const;
  bool HasTemplate() const { return work_.settings.line_width > 0; }
  void Show(int32_t first, int32_t count, IHistoryView& view);

  int32_t max_count = 0;  // 0: unlimited
  void SetMaxCount(int32_t n);

  const std::vector<TQuenHistData>& Pages() const { return pages_; }
  const std::vector<THistoryOldData>& OldEntries() const { return old_; }
  const TPending& Pending() const { return pending_; }
  TKvWord& WorkText() { return work_; }
  // The page file of part i of history page p, or of old entry i, with "same as before" read.
  std::string PageFileOf(size_t page, size_t part) const;
  std::string OldFileOf(size_t entry) const;

  void Load(TStream& s, int32_t version);
  void Save(TStream& s, int32_t version) const;

  // Values for expanding a VAR that the extra text does not list.
  void SetExpressionContext(TParamCollection* vars, const TSysFuncMan* funcs);

 private:
  // Loads the body of (file, command) into the work text unless it is already there.
  bool LoadBody(const std::string& file, int32_t command);
  void CommitLaidOut();
  void CommitOld();
  void Trim();
  std::string LastPageFile() const;
  // Appends glyphs first..last of the body, expanded with the listed values, to out.
  static bool AppendRange(TKvWord& out, const std::string& content, int32_t first, int32_t last,
                          const std::string& extra);

  TKvWord work_;
  std::vector<TQuenHistData> pages_;
  std::vector<THistoryOldData> old_;
  TPending pending_;
  // The text loaded in the work text, by page file and command index.
  bool cached_ = false;
  std::string cached_file_;
  int32_t cached_command_ = -1;
};

class TQuenHistoryFormat {
 public:
  explicit TQuenHistoryFormat(std::string name) : name_(std::move(name)) {}
  const std::string& Name() const { return name_; }
  THistoryTemplate settings;
  TQuenNewHistory& History() { return history_; }
  const TQuenNewHistory& History() const { return history_; }

 private:
  std::string name_;
  TQuenNewHistory history_;
};

// The formats, the default one (empty name) always among them. It is what message boxes tell
// about their pages.
class TQuenHistoryFormatManager : public IMessageHistory {
 public:
  TQuenHistoryFormatManager();

  TQuenHistoryFormat* Find(const std::string& name);
  TQuenHistoryFormat& FindOrAdd(const std::string& name);
  TQuenHistoryFormat& Default() { return *Find(""); }
  int32_t FormatCount() const { return static_cast<int32_t>(formats_.size()); }
  TQuenHistoryFormat& FormatAt(int32_t i) { return *formats_[static_cast<size_t>(i)]; }
  // Without a template every setting becomes 0.
  static void SetTemplate(TQuenHistoryFormat& format, const THistoryTemplateSource* box);

  // IMessageHistory
  void NewText(const std::string& box_name) override { Commit(box_name); }
  void NotePage(const std::string& box_name, const std::string& page_file,
                const std::string& extra_text, int32_t page_index, int32_t first_glyph,
                int32_t last_glyph, int32_t command_index, int32_t box_width,
                int32_t box_height) override;
  void Commit(const std::string& box_name) override;

  void ClearAll();
  // Back to the default format alone, without template and history (Reset, old saves).
  void Reset();
  // The block of the formats (saves from 135 on); a load without the default re-creates it.
  void LoadFormats(TStream& s, int32_t version);
  void SaveFormats(TStream& s, int32_t version) const;
  // Saves before 135: only the default history.
  void LoadDefaultHistory(TStream& s, int32_t version);
  void SaveDefaultHistory(TStream& s, int32_t version) const;
  // The six values saves 113 to 134 kept in the variable block.
  void ApplyLegacySettings(const std::array<int32_t, 6>& values);

  void SetExpressionContext(TParamCollection* vars, const TSysFuncMan* funcs);

 private:
  void EnsureDefault();
  std::vector<std::unique_ptr<TQuenHistoryFormat>> formats_;
  TParamCollection* vars_ = nullptr;
  const TSysFuncMan* funcs_ = nullptr;
};

// The manager the player made, or null.
TQuenHistoryFormatManager* HistoryFormats();
void SetHistoryFormats(TQuenHistoryFormatManager* manager);

}  // namespace quen
