#include "files/file_manager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/error.h"
#include "platform/host_fs.h"
#include "support/archive_builder.h"
#include "support/pe_builder.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

using testing::BuildArchive;
using testing::TempDir;

std::string Load(TVrFileManager& m, const std::string& name) {
  TKvMemoryStream out;
  out.WriteBuffer("stale", 5);
  m.LoadFile(out, name);
  EXPECT_EQ(out.GetPosition(), 0);
  return out.Data();
}

class FileManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.Write("game.dat", BuildArchive(102, {{"Data\\Pic.png", "archived"},
                                             {"data\\only.txt", "only in archive"},
                                             {"big.wav", std::string(3000, 'w')},
                                             {"packed.txt", std::string(3000, 'p'), false}}));
    platform::MakeDirectory(dir / "DATA");
    dir.Write("DATA/pic.PNG", "loose");
    dir.Write("DATA/disk.txt", "on disk");
    m.SetCdRoots({});
    m.SetGameFolder(dir.Path());
    m.AddOverlay();
    ASSERT_EQ(m.AddArchive(dir / "game.dat"), 1);
  }
  TempDir dir;
  TVrFileManager m;
};

TEST_F(FileManagerTest, LooseFilesReplaceArchiveEntriesWhenLoading) {
  EXPECT_EQ(Load(m, "data\\pic.png"), "loose");
  EXPECT_EQ(Load(m, "DATA\\ONLY.TXT"), "only in archive");
  EXPECT_TRUE(m.FileExists("data\\pic.png"));
  EXPECT_TRUE(m.FileExists("data\\disk.txt"));
  EXPECT_FALSE(m.FileExists(""));
  EXPECT_FALSE(m.FileExists("data\\..\\game.dat"));
  EXPECT_EQ(m.AddArchive(dir / "GAME.dat"), -1);
  TKvMemoryStream out;
  try {
    m.LoadFile(out, "nothing.txt");
    FAIL();
  } catch (const EQuenError& e) {
    EXPECT_EQ(e.Message(),
              "nothing.txt:"
              "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1");
  }
}

TEST_F(FileManagerTest, MemoryEntriesOfTheOverlayComeFirstAmongArchives) {
  TVrFile* e = m.Collection(0)->AddMemoryEntry("data\\only.txt");
  e->Memory->WriteBuffer("written by script", 17);
  EXPECT_EQ(Load(m, "data\\only.txt"), "written by script");
  // An overlay entry without memory is skipped.
  m.Collection(0)->AddEntry("big.wav");
  EXPECT_EQ(Load(m, "big.wav"), std::string(3000, 'w'));
}

