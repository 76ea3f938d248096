// Feeds arbitrary bytes to the archive directory reader and reads every entry it accepts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/error.h"
#include "files/vr_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quen::TVrFileCollection c;
  try {
    c.OpenMemory(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const quen::EQuenError&) {
    return 0;
  }
  for (int i = 0; i < c.EntryCount(); ++i) {
    quen::TKvMemoryStream out;
    try {
      c.ReadEntry(*c.Entry(i), out);
    } catch (const quen::EQuenError&) {
    }
    (void)c.FindFile(c.Entry(i)->Name());
  }
  return 0;
}
