#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "authoring/page_text.h"
#include "authoring/record_text.h"
#include "expr/param_collection.h"
#include "files/file_manager.h"
#include "imaging/color_tables.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/host_fs.h"
#include "platform/instance_lock.h"
#include "platform/trace.h"
#include "runtime/command.h"
#include "shell/form_view.h"
#include "shell/messages.h"
#include "shell/program_entry.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

// The player as assembled, with the save file's two steps recorded.
class RecordingPlayer : public TPlayer {
 public:
  RecordingPlayer(platform::IGameWindow& window, TStartupContext context,
                  std::vector<std::string>& log, const bool& load_works)
      : TPlayer(window, std::move(context)), log_(log), load_works_(load_works) {}
  bool LoadGame(TProject&, int32_t slot) override {
    log_.push_back("load " + std::to_string(slot));
    return load_works_;
  }
  void SaveGame(TProject&, int32_t slot, const std::string& page, int32_t value,
                const std::string& caption) override {
    log_.push_back("save " + std::to_string(slot) + " " + page + " " + std::to_string(value) + " " +
                   caption);
  }

 private:
  std::vector<std::string>& log_;
  const bool& load_works_;
};

class StartupSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFileManager(std::make_unique<TVrFileManager>());
    FileManager().SetCdRoots({});
    platform::SetDialogs(std::make_unique<platform::HeadlessDialogs>());
    // Headless time: the media layer captures its sound instead of opening the sound device.
    platform::SetClock(std::make_unique<platform::VirtualClock>());
    platform::ClearTraceHistory();
  }
  void TearDown() override {
    platform::SetClock(nullptr);
    platform::SetDialogs(nullptr);
    SetFileManager(nullptr);
  }
  void MakeGame(const std::string& text, bool with_start = true) {
    TKvMemoryStream m;
    ParseProjectText(text).SaveToStream(m);
    game.Write("quen.qpb", m.Data());
    if (with_start) game.Write("start.qsb", "page");  // a page of a later version: empty
  }
  std::unique_ptr<TPlayer> Recorded(TStartupContext context) {
    return Recorded(window, std::move(context));
  }
  std::unique_ptr<TPlayer> Recorded(platform::IGameWindow& w, TStartupContext context) {
    return std::make_unique<RecordingPlayer>(w, std::move(context), saves, load_works);
  }
  testing::TempDir game, exe;
  platform::HeadlessWindow window;
  std::vector<std::string> saves;
  bool load_works = true;
};

constexpr char kProject[] =
    "version 115\ntitle \"デモ\"\nscreen 320 240\nstart_page \"start.qsb\"\n";

