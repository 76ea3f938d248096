#include <gtest/gtest.h>

#include "authoring/record_text.h"
#include "base/error.h"
#include "files/file_manager.h"
#include "platform/dialogs.h"
#include "runtime/install_set.h"
#include "runtime/messages.h"
#include "runtime/project.h"
#include "support/temp_dir.h"

#include "expr/param_collection.h"

namespace quen {
namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

// Records every box and answers from a list (OK, Yes when it runs out).
class RecordingDialogs : public platform::IDialogs {
 public:
  struct Box {
    std::string caption, text;
    MsgIcon icon;
    MsgButtons buttons;
  };
  std::vector<Box> boxes;
  std::vector<MsgAnswer> answers;

  void OpenUrl(const std::string&) override {}
  bool ChooseFile(FileDialog, const std::string&, const std::string&, std::string&) override {
    return false;
  }
  bool Interactive() const override { return false; }
  MsgAnswer MessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                       MsgButtons buttons) override {
    boxes.push_back({caption, text, icon, buttons});
    if (boxes.size() > 50) throw std::runtime_error("the prompts never end");
    if (answers.empty()) return buttons == MsgButtons::kYesNo ? MsgAnswer::kYes : MsgAnswer::kOk;
    MsgAnswer a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  void RunConfigDialog(platform::IConfigDialogLogic&, const platform::ConfigDialogTexts&) override {
  }
};

class RecordingHost : public IProjectHost {
 public:
  std::string title;
  bool closed = false;
  int restored = 0, written = 0;
  void TitleChanged(const std::string& t) override { title = t; }
  void RestoreStatus(TProject&) override { ++restored; }
  void WriteStatus(TProject&) override { ++written; }
  void RequestClose() override { closed = true; }
};

class ProjectStart : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFileManager(std::make_unique<TVrFileManager>());
    FileManager().SetCdRoots({});
    auto d = std::make_unique<RecordingDialogs>();
    dialogs = d.get();
    platform::SetDialogs(std::move(d));
  }
  void TearDown() override {
    platform::SetDialogs(nullptr);
    SetFileManager(nullptr);
  }

  void WriteProject(const testing::TempDir& where, const std::string& text) {
    TKvMemoryStream m;
    ParseProjectText(text).SaveToStream(m);
    where.Write("quen.qpb", m.Data());
  }
  void WriteInstall(const testing::TempDir& where, const std::string& title, bool full,
                    int disk = 0) {
    TQuenInstallSet r;
    r.Title = title;
    r.FullInstall = full;
    r.DiskIndex = disk;
    r.SaveToFile(where / "install.dat");
  }
  std::unique_ptr<TProject> Start(TStartupContext ctx, TParamCollection* vars = nullptr) {
    auto p = std::make_unique<TProject>(std::move(ctx), &host, vars);
    p->ScanDiscRoots = [this] { return disc_roots; };
    p->Create();
    return p;
  }

  RecordingDialogs* dialogs = nullptr;
  RecordingHost host;
  std::vector<std::string> disc_roots;
};

std::string EmptyArchive() {
  TVrFileCollection c;
  TKvMemoryStream m;
  c.Write(m);
  return m.Data();
}

constexpr char kGame[] =
    "version 115\ntitle \"Game\"\nscreen 640 480\nstart_page \"start.qsb\"\n"
    "disk_prompt \"Disk %d %s %n\"\nexit_prompt \"Bye\"\nstreaming_extensions \".wav.ogg\"\n"
    "folder_disk \"movie\" 2\n";

TEST_F(ProjectStart, MissingInstallationAsksForReinstalling) {
  testing::TempDir exe;
  auto p = Start({{}, exe.Path(), ""});
  EXPECT_TRUE(TerminateFlag());
  ASSERT_EQ(dialogs->boxes.size(), 1u);
  EXPECT_EQ(dialogs->boxes[0].caption, msg::kCaptionInformation);
  EXPECT_EQ(dialogs->boxes[0].text, msg::kNeedReinstall);
  EXPECT_EQ(dialogs->boxes[0].icon, MsgIcon::kInformation);
  p->Destroy();
  EXPECT_EQ(host.written, 0);  // nothing was read, so nothing may overwrite the status save
}

TEST_F(ProjectStart, FullInstallationBesideThePlayerStarts) {
  testing::TempDir exe;
  WriteInstall(exe, "Game", true);
  WriteProject(exe, kGame);
  exe.Write("start.qsb", "x");
  auto p = Start({{}, exe.Path(), ""});
  EXPECT_FALSE(TerminateFlag());
  EXPECT_TRUE(dialogs->boxes.empty());
  EXPECT_EQ(FileManager().GameFolder(), exe.Path());
  EXPECT_EQ(host.title, "Game");
  EXPECT_EQ(host.restored, 1);
  EXPECT_EQ(p->CenterX, 320);
  EXPECT_EQ(p->CenterY, 240);
  ASSERT_NE(p->CallMan(), nullptr);
  EXPECT_EQ(p->CallMan()->StartedPage(), "start.qsb");
  p->Destroy();
  EXPECT_EQ(host.written, 1);
}

