// The component, text, screen and reset commands run by the interpreter on assembled pages.
#include <gtest/gtest.h>

#include <algorithm>

#include "authoring/page_text.h"
#include "base/error.h"
#include "components/message_target.h"
#include "components/quen_base_list.h"
#include "components/quen_kinds.h"
#include "expr/param_collection.h"
#include "expr/sys_func_man.h"
#include "expr/sysfunc_register.h"
#include "files/file_manager.h"
#include "imaging/custom_wipe.h"
#include "platform/host_fs.h"
#include "runtime/call_man.h"
#include "runtime/text_pages.h"
#include "text/markup_compiler.h"

namespace quen {
namespace {

// A message box as the text commands see it.
class TFakeBox : public TQuenControl, public IMessageTarget {
 public:
  using TQuenControl::TQuenControl;
  const char* ClassName() const override { return "TFakeBox"; }
  void ClearReadTracking() override { log += "clear-read;"; }
  void StartReadTracking(const std::string& file, int32_t index) override {
    log += "read " + file + ":" + std::to_string(index) + ";";
  }
  void InsertTextPart(const std::string& file, int32_t index) override {
    log += "insert " + file + ":" + std::to_string(index) + ";";
    showing = true;
  }
  bool IsShowingText() const override { return showing; }
  void ClearText() override {
    log += "clear;";
    showing = false;
  }
  std::string log;
  bool showing = false;
};

class TCountingReadList : public IReadList {
 public:
  void Clear() override { ++clears; }
  int clears = 0;
};

// A transition that draws nothing: the driver's timing is what is watched.
class TStillWipe : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;

 protected:
  void DrawStep() override {}
};

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = platform::MakePrivateTempDir("commands") + "/";
    auto fm = std::make_unique<TVrFileManager>();
    fm->SetGameFolder(dir_);
    SetFileManager(std::move(fm));
    registry_.SetSize(32, 24);
    RegisterTextFunctions(funcs_);
    cm_ = std::make_unique<TCallMan>(vars_, funcs_, registry_);
  }
  void TearDown() override {
    cm_.reset();
    platform::RemoveTree(dir_);
  }
  void Page(const std::string& name, const std::string& text) {
    TPage p;
    AssemblePage(text, name, p);
    TKvMemoryStream m;
    p.SaveToStream(m);
    ASSERT_TRUE(platform::WriteFileAtomically(dir_ + name, m.Data()));
  }
  void Start(const std::string& text, const std::string& name = "main.qsb") {
    Page(name, text);
    cm_->StartPage(name);
  }
  TCustomParam* Var(const std::string& name) {
    if (auto* r = vars_.FindVariable(name)) return r->Value();
    bool ev = false;
    return vars_.Declare(name, PT_INT, VS_GLOBAL, ev)->Value();
  }
  int32_t Int(const std::string& name) { return Var(name)->GetAsInteger(); }
  // One frame: the scripts, then the registry's update pass (which deletes what was scrapped).
  void Frames(int n, int ms = 16) {
    for (int i = 0; i < n; ++i) {
      cm_->clock += ms;
      cm_->frame_ms = ms;
      cm_->Run();
      registry_.UpdateAll(ms);
    }
  }
  TQuenControl* Control(const std::string& name) {
    TQuenObject* o = registry_.FindComponent(name);
    return o ? o->AsControl() : nullptr;
  }
  std::vector<std::string> Names(const TQuenControl& parent) {
    std::vector<std::string> out;
    for (const TQuenControl* c : parent.Children()) out.push_back(c->Name());
    return out;
  }

  std::string dir_;
  TParamCollection vars_;
  TSysFuncMan funcs_;
  TQuenBaseList registry_;
  std::unique_ptr<TCallMan> cm_;
};

