// quentool wipe: draws the steps of a transition between two pictures as PNG files, a contact
// sheet of every kind, or the list of kinds.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "expr/random_source.h"
#include "imaging/brix_hooks.h"
#include "imaging/color_tables.h"
#include "imaging/custom_wipe.h"
#include "imaging/dibx.h"
#include "imaging/png_writer.h"
#include "imaging/row_ops.h"
#include "imaging/wipe_picture.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"
#include "quentool/verb.h"

namespace quentool {
namespace {

constexpr char kUsage[] =
    "wipe KIND FROM TO -o DIR [--duration MS] [--step MS] [--reverse] [--p0 N] [--p1 N] "
    "[--picture FILE] [--depth 15|16|32] [--seed N] [--scalar]\n"
    "       quentool wipe sheet FROM TO -o FILE.png [--duration MS] [--step MS] [--depth "
    "15|16|32] [--seed N] [--scalar]\n"
    "       quentool wipe list";

int64_t Number(const std::string& name, const std::string& text, int64_t lo, int64_t hi) {
  try {
    size_t used = 0;
    const long long v = std::stoll(text, &used, 0);
    if (used == text.size() && v >= lo && v <= hi) return v;
  } catch (const std::exception&) {
  }
  throw UsageError{name + " needs a number from " + std::to_string(lo) + " to " +
                   std::to_string(hi)};
}

int64_t NumberOption(Args& args, const std::string& name, int64_t fallback, int64_t lo,
                     int64_t hi) {
  std::string value;
  return TakeOption(args, name, value) ? Number(name, value, lo, hi) : fallback;
}

// A kind by its code (1 .. 38) or its identifier (WP_FADE).
int32_t KindOf(const std::string& text) {
  for (int32_t k = 1; k <= quen::kWipeKindCount; ++k) {
    if (text == quen::WipeKindInfo(k)->Ident) return k;
  }
  return static_cast<int32_t>(Number("KIND", text, 1, quen::kWipeKindCount));
}

// A PNG, bitmap or layered picture at the working depth.
std::unique_ptr<quen::TDIBX> LoadPicture(const std::string& path, int32_t bits) {
  quen::InstallBrixHooks();
  quen::TKvMemoryStream stream(ReadInputFile(path));
  quen::TDIBX decoded;
  decoded.LoadFromStream(stream, 0);
  if (decoded.IsEmpty()) throw UsageError{path + " is not a PNG, bitmap or layered picture"};
  auto out = std::make_unique<quen::TDIBX>();
  out->SetSize(decoded.Width(), decoded.Height(), bits);
  out->CopyFromPicture(decoded.DIB());
  return out;
}

struct TRun {
  int32_t bits = 32;
  int64_t duration = 1000, step = 100;
  std::unique_ptr<quen::TDIBX> from, to;
};

// The options every form shares; the pictures are loaded at the chosen depth.
TRun CommonOptions(Args& args) {
  TRun run;
  std::string depth = "32";
  TakeOption(args, "--depth", depth);
  if (depth != "15" && depth != "16" && depth != "32")
    throw UsageError{"--depth takes 15, 16 or 32"};
  run.bits = std::stoi(depth);
  run.duration = NumberOption(args, "--duration", 1000, 1, INT32_MAX);
  run.step = NumberOption(args, "--step", 100, 1, INT32_MAX);
  quen::SetRandomSeed(static_cast<uint64_t>(NumberOption(args, "--seed", 0, 0, INT64_MAX)));
  quen::SetForceScalar(TakeFlag(args, "--scalar"));
  quen::QuenInitColor(run.bits);
  quen::SetWipePictureLoader(quen::HostFileWipeLoader());
  return run;
}

void LoadPair(TRun& run, const std::string& from, const std::string& to) {
  run.from = LoadPicture(from, run.bits);
  run.to = LoadPicture(to, run.bits);
  if (run.from->Width() != run.to->Width() || run.from->Height() != run.to->Height())
    throw UsageError{"FROM and TO must have one size"};
}

void NoMoreArguments(const Args& args) {
  if (!args.empty()) throw UsageError{"unexpected argument " + args.front()};
}

int Steps(Args args) {
  std::string dir, picture;
  if (!TakeOption(args, "-o", dir)) throw UsageError{"-o DIR is required"};
  TRun run = CommonOptions(args);
  const bool reverse = TakeFlag(args, "--reverse");
  std::string p0, p1;
  const bool hasP0 = TakeOption(args, "--p0", p0), hasP1 = TakeOption(args, "--p1", p1);
  const bool hasPicture = TakeOption(args, "--picture", picture);
  if (args.size() != 3) throw UsageError{"KIND FROM TO are required"};
  const int32_t kind = KindOf(args[0]);
  LoadPair(run, args[1], args[2]);
  if (!quen::platform::IsDirectory(dir) && !quen::platform::MakeDirectory(dir))
    throw UsageError{"cannot make " + dir};
  // As in the player: the target shows the old picture when the transition starts.
  quen::TDIBX target;
  target.SetSize(run.from->Width(), run.from->Height(), run.bits);
  target.Assign(*run.from);
  auto wipe = quen::CreateWipe(kind, target, *run.from, *run.to);
  wipe->SetDuration(static_cast<int32_t>(run.duration));
  wipe->SetReverse(reverse);
  if (hasP0) wipe->SetParam(0, static_cast<int32_t>(Number("--p0", p0, INT32_MIN, INT32_MAX)));
  if (hasP1) wipe->SetParam(1, static_cast<int32_t>(Number("--p1", p1, INT32_MIN, INT32_MAX)));
  if (hasPicture) wipe->SetPicture(picture);
  wipe->Prepare();
  for (int64_t t = 0; t < run.duration; t += run.step) {
    wipe->SetElapsed(static_cast<int32_t>(t));
    wipe->Step();
    char name[32];
    std::snprintf(name, sizeof name, "/%06lld.png", static_cast<long long>(t));
    WriteOutputFile(dir + name, quen::EncodePng(target));
  }
  return 0;
}

// Digits 0-9 in a 3 × 5 font, a row of three bits per line.
constexpr uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};

void DrawNumber(quen::TDIBX& sheet, int32_t x, int32_t y, int32_t n, uint32_t ink) {
  const std::string text = std::to_string(n);
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t* glyph = kDigits[text[i] - '0'];
    for (int32_t r = 0; r < 5; ++r) {
      for (int32_t c = 0; c < 3; ++c) {
        if (!(glyph[r] & (4 >> c))) continue;
        const int32_t left = x + static_cast<int32_t>(i) * 8 + c * 2, top = y + r * 2;
        sheet.FillRect(quen::TRect{left, top, left + 2, top + 2}, ink);
      }
    }
  }
}

