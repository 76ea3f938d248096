// The functions that write files: memory files and the save file (CopyFile), pictures of the
// screen (SaveScreen) and the wallpaper bitmap (SetWallPaper).
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "base/stream.h"
#include "components/prop_table.h"
#include "components/quen_base_list.h"
#include "expr/param_collection.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_man.h"
#include "files/big_stream.h"
#include "files/file_manager.h"
#include "imaging/brix_frame.h"
#include "imaging/dib_surface.h"
#include "platform/dialogs.h"
#include "platform/host_fs.h"
#include "runtime/install_set.h"
#include "runtime/sysfunc_files.h"
#include "runtime/sysfunc_register.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;

class Host : public ISystemHost {
 public:
  TQuenBaseList* Registry() override { return registry; }
  TQuenBaseList* registry = nullptr;
};

TColor ColorAt(const TDIBSurface& s, int32_t x, int32_t y) {
  const uint8_t* p = s.ScanLine(y) + x * 3;  // 24 bits: blue, green, red
  return static_cast<TColor>(p[2] | (p[1] << 8) | (p[0] << 16));
}

TBrixFrameList ReadPicture(const std::string& bytes) {
  TKvMemoryStream m(bytes);
  TBrixFrameList list;
  list.LoadFromStream(m);
  return list;
}

class FileFuncs : public ::testing::Test {
 protected:
  void SetUp() override {
    game_ = tmp_ / "game/";
    platform::MakeDirectory(game_);
    auto fm = std::make_unique<TVrFileManager>();
    fm->SetGameFolder(game_);
    fm->AddOverlay();
    SetFileManager(std::move(fm));
    CreatedFilesList().clear();
    registry_.SetSize(8, 6);
    registry_.ActiveRoot().WriteProp(PR_COLOR, TPropValue::OfInt(kRed));
    registry_.InactiveRoot().WriteProp(PR_COLOR, TPropValue::OfInt(kBlue));
    host_.registry = &registry_;
    RegisterFileFunctions(funcs_, host_);
  }
  void TearDown() override {
    SetFileManager(nullptr);
    CreatedFilesList().clear();
  }

  std::string Run(const std::string& call) {
    bool evaluate = false;
    TParamCollectionItem* out = vars_.FindVariable("out");
    if (!out) out = vars_.Declare("out", PT_STR, VS_GLOBAL, evaluate);
    out->Value()->SetAsString("<unset>");
    RunText("out = " + call, vars_, funcs_);
    return out->Value()->GetAsString();
  }
  void PutMemory(const std::string& name, const std::string& content) {
    FileManager().Collection(0)->AddMemoryEntry(name)->Memory->Data() = content;
  }
  std::string Load(const std::string& name) {
    TKvMemoryStream m;
    FileManager().LoadFile(m, name);
    return m.Data();
  }
  static std::optional<std::string> SaveEntry(const std::string& save, const std::string& name) {
    TVrFileCollection c;
    c.Open(save);
    if (!c.FindFile(name)) return std::nullopt;
    TKvMemoryStream m;
    c.ReadEntry(name, m);
    return m.Data();
  }

  testing::TempDir tmp_;
  std::string game_;
  TQuenBaseList registry_;
  Host host_;
  TParamCollection vars_;
  TSysFuncMan funcs_;
};

TEST_F(FileFuncs, SaveScreenRefusesWhatItMustNotWrite) {
  EXPECT_EQ(Run("SaveScreen(\"shot.png\")"), "FALSE");
  EXPECT_EQ(Run("SaveScreen(\"mem:shot.bmp\")"), "FALSE");
  // Sizes beyond the cap, or below 1, write nothing and allocate nothing.
  EXPECT_EQ(Run("SaveScreen(\"big.brx\", 100000, 10)"), "FALSE");
  EXPECT_EQ(Run("SaveScreen(\"big.brx\", 10, 8193)"), "FALSE");
  EXPECT_EQ(Run("SaveScreen(\"big.brx\", -1)"), "FALSE");
  // Never outside the game folder, never into a folder that is not there.
  EXPECT_EQ(Run("SaveScreen(\"..\\\\out.brx\")"), "FALSE");
  EXPECT_EQ(Run("SaveScreen(\"nofolder\\\\pic.brx\")"), "FALSE");
  EXPECT_TRUE(platform::ListDirectory(game_).empty());
  EXPECT_FALSE(platform::PathExists(tmp_ / "out.brx"));
  EXPECT_EQ(FileManager().Collection(0)->EntryCount(), 0);
  FileManager().SetGameFolder(tmp_ / "gone");
  EXPECT_EQ(Run("SaveScreen(\"mem:shot.brx\")"), "FALSE");
}

