// The system variables and functions that reach the running player: components, input state,
// the call stack, files, Calc and the desktop.
#include <gtest/gtest.h>

#include <iterator>

#include "authoring/page_text.h"
#include "components/prop_table.h"
#include "components/quen_base_list.h"
#include "components/quen_object.h"
#include "expr/db_manager.h"
#include "expr/param_collection.h"
#include "expr/param_system.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_man.h"
#include "files/file_manager.h"
#include "platform/dialogs.h"
#include "platform/host_fs.h"
#include "runtime/call_man.h"
#include "runtime/sysfunc_files.h"
#include "runtime/sysfunc_register.h"

namespace quen {
namespace {

class Host : public ISystemHost {
 public:
  TQuenBaseList* Registry() override { return registry; }
  TCallMan* CallMan() override { return call_man; }
  void MoveMouse(int32_t x, int32_t y) override { moved = {x, y}; }
  void OpenUrl(const std::string& url) override { opened.push_back(url); }
  TQuenBaseList* registry = nullptr;
  TCallMan* call_man = nullptr;
  TPoint moved{-1, -1};
  std::vector<std::string> opened;
};

class PlayerFuncs : public ::testing::Test {
 protected:
  void SetUp() override {
    host.registry = &registry;
    RegisterSystemVariables(vars, host);
    RegisterComponentFunctions(funcs, host);
    RegisterPlayerFunctions(funcs, host);
    RegisterFileFunctions(funcs, host);
    RegisterDesktopFunctions(funcs, host);
  }
  TCustomParam* Var(const std::string& name, uint8_t type) {
    if (auto* r = vars.FindVariable(name)) return r->Value();
    bool evaluate = false;
    return vars.Declare(name, type, VS_GLOBAL, evaluate)->Value();
  }
  std::string Str(const std::string& expr) {
    Var("out", PT_STR)->SetAsString("<unset>");
    RunText("out = " + expr, vars, funcs);
    return Var("out", PT_STR)->GetAsString();
  }

