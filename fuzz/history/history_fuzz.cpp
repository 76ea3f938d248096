// Feeds arbitrary bytes to the history streams: the block of history formats (odd first byte)
// or the single default history of older saves, at the version the first byte picks. Whatever
// loads is written and read back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "base/stream.h"
#include "text/quen_history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const int32_t version = 100 + (mode >> 1) % 41;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  quen::TKvMemoryStream in(bytes);
  quen::TKvMemoryStream out, again;
  try {
    quen::TQuenHistoryFormatManager m, back;
    if (mode & 1) {
      m.LoadFormats(in, version);
      m.SaveFormats(out, version);
      out.SetPosition(0);
      back.LoadFormats(out, version);
      back.SaveFormats(again, version);
    } else {
      m.LoadDefaultHistory(in, version);
      m.SaveDefaultHistory(out, version);
      out.SetPosition(0);
      back.LoadDefaultHistory(out, version);
      back.SaveDefaultHistory(again, version);
    }
  } catch (const quen::EQuenError&) {
    return 0;
  }
  if (again.Data() != out.Data()) std::abort();
  return 0;
}
