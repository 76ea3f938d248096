// Feeds arbitrary bytes to the preview-menu layout reader, under a base folder two levels deep;
// whatever loads is written and read again (names kept) to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "base/stream.h"
#include "components/cont_sel_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  quen::TContSelList absolute;
  quen::TViewStream in(bytes);
  try {
    absolute.LoadFromStream(in, "menus\\sub\\", false);
  } catch (const quen::EQuenError&) {
    if (absolute.ChoiceCount() != 0) std::abort();
    return 0;
  }
  quen::TContSelList kept;
  quen::TViewStream again(bytes);
  kept.LoadFromStream(again, "menus\\sub\\", true);
  quen::TKvMemoryStream out;
  kept.SaveToStream(out);
  quen::TContSelList twice;
  out.SetPosition(0);
  twice.LoadFromStream(out, "", true);
  quen::TKvMemoryStream out2;
  twice.SaveToStream(out2);
  if (out2.Data() != out.Data() || twice.ChoiceCount() != absolute.ChoiceCount()) std::abort();
  return 0;
}
