// quentool asm and dump: scenario pages from their text form and back.
#include <cstdio>

#include "authoring/page_text.h"
#include "base/error.h"
#include "platform/host_fs.h"
#include "quentool/verb.h"

namespace {

std::string Folder(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithExtension(const std::string& path, const std::string& ext) {
  std::string base = BaseName(path);
  size_t dot = base.rfind('.');
  std::string stem =
      dot == std::string::npos ? path : path.substr(0, path.size() - base.size() + dot);
  return stem + ext;
}

int Asm(const quentool::Args& in) {
  quentool::Args args = in;
  std::string out;
  quentool::TakeOption(args, "-o", out);
  if (args.size() != 1) throw quentool::UsageError{"asm needs one source file"};
  const std::string src = args[0];
  if (out.empty()) out = WithExtension(src, ".qsb");
  // Labels of other pages are found in their sources beside this one (PAGE.qsb -> PAGE.qs).
  auto resolver = [&src](const std::string& page, const std::string& label) -> int32_t {
    std::string other = Folder(src) + WithExtension(BaseName(page), ".qs");
    if (!quen::platform::IsRegularFile(other)) return -1;
    return quen::FindLabelInText(quentool::ReadInputFile(other), label);
  };
  quen::TPage page;
  quen::AssemblePage(quentool::ReadInputFile(src), BaseName(out), page, resolver);
  quen::TKvMemoryStream m;
  page.SaveToStream(m);
  if (!quen::platform::WriteFileAtomically(out, m.Data())) quen::RaiseError("cannot write " + out);
  return 0;
}

int Dump(const quentool::Args& in) {
  quentool::Args args = in;
  std::string out;
  quentool::TakeOption(args, "-o", out);
  if (args.size() != 1) throw quentool::UsageError{"dump needs one page file"};
  quen::TKvMemoryStream m(quentool::ReadInputFile(args[0]));
  quen::TPage page;
  page.file_name = BaseName(args[0]);
  page.LoadFromStream(m);
  std::string text = quen::DumpPage(page);
  if (out.empty()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
  } else if (!quen::platform::WriteFileAtomically(out, text)) {
    quen::RaiseError("cannot write " + out);
  }
  return 0;
}

QUENTOOL_VERB("asm", "asm SRC.qs [-o PAGE.qsb]   assemble a scenario page", Asm);
QUENTOOL_VERB("dump", "dump PAGE.qsb [-o OUT.qs]   print a scenario page as text", Dump);

}  // namespace
