// Where the message history finds the text of an entry again: the body of the text-insertion
// command at a command index of a scenario page. The interpreter's layer implements it and
// installs it at start-up, since pages live above the text layer.
#pragma once

#include <cstdint>
#include <string>

namespace quen {

class ITextSource {
 public:
  virtual ~ITextSource() = default;
  // The content stream (see content_stream.h) of the text-insertion command at command_index
  // of the page file page_file; false when the file, the page or the command is missing or
  // the command inserts no text.
  virtual bool FetchText(const std::string& page_file, int32_t command_index,
                         std::string& content) = 0;
};

ITextSource* TextSource();
void SetTextSource(ITextSource* source);

}  // namespace quen
