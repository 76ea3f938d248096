// Feeds arbitrary bytes to the read list's stream, or (odd first byte) to a message box's
// message data. Whatever loads is written and read back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "base/stream.h"
#include "components/quen_read_list.h"
#include "text/quen_new_mes_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  quen::TKvMemoryStream in(bytes);
  quen::TKvMemoryStream out, again;
  try {
    if (mode & 1) {
      const int32_t version = 100 + (mode >> 1) % 41;
      quen::TQuenNewMesData d;
      d.Load(in, version);
      d.Save(out, version);
      quen::TQuenNewMesData e;
      out.SetPosition(0);
      e.Load(out, version);
      e.Save(again, version);
    } else {
      quen::TQuenReadList list;
      list.LoadFromStream(in);
      list.SaveToStream(out);
      quen::TQuenReadList back;
      out.SetPosition(0);
      back.LoadFromStream(out);
      back.SaveToStream(again);
    }
  } catch (const quen::EQuenError&) {
    return 0;
  }
  if (again.Data() != out.Data()) std::abort();
  return 0;
}
