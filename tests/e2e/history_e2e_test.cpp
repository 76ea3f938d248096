// The message history through the real programs: a game assembled by quentool shows pages with
// read tracking, counts them, trims, clears and recalls them into a second box, played headless.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "imaging/dib_surface.h"
#include "imaging/png_codec.h"
#include "support/player_run.h"

namespace quen {
namespace {

class HistoryRun : public PlayerRun {
 protected:
  // Six pages through TextIns with read tracking into "mes", then the tail of the script.
  Result Play(const std::string& tail) {
    std::string vars;
    for (const char* v : {"c1", "c2", "c3", "m1", "m2", "s1", "s2", "c4", "c5", "c6", "c7"})
      vars += std::string("var int \"") + v + "\" 0\n";
    work.Write("project.txt",
               "version 115\ntitle \"t\"\nscreen 200 200\nstart_page \"main.qsb\"\n" + vars);
    Tool("project " + (work / "project.txt") + " -o " + (game / "quen.qpb"));
    std::string page =
        "MesNew name={\"mes\"} left={0} top={0} width={200} height={40} fontheight={12} "
        "fontcolor={16777215}\n"
        "MesNew name={\"hist\"} left={0} top={100} width={200} height={100} fontheight={12} "
        "fontcolor={16777215}\n"
        "MesNew name={\"tpl\"} left={0} top={0} width={200} height={400} fontheight={12} "
        "visible={FALSE}\n"
        "FormatHist e1={\"tpl\"} e2={\"log\"}\nFlip time={0}\n";
    for (const char* text : {"壱の頁", "弐の頁", "参の頁", "四の頁", "伍の頁", "六の頁"})
      page += std::string("TextIns box={\"mes\"} read={TRUE} ") + text + "\n";
    page += tail + "Wait time={400}\nTerminate\n";
    work.Write("main.qs", page);
    Tool("asm " + (work / "main.qs") + " -o " + (game / "main.qsb"));
    work.Write("input.txt", "@320 dump\n");
    return Run(kPlayer + " --headless --dump-vars " + (work / "vars.txt") + " --dump-frames " +
               (work / "frames") + " --dump-every 0 --input " + (work / "input.txt") + " " +
               game.Path());
  }
  std::map<std::string, std::string> Vars() {
    std::map<std::string, std::string> out;
    for (const std::string& line : TraceLines("vars.txt")) {
      // name, type and value, tab-separated.
      size_t tab = line.find('\t');
      if (tab != std::string::npos) out[line.substr(0, tab)] = line.substr(line.rfind('\t') + 1);
    }
    return out;
  }
  // Lit pixels of the dumped frame in rows top..bottom-1.
  int LitPixels(int32_t top, int32_t bottom) {
    const std::string png = work.Read("frames/frame-000020.png");
    EXPECT_FALSE(png.empty());
    if (png.empty()) return 0;
    TDIBSurface shown;
    int32_t key = -1;
    ReadPng(png, shown, key);
    EXPECT_GE(shown.BitCount(), 24);
    const int32_t bytes = shown.BitCount() / 8;
    int lit = 0;
    for (int32_t y = top; y < bottom && y < shown.Height(); ++y)
      for (int32_t x = 0; x < shown.Width(); ++x)
        if (shown.ScanLine(y)[x * bytes + 1] > 0x80) ++lit;
    return lit;
  }
};

TEST_F(HistoryRun, PagesAreCountedTrimmedClearedAndRecalled) {
  Result r = Play(
      "Calc c1 = @HistoryCount\n"
      "Calc c2 = GetHistoryCount(\"\")\n"
      "Calc c3 = GetHistoryCount(\"none\")\n"
      "Calc s1 = SetHistoryMaxCount(\"none\", 3)\n"
      "Calc c4 = GetHistoryCount(\"log\")\n"
      "CallHist e1={\"hist\"} e2={0} e3={5} e4={TRUE} e5={\"\"}\n"
      "Calc @HistoryMaxCount = 3\n"
      "Calc m1 = @HistoryMaxCount\n"
      "Calc c5 = GetHistoryCount(\"\")\n"
      "Calc s2 = SetHistoryMaxCount(\"log\", 0)\n"
      "Calc m2 = GetHistoryMaxCount(\"log\")\n"
      "ClrHist\n"
      "Calc c6 = @HistoryCount\n"
      "Calc c7 = GetHistoryCount(\"log\")\n");
  ASSERT_EQ(r.status, 0) << r.err;
  auto v = Vars();
  // Six pages shown, five moved on from: the sixth is still pending.
  EXPECT_EQ(v["c1"], "5");
  EXPECT_EQ(v["c2"], "5");
  EXPECT_EQ(v["c3"], "-1");
  EXPECT_EQ(v["s1"], "0");
  // The template format lays all five short pages on one history page.
  EXPECT_EQ(v["c4"], "1");
  EXPECT_EQ(v["m1"], "3");
  EXPECT_EQ(v["c5"], "3");
  EXPECT_EQ(v["s2"], "1");
  EXPECT_EQ(v["m2"], "0");
  EXPECT_EQ(v["c6"], "0");
  EXPECT_EQ(v["c7"], "0");
  // The recalled pages show in the history box; the page box shows the sixth page.
  EXPECT_GT(LitPixels(100, 200), 0);
  EXPECT_GT(LitPixels(0, 40), 0);
}

TEST_F(HistoryRun, TheTemplateFormatRecallsIntoTheBoxAndNothingWithoutEntries) {
  ASSERT_EQ(Play("CallHist e1={\"hist\"} e2={0} e3={1} e5={\"log\"}\n").status, 0);
  const int with_log = LitPixels(100, 200);
  EXPECT_GT(with_log, 0);
  // Starting past the entries leaves the history box empty.
  ASSERT_EQ(Play("CallHist e1={\"hist\"} e2={9} e3={1} e5={\"log\"}\n").status, 0);
  EXPECT_EQ(LitPixels(100, 200), 0);
  ASSERT_EQ(Play("ClrHist\nCallHist e1={\"hist\"} e2={0} e3={5}\n").status, 0);
  EXPECT_EQ(LitPixels(100, 200), 0);
}

}  // namespace
}  // namespace quen
