// The interpreter running assembled pages frame by frame: control flow, calls, waits, events
// and its saved state.
#include <gtest/gtest.h>

#include "authoring/page_text.h"
#include "base/error.h"
#include "components/prop_table.h"
#include "components/quen_base_list.h"
#include "components/quen_object.h"
#include "expr/param_collection.h"
#include "expr/sys_func_man.h"
#include "files/file_manager.h"
#include "platform/host_fs.h"
#include "runtime/call_man.h"

namespace quen {
namespace {

class Interp : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = platform::MakePrivateTempDir("interp") + "/";
    auto fm = std::make_unique<TVrFileManager>();
    fm->SetGameFolder(dir_);
    SetFileManager(std::move(fm));
    SetTerminateFlag(false);
    cm_ = std::make_unique<TCallMan>(vars_, funcs_, registry_);
    cm_->trace = [this](const std::string& l) { trace_.push_back(l); };
  }
  void TearDown() override {
    cm_.reset();
    platform::RemoveTree(dir_);
    SetTerminateFlag(false);
  }
  void Page(const std::string& name, const std::string& text) {
    TPage p;
    AssemblePage(text, name, p);
    TKvMemoryStream m;
    p.SaveToStream(m);
    ASSERT_TRUE(platform::WriteFileAtomically(dir_ + name, m.Data()));
  }
  TCustomParam* Var(const std::string& name, uint8_t type = PT_INT) {
    if (auto* r = vars_.FindVariable(name)) return r->Value();
    bool ev = false;
    return vars_.Declare(name, type, VS_GLOBAL, ev)->Value();
  }
  int32_t Int(const std::string& name) { return Var(name)->GetAsInteger(); }
  void Frames(int n, int ms = 16) {
    for (int i = 0; i < n; ++i) {
      cm_->clock += ms;
      cm_->frame_ms = ms;
      cm_->Run();
    }
  }
  void Queue(const std::string& event, const TQuenObject* comp = nullptr,
             std::vector<std::string> args = {}) {
    TTimerData d;
    d.EventText = event;
    if (comp) d.Sender = comp->Handle();
    d.Args = std::move(args);
    events_.Add(std::move(d));
  }
  int Count(const std::string& needle) {
    int n = 0;
    for (const std::string& l : trace_) n += l.find(needle) != std::string::npos;
    return n;
  }

  std::string dir_;
  TParamCollection vars_;
  TSysFuncMan funcs_;
  TQuenBaseList registry_;
  TTimerList& events_ = registry_.Events();
  std::unique_ptr<TCallMan> cm_;
  std::vector<std::string> trace_;
};

TEST_F(Interp, NestedIfElseifElse) {
  Page("main.qsb",
       "If x == 1\n"
       "  Calc r = 1\n"
       "Elseif x == 2\n"
       "  Calc r = 2\n"
       "  If y == 1\n"
       "    Calc r = 20\n"
       "  Else\n"
       "    Calc r = 21\n"
       "Elseif x == 3\n"
       "  Calc r = 3\n"
       "Else\n"
       "  Calc r = 4\n"
       "Calc done = done + 1\n");
  struct Case {
    int x, y, r;
  };
  for (Case c : {Case{1, 0, 1}, Case{2, 1, 20}, Case{2, 0, 21}, Case{3, 0, 3}, Case{9, 0, 4}}) {
    Var("x")->SetAsInteger(c.x);
    Var("y")->SetAsInteger(c.y);
    Var("r")->SetAsInteger(0);
    Var("done")->SetAsInteger(0);
    cm_->StartPage("main.qsb");
    Frames(1);
    EXPECT_EQ(Int("r"), c.r) << c.x << "," << c.y;
    EXPECT_EQ(Int("done"), 1);
  }
}

TEST_F(Interp, WhileWithBreakAndContinue) {
  Page("main.qsb",
       "WhileInit i = 0\n"
       "While i < 10\n"
       "  Break i == 7\n"
       "  Continue i == 3\n"
       "  Calc s = s + i\n"
       "WhileLoop i = i + 1\n"
       "Call page=\"sub.qsb\"\n"
       "Calc after = k\n");
  // A Break with a negative target leaves the called page.
  Page("sub.qsb",
       "WhileInit k = 0\n"
       "While TRUE\n"
       "  Calc k = k + 1\n"
       "  Break target=-1 k == 5\n"
       "WhileLoop\n"
       "Calc k = 100\n");
  for (const char* v : {"i", "s", "k", "after"}) Var(v);
  cm_->StartPage("main.qsb");
  Frames(1);
  EXPECT_EQ(Int("s"), 0 + 1 + 2 + 4 + 5 + 6);
  EXPECT_EQ(Int("i"), 7);
  EXPECT_EQ(Int("after"), 5);
  EXPECT_EQ(cm_->Frames().Count(), 0);
}

