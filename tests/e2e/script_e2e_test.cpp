// Games written in the page text form, assembled by quentool and played headless to their end;
// the variables the player writes at exit show what the scripts did.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include "imaging/dib_surface.h"
#include "imaging/png_codec.h"
#include "platform/host_fs.h"
#include "support/player_run.h"

namespace quen {
namespace {

class ScriptRun : public PlayerRun {
 protected:
  // Writes the sources into one folder (so targets in other pages resolve), assembles each into
  // the game folder, and plays the game.
  Result Play(const std::map<std::string, std::string>& pages, const std::string& extra = "",
              const std::string& project_lines = "") {
    work.Write("project.txt", "version 115\ntitle \"t\"\nscreen 64 48\nstart_page \"main.qsb\"\n" +
                                  std::string("var int \"n\" 0\n") + project_lines);
    Tool("project " + (work / "project.txt") + " -o " + (game / "quen.qpb"));
    for (const auto& [name, text] : pages) src.Write(name + ".qs", text);
    for (const auto& [name, text] : pages)
      Tool("asm " + (src / (name + ".qs")) + " -o " + (game / (name + ".qsb")));
    return Run(kPlayer + " --headless --trace " + (work / "trace.txt") + " --dump-vars " +
               (work / "vars.txt") + " " + extra + game.Path());
  }
  // name -> "type<TAB>value" from the variable dump.
  std::map<std::string, std::string> Vars() {
    std::map<std::string, std::string> out;
    for (const std::string& line : TraceLines("vars.txt")) {
      size_t tab = line.find('\t');
      if (tab != std::string::npos) out[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return out;
  }
  // The clock of the first trace line of a command, or -1.
  long ClockOf(const std::string& where) {
    for (const std::string& line : TraceLines("trace.txt")) {
      if (line.size() > 11 && line.substr(11) == where)
        return std::strtol(line.c_str(), nullptr, 16);
    }
    return -1;
  }
  testing::TempDir src;
};

TEST_F(ScriptRun, ControlFlowCallsResultsWaitsAndTerminate) {
  std::string main =
      "VarNew name=r type=str\n"
      "VarNew name=x type=int\n"
      "VarNew name=y type=int\n"
      "VarNew name=i type=int\n"
      "VarNew name=s type=int\n"
      "WhileInit x = 1\n"
      "While x <= 5\n"
      "  If x == 1\n"
      "    Calc r = r ++ \"a\"\n"
      "  Elseif x == 2\n"
      "    If y == 0\n"
      "      Calc r = r ++ \"b\"\n"
      "    Else\n"
      "      Calc r = r ++ \"B\"\n"
      "  Elseif x == 3\n"
      "    Calc r = r ++ \"c\"\n"
      "  Else\n"
      "    Calc r = r ++ \"d\"\n"
      "WhileLoop x = x + 1\n"
      "WhileInit i = 0\n"
      "While i < 10\n"
      "  If i == 2\n"
      "    Continue\n"
      "  Break i == 6\n"
      "  Calc s = s + i\n"
      "WhileLoop i = i + 1\n"
      "Call page=\"leave.qsb\"\n"
      "VarNew name=ri type=int\n"
      "VarNew name=rf type=float\n"
      "VarNew name=rb type=bool\n"
      "VarNew name=rs type=str\n"
      "Call page=\"int.qsb\" result=ri args={20 + 1} args={\"two\"}\n"
      "Call page=\"float.qsb\" result=rf\n"
      "Call page=\"bool.qsb\" result=rb\n"
      "Call page=\"str.qsb\" result=rs args={\"引数\"}\n";
  for (int i = 0; i <= 10; ++i) main += "Call page=\"p" + std::to_string(i) + ".qsb\"\n";
  main += "Call page=\"p0.qsb\"\nJump page=\"second.qsb\" target=there\nCalc never = 1\n";
  std::map<std::string, std::string> pages = {
      {"main", main},
      // Leaves its loop and the page with a negative target: back in main at once.
      {"leave",
       "VarNew name=k type=int\nVarNew name=kk type=int\n"
       "WhileInit k = 0\nWhile k < 100\n  Break target=-1 k == 5\n  Calc kk = kk + 1\n"
       "WhileLoop k = k + 1\nCalc kk = 1000\n"},
      {"int", ".result int\nCalc @Result = @ParamCount * 100 + @StackCount\n"},
      {"float", ".result float\nCalc @Result = 1.5\n"},
      {"bool", ".result bool\nCalc @Result = TRUE\nExit\nCalc @Result = FALSE\n"},
      {"str", ".result str\nCalc @Result = @ParamStr ++ \"!\"\n"},
      {"second",
       "Calc never = 2\n"
       "Label there\n"
       "VarNew name=w type=int\n"
       "Wait time=5000 n > 100\n"
       "Calc w = 1\n"
       "Wait time=100 n < 100\n"
       "Calc w = 2\n"
       "Terminate\n"
       "Calc w = 3\n"}};
  for (int i = 0; i <= 10; ++i) pages["p" + std::to_string(i)] = "Calc n = n + 1\n";
  Result r = Play(pages);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  auto v = Vars();
  EXPECT_EQ(v["r"], "文字列\tabcdd");
  EXPECT_EQ(v["s"], "整数\t13");  // 0 + 1 + 3 + 4 + 5
  EXPECT_EQ(v["i"], "整数\t6");
  EXPECT_EQ(v["kk"], "整数\t5");
  EXPECT_EQ(v["ri"], "整数\t201");
  EXPECT_EQ(v["rf"], "実数\t1.5");
  EXPECT_EQ(v["rb"], "フラグ\tTRUE");
  EXPECT_EQ(v["rs"], "文字列\t引数!");
  EXPECT_EQ(v["n"], "整数\t12");  // eleven pages, then the first one again
  EXPECT_EQ(v.count("never"), 0u);
  EXPECT_EQ(v["w"], "整数\t2");
  // A false condition ends a Wait at once; a true one waits out the time over several frames.
  const long first = ClockOf("second.qsb(4)");
  EXPECT_EQ(ClockOf("second.qsb(5)"), first);
  const long waited = ClockOf("second.qsb(7)") - ClockOf("second.qsb(6)");
  EXPECT_GE(waited, 100);
  EXPECT_LE(waited, 100 + 2 * 16);
  // Terminate closes the game through the shut-down steps.
  auto t = TraceLines("trace.txt");
  EXPECT_EQ(t.back(), "quenFinal");
  EXPECT_EQ(ClockOf("second.qsb(9)"), -1);
}

TEST_F(ScriptRun, FrameTimeAndFrameLimit) {
  std::map<std::string, std::string> pages = {
      {"main", "Label top\nCalc n = n + 1\nWait time=100\nJump target=top\n"}};
  // 50 ms frames: the Wait marks in one frame and needs two more, so one loop takes 3 frames.
  Result r = Play(pages, "--frame-ms 50 --frames 9 ");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Vars()["n"], "整数\t3");
  r = Run(kPlayer + " --headless --frame-ms 0 " + game.Path());
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--frame-ms needs a number from 1 to 300"), std::string::npos);
  r = Run(kPlayer + " --help", work / "help.txt");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(work.Read("help.txt").find("--dump-vars FILE"), std::string::npos);
}

TEST_F(ScriptRun, HeadlessTimeAndDateRepeatAndStartWhereTold) {
  // The millisecond counter, the date and time variables and the date functions on them.
  std::map<std::string, std::string> pages = {
      {"main",
       "VarNew name=t0 type=int\nVarNew name=t1 type=int\nVarNew name=now type=str\n"
       "VarNew name=day type=float\nVarNew name=week type=int\n"
       "Calc t0 = @PCTickCount\nWait time=100\nCalc t1 = @PCTickCount - t0\n"
       "Calc now = IntToStr(@Year) ++ \"/\" ++ IntToStr(@Month) ++ \"/\" ++ IntToStr(@Day)\n"
       "Calc now = now ++ \" \" ++ IntToStr(@Hour) ++ \":\" ++ IntToStr(@Min) ++ \":\" ++ "
       "IntToStr(@Sec)\n"
       "Calc now = now ++ \" \" ++ IntToStr(@Week)\n"
       "Calc day = EncodeDate(@Year, @Month, @Day) + EncodeTime(@Hour, @Min, @Sec)\n"
       "Calc week = GetWeek(day)\n"}};
  ASSERT_EQ(Play(pages).status, 0);
  const auto first = work.Read("vars.txt");
  auto v = Vars();
  // The counter moves by whole 16 ms frames of the virtual clock.
  EXPECT_EQ(v["t1"], "整数\t128");
  EXPECT_EQ(v["now"], "文字列\t2000/1/1 9:0:0 7");  // a Saturday
  EXPECT_EQ(v["week"], "整数\t7");
  ASSERT_EQ(Play(pages).status, 0);
  EXPECT_EQ(work.Read("vars.txt"), first);
  ASSERT_EQ(Play(pages, "--date 2024-02-29T23:59:58 ").status, 0);
  EXPECT_EQ(Vars()["now"], "文字列\t2024/2/29 23:59:58 5");
  Result r = Run(kPlayer + " --headless --date 2023-02-29 " + game.Path());
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--date takes"), std::string::npos) << r.err;
}

TEST_F(ScriptRun, AnOldPageIsReportedAndClosesTheGame) {
  std::map<std::string, std::string> pages = {{"main", "Call page=\"old.qsb\"\nCalc n = 5\n"}};
  Play(pages);
  // A page file of version 102: only its version number.
  game.Write("old.qsb", std::string("\x66\x00\x00\x00", 4));
  Result r = Run(kPlayer + " --headless --dump-vars " + (work / "vars.txt") + " " + game.Path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "警告: old.qsb\r\nリビルドしてください\n");
  EXPECT_EQ(Vars()["n"], "整数\t0");
}

TEST_F(ScriptRun, SystemFunctionsAndVariablesInAGame) {
  std::map<std::string, std::string> pages = {
      {"main",
       "VarNew name=t type=str\n"
       "VarNew name=d type=float\n"
       "VarNew name=parts type=str\n"
       "VarNew name=r1 type=int\n"
       "VarNew name=r2 type=int\n"
       "VarNew name=w type=int\n"
       "VarNew name=lines type=str\n"
       "VarNew name=ok type=bool\n"
       "VarNew name=size type=int\n"
       "VarNew name=title type=str\n"
       "VarNew name=calc type=str\n"
       "Calc t = ZenToHan(UpperCase(\"abc\") ++ \"ＸＹ\") ++ IntToStr(7, 3)\n"
       "Calc d = EncodeDate(2000, 2, 29)\n"
       "Calc w = GetWeek(d)\n"
       "Calc size = StringToArray(\"a;b,c\", parts, \";,\")\n"
       "Calc size = GetArraySize(parts)\n"
       "Calc r1 = Random(1000)\n"
       "Calc r2 = Random(1000)\n"
       "Calc ok = LoadTextFile(lines, \"data.txt\")\n"
       "Calc title = @Title ++ \":\" ++ IntToStr(@ScrWidth)\n"
       "Calc calc = Calc(\"n = n + 41\")\n"
       "VarNew name=db type=str\n"
       "Calc ok = DBCreateTable(\"items\", FALSE)\n"
       "Calc ok = ok & DBSetActive(\"items\")\n"
       "Calc ok = ok & DBLoadTsvFile(\"items.tsv\")\n"
       "Calc ok = ok & DBLocate(\"name\", \"表\")\n"
       "Calc db = DBGetStr(\"note\") ++ \"/\" ++ IntToStr(DBGetInt(\"price\") + "
       "DBRecordCount())\n"}};
  game.Write("data.txt", "first\r\nsecond\r\n");
  // Shift-JIS cells whose second byte is a backslash load as they stand.
  game.Write("items.tsv",
             "name\tprice int\tnote\r\n"
             "\x83\x5C\t100\tsoft\r\n"
             "\x95\x5C\t250\t\x95\x5C\x83\x5C\r\n");
  Result r = Play(pages, "--seed 7 ");
  ASSERT_EQ(r.status, 0) << r.err;
  auto v = Vars();
  EXPECT_EQ(v["t"], "文字列\tABCXY007");
  EXPECT_EQ(v["d"], "実数\t36585");
  EXPECT_EQ(v["w"], "整数\t3");  // a Tuesday
  EXPECT_EQ(v["size"], "整数\t3");
  EXPECT_EQ(v["parts"], "文字列[3]\ta\tb\tc");
  EXPECT_EQ(v["ok"], "フラグ\tTRUE");
  EXPECT_EQ(v["lines"], "文字列[2]\tfirst\tsecond");
  EXPECT_EQ(v["title"], "文字列\tt:64");
  EXPECT_EQ(v["calc"], "文字列\tTRUE");
  EXPECT_EQ(v["n"], "整数\t41");
  EXPECT_EQ(v["db"], "文字列\t表ソ/252");
  // The same seed draws the same numbers.
  const std::string first = v["r1"] + v["r2"];
  Play(pages, "--seed 7 ");
  v = Vars();
  EXPECT_EQ(v["r1"] + v["r2"], first);
}

TEST_F(ScriptRun, TimedInputReachesTheScriptAndGapsAreNotCounted) {
  std::map<std::string, std::string> pages = {{"main",
                                               "VarNew name=seen type=int\n"
                                               "VarNew name=mx type=int\n"
                                               "VarNew name=my type=int\n"
                                               "VarNew name=held type=int\n"
                                               "VarNew name=frames type=int\n"
                                               "VarNew name=clock type=int\n"
                                               "Wait @KeyPush[65] == FALSE\n"
                                               "Calc seen = @TickCount\n"
                                               "Calc mx = @MouseX\n"
                                               "Calc my = @MouseY\n"
                                               "Wait @KeyPush[65]\n"
                                               "Calc held = @TickCount - seen\n"
                                               "Wait time=500\n"
                                               "Calc frames = @UpdateCount\n"
                                               "Calc clock = @TickCount\n"}};
  work.Write("input.txt",
             "@100 move 10 20\n"
             "@200 keydown A\n"
             "@300 keyup a\n"
             "@400 gap 301   # a pause that the game clock does not count\n");
  Result r = Play(pages, "--input " + (work / "input.txt") + " ");
  ASSERT_EQ(r.status, 0) << r.err;
  auto v = Vars();
  EXPECT_EQ(v["seen"], "整数\t208");  // the first 16 ms frame at or after 200
  EXPECT_EQ(v["mx"], "整数\t10");
  EXPECT_EQ(v["my"], "整数\t20");
  EXPECT_EQ(v["held"], "整数\t96");
  // Every counted frame is 16 ms: the 301 ms gap added nothing. (The frame counter moves in
  // the update pass, after the script of its frame ran.)
  const int frames = std::stoi(v["frames"].substr(v["frames"].find('\t') + 1));
  EXPECT_EQ(v["clock"], "整数\t" + std::to_string(16 * (frames + 1)));
  work.Write("bad.txt", "@10 fly\n");
  r = Run(kPlayer + " --headless --input " + (work / "bad.txt") + " " + game.Path());
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("bad.txt:1: unknown command fly"), std::string::npos) << r.err;
}

TEST_F(ScriptRun, ToolBarFullScreenAndExitFromTheInputScript) {
  std::map<std::string, std::string> pages = {
      {"main",
       "VarNew name=full type=int\nVarNew name=mx type=int\nVarNew name=back type=int\n"
       "VarNew name=late type=int\n"
       "Wait @FullScr == FALSE\n"
       "Calc full = @TickCount\n"
       "Calc @MouseX = 30\n"
       "Wait time=50\n"
       "Calc mx = @MouseX\n"
       "Wait @FullScr\n"
       "Calc back = @TickCount\n"
       "Wait time=400\n"
       "Calc late = @TickCount\n"}};
  work.Write("input.txt",
             "answer no\n"
             "@100 fullscreen     # F11 or Alt+Enter\n"
             "@200 button screen  # the tool bar, back to the window\n"
             "@300 button exit    # answered no: the game goes on\n");
  Result r = Play(pages, "--display-modes 640x480x32@60 --input " + (work / "input.txt") + " ",
                  "fullscreen 640 480\n");
  ASSERT_EQ(r.status, 0) << r.err;
  auto v = Vars();
  EXPECT_EQ(v["full"], "整数\t112");  // the first frame after the switch at or after 100 ms
  EXPECT_EQ(v["mx"], "整数\t30");     // the game moved the pointer
  EXPECT_EQ(v["back"], "整数\t208");
  EXPECT_EQ(v["late"], "整数\t" + std::to_string(208 + 16 + 400));
  EXPECT_NE(r.err.find("t: "), std::string::npos) << r.err;  // the exit question was asked
  std::vector<std::string> names;
  for (const std::string& line : TraceLines("trace.txt"))
    if (line.rfind("SetFullScreen", 0) == 0) names.push_back(line);
  ASSERT_EQ(names.size(), 19u);
  EXPECT_EQ(names[6], "SetFullScreen.Full.SetScreenManIndex");
  EXPECT_EQ(names[15], "SetFullScreen.Normal.RestoreWindow");
  // Without a display mode the same input leaves the game in its window.
  r = Play(pages, "--frames 30 --input " + (work / "input.txt") + " ");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Vars()["mx"], "整数\t0");
}

TEST_F(ScriptRun, FramesAreDumpedAsShownAndRepeatByteForByte) {
  // The screen root takes a colour (0x0000FF: red), then the game waits a little.
  std::map<std::string, std::string> pages = {
      {"main", "Calc x = SetProp(Chr(1) ++ \"BASE0\", 8, $0000FF)\nWait time=100\n"}};
  work.Write("input.txt", "@40 dump\n");
  auto run = [&](const std::string& dir, const std::string& extra) {
    return Play(pages, "--dump-frames " + (work / dir) + " --dump-every 0 --input " +
                           (work / "input.txt") + " " + extra + " ");
  };
  Result r = run("a", "");
  ASSERT_EQ(r.status, 0) << r.err;
  // Only the frame the input asked for: the first at or after 40 ms, the third (48 ms).
  const std::string png = work.Read("a/frame-000003.png");
  ASSERT_FALSE(png.empty());
  TDIBSurface shown;
  int32_t key = -1;
  ReadPng(png, shown, key);
  EXPECT_EQ(shown.Width(), 64);
  EXPECT_EQ(shown.Height(), 48);
  const uint8_t* px = shown.ScanLine(10);
  EXPECT_EQ(px[2], 0xFF);  // red
  EXPECT_EQ(px[1], 0x00);
  EXPECT_FALSE(platform::PathExists(work / "a/frame-000002.png"));
  EXPECT_FALSE(platform::PathExists(work / "a/frame-000004.png"));
  // The same game and input give the same picture; at 16 bits red is still full red.
  run("b", "");
  EXPECT_EQ(work.Read("b/frame-000003.png"), png);
  r = run("c", "--depth 16");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(work.Read("c/frame-000003.png"), png);
}

TEST_F(ScriptRun, AWindowShowsWhatTheHeadlessPlayerShows) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run is not installed";
  // A colour whose channels lose bits at 15 and 16 bits, so the window's own conversion of the
  // smaller pixels is compared too.
  std::map<std::string, std::string> pages = {
      {"main", "Calc x = SetProp(Chr(1) ++ \"BASE0\", 8, $3366CB)\nWait time=100000\n"}};
  for (const char* depth : {"32", "16", "15"}) {
    SCOPED_TRACE(depth);
    const std::string d = std::string(" --depth ") + depth;
    Result r =
        Play(pages, "--frames 5 --dump-frames " + (work / ("headless" + d.substr(9))) + d + " ");
    ASSERT_EQ(r.status, 0) << r.err;
    // The real window on a virtual X server; leaks inside the desktop libraries are not ours.
    r = Run("xvfb-run -a -s '-screen 0 1024x768x24' env ASAN_OPTIONS=detect_leaks=0 " + kPlayer +
            " --frames 5 --dump-frames " + (work / ("window" + d.substr(9))) + d + " " +
            game.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string shown = work.Read("window" + d.substr(9) + "/frame-000003.png");
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown, work.Read("headless" + d.substr(9) + "/frame-000003.png"));
  }
}