TEST_F(FileFuncs, SaveScreenWritesTheActiveOrTheOtherBase) {
  platform::MakeDirectory(game_ + "Sub");
  EXPECT_EQ(Run("SaveScreen(\"shot.brx\")"), "TRUE");
  // The extension and the folder are matched without regard to case.
  EXPECT_EQ(Run("SaveScreen(\"sub\\\\OTHER.BRX\", 0, 0, TRUE)"), "TRUE");
  TBrixFrameList shot = ReadPicture(tmp_.Read("game/shot.brx"));
  ASSERT_EQ(shot.Count(), 1);
  const TDIBSurface& p = shot.Frame(0).Picture;
  EXPECT_EQ(p.Width(), 8);
  EXPECT_EQ(p.Height(), 6);
  EXPECT_EQ(p.BitCount(), 24);
  EXPECT_EQ(ColorAt(p, 0, 0), kRed);
  EXPECT_EQ(ColorAt(p, 7, 5), kRed);
  TBrixFrameList other = ReadPicture(tmp_.Read("game/Sub/OTHER.BRX"));
  EXPECT_EQ(ColorAt(other.Frame(0).Picture, 3, 3), kBlue);
  EXPECT_TRUE(CreatedFilesList().empty());
}

TEST_F(FileFuncs, SaveScreenToMemoryAtAnotherSize) {
  EXPECT_EQ(Run("SaveScreen(\"mem:small.brx\", 3, 20)"), "TRUE");
  TBrixFrameList small = ReadPicture(Load("MEM:SMALL.BRX"));
  ASSERT_EQ(small.Count(), 1);
  EXPECT_EQ(small.Frame(0).Picture.Width(), 3);
  EXPECT_EQ(small.Frame(0).Picture.Height(), 20);
  EXPECT_EQ(ColorAt(small.Frame(0).Picture, 2, 19), kRed);
  // Only the width given: the height stays the screen's. The entry is rewritten in place.
  EXPECT_EQ(Run("SaveScreen(\"mem:small.brx\", 16)"), "TRUE");
  TBrixFrameList wide = ReadPicture(Load("mem:small.brx"));
  EXPECT_EQ(wide.Frame(0).Picture.Width(), 16);
  EXPECT_EQ(wide.Frame(0).Picture.Height(), 6);
  EXPECT_EQ(FileManager().Collection(0)->EntryCount(), 1);
  EXPECT_TRUE(platform::ListDirectory(game_).empty());
}

TEST_F(FileFuncs, SaveScreenRegistersCreatedAndInstalledFiles) {
  EXPECT_EQ(Run("SaveScreen(\"temp.brx\", 0, 0, FALSE, 1)"), "TRUE");
  EXPECT_EQ(Run("SaveScreen(\"temp.brx\", 0, 0, FALSE, 1)"), "TRUE");
  ASSERT_EQ(CreatedFilesList().size(), 1u);
  EXPECT_EQ(CreatedFilesList()[0], game_ + "temp.brx");

  // Without an installation record there is nothing to add to.
  EXPECT_EQ(Run("SaveScreen(\"inst.brx\", 0, 0, FALSE, 2)"), "TRUE");
  EXPECT_FALSE(platform::PathExists(game_ + "install.dat"));
  TQuenInstallSet record;
  record.Title = "t";
  record.Files = {"save.dat"};
  record.SaveToFile(game_ + "install.dat");
  EXPECT_EQ(Run("SaveScreen(\"inst.brx\", 0, 0, FALSE, 2)"), "TRUE");
  EXPECT_EQ(Run("SaveScreen(\"INST.brx\", 0, 0, FALSE, 2)"), "TRUE");
  EXPECT_EQ(Run("SaveScreen(\"mem:m.brx\", 0, 0, FALSE, 2)"), "TRUE");
  TQuenInstallSet back;
  back.LoadFromFile(game_ + "install.dat");
  EXPECT_EQ(back.Title, "t");
  EXPECT_EQ(back.Files, (std::vector<std::string>{"save.dat", "inst.brx"}));
  EXPECT_EQ(CreatedFilesList().size(), 1u);
}

TEST_F(FileFuncs, CopyFileCopiesMemoryFilesOnly) {
  PutMemory("mem:a.txt", "hello");
  tmp_.Write("game/disk.txt", "on disk");
  EXPECT_EQ(Run("CopyFile(\"MEM:A.TXT\", \"mem:b.txt\")"), "TRUE");
  EXPECT_EQ(Load("mem:b.txt"), "hello");
  // An existing target is emptied and refilled, not added twice.
  FileManager().FindEntry("mem:a.txt")->Memory->Data() = "hi";
  EXPECT_EQ(Run("CopyFile(\"mem:a.txt\", \"mem:b.txt\")"), "TRUE");
  EXPECT_EQ(Load("mem:b.txt"), "hi");
  EXPECT_EQ(FileManager().Collection(0)->EntryCount(), 2);
  // Copying a file onto itself keeps its content.
  EXPECT_EQ(Run("CopyFile(\"mem:a.txt\", \"MEM:a.txt\")"), "TRUE");
  EXPECT_EQ(Load("mem:a.txt"), "hi");

  EXPECT_EQ(Run("CopyFile(\"disk.txt\", \"mem:c.txt\")"), "FALSE");
  EXPECT_EQ(Run("CopyFile(\"mem:none.txt\", \"mem:c.txt\")"), "FALSE");
  EXPECT_EQ(Run("CopyFile(\"mem:a.txt\", \"\")"), "FALSE");
  EXPECT_FALSE(FileManager().FileExists("mem:c.txt"));
}

