// The headless input script: timed mouse, wheel and key input, gaps, activation, answers.
#include "shell/input_script.h"

#include <gtest/gtest.h>

namespace quen {
namespace {

TEST(InputScript, TimedInputAnswersAndKeyNames) {
  TInputScript s;
  std::string error;
  ASSERT_TRUE(
      ParseInputScript("# comment\r\n"
                       "answer yes\n"
                       "answer path=/home/a b/c.txt  \n"
                       "@100 move 10 -20\n"
                       "@100 down left\n"
                       "@120 up Right 5 6\n"
                       "@130 wheel down\n"
                       "@140 key return\n"
                       "@150 keydown f5\n"
                       "@150 keyup vk65\n"
                       "@160 gap 301\n"
                       "@170 deactivate\n"
                       "@180 activate\n"
                       "@190 quit\n",
                       s, error))
      << error;
  EXPECT_EQ(s.Answers, (std::vector<std::string>{"yes", "path=/home/a b/c.txt"}));
  ASSERT_EQ(s.Actions.size(), 12u);
  EXPECT_EQ(s.Actions[0].Input.Kind, TInputKind::MouseMove);
  EXPECT_EQ(s.Actions[0].Input.Y, -20);
  // A press without a position happens where the pointer is.
  EXPECT_EQ(s.Actions[1].Input.Kind, TInputKind::MouseDown);
  EXPECT_EQ(s.Actions[1].Input.X, 10);
  EXPECT_EQ(s.Actions[2].Input.Button, TMouseButton::Right);
  EXPECT_EQ(s.Actions[2].Input.X, 5);
  EXPECT_EQ(s.Actions[3].Input.WheelDelta, -120);
  // "key" is a press and a release at the same moment.
  EXPECT_EQ(s.Actions[4].Input.Kind, TInputKind::KeyDown);
  EXPECT_EQ(s.Actions[5].Input.Kind, TInputKind::KeyUp);
  EXPECT_EQ(s.Actions[5].Input.Key, 0x0D);
  EXPECT_EQ(s.Actions[6].Input.Key, 0x74);
  EXPECT_EQ(s.Actions[7].Input.Key, 65);
  EXPECT_EQ(s.Actions[8].What, TScriptAction::Kind::kGap);
  EXPECT_EQ(s.Actions[8].GapMs, 301);
  EXPECT_EQ(s.Actions[11].What, TScriptAction::Kind::kQuit);
  EXPECT_EQ(s.Actions[11].At, 190);
}

TEST(InputScript, TextToolButtonsFullScreenAndClosing) {
  TInputScript s;
  std::string error;
  ASSERT_TRUE(
      ParseInputScript("@10 text こんにちは world\n"
                       "@20 text  x\n"
                       "@30 button exit\n"
                       "@30 button Screen\n"
                       "@40 fullscreen\n"
                       "@50 close\n",
                       s, error))
      << error;
  ASSERT_EQ(s.Actions.size(), 6u);
  EXPECT_EQ(s.Actions[0].Input.Kind, TInputKind::Text);
  // Typed in the game's character set, the rest of the line as it stands.
  EXPECT_EQ(s.Actions[0].Input.Text, "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD world");
  EXPECT_EQ(s.Actions[1].Input.Text, " x");
  EXPECT_EQ(s.Actions[2].What, TScriptAction::Kind::kToolButton);
  EXPECT_EQ(s.Actions[2].Button, 0);
  EXPECT_EQ(s.Actions[3].Button, 1);
  EXPECT_EQ(s.Actions[4].What, TScriptAction::Kind::kFullScreen);
  EXPECT_EQ(s.Actions[5].What, TScriptAction::Kind::kClose);
}

TEST(InputScript, MistakesNameTheirLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"answer maybe\n", "1: expected \"answer WORD\""},
      {"\n@10 move 1\n", "2: move needs X Y"},
      {"@10 down thumb\n", "1: unknown button thumb"},
      {"@10 key nosuchkey\n", "1: unknown key nosuchkey"},
      {"@10 key vk256\n", "1: unknown key vk256"},
      {"@10 key 65\n", "1: unknown key 65"},
      {"@20 quit\n@10 quit\n", "2: times must not go back"},
      {"@10 gap 0\n", "1: gap needs MS"},
      {"10 quit\n", "1: expected \"answer WORD\" or \"@MS COMMAND\""},
      {"@10 dance\n", "1: unknown command dance"},
      {"@10 text\n", "1: text needs characters"},
      {"@10 text \xF0\x9F\x98\x80\n", "1: text cannot be typed in the game's character set"},
      {"@10 button help\n", "1: button needs exit or screen"},
      {"@10 fullscreen now\n", "1: fullscreen takes nothing"},
  };
  for (const auto& [text, message] : cases) {
    TInputScript s;
    std::string error;
    EXPECT_FALSE(ParseInputScript(text, s, error)) << text;
    EXPECT_EQ(error, message) << text;
  }
  EXPECT_EQ(VirtualKeyByName("ESCAPE"), 0x1B);
  EXPECT_EQ(VirtualKeyByName("z"), 'Z');
  EXPECT_EQ(VirtualKeyByName("F24"), 0x87);
  EXPECT_EQ(VirtualKeyByName("F25"), 0);
  // Digits are the digit keys; codes have their own spelling.
  EXPECT_EQ(VirtualKeyByName("0"), '0');
  EXPECT_EQ(VirtualKeyByName("9"), '9');
  EXPECT_EQ(VirtualKeyByName("VK9"), 9);
  EXPECT_EQ(VirtualKeyByName("vk0"), 0);
}

}  // namespace
}  // namespace quen