TEST_F(Commands, EveryCreationCommandMakesItsKind) {
  const std::vector<std::pair<std::string, uint8_t>> kinds = {{"BoxNew", LT_BOX},
                                                              {"ImgNew", LT_IMAGES},
                                                              {"MesNew", LT_MES},
                                                              {"Timer", LT_TIMER},
                                                              {"Movie", LT_VIDEO},
                                                              {"Cinema", LT_CINEMA},
                                                              {"Caption", LT_LABEL},
                                                              {"Menu", LT_MENU},
                                                              {"Button", LT_BUTTON},
                                                              {"ParticleNew", LT_PARTICLE},
                                                              {"FireNew", LT_FIRE},
                                                              {"Sound", LT_SOUND},
                                                              {"EditNew", LT_EDIT},
                                                              {"MemoNew", LT_MEMO},
                                                              {"MapImgNew", LT_MAPIMG},
                                                              {"WaveNew", LT_WAVE},
                                                              {"TileNew", LT_TILE},
                                                              {"SliderNew", LT_SLIDER},
                                                              {"ScrollbarNew", LT_SCROLLBAR},
                                                              {"GaugeNew", LT_GAUGE},
                                                              {"CGCaption", LT_CGLABEL},
                                                              {"PrevMenuNew", LT_PREVMENU}};
  std::string text;
  for (size_t i = 0; i < kinds.size(); ++i)
    text += kinds[i].first + " name={\"k" + std::to_string(i) + "\"}\n";
  Start(text);
  Frames(1);
  for (size_t i = 0; i < kinds.size(); ++i) {
    TQuenObject* o = registry_.FindComponent("k" + std::to_string(i));
    ASSERT_TRUE(o) << kinds[i].first;
    EXPECT_EQ(o->PropInt(PR_COMPOTYPE), kinds[i].second) << kinds[i].first;
    // Controls without a parent slot still land on the screen not shown.
    if (TQuenControl* c = o->AsControl()) {
      EXPECT_EQ(c->Parent(), &registry_.InactiveRoot());
    }
  }
}

TEST_F(Commands, PropertyListsFallBackAndKeepTheirRules) {
  Start(
      "BoxNew name={\"p\"} parent={\"\"}\n"
      "BoxNew name={\"b\"} parent={\"nope\"} visible={} color={} alpha={} left={3} top={4} "
      "tag={\"t1\"} compotype={7} width={1 / 0} height={6}\n"
      "BoxNew name={\"c\"} parent={\"p\"} name={\"\"}\n"
      "Caption name={\"l\"} fontstyle={255}\n");
  Frames(1);
  TQuenControl* b = Control("b");
  ASSERT_TRUE(b);
  EXPECT_EQ(b->Parent(), &registry_.InactiveRoot());
  EXPECT_TRUE(b->PropBool(PR_VISIBLE));
  EXPECT_EQ(b->PropInt(PR_COLOR), -1);
  EXPECT_EQ(b->PropInt(PR_ALPHA), 255);
  EXPECT_EQ(Control("l")->PropInt(PR_FONTSTYLE), 15);
  EXPECT_EQ(b->Tag(), "t1");
  EXPECT_EQ(b->PropInt(PR_COMPOTYPE), LT_BOX);
  // The width raised; the properties after it were applied all the same.
  EXPECT_EQ(b->Left(), 3);
  EXPECT_EQ(b->Height(), 6);
  ASSERT_TRUE(Control("p"));
  ASSERT_EQ(Control("p")->Children().size(), 1u);
}

TEST_F(Commands, GetSetAndDeleteByName) {
  Var("v");
  Var("after");
  Start(
      "BoxNew name={\"b\"} left={10}\n"
      "SetProp comp={\"b\"} prop={3} value={40}\n"
      "SetProp comp={\"b\"} prop={4}\n"
      "SetProp comp={\"none\"} prop={3} value={1}\n"
      "GetProp comp={\"b\"} prop={3} var=v\n"
      "GetProp comp={\"b\"} var=v\n"
      "Calc after = v + 1\n"
      "PropMotion e1={\"m\"} e2={\"b\"} e4={1}\n"
      "ObjDel comp={\"b\"}\n");
  Frames(1);
  EXPECT_EQ(Control("b")->Left(), 40);
  EXPECT_EQ(Control("b")->Top(), 0);
  EXPECT_EQ(Int("v"), 40);
  // A GetProp without property raises: the frame ends, the script goes on after it.
  EXPECT_EQ(Int("after"), 0);
  Frames(1);
  EXPECT_EQ(Int("after"), 41);
  // The PropMotion without property made nothing; ObjDel removed the box.
  Frames(1);
  EXPECT_EQ(registry_.FindComponent("m"), nullptr);
  EXPECT_EQ(registry_.FindComponent("b"), nullptr);
  EXPECT_EQ(registry_.ComponentCount(), 0);
}

