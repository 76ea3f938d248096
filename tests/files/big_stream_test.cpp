#include "files/big_stream.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "platform/host_fs.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

using testing::TempDir;

TEST(BigFileStream, SpreadsOverNumberedPartsAndReadsAcrossThem) {
  TempDir dir;
  const std::string path = dir / "X.dat";
  std::string data;
  for (int i = 0; i < 35; ++i) data.push_back(static_cast<char>('a' + i % 26));
  {
    TKvBigFileStream s(path, TFileMode::fmCreate, 10);
    s.WriteBuffer(data.data(), 35);
    EXPECT_EQ(s.PartCount(), 4);
  }
  EXPECT_EQ(platform::FileSize(dir / "X.dat"), 10);
  EXPECT_EQ(platform::FileSize(dir / "X.001"), 10);
  EXPECT_EQ(platform::FileSize(dir / "X.003"), 5);
  {
    TKvBigFileStream s(path, TFileMode::fmOpenRead, 10);
    EXPECT_EQ(s.GetSize(), 35);
    s.SetPosition(8);
    char buf[20];
    s.ReadBuffer(buf, 20);
    EXPECT_EQ(std::string(buf, 20), data.substr(8, 20));
    EXPECT_EQ(s.Write("z", 1), 0);  // opened for reading only
  }
  // Without the second part file the stream ends after the first.
  platform::RemoveFile(dir / "X.001");
  {
    TKvBigFileStream s(path, TFileMode::fmOpenRead, 10);
    EXPECT_EQ(s.GetSize(), 10);
    char buf[20];
    EXPECT_EQ(s.Read(buf, 20), 10);
  }
  // Creating again deletes every old part first.
  { TKvBigFileStream s(path, TFileMode::fmCreate, 10); }
  EXPECT_FALSE(platform::PathExists(dir / "X.002"));
  EXPECT_EQ(platform::FileSize(path), 0);
  EXPECT_THROW(TKvBigFileStream(dir / "missing.dat", TFileMode::fmOpenRead), EQuenError);
}

TEST(BigFileStream, RealPartSizeOnSparseFiles) {
  TempDir dir;
  const std::string path = dir / "big.dat";
  {
    TKvBigFileStream s(path, TFileMode::fmCreate);
    s.SetPosition(0x3FFFFFFF);
    s.WriteBuffer("AB", 2);
    s.SetPosition(3LL * 0x40000000 - 1);
    s.WriteBuffer("C", 1);
  }
  EXPECT_EQ(platform::FileSize(path), 0x40000000);
  EXPECT_EQ(platform::FileSize(dir / "big.001"), 1);
  EXPECT_EQ(platform::FileSize(dir / "big.002"), 0x40000000);
  TKvBigFileStream s(path, TFileMode::fmOpenReadWrite);
  EXPECT_EQ(s.GetSize(), 3LL * 0x40000000);
  s.SetPosition(0x40000000);
  char b = 0;
  s.ReadBuffer(&b, 1);
  EXPECT_EQ(b, 'B');
}

TEST(BufferedReader, LeavesSourceRightAfterTheLastByteConsumed) {
  std::string data(300000, 'x');
  TKvMemoryStream src(data);
  src.SetPosition(7);
  {
    TKvBuffBigStream in(src);
    char buf[10];
    in.ReadBuffer(buf, 10);
    EXPECT_GT(src.GetPosition(), 17);  // it read ahead
  }
  EXPECT_EQ(src.GetPosition(), 17);
  {
    TKvBuffBigStream in(src);
    std::string big(250000, '\0');
    in.ReadBuffer(big.data(), 250000);
    EXPECT_EQ(in.Remaining(), 300000 - 17 - 250000);
    std::string rest(100000, '\0');
    EXPECT_THROW(in.ReadBuffer(rest.data(), 100000), EQuenError);
  }
  EXPECT_EQ(src.GetPosition(), 300000);
}

TEST(RangeStream, ClampsSeeksAndReadsToTheWindow) {
  TempDir dir;
  std::string data;
  for (int i = 0; i < 300; ++i) data.push_back(static_cast<char>(i));
  dir.Write("f.bin", data);
  TFileRangeStream r(dir / "f.bin", 100, 100);
  EXPECT_EQ(r.GetSize(), 100);
  EXPECT_EQ(r.Seek(-5, TSeekOrigin::soBeginning), 0);
  std::string buf(500, '\0');
  EXPECT_EQ(r.Read(buf.data(), 500), 100);
  EXPECT_EQ(buf.substr(0, 100), data.substr(100, 100));
  EXPECT_EQ(r.Read(buf.data(), 1), 0);
  EXPECT_EQ(r.Seek(50, TSeekOrigin::soEnd), 100);
  EXPECT_EQ(r.Seek(-10, TSeekOrigin::soCurrent), 90);
  EXPECT_EQ(r.Write("x", 1), 0);
  // Length 0 runs to the end of the file; a window past the end is cut to the file.
  TFileRangeStream whole(dir / "f.bin", 0, 250);
  EXPECT_EQ(whole.GetSize(), 50);
  TFileRangeStream beyond(dir / "f.bin", 100, 290);
  EXPECT_EQ(beyond.GetSize(), 10);
}

TEST(MemoryStreamFile, SavesThroughATemporaryFileAndLoadsBack) {
  TempDir dir;
  TKvBigMemoryStream m;
  m.WriteBuffer("save data", 9);
  dir.Write("save.dat", "old");
  m.SaveToFile(dir / "save.dat");
  EXPECT_EQ(dir.Read("save.dat"), "save data");
  EXPECT_FALSE(platform::PathExists(dir / "save.dat.~0.tmp"));
  TKvBigMemoryStream back;
  back.LoadFromFile(dir / "save.dat");
  EXPECT_EQ(back.Data(), "save data");
  // A folder that does not exist: the error is raised and nothing is left behind.
  EXPECT_THROW(m.SaveToFile(dir / "no/such/save.dat"), EQuenError);
}

}  // namespace
}  // namespace quen
