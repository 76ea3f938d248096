#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "media/mix_ops.h"
#include "media_fixtures.h"

namespace quen {
namespace {

std::vector<const TMixOps*> AllLevels() {
  std::vector<const TMixOps*> v{&ScalarMixOps()};
  for (TSimdLevel l : {TSimdLevel::Sse2, TSimdLevel::Avx2})
    if (const TMixOps* ops = SimdMixOps(l)) v.push_back(ops);
  return v;
}

// Extremes first, so every vector width meets them; odd lengths leave tails for the plain loop.
std::vector<int16_t> Samples(size_t n, uint32_t seed) {
  auto v = testing::Noise(n, seed, 32767);
  const int16_t edge[] = {-32768, 32767, -1, 1, 0, -32767};
  for (size_t i = 0; i < std::size(edge) && i < n; ++i) v[i] = edge[i];
  return v;
}

TEST(MixOps, EveryLevelGivesThePlainLoopsSamples) {
  const auto levels = AllLevels();
  for (size_t frames : {1u, 3u, 4u, 7u, 8u, 17u, 1001u}) {
    const auto src = Samples(frames * 2, static_cast<uint32_t>(frames));
    for (auto [gl, gr] : {std::pair{32768, 32768}, {0, 32768}, {16423, 1}, {32767, 0}, {1, 2}}) {
      std::vector<int32_t> want(frames * 2, 1000);
      ScalarMixOps().Accumulate(want.data(), src.data(), frames, gl, gr);
      for (const TMixOps* ops : levels) {
        std::vector<int32_t> got(frames * 2, 1000);
        ops->Accumulate(got.data(), src.data(), frames, gl, gr);
        EXPECT_EQ(got, want) << frames << " frames, gains " << gl << "," << gr;
      }
    }
    std::vector<int32_t> acc(frames * 2);
    std::mt19937 rng(7);
    for (auto& a : acc) a = static_cast<int32_t>(rng()) >> 14;  // well past 16 bits both ways
    std::vector<int16_t> want(acc.size());
    ScalarMixOps().Pack(want.data(), acc.data(), acc.size());
    for (int32_t factor : {0, 1, 128, 254, 255, 256}) {
      std::vector<int16_t> base = Samples(frames * 2, 99), want_add = base;
      ScalarMixOps().AddScaled(want_add.data(), src.data(), src.size(), factor);
      for (const TMixOps* ops : levels) {
        std::vector<int16_t> got_add = base;
        ops->AddScaled(got_add.data(), src.data(), src.size(), factor);
        EXPECT_EQ(got_add, want_add) << frames << " frames, factor " << factor;
      }
    }
    for (const TMixOps* ops : levels) {
      std::vector<int16_t> got(acc.size());
      ops->Pack(got.data(), acc.data(), acc.size());
      EXPECT_EQ(got, want);
    }
  }
}

TEST(MixOps, TheArithmetic) {
  const TMixOps& ops = ScalarMixOps();
  // Unity passes samples untouched; the shift rounds toward minus infinity.
  const std::vector<int16_t> s{-32768, 32767, -3, 3};
  std::vector<int32_t> acc(4, 0);
  ops.Accumulate(acc.data(), s.data(), 2, kUnityGain, 16384);
  EXPECT_EQ(acc, (std::vector<int32_t>{-32768, 16383, -3, 1}));
  // The wave output engine's scaling truncates toward zero and saturates the sum.
  std::vector<int16_t> d{32000, -32000, 0, 0};
  const std::vector<int16_t> a{32000, -32000, -3, 3};
  ops.AddScaled(d.data(), a.data(), 4, 128);
  EXPECT_EQ(d, (std::vector<int16_t>{32767, -32768, -1, 1}));
  std::vector<int16_t> e{0, 0};
  const std::vector<int16_t> b{-32768, 12345};
  ops.AddScaled(e.data(), b.data(), 2, 255);
  EXPECT_EQ(e, b);  // 255 leaves samples unchanged, like 256
}

TEST(MixOps, DecibelsAndPanAsGains) {
  struct Case {
    int32_t volume, pan, left, right;
  } cases[] = {
      {0, 0, 32768, 32768},     {-600, 0, 16423, 16423},  // 0.501
      {-10000, 0, 0, 0},        {-20000, 0, 0, 0},
      {500, 0, 32768, 32768},   {0, -10000, 32768, 0},  // full left: the right is silent
      {0, 10000, 0, 32768},     {0, -600, 32768, 16423},
      {-600, 600, 8231, 16423},  // both levels added before the one rounding
  };
  for (const Case& c : cases) {
    int32_t l = -1, r = -1;
    StereoGains(c.volume, c.pan, l, r);
    EXPECT_EQ(l, c.left) << c.volume << " " << c.pan;
    EXPECT_EQ(r, c.right) << c.volume << " " << c.pan;
  }
}

}  // namespace
}  // namespace quen