TEST_F(StartupSteps, RunInOrderWithTheirTraceNames) {
  MakeGame("version 115\ntitle \"デモ\"\nscreen 320 240\nstart_page \"start.qsb\"\n");
  game.Write("quenplay.log", "old");
  // A 5-6-5 desktop: the screen modes work at 16 bits and the colour tables follow.
  window.Fake().desktop = platform::FakeDisplay::Format16();
  {
    TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
    view.Create();
    EXPECT_FALSE(view.StartupFailed());
    EXPECT_EQ(window.Caption(), "\x83\x66\x83\x82");
    EXPECT_EQ(window.DockHeight(), 22);
    ASSERT_EQ(window.Buttons().size(), 2u);
    EXPECT_EQ(window.Buttons()[0].width, 67);
    EXPECT_EQ(window.ClientWidth(), 320);
    EXPECT_EQ(window.ClientHeight(), 240 + 22);
    EXPECT_TRUE(window.Centered());
    EXPECT_EQ(window.Panel()[0], 0);
    EXPECT_EQ(window.Panel()[1], 22);
    EXPECT_EQ(FileManager().CollectionCount(), 1);  // the overlay comes first
    // Every part is there, connected as the steps made them.
    ASSERT_NE(view.Panel(), nullptr);
    TQuenBaseList& registry = view.Panel()->Registry();
    EXPECT_NE(registry.CursorHost(), nullptr);
    ASSERT_NE(view.ScreenManager(), nullptr);
    EXPECT_EQ(view.ScreenManager()->WorkingDepth(), 16);
    EXPECT_EQ(&registry.Screen(), view.ScreenManager()->FrameSurface());
    EXPECT_EQ(registry.ScreenWidth(), 320);
    EXPECT_EQ(registry.ScreenHeight(), 240);
    EXPECT_NE(view.Player().CallMan(), nullptr);
    view.Run(3, 0);
    EXPECT_EQ(view.Panel(), nullptr);
    EXPECT_EQ(view.ScreenManager(), nullptr);
  }
  EXPECT_EQ(QuenColorTables().BitCount, 16);
  EXPECT_FALSE(platform::PathExists(game / "quenplay.log"));
  std::vector<std::string> expect = {"TBasePanel.Create",
                                     "DXSound.Initialize",
                                     "QuenInitialize",
                                     "TFontPixelManager.Create",
                                     "TProject.Create",
                                     "MediaInit",
                                     "MediaInit:7",
                                     "MediaInit:8",
                                     "MediaInit:9",
                                     "MediaInit:10",
                                     "MediaInit:11",
                                     "MediaInit:12",
                                     "MediaInit:13",
                                     "MediaInit:14",
                                     "MediaInit:15",
                                     "MediaInit:16",
                                     "QuenInitColor",
                                     "Project.Free",
                                     "SysFuncMan.Free",
                                     "ParamMan.Free",
                                     "QuenFinalize",
                                     "TextRead",
                                     "TextHistoryFormats",
                                     "Bases",
                                     "SelRectDIB",
                                     "TransBGDIB",
                                     "BrixMan",
                                     "ClipMan",
                                     "MediaFinal",
                                     "ScreenMan",
                                     "VideoMan",
                                     "WaveMan",
                                     "WmpMan",
                                     "OggMan",
                                     "CddaMan",
                                     "MidiMan",
                                     "quenFinal"};
  EXPECT_EQ(platform::TraceHistory(), expect);
}

TEST_F(StartupSteps, SoundSettingAndItsFailure) {
  MakeGame(kProject);
  // The game folder holds the settings and the log; the player's own folder is left alone.
  game.Write("game.ini", "[Sound]\nDirectSound=0\nDelayTime=250\n");
  exe.Write("game.ini", "[Sound]\nDelayTime=100\n");
  exe.Write("quenplay.log", "kept");
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Create();
  EXPECT_EQ(view.Settings().DelayTime, 200);
  EXPECT_FALSE(view.Settings().DirectSound);
  EXPECT_FALSE(view.StartupFailed());  // the game goes on without sound
  EXPECT_EQ(exe.Read("quenplay.log"), "kept");
  // The screen switch carries the full-screen action's hint.
  ASSERT_EQ(window.Buttons().size(), 2u);
  EXPECT_EQ(window.Buttons()[1].hint, msg::kFullScreenHint);
}

TEST_F(StartupSteps, DamagedGameDataEndsTheStartWithAWarningNamingTheFile) {
  MakeGame(kProject);
  testing::TempDir data;
  for (const std::string& bytes : {std::string(), std::string("\x01\0\0", 3)}) {
    data.Write("game.dat", bytes);
    TFormView view(window, Recorded({{game.Path(), data.Path()}, exe.Path(), ""}));
    ::testing::internal::CaptureStderr();
    view.Create();
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(view.StartupFailed());
    EXPECT_NE(err.find("警告: "), std::string::npos) << err;
    EXPECT_NE(err.find(data / "game.dat"), std::string::npos) << err;
    view.Close();
    SetTerminateFlag(false);
  }
}

TEST_F(StartupSteps, AFailedStartClosesBeforeRunning) {
  MakeGame(kProject, false);
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Create();
  EXPECT_TRUE(view.StartupFailed());
  auto events = window.Pump(0);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, platform::WindowEvent::Kind::kCloseRequest);
  // Nothing after the project's creation ran.
  for (const auto& t : platform::TraceHistory()) EXPECT_NE(t, "MediaInit");
}

TEST_F(StartupSteps, ExceptionsBecomeAWarning) {
  MakeGame(kProject);
  std::string bytes = game.Read("quen.qpb");
  bytes.resize(bytes.size() - 3);  // the folder-disk list is cut short
  game.Write("quen.qpb", bytes);
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  ::testing::internal::CaptureStderr();
  view.Create();
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(view.StartupFailed());
  EXPECT_NE(err.find("警告: "), std::string::npos) << err;
}

