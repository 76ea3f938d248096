#include "base/extended.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/error.h"
#include "base/stream.h"

namespace quen {
namespace {

TEST(ExtendedReal, KnownEncodings) {
  uint8_t b[10];
  EncodeExtended(0.1L, b);
  const uint8_t tenth[10] = {0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F};
  EXPECT_EQ(0, std::memcmp(b, tenth, 10));
  EncodeExtended(1.0L, b);
  const uint8_t one[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F};
  EXPECT_EQ(0, std::memcmp(b, one, 10));
  EncodeExtended(-2.0L, b);
  const uint8_t minus_two[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0};
  EXPECT_EQ(0, std::memcmp(b, minus_two, 10));
}

TEST(ExtendedReal, RoundTripsEveryBitThroughStreams) {
  const long double values[] = {0.0L,
                                -0.0L,
                                0.1L,
                                1e4000L,
                                -1e-4000L,
                                123456789012345678.0L,
                                std::numeric_limits<long double>::denorm_min()};
  TKvMemoryStream s;
  for (long double v : values) WriteExtended(s, v);
  EXPECT_EQ(s.GetSize(), 10 * static_cast<int64_t>(std::size(values)));
  s.SetPosition(0);
  for (long double v : values) {
    long double r = ReadExtended(s);
    EXPECT_EQ(0, std::memcmp(&r, &v, 10));
  }
}

TEST(ExtendedReal, RejectsNonFiniteAndUnnormalEncodings) {
  const uint8_t inf[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F};
  const uint8_t nan[10] = {1, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F};
  const uint8_t unnormal[10] = {0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F};
  const uint8_t denormal[10] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(IsFiniteExtended(inf));
  EXPECT_FALSE(IsFiniteExtended(nan));
  EXPECT_FALSE(IsFiniteExtended(unnormal));
  EXPECT_TRUE(IsFiniteExtended(denormal));
  for (const uint8_t* bad : {inf, nan, unnormal}) {
    TViewStream s(std::string_view(reinterpret_cast<const char*>(bad), 10));
    EXPECT_THROW(ReadExtended(s), EQuenError);
  }
}

}  // namespace
}  // namespace quen
