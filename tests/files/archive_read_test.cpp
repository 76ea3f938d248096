#include <gtest/gtest.h>

#include "base/error.h"
#include "files/vr_file.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

using testing::BuildArchive;
using testing::RawEntry;
using testing::TempDir;

std::string Content(TVrFileCollection& c, const std::string& name) {
  TKvMemoryStream out;
  c.ReadEntry(name, out);
  return out.Data();
}

// "ソ" (83 5C) carries a backslash as its trail byte.
const std::string kJapanese = "\x83\x5C\x81\x5B\x83\x58\\pic.png";

TEST(ArchiveRead, EveryVersionReadsItsEntries) {
  std::vector<RawEntry> entries = {
      {"a.txt", "alpha", true, 111, 1},
      {kJapanese, std::string(5000, 'p'), false, 222, 1},
      {"empty", "", true, 0, 0},
  };
  for (int version : {0, 100, 101, 102}) {
    SCOPED_TRACE(version);
    TVrFileCollection c;
    c.OpenMemory(BuildArchive(version, entries));
    EXPECT_EQ(c.Version(), version);
    ASSERT_EQ(c.EntryCount(), 3);
    EXPECT_EQ(c.Item(3)->Name(), "\\EOF\\");
    EXPECT_EQ(Content(c, "A.TXT"), "alpha");
    EXPECT_EQ(Content(c, kJapanese), std::string(5000, 'p'));
    EXPECT_EQ(Content(c, "empty"), "");
    const TVrFile* a = c.FindFile("a.txt");
    if (version > 100) {
      EXPECT_EQ(a->Stored, 1);
      EXPECT_EQ(a->FileTime, 111);
      EXPECT_EQ(c.FindFile(kJapanese)->Stored, 0);
      // Version 101 has no checksum modes: all are 0.
      EXPECT_EQ(c.FindFile("empty")->ChecksumMode, 0);
      EXPECT_EQ(a->ChecksumMode, version == 102 ? 1 : 0);
    } else {
      EXPECT_EQ(a->Stored, 0);  // old archives compress everything
    }
  }
}

TEST(ArchiveRead, LaterOfTwoEqualNamesWins) {
  TVrFileCollection c;
  c.OpenMemory(BuildArchive(102, {{"Dup.txt", "first"}, {"x", "x"}, {"dup.TXT", "second"}}));
  EXPECT_EQ(Content(c, "dup.txt"), "second");
}

TEST(ArchiveRead, VersionZeroStartsWithTheEntryCount) {
  std::string a = BuildArchive(0, {{"one", "1"}});
  EXPECT_EQ(a.substr(0, 4), std::string("\x01\x00\x00\x00", 4));
  TVrFileCollection c;
  c.OpenMemory(a);
  EXPECT_EQ(Content(c, "one"), "1");
}

TEST(ArchiveRead, DamagedDirectoriesRaiseTheSystemError) {
  const std::string good = BuildArchive(102, {{"a", "alpha"}, {"b", std::string(300, 'b'), false}});
  // Every truncation either reads (data cut off later fails on reading) or raises.
  for (size_t len = 0; len < good.size(); ++len) {
    TVrFileCollection c;
    try {
      c.OpenMemory(good.substr(0, len));
      for (int i = 0; i < c.EntryCount(); ++i) {
        TKvMemoryStream out;
        c.ReadEntry(*c.Entry(i), out);
      }
    } catch (const EQuenError&) {
    }
  }
  auto expect_error = [](const std::string& bytes) {
    TVrFileCollection c;
    EXPECT_THROW(c.OpenMemory(bytes), EQuenError);
  };
  // A huge entry count.
  std::string huge = good;
  huge[6] = '\xFF';
  huge[7] = '\xFF';
  huge[8] = '\xFF';
  huge[9] = '\x7F';
  expect_error(huge);
  // A negative count, a name length beyond the file, an unknown version.
  std::string negative = good;
  negative[9] = '\xFF';
  expect_error(negative);
  std::string long_name = good;
  long_name[10] = '\x00';
  long_name[13] = '\x10';
  expect_error(long_name);
  std::string future = good;
  future[2] = 103;
  expect_error(future);
}

