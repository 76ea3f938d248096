#include <gtest/gtest.h>

#include "components/messages.h"
#include "platform/text_encoding.h"

namespace quen {
namespace {

TEST(ComponentsMessages, AreTheirTextsInShiftJis) {
  for (const auto& row : msg::kComponentsMessages)
    EXPECT_EQ(platform::Cp932ToUtf8(row.sjis), row.utf8) << row.name;
}

}  // namespace
}  // namespace quen
