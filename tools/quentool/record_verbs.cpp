// project, install: the project file and the installation record from and to their text form.
#include <cstdio>
#include <functional>

#include "authoring/record_text.h"
#include "base/error.h"
#include "files/big_stream.h"
#include "platform/host_fs.h"
#include "quentool/verb.h"

namespace quentool {
namespace {

// Shared shape of both verbs: SRC -o OUT, or --dump FILE.
int Run(const Args& in, const std::function<std::string(const std::string&)>& build,
        const std::function<std::string(const std::string&)>& dump) {
  Args args = in;
  std::string out;
  bool dumping = TakeFlag(args, "--dump");
  bool has_out = TakeOption(args, "-o", out);
  if (args.size() != 1) throw UsageError{"one input file"};
  if (dumping) {
    if (has_out) throw UsageError{"--dump writes to standard output"};
    std::string text = dump(ReadInputFile(args[0]));
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  if (!has_out) throw UsageError{"-o FILE is required"};
  WriteOutputFile(out, build(ReadInputFile(args[0])));
  return 0;
}

int Project(const Args& args) {
  return Run(
      args,
      [](const std::string& text) {
        quen::TKvMemoryStream m;
        quen::ParseProjectText(text).SaveToStream(m);
        return m.Data();
      },
      [](const std::string& bytes) {
        quen::TKvMemoryStream m(bytes);
        quen::TProjectSetting p;
        p.LoadFromStream(m);
        return quen::ProjectToText(p);
      });
}

int Install(const Args& args) {
  return Run(
      args,
      [](const std::string& text) {
        quen::TQuenInstallSet r = quen::ParseInstallText(text);
        quen::TKvMemoryStream m;
        quen::SaveInstallSetVersion(r, m, r.Version);
        return m.Data();
      },
      [](const std::string& bytes) {
        quen::TKvMemoryStream m(bytes);
        quen::TQuenInstallSet r;
        r.LoadFromStream(m);
        return quen::InstallToText(r);
      });
}

QUENTOOL_VERB("project", "project SRC.txt -o quen.qpb | project --dump quen.qpb", Project);
QUENTOOL_VERB("install", "install SRC.txt -o install.dat | install --dump install.dat", Install);

}  // namespace
}  // namespace quentool
