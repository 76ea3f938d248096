#include <gtest/gtest.h>

#include "imaging/messages.h"
#include "platform/text_encoding.h"

namespace quen {
namespace {

TEST(ImagingMessages, AreTheirTextsInShiftJis) {
  for (const auto& row : msg::kImagingMessages) {
    EXPECT_EQ(platform::Cp932ToUtf8(row.sjis), row.utf8) << row.name;
  }
}

}  // namespace
}  // namespace quen