TEST_F(ScriptRun, AGameThatCreatesNothingRunsInAWindowAndGoesFullScreen) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run is not installed";
  // The monitor of the virtual X server offers its one mode, which the game switches to and
  // back from; frames go on all the while.
  std::map<std::string, std::string> pages = {
      {"main",
       "VarNew name=modes type=int\nVarNew name=full type=bool\nVarNew name=frames type=int\n"
       "VarNew name=windowed type=bool\n"
       "Calc modes = @DisplayModeCount\n"
       "Calc @FullScr = TRUE\n"
       "Wait time=100\n"
       "Calc full = @FullScr\n"
       "Calc @FullScr = FALSE\n"
       "Wait time=100\n"
       "Calc windowed = @FullScr == FALSE\n"
       "Label top\nCalc frames = @UpdateCount\nWait time=1\nJump target=top\n"}};
  Result r = Play(pages, "--frames 1 ");  // assembles the game
  ASSERT_EQ(r.status, 0) << r.err;
  r = Run("xvfb-run -a -s '-screen 0 1024x768x24' env ASAN_OPTIONS=detect_leaks=0 " + kPlayer +
          " --frames 60 --trace " + (work / "trace.txt") + " --dump-vars " + (work / "vars.txt") +
          " " + game.Path());
  ASSERT_EQ(r.status, 0) << r.err;
  auto v = Vars();
  EXPECT_EQ(v["modes"], "整数\t1");
  EXPECT_EQ(v["full"], "フラグ\tTRUE");
  EXPECT_EQ(v["windowed"], "フラグ\tTRUE");
  EXPECT_GE(std::stoi(v["frames"].substr(v["frames"].find('\t') + 1)), 50);
  const auto lines = TraceLines("trace.txt");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "SetFullScreen.Full.SetScreenManIndex"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "SetFullScreen.Full.SetScreenManIndexFail"), 0);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "SetFullScreen.Normal.RestoreWindow"), 1);
}

