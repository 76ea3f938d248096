// Feeds arbitrary bytes to the readers of start-up: the project file, the installation record
// and the settings file. What they accept must write back and read again to the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "authoring/record_text.h"
#include "base/error.h"
#include "runtime/ini_file.h"
#include "runtime/install_set.h"
#include "runtime/project_setting.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    quen::TKvMemoryStream m(bytes);
    quen::TProjectSetting p;
    p.LoadFromStream(m);
    quen::TKvMemoryStream out;
    p.SaveToStream(out);
    out.SetPosition(0);
    quen::TProjectSetting back;
    back.LoadFromStream(out);
    if (quen::ProjectToText(back) != quen::ProjectToText(p)) std::abort();
    (void)p.FolderDisks.DiskOf(p.StartPage);
  } catch (const quen::EQuenError&) {
  }
  try {
    quen::TKvMemoryStream m(bytes);
    quen::TQuenInstallSet r;
    r.LoadFromStream(m);
    quen::TKvMemoryStream out;
    r.SaveToStream(out);
    out.SetPosition(0);
    quen::TQuenInstallSet back;
    back.LoadFromStream(out);
    r.Version = back.Version;
    if (quen::InstallToText(back) != quen::InstallToText(r)) std::abort();
  } catch (const quen::EQuenError&) {
  }
  quen::TIniFile ini;
  ini.SetText(bytes);
  (void)ini.ReadInteger("Sound", "DelayTime", 500);
  ini.WriteInteger("Sound", "DelayTime", 200);
  if (ini.ReadInteger("Sound", "DelayTime", 0) != 200) std::abort();
  return 0;
}