TEST_F(StartupSteps, GameDataFromEveryParameter) {
  // Two folders with archives: both are registered, the first one first, and the game data
  // folder is the first.
  testing::TempDir a, b;
  TVrFileCollection empty;
  TKvMemoryStream m;
  empty.Write(m);
  a.Write("game.dat", m.Data());
  b.Write("GAME.DAT", m.Data());
  MakeGame(kProject);
  TFormView view(window, Recorded({{game.Path(), a.Path(), b.Path()}, exe.Path(), ""}));
  view.Create();
  ASSERT_EQ(FileManager().CollectionCount(), 3);
  EXPECT_EQ(FileManager().Collection(1)->FileName(), a / "game.dat");
  EXPECT_EQ(FileManager().Collection(2)->FileName(), b / "GAME.DAT");
  EXPECT_EQ(FileManager().GameFolder(), game.Path());
}

TEST_F(StartupSteps, ExitButtonAsksFirst) {
  MakeGame(kProject);
  auto d = std::make_unique<platform::HeadlessDialogs>();
  d->QueueAnswer("no");
  d->QueueAnswer("yes");
  platform::SetDialogs(std::move(d));
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Create();
  ASSERT_FALSE(view.StartupFailed());
  ::testing::internal::CaptureStderr();
  // "No": the game goes on where it was; then "Yes" ends it.
  EXPECT_FALSE(view.ConfirmExit());
  EXPECT_FALSE(TerminateFlag());
  ASSERT_NE(view.Project(), nullptr);
  window.Push({platform::WindowEvent::Kind::kToolButton, 0});
  view.Run(-1, 0);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(view.Project(), nullptr);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
  EXPECT_NE(err.find("デモ: "), std::string::npos) << err;
}

TEST_F(StartupSteps, GameClockCountsGapsUpTo300MsAndTheDivisorSkipsDrawing) {
  MakeGame(kProject);
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Create();
  ASSERT_FALSE(view.StartupFailed());
  TParamCollection& vars = *view.Variables();
  auto read = [&](const char* name) { return vars.FindVariable(name)->Value()->GetAsInteger(); };
  EXPECT_TRUE(view.Tick(16));
  EXPECT_TRUE(view.Tick(32));
  EXPECT_EQ(read("@TickCount"), 32);
  // 301 ms is a gap, not a frame; exactly 300 still counts.
  EXPECT_FALSE(view.Tick(333));
  EXPECT_EQ(read("@TickCount"), 32);
  EXPECT_EQ(read("@UpdateCount"), 2);
  EXPECT_TRUE(view.Tick(633));
  EXPECT_EQ(read("@TickCount"), 332);
  EXPECT_EQ(read("@UpdateCount"), 3);
  EXPECT_EQ(view.DrawnFrames(), 3);
  // Divisor 4: three of four frames run their logic without drawing.
  view.SetDrawingDivisor(4);
  for (int i = 1; i <= 8; ++i) EXPECT_TRUE(view.Tick(633 + 16 * i));
  EXPECT_EQ(read("@UpdateCount"), 11);
  EXPECT_EQ(view.DrawnFrames(), 3 + 2);
}

TEST_F(StartupSteps, AGameThatPausesWhenInactiveRunsNoFramesAndForgetsKeys) {
  MakeGame(std::string(kProject) + "pause_when_inactive 1\n");
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Create();
  ASSERT_FALSE(view.StartupFailed());
  ASSERT_TRUE(view.Tick(16));
  TInputEvent key;
  key.Kind = TInputKind::KeyDown;
  key.Key = 'A';
  view.Panel()->Input(key);
  ASSERT_TRUE(view.Tick(32));
  EXPECT_TRUE(view.Panel()->Registry().KeyPressed('A'));
  view.Deactivate();
  EXPECT_FALSE(view.Active());
  EXPECT_FALSE(view.Panel()->Registry().KeyPressed('A'));
  EXPECT_FALSE(view.Tick(48));
  // Ten seconds away count for nothing.
  view.Activate(10000);
  EXPECT_TRUE(view.Tick(10016));
  EXPECT_EQ(view.GameClock(), 48);
}

