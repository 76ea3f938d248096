#include <gtest/gtest.h>

#include "authoring/record_text.h"
#include "base/error.h"
#include "runtime/install_set.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

// A record using every field, with numbers that need all 8 bytes.
TQuenInstallSet Sample(int version) {
  TQuenInstallSet r;
  r.Version = version;
  r.DiskIndex = 2;
  r.Title = "\x83Q\x81[\x83\x80";  // ゲーム
  r.Strings1 = {"a", "b", "c"};
  r.Byte1 = 1;
  r.String2 = "s2";
  r.Byte2 = 2;
  r.String3 = "s3";
  r.Int1 = -7;
  r.Byte3 = 3;
  r.Byte4 = 4;
  r.Strings4 = {"d", "e"};
  r.Items = {{1, -2, 3, 4}, {5, 6, 7, -8}};
  r.Numbers = {9, 10, -11, 12};
  r.Byte5 = 5;
  if (version > 99) {
    r.Items[0][0] = int64_t{1} << 40;
    r.Numbers[3] = -(int64_t{1} << 35);
  }
  if (version > 100) r.Byte6 = 6;
  if (version > 101) r.Files = {"save.dat", "data\\x.brx"};
  if (version > 102) r.FullInstall = true;
  if (version > 103) r.Byte7 = 7;
  if (version > 104) r.Byte8 = 8;
  if (version > 105) r.List9 = {"l1", "l2"};
  if (version > 106) r.String10 = "s10";
  if (version > 107) r.Strings11 = {"f", "g"};
  return r;
}

std::string Bytes(const TQuenInstallSet& r, int version) {
  TKvMemoryStream m;
  SaveInstallSetVersion(r, m, version);
  return m.Data();
}

TQuenInstallSet Load(const std::string& bytes) {
  TKvMemoryStream m(bytes);
  TQuenInstallSet r;
  r.LoadFromStream(m);
  return r;
}

TEST(InstallRecord, EveryVersionReadsWhatWasWritten) {
  for (int v : {0, 99, 100, 101, 102, 103, 104, 105, 106, 107, 108}) {
    SCOPED_TRACE(v);
    TQuenInstallSet in = Sample(v);
    std::string bytes = Bytes(in, v);
    EXPECT_EQ(bytes.substr(0, 2) == "is", v != 0);
    TQuenInstallSet out = Load(bytes);
    EXPECT_EQ(out.Version, v);
    EXPECT_EQ(InstallToText(out), InstallToText(in));
  }
}

TEST(InstallRecord, WritingBackAnOldRecordKeepsEveryField) {
  for (int v : {0, 99, 102, 105, 107}) {
    SCOPED_TRACE(v);
    TQuenInstallSet old = Load(Bytes(Sample(v), v));
    TKvMemoryStream m;
    old.SaveToStream(m);
    ASSERT_EQ(m.Data().substr(0, 5), "is108");
    TQuenInstallSet back = Load(m.Data());
    EXPECT_EQ(back.Version, 108);
    // Same fields, the 4-byte numbers widened with their sign, the missing ones neutral.
    TQuenInstallSet expect = old;
    expect.Version = 108;
    EXPECT_EQ(InstallToText(back), InstallToText(expect));
    if (v <= 99) {
      EXPECT_EQ(back.Items[0][1], -2);
      EXPECT_EQ(back.Numbers[2], -11);
    }
    if (v <= 102) {
      EXPECT_FALSE(back.FullInstall);
    }
  }
}

TEST(InstallRecord, ALaterInstallersAdditionsSurviveAWrite) {
  std::string bytes = Bytes(Sample(108), 108);
  bytes[4] = '9';  // "is109"
  bytes += std::string("\x05\x00new", 5);
  TQuenInstallSet r = Load(bytes);
  EXPECT_EQ(r.Version, 109);
  EXPECT_EQ(r.Tail, std::string("\x05\x00new", 5));
  r.AddFile("x.bmp");
  TKvMemoryStream m;
  r.SaveToStream(m);
  TQuenInstallSet back = Load(m.Data());
  EXPECT_EQ(back.Tail, r.Tail);
  EXPECT_EQ(back.Files.back(), "x.bmp");
  EXPECT_EQ(ParseInstallText(InstallToText(back)).Tail, r.Tail);
}

TEST(InstallRecord, InstalledFileListAddsOnceIgnoringCase) {
  TQuenInstallSet r = Sample(108);
  EXPECT_FALSE(r.AddFile("SAVE.DAT"));
  EXPECT_TRUE(r.AddFile("shot001.bmp"));
  EXPECT_EQ(r.Files.size(), 3u);
}

TEST(InstallRecord, DamagedFilesRaiseAndLeaveTheRecordAlone) {
  std::string good = Bytes(Sample(108), 108);
  for (size_t cut = 0; cut < good.size(); ++cut) {
    TQuenInstallSet r = Sample(105);
    TKvMemoryStream m(good.substr(0, cut));
    EXPECT_THROW(r.LoadFromStream(m), EQuenError) << cut;
    EXPECT_EQ(r.Version, 105);
  }
  // A version tag that is not three digits, and an item count far beyond the bytes.
  EXPECT_THROW(Load("is1x8" + good.substr(5)), EQuenError);
  std::string huge = good;
  size_t count_at = 5 + 4 + (4 + 6) + 3 * (4 + 1) + 1 + (4 + 2) + 1;
  huge[count_at + 3] = 0x7F;
  EXPECT_THROW(Load(huge), EQuenError);
  huge[count_at + 3] = static_cast<char>(0xFF);  // negative
  EXPECT_THROW(Load(huge), EQuenError);
}

TEST(InstallRecord, FilesOnDiskAndTheTextForm) {
  testing::TempDir dir;
  TQuenInstallSet r = ParseInstallText(
      "version 103\n"
      "disk_index 1\n"
      "title \"デモ\"\n"
      "item 1 2 3 4\n"
      "file \"a.dat\"\n"
      "file \"b.dat\"\n"
      "full_install 1\n");
  EXPECT_EQ(r.Title, "\x83\x66\x83\x82");
  EXPECT_EQ(r.Files.size(), 2u);
  r.SaveToFile(dir / "install.dat");
  TQuenInstallSet back;
  back.LoadFromFile(dir / "install.dat");
  EXPECT_TRUE(back.FullInstall);
  EXPECT_EQ(back.Items.size(), 1u);
  EXPECT_THROW(ParseInstallText("version 101\nfull_install 1\n"), EQuenError);
  EXPECT_THROW(ParseInstallText("version 99\nitem 1 2 3 4294967296\n"), EQuenError);
  EXPECT_THROW(ParseInstallText("title \"x\"\n"), EQuenError);
  EXPECT_THROW(ParseInstallText("version 109\n"), EQuenError);
  EXPECT_THROW(back.LoadFromFile(dir / "missing.dat"), EQuenError);
}

}  // namespace
}  // namespace quen
