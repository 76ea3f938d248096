#include <gtest/gtest.h>

#include "base/error.h"
#include "runtime/folder_disk_list.h"

namespace quen {
namespace {

TEST(FolderDiskList, DeepestListedFolderDecides) {
  TFolderDiskList l;
  l.Add("data", 1);
  l.Add("Data\\Movie\\", 2);
  l.Add("bgm\\theme.ogg", 3);
  EXPECT_EQ(l.DiskOf("data\\movie\\op.avi"), 2);
  EXPECT_EQ(l.DiskOf("DATA\\pic.brx"), 1);
  EXPECT_EQ(l.DiskOf("bgm\\THEME.OGG"), 3);
  EXPECT_EQ(l.DiskOf("bgm\\other.ogg"), 0);
  EXPECT_EQ(l.DiskOf(""), 0);
}

TEST(FolderDiskList, NamesThatMatchNothingEnd) {
  TFolderDiskList l;
  l.Add("x", 1);
  // Each of these once looped for ever on its own trailing delimiter.
  EXPECT_EQ(l.DiskOf("a\\b"), 0);
  EXPECT_EQ(l.DiskOf("a\\"), 0);
  EXPECT_EQ(l.DiskOf("\\"), 0);
  EXPECT_EQ(l.DiskOf("a\\\\b\\\\"), 0);
  EXPECT_EQ(l.DiskOf("x\\\\b"), 1);
}

TEST(FolderDiskList, DoubleByteCharactersAreNotDelimitersOrLetters) {
  TFolderDiskList l;
  // "ソ" is 83 5C: its trail byte is a backslash. "ａ" is 82 81, whose trail byte would turn
  // into 0xA1 if it were upper-cased as a letter.
  l.Add("\x83\x5C", 4);
  l.Add("\x82\x81", 5);
  EXPECT_EQ(l.DiskOf("\x83\x5C\\x.brx"), 4);
  EXPECT_EQ(l.DiskOf("\x83\x5C"), 4);
  EXPECT_EQ(l.DiskOf("\x82\x81\\y"), 5);
  EXPECT_EQ(l.DiskOf("q\x83\x5C"), 0);
}

TEST(FolderDiskList, StreamFormAndDamage) {
  TFolderDiskList l;
  l.Add("data\\movie", 2);
  l.Add("", -1);
  TKvMemoryStream m;
  l.SaveToStream(m);
  EXPECT_EQ(m.GetSize(), 4 + (4 + 10 + 4) + (4 + 0 + 4));
  m.SetPosition(0);
  TFolderDiskList back;
  back.LoadFromStream(m);
  ASSERT_EQ(back.Count(), 2);
  EXPECT_EQ(back.Entries()[0].Folder, "data\\movie");
  EXPECT_EQ(back.Entries()[1].Disk, -1);
  std::string bytes = m.Data();
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    TKvMemoryStream part(bytes.substr(0, cut));
    TFolderDiskList d;
    d.Add("keep", 9);
    EXPECT_THROW(d.LoadFromStream(part), EQuenError);
    EXPECT_EQ(d.DiskOf("keep"), 9);
  }
  std::string huge = "\xFF\xFF\xFF\x7F";
  TKvMemoryStream hm(huge);
  EXPECT_THROW(back.LoadFromStream(hm), EQuenError);
}

}  // namespace
}  // namespace quen
