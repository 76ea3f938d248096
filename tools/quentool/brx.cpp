// brx encode / decode / info: layered pictures from and to PNG and bitmap files.
#include <cstdio>
#include <iterator>

#include "base/error.h"
#include "base/stream.h"
#include "imaging/brix_frame.h"
#include "imaging/brix_hooks.h"
#include "imaging/brix_internal.h"
#include "imaging/png_codec.h"
#include "quentool/verb.h"

namespace quentool {
namespace {

// quentool pack asks the layered-picture code whether a ".brx" needs compressing.
[[maybe_unused]] const bool kHooksInstalled = (quen::InstallBrixHooks(), true);

int32_t IntOption(Args& args, const std::string& name, int32_t fallback, int32_t lo, int32_t hi) {
  std::string value;
  if (!TakeOption(args, name, value)) return fallback;
  try {
    size_t used = 0;
    const long long v = std::stoll(value, &used, 0);
    if (used != value.size() || v < lo || v > hi) throw std::out_of_range(value);
    return static_cast<int32_t>(v);
  } catch (const std::exception&) {
    throw UsageError{name + " needs a number from " + std::to_string(lo) + " to " +
                     std::to_string(hi)};
  }
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

// One input picture, PNG or Windows bitmap by its content.
quen::TBrixFrame& LoadInput(const std::string& path, quen::TBrixFrameList& holder) {
  quen::TKvMemoryStream s(ReadInputFile(path));
  const auto& bytes = s.Data();
  if (quen::IsPngSignature(reinterpret_cast<const uint8_t*>(bytes.data()),
                           static_cast<int64_t>(bytes.size()))) {
    holder.LoadPng(s);
  } else if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
    holder.LoadBitmap(s);
  } else {
    throw UsageError{path + " is neither a PNG nor a bitmap picture"};
  }
  return holder.Frame(0);
}

int Encode(Args args) {
  std::string out;
  if (!TakeOption(args, "-o", out)) throw UsageError{"-o OUT.brx is required"};
  const int32_t key = IntOption(args, "--key", 0, INT32_MIN, INT32_MAX);
  const int32_t compression = IntOption(args, "--compression", 0, 0, 2);
  const int32_t quality = IntOption(args, "--quality", 70, 1, 100);
  const int32_t duration = IntOption(args, "--duration", 100, 0, INT32_MAX);
  const bool layers = TakeFlag(args, "--layers");
  if (args.empty()) throw UsageError{"no input pictures"};
  for (const auto& a : args) {
    if (a.size() > 1 && a[0] == '-') throw UsageError{"unknown option " + a};
  }
  quen::TBrixFrameList list(key);
  if (layers) {
    quen::TBrixFrame& frame = list.AddFrame();
    frame.Duration = duration;
    std::vector<quen::TDIBSurface> pictures;
    std::vector<int32_t> keys;
    int32_t bits = 0;
    for (const auto& path : args) {
      quen::TBrixFrameList one(0);
      quen::TBrixFrame& in = LoadInput(path, one);
      pictures.push_back(in.Picture);
      keys.push_back(in.ColorKey);
      if (bits == 0) bits = in.Picture.BitCount();
      if (in.Picture.BitCount() != bits) bits = 24;
      if (in.Picture.Width() != pictures[0].Width() ||
          in.Picture.Height() != pictures[0].Height()) {
        throw UsageError{path + " is not the size of the first layer"};
      }
    }
    for (size_t i = 0; i < pictures.size(); ++i) {
      quen::TBrixLayer& layer = frame.AddLayer();
      layer.Name = BaseName(args[i]);
      layer.ColorKey = quen::BrixConvertPicture(pictures[i], bits, keys[i]);
      layer.Picture = pictures[i];
      layer.MaskValid = layer.HasMask();
    }
    frame.Picture = frame.Layer(0).Picture;
  } else {
    for (const auto& path : args) {
      quen::TBrixFrameList one(0);
      quen::TBrixFrame& in = LoadInput(path, one);
      quen::TBrixFrame& frame = list.AddFrame();
      frame.Picture = in.Picture;
      frame.ColorKey = in.ColorKey;
      frame.ColorKeyColor = in.ColorKeyColor;
      frame.Name = BaseName(path);
      frame.Duration = duration;
    }
  }
  quen::TKvMemoryStream bytes;
  list.SaveToStream(bytes, compression, quality);
  WriteOutputFile(out, bytes.Data());
  return 0;
}

quen::TBrixFrameList LoadBrx(const std::string& path, int32_t key, bool keepLayers) {
  quen::TBrixFrameList list(key);
  quen::TKvMemoryStream s(ReadInputFile(path));
  list.LoadFromStream(s, false, keepLayers, false);
  return list;
}

void WriteFramePng(quen::TBrixFrame& frame, const std::string& path) {
  // A keyed frame without a mask shows its key as transparency.
  if (!frame.HasMask() && frame.ColorKey != -1) frame.MakeMask(false);
  quen::TKvMemoryStream png;
  quen::WritePng(png, frame.Picture);
  WriteOutputFile(path, png.Data());
}

int Decode(Args args) {
  std::string out;
  if (!TakeOption(args, "-o", out)) throw UsageError{"-o OUT.png is required"};
  const int32_t key = IntOption(args, "--key", 0, INT32_MIN, INT32_MAX);
  const int32_t index = IntOption(args, "--frame", 0, 0, INT32_MAX);
  const bool all = TakeFlag(args, "--all");
  if (args.size() != 1) throw UsageError{"one input .brx"};
  quen::TBrixFrameList list = LoadBrx(args[0], key, false);
  if (all) {
    const size_t dot = out.find_last_of('.');
    const std::string stem = dot == std::string::npos ? out : out.substr(0, dot);
    const std::string ext = dot == std::string::npos ? ".png" : out.substr(dot);
    for (int32_t i = 0; i < list.Count(); ++i) {
      WriteFramePng(list.Frame(i), stem + "_" + std::to_string(i) + ext);
    }
    return 0;
  }
  if (index >= list.Count())
    throw UsageError{"the picture has " + std::to_string(list.Count()) + " frames"};
  WriteFramePng(list.Frame(index), out);
  return 0;
}

void PrintRegions(const char* what, const std::vector<quen::TRect>& regions) {
  if (regions.empty()) return;
  std::printf("    %s:", what);
  for (const auto& r : regions) std::printf(" (%d,%d)-(%d,%d)", r.Left, r.Top, r.Right, r.Bottom);
  std::printf("\n");
}

int Info(Args args) {
  const int32_t key = IntOption(args, "--key", 0, INT32_MIN, INT32_MAX);
  if (args.size() != 1) throw UsageError{"one input .brx"};
  const std::string bytes = ReadInputFile(args[0]);
  quen::TViewStream hs(bytes);
  quen::TBrixHeader h;
  quen::ReadBrixHeader(hs, h);
  quen::TBrixFrameList list = LoadBrx(args[0], key, true);
  // Headers before version 103 name no size; the first frame's stands in.
  if (h.Version < 103 && list.Count() > 0) {
    h.Width = list.Frame(0).Width();
    h.Height = list.Frame(0).Height();
    h.BitCount = list.Frame(0).BitCount();
  }
  static const char* const kKinds[] = {"zlib", "none", "jpeg"};
  std::printf("version %d, %d x %d, %d bit, %d frames, compression %s%s, background %06X\n",
              h.Version, h.Width, h.Height, h.BitCount, list.Count(), kKinds[h.Compression],
              h.Scrambled ? ", scrambled" : "", static_cast<unsigned>(h.BackgroundColor));
  if (h.BlockWidth > 0 && h.BlockHeight > 0) {
    std::printf("blocks %d x %d\n", h.BlockWidth, h.BlockHeight);
  }
  for (int32_t i = 0; i < list.Count(); ++i) {
    const quen::TBrixFrame& f = list.Frame(i);
    std::printf("frame %d \"%s\": %d x %d, %d bit, %d ms, key %d%s\n", i, f.Name.c_str(),
                f.Picture.Width(), f.Picture.Height(), f.Picture.BitCount(), f.Duration, f.ColorKey,
                f.HasMask() ? ", mask" : "");
    for (int32_t j = 0; j < f.Count(); ++j) {
      const quen::TBrixLayer& l = f.Layer(j);
      std::printf("  layer %d \"%s\": %s, alpha %d, key %d%s%s\n", j, l.Name.c_str(),
                  l.Visible ? "visible" : "hidden", l.Alpha, l.ColorKey,
                  l.HasMask() ? ", mask" : "", l.MaskValid ? ", mask valid" : "");
    }
    PrintRegions("regions", f.DrawRegions);
    PrintRegions("second regions", f.SecondRegions);
  }
  return 0;
}

int Brx(const Args& in) {
  if (in.empty()) throw UsageError{"encode, decode or info"};
  Args args(in.begin() + 1, in.end());
  if (in[0] == "encode") return Encode(args);
  if (in[0] == "decode") return Decode(args);
  if (in[0] == "info") return Info(args);
  throw UsageError{"unknown brx command " + in[0]};
}

QUENTOOL_VERB("brx",
              "brx encode IN... -o OUT.brx [--layers] [--key N] [--compression 0|1|2] "
              "[--quality Q] [--duration MS] | brx decode IN.brx -o OUT.png [--frame K] "
              "[--key N] [--all] | brx info IN.brx [--key N]",
              Brx);

}  // namespace
}  // namespace quentool