TEST_F(FileFuncs, SaveTargetsGoIntoTheSaveFileAndKeepItsEntries) {
  const std::string save = game_ + "save.dat";
  {
    TVrFileCollection c;
    c.AddMemoryEntry("GAMESAVEDATA1")->Memory->Data() = "slot one";
    c.AddMemoryEntry("STATUSSAVEDATA")->Memory->Data() = "status";
    TKvBigMemoryStream out;
    c.Write(out);
    out.SaveToFile(save);
  }
  PutMemory("mem:a.txt", "hello");
  EXPECT_EQ(Run("CopyFile(\"mem:a.txt\", \"save:copy.txt\")"), "TRUE");
  EXPECT_EQ(Run("SaveScreen(\"Save:shot.brx\", 4, 4)"), "TRUE");
  EXPECT_EQ(Load("save:copy.txt"), "hello");
  EXPECT_EQ(SaveEntry(save, "save:copy.txt"), "hello");
  EXPECT_EQ(SaveEntry(save, "save:shot.brx"), Load("save:shot.brx"));
  EXPECT_EQ(ReadPicture(*SaveEntry(save, "save:shot.brx")).Frame(0).Picture.Width(), 4);
  EXPECT_EQ(SaveEntry(save, "GAMESAVEDATA1"), "slot one");
  EXPECT_EQ(SaveEntry(save, "STATUSSAVEDATA"), "status");
  // Written again: one entry of the name, with the new content.
  FileManager().FindEntry("mem:a.txt")->Memory->Data() = "again";
  EXPECT_EQ(Run("CopyFile(\"mem:a.txt\", \"SAVE:COPY.TXT\")"), "TRUE");
  EXPECT_EQ(SaveEntry(save, "save:copy.txt"), "again");
  TVrFileCollection back;
  back.Open(save);
  EXPECT_EQ(back.EntryCount(), 4);
  // Renamed into place: nothing else is left beside the save file.
  EXPECT_EQ(platform::ListDirectory(game_).size(), 1u);

  // A save file that cannot be read is left as it is, and the call reports it.
  tmp_.Write("game/save.dat", "damaged");
  EXPECT_EQ(Run("CopyFile(\"mem:a.txt\", \"save:x.txt\")"), "FALSE");
  EXPECT_EQ(tmp_.Read("game/save.dat"), "damaged");
}

TEST_F(FileFuncs, SaveFileIsCreatedWhenMissing) {
  PutMemory("mem:a.txt", "hello");
  EXPECT_EQ(Run("CopyFile(\"mem:a.txt\", \"save:new.txt\")"), "TRUE");
  EXPECT_EQ(SaveEntry(game_ + "save.dat", "save:new.txt"), "hello");
}

class FileFuncsWallPaper : public FileFuncs {
 protected:
  void SetUp() override {
    FileFuncs::SetUp();
    if (const char* old = std::getenv("XDG_DATA_HOME")) old_xdg_ = old;
    setenv("XDG_DATA_HOME", (tmp_ / "data").c_str(), 1);
    // Headless: the bitmap is written, the desktop is left alone.
    platform::SetDialogs(std::make_unique<platform::HeadlessDialogs>());
  }
  void TearDown() override {
    if (old_xdg_)
      setenv("XDG_DATA_HOME", old_xdg_->c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
    FileFuncs::TearDown();
  }
  TDIBSurface Wall() {
    TKvMemoryStream m(tmp_.Read("data/quenplay/quenwall.bmp"));
    TDIBSurface s;
    s.LoadFromBitmapStream(m);
    return s;
  }
  std::optional<std::string> old_xdg_;
};

TEST_F(FileFuncsWallPaper, WritesTheScreenOrAPicture) {
  registry_.ActiveRoot().AddFullDirtyRect();
  registry_.ActiveRoot().DrawRoot();
  EXPECT_EQ(Run("SetWallPaper(\"\", 1)"), "TRUE");
  TDIBSurface screen = Wall();
  EXPECT_EQ(screen.Width(), 8);
  EXPECT_EQ(screen.Height(), 6);
  EXPECT_EQ(screen.BitCount(), 24);
  EXPECT_EQ(ColorAt(screen, 5, 2), kRed);

  TDIBSurface green;
  green.SetSize(2, 3, 24);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 2; ++x) green.ScanLine(y)[x * 3 + 1] = 0xFF;
  TKvMemoryStream bmp;
  green.SaveToBitmapStream(bmp, 24);
  PutMemory("mem:w.bmp", bmp.Data());
  EXPECT_EQ(Run("SetWallPaper(\"mem:w.bmp\", 0)"), "TRUE");
  TDIBSurface picture = Wall();
  EXPECT_EQ(picture.Width(), 2);
  EXPECT_EQ(picture.Height(), 3);
  EXPECT_EQ(ColorAt(picture, 1, 2), 0x00FF00);

  // A named picture that is not there: FALSE, the last bitmap stays.
  EXPECT_EQ(Run("SetWallPaper(\"missing.png\", 0)"), "FALSE");
  EXPECT_EQ(Wall().Width(), 2);
}

}  // namespace
}  // namespace quen