TEST_F(Commands, PropMotionSetsItsFields) {
  Start(
      "BoxNew name={\"b\"}\n"
      "PropMotion e1={\"m\"} e2={\"b\"} e3={3} e4={100} e5={1000} e6={2} e7={TRUE}\n");
  Frames(1);
  auto* m = dynamic_cast<TQuenPropMotion*>(registry_.FindComponent("m"));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->TargetName(), "b");
  EXPECT_EQ(m->Code(), PR_LEFT);
  EXPECT_EQ(m->TargetValue(), 100);
  EXPECT_EQ(m->Duration(), 1000);
  EXPECT_EQ(m->MotionType(), MT_DEC);
  EXPECT_TRUE(m->PropBool(PR_PAUSED));
}

TEST_F(Commands, CabinetsSetChildrenAsideAndBringThemBack) {
  Start(
      "BoxNew name={\"a\"}\nBoxNew name={\"b\"}\nBoxNew name={\"c\"}\n"
      "SaveCabinet name={\"cab\"} e1={FALSE} list={\"b\"}\n"
      "SaveCabinet name={\"all\"} e1={TRUE}\n"
      "SaveCabinet name={\"empty\"} list={\"zzz\"}\n"
      "LoadCabinet name={\"all\"} e1={FALSE} list={\"c\"}\n");
  Frames(1);
  TQuenControl* cab = Control("cab");
  TQuenControl* all = Control("all");
  ASSERT_TRUE(cab && all);
  EXPECT_EQ(Names(*cab), std::vector<std::string>{"b"});
  EXPECT_EQ(Names(*all), std::vector<std::string>{"a"});
  EXPECT_EQ(Control("c")->Parent(), &registry_.InactiveRoot());
  EXPECT_EQ(cab->Parent(), &registry_.Root(0));
  Frames(1);
  EXPECT_EQ(registry_.FindComponent("empty"), nullptr);
}