TEST_F(Interp, CallsWithParametersAndResultsOfEveryType) {
  Page("main.qsb",
       "Call page=\"int.qsb\" result=ri args={20 + 1} args={\"two\"}\n"
       "Call page=\"float.qsb\" result=rf\n"
       "Call page=\"bool.qsb\" result=rb\n"
       "Call page=\"str.qsb\" result=rs args={\"a\"}\n"
       "Call page=\"str.qsb\" result=arr[1] args={\"q\\\"b\\\\\"}\n"
       "Jump page=\"end.qsb\" target=1\n"
       "Calc never = 1\n");
  Page("int.qsb",
       ".result int\nCalc @Result = @ParamCount * 100 + @StackCount\nCalc p0 = @ParamStr\n");
  Page("float.qsb", ".result float\nCalc @Result = 1.5\n");
  Page("bool.qsb", ".result bool\nCalc @Result = TRUE\nExit\nCalc @Result = FALSE\n");
  Page("str.qsb", ".result str\nCalc @Result = @ParamStr\n");
  Page("end.qsb", "Calc never = 2\nLabel there\nCalc jumped = 1\n");
  Var("ri");
  Var("rf", PT_FLOAT);
  Var("rb", PT_BOOL);
  Var("rs", PT_STR);
  Var("p0", PT_STR);
  Var("arr", PT_STR)->SetDims({3});
  Var("never");
  Var("jumped");
  cm_->StartPage("main.qsb");
  Frames(1);
  EXPECT_EQ(Int("ri"), 201);
  EXPECT_EQ(Var("p0")->GetAsString(), "21");
  EXPECT_EQ(Var("rf")->GetAsFloat(), 1.5L);
  EXPECT_TRUE(Var("rb")->GetAsBool());
  EXPECT_EQ(Var("rs")->GetAsString(), "a");
  // A result name that is no variable (an element) is assigned through an expression; quotes
  // and backslashes in the text stay as they were.
  EXPECT_EQ(Var("arr", PT_STR)->GetStrAt(1), "q\"b\\");
  EXPECT_EQ(Int("never"), 0);
  EXPECT_EQ(Int("jumped"), 1);
}

// An empty condition ({}) produces no value, so no conditional command acts on it; a condition
// left out of the text is assembled as TRUE.
TEST_F(Interp, EmptyConditionsDoNothingAndLeftOutOnesAreTrue) {
  Page("main.qsb",
       "If {}\n"
       "  Calc r = 1\n"
       "Elseif {}\n"
       "  Calc r = 2\n"
       "Else\n"
       "  Calc r = 3\n"
       "Jump target=a {}\n"
       "Calc j = 1\n"
       "Label a\n"
       "Jump target=b\n"
       "Calc k = 1\n"
       "Label b\n"
       "WhileInit i = 0\n"
       "While i < 3\n"
       "  Break {}\n"
       "  Continue {}\n"
       "  Calc n = n + 1\n"
       "WhileLoop i = i + 1\n"
       "Call page=\"\" target=0 result=res\n"
       "Call page=\"none.qsb\" result=res {}\n"
       "Call page=\"none.qsb\" result=res\n"
       "Call page=\"nine.qsb\" result=res\n"
       "Call page=\"nine.qsb\" result=fresh\n"
       "Jump page=\"\" target=0\n"
       "Exit {}\n"
       "Calc after = 1\n");
  Page("none.qsb", ".result 0\nCalc ran = ran + 1\nCalc @Result = 5\n");
  Page("nine.qsb", ".result 9\nCalc ran = ran + 10\nCalc @Result = 5\n");
  for (const char* v : {"r", "j", "k", "i", "n", "ran", "after"}) Var(v);
  Var("res")->SetAsInteger(7);
  cm_->StartPage("main.qsb");
  Frames(1);
  EXPECT_EQ(Int("r"), 3);
  EXPECT_EQ(Int("j"), 1);
  EXPECT_EQ(Int("k"), 0);
  EXPECT_EQ(Int("n"), 3);
  EXPECT_EQ(Int("ran"), 21);  // pages of result types 0 and 9 load and run
  EXPECT_EQ(Int("res"), 7);   // and return nothing
  EXPECT_EQ(vars_.FindVariable("fresh"), nullptr);
  EXPECT_EQ(Int("after"), 1);
}

