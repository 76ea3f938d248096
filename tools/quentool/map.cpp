// map encode / dump: map files (the named areas of map images) from and to their text form.
#include <cstdio>

#include "authoring/map_text.h"
#include "base/stream.h"
#include "quentool/verb.h"

namespace quentool {
namespace {

int Map(const Args& in) {
  if (in.empty()) throw UsageError{"encode or dump"};
  Args args(in.begin() + 1, in.end());
  if (in[0] == "encode") {
    std::string out;
    if (!TakeOption(args, "-o", out)) throw UsageError{"-o OUT.map is required"};
    if (args.size() != 1) throw UsageError{"one input text"};
    quen::TKvMemoryStream m;
    quen::ParseMapText(ReadInputFile(args[0])).SaveToStream(m);
    WriteOutputFile(out, m.Data());
    return 0;
  }
  if (in[0] == "dump") {
    if (args.size() != 1) throw UsageError{"one input .map"};
    quen::TKvMemoryStream m(ReadInputFile(args[0]));
    quen::TMapAreaList areas;
    areas.LoadFromStream(m);
    const std::string text = quen::MapToText(areas);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
  }
  throw UsageError{"unknown map command " + in[0]};
}

QUENTOOL_VERB("map", "map encode SRC.txt -o OUT.map | map dump IN.map", Map);

}  // namespace
}  // namespace quentool
