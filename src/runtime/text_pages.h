// The text source over the interpreter's pages: the message boxes and the history read the
// body of a text-insertion command by page file and command index.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/call_man.h"
#include "text/text_source.h"

namespace quen {

class TPageTextSource : public ITextSource {
 public:
  explicit TPageTextSource(TCallMan& cm);
  bool FetchText(const std::string& page_file, int32_t command_index,
                 std::string& content) override;

 private:
  TCallMan& cm_;
};

}  // namespace quen
