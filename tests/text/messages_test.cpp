#include <gtest/gtest.h>

#include "platform/text_encoding.h"
#include "text/messages.h"

namespace quen {
namespace {

TEST(TextMessages, AreTheirTextsInShiftJis) {
  for (const auto& row : msg::kTextMessages) {
    EXPECT_EQ(platform::Cp932ToUtf8(row.sjis), row.utf8) << row.name;
  }
}

}  // namespace
}  // namespace quen