TEST_F(StartupSteps, AGameThatPlaysOnWhenInactiveKeepsItsKeysAndSounds) {
  MakeGame(kProject);
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Create();
  ASSERT_TRUE(view.Tick(16));
  TInputEvent key;
  key.Kind = TInputKind::KeyDown;
  key.Key = 'A';
  view.Panel()->Input(key);
  view.Deactivate();
  EXPECT_TRUE(view.Active());
  EXPECT_TRUE(view.Tick(32));
  EXPECT_TRUE(view.Panel()->Registry().KeyPressed('A'));
}

TEST_F(StartupSteps, ALoadedGameIsDrawnFromTheFrameAfterTheLoad) {
  MakeGame(kProject);
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Create();
  ASSERT_FALSE(view.StartupFailed());
  ASSERT_TRUE(view.Tick(16));
  ASSERT_EQ(view.DrawnFrames(), 1);
  TProject& project = *view.Project();
  project.PendingLoadSlot = 2;
  project.PendingSaveSlot = 5;
  project.PendingSavePage = "p.qsb";
  project.PendingSaveValue = 7;
  project.PendingSaveCaption = "c";
  // The frame of the load runs its logic and carries out the load, then the save, but shows
  // nothing: its components have not been updated since they were loaded.
  ASSERT_TRUE(view.Tick(32));
  EXPECT_EQ(saves, (std::vector<std::string>{"load 2", "save 5 p.qsb 7 c"}));
  EXPECT_EQ(project.PendingLoadSlot, -1);
  EXPECT_EQ(project.PendingSaveSlot, -1);
  EXPECT_EQ(view.DrawnFrames(), 1);
  EXPECT_EQ(view.Variables()->FindVariable("@UpdateCount")->Value()->GetAsInteger(), 2);
  ASSERT_TRUE(view.Tick(48));
  EXPECT_EQ(view.DrawnFrames(), 2);
  // A load that did not take place skips nothing; a save alone skips nothing either.
  load_works = false;
  project.PendingLoadSlot = 1;
  ASSERT_TRUE(view.Tick(64));
  project.PendingSaveSlot = 0;
  ASSERT_TRUE(view.Tick(80));
  EXPECT_EQ(view.DrawnFrames(), 4);
  EXPECT_EQ(saves.size(), 4u);
}

TEST_F(StartupSteps, FullScreenSwitchesBothWaysWithTheirTraceNames) {
  MakeGame(
      "version 115\ntitle \"t\"\nscreen 320 240\nfullscreen 640 480\n"
      "start_page \"start.qsb\"\n");
  window.Fake().modes = {{640, 480, 32, 60}, {800, 600, 32, 60}};
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Create();
  ASSERT_FALSE(view.StartupFailed());
  ASSERT_NE(view.ScreenManager(), nullptr);
  EXPECT_EQ(view.ScreenManager()->ChosenModeIndex(), 0);
  platform::ClearTraceHistory();
  view.SetFullScreen(true);
  EXPECT_EQ(
      platform::TraceHistory(),
      (std::vector<std::string>{
          "SetFullScreen", "SetFullScreen.Full", "SetFullScreen.Full.Bases.FreeDX",
          "SetFullScreen.Full.MediaSuspend", "SetFullScreen.Full.ScreenMan.FreeDX",
          "SetFullScreen.Full.StoreWindow", "SetFullScreen.Full.SetScreenManIndex",
          "SetFullScreen.SetBounds", "SetFullScreen.Bases.Reload", "SetFullScreen.MediaResume"}));
  TParamCollection& vars = *view.Variables();
  EXPECT_TRUE(vars.FindVariable("@FullScr")->Value()->GetAsBool());
  // The game screen sits in the middle of the mode; no tool bar.
  EXPECT_EQ(window.ClientWidth(), 640);
  EXPECT_EQ(window.Panel()[0], 160);
  EXPECT_EQ(window.Panel()[1], 120);
  EXPECT_EQ(window.DockHeight(), 0);
  // Another mode from the script applies at once; one outside the list is refused.
  vars.FindVariable("@DisplayModeIndex")->Value()->SetAsInteger(1);
  EXPECT_EQ(window.ClientWidth(), 800);
  vars.FindVariable("@DisplayModeIndex")->Value()->SetAsInteger(7);
  EXPECT_EQ(vars.FindVariable("@DisplayModeIndex")->Value()->GetAsInteger(), 1);
  platform::ClearTraceHistory();
  vars.FindVariable("@FullScr")->Value()->SetAsBool(false);
  EXPECT_EQ(platform::TraceHistory(),
            (std::vector<std::string>{
                "SetFullScreen", "SetFullScreen.Normal", "SetFullScreen.Normal.Bases.FreeDX",
                "SetFullScreen.Normal.MediaSuspend", "SetFullScreen.Normal.ScreenMan.FreeDX",
                "SetFullScreen.Normal.RestoreWindow", "SetFullScreen.SetBounds",
                "SetFullScreen.Bases.Reload", "SetFullScreen.MediaResume"}));
  EXPECT_EQ(window.ClientHeight(), 240 + 22);
  EXPECT_EQ(window.Panel()[1], 22);
  // Frames keep running and reach the window in either state.
  EXPECT_TRUE(view.Tick(16));
  EXPECT_EQ(window.FrameWidth(), 320);
}

