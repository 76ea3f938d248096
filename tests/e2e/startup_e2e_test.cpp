// Whole start-ups of the player, run headless on small games that quentool assembles.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "imaging/dib_surface.h"
#include "imaging/png_codec.h"
#include "platform/host_fs.h"
#include "support/player_run.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

constexpr char kDemo[] =
    "version 115\ntitle \"デモ\"\nscreen 640 480\nstart_page \"start.qsb\"\n"
    "var int \"Score\" 3\n";

TEST_F(PlayerRun, AGameStartsAndEndsNormally) {
  MakeGame(game, kDemo);
  Result r = Run(kPlayer + " --headless --trace " + (work / "trace.txt") + " " + game.Path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  auto t = TraceLines("trace.txt");
  std::vector<std::string> head(t.begin(), t.begin() + std::min<size_t>(t.size(), 19));
  // The media steps mark each of the five managers before and after it is made.
  EXPECT_EQ(head, (std::vector<std::string>{
                      "TBasePanel.Create", "DXSound.Initialize", "QuenInitialize",
                      "TFontPixelManager.Create", "TProject.Create", "MediaInit", "MediaInit:7",
                      "MediaInit:8", "MediaInit:9", "MediaInit:10", "MediaInit:11", "MediaInit:12",
                      "MediaInit:13", "MediaInit:14", "MediaInit:15", "MediaInit:16",
                      "QuenInitColor", "Project.Free", "SysFuncMan.Free"}));
  EXPECT_EQ(t.back(), "quenFinal");
}

TEST_F(PlayerRun, ToolDumpsReadBackToTheSameBytes) {
  MakeGame(game, std::string(kDemo) + "folder_disk \"movie\" 2\nvar float \"R\" -0.1\n", {});
  std::string dump = "project --dump " + (game / "quen.qpb");
  ASSERT_EQ(Run(kTool + " " + dump, work / "p2.txt").status, 0);
  Tool("project " + (work / "p2.txt") + " -o " + (work / "q2.qpb"));
  EXPECT_EQ(work.Read("q2.qpb"), game.Read("quen.qpb"));

  work.Write("i.txt", "version 99\ndisk_index 1\ntitle \"デモ\"\nitem -1 2 3 4\n");
  Tool("install " + (work / "i.txt") + " -o " + (work / "install.dat"));
  ASSERT_EQ(Run(kTool + " install --dump " + (work / "install.dat"), work / "i2.txt").status, 0);
  Tool("install " + (work / "i2.txt") + " -o " + (work / "install2.dat"));
  EXPECT_EQ(work.Read("install2.dat"), work.Read("install.dat"));
  EXPECT_NE(work.Read("i2.txt").find("item -1 2 3 4"), std::string::npos);
  // A damaged file is refused with the system's message.
  work.Write("bad.qpb", "\x73\x00\x00\x00\xFF\xFF\xFF\x7F");
  Result r = Run(kTool + " project --dump " + (work / "bad.qpb"));
  EXPECT_EQ(r.status, 1);
}

TEST_F(PlayerRun, TheDemoGamePlaysAsScriptsDemoShows) {
  // What scripts/demo.sh builds: the demo's pages assembled, its project, all packed into
  // game.dat; headless, with the demo's own input on a pretended monitor, the game switches to
  // full screen and back and is left on the second question. The frame limit only guards.
  testing::TempDir src;
  const std::string demo = std::string(QP_SOURCE_DIR) + "/demo";
  ASSERT_EQ(std::system(("cp -r " + demo + "/game/. " + src.Path()).c_str()), 0);
  ASSERT_EQ(std::system((demo + "/pictures/make-pictures.sh " + kTool + " " + src.Path()).c_str()),
            0);
  // The chime, the title music and the clip, from their text forms, as scripts/demo.sh makes them.
  ASSERT_EQ(std::system((demo + "/media/make-media.sh " + kTool + " " + src.Path()).c_str()), 0);
  for (const char* page : {"start", "greet", "scene", "clicked", "chosen", "blink"}) {
    Tool("asm " + (src / (std::string(page) + ".qs")) + " -o " +
         (src / (std::string(page) + ".qsb")));
  }
  Tool("project " + demo + "/project.txt -o " + (src / "quen.qpb"));
  Tool("pack " + src.Path() + " -o " + (game / "game.dat"));
  Result r = Run(
      kPlayer + " --headless --frames 2000 --trace " + (work / "trace.txt") + " --dump-vars " +
      (work / "vars.txt") + " --display-modes 800x600x32@60,640x480x32@60 --input " + demo +
      "/headless-input.txt --dump-frames " + (work / "frames") + " --dump-every 0 " + game.Path());
  EXPECT_EQ(r.status, 0) << r.err;
  // Two exit questions: "no", then "yes".
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
  auto t = TraceLines("trace.txt");
  EXPECT_EQ(t.back(), "quenFinal");
  EXPECT_NE(std::find(t.begin(), t.end(), "00000010 : greet.qsb(3)"), t.end());
  EXPECT_NE(std::find(t.begin(), t.end(), "SetFullScreen.Full.SetScreenManIndex"), t.end());
  EXPECT_NE(std::find(t.begin(), t.end(), "SetFullScreen.Normal.RestoreWindow"), t.end());
  // The exit answered "yes" at 1600 ms closes the window before the frame of that moment; the
  // colour loop ran up to then (it passes through the trace every other frame).
  const auto last =
      std::find_if(t.rbegin(), t.rend(), [](const std::string& l) { return l.find(" : ") == 8; });
  ASSERT_NE(last, t.rend());
  const long last_ms = std::strtol(last->c_str(), nullptr, 16);
  EXPECT_GE(last_ms, 1600 - 2 * 16);
  EXPECT_LT(last_ms, 1600);
  const std::string vars = work.Read("vars.txt");
  EXPECT_NE(vars.find("デモ回数\t整数\t1\n"), std::string::npos) << vars;
  EXPECT_NE(vars.find("挨拶\t文字列\tようこそ、ゲストさん\n"), std::string::npos) << vars;
  EXPECT_NE(vars.find("合計\t整数\t55\n"), std::string::npos) << vars;
  EXPECT_NE(vars.find("全角\t文字列\tｑｕｅｎｐｌａｙ　デモ\n"), std::string::npos) << vars;
  EXPECT_NE(vars.find("曜日\t文字列\t水\n"), std::string::npos) << vars;
  EXPECT_NE(vars.find("画面\t文字列\t640x480\n"), std::string::npos) << vars;
  // The prompt's timer ticked at 500, 1000 and 1500 ms of its own time: shown, hidden, shown,
  // hidden.
  EXPECT_NE(vars.find("点灯\t整数\t0\n"), std::string::npos) << vars;
  // The two frames looked at: full screen at 700 ms, the window at 1200 ms; the screen's colour
  // moved on between them.
  std::vector<std::string> frames;
  for (const auto& e : platform::ListDirectory(work / "frames")) frames.push_back(e.name);
  std::sort(frames.begin(), frames.end());
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_NE(work.Read("frames/" + frames[0]), work.Read("frames/" + frames[1]));
  // The film plays in its place over the sky: the dark screen around its colour wheel.
  TDIBSurface shown;
  int32_t key = -1;
  ReadPng(work.Read("frames/" + frames[1]), shown, key);
  ASSERT_EQ(shown.Width(), 640);
  ASSERT_GE(shown.StorageBitCount(), 24);
  const uint8_t* px = shown.ScanLine(152) + shown.StorageBitCount() / 8 * 302;
  EXPECT_LT(px[0], 70);  // blue
  EXPECT_LT(px[1], 50);
  EXPECT_LT(px[2], 50);
}

TEST_F(PlayerRun, StartUpMessages) {
  // No installation beside the player and no parameters.
  testing::TempDir bare;
  Result r = Run(PlayerIn(bare) + " --headless");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "情報: インストールし直してください\n");

  // A project without its start page.
  MakeGame(game, kDemo, {});
  r = Run(kPlayer + " --headless " + game.Path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "警告: スタートページがありません\n");

  // An empty project file.
  game.Write("quen.qpb", "");
  r = Run(kPlayer + " --headless " + game.Path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "警告: プロジェクトがありません\n");

  // A project of a later version.
  MakeGame(game, kDemo);
  std::string bytes = game.Read("quen.qpb");
  bytes[0] = 116;
  game.Write("quen.qpb", bytes);
  r = Run(kPlayer + " --headless " + game.Path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "警告: このバージョンには対応していません: quen.qpb\n");

  // No project at all: no box, but a line that says why.
  testing::TempDir empty;
  r = Run(kPlayer + " --headless " + empty.Path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "quenplay: quen.qpb:ファイルがありません\n");

  r = Run(kPlayer + " --headless --frames");
  EXPECT_EQ(r.status, 2);
}

