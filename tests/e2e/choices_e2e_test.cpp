// Choice screens played headless through the real programs: a preview menu laid out by
// quentool in a sub-folder, a menu and a slider, driven by the scripted mouse and keys; the
// variables written at exit show what was chosen. Components land on the screen not shown; the
// flip shows it.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>

#include "platform/host_fs.h"
#include "support/player_run.h"

namespace quen {
namespace {

// A one-colour 24-bit Windows bitmap.
std::string Bitmap(int32_t w, int32_t h, uint32_t rgb) {
  const int32_t row = (w * 3 + 3) / 4 * 4;
  std::string b;
  auto u16 = [&](uint32_t v) { b += static_cast<char>(v & 255), b += static_cast<char>(v >> 8); };
  auto u32 = [&](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  b += "BM";
  u32(static_cast<uint32_t>(54 + row * h));
  u32(0);
  u32(54);
  u32(40);
  u32(static_cast<uint32_t>(w));
  u32(static_cast<uint32_t>(h));
  u16(1);
  u16(24);
  for (int i = 0; i < 6; ++i) u32(0);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      b += static_cast<char>(rgb & 255);
      b += static_cast<char>((rgb >> 8) & 255);
      b += static_cast<char>((rgb >> 16) & 255);
    }
    b.append(static_cast<size_t>(row - w * 3), '\0');
  }
  return b;
}

class ChoicesRun : public PlayerRun {
 protected:
  void Picture(const std::string& host, int32_t w, int32_t h, uint32_t rgb) {
    work.Write("pic.bmp", Bitmap(w, h, rgb));
    Tool("brx encode " + (work / "pic.bmp") + " -o " + (game / host));
  }
  Result Play(const std::string& main, const std::string& input) {
    work.Write("project.txt",
               "version 115\ntitle \"t\"\nscreen 80 40\nstart_page \"main.qsb\"\n"
               "var str \"sel\" \"\"\nvar int \"idx\" -5\nvar int \"val\" 0\n"
               "var int \"hold\" 0\n");
    Tool("project " + (work / "project.txt") + " -o " + (game / "quen.qpb"));
    work.Write("main.qs", main);
    Tool("asm " + (work / "main.qs") + " -o " + (game / "main.qsb"));
    work.Write("input.txt", input);
    return Run(kPlayer + " --headless --input " + (work / "input.txt") + " --dump-vars " +
               (work / "vars.txt") + " --dump-tree " + (work / "tree.txt") + " " + game.Path());
  }
  std::map<std::string, std::string> Vars() {
    std::map<std::string, std::string> out;
    for (const std::string& line : TraceLines("vars.txt")) {
      size_t tab = line.find('\t');
      if (tab != std::string::npos) out[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return out;
  }
  // Three buttons at x 0, 20, 40 from a layout in menus/sub: names plain and with "..\".
  void ChoiceScreen() {
    ASSERT_TRUE(platform::MakeDirectory(game / "menus"));
    ASSERT_TRUE(platform::MakeDirectory(game / "menus/sub"));
    Picture("menus/sub/n.brx", 10, 10, 0x0000FF);
    Picture("menus/h.brx", 10, 10, 0x00FF00);
    std::string text = "version 103\nsize 60 10\n";
    for (int i = 0; i < 3; ++i)
      text += "button \"b" + std::to_string(i) + "\"\npos " + std::to_string(20 * i) +
              " 0\npicture \"n.brx\"\nhover \"..\\h.brx\"\n";
    work.Write("layout.txt", text);
    Tool("prevmenu " + (work / "layout.txt") + " -o " + (game / "menus/sub/layout.qpm"));
  }
};

const char kChooser[] =
    "PrevMenuNew name={\"pm\"} source={\"menus\\\\sub\\\\layout.qpm\"} autoscrap={TRUE} "
    "handlekey={TRUE} onselect={\"main.qss:chosen\"}\n"
    "Flip time={0} mode={0} names={\"\"}\n"
    "Label idle\n"
    "Wait time=16\n"
    "Jump target=idle\n"
    "Label chosen\n"
    "Calc sel = @SelStr\n"
    "Calc idx = @SelIndex\n"
    "Wait time=50\n"
    "Calc hold = 0\n"
    "If Exists(\"pm\")\n"
    "  Calc hold = 1\n"
    "Terminate\n";

TEST_F(ChoicesRun, APreviewMenuIsChosenByClickOrByKeys) {
  ChoiceScreen();
  Result r = Play(kChooser, "@100 move 25 5\n@200 down left\n@230 up left\n@2000 quit\n");
  ASSERT_EQ(r.status, 0) << r.err;
  auto v = Vars();
  EXPECT_EQ(v["sel"], "文字列\tb1");
  EXPECT_EQ(v["idx"], "整数\t1");
  // Auto-scrap removed the menu.
  EXPECT_EQ(v["hold"], "整数\t0");

  r = Play(kChooser,
           "@100 move 79 39\n@200 key down\n@300 key right\n@400 key return\n@2000 quit\n");
  ASSERT_EQ(r.status, 0) << r.err;
  v = Vars();
  EXPECT_EQ(v["sel"], "文字列\tb1");
  EXPECT_EQ(v["idx"], "整数\t1");
}

TEST_F(ChoicesRun, ADamagedLayoutLeavesTheScriptRunning) {
  game.Write("bad.qpm", "QuenPrevMenu106\x01\x02");
  Result r = Play(
      "PrevMenuNew name={\"pm\"} source={\"bad.qpm\"}\n"
      "GetProp comp={\"pm\"} prop=width var=val\n"
      "Calc idx = 7\n"
      "Terminate\n",
      "@2000 quit\n");
  ASSERT_EQ(r.status, 0) << r.err;
  auto v = Vars();
  EXPECT_EQ(v["idx"], "整数\t7");
  EXPECT_EQ(v["val"], "整数\t0");
}

TEST_F(ChoicesRun, ASliderReadsTheTrackPressAndTheDrag) {
  // A track of 60 between buttons of 5: the track runs from x 5 to 65.
  Picture("track.brx", 60, 6, 0x808080);
  Picture("thumb.brx", 12, 8, 0xFFFFFF);
  Picture("buttons.brx", 30, 8, 0x00FFFF);
  Result r = Play(
      "SliderNew name={\"s\"} source={\"track.brx\"} thumbsource={\"thumb.brx\"} "
      "buttonsource={\"buttons.brx\"} max={100} onhold={\"main.qss:held\"} "
      "onrelease={\"main.qss:released\"}\n"
      "Flip time={0} mode={0} names={\"\"}\n"
      "Label idle\n"
      "Wait time=16\n"
      "Jump target=idle\n"
      "Label held\n"
      "GetProp comp={\"s\"} prop=value var=hold\n"
      "Exit TRUE\n"
      "Label released\n"
      "GetProp comp={\"s\"} prop=value var=val\n"
      "Terminate\n",
      "@100 move 35 4\n@200 down left\n@300 move 50 4\n@400 up left\n@2000 quit\n");
  ASSERT_EQ(r.status, 0) << r.err;
  auto v = Vars();
  EXPECT_EQ(v["hold"], "整数\t50");
  EXPECT_EQ(v["val"], "整数\t75");
}

}  // namespace
}  // namespace quen
