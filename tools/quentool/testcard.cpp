// quentool testcard: renders every blend family side by side into a PNG picture.
#include <cstdio>

#include "authoring/test_card.h"
#include "imaging/color_tables.h"
#include "imaging/dibx.h"
#include "imaging/png_writer.h"
#include "imaging/row_ops.h"
#include "platform/host_fs.h"
#include "quentool/verb.h"

namespace {

int RunTestCard(const quentool::Args& argsIn) {
  quentool::Args args = argsIn;
  std::string out, depth = "32";
  if (!quentool::TakeOption(args, "-o", out)) throw quentool::UsageError{"-o FILE is required"};
  quentool::TakeOption(args, "--depth", depth);
  const bool plain = quentool::TakeFlag(args, "--scalar");
  if (!args.empty()) throw quentool::UsageError{"unexpected argument " + args.front()};
  const int bits = depth == "15"   ? 15
                   : depth == "16" ? 16
                   : depth == "24" ? 24
                   : depth == "32" ? 32
                                   : 0;
  if (bits == 0) throw quentool::UsageError{"--depth takes 15, 16, 24 or 32"};
  quen::SetForceScalar(plain);
  quen::QuenInitColor(bits == 24 ? 32 : bits);
  quen::TDIBX card;
  quen::DrawTestCard(card, bits);
  const std::string png = quen::EncodePng(card);
  if (!quen::platform::WriteFileAtomically(out, png)) {
    std::fprintf(stderr, "quentool testcard: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

QUENTOOL_VERB("testcard", "testcard -o card.png [--depth 15|16|24|32] [--scalar]", RunTestCard);
