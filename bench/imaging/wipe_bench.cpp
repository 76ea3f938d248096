// Transitions: the mask pass, one step and the preparation of every kind, next to the anchors
// measured in the same run: memcpy of a frame and pixman's OVER of a frame through an a8 mask
// image of the same content. Read each figure as a ratio to its anchor; Small and Big compare
// with a rotate-zoom of the frame plus one frame copy.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "expr/random_source.h"
#include "imaging/color_tables.h"
#include "imaging/custom_wipe.h"
#include "imaging/dibx.h"
#include "imaging/row_ops.h"
#include "imaging/wipe_picture.h"

namespace {

using quen::TDIBX;

TDIBX& Picture(int w, int h, int bits, uint32_t seed) {
  static std::map<std::tuple<int, int, int, uint32_t>, std::unique_ptr<TDIBX>> cache;
  auto& slot = cache[{w, h, bits, seed}];
  if (!slot) {
    slot = std::make_unique<TDIBX>();
    slot->SetSize(w, h, bits);
    std::minstd_rand rng(seed);
    const int bpp = bits / 8;
    for (int y = 0; y < h; ++y) {
      uint8_t* row = slot->DIB().ScanLine(y);
      for (int i = 0; i < w * bpp; ++i) row[i] = static_cast<uint8_t>(rng() >> 8);
    }
  }
  return *slot;
}

// Masks of one frame: kPartial holds values between 0 and 255 everywhere (the worst case),
// kBlind the soft slats of a blind half open (ramps between runs of 0 and 255), kDither 0 and
// 255 scattered pixel by pixel (the worst case of the select row).
enum TMaskKind { kPartial, kBlind, kDither };
TDIBX& Mask(int w, int h, TMaskKind kind) {
  static std::map<std::tuple<int, int, int>, std::unique_ptr<TDIBX>> cache;
  auto& slot = cache[{w, h, kind}];
  if (!slot) {
    slot = std::make_unique<TDIBX>();
    slot->SetSize(w, h, 8);
    std::minstd_rand rng(5);
    for (int y = 0; y < h; ++y) {
      uint8_t* row = slot->DIB().ScanLine(y);
      for (int x = 0; x < w; ++x) {
        const int e = 2 * (x % 40);
        row[x] = kind == kPartial ? static_cast<uint8_t>(1 + rng() % 254)
                 : kind == kDither
                     ? static_cast<uint8_t>(rng() & 0x100 ? 255 : 0)
                     : static_cast<uint8_t>(e > 40 ? 0 : std::min(255, (40 - e) * 255 / 30));
      }
    }
  }
  return *slot;
}

struct TCase {
  int w, h, bits;
};
TCase Args(const benchmark::State& st) {
  return TCase{static_cast<int>(st.range(0)), static_cast<int>(st.range(1)),
               static_cast<int>(st.range(2))};
}
void Bytes(benchmark::State& st, const TCase& c) {
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * c.w * c.h * (c.bits / 8));
}

void BM_WipeAnchorMemcpy(benchmark::State& st) {
  const TCase c = Args(st);
  const size_t bytes = static_cast<size_t>(c.w) * c.h * (c.bits / 8);
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  for (auto _ : st) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  Bytes(st, c);
}

