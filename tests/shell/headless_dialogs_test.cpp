#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "shell/form_config.h"

namespace quen {
namespace {

using platform::HeadlessDialogs;
using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

TEST(HeadlessDialogs, ScriptedAnswersStayInStepWithTheBoxes) {
  HeadlessDialogs d;
  d.QueueAnswer("no");      // meant for a Yes/No box: an OK box skips it
  d.QueueAnswer("cancel");  // taken by the OK/Cancel box
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(d.MessageBox("\x8F\xEE\x95\xF1", "a", MsgIcon::kInformation, MsgButtons::kOkCancel),
            MsgAnswer::kCancel);
  EXPECT_EQ(d.MessageBox("c", "b", MsgIcon::kNone, MsgButtons::kYesNo), MsgAnswer::kYes);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "情報: a\nc: b\n");
}

TEST(HeadlessDialogs, ARunWithoutAPersonEnds) {
  HeadlessDialogs d;
  ::testing::internal::CaptureStderr();
  int asked = 0;
  // A prompt that repeats while it is answered OK, like the disc prompt.
  while (d.MessageBox("c", "t", MsgIcon::kNone, MsgButtons::kOkCancel) == MsgAnswer::kOk)
    ASSERT_LT(++asked, 100);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(asked, HeadlessDialogs::kMaxUnscripted);
  EXPECT_TRUE(HeadlessDialogs::IsAnswerWord("delay=3"));
  EXPECT_FALSE(HeadlessDialogs::IsAnswerWord("delay=6"));
  EXPECT_FALSE(HeadlessDialogs::IsAnswerWord("maybe"));
}

}  // namespace
}  // namespace quen
