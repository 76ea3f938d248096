#include <gtest/gtest.h>

#include "expr/messages.h"
#include "platform/text_encoding.h"

namespace quen {
namespace {

TEST(ExprMessages, AreTheirTextsInShiftJis) {
  for (const auto& row : msg::kExprMessages)
    EXPECT_EQ(platform::Cp932ToUtf8(row.sjis), row.utf8) << row.name;
}

}  // namespace
}  // namespace quen