TEST_F(PlayerRun, GameInsideThePlayersOwnTrailer) {
  // The installation record, project and page packed onto the end of a copy of the player.
  testing::TempDir src, bin;
  MakeGame(src, kDemo);
  work.Write("install.txt", "version 108\ntitle \"デモ\"\nfull_install 1\n");
  Tool("install " + (work / "install.txt") + " -o " + (src / "install.dat"));
  Tool("pack " + src.Path() + " -o " + (bin / "quenplay") + " --append-to " + kPlayer);
  ASSERT_EQ(std::system(("chmod +x " + (bin / "quenplay")).c_str()), 0);
  Result r = Run(bin / "quenplay" + " --headless --frames 2");
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(PlayerRun, PartialInstallationGivesUpWithoutADisc) {
  testing::TempDir bin;
  MakeGame(bin, kDemo);
  work.Write("install.txt", "version 108\ntitle \"デモ\"\nfull_install 0\n");
  Tool("install " + (work / "install.txt") + " -o " + (bin / "install.dat"));
  // Insert the disc? Cancel. Exit? OK.
  work.Write("input.txt", "answer cancel\nanswer ok\n");
  Result r = Run(PlayerIn(bin) + " --headless --input " + (work / "input.txt"));
  EXPECT_EQ(r.status, 1);
  // The project is not read yet: the exit prompt's caption is the title's initial "情報".
  EXPECT_EQ(r.err, "情報: ディスクを入れてください\n情報: 終了します\n");
}

TEST_F(PlayerRun, SettingsDialog) {
  testing::TempDir bin;
  std::string player = PlayerIn(bin);
  bin.Write("game.ini", "[Sound]\r\nDirectSound=0\r\nDelayTime=250\r\n");
  work.Write("cancel.txt", "answer delay=4\nanswer cancel\n");
  Result r = Run(player + " --headless --input " + (work / "cancel.txt") + " /config");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "動作設定: [ ] DirectSoundを使用する(&S) / サウンドの遅延時間(&D)： 200ms\n"
            "動作設定: [ ] DirectSoundを使用する(&S) / サウンドの遅延時間(&D)： 400ms\n");
  EXPECT_EQ(bin.Read("game.ini"), "[Sound]\r\nDirectSound=0\r\nDelayTime=250\r\n");
  work.Write("ok.txt", "answer sound=1\nanswer ok\n");
  r = Run(player + " --headless --input " + (work / "ok.txt") + " /CONFIG");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(bin.Read("game.ini"), "[Sound]\r\nDirectSound=1\r\nDelayTime=200\r\n");

  testing::TempDir fresh;
  player = PlayerIn(fresh);
  r = Run(player + " --headless /config");
  EXPECT_EQ(r.err,
            "動作設定: [x] DirectSoundを使用する(&S) / サウンドの遅延時間(&D)： 500ms "
            "(disabled)\n");
  EXPECT_EQ(fresh.Read("game.ini"), "[Sound]\r\nDirectSound=1\r\nDelayTime=500\r\n");

  // "/config GAMEDIR" edits the game folder's file, not the one beside the player.
  r = Run(player + " --headless --input " + (work / "ok.txt") + " /config " + game.Path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(game.Read("game.ini"), "[Sound]\r\nDirectSound=1\r\nDelayTime=500\r\n");
  EXPECT_EQ(fresh.Read("game.ini"), "[Sound]\r\nDirectSound=1\r\nDelayTime=500\r\n");
}

TEST_F(PlayerRun, ASecondPlayerOnTheSameFolderIsRefused) {
  MakeGame(game, kDemo);
  Page(game, "start.qsb", "Label top\nWait time=1000\nJump target=top\n");
  std::string trace = work / "first.txt";
  std::string cmd = "XDG_RUNTIME_DIR=" + runtime.Path() + " " + kPlayer +
                    " --headless --frames 100000000 --trace " + trace + " " + game.Path() +
                    " >/dev/null 2>&1 & echo $! >" + (work / "pid.txt");
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  // The first player is ended however the test ends.
  struct Stopper {
    std::string pid_file;
    ~Stopper() {
      std::string cmd = "kill $(cat " + pid_file + ") 2>/dev/null";
      (void)std::system(cmd.c_str());
    }
  } stopper{work / "pid.txt"};
  // Wait until the first player has started its game.
  for (int i = 0; i < 600 && work.Read("first.txt").find("QuenInitColor") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_NE(work.Read("first.txt").find("QuenInitColor"), std::string::npos);
  Result second =
      Run(kPlayer + " --headless --trace " + (work / "second.txt") + " " + game.Path() + "/");
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find("another player runs this game"), std::string::npos) << second.err;
  EXPECT_FALSE(platform::PathExists(work / "second.txt"));
}

}  // namespace
}  // namespace quen
