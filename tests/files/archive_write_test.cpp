#include <gtest/gtest.h>

#include <random>

#include "base/error.h"
#include "files/big_stream.h"
#include "files/vr_file.h"
#include "support/archive_builder.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

using testing::TempDir;

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

struct Written {
  TVrFileCollection back;
  std::string bytes;
};

void WriteAndReopen(TVrFileCollection& c, Written& w, const std::string& prefix = "") {
  TKvMemoryStream out;
  out.WriteBuffer(prefix.data(), static_cast<int64_t>(prefix.size()));
  ASSERT_TRUE(c.Write(out));
  w.bytes = out.Data();
  TKvMemoryStream dir(w.bytes);
  dir.SetPosition(static_cast<int64_t>(prefix.size()));
  w.back.ReadDirectory(dir, dir.GetSize());
}

TEST(ArchiveWrite, ChoosesStoredOrDeflatedByTheRules) {
  TempDir dir;
  dir.Write("big.wav", RandomBytes(6 << 20, 1));    // never compressed by extension
  dir.Write("text.txt", std::string(100000, 'a'));  // compresses well
  std::string almost = RandomBytes(95000, 2) + std::string(5000, '\0');
  dir.Write("almost.bin", almost);                 // shrinks only to about 95 %
  dir.Write("music.OGG", std::string(1000, 'x'));  // kept as is despite compressing well
  TVrFileCollection c;
  c.SetFolder(dir.Path());
  for (const char* n : {"big.wav", "TEXT.txt", "almost.bin", "music.ogg"}) c.AddEntry(n);
  TVrFile* mem = c.AddMemoryEntry("mem\\var.dat");
  mem->Memory->WriteBuffer("memory content", 14);
  TVrFile* big_mem = c.AddMemoryEntry("mem\\big");
  std::string six = std::string(6 << 20, 'm');
  big_mem->Memory->WriteBuffer(six.data(), static_cast<int64_t>(six.size()));

  Written w;
  WriteAndReopen(c, w);
  TVrFileCollection& b = w.back;
  EXPECT_EQ(b.Version(), 102);
  ASSERT_EQ(b.EntryCount(), 6);
  EXPECT_EQ(b.FindFile("big.wav")->Stored, 1);
  EXPECT_EQ(b.FindFile("text.txt")->Stored, 0);
  EXPECT_EQ(b.FindFile("almost.bin")->Stored, 1);
  EXPECT_EQ(b.FindFile("music.ogg")->Stored, 1);
  EXPECT_EQ(b.FindFile("mem\\var.dat")->Stored, 0);
  EXPECT_EQ(b.FindFile("mem\\big")->Stored, 1);
  EXPECT_NE(b.FindFile("text.txt")->FileTime, 0);
  // New entries carry checksums over their content.
  EXPECT_EQ(b.FindFile("text.txt")->ChecksumMode, 1);
  EXPECT_EQ(b.FindFile("text.txt")->Checksum, testing::Crc(std::string(100000, 'a')));

  TVrFileCollection r;
  r.OpenMemory(w.bytes);
  TKvMemoryStream out;
  r.ReadEntry("almost.bin", out);
  EXPECT_EQ(out.Data(), almost);
  out.Clear();
  r.ReadEntry("mem\\var.dat", out);
  EXPECT_EQ(out.Data(), "memory content");
}

TEST(ArchiveWrite, RewritesEntriesFromItsOwnCarrierAndKeepsOffsetsRelative) {
  TVrFileCollection c;
  c.OpenMemory(
      testing::BuildArchive(101, {{"a", std::string(2000, 'a'), true}, {"b", "bee", false}}));
  Written w;
  WriteAndReopen(c, w, "PROGRAM-BYTES");
  TVrFileCollection r;
  r.OpenMemory(w.bytes.substr(13));
  TKvMemoryStream out;
  r.ReadEntry("a", out);
  EXPECT_EQ(out.Data(), std::string(2000, 'a'));
  // Entries copied from a carrier checksum the bytes written.
  EXPECT_EQ(r.FindFile("a")->ChecksumMode, 0);
  EXPECT_EQ(r.FindFile("a")->Checksum, testing::Crc(r.ReadStored(*r.FindFile("a"))));
  // Directory offsets were written relative to the archive's start.
  EXPECT_EQ(w.back.FindFile("a")->Offset, r.FindFile("a")->Offset + 13);
}

TEST(ArchiveWrite, AFailingEntryNamesItself) {
  TVrFileCollection c;
  c.OpenMemory(testing::BuildArchive(100, {{"broken", "x"}}));
  // Damage the stored zlib bytes of the only entry through a second read of the carrier.
  std::string bytes = testing::BuildArchive(100, {{"broken", "x"}});
  bytes[bytes.size() - 3] ^= 0x55;
  bytes[bytes.size() - 2] ^= 0x55;
  TVrFileCollection d;
  d.OpenMemory(bytes);
  TKvMemoryStream out;
  try {
    d.Write(out);
    FAIL() << "no error";
  } catch (const EQuenError& e) {
    EXPECT_EQ(e.Message(), std::string("\x83\x47\x83\x89\x81\x5B:broken"));
  }
}

}  // namespace
}  // namespace quen
