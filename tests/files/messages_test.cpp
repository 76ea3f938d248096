#include <gtest/gtest.h>

#include "files/messages.h"
#include "platform/text_encoding.h"

namespace quen {
namespace {

TEST(FilesMessages, AreTheirTextsInShiftJis) {
  for (const auto& row : msg::kFilesMessages)
    EXPECT_EQ(platform::Cp932ToUtf8(row.sjis), row.utf8) << row.name;
}

}  // namespace
}  // namespace quen