TEST_F(ScriptRun, ClicksAndKeysOfARealWindowSwitchTheScreen) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "xvfb-run or xdotool is not installed";
  // The game ends itself once it has been in full screen and back.
  work.Write("project.txt",
             "version 115\ntitle \"x\"\nscreen 320 240\nyield 1\nstart_page \"main.qsb\"\n");
  Tool("project " + (work / "project.txt") + " -o " + (game / "quen.qpb"));
  src.Write("main.qs", "Wait @FullScr == FALSE\nWait @FullScr\nTerminate\n");
  Tool("asm " + (src / "main.qs") + " -o " + (game / "main.qsb"));
  // The window (320 x 262 with its tool bar) sits in the middle of the 1024 x 768 screen; the
  // pointer clicks "画面切替", then F11 goes back. Without a window manager the keyboard goes to
  // the window under the pointer. Every wait is bounded.
  work.Write("drive.sh",
             "#!/bin/sh\n" + kPlayer + " --frames 4000 --trace " + (work / "trace.txt") + " " +
                 game.Path() +
                 " &\n"
                 "timeout 30 xdotool search --sync --onlyvisible --classname quenplay >/dev/null\n"
                 "sleep 1\n"
                 "xdotool mousemove 452 264 click 1\n"
                 "sleep 2\n"
                 "xdotool mousemove 512 384 key F11\n"
                 "wait\n");
  Result r = Run("chmod +x " + (work / "drive.sh") +
                 " && timeout 120 xvfb-run -a -s '-screen 0 1024x768x24' env "
                 "ASAN_OPTIONS=detect_leaks=0 " +
                 (work / "drive.sh"));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto lines = TraceLines("trace.txt");
  auto at = [&](const char* name) { return std::find(lines.begin(), lines.end(), name); };
  ASSERT_NE(at("SetFullScreen.Full.SetScreenManIndex"), lines.end());
  ASSERT_NE(at("SetFullScreen.Normal.RestoreWindow"), lines.end());
  EXPECT_LT(at("SetFullScreen.Full.SetScreenManIndex"), at("SetFullScreen.Normal.RestoreWindow"));
  // It ended by its own Terminate, long before the frame limit.
  // It ended by its own Terminate within seconds, long before the frame limit.
  const auto end = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.size() > 11 && l.substr(8) == " : main.qsb(3)";
  });
  ASSERT_NE(end, lines.end());
  EXPECT_LT(std::strtol(end->c_str(), nullptr, 16), 20000);
}

}  // namespace
}  // namespace quen