  TQuenBaseList registry;
  Host host;
  TParamCollection vars;
  TSysFuncMan funcs;
};

TEST_F(PlayerFuncs, InputStateVariablesFollowTheBaseAndTheirTypes) {
  TQuenBase& base = registry.ActiveRoot();
  // Text written to a flag is read as an integer: "TRUE" stores false, "1" true.
  TCustomParam* lclick = vars.FindVariable("@LClick")->Value();
  base.LeftPressed = true;
  lclick->SetAsString("TRUE");
  EXPECT_FALSE(base.LeftPressed);
  lclick->SetAsString("1");
  EXPECT_TRUE(base.LeftPressed);
  RunText("@LClick = FALSE", vars, funcs);
  EXPECT_FALSE(base.LeftPressed);
  base.RightDown = true;
  base.MouseX = 12;
  base.MouseY = 34;
  EXPECT_EQ(Str("@RPush"), "TRUE");
  EXPECT_EQ(Str("@MouseX ++ \",\" ++ @MouseY"), "12,34");
  RunText("@MouseX = 99", vars, funcs);
  EXPECT_EQ(host.moved.X, 99);
  EXPECT_EQ(host.moved.Y, 34);
  RunText("@RPush = FALSE", vars, funcs);  // read-only
  EXPECT_TRUE(base.RightDown);
  // The key arrays: 258 elements; the wheel flags at 256 and 257; anything else reads false,
  // inside expressions too.
  base.WheelUp = true;
  EXPECT_EQ(Str("@KeyPush[257]"), "TRUE");
  EXPECT_EQ(Str("@KeyPush[256]"), "FALSE");
  EXPECT_EQ(Str("@KeyPush[300]"), "FALSE");
  EXPECT_EQ(Str("@KeyPush[-1]"), "FALSE");
  EXPECT_EQ(vars.FindVariable("@KeyClick")->Value()->GetCount(), 258);
  // The tick counter of the system moves forward.
  EXPECT_NE(Str("@PCTickCount"), "");
  EXPECT_EQ(Str("@MidiPort"), "");
  EXPECT_EQ(vars.FindVariable("@MidiPorts")->Value()->GetCount(), 0);
}

TEST_F(PlayerFuncs, ComponentsByName) {
  TQuenObject* box = registry.CreateComponent(LT_BOX);
  ASSERT_NE(box, nullptr);
  box->SetName("box");
  box->AsControl()->SetParent(&registry.ActiveRoot());
  EXPECT_EQ(Str("Exists(\"box\")"), "TRUE");
  EXPECT_EQ(Str("Exists(\"\")"), "FALSE");  // not the root behind the empty name
  RunText("x = SetProp(\"box\", 3, 40)", vars, funcs);
  EXPECT_EQ(Str("GetProp(\"box\", 3)"), "40");
  // No such component: the target keeps its value.
  Var("n", PT_INT)->SetAsInteger(7);
  RunText("n = GetProp(\"nobody\", 3)", vars, funcs);
  EXPECT_EQ(Var("n", PT_INT)->GetAsInteger(), 0);  // a fresh temporary: 0
  EXPECT_EQ(Str("ToScreenX(\"box\", 5)"), "45");
  EXPECT_EQ(Str("ToClientX(\"box\", 45)"), "5");
  EXPECT_EQ(Str("ToClientX(\"nobody\", 45)"), "45");
  Var("names", PT_STR);
  EXPECT_EQ(Str("ListCompo(names, 2)"), "1");
  EXPECT_EQ(Var("names", PT_STR)->GetStrAt(0), "box");
  EXPECT_EQ(Str("ListCompo(names, 3)"), "0");
  EXPECT_EQ(Var("names", PT_STR)->GetCount(), 1);
  EXPECT_EQ(Var("names", PT_STR)->GetAsString(), "");
  EXPECT_EQ(Str("InPrimary(\"box\")"), "TRUE");
  EXPECT_EQ(Str("InCabinet(\"box\")"), "FALSE");
}

TEST_F(PlayerFuncs, CalcRunsTextAndReportsOnlyWhetherItCompiled) {
  Var("x", PT_INT)->SetAsInteger(1);
  EXPECT_EQ(Str("Calc(\"x = 5\")"), "TRUE");
  EXPECT_EQ(Var("x", PT_INT)->GetAsInteger(), 5);
  EXPECT_EQ(Str("Calc(\"x = (6\")"), "");
  EXPECT_EQ(Str("Calc(\"\")"), "");
  EXPECT_EQ(Var("x", PT_INT)->GetAsInteger(), 5);
}

TEST_F(PlayerFuncs, DeleteStackRenumbersTheOwnersOfLaterFrames) {
  TCallMan cm(vars, funcs, registry);
  host.call_man = &cm;
  for (int i = 0; i < 3; ++i) cm.PushFrame("");
  for (int owner = 0; owner <= 3; ++owner) {
    bool evaluate = false;
    auto* r = vars.Declare("v" + std::to_string(owner), PT_INT, VS_GLOBAL, evaluate);
    r->owner_frame = owner;
    vars.Touch();
  }
  EXPECT_EQ(Str("DeleteStack(5)"), "FALSE");
  EXPECT_EQ(cm.Frames().Count(), 3);
  EXPECT_EQ(Str("DeleteStack(1)"), "TRUE");
  EXPECT_EQ(cm.Frames().Count(), 2);
  EXPECT_EQ(vars.FindVariable("v1"), nullptr);
  EXPECT_EQ(vars.FindVariable("v0")->owner_frame, 0);
  EXPECT_EQ(vars.FindVariable("v2")->owner_frame, 1);
  EXPECT_EQ(vars.FindVariable("v3")->owner_frame, 2);
}

TEST_F(PlayerFuncs, FilesThroughTheFileManager) {
  const std::string dir = platform::MakePrivateTempDir("funcs") + "/";
  auto fm = std::make_unique<TVrFileManager>();
  fm->SetGameFolder(dir);
  SetFileManager(std::move(fm));
  ASSERT_TRUE(platform::WriteFileAtomically(dir + "list.txt", "one\r\ntwo\nthree"));
  ASSERT_TRUE(platform::WriteFileAtomically(dir + "empty.txt", ""));
  EXPECT_EQ(Str("FileExists(\"list.txt\")"), "TRUE");
  EXPECT_EQ(Str("FileExists(\"\")"), "FALSE");
  Var("lines", PT_STR)->SetAsString("kept");
  EXPECT_EQ(Str("LoadTextFile(lines, \"missing.txt\")"), "FALSE");
  EXPECT_EQ(Str("LoadTextFile(lines, \"empty.txt\")"), "FALSE");
  EXPECT_EQ(Var("lines", PT_STR)->GetAsString(), "kept");
  EXPECT_EQ(Str("LoadTextFile(lines, \"list.txt\")"), "TRUE");
  ASSERT_EQ(Var("lines", PT_STR)->GetCount(), 3);
  EXPECT_EQ(Var("lines", PT_STR)->GetStrAt(2), "three");
  // URLs and existing folders go to the desktop; anything else is left alone.
  Str("OpenUrl(\"https://example.org/\")");
  Str("OpenUrl(\"" + dir + "\")");
  Str("OpenUrl(\"mailto:nobody\")");
  EXPECT_EQ(host.opened, (std::vector<std::string>{"https://example.org/", dir}));
  SetFileManager(nullptr);
  platform::RemoveTree(dir);
}

TEST_F(PlayerFuncs, FileChoosersAndExtractFileAnswerFromTheScript) {
  auto owned = std::make_unique<platform::HeadlessDialogs>();
  platform::HeadlessDialogs& dialogs = *owned;
  platform::SetDialogs(std::move(owned));
  const std::string dir = platform::MakePrivateTempDir("extract") + "/";
  const std::string game = dir + "game/";
  ASSERT_TRUE(platform::MakeDirectory(game));
  ASSERT_TRUE(platform::WriteFileAtomically(game + "a.txt", "A"));
  ASSERT_TRUE(platform::WriteFileAtomically(game + "B.TXT", "B"));
  ASSERT_TRUE(platform::WriteFileAtomically(game + "c.dat", "C"));
  auto fm = std::make_unique<TVrFileManager>();
  fm->SetGameFolder(game);
  SetFileManager(std::move(fm));

  Var("path", PT_STR)->SetAsString("kept");
  dialogs.QueueAnswer("cancel");
  EXPECT_EQ(Str("SelectOpenFile(path, \"Text|*.txt\")"), "FALSE");
  EXPECT_EQ(Var("path", PT_STR)->GetAsString(), "kept");
  dialogs.QueueAnswer("path=/home/user/a b.txt");
  EXPECT_EQ(Str("SelectSaveFile(path)"), "TRUE");
  EXPECT_EQ(Var("path", PT_STR)->GetAsString(), "\\home\\user\\a b.txt");
  dialogs.QueueAnswer("path=/home/user");
  EXPECT_EQ(Str("SelectDirectory(path)"), "TRUE");
  EXPECT_EQ(Var("path", PT_STR)->GetAsString(), "\\home\\user\\");

  // A mask, case ignored; the destination and its parents are made.
  std::string out = dir + "out/deep/";
  for (char& ch : out)
    if (ch == '/') ch = '\\';
  Var("dest", PT_STR)->SetAsString(out);
  EXPECT_EQ(Str("ExtractFile(\"*.txt\", TRUE, dest)"), "TRUE");
  EXPECT_TRUE(platform::IsRegularFile(dir + "out/deep/a.txt"));
  EXPECT_TRUE(platform::IsRegularFile(dir + "out/deep/B.TXT"));
  EXPECT_FALSE(platform::PathExists(dir + "out/deep/c.dat"));
  // An existing target: "no" keeps it; for a batch, "yestoall" overwrites the rest unasked.
  ASSERT_TRUE(platform::WriteFileAtomically(dir + "out/deep/a.txt", "old"));
  dialogs.QueueAnswer("no");
  EXPECT_EQ(Str("ExtractFile(\"a.txt\", TRUE, dest)"), "FALSE");
  ASSERT_TRUE(platform::WriteFileAtomically(dir + "out/deep/B.TXT", "old"));
  Var("list", PT_STR)->SetDims({2});
  Var("list", PT_STR)->SetStrAt(0, "a.txt");
  Var("list", PT_STR)->SetStrAt(1, "B.TXT");
  dialogs.QueueAnswer("yestoall");
  EXPECT_EQ(Str("ExtractFile(list, TRUE, dest)"), "TRUE");
  std::string text;
  EXPECT_TRUE(platform::ReadWholeFile(dir + "out/deep/a.txt", text));
  EXPECT_EQ(text, "A");
  EXPECT_EQ(Str("ExtractFile(\"nothing.txt\", FALSE, dest)"), "FALSE");
  SetFileManager(nullptr);
  platform::SetDialogs(nullptr);
  platform::RemoveTree(dir);
}

TEST(SystemTables, EveryFunctionAndVariableIsServed) {
  TParamCollection vars;
  TSysFuncMan funcs;
  TQuenBaseList registry;
  Host host;
  TDBManager db;
  RegisterSystemVariables(vars, host);
  RegisterAllSystemFunctions(funcs, host, db);
  TCallMan cm(vars, funcs, registry);  // serves @Result, @ParamCount, @ParamStr, ...
  for (int i = 0; i < kSysFuncCount; ++i) EXPECT_TRUE(funcs.IsImplemented(i)) << kSysFuncs[i].name;
  for (int i = 0; i < kSystemVariableCount; ++i) {
    if (i == SV_TEMP) continue;  // stands for the variable AssignTemp names
    EXPECT_NE(vars.SystemTarget(i), nullptr) << kSystemVars[i].name;
  }
}

TEST(FontList, ServedWindowsFamiliesAreListed) {
  const std::string all = FontListText(false);
  EXPECT_NE(all.find("\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E"),
            std::string::npos);
  const std::string fixed = FontListText(true);
  EXPECT_EQ(fixed.find("\x82\x6C\x82\x72 \x82\x6F"), std::string::npos);
  EXPECT_NE(fixed.find("\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E"), std::string::npos);
  EXPECT_EQ(all.find("\r\n\r\n"), std::string::npos);
}

}  // namespace
}  // namespace quen