TEST_F(ProjectStart, PartialInstallationFindsItsDisc) {
  testing::TempDir exe, wrong, disc;
  WriteInstall(exe, "Game", false);
  WriteProject(exe, kGame);
  WriteInstall(wrong, "Other", false);
  wrong.Write("game.dat", EmptyArchive());
  WriteInstall(disc, "Game", false);
  exe.Write("start.qsb", "x");
  disc.Write("game.dat", EmptyArchive());
  disc_roots = {wrong.Path(), disc.Path()};
  int before = FileManager().CollectionCount();
  auto p = Start({{}, exe.Path(), ""});
  EXPECT_FALSE(TerminateFlag());
  EXPECT_TRUE(dialogs->boxes.empty());
  ASSERT_EQ(FileManager().CollectionCount(), before + 1);
  EXPECT_NE(FileManager().Collection(before)->FileName().find(disc.Path()), std::string::npos);
}

TEST_F(ProjectStart, NoDiscPromptsUntilTheUserGivesUp) {
  testing::TempDir exe;
  WriteInstall(exe, "Game", false);
  WriteProject(exe, kGame);
  // Insert the disc? OK (search again), then Cancel; exit? Cancel (search again), Cancel; OK.
  dialogs->answers = {MsgAnswer::kOk, MsgAnswer::kCancel, MsgAnswer::kCancel, MsgAnswer::kCancel,
                      MsgAnswer::kOk};
  auto p = Start({{}, exe.Path(), ""});
  EXPECT_TRUE(TerminateFlag());
  ASSERT_EQ(dialogs->boxes.size(), 5u);
  EXPECT_EQ(dialogs->boxes[0].text, msg::kInsertDisc);
  EXPECT_EQ(dialogs->boxes[0].buttons, MsgButtons::kOkCancel);
  EXPECT_EQ(dialogs->boxes[1].text, msg::kInsertDisc);
  EXPECT_EQ(dialogs->boxes[2].text, msg::kDefaultExitPrompt);
  EXPECT_EQ(dialogs->boxes[3].text, msg::kInsertDisc);
  EXPECT_EQ(dialogs->boxes[4].text, msg::kDefaultExitPrompt);
}

TEST_F(ProjectStart, ProjectFileProblems) {
  testing::TempDir game;
  // A game folder given as a parameter: no installation lookup. No project at all: no box.
  auto p = Start({{game.Path()}, "/nonexistent/", ""});
  EXPECT_TRUE(TerminateFlag());
  EXPECT_TRUE(dialogs->boxes.empty());

  FileManager().SetGameFolder(game.Path());
  game.Write("quen.qpb", "");
  p = Start({{game.Path()}, "/nonexistent/", ""});
  EXPECT_TRUE(TerminateFlag());
  ASSERT_EQ(dialogs->boxes.size(), 1u);
  EXPECT_EQ(dialogs->boxes[0].caption, msg::kCaptionWarning);
  EXPECT_EQ(dialogs->boxes[0].text, msg::kProjectMissing);
  EXPECT_EQ(dialogs->boxes[0].icon, MsgIcon::kWarning);

  WriteProject(game, kGame);
  std::string bytes = game.Read("quen.qpb");
  bytes[0] = 116;
  game.Write("quen.qpb", bytes);
  try {
    Start({{game.Path()}, "/nonexistent/", ""});
    FAIL();
  } catch (const EQuenError& e) {
    // The system's text, then the file it concerns.
    EXPECT_EQ(e.Message(), std::string(msg::kProjectVersionUnsupported) + ": quen.qpb");
  }
  EXPECT_TRUE(TerminateFlag());

  WriteProject(game, kGame);
  dialogs->boxes.clear();
  p = Start({{game.Path()}, "/nonexistent/", ""});
  EXPECT_TRUE(TerminateFlag());
  ASSERT_EQ(dialogs->boxes.size(), 1u);
  EXPECT_EQ(dialogs->boxes[0].caption, msg::kCaptionWarning);
  EXPECT_EQ(dialogs->boxes[0].text, msg::kStartPageMissing);
  // The project itself was read: shutting down writes the status save.
  p->Destroy();
  EXPECT_EQ(host.written, 1);
}

TEST_F(ProjectStart, OriginalProjectReplacesTheFolderDiskList) {
  testing::TempDir game;
  FileManager().SetGameFolder(game.Path());
  WriteProject(game, kGame);
  game.Write("start.qsb", "x");
  TKvMemoryStream m;
  ParseProjectText("version 103\nfolder_disk \"voice\" 3\n").SaveToStream(m);
  game.Write("original_quen.qpb", m.Data());
  auto p = Start({{game.Path()}, "/nonexistent/", ""});
  EXPECT_FALSE(TerminateFlag());
  EXPECT_EQ(p->FolderDisks.DiskOf("voice\\a.wav"), 3);
  EXPECT_EQ(p->FolderDisks.DiskOf("movie\\a.avi"), 0);
}