TEST_F(StartupSteps, FullScreenWithoutAModeStaysWindowed) {
  MakeGame(kProject);
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Create();
  platform::ClearTraceHistory();
  view.SetFullScreen(true);
  EXPECT_EQ(platform::TraceHistory(),
            (std::vector<std::string>{"SetFullScreen", "SetFullScreen.Full"}));
  EXPECT_FALSE(view.Variables()->FindVariable("@FullScr")->Value()->GetAsBool());
  EXPECT_TRUE(view.Tick(16));  // frames go on
  EXPECT_EQ(view.DrawnFrames(), 1);
}

TEST_F(StartupSteps, AModeThatDoesNotTakeEndsTheSwitchAndRestoresWhatItStopped) {
  MakeGame(
      "version 115\ntitle \"t\"\nscreen 320 240\nfullscreen 640 480\n"
      "start_page \"start.qsb\"\n");
  window.Fake().modes = {{640, 480, 32, 60}};
  window.Fake().refuse_all = true;
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Create();
  ASSERT_FALSE(view.StartupFailed());
  platform::ClearTraceHistory();
  view.SetFullScreen(true);
  const auto& t = platform::TraceHistory();
  EXPECT_NE(std::find(t.begin(), t.end(), "SetFullScreen.Full.SetScreenManIndexFail"), t.end());
  EXPECT_EQ(t.back(), "SetFullScreen.MediaResume");
  // Back in the bordered window with its tool bar, and the frames go on.
  EXPECT_FALSE(view.Variables()->FindVariable("@FullScr")->Value()->GetAsBool());
  EXPECT_EQ(window.ClientHeight(), 240 + 22);
  EXPECT_EQ(window.DockHeight(), 22);
  EXPECT_TRUE(view.Tick(16));
  EXPECT_EQ(view.DrawnFrames(), 1);
}

TEST_F(StartupSteps, InFullScreenTheToolBarComesUpOnTheTopRow) {
  MakeGame(
      "version 115\ntitle \"t\"\nscreen 320 240\nfullscreen 640 480\n"
      "start_page \"start.qsb\"\n");
  window.Fake().modes = {{640, 480, 32, 60}};
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Create();
  view.SetFullScreen(true);
  ASSERT_EQ(window.DockHeight(), 0);
  using K = platform::WindowEvent::Kind;
  auto move_to = [&](int y) {
    platform::WindowEvent e(K::kMouseMove, -1);
    e.x = 10;
    e.y = y;  // panel coordinates: the panel's top is row 120 of the screen
    window.Push(e);
  };
  move_to(-120);
  EXPECT_FALSE(view.PumpEvents(0, 0));
  EXPECT_EQ(window.DockHeight(), 22);
  EXPECT_EQ(window.Buttons().size(), 2u);
  move_to(-119);
  view.PumpEvents(0, 0);
  EXPECT_EQ(window.DockHeight(), 0);
  // Its "画面切替" button goes back to the window, where the tool bar stays.
  window.Push({K::kToolButton, 1});
  view.PumpEvents(0, 0);
  EXPECT_FALSE(view.Variables()->FindVariable("@FullScr")->Value()->GetAsBool());
  move_to(10);
  view.PumpEvents(0, 0);
  EXPECT_EQ(window.DockHeight(), 22);
}

