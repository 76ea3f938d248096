// Decoding an 800 x 600 32-bit picture stored as ".brx" (zlib), next to libpng decoding the
// same picture as PNG in the same run; and composing three layers of that size.
#include <benchmark/benchmark.h>
#include <png.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "base/stream.h"
#include "imaging/brix_compose.h"
#include "imaging/brix_frame.h"
#include "imaging/pixel_convert.h"
#include "imaging/png_codec.h"

namespace {

constexpr int32_t kW = 800, kH = 600;

// Smooth shading with a little grain, like a painted background: neither trivially
// compressible nor noise. Without grain it is flat shading, like cel-painted figures.
quen::TDIBSurface Picture(uint32_t seed, bool grainy = true) {
  quen::TDIBSurface p;
  p.SetSize(kW, kH, 32);
  uint32_t rng = seed;
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      rng = rng * 1103515245u + 12345u;
      const uint32_t grain = grainy ? (rng >> 28) & 3 : 0;
      const uint32_t r = (x * 255 / kW + grain) & 255, g = (y * 255 / kH + grain) & 255,
                     b = ((x + y) * 255 / (kW + kH) + seed) & 255;
      quen::StorePixel(p.ScanLine(y), 32, x, r << 16 | g << 8 | b);
    }
  }
  return p;
}

struct Files {
  std::string brx;
  std::string png;
  explicit Files(bool grainy) {
    quen::TBrixFrameList list(0);
    list.AddFrame().Picture = Picture(1, grainy);
    quen::TKvMemoryStream out;
    list.SaveToStream(out, quen::BC_DEFAULT, 70);
    brx = out.Data();
    quen::TKvMemoryStream p;
    quen::WritePng(p, list.Frame(0).Picture);
    png = p.Data();
  }
};

// range(0) is 1 for the grainy picture, 0 for the flat one.
const Files& TheFiles(const benchmark::State& state) {
  static const Files grainy(true), flat(false);
  return state.range(0) ? grainy : flat;
}

void DecodeBrx(const std::string& bytes) {
  quen::TBrixFrameList list(0);
  quen::TKvMemoryStream s(bytes);
  list.LoadFromStream(s, false, false, false);
  benchmark::DoNotOptimize(list.Frame(0).Picture.Bits());
}

// libpng's own decoder into a plain BGRA buffer: the anchor.
void DecodePng(const std::string& bytes, std::vector<uint8_t>& buffer) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  png_image_begin_read_from_memory(&image, bytes.data(), bytes.size());
  image.format = PNG_FORMAT_BGRA;
  buffer.resize(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr);
  benchmark::DoNotOptimize(buffer.data());
}

void BM_BrxDecode(benchmark::State& state) {
  const Files& f = TheFiles(state);
  for (auto _ : state) DecodeBrx(f.brx);
  state.SetBytesProcessed(state.iterations() * kW * kH * 4);
  state.counters["file_kb"] = static_cast<double>(f.brx.size()) / 1024;
}
BENCHMARK(BM_BrxDecode)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_PngDecodeAnchor(benchmark::State& state) {
  const Files& f = TheFiles(state);
  std::vector<uint8_t> buffer;
  for (auto _ : state) DecodePng(f.png, buffer);
  state.SetBytesProcessed(state.iterations() * kW * kH * 4);
  state.counters["file_kb"] = static_cast<double>(f.png.size()) / 1024;
}
BENCHMARK(BM_PngDecodeAnchor)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Both decoders alternately, so that the ratio compares them under the same conditions;
// brx_over_png below 1 means ".brx" decodes faster.
void BM_BrxOverPng(benchmark::State& state) {
  const Files& f = TheFiles(state);
  std::vector<uint8_t> buffer;
  double brx = 0, png = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    DecodeBrx(f.brx);
    const auto t1 = std::chrono::steady_clock::now();
    DecodePng(f.png, buffer);
    const auto t2 = std::chrono::steady_clock::now();
    brx += std::chrono::duration<double>(t1 - t0).count();
    png += std::chrono::duration<double>(t2 - t1).count();
  }
  state.counters["brx_ms"] = brx * 1000 / static_cast<double>(state.iterations());
  state.counters["png_ms"] = png * 1000 / static_cast<double>(state.iterations());
  state.counters["brx_over_png"] = png > 0 ? brx / png : 0;
}
BENCHMARK(BM_BrxOverPng)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// Three layers: an opaque copy, a keyed half-transparent layer and a masked one.
void BM_ComposeThreeLayers(benchmark::State& state) {
  const quen::TDIBSurface a = Picture(1), b = Picture(2), c = Picture(3);
  quen::TDIBSurface mask;
  mask.SetSize(kW, kH, 8);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) mask.ScanLine(y)[x] = static_cast<uint8_t>(x ^ y);
  quen::TDIBSurface dst;
  dst.SetSize(kW, kH, 32);
  const auto key = static_cast<int32_t>(quen::LoadPixel(b.ScanLine(0), 32, 0));
  for (auto _ : state) {
    quen::BrixCopy(dst, a);
    quen::BrixBlendAlpha(dst, b, 128, key);
    quen::BrixBlendMask(dst, c, mask);
    benchmark::DoNotOptimize(dst.Bits());
  }
  state.SetItemsProcessed(state.iterations() * kW * kH * 3);
}
BENCHMARK(BM_ComposeThreeLayers)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
