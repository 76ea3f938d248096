// Writes that a kill can interrupt, and the files such kills leave behind.
#include <gtest/gtest.h>
#include <utime.h>

#include <ctime>
#include <string>

#include "platform/host_fs.h"

namespace quen::platform {
namespace {

int CountTemporaries(const std::string& dir) {
  int n = 0;
  for (const DirEntry& e : ListDirectory(dir)) n += e.name.find(".~") != std::string::npos;
  return n;
}

TEST(AtomicWrite, LeftoversOfKilledWritersNeitherBlockNorPileUp) {
  const std::string dir = MakePrivateTempDir("atomic") + "/";
  const std::string target = dir + "save.dat";
  // Leftovers named like the temporaries of many killed writes, one an hour old.
  for (int i = 0; i < 120; ++i)
    ASSERT_TRUE(WriteFileAtomically(dir + "other" + std::to_string(i), "x"));
  for (int i = 0; i < 120; ++i) {
    const std::string left = target + ".~" + std::to_string(i) + ".tmp";
    ASSERT_TRUE(RenameFile(dir + "other" + std::to_string(i), left));
    if (i == 0) {
      struct utimbuf old {
        std::time(nullptr) - 3600, std::time(nullptr) - 3600
      };
      ASSERT_EQ(::utime(left.c_str(), &old), 0);
    }
  }
  ASSERT_TRUE(WriteFileAtomically(target, "new bytes"));
  std::string got;
  ASSERT_TRUE(ReadWholeFile(target, got, 100));
  EXPECT_EQ(got, "new bytes");
  // The hour-old one is gone; the fresh ones may belong to a writer still at work.
  EXPECT_FALSE(PathExists(target + ".~0.tmp"));
  EXPECT_EQ(CountTemporaries(dir), 119);
  RemoveTree(dir);
}

}  // namespace
}  // namespace quen::platform
