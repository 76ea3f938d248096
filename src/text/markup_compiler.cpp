#include "text/markup_compiler.h"

#include "base/stream.h"
#include "text/kv_word.h"

namespace quen {

std::string CompileMarkup(const std::vector<std::string>& lines, int32_t text_delay) {
  TKvWord word;
  word.text_delay = text_delay;
  word.SetText(lines);
  TKvMemoryStream out;
  word.SaveContent(out);
  return out.Data();
}

std::vector<std::string> SplitMarkupLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  // A final line break ends the last line rather than starting an empty one.
  if (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  return lines;
}

}  // namespace quen