TEST_F(StartupSteps, WindowInputReachesTheRegistryAndClosingAsks) {
  MakeGame(kProject);
  // The page copies the input state into variables every frame.
  TPage page;
  AssemblePage(
      "VarNew name=mx type=int\nVarNew name=q type=bool\nVarNew name=r type=bool\n"
      "Label top\nCalc mx = @MouseX\nCalc q = @KeyPush[81]\nCalc r = @KeyPush[82]\n"
      "Wait time=1\nJump target=top\n",
      "start.qsb", page);
  TKvMemoryStream bytes;
  page.SaveToStream(bytes);
  game.Write("start.qsb", bytes.Data());
  auto d = std::make_unique<platform::HeadlessDialogs>();
  d->QueueAnswer("no");
  platform::SetDialogs(std::move(d));
  TFormView view(window, Recorded({{game.Path()}, exe.Path(), ""}));
  view.Player().SetDumpVarsFile(exe / "vars.txt");
  view.Create();
  ASSERT_FALSE(view.StartupFailed());
  using K = platform::WindowEvent::Kind;
  platform::WindowEvent move;
  move.kind = K::kMouseMove;
  move.x = 30;
  move.y = 40;
  platform::WindowEvent key;
  key.kind = K::kKeyDown;
  key.key = 'Q';
  platform::WindowEvent repeat = key;
  repeat.key = 'R';
  repeat.repeat = true;  // the system's repeat of a key never pressed here: ignored
  for (const auto& e : {move, key, repeat}) window.Push(e);
  ::testing::internal::CaptureStderr();
  window.Push({K::kCloseAsked, -1});  // answered "no": the game goes on
  view.Run(3, 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Do you want to exit"), std::string::npos) << err;
  const std::string vars = exe.Read("vars.txt");
  EXPECT_NE(vars.find("mx\t整数\t30\n"), std::string::npos) << vars;
  EXPECT_NE(vars.find("q\tフラグ\tTRUE\n"), std::string::npos) << vars;
  EXPECT_NE(vars.find("r\tフラグ\tFALSE\n"), std::string::npos) << vars;
}

TEST_F(StartupSteps, AMissingGameFolderIsNotTheCurrentOne) {
  TFormView view(window, Recorded({{"no-such-game"}, exe.Path(), ""}));
  ::testing::internal::CaptureStderr();
  view.Create();
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(view.StartupFailed());
  EXPECT_EQ(FileManager().GameFolder(), "no-such-game/");
}

TEST(CommandLine, OptionsAndParameters) {
  TProgramOptions o;
  std::string error;
  ASSERT_TRUE(
      ParseCommandLine({"--headless", "--trace", "t", "g", "--frames", "5", "a.exe"}, o, error));
  EXPECT_TRUE(o.Headless);
  EXPECT_EQ(o.TraceFile, "t");
  EXPECT_EQ(o.Frames, 5);
  EXPECT_EQ(o.Params, (std::vector<std::string>{"g", "a.exe"}));
  EXPECT_FALSE(ParseCommandLine({"--trace"}, o, error));
  EXPECT_FALSE(ParseCommandLine({"--frames", "-1"}, o, error));
  EXPECT_FALSE(ParseCommandLine({"--frames", "x"}, o, error));
  EXPECT_FALSE(ParseCommandLine({"--fullscreen"}, o, error));
  EXPECT_FALSE(ParseCommandLine({"--input", "f"}, o, error));  // only headless runs take input
  ASSERT_TRUE(ParseCommandLine({"/CONFIG"}, o, error));
  // A pretended monitor for headless runs.
  ASSERT_TRUE(
      ParseCommandLine({"--headless", "--display-modes", "800x600x32@60,640x480x16"}, o, error))
      << error;
  EXPECT_EQ(o.DisplayModes,
            (std::vector<platform::DisplayMode>{{800, 600, 32, 60}, {640, 480, 16, 0}}));
  EXPECT_FALSE(ParseCommandLine({"--display-modes", "800x600x32"}, o, error));  // windowed
  for (const char* bad :
       {"", "800x600", "800x600x12", "800x600x32@", "800x600x32@60,", "0x600x32", "800x600x32x1",
        "-800x600x32", "123456x600x32", "800 x600x32", "800x600x32@123456"}) {
    std::vector<platform::DisplayMode> modes;
    EXPECT_FALSE(ParseDisplayModes(bad, modes)) << bad;
  }
  EXPECT_EQ(GameFolderKey("/games/Demo"), "-GAMES-DEMO-");
  EXPECT_EQ(GameFolderKey("/games/Demo/"), "-GAMES-DEMO-");
  EXPECT_EQ(GameFolderKey("/config"), "-CONFIG-");
}

// The system seen by the entry: a given file system and no display.
class FakeSystem : public IProgramSystem {
 public:
  std::string exe, fs = "ext4";
  int windows = 0;
  std::string ExecutablePath() override { return exe; }
  std::string FileSystemTypeOf(const std::string&) override { return fs; }
  std::unique_ptr<platform::IGameWindow> CreateWindow(std::string& error) override {
    ++windows;
    error = "none";
    return nullptr;
  }
  bool SetUpNativeDialogs() override { return false; }
};

class ProgramEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::InstanceLock::SetRuntimeFolderForTesting(runtime.Path());
    SetFileManager(std::make_unique<TVrFileManager>());
    FileManager().SetCdRoots({});
    platform::ClearTraceHistory();
    sys.exe = exe / "quenplay";
  }
  void TearDown() override {
    platform::InstanceLock::SetRuntimeFolderForTesting("");
    platform::SetDialogs(nullptr);
    SetFileManager(nullptr);
  }
  testing::TempDir runtime, exe;
  FakeSystem sys;
};

