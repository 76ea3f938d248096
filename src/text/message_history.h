// What a message box tells the message history: a box starts new text, a page it shows came
// from a scenario page (noted as pending), and the box moved on (its pending entry is kept).
// The history formats (quen_history.h) install themselves; until then nothing is recorded.
#pragma once

#include <cstdint>
#include <string>

namespace quen {

class IMessageHistory {
 public:
  virtual ~IMessageHistory() = default;
  // The box starts new text: its pending entry, if any, is committed first.
  virtual void NewText(const std::string& /*box_name*/) {}
  // The box shows message page page_index of the text of (page_file, command_index), glyphs
  // first..last of that text, in a box of the given size. The extra text lists the values the
  // page's variables were shown with (see quen_history.h).
  virtual void NotePage(const std::string& /*box_name*/, const std::string& /*page_file*/,
                        const std::string& /*extra_text*/, int32_t /*page_index*/,
                        int32_t /*first_glyph*/, int32_t /*last_glyph*/, int32_t /*command_index*/,
                        int32_t /*box_width*/, int32_t /*box_height*/) {}
  // Keeps the pending entry that came from this box.
  virtual void Commit(const std::string& /*box_name*/) {}
};

// The installed history, or one that records nothing; never null.
IMessageHistory& MessageHistory();
void SetMessageHistory(IMessageHistory* history);

}  // namespace quen
