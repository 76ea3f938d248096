#include <gtest/gtest.h>

#include <limits>

#include "base/error.h"
#include "expr/param_convert.h"

namespace quen::conv {
namespace {

TEST(TextToNumber, IntegerParseAcceptsOnlyWhatTheTableStates) {
  EXPECT_EQ(TextToInt("abc"), 0);
  EXPECT_EQ(TextToInt("12abc"), 0);
  EXPECT_EQ(TextToInt(" 12 "), 12);
  EXPECT_EQ(TextToInt("-12"), -12);
  EXPECT_EQ(TextToInt("+7"), 7);
  EXPECT_EQ(TextToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(TextToInt("$7fffffff"), 2147483647);
  EXPECT_FALSE(ParseInt("$100000000"));
  EXPECT_EQ(TextToInt("2147483647"), 2147483647);
  EXPECT_FALSE(ParseInt("2147483648"));
  EXPECT_EQ(TextToInt("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_FALSE(ParseInt("-2147483649"));
  EXPECT_FALSE(ParseInt(""));
  EXPECT_FALSE(ParseInt("$"));
  EXPECT_FALSE(ParseInt("1 2"));
  EXPECT_FALSE(ParseInt("0x10"));
}

TEST(TextToNumber, RealParseRefusesWhatTheLibraryWouldTake) {
  EXPECT_EQ(TextToFloat("2.5"), 2.5L);
  EXPECT_EQ(TextToFloat(" -1.5E3 "), -1500.0L);
  EXPECT_EQ(TextToFloat("1e-2"), 0.01L);
  EXPECT_EQ(TextToFloat(".5"), 0.5L);
  for (const char* bad : {"inf", "nan", "INF", "0x1p3", "1e", "e5", ".", "1.2.3", "1e99999", "--1"})
    EXPECT_FALSE(ParseFloat(bad)) << bad;
}

TEST(NumberToText, RealFormatKeepsFifteenDigitsAndChoosesTheForm) {
  EXPECT_EQ(FloatToText(0.5L), "0.5");
  EXPECT_EQ(FloatToText(-0.5L), "-0.5");
  EXPECT_EQ(FloatToText(3.0L), "3");
  EXPECT_EQ(FloatToText(0.0L), "0");
  EXPECT_EQ(FloatToText(1e20L), "1E20");
  EXPECT_EQ(FloatToText(0.000001L), "1E-6");
  EXPECT_EQ(FloatToText(0.00001L), "0.00001");
  EXPECT_EQ(FloatToText(0.000009L), "9E-6");
  EXPECT_EQ(FloatToText(1e14L), "100000000000000");
  EXPECT_EQ(FloatToText(1e15L), "1E15");
  EXPECT_EQ(FloatToText(1e16L), "1E16");
  EXPECT_EQ(FloatToText(123456789012345678.0L), "1.23456789012346E17");
  EXPECT_EQ(FloatToText(1.0L / 3), "0.333333333333333");
  EXPECT_EQ(FloatToText(-2.5e-7L), "-2.5E-7");
  EXPECT_EQ(IntToText(-42), "-42");
}

TEST(NumberToText, RealToIntegerTruncatesThroughSixtyFourBits) {
  EXPECT_EQ(FloatToInt(2.9L), 2);
  EXPECT_EQ(FloatToInt(-2.9L), -2);
  EXPECT_EQ(FloatToInt(3000000000.0L), -1294967296);  // low 32 bits
  EXPECT_EQ(FloatToInt(-9223372036854775808.0L), 0);
  EXPECT_THROW(FloatToInt(9223372036854775808.0L), EQuenError);
  EXPECT_THROW(FloatToInt(-1e30L), EQuenError);
}

TEST(Arithmetic, IntegersWrapAndTrapLikeTheOriginalMachine) {
  const int32_t kMin = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(IntAdd(2147483647, 1), kMin);
  EXPECT_EQ(IntMul(65536, 65536), 0);
  EXPECT_EQ(IntSub(kMin, 1), 2147483647);
  EXPECT_EQ(IntDiv(-7, 2), -3);
  EXPECT_EQ(IntMod(-7, 2), -1);
  EXPECT_THROW(IntDiv(1, 0), EQuenError);
  EXPECT_THROW(IntMod(1, 0), EQuenError);
  EXPECT_THROW(IntDiv(kMin, -1), EQuenError);
  EXPECT_THROW(IntMod(kMin, -1), EQuenError);
  EXPECT_EQ(IntShr(-1, 28), 15);
  EXPECT_EQ(IntShl(1, 33), 2);
  EXPECT_EQ(IntShl(1, -1), kMin);  // the count's low five bits
}

TEST(Arithmetic, RealsNeverBecomeNonFinite) {
  EXPECT_THROW(FloatDiv(1, 0), EQuenError);
  EXPECT_THROW(FloatDiv(0, 0), EQuenError);
  long double big = std::numeric_limits<long double>::max();
  EXPECT_THROW(FloatMul(big, 2), EQuenError);
  EXPECT_THROW(FloatAdd(big, big), EQuenError);
  EXPECT_EQ(FloatDiv(7, 2), 3.5L);
}

}  // namespace
}  // namespace quen::conv