int Sheet(Args args) {
  std::string out;
  if (!TakeOption(args, "-o", out)) throw UsageError{"-o FILE.png is required"};
  TRun run = CommonOptions(args);
  if (args.size() != 2) throw UsageError{"FROM TO are required"};
  LoadPair(run, args[0], args[1]);
  const int32_t w = run.from->Width(), h = run.from->Height();
  constexpr int32_t kStrip = 24, kGap = 4;
  const int64_t last = (run.duration - 1) / run.step * run.step;
  const int64_t times[] = {0, run.duration / 4, run.duration / 2, run.duration * 3 / 4, last};
  const int32_t columns = static_cast<int32_t>(std::size(times));
  quen::TDIBX sheet;
  sheet.SetSize(kStrip + columns * (w + kGap), quen::kWipeKindCount * (h + kGap), run.bits);
  sheet.Fill(static_cast<uint32_t>(sheet.ColorToPixel(0x303030)));
  const auto ink = static_cast<uint32_t>(sheet.ColorToPixel(0xFFFFFF));
  quen::TDIBX target;
  target.SetSize(w, h, run.bits);
  for (int32_t kind = 1; kind <= quen::kWipeKindCount; ++kind) {
    const int32_t top = (kind - 1) * (h + kGap);
    DrawNumber(sheet, 3, top + 3, kind, ink);
    target.Assign(*run.from);
    auto wipe = quen::CreateWipe(kind, target, *run.from, *run.to);
    wipe->SetDuration(static_cast<int32_t>(run.duration));
    wipe->Prepare();
    for (int32_t c = 0; c < columns; ++c) {
      wipe->SetElapsed(static_cast<int32_t>(times[c]));
      wipe->Step();
      sheet.Draw(kStrip + c * (w + kGap), top, false, false, false, quen::TRect{0, 0, w, h},
                 target);
    }
  }
  WriteOutputFile(out, quen::EncodePng(sheet));
  return 0;
}

int List(Args args) {
  NoMoreArguments(args);
  for (int32_t k = 1; k <= quen::kWipeKindCount; ++k) {
    const quen::TWipeKindInfo& i = *quen::WipeKindInfo(k);
    std::printf("%2d  %-15s %-17s p0 %-3d p1 %-3d %s\n", i.Code, i.Ident, i.Class, i.P0, i.P1,
                quen::platform::Cp932ToUtf8(i.Label).c_str());
  }
  return 0;
}

int RunWipe(const Args& argsIn) {
  Args args = argsIn;
  if (!args.empty() && args[0] == "list") return List(Args(args.begin() + 1, args.end()));
  if (!args.empty() && args[0] == "sheet") return Sheet(Args(args.begin() + 1, args.end()));
  return Steps(args);
}

}  // namespace
}  // namespace quentool

QUENTOOL_VERB("wipe", quentool::kUsage, quentool::RunWipe);
