// Feeds arbitrary bytes to the page reader. Whatever loads is written and read back to the same
// bytes, and is printed and assembled in the text form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "authoring/page_text.h"
#include "base/error.h"
#include "base/stream.h"
#include "runtime/command.h"
#include "runtime/project.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quen::TPage page;
  quen::TKvMemoryStream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    page.LoadFromStream(in);
  } catch (const quen::EQuenError&) {
    return 0;
  }
  quen::SetTerminateFlag(false);
  quen::TKvMemoryStream out;
  page.SaveToStream(out);
  quen::TPage again;
  out.Seek(0, quen::TSeekOrigin::soBeginning);
  again.LoadFromStream(out);
  quen::TKvMemoryStream out2;
  again.SaveToStream(out2);
  if (out2.Data() != out.Data()) std::abort();
  // The text form takes back everything it prints, to the same bytes.
  std::string text = quen::DumpPage(again);
  quen::TPage from_text;
  quen::AssemblePage(text, page.file_name, from_text);
  quen::TKvMemoryStream out3;
  from_text.SaveToStream(out3);
  if (out3.Data() != out.Data()) std::abort();
  return 0;
}
