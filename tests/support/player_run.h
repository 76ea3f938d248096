// Runs of the real player and tool programs on small games, with the player's per-user
// runtime folder kept inside the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quen {

inline const std::string kPlayer = std::string(QP_BINARY_DIR) + "/tools/quenplay/quenplay";
inline const std::string kTool = std::string(QP_BINARY_DIR) + "/tools/quentool";

struct Result {
  int status = -1;
  std::string err;
};

class PlayerRun : public ::testing::Test {
 protected:
  // Runs a command line with the player's per-user runtime folder kept inside the test.
  Result Run(const std::string& command, const std::string& out = "/dev/null") {
    std::string cmd = "XDG_RUNTIME_DIR=" + runtime.Path() + " " + command + " 2>" +
                      (work / "stderr.txt") + " >" + out;
    int raw = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.err = work.Read("stderr.txt");
    return r;
  }
  void Tool(const std::string& args) {
    ASSERT_EQ(Run(kTool + " " + args).status, 0) << args << ": " << work.Read("stderr.txt");
  }
  // A game folder from a project description and the files given.
  void MakeGame(const testing::TempDir& dir, const std::string& description,
                const std::vector<std::string>& files = {"start.qsb"}) {
    work.Write("project.txt", description);
    Tool("project " + (work / "project.txt") + " -o " + (dir / "quen.qpb"));
    for (const auto& f : files) dir.Write(f, "page");
  }
  // A compiled page from its text form.
  void Page(const testing::TempDir& dir, const std::string& name, const std::string& text) {
    work.Write("page.qs", text);
    Tool("asm " + (work / "page.qs") + " -o " + (dir / name));
  }
  std::vector<std::string> TraceLines(const std::string& path) {
    std::string text = work.Read(path);
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
      size_t lf = text.find('\n', pos);
      lines.push_back(text.substr(pos, lf - pos));
      pos = lf == std::string::npos ? text.size() : lf + 1;
    }
    return lines;
  }
  // The player copied into a folder of its own, for runs without parameters.
  std::string PlayerIn(const testing::TempDir& dir) {
    std::string copy = dir / "quenplay";
    std::string cmd = "cp " + kPlayer + " " + copy;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return copy;
  }

  testing::TempDir runtime, work, game;
};

}  // namespace quen
