// Compositing speed of the surfaces next to two anchors measured in the same run: memcpy of
// the same bytes (the memory limit) and pixman's OVER of the same size (the compositing
// reference). Read each figure as a ratio to its anchor.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "imaging/dibx.h"
#include "imaging/row_ops.h"

namespace {

using quen::TDIBX;
using quen::TRect;

// Pictures are made once per size and kept: the smoke run under the sanitizers spends its
// time in the drawing, not in making noise.
TDIBX& Picture(int w, int h, int bits, uint32_t seed) {
  static std::map<std::tuple<int, int, int, uint32_t>, std::unique_ptr<TDIBX>> cache;
  auto& slot = cache[{w, h, bits, seed}];
  if (!slot) {
    slot = std::make_unique<TDIBX>();
    slot->SetSize(w, h, bits);
    std::minstd_rand rng(seed);
    const int bpp = bits == 8 ? 1 : bits == 32 ? 4 : 2;
    for (int y = 0; y < h; ++y) {
      uint8_t* row = slot->DIB().ScanLine(y);
      for (int i = 0; i < w * bpp; ++i) row[i] = static_cast<uint8_t>(rng() >> 8);
      if (bits == 8) {
        // Masks: a third transparent, the rest partial.
        for (int x = 0; x < w; x += 96)
          std::memset(row + x, 0, static_cast<size_t>(std::min(32, w - x)));
      }
    }
  }
  return *slot;
}

// Every fourth run of 16 pixels is the key colour, like a sprite's transparent border.
void AddKeyRuns(TDIBX& s) {
  s.SetColorKey(0);
  const int bpp = s.BitCount() == 32 ? 4 : 2;
  for (int y = 0; y < s.Height(); ++y) {
    for (int x = 0; x < s.Width(); x += 64) {
      std::memset(s.DIB().ScanLine(y) + x * bpp, 0,
                  static_cast<size_t>(std::min(16, s.Width() - x)) * bpp);
    }
  }
}

struct TCase {
  int w, h, bits;
};
TCase Args(const benchmark::State& st) {
  return TCase{static_cast<int>(st.range(0)), static_cast<int>(st.range(1)),
               static_cast<int>(st.range(2))};
}
void Bytes(benchmark::State& st, const TCase& c) {
  st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * c.w * c.h * (c.bits == 32 ? 4 : 2));
}

template <class Fn>
void Run(benchmark::State& st, Fn draw) {
  const TCase c = Args(st);
  TDIBX& dst = Picture(c.w, c.h, c.bits, 1);
  TDIBX& src = Picture(c.w, c.h, c.bits, 2);
  TDIBX& mask = Picture(c.w, c.h, 8, 3);
  for (auto _ : st) {
    draw(dst, src, mask, c);
    benchmark::DoNotOptimize(dst.DIB().Bits());
    benchmark::ClobberMemory();
  }
  Bytes(st, c);
}

void BM_Memcpy(benchmark::State& st) {
  const TCase c = Args(st);
  const size_t bytes = static_cast<size_t>(c.w) * c.h * (c.bits == 32 ? 4 : 2);
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  for (auto _ : st) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  Bytes(st, c);
}