TEST_F(Interp, ElevenPagesInTurnReloadTheLeastRecentlyUsed) {
  std::string main;
  for (int i = 0; i <= 10; ++i) {
    Page("p" + std::to_string(i) + ".qsb", "Calc n = n + 1\n");
    main += "Call page=\"p" + std::to_string(i) + ".qsb\"\n";
  }
  main += "Call page=\"p10.qsb\"\nCall page=\"p0.qsb\"\n";
  Page("main.qsb", main);
  Var("n");
  cm_->StartPage("main.qsb");
  Frames(1);
  EXPECT_EQ(Int("n"), 13);
  // main and p0..p10 loaded once each; p0 fell out and was loaded again.
  EXPECT_EQ(cm_->page_loads, 13);
  EXPECT_LE(cm_->Cache().size(), TCallMan::kCachedPages);
}

TEST_F(Interp, WaitForTimeAndForConditionAcrossFrames) {
  Page("main.qsb", "Wait time=50\nCalc a = 1\nWait flag\nCalc b = 1\nWait\nCalc c = 1\n");
  Var("a");
  Var("b");
  Var("flag")->SetAsInteger(1);
  Var("c");
  cm_->StartPage("main.qsb");
  // First frame only marks; then 16 ms per frame: 34, 18, 2, -14 and the Wait ends. The
  // frame ends after it, so the next command runs in the frame after.
  Frames(5);
  EXPECT_EQ(Int("a"), 0);
  Frames(1);
  EXPECT_EQ(Int("a"), 1);
  Frames(3);
  EXPECT_EQ(Int("b"), 0);
  Var("flag")->SetAsInteger(0);
  Frames(2);
  EXPECT_EQ(Int("b"), 1);
  Frames(50);
  EXPECT_EQ(Int("c"), 0);  // no condition, no time: waits until the script is reset
}

TEST_F(Interp, ABusyCommandThatAsksToContinueEndsTheFrame) {
  // A failing command has no effect; the script goes on after it.
  Page("main.qsb", "VarNew name=\"\"\nCalc x = 1\n");
  Var("x");
  cm_->StartPage("main.qsb");
  Frames(2);
  EXPECT_EQ(Int("x"), 1);
  // A Wait stored with continue set still lets the clock move between its runs.
  Page("wait.qsb", "Wait time=20 cont=1\nCalc x = 2\n");
  cm_->StartPage("wait.qsb");
  Frames(3);
  EXPECT_EQ(Int("x"), 1);
  Frames(1);
  EXPECT_EQ(Int("x"), 2);
}

TEST_F(Interp, TerminateAndExit) {
  Page("main.qsb", "Exit x == 0\nCalc y = 1\nTerminate\nCalc y = 2\n");
  Var("x");
  Var("y");
  bool closed = false;
  cm_->request_close = [&] { closed = true; };
  cm_->StartPage("main.qsb");
  Frames(2);
  EXPECT_EQ(Int("y"), 0);  // Exit at top level stops the script
  Var("x")->SetAsInteger(1);
  cm_->StartPage("main.qsb");
  Frames(1);
  EXPECT_EQ(Int("y"), 1);
  EXPECT_TRUE(TerminateFlag());
  EXPECT_TRUE(closed);
}

TEST_F(Interp, EventsRunAtLevelsOneTwoAndThree) {
  Page("main.qsb", "Label top\nCalc m = m + 1\nDoEvent\nJump target=top\n");
  Page("h.qsb",
       "Label a\nCalc who = @Sender\nWait time=40\nExit\n"
       "Label b\nCalc hb = hb + 1\nWait time=40\nExit\n"
       "Label c\nCalc hc = hc + 1\n");
  for (const char* v : {"m", "hb", "hc"}) Var(v);
  Var("who", PT_STR);
  cm_->StartPage("main.qsb");
  Frames(1);
  TQuenObject* btn = registry_.CreateComponent(LT_BUTTON);
  ASSERT_NE(btn, nullptr);
  btn->SetName("btn");
  Queue("h.qss:a", btn);
  Frames(1);
  EXPECT_EQ(Var("who")->GetAsString(), "btn");
  ASSERT_EQ(events_.Count(), 1);
  EXPECT_EQ(events_[0].Level, 1);
  EXPECT_EQ(cm_->state, 2);
  Queue("h.qss:b");
  Frames(1);
  EXPECT_EQ(Int("hb"), 1);
  ASSERT_EQ(events_.Count(), 2);
  EXPECT_EQ(events_[1].Level, 2);
  Queue("h.qss:c");
  Frames(1);
  EXPECT_EQ(Int("hc"), 1);
  EXPECT_EQ(Count("<Event>h.qsb(9)"), 1);
  EXPECT_EQ(Count("<Event>h.qsb(5)"), 1);
  EXPECT_EQ(Count("<Event>h.qsb(1)"), 1);
  int m = Int("m");
  Frames(10);
  EXPECT_EQ(events_.Count(), 0);
  EXPECT_EQ(cm_->state, 0);
  EXPECT_GT(Int("m"), m);
  // The trace line of a command: clock, page and line.
  EXPECT_EQ(trace_.front(), "00000010 : main.qsb(1)");
}