TEST(ArchiveRead, OffsetsThatFallOrLeaveTheCarrierAreRefused) {
  // Version 100 offsets are plain Int32 XOR the key, easy to forge.
  auto forge = [](std::vector<uint32_t> offsets) {
    std::string a = "vf";
    testing::Put32(a, 100);
    testing::Put32(a, 2);
    uint32_t key = 0;
    auto next = [&key] { return key = key * 5u + 1583926047u; };
    for (const char* n : {"a", "b"}) {
      testing::Put32(a, 1);
      a.push_back(static_cast<char>(n[0] ^ static_cast<char>(next() & 0xFF)));
    }
    key = 0;
    for (uint32_t o : offsets) testing::Put32(a, o ^ next());
    a += std::string(64, 'z');
    return a;
  };
  TVrFileCollection ok;
  EXPECT_NO_THROW(ok.OpenMemory(forge({30, 40, 50})));
  EXPECT_EQ(ok.FindFile("a")->Size, 10);
  TVrFileCollection falling, outside, negative;
  EXPECT_THROW(falling.OpenMemory(forge({40, 30, 50})), EQuenError);
  EXPECT_THROW(outside.OpenMemory(forge({30, 40, 5000})), EQuenError);
  EXPECT_THROW(negative.OpenMemory(forge({0xFFFFFFF0u, 40, 50})), EQuenError);
  // Inflating garbage fails with the error too.
  TKvMemoryStream out;
  EXPECT_THROW(ok.ReadEntry("a", out), EQuenError);
}

TEST(ArchiveRead, TrailerAndSideDirectoryCarriers) {
  TempDir dir;
  std::string program =
      "\x7F"
      "ELF pretend program";
  std::string archive = BuildArchive(102, {{"start.qsb", "page"}});
  // Offsets in the directory are relative to the archive's start B.
  std::string exe = program + archive;
  testing::Put32(exe, static_cast<uint32_t>(program.size()));
  exe += "qn";
  dir.Write("game.exe", exe);
  TVrFileCollection c;
  c.Open(dir / "game.exe");
  EXPECT_EQ(Content(c, "start.qsb"), "page");
  EXPECT_EQ(c.Folder(), dir.Path());

  // Without "qn" the position before it is not trusted; a position past the end neither.
  std::string bad = exe;
  bad[bad.size() - 1] = 'x';
  dir.Write("bad.exe", bad);
  TVrFileCollection b;
  EXPECT_THROW(b.Open(dir / "bad.exe"), EQuenError);
  std::string far = exe;
  far[far.size() - 3] = '\x7F';
  dir.Write("far.exe", far);
  EXPECT_THROW(b.Open(dir / "far.exe"), EQuenError);
  dir.Write("tiny.exe", "qn");
  EXPECT_THROW(b.Open(dir / "tiny.exe"), EQuenError);

  // A side directory: data.pak holds only data, data.ext the directory.
  std::string full = BuildArchive(102, {{"x.txt", "from side"}});
  dir.Write("data.pak", full);
  dir.Write("data.ext", full);
  dir.Write("other.pak", std::string(full.size(), '\0'));
  TVrFileCollection side;
  side.Open(dir / "data.pak");
  EXPECT_EQ(Content(side, "x.txt"), "from side");

  // A missing file leaves an empty collection whose folder is the name itself.
  TVrFileCollection missing;
  missing.Open(dir / "nothing.dat");
  EXPECT_EQ(missing.EntryCount(), 0);
  EXPECT_EQ(missing.Folder(), dir / "nothing.dat/");
}

}  // namespace
}  // namespace quen
