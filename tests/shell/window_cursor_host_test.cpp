#include "shell/window_cursor_host.h"

#include <gtest/gtest.h>

#include "files/file_manager.h"
#include "platform/host_fs.h"
#include "support/cursor_builder.h"

namespace quen {
namespace {

TEST(WindowCursor, FileCursorsReachTheWindowAndBadOnesLeaveItAlone) {
  std::string dir = platform::MakePrivateTempDir("qpcursor-");
  ASSERT_FALSE(dir.empty());
  ASSERT_TRUE(platform::WriteFileAtomically(dir + "/hand.cur", testing::MakeCur(24)));
  ASSERT_TRUE(platform::WriteFileAtomically(dir + "/broken.cur", std::string("\0\0\2\0", 4)));
  SetFileManager(std::make_unique<TVrFileManager>());
  FileManager().SetGameFolder(dir);

  platform::HeadlessWindow window;
  TWindowCursorHost host(window);
  EXPECT_TRUE(host.ShowFileCursor("HAND.CUR"));
  EXPECT_EQ(window.Cursor(), "image 2x2 hot 1,0");
  ASSERT_EQ(window.CursorPixels().size(), 4u);
  EXPECT_EQ(window.CursorPixels()[0] >> 24, 0xFFu);  // top left is opaque
  EXPECT_EQ(window.CursorPixels()[1] >> 24, 0u);     // top right is masked out
  EXPECT_FALSE(host.ShowFileCursor("missing.cur"));
  EXPECT_FALSE(host.ShowFileCursor("broken.cur"));
  EXPECT_EQ(window.Cursor(), "image 2x2 hot 1,0");
  host.ShowArrow();
  EXPECT_EQ(window.Cursor(), "arrow");

  SetFileManager(nullptr);
  platform::RemoveTree(dir);
}

}  // namespace
}  // namespace quen
