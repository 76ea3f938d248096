// Feeds arbitrary bytes to the registry's stream (the component tree a game save carries) at a
// version chosen by the first byte. Whatever loads is written and read back to the same bytes.
// With QP_REGISTRY_SEEDS=DIR set it writes its seeds instead: a tree with every kind, at several
// versions.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/error.h"
#include "base/stream.h"
#include "components/quen_base_list.h"
#include "platform/host_fs.h"

namespace {

constexpr int32_t kVersions = quen::kQuenStreamVersion - quen::kQuenOldestVersion + 1;

void WriteSeeds(const std::string& dir) {
  quen::TQuenBaseList registry;
  registry.SetSize(64, 48);
  for (int type = 1; type < 128; ++type) {
    quen::TQuenObject* o = registry.CreateComponent(static_cast<uint8_t>(type));
    if (!o) continue;
    o->SetName("kind" + std::to_string(type));
    if (quen::TQuenControl* c = o->AsControl()) {
      c->SetParent(&registry.Root(type % 2));
      o->WriteProp(quen::PR_LEFT, quen::TPropValue::OfInt(type));
    }
  }
  for (int32_t version : {103, 107, 112, 125, 128, 137, quen::kQuenStreamVersion}) {
    quen::TKvMemoryStream m;
    registry.SaveToStream(m, version);
    const char mode = static_cast<char>(version - quen::kQuenOldestVersion);
    quen::platform::WriteFileAtomically(dir + "/v" + std::to_string(version), mode + m.Data());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool seeded = [] {
    if (const char* dir = std::getenv("QP_REGISTRY_SEEDS")) {
      WriteSeeds(dir);
      std::exit(0);
    }
    return true;
  }();
  (void)seeded;
  if (size < 9) return 0;
  const int32_t version = quen::kQuenOldestVersion + data[0] % kVersions;
  // The screen size comes first; a damaged one asks for surfaces of gigabytes, which the loader
  // allows (a game may be that large) but a fuzzing run cannot hold.
  int32_t w = 0, h = 0;
  std::memcpy(&w, data + 1, 4);
  std::memcpy(&h, data + 5, 4);
  if (int64_t{w} * h > 1 << 20) return 0;
  quen::TKvMemoryStream in(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  quen::TKvMemoryStream out, again;
  quen::TQuenBaseList registry;
  try {
    registry.LoadFromStream(in, version);
  } catch (const quen::EQuenError&) {
    return 0;
  }
  registry.SaveToStream(out, version);
  quen::TQuenBaseList back;
  out.SetPosition(0);
  back.LoadFromStream(out, version);
  back.SaveToStream(again, version);
  if (again.Data() != out.Data()) {
    if (std::getenv("QP_DEBUG")) {
      quen::platform::WriteFileAtomically("/tmp/o1", out.Data());
      quen::platform::WriteFileAtomically("/tmp/o2", again.Data());
    }
    std::abort();
  }
  return 0;
}
