// One row of each blend family at one depth. Every family has a plain version (the
// reference) and, at 15, 16 and 32 bits, packed SSE2 and AVX2 versions that give the same
// bytes; the best one the processor offers is chosen once.
#pragma once

#include <cstdint>

namespace quen {

// key: the source's colour key as a native value, or -1 for none. Levels and alphas are
// 0..255; masks are one byte per pixel.
struct TRowOps {
  void (*Fill)(uint8_t* dst, int32_t n, uint32_t pixel);
  void (*CopyKey)(uint8_t* dst, const uint8_t* src, int32_t n, int64_t key);
  void (*Alpha)(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t alpha, int64_t key);
  void (*Add)(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t level, int64_t key);
  void (*Mask)(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n);
  void (*AlphaMask)(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n,
                    uint32_t alpha);
  void (*AddMask)(uint8_t* dst, const uint8_t* src, const uint8_t* mask, int32_t n, uint32_t level);
  void (*FillAlpha)(uint8_t* dst, int32_t n, uint32_t pixel, uint32_t alpha);
  void (*FillAdd)(uint8_t* dst, int32_t n, uint32_t pixel);
  void (*FillSub)(uint8_t* dst, int32_t n, uint32_t pixel);
  void (*ColorMask)(uint8_t* dst, const uint8_t* mask, int32_t n, uint32_t pixel, uint32_t alpha);
  // The transitions' mask pass, one fused row: from where m = 0, to where m = 255, otherwise
  // (to × m + from × (255 − m)) >> 8 per channel. The select row takes to wherever m is not 0
  // (masks that hold only 0 and 255). dst may be from or to itself.
  void (*WipeMix)(uint8_t* dst, const uint8_t* from, const uint8_t* to, const uint8_t* mask,
                  int32_t n);
  void (*WipeSelect)(uint8_t* dst, const uint8_t* from, const uint8_t* to, const uint8_t* mask,
                     int32_t n);
};

enum class TSimdLevel { Scalar, Sse2, Avx2 };

// The operations for a drawable depth (8, 15, 16, 24, 32); nullptr for any other.
const TRowOps* GetRowOps(int32_t bitCount);
const TRowOps* GetScalarRowOps(int32_t bitCount);
// Packed versions of one level (15, 16, 32 only); nullptr where there are none.
const TRowOps* GetSimdRowOps(int32_t bitCount, TSimdLevel level);

// The level the processor offers, found once.
TSimdLevel DetectedSimdLevel();
// Forces the plain versions (tests compare both; a user switch may ask for it).
void SetForceScalar(bool force);
bool ScalarForced();
const char* SimdLevelName(TSimdLevel level);

}  // namespace quen