TEST_F(ProgramEntry, RefusesToRunFromADisc) {
  TProgramOptions o;
  o.Headless = true;
  for (const char* fs : {"iso9660", "udf"}) {
    sys.fs = fs;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunProgram(o, sys), kExitNormal);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(platform::TraceHistory().empty());
  }
}

TEST_F(ProgramEntry, OnePlayerPerGameFolder) {
  testing::TempDir game;
  std::string canonical = platform::CanonicalPath(game.Path());
  std::string error;
  auto held = platform::InstanceLock::Acquire(GameFolderKey(canonical), error);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(platform::InstanceLock::Acquire(GameFolderKey(canonical), error), nullptr);
  TProgramOptions o;
  o.Headless = true;
  o.Params = {game.Path()};
  // A refused second player says so and fails.
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunProgram(o, sys), kExitStartupEnded);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("another player runs this game"),
            std::string::npos);
  EXPECT_TRUE(platform::TraceHistory().empty());
  held.reset();
  // A lock file that is a link fails closed too.
  const std::string lock_file =
      runtime.Path() + "/" + platform::InstanceLockFileName(GameFolderKey(canonical));
  platform::RemoveFile(lock_file);
  ASSERT_EQ(::symlink((game.Path() + "/elsewhere").c_str(), lock_file.c_str()), 0);
  EXPECT_EQ(platform::InstanceLock::Acquire(GameFolderKey(canonical), error), nullptr);
  platform::RemoveFile(lock_file);
  // Released: the player now runs (and ends at the missing project).
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunProgram(o, sys), kExitStartupEnded);
  ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(platform::TraceHistory().empty());
}

TEST_F(ProgramEntry, WithoutADisplayOnlyHeadlessRuns) {
  TProgramOptions o;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunProgram(o, sys), kExitStartupEnded);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("--headless"), std::string::npos);
}

TEST(InstanceLockName, ReadableOrHashed) {
  EXPECT_EQ(platform::InstanceLockFileName("-GAMES-DEMO-"), "-GAMES-DEMO-.lock");
  EXPECT_EQ(platform::InstanceLockFileName("-A B-"), "-A%20B-.lock");
  std::string longer(300, 'A');
  std::string name = platform::InstanceLockFileName(longer);
  EXPECT_LT(name.size(), 64u);
  EXPECT_NE(name, platform::InstanceLockFileName(longer + "B"));
  EXPECT_EQ(platform::InstanceLockFileName("..").rfind("h-", 0), 0u);
}

}  // namespace
}  // namespace quen
