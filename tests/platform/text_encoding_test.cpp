#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include "base/messages.h"

namespace quen::platform {
namespace {

TEST(TextEncoding, ConvertsBothWaysKeepingBackslash) {
  const std::string sjis = "a\\\x83\x5C\x83\x74\x83\x40\x83\x43\x83\x8B";  // a\ソファイル
  const std::string utf8 = "a\\ソファイル";
  EXPECT_EQ(Cp932ToUtf8(sjis), utf8);
  EXPECT_EQ(Utf8ToCp932(utf8), sjis);
  // Characters only code page 932 has, such as the circled digits and NEC specials.
  EXPECT_EQ(Utf8ToCp932("①〜"), "\x87\x40\x81\x60");
}

TEST(TextEncoding, DamagedInputIsReplacedOrRefused) {
  std::string out;
  EXPECT_FALSE(TryCp932ToUtf8("ok\x85", out));
  EXPECT_EQ(Cp932ToUtf8("ok\x83"), "ok\xEF\xBF\xBD");
  EXPECT_FALSE(TryUtf8ToCp932("\xF0\x9F\x98\x80", out));  // an emoji has no CP932 form
  EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x98\x80"
                        "b"),
            "a?b");
  EXPECT_EQ(Utf8ToCp932("a\xC3"), "a?");
  EXPECT_TRUE(TryUtf8ToCp932("", out));
  EXPECT_EQ(out, "");
}

TEST(TextEncoding, BaseMessagesAreTheirTextsInShiftJis) {
  for (const auto& row : msg::kBaseMessages) EXPECT_EQ(Cp932ToUtf8(row.sjis), row.utf8) << row.name;
}

}  // namespace
}  // namespace quen::platform