void PixmanMasked(benchmark::State& st, TMaskKind kind) {
  const TCase c = Args(st);
  const pixman_format_code_t fmt = c.bits == 32 ? PIXMAN_a8r8g8b8 : PIXMAN_r5g6b5;
  TDIBX& src = Picture(c.w, c.h, c.bits, 2);
  TDIBX& dst = Picture(c.w, c.h, c.bits, 1);
  TDIBX& mask = Mask(c.w, c.h, kind);
  pixman_image_t* s = pixman_image_create_bits(
      fmt, c.w, c.h, reinterpret_cast<uint32_t*>(src.DIB().Bits()), src.DIB().Pitch());
  pixman_image_t* d = pixman_image_create_bits(
      fmt, c.w, c.h, reinterpret_cast<uint32_t*>(dst.DIB().Bits()), dst.DIB().Pitch());
  pixman_image_t* m = pixman_image_create_bits(
      PIXMAN_a8, c.w, c.h, reinterpret_cast<uint32_t*>(mask.DIB().Bits()), mask.DIB().Pitch());
  for (auto _ : st) {
    pixman_image_composite32(PIXMAN_OP_OVER, s, m, d, 0, 0, 0, 0, 0, 0, c.w, c.h);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(s);
  pixman_image_unref(d);
  pixman_image_unref(m);
  Bytes(st, c);
}
void BM_WipeAnchorPixmanMaskedOver(benchmark::State& st) {
  PixmanMasked(st, kPartial);
}
void BM_WipeAnchorPixmanMaskedOverBlind(benchmark::State& st) {
  PixmanMasked(st, kBlind);
}
void BM_WipeAnchorPixmanMaskedOverDither(benchmark::State& st) {
  PixmanMasked(st, kDither);
}

// The fused rows over a whole frame, as the mask kinds run them.
void MaskPass(benchmark::State& st, TMaskKind kind, bool select) {
  const TCase c = Args(st);
  TDIBX& dst = Picture(c.w, c.h, c.bits, 1);
  TDIBX& from = Picture(c.w, c.h, c.bits, 2);
  TDIBX& to = Picture(c.w, c.h, c.bits, 3);
  TDIBX& mask = Mask(c.w, c.h, kind);
  const quen::TRowOps* ops = quen::GetRowOps(c.bits);
  const auto row = select ? ops->WipeSelect : ops->WipeMix;
  for (auto _ : st) {
    for (int y = 0; y < c.h; ++y)
      row(dst.DIB().ScanLine(y), from.DIB().ScanLine(y), to.DIB().ScanLine(y),
          mask.DIB().ScanLine(y), c.w);
    benchmark::ClobberMemory();
  }
  Bytes(st, c);
}
void BM_WipeMaskPass(benchmark::State& st) {
  MaskPass(st, kPartial, false);
}
void BM_WipeMaskPassBlind(benchmark::State& st) {
  MaskPass(st, kBlind, false);
}
void BM_WipeMaskSelect(benchmark::State& st) {
  MaskPass(st, kDither, true);
}

// Small and Big's own anchor: a rotate-zoom of the frame and one frame copy.
void BM_WipeAnchorRotZoomAndCopy(benchmark::State& st) {
  const TCase c = Args(st);
  TDIBX& dst = Picture(c.w, c.h, c.bits, 1);
  TDIBX& src = Picture(c.w, c.h, c.bits, 2);
  TDIBX& other = Picture(c.w, c.h, c.bits, 3);
  for (auto _ : st) {
    dst.Assign(other);
    dst.DrawRotZoom(c.w / 2, c.h / 2, 128, false, false, false, 20, c.h / 2, c.w / 2,
                    quen::TRect{0, 0, c.w, c.h}, src, 128, 128);
    benchmark::ClobberMemory();
  }
  Bytes(st, c);
}

// The mask picture of the picture-driven kinds: a radial gradient of the frame's size.
void UsePicture() {
  quen::SetWipePictureLoader([](const std::string&, quen::TDIBSurface& picture) {
    picture.SetSize(640, 480, 32);
    for (int y = 0; y < 480; ++y) {
      uint8_t* row = picture.ScanLine(y);
      for (int x = 0; x < 640; ++x) {
        const int v = ((x - 320) * (x - 320) + (y - 240) * (y - 240)) / 400;
        std::memset(row + 4 * x, v > 255 ? 255 : v, 3);
      }
    }
    return true;
  });
}

// One step of a kind, between two times whose progress differs so that every step draws (the
// kinds that only add start over each time: their worst case).
void BM_WipeStep(benchmark::State& st) {
  const TCase c = Args(st);
  const auto kind = static_cast<int32_t>(st.range(3));
  st.SetLabel(quen::WipeKindInfo(kind)->Ident);
  quen::QuenInitColor(c.bits);
  quen::SetRandomSeed(1);
  TDIBX target;
  target.SetSize(c.w, c.h, c.bits);
  auto wipe =
      quen::CreateWipe(kind, target, Picture(c.w, c.h, c.bits, 2), Picture(c.w, c.h, c.bits, 3));
  UsePicture();
  wipe->SetDuration(1000);
  wipe->SetPicture("mask");
  wipe->Prepare();
  wipe->SetElapsed(0);
  wipe->Step();  // the blurs make their copies at the first step
  int32_t t = 333;
  for (auto _ : st) {
    wipe->SetElapsed(t);
    wipe->Step();
    t = t == 333 ? 555 : 333;
    benchmark::ClobberMemory();
  }
  Bytes(st, c);
}

// Preparation and the first step (where the blurs blur).
void BM_WipePrepare(benchmark::State& st) {
  const TCase c = Args(st);
  const auto kind = static_cast<int32_t>(st.range(3));
  st.SetLabel(quen::WipeKindInfo(kind)->Ident);
  quen::QuenInitColor(c.bits);
  UsePicture();
  TDIBX target;
  target.SetSize(c.w, c.h, c.bits);
  for (auto _ : st) {
    auto wipe =
        quen::CreateWipe(kind, target, Picture(c.w, c.h, c.bits, 2), Picture(c.w, c.h, c.bits, 3));
    wipe->SetDuration(1000);
    wipe->SetPicture("mask");
    wipe->Prepare();
    wipe->Step();
    benchmark::ClobberMemory();
  }
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int bits : {32, 16}) {
    b->Args({800, 600, bits});
    b->Args({1920, 1080, bits});
  }
  b->ArgNames({"w", "h", "bits"});
  b->Unit(benchmark::kMicrosecond);
}

void Kinds(benchmark::internal::Benchmark* b) {
  for (int kind = 1; kind <= quen::kWipeKindCount; ++kind) {
    b->Args({800, 600, 32, kind});
    b->Args({1920, 1080, 32, kind});
  }
  b->ArgNames({"w", "h", "bits", "kind"});
  b->Unit(benchmark::kMicrosecond);
}

void BigKinds(benchmark::internal::Benchmark* b) {
  for (int kind = 1; kind <= quen::kWipeKindCount; ++kind) b->Args({1920, 1080, 32, kind});
  b->ArgNames({"w", "h", "bits", "kind"});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_WipeAnchorMemcpy)->Apply(Sizes);
BENCHMARK(BM_WipeAnchorPixmanMaskedOver)->Apply(Sizes);
BENCHMARK(BM_WipeAnchorPixmanMaskedOverBlind)->Apply(Sizes);
BENCHMARK(BM_WipeAnchorPixmanMaskedOverDither)->Apply(Sizes);
BENCHMARK(BM_WipeMaskPass)->Apply(Sizes);
BENCHMARK(BM_WipeMaskPassBlind)->Apply(Sizes);
BENCHMARK(BM_WipeMaskSelect)->Apply(Sizes);
BENCHMARK(BM_WipeAnchorRotZoomAndCopy)->Apply(Sizes);
BENCHMARK(BM_WipeStep)->Apply(Kinds);
BENCHMARK(BM_WipePrepare)->Apply(BigKinds);

}  // namespace

BENCHMARK_MAIN();
