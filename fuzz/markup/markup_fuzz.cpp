// Feeds arbitrary markup to the text builder: whatever it builds is laid out (the first byte
// chooses the line width and paging), saved, and read back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "base/stream.h"
#include "text/kv_word.h"
#include "text/markup_compiler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  quen::TKvWord w;
  w.settings.line_width = mode * 2;
  w.settings.page_height = mode;
  w.settings.paging = (mode & 1) != 0;
  try {
    w.SetText(quen::SplitMarkupLines(text));
  } catch (const quen::EQuenError&) {
    // An anchor without HREF: the glyphs before it stay and are used below.
  }
  w.Values() = {
      "x=1\x01"
      "2"};
  w.ExpandVariables(0, -1, true);
  quen::TWdPageList pages;
  w.LayOut(pages);
  for (const auto& p : pages) {
    if (p->first_index > p->last_index + 1) std::abort();
  }
  w.CollapseVariables(0, -1);
  quen::TKvMemoryStream saved;
  w.SaveContent(saved);
  quen::TKvWord back;
  saved.SetPosition(0);
  back.LoadContent(saved);
  quen::TKvMemoryStream again;
  back.SaveContent(again);
  if (again.Data() != saved.Data()) std::abort();
  return 0;
}