TEST_F(Interp, AnEventWithoutARunningPageReturnsToNothing) {
  Page("h.qsb", "Calc m = m + 1\n");
  Var("m");
  Queue("h.qss");
  Frames(2);
  EXPECT_EQ(Int("m"), 1);
  EXPECT_EQ(cm_->page, nullptr);
  EXPECT_EQ(events_.Count(), 0);
  EXPECT_EQ(cm_->state, 0);
}

TEST_F(Interp, TheEndPageRunsToItsReturnWithoutWaiting) {
  Page("end.qsb", "Call page=\"sub.qsb\"\nCalc e = e + 1\nWait time=1000\nCalc e = 100\n");
  Page("sub.qsb", "Calc e = e + 10\n");
  Var("e");
  cm_->Start("end.qsb");
  cm_->RunToReturn();
  EXPECT_EQ(Int("e"), 11);
}

TEST_F(Interp, AHandlerPageThatIsMissingLeavesTheEventQueued) {
  Page("main.qsb", "Calc m = m + 1\n");
  Var("m");
  cm_->page_available = [](const std::string& n) { return n != "gone.qsb"; };
  cm_->StartPage("main.qsb");
  Queue("gone.qss");
  Frames(2);
  EXPECT_EQ(Int("m"), 1);
  ASSERT_EQ(events_.Count(), 1);
  EXPECT_EQ(events_[0].Level, 0);
}

TEST_F(Interp, StateStreamRoundTripsWithAStartedWait) {
  Page("main.qsb", "Call page=\"sub.qsb\" result=r args={7}\nCalc done = 1\n");
  Page("sub.qsb", ".result str\nWait time=100\nCalc @Result = \"ok\"\n");
  Var("done");
  Var("r", PT_STR);
  cm_->StartPage("main.qsb");
  Frames(3);  // mark, 84, 68 left
  TKvMemoryStream saved;
  cm_->SaveToStream(saved);
  Frames(10);
  EXPECT_EQ(Int("done"), 1);
  Var("done")->SetAsInteger(0);
  Var("r")->SetAsString("");
  cm_.reset();
  cm_ = std::make_unique<TCallMan>(vars_, funcs_, registry_);
  saved.Seek(0, TSeekOrigin::soBeginning);
  cm_->LoadFromStream(saved, 140);
  EXPECT_EQ(saved.Remaining(), 0);
  EXPECT_EQ(cm_->ParamStr(0), "7");
  EXPECT_EQ(cm_->Frames().Count(), 1);
  Frames(5);  // 52, 36, 20, 4, -12: the Wait ends; the return runs in the next frame
  EXPECT_EQ(Int("done"), 0);
  Frames(1);
  EXPECT_EQ(Int("done"), 1);
  EXPECT_EQ(Var("r")->GetAsString(), "ok");
  TKvMemoryStream again;
  cm_->SaveToStream(again);
  // Saves before version 116 carry no level: it becomes 2.
  cm_->level = 5;
  TKvMemoryStream old;
  cm_->SaveToStream(old, 115);
  old.Seek(0, TSeekOrigin::soBeginning);
  cm_->LoadFromStream(old, 115);
  EXPECT_EQ(cm_->level, 2);
  EXPECT_EQ(old.Remaining(), 0);
}

TEST_F(Interp, DamagedStateStreamsFail) {
  Page("main.qsb", "Wait time=100\n");
  cm_->StartPage("main.qsb");
  Frames(2);
  TKvMemoryStream saved;
  cm_->SaveToStream(saved);
  const std::string& b = saved.Data();
  for (size_t n = 0; n < b.size(); ++n) {
    TKvMemoryStream cut(b.substr(0, n));
    EXPECT_THROW(cm_->LoadFromStream(cut, 140), EQuenError) << n;
  }
}

}  // namespace
}  // namespace quen