TEST_F(ProjectStart, MissingFilesOfAnotherDisc) {
  testing::TempDir game, disc2;
  FileManager().SetGameFolder(game.Path());
  WriteProject(game, kGame);
  game.Write("start.qsb", "x");
  auto p = Start({{game.Path()}, "/nonexistent/", ""});
  ASSERT_FALSE(TerminateFlag());
  EXPECT_TRUE(p->EnsureFileAvailable("start.qsb"));
  EXPECT_FALSE(p->EnsureFileAvailable("nowhere.qsb"));       // on no disc
  EXPECT_FALSE(p->EnsureFileAvailable("movie\\music.ogg"));  // streamed: never prompts
  EXPECT_TRUE(dialogs->boxes.empty());
  // Disk 2 is asked for; the user gives up at the exit prompt.
  dialogs->answers = {MsgAnswer::kCancel, MsgAnswer::kOk};
  EXPECT_FALSE(p->EnsureFileAvailable("movie\\op.avi"));
  ASSERT_EQ(dialogs->boxes.size(), 2u);
  EXPECT_EQ(dialogs->boxes[0].caption, "Game");
  EXPECT_EQ(dialogs->boxes[0].text, "Disk 2 %s %n");
  EXPECT_EQ(dialogs->boxes[1].text, "Bye");
  EXPECT_TRUE(TerminateFlag());
  EXPECT_TRUE(host.closed);
}

TEST_F(ProjectStart, TheRightDiscIsTakenAfterThePrompt) {
  testing::TempDir game, other, disc2;
  FileManager().SetGameFolder(game.Path());
  WriteProject(game, kGame);
  game.Write("start.qsb", "x");
  auto p = Start({{game.Path()}, "/nonexistent/", ""});
  ASSERT_FALSE(TerminateFlag());
  // Disc 2 of another game, and the game's own disc 2 (disk index 1) holding the movie.
  WriteInstall(other, "Other", false, 1);
  other.Write("game.dat", EmptyArchive());
  WriteInstall(disc2, "Game", false, 1);
  TVrFileCollection c;
  TVrFile* e = c.AddMemoryEntry("movie\\op.avi");
  e->Memory->Data() = "film";
  TKvMemoryStream m;
  c.Write(m);
  disc2.Write("game.dat", m.Data());
  FileManager().SetCdRoots({other.Path(), disc2.Path()});
  EXPECT_TRUE(p->EnsureFileAvailable("movie\\op.avi"));
  ASSERT_EQ(dialogs->boxes.size(), 1u);
  EXPECT_EQ(dialogs->boxes[0].text, "Disk 2 %s %n");
  TKvMemoryStream film;
  FileManager().LoadFile(film, "movie\\op.avi");
  EXPECT_EQ(film.Data(), "film");
}

TEST(DiskPrompt, OnlyTheFirstNumberIsFormatted) {
  EXPECT_EQ(FormatDiskPrompt("\x83\x66\x83\x42\x83\x58\x83\x4E%d", 3),
            "\x83\x66\x83\x42\x83\x58\x83\x4E"
            "3");
  EXPECT_EQ(FormatDiskPrompt("%d%d %s 100%% %", 1), "1%d %s 100% %");
  // A double-byte character whose trail byte is '%' (0x25 is no trail byte, so use 0x81 0x93
  // "％" next to the directive).
  EXPECT_EQ(FormatDiskPrompt("\x81\x93%d", 2),
            "\x81\x93"
            "2");
}

TEST_F(ProjectStart, ProjectVariablesDoNotOverrideRestoredOnes) {
  testing::TempDir game;
  FileManager().SetGameFolder(game.Path());
  WriteProject(game, std::string(kGame) +
                         "var int \"Score\" 5\nvar str \"Name\" \"abc\"\nvar float \"R\" 2.5\n"
                         "var bool \"F\" 1\nvar 0 \"Any\"\n");
  game.Write("start.qsb", "x");
  TParamCollection vars;
  TParamCollectionItem* restored = vars.AddVariable(1);
  vars.SetVarName(restored, "score");
  restored->Value()->SetAsInteger(42);
  auto p = Start({{game.Path()}, "/nonexistent/", ""}, &vars);
  ASSERT_FALSE(TerminateFlag());
  EXPECT_EQ(vars.FindVariable("Score")->Value()->GetAsInteger(), 42);
  TParamCollectionItem* name = vars.FindVariable("Name");
  ASSERT_NE(name, nullptr);
  EXPECT_TRUE(name->status);
  EXPECT_EQ(name->Value()->GetAsString(), "abc");
  EXPECT_EQ(vars.FindVariable("R")->Value()->GetAsFloat(), 2.5L);
  EXPECT_TRUE(vars.FindVariable("F")->Value()->GetAsBool());
  EXPECT_NE(vars.FindVariable("Any"), nullptr);
}

}  // namespace
}  // namespace quen