TEST_F(Commands, FlipNameListsSwapAtOnceAndClearOldSparesCabinets) {
  Var("n");
  Start(
      "BoxNew name={\"a\"}\nBoxNew name={\"b\"}\nBoxNew name={\"c\"}\nBoxNew name={\"d\"}\n"
      "SaveCabinet name={\"cab\"} list={\"d\"}\n"
      // No list: the screens swap after the two waiting frames.
      "Flip time={0}\n"
      "Calc n = 1\n"
      // Lists at duration 0: moved and swapped within the frame.
      "Flip time={0} mode={1} names={\"a\" ++ Chr(13) ++ Chr(10) ++ \"b\"}\n"
      "Calc n = 2\n"
      "Flip time={0} mode={0} names={\"a\" ++ Chr(13) ++ Chr(10) ++ \"cab\"} clear={TRUE}\n"
      "Calc n = 3\n");
  Frames(2);
  EXPECT_EQ(Int("n"), 0);
  EXPECT_EQ(registry_.ActiveIndex(), 0);
  Frames(1);
  EXPECT_EQ(Int("n"), 3);
  EXPECT_EQ(registry_.ActiveIndex(), 1);
  std::vector<std::string> shown = Names(registry_.Root(1));
  std::sort(shown.begin(), shown.end());
  EXPECT_EQ(shown, (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(Control("a"), nullptr);
  ASSERT_TRUE(Control("cab"));
  EXPECT_EQ(Control("cab")->Parent(), &registry_.Root(0));
  EXPECT_EQ(Names(*Control("cab")), std::vector<std::string>{"d"});
}

TEST_F(Commands, FlipWithATransitionRunsOnTheGameClock) {
  registry_.SetTransitionFactory(
      [](int32_t, TCustomDIBX& target, TCustomDIBX& from, TCustomDIBX& to) {
        return std::make_unique<TStillWipe>(target, to, from);
      });
  Var("n");
  Start(
      "BoxNew name={\"a\"} parent={Chr(1)}\n"
      "Flip kind={-3} time={0}\n"
      "Flip time={0} mode={1} names={\"a\"}\n"
      "Calc n = 1\n"
      "Flip kind={1} time={500} mode={1} names={\"zzz\"}\n"
      "Calc n = 2\n");
  // A negative kind flips without a transition; mode 1 moved "a" back to root 0.
  Frames(3);
  EXPECT_EQ(Int("n"), 1);
  EXPECT_EQ(registry_.ActiveIndex(), 0);
  EXPECT_EQ(Control("a")->Root(), &registry_.Root(0));
  ASSERT_TRUE(registry_.RunningTransition());
  EXPECT_TRUE(registry_.FindComponent("\x01\x01"));
  // The first frame only waits, the second takes the start time, the third advances.
  Frames(2);
  EXPECT_EQ(registry_.RunningTransition()->Elapsed(), 16);
  Frames(30);
  EXPECT_EQ(Int("n"), 1);
  Frames(1);
  EXPECT_EQ(Int("n"), 2);
  EXPECT_EQ(registry_.ActiveIndex(), 1);
  EXPECT_EQ(registry_.RunningTransition(), nullptr);
  EXPECT_EQ(registry_.FindComponent("\x01\x01"), nullptr);
}

TEST_F(Commands, FlipOfDurationZeroWithContinueEndsItsFrame) {
  Var("n");
  Start("Flip kind={3} time={0} cont=1\nCalc n = 1\n");
  Frames(1);
  EXPECT_EQ(Int("n"), 0);
  Frames(2);
  EXPECT_EQ(Int("n"), 1);
}

TEST_F(Commands, MovieStopActsOnComponentsOnly) {
  Var("n");
  Start(
      "Sound name={\"s\"}\n"
      "MovieStop comp={Chr(1)} fade={0}\n"
      "MovieStop comp={\"s\"} fade={500} wait={TRUE}\n"
      "MovieStop comp={\"s\"} fade={0} wait={TRUE}\n"
      "Calc n = 1\n");
  Frames(1);
  EXPECT_EQ(Int("n"), 1);
  EXPECT_EQ(registry_.FindComponent("s"), nullptr);
  EXPECT_EQ(registry_.Root(1).Name(), TQuenBaseList::RootName(1));
}

TEST_F(Commands, TextCommandsReachTheBoxAndWaitWhileItShows) {
  auto* box = registry_.Create<TFakeBox>();
  box->SetName("mes");
  TCountingReadList reads;
  SetReadList(&reads);
  Var("n");
  Start(
      "TextIns e1={\"none\"} \"ignored\"\n"
      "TextIns e1={\"mes\"} e2={TRUE} e3={TRUE} \"hello\"\n"
      "Calc n = 1\n"
      "TextIns e1={\"mes\"} e3={TRUE} \"again\"\n"
      "Calc n = 2\n"
      "TextClr e1={\"mes\"}\n"
      "ClrRead\n");
  Frames(3);
  EXPECT_EQ(box->log, "clear-read;read main.qsb:1;insert main.qsb:1;");
  EXPECT_EQ(Int("n"), 0);
  TPageTextSource source(*cm_);
  std::string content;
  ASSERT_TRUE(source.FetchText("main.qsb", 1, content));
  EXPECT_EQ(content, CompileMarkup({"hello"}, 50));
  EXPECT_FALSE(source.FetchText("main.qsb", 2, content));
  EXPECT_FALSE(source.FetchText("missing.qsb", 1, content));
  box->showing = false;
  Frames(1);
  EXPECT_EQ(Int("n"), 1);
  // A box deleted while it shows ends the wait.
  registry_.Scrap(box);
  Frames(1);
  EXPECT_EQ(Int("n"), 2);
  EXPECT_EQ(reads.clears, 1);
  SetReadList(nullptr);
}

TEST_F(Commands, StateRecordsRoundTripTaggedAndUntagged) {
  for (uint8_t code : {uint8_t{20}, uint8_t{21}, uint8_t{13}}) {
    // Tagged: what SaveState wrote reads back to the same record.
    std::unique_ptr<TCommand> a = NewCommand(code);
    std::string body = code == 13 ? std::string("\x01\x01", 2)
                                  : std::string("\x03\x00\x00\x00", 4) + "box" + "\x01\x01";
    TKvMemoryStream in(std::string("quen100") + body);
    a->LoadState(in);
    std::unique_ptr<TStream> out;
    a->SaveState(out);
    ASSERT_TRUE(out);
    out->Seek(0, TSeekOrigin::soBeginning);
    EXPECT_EQ(ReadBytes(*out, out->GetSize()), "quen100" + body) << int(code);
    // Untagged records are read from their first byte; the blocks flag is absent in them
    // except for Flip, whose two flags are always there.
    std::unique_ptr<TCommand> b = NewCommand(code);
    std::string old = code == 13 ? body : body.substr(0, body.size() - 1);
    TKvMemoryStream in2(old);
    b->LoadState(in2);
    std::unique_ptr<TStream> out2;
    b->SaveState(out2);
    out2->Seek(0, TSeekOrigin::soBeginning);
    std::string expect = code == 13 ? "quen100" + body : "quen100" + old + std::string(1, '\0');
    EXPECT_EQ(ReadBytes(*out2, out2->GetSize()), expect) << int(code);
  }
}

TEST_F(Commands, ResetsRestartAtTheStoredIndexOnlyWhenThePageOpens) {
  Var("n");
  Var("m");
  Page("other.qsb", "Calc m = 100\nVarNew name=m type=int\nCalc m = m + 5\n");
  Start(
      "Calc n = n + 1\n"
      "BoxNew name={\"b\"}\n"
      "Reset page=\"missing.qsb\"\n"
      "PCReset page=\"other.qsb\" target=1\n");
  Frames(1);
  EXPECT_EQ(Int("n"), 1);
  EXPECT_EQ(Int("m"), 5);
  EXPECT_TRUE(Control("b"));
  Start("Calc n = 7\nBoxNew name={\"b\"}\nReset page=\"other.qsb\" target=1\n", "again.qsb");
  Frames(1);
  // The variables and the components went; the page ran from index 1.
  EXPECT_EQ(vars_.FindVariable("n"), nullptr);
  EXPECT_EQ(Control("b"), nullptr);
  EXPECT_EQ(Int("m"), 5);
}

TEST_F(Commands, FullPCResetAbortsTheFlipItDrops) {
  Var("n");
  Page("handler.qsb", "PCReset page=\"main.qsb\" target=2 full=1\n");
  Start(
      "BoxNew name={\"a\"}\n"
      "Flip kind={1} time={500} mode={0}\n"
      "Calc n = n + 1\n");
  registry_.SetTransitionFactory(
      [](int32_t, TCustomDIBX& target, TCustomDIBX& from, TCustomDIBX& to) {
        return std::make_unique<TStillWipe>(target, to, from);
      });
  Frames(2);
  const int shown = registry_.ActiveIndex();
  ASSERT_TRUE(registry_.FindComponent("\x01\x01"));
  TTimerData d;
  d.EventText = "handler.qsb";
  d.Sender = Control("a")->Handle();
  registry_.Events().Add(std::move(d));
  Frames(2);
  EXPECT_EQ(Int("n"), 1);
  EXPECT_EQ(registry_.FindComponent("\x01\x01"), nullptr);
  EXPECT_NE(registry_.ActiveIndex(), shown);
  EXPECT_EQ(registry_.Events().Count(), 0);
}

}  // namespace
}  // namespace quen