TEST_F(FileManagerTest, RealPathsAreSharedPrivateExtractions) {
  std::string p1 = m.GetRealPath("data\\only.txt");
  std::string p2 = m.GetRealPath("DATA\\only.txt");
  EXPECT_EQ(p1, p2);
  EXPECT_EQ(m.Locks().size(), 1u);
  EXPECT_EQ(m.Locks()[0].RefCount, 2);
  EXPECT_NE(p1.find("/~qn00000000.txt"), std::string::npos);
  struct stat st;
  ASSERT_EQ(stat(m.TempFolder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  std::string p3 = m.GetRealPath("packed.txt");
  EXPECT_NE(p3.find("/~qn00000001.txt"), std::string::npos);
  TKvBigMemoryStream content;
  content.LoadFromFile(p3);
  EXPECT_EQ(content.Data(), std::string(3000, 'p'));
  EXPECT_EQ(m.GetRealPath("data\\pic.png"), dir / "DATA/pic.PNG");
  EXPECT_EQ(m.GetRealPath("nowhere.bin"), "nowhere.bin");
}

TEST_F(FileManagerTest, RangesWindowTheCarrierOrHandOutContent) {
  auto r = m.OpenRange("big.wav");
  EXPECT_EQ(r->GetSize(), 3000);
  std::string buf(4000, '\0');
  EXPECT_EQ(r->Read(buf.data(), 4000), 3000);
  EXPECT_EQ(buf.substr(0, 3000), std::string(3000, 'w'));
  auto p = m.OpenRange("packed.txt");
  EXPECT_EQ(p->GetSize(), 3000);
  auto loose = m.OpenRange("data\\disk.txt");
  EXPECT_EQ(loose->GetSize(), 7);
  EXPECT_THROW(m.OpenRange("none"), EQuenError);
}

TEST_F(FileManagerTest, ListFolderJoinsArchivesAndDisk) {
  std::vector<std::string> list;
  m.ListFolder("data", list);
  EXPECT_EQ(list, (std::vector<std::string>{"Pic.png", "only.txt", "disk.txt"}));
}

TEST(FileManagerResource, ReadsAnArchiveFromAWindowsExecutableResource) {
  TempDir dir;
  std::string archive = BuildArchive(102, {{"quen.qpb", "project"}, {"bgm.ogg", "ogg-bytes"}});
  dir.Write("game.exe", testing::BuildPe("BINTYPE", "DUMMY", archive));
  TVrFileManager m;
  m.SetCdRoots({});
  ASSERT_EQ(m.AddResourceArchive(dir / "game.exe", "dummy", "bintype"), 0);
  EXPECT_EQ(Load(m, "quen.qpb"), "project");
  auto r = m.OpenRange("bgm.ogg");
  std::string buf(9, '\0');
  r->ReadBuffer(buf.data(), 9);
  EXPECT_EQ(buf, "ogg-bytes");
  EXPECT_THROW(m.AddResourceArchive(dir / "game.exe", "OTHER", "BINTYPE"), EQuenError);
  dir.Write("plain.bin", "not a program");
  EXPECT_THROW(m.AddResourceArchive(dir / "plain.bin", "DUMMY", "BINTYPE"), EQuenError);
  // Damaged tables: every truncation of the program fails cleanly or reads.
  std::string pe = testing::BuildPe("BINTYPE", "DUMMY", archive);
  for (size_t len = 0; len < pe.size(); len += 7) {
    dir.Write("cut.exe", pe.substr(0, len));
    TVrFileManager cut;
    cut.SetCdRoots({});
    try {
      cut.AddResourceArchive(dir / "cut.exe", "DUMMY", "BINTYPE");
    } catch (const EQuenError&) {
    }
  }
}

struct FakeHost : IDiskPromptHost {
  std::vector<std::string> calls;
  int ok_answers_before_disc = 0;
  TempDir* disc = nullptr;
  bool exit_answer = false;
  bool AskForDisk(int d) override {
    calls.push_back("disk" + std::to_string(d));
    if (ok_answers_before_disc-- == 0) {
      disc->Write("game.dat", BuildArchive(102, {{"disc2.txt", "second disc"}}));
      disc->Write("install.dat", "record");
    }
    return !exit_answer;
  }
  bool AskExit() override {
    calls.push_back("exit");
    return true;
  }
  bool InstallMatches(const std::string&, int index) override { return index == 1; }
  void RequestTerminate() override { calls.push_back("terminate"); }
};

TEST(DiskPrompt, SwapsTheDiscArchiveAndAsksUntilTheRightDiscIsIn) {
  TempDir game, disc;
  disc.Write("game.dat", BuildArchive(102, {{"disc1.txt", "first disc"}}));
  TVrFileManager m;
  m.SetCdRoots({disc.Path()});
  m.AddOverlay();
  m.AddArchive(disc / "game.dat");
  EXPECT_TRUE(m.FileExists("disc1.txt"));
  FakeHost host;
  host.disc = &disc;
  host.ok_answers_before_disc = 1;  // the first OK finds no second disc yet
  m.SetDiskPromptHost(&host);
  EXPECT_TRUE(m.PromptForDisk(2));
  EXPECT_EQ(host.calls, (std::vector<std::string>{"disk2", "disk2"}));
  EXPECT_FALSE(m.FileExists("disc1.txt"));
  EXPECT_TRUE(m.FileExists("disc2.txt"));
  EXPECT_EQ(m.CollectionCount(), 2);

  FakeHost quitter;
  quitter.disc = &disc;
  quitter.exit_answer = true;
  quitter.ok_answers_before_disc = 100;
  m.SetDiskPromptHost(&quitter);
  EXPECT_FALSE(m.PromptForDisk(3));
  EXPECT_EQ(quitter.calls, (std::vector<std::string>{"disk3", "exit", "terminate"}));
}

}  // namespace
}  // namespace quen
