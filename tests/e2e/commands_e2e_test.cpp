// A game that builds and drives its screen with the component commands, assembled by quentool
// and played headless; the variables and the component tree written at exit show the result.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/player_run.h"

namespace quen {
namespace {

class CommandsRun : public PlayerRun {
 protected:
  Result Play(const std::string& main) {
    work.Write(
        "project.txt",
        "version 115\ntitle \"t\"\nscreen 64 48\nstart_page \"main.qsb\"\n"
        "var int \"left\" 0\nvar int \"moved\" 0\nvar int \"kind\" 0\nvar int \"shown\" 0\n");
    Tool("project " + (work / "project.txt") + " -o " + (game / "quen.qpb"));
    work.Write("main.qs", main);
    Tool("asm " + (work / "main.qs") + " -o " + (game / "main.qsb"));
    // The dump of the compiled page assembles back to the same bytes.
    Tool("dump " + (game / "main.qsb") + " -o " + (work / "again.qs"));
    Tool("asm " + (work / "again.qs") + " -o " + (work / "again.qsb"));
    EXPECT_EQ(work.Read("again.qsb"), game.Read("main.qsb"));
    return Run(kPlayer + " --headless --dump-vars " + (work / "vars.txt") + " --dump-tree " +
               (work / "tree.txt") + " " + game.Path());
  }
  std::map<std::string, std::string> Vars() {
    std::map<std::string, std::string> out;
    for (const std::string& line : TraceLines("vars.txt")) {
      size_t tab = line.find('\t');
      if (tab != std::string::npos) out[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return out;
  }
};

TEST_F(CommandsRun, APageBuildsMovesFlipsAndSetsAside) {
  Result r = Play(
      "BoxNew name={\"title\"} left={4} top={4} width={20} height={10} color={255}\n"
      "Caption name={\"cap\"} parent={\"title\"} text={\"hi\"}\n"
      "BoxNew name={\"gone\"}\n"
      "Sound name={\"snd\"}\n"
      "SetProp comp={\"title\"} prop=left value={8}\n"
      "SetProp comp={\"title\"} prop=top\n"
      "GetProp comp={\"title\"} prop=compotype var=kind\n"
      "ObjDel comp={\"gone\"}\n"
      "MovieStop comp={\"snd\"} fade={0}\n"
      "Flip time={0} mode={0} names={\"\"}\n"
      "GetProp comp={\"title\"} prop=visible var=shown\n"
      "BoxNew name={\"slide\"} left={0} width={8} height={8}\n"
      "SaveCabinet name={\"keep\"} e1={TRUE}\n"
      "PropMotion name={\"m\"} target={\"slide\"} prop=left value={30} time={100}\n"
      "LoadCabinet name={\"keep\"} e1={TRUE}\n"
      "Wait time={200}\n"
      "GetProp comp={\"slide\"} prop=left var=moved\n"
      "GetProp comp={\"title\"} prop=left var=left\n"
      "Terminate\n");
  ASSERT_EQ(r.status, 0) << r.err;
  auto v = Vars();
  EXPECT_EQ(v["left"], "整数\t8");
  EXPECT_EQ(v["kind"], "整数\t2");
  EXPECT_EQ(v["shown"], "整数\t1");
  EXPECT_EQ(v["moved"], "整数\t30");
  const std::string tree = work.Read("tree.txt");
  // The flip showed root 1 with the title and its caption; gone and the sound were deleted.
  EXPECT_NE(tree.find("registry 64x48 active=1"), std::string::npos) << tree;
  EXPECT_NE(tree.find("  title TQuenBox LT_BOX pri=0 pos=8,4 size=20x10"), std::string::npos)
      << tree;
  EXPECT_NE(tree.find("    cap TQuenLabel"), std::string::npos) << tree;
  EXPECT_EQ(tree.find("gone"), std::string::npos) << tree;
  EXPECT_EQ(tree.find("snd"), std::string::npos) << tree;
  EXPECT_EQ(tree.find("keep"), std::string::npos) << tree;
}

}  // namespace
}  // namespace quen
