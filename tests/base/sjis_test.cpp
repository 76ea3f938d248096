#include "base/sjis.h"

#include <gtest/gtest.h>

namespace quen::sjis {
namespace {

// "ソ" is 83 5C: its trail byte is a backslash. "ヂ" is 83 61: its trail byte is 'a'.
const std::string kSo = "\x83\x5C";
const std::string kDi = "\x83\x61";

TEST(ShiftJisText, CountsAndWalksCharacters) {
  std::string s = "a" + kSo + "b" + kDi;
  EXPECT_EQ(CharCount(s), 4u);
  EXPECT_EQ(ByteOffsetOfChar(s, 2), 3u);
  EXPECT_EQ(ByteOffsetOfChar(s, 9), s.size());
  EXPECT_FALSE(IsCharStart(s, 2));
  EXPECT_TRUE(IsCharStart(s, 3));
  // A lead byte at the very end is one character by itself.
  EXPECT_EQ(CharCount("a\x83"), 2u);
}

TEST(ShiftJisText, FindsSeparatorsOnlyOutsideDoubleByteCharacters) {
  std::string path = "dir\\" + kSo + ".brx";
  EXPECT_EQ(FindLastChar(path, '\\'), 3u);
  EXPECT_EQ(FindChar(kSo + "\\", '\\'), 2u);
  EXPECT_EQ(FindLastChar(kSo, '\\'), std::string_view::npos);
}

TEST(ShiftJisText, CaseFoldingNeverTouchesTrailBytes) {
  EXPECT_EQ(LowerAscii("ABC" + kDi + "Z"), "abc" + kDi + "z");
  EXPECT_EQ(UpperAscii("abc" + kDi), "ABC" + kDi);
  // "\x83\x41" is "ア": folding "ヂ" must not turn it into that.
  EXPECT_EQ(UpperAscii(kDi), kDi);
  EXPECT_TRUE(EqualsNoCase("Data\\" + kSo + ".PNG", "data\\" + kSo + ".png"));
  EXPECT_FALSE(EqualsNoCase(kDi, "\x83\x41"));
  EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
  EXPECT_GT(CompareNoCase("abcd", "ABC"), 0);
  EXPECT_EQ(CompareNoCase("", ""), 0);
}

}  // namespace
}  // namespace quen::sjis