// OVER through a constant mask (the alpha anchor); 16 bits composite 5-6-5 onto 5-6-5.
void BM_PixmanOver(benchmark::State& st) {
  const TCase c = Args(st);
  const pixman_format_code_t fmt = c.bits == 32 ? PIXMAN_a8r8g8b8 : PIXMAN_r5g6b5;
  TDIBX& src = Picture(c.w, c.h, c.bits, 2);
  TDIBX& dst = Picture(c.w, c.h, c.bits, 1);
  pixman_image_t* s = pixman_image_create_bits(
      fmt, c.w, c.h, reinterpret_cast<uint32_t*>(src.DIB().Bits()), src.DIB().Pitch());
  pixman_image_t* d = pixman_image_create_bits(
      fmt, c.w, c.h, reinterpret_cast<uint32_t*>(dst.DIB().Bits()), dst.DIB().Pitch());
  const pixman_color_t half{0x8080, 0x8080, 0x8080, 0x8080};
  pixman_image_t* m = pixman_image_create_solid_fill(&half);
  for (auto _ : st) {
    pixman_image_composite32(PIXMAN_OP_OVER, s, m, d, 0, 0, 0, 0, 0, 0, c.w, c.h);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(s);
  pixman_image_unref(d);
  pixman_image_unref(m);
  Bytes(st, c);
}

void BM_Copy(benchmark::State& st) {
  Run(st, [](TDIBX& d, TDIBX& s, TDIBX&, const TCase& c) {
    d.Draw(0, 0, false, false, false, TRect{0, 0, c.w, c.h}, s);
  });
}

void BM_CopyKeyed(benchmark::State& st) {
  const TCase c = Args(st);
  TDIBX& keyed = Picture(c.w, c.h, c.bits, 4);
  AddKeyRuns(keyed);
  Run(st, [&](TDIBX& d, TDIBX&, TDIBX&, const TCase& cc) {
    d.Draw(0, 0, false, false, true, TRect{0, 0, cc.w, cc.h}, keyed);
  });
}

void BM_Alpha(benchmark::State& st) {
  Run(st, [](TDIBX& d, TDIBX& s, TDIBX&, const TCase& c) {
    d.DrawAlpha(0, 0, 128, false, false, false, TRect{0, 0, c.w, c.h}, s);
  });
}

void BM_AlphaPlain(benchmark::State& st) {
  quen::SetForceScalar(true);
  BM_Alpha(st);
  quen::SetForceScalar(false);
}

void BM_Add(benchmark::State& st) {
  Run(st, [](TDIBX& d, TDIBX& s, TDIBX&, const TCase& c) {
    d.DrawAdd(0, 0, 128, false, false, false, TRect{0, 0, c.w, c.h}, s);
  });
}

void BM_Mask(benchmark::State& st) {
  Run(st, [](TDIBX& d, TDIBX& s, TDIBX& m, const TCase& c) {
    d.DrawMask(0, 0, m, false, false, TRect{0, 0, c.w, c.h}, s);
  });
}

void BM_Fill(benchmark::State& st) {
  Run(st, [](TDIBX& d, TDIBX&, TDIBX&, const TCase& c) {
    d.FillRect(TRect{0, 0, c.w, c.h}, 0x1234);
  });
}

void BM_Stretch(benchmark::State& st) {
  Run(st, [](TDIBX& d, TDIBX& s, TDIBX&, const TCase& c) {
    d.StretchDraw(TRect{0, 0, c.w, c.h}, s, 255, false, false, false,
                  TRect{0, 0, c.w / 2, c.h / 2});
  });
}

void BM_RotZoom(benchmark::State& st) {
  Run(st, [](TDIBX& d, TDIBX& s, TDIBX&, const TCase& c) {
    d.DrawRotZoom(c.w / 2, c.h / 2, 255, false, false, false, 20, c.h / 2, c.w / 2,
                  TRect{0, 0, c.w, c.h}, s, 300, 300);
  });
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int bits : {32, 16}) {
    b->Args({800, 600, bits});
    b->Args({1920, 1080, bits});
  }
  b->ArgNames({"w", "h", "bits"});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_Memcpy)->Apply(Sizes);
BENCHMARK(BM_PixmanOver)->Apply(Sizes);
BENCHMARK(BM_Copy)->Apply(Sizes);
BENCHMARK(BM_CopyKeyed)->Apply(Sizes);
BENCHMARK(BM_Alpha)->Apply(Sizes);
BENCHMARK(BM_AlphaPlain)->Args({800, 600, 32})->Args({800, 600, 16})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Add)->Apply(Sizes);
BENCHMARK(BM_Mask)->Apply(Sizes);
BENCHMARK(BM_Fill)->Apply(Sizes);
BENCHMARK(BM_Stretch)->Apply(Sizes);
BENCHMARK(BM_RotZoom)->Apply(Sizes);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("simd", quen::SimdLevelName(quen::DetectedSimdLevel()));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
