// SSE2 and AVX2 versions of the mixer loops; the tails after the last whole vector take the
// plain loops, so both give the same samples.
#include <immintrin.h>

#include "media/mix_ops.h"

namespace quen {

namespace {

// (s * g) >> 15 for g in 0..32768, worked in 16-bit lanes: g - 32768 fits a signed lane, and
// s + ((s * (g - 32768)) >> 15) is the same number. The high and low halves of the product
// give its shift by 15 exactly; the sum wraps only where the true result still fits.
inline __m128i Scale15(__m128i s, __m128i g_minus) {
  const __m128i hi = _mm_mulhi_epi16(s, g_minus);
  const __m128i lo = _mm_mullo_epi16(s, g_minus);
  return _mm_add_epi16(s, _mm_or_si128(_mm_slli_epi16(hi, 1), _mm_srli_epi16(lo, 15)));
}

__m128i GainPair128(int32_t gain_l, int32_t gain_r) {
  const int16_t l = static_cast<int16_t>(gain_l - kUnityGain);
  const int16_t r = static_cast<int16_t>(gain_r - kUnityGain);
  return _mm_setr_epi16(l, r, l, r, l, r, l, r);
}

void AccumulateSse2(int32_t* acc, const int16_t* src, size_t frames, int32_t gain_l,
                    int32_t gain_r) {
  const __m128i g = GainPair128(gain_l, gain_r);
  size_t i = 0;
  const size_t samples = frames * 2;
  for (; i + 8 <= samples; i += 8) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    const __m128i r = Scale15(s, g);
    const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(r, r), 16);
    const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(r, r), 16);
    __m128i* a = reinterpret_cast<__m128i*>(acc + i);
    _mm_storeu_si128(a, _mm_add_epi32(_mm_loadu_si128(a), lo));
    _mm_storeu_si128(a + 1, _mm_add_epi32(_mm_loadu_si128(a + 1), hi));
  }
  ScalarMixOps().Accumulate(acc + i, src + i, (samples - i) / 2, gain_l, gain_r);
}

void PackSse2(int16_t* dst, const int32_t* acc, size_t samples) {
  size_t i = 0;
  for (; i + 8 <= samples; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(acc + i + 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packs_epi32(a, b));
  }
  ScalarMixOps().Pack(dst + i, acc + i, samples - i);
}

// (s * f) / 256 truncated toward zero, f in 0..254, in 32-bit lanes.
inline __m128i ScaleFactor(__m128i s, __m128i f) {
  const __m128i lo = _mm_mullo_epi16(s, f);
  const __m128i hi = _mm_mulhi_epi16(s, f);
  const __m128i bias = _mm_set1_epi32(255);
  __m128i p0 = _mm_unpacklo_epi16(lo, hi);
  __m128i p1 = _mm_unpackhi_epi16(lo, hi);
  p0 = _mm_srai_epi32(_mm_add_epi32(p0, _mm_and_si128(_mm_srai_epi32(p0, 31), bias)), 8);
  p1 = _mm_srai_epi32(_mm_add_epi32(p1, _mm_and_si128(_mm_srai_epi32(p1, 31), bias)), 8);
  return _mm_packs_epi32(p0, p1);
}

void AddScaledSse2(int16_t* dst, const int16_t* src, size_t samples, int32_t factor) {
  size_t i = 0;
  const __m128i f = _mm_set1_epi16(static_cast<int16_t>(factor));
  for (; i + 8 <= samples; i += 8) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    if (factor < 255) s = ScaleFactor(s, f);
    __m128i* d = reinterpret_cast<__m128i*>(dst + i);
    _mm_storeu_si128(d, _mm_adds_epi16(_mm_loadu_si128(d), s));
  }
  ScalarMixOps().AddScaled(dst + i, src + i, samples - i, factor);
}

__attribute__((target("avx2"))) void AccumulateAvx2(int32_t* acc, const int16_t* src, size_t frames,
                                                    int32_t gain_l, int32_t gain_r) {
  const __m128i g128 = GainPair128(gain_l, gain_r);
  const __m256i g = _mm256_broadcastsi128_si256(g128);
  size_t i = 0;
  const size_t samples = frames * 2;
  for (; i + 16 <= samples; i += 16) {
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    const __m256i hi16 = _mm256_mulhi_epi16(s, g);
    const __m256i lo16 = _mm256_mullo_epi16(s, g);
    const __m256i r = _mm256_add_epi16(
        s, _mm256_or_si256(_mm256_slli_epi16(hi16, 1), _mm256_srli_epi16(lo16, 15)));
    const __m256i lo = _mm256_cvtepi16_epi32(_mm256_castsi256_si128(r));
    const __m256i hi = _mm256_cvtepi16_epi32(_mm256_extracti128_si256(r, 1));
    __m256i* a = reinterpret_cast<__m256i*>(acc + i);
    _mm256_storeu_si256(a, _mm256_add_epi32(_mm256_loadu_si256(a), lo));
    _mm256_storeu_si256(a + 1, _mm256_add_epi32(_mm256_loadu_si256(a + 1), hi));
  }
  AccumulateSse2(acc + i, src + i, (samples - i) / 2, gain_l, gain_r);
}

__attribute__((target("avx2"))) void PackAvx2(int16_t* dst, const int32_t* acc, size_t samples) {
  size_t i = 0;
  for (; i + 16 <= samples; i += 16) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + i));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + i + 8));
    // The pack works per 128-bit half; the permutation puts the quarters back in order.
    const __m256i p = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), p);
  }
  PackSse2(dst + i, acc + i, samples - i);
}

__attribute__((target("avx2"))) void AddScaledAvx2(int16_t* dst, const int16_t* src, size_t samples,
                                                   int32_t factor) {
  size_t i = 0;
  const __m256i f = _mm256_set1_epi16(static_cast<int16_t>(factor));
  const __m256i bias = _mm256_set1_epi32(255);
  for (; i + 16 <= samples; i += 16) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
    if (factor < 255) {
      const __m256i lo = _mm256_mullo_epi16(s, f);
      const __m256i hi = _mm256_mulhi_epi16(s, f);
      // In-lane unpacks and the in-lane pack undo each other's order.
      __m256i p0 = _mm256_unpacklo_epi16(lo, hi);
      __m256i p1 = _mm256_unpackhi_epi16(lo, hi);
      p0 = _mm256_srai_epi32(
          _mm256_add_epi32(p0, _mm256_and_si256(_mm256_srai_epi32(p0, 31), bias)), 8);
      p1 = _mm256_srai_epi32(
          _mm256_add_epi32(p1, _mm256_and_si256(_mm256_srai_epi32(p1, 31), bias)), 8);
      s = _mm256_packs_epi32(p0, p1);
    }
    __m256i* d = reinterpret_cast<__m256i*>(dst + i);
    _mm256_storeu_si256(d, _mm256_adds_epi16(_mm256_loadu_si256(d), s));
  }
  AddScaledSse2(dst + i, src + i, samples - i, factor);
}

const TMixOps kSse2{AccumulateSse2, PackSse2, AddScaledSse2};
const TMixOps kAvx2{AccumulateAvx2, PackAvx2, AddScaledAvx2};

}  // namespace

const TMixOps* SimdMixOps(TSimdLevel level) {
  switch (level) {
    case TSimdLevel::Sse2:
      return &kSse2;
    case TSimdLevel::Avx2:
      return DetectedSimdLevel() == TSimdLevel::Avx2 ? &kAvx2 : nullptr;
    case TSimdLevel::Scalar:
      break;
  }
  return nullptr;
}

}  // namespace quen
