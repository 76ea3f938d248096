// prevmenu: preview-menu layouts from and to their text form.
#include <cstdio>

#include "authoring/prevmenu_text.h"
#include "base/stream.h"
#include "quentool/verb.h"

namespace quentool {
namespace {

int PrevMenu(const Args& in) {
  Args args = in;
  if (TakeFlag(args, "--dump")) {
    if (args.size() != 1) throw UsageError{"one input layout"};
    quen::TKvMemoryStream m(ReadInputFile(args[0]));
    quen::TContSelList list;
    list.LoadFromStream(m, "", true);
    const std::string text = quen::PrevMenuToText(list);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  std::string out;
  if (!TakeOption(args, "-o", out)) throw UsageError{"-o FILE is required"};
  if (args.size() != 1) throw UsageError{"one input text"};
  quen::TKvMemoryStream m;
  quen::ParsePrevMenuText(ReadInputFile(args[0])).SaveToStream(m);
  WriteOutputFile(out, m.Data());
  return 0;
}

QUENTOOL_VERB("prevmenu", "prevmenu SRC.txt -o FILE | prevmenu --dump FILE", PrevMenu);

}  // namespace
}  // namespace quentool
