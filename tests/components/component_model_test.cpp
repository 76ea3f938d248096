#include <gtest/gtest.h>

#include "base/error.h"
#include "components/quen_motion.h"
#include "support/scene.h"

namespace quen {
namespace {

using test::Scene;

TEST(ComponentNaming, ControlsRenameTheHolderNonVisualsScrapIt) {
  Scene s;
  auto* a1 = s.Make("a", 0, 0, 1, 1);
  auto* a2 = s.Make("x", 0, 0, 1, 1);
  a2->WriteProp(PR_NAME, TPropValue::OfStr("a"));
  EXPECT_EQ(a1->Name(), "a_2");
  auto* a3 = s.Make("y", 0, 0, 1, 1);
  a3->WriteProp(PR_NAME, TPropValue::OfStr("a"));
  EXPECT_EQ(a2->Name(), "a_3");
  EXPECT_EQ(a1->Name(), "a_2");
  EXPECT_EQ(a3->Name(), "a");
  // A suffix of 1 or text is part of the stem.
  auto* b = s.Make("b_1", 0, 0, 1, 1);
  s.Make("q", 0, 0, 1, 1)->WriteProp(PR_NAME, TPropValue::OfStr("b_1"));
  EXPECT_EQ(b->Name(), "b_1_2");

  auto* t1 = s.reg.Create<TQuenTimer>();
  auto* t2 = s.reg.Create<TQuenTimer>();
  EXPECT_EQ(t1->Name().rfind("object", 0), 0u);
  t1->WriteProp(PR_NAME, TPropValue::OfStr("t"));
  t2->WriteProp(PR_NAME, TPropValue::OfStr("t"));
  EXPECT_TRUE(t1->IsScrapped());
  EXPECT_EQ(s.reg.FindComponent("t"), t2);
}

TEST(ComponentNaming, AutomaticNamesAndRootsKeepTheirNames) {
  Scene s;
  auto* o1 = s.reg.Create<TQuenBox>();
  auto* o2 = s.reg.Create<TQuenBox>();
  EXPECT_NE(o1->Name(), o2->Name());
  EXPECT_EQ(s.reg.UniqueName("object"), "object2");
  TQuenBase& root = s.reg.Root(0);
  root.WriteProp(PR_NAME, TPropValue::OfStr("x"));
  EXPECT_EQ(root.Name(), TQuenBaseList::RootName(0));
  o1->WriteProp(PR_NAME, TPropValue::OfStr(TQuenBaseList::RootName(1)));
  EXPECT_NE(o1->Name(), TQuenBaseList::RootName(1));
  s.reg.Scrap(&root);
  s.Frame();
  EXPECT_EQ(s.reg.FindComponent(TQuenBaseList::RootName(0)), &s.reg.Root(0));
  EXPECT_EQ(s.reg.FindComponent(""), &s.reg.ActiveRoot());
  EXPECT_EQ(s.reg.FindComponent("\x01"), &s.reg.InactiveRoot());
  EXPECT_EQ(s.reg.FindParentControl(TQuenBaseList::RootName(1)), &s.reg.Root(1));
}

TEST(ComponentOrder, EqualPrioritiesByNameAndAfterImagesNeverBreakTheList) {
  Scene s;
  TQuenControl& root = s.reg.ActiveRoot();
  s.Make("b", 0, 0, 1, 1);
  auto* a = s.Make("a", 0, 0, 1, 1);
  s.Make("c", 0, 0, 1, 1)->WriteProp(PR_PRIORITY, TPropValue::OfInt(-1));
  EXPECT_EQ(s.ChildNames(root), (std::vector<std::string>{"c", "a", "b"}));
  a->WriteProp(PR_PRIORITY, TPropValue::OfInt(5));
  EXPECT_EQ(s.ChildNames(root), (std::vector<std::string>{"c", "b", "a"}));
  a->SetPriorityOffset(-10);
  EXPECT_EQ(s.ChildNames(root).front(), "a");
  a->WriteProp(PR_PRIORITY, TPropValue::OfInt(6));  // resets the offset
  EXPECT_EQ(a->PriorityOffset(), 0);
  EXPECT_EQ(s.ChildNames(root).back(), "a");

  // After-images compare by alpha among themselves and by source otherwise: no total order.
  // Insertion keeps every child exactly once and each after-image below its source.
  auto* src = s.Make("src", 0, 0, 1, 1);
  for (int i = 0; i < 20; ++i) {
    auto* blur = s.reg.Create<TQuenBlurImage>();
    blur->SetAfterImageSource(src->Handle());
    blur->WriteProp(PR_ALPHA, TPropValue::OfInt((i * 97) % 256));
    blur->WriteProp(PR_PRIORITY, TPropValue::OfInt(20 - i));
    blur->SetParent(&root);
  }
  src->WriteProp(PR_PRIORITY, TPropValue::OfInt(3));
  EXPECT_EQ(root.Children().size(), 24u);
  std::vector<TQuenControl*> kids = root.Children();
  std::sort(kids.begin(), kids.end());
  EXPECT_EQ(std::unique(kids.begin(), kids.end()), kids.end());
}

TEST(ComponentParenting, RefusesCyclesAndPositionsFollowTheParent) {
  Scene s;
  auto* p = s.Make("p", 10, 20, 30, 30);
  auto* c = s.Make("c", 5, 6, 4, 4, p);
  auto* g = s.Make("g", 1, 1, 2, 2, c);
  p->WriteProp(PR_PARENT, TPropValue::OfStr("g"));
  EXPECT_EQ(p->Parent(), &s.reg.ActiveRoot());
  EXPECT_EQ(g->AbsLeft(), 16);
  EXPECT_EQ(g->AbsTop(), 27);
  c->WriteProp(PR_OFFSETX, TPropValue::OfInt(2));
  c->WriteProp(PR_PLUSY, TPropValue::OfInt(-7));
  EXPECT_EQ(c->AbsLeft(), 13);
  EXPECT_EQ(c->AbsTop(), 19);
  EXPECT_EQ(g->ReadProp(PR_PARENT).Str, "c");
  g->WriteProp(PR_PARENT, TPropValue::OfStr("nobody"));
  EXPECT_EQ(g->Parent(), c);
  g->WriteProp(PR_PARENT, TPropValue::OfStr(""));
  EXPECT_EQ(g->Parent(), &s.reg.ActiveRoot());
}

TEST(ComponentFocus, CreatingAControlKeepsAnotherControlsFocus) {
  Scene s;
  auto* edit = s.Make("edit", 0, 0, 10, 10);
  edit->WriteProp(PR_HANDLEKEY, TPropValue::OfBool(true));
  Scene::On(edit, PR_ONFOCUSIN);
  s.Frame();
  EXPECT_EQ(s.reg.Focus(), edit);
  EXPECT_EQ(s.Take(), (std::vector<std::string>{"0 edit PR_ONFOCUSIN"}));
  s.Make("caption", 0, 0, 5, 5);
  s.Frame();
  EXPECT_EQ(s.reg.Focus(), edit);
  EXPECT_TRUE(s.Take().empty());
  // Re-parenting the focus itself loses it; the next pass finds it again.
  auto* holder = s.Make("holder", 0, 0, 10, 10);
  edit->SetParent(holder);
  EXPECT_EQ(s.reg.Focus(), nullptr);
  s.Frame();
  EXPECT_EQ(s.reg.Focus(), edit);
}

TEST(UpdatePass, ScrapOfParentAndChildInOneFrame) {
  Scene s;
  auto* p = s.Make("p", 0, 0, 10, 10);
  auto* c = s.Make("c", 0, 0, 5, 5, p);
  s.Make("other", 0, 0, 5, 5);
  s.reg.Scrap(c);
  s.reg.Scrap(p);
  s.reg.Scrap(p);
  EXPECT_EQ(s.reg.ScrapList().size(), 2u);
  EXPECT_EQ(s.reg.FindComponent("p"), nullptr);
  EXPECT_EQ(s.reg.ComponentCount(), 3);
  s.Frame();
  EXPECT_EQ(s.reg.ComponentCount(), 1);
  EXPECT_TRUE(s.reg.ScrapList().empty());
  EXPECT_EQ(s.ChildNames(s.reg.ActiveRoot()), (std::vector<std::string>{"other"}));
}

// A kind that asks to go away after a few frames, and one that creates another in its step.
class TDying : public TQuenBox {
 public:
  using TQuenBox::TQuenBox;
  int left = 1;
  bool Update(int32_t) override { return left-- <= 0; }
};
class TSpawner : public TQuenBox {
 public:
  using TQuenBox::TQuenBox;
  int spawned = 0;
  bool Update(int32_t) override {
    if (spawned++ == 0)
      Owner()->CreateComponent(LT_TIMER)->WriteProp(PR_NAME, TPropValue::OfStr("born"));
    return false;
  }
};

TEST(UpdatePass, DeletionInsideTheWalkSkipsNothing) {
  Scene s;
  auto* parent = s.Make<TDying>("dying", 0, 0, 10, 10);
  // Children registered before the parent go with it; the walk index must follow.
  auto* early = s.Make("child", 0, 0, 1, 1);
  auto* victim = s.reg.Create<TDying>();
  victim->WriteProp(PR_NAME, TPropValue::OfStr("dying2"));
  victim->SetParent(&s.reg.ActiveRoot());
  early->SetParent(victim);
  (void)parent;
  auto* spawner = s.Make<TSpawner>("spawner", 0, 0, 1, 1);
  auto* idle = s.Make("idler", 0, 0, 1, 1);
  Scene::On(idle, PR_ONIDLE);
  Scene::On(spawner, PR_ONIDLE);
  s.Frame();
  s.Frame();
  EXPECT_EQ(s.reg.FindComponent("dying"), nullptr);
  EXPECT_EQ(s.reg.FindComponent("dying2"), nullptr);
  EXPECT_EQ(s.reg.FindComponent("child"), nullptr);
  ASSERT_NE(s.reg.FindComponent("born"), nullptr);
  s.Frame();
  // Idle events: queued in the update pass, run in the next frame; every frame, no one skipped.
  std::vector<std::string> log = s.Take();
  EXPECT_EQ(std::count(log.begin(), log.end(), "16 idler PR_ONIDLE"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "32 spawner PR_ONIDLE"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "32 idler PR_ONIDLE"), 1);
}

TEST(EventQueue, DeduplicationHandlesAndRemoval) {
  Scene s;
  auto* b = s.Make("b", 0, 0, 10, 10);
  Scene::On(b, PR_ONMOUSEMOVE);
  Scene::On(b, PR_ONLBTNUP);
  Scene::On(b, PR_ONKEYDOWN);
  Scene::On(b, PR_ONLBTNDOWN);
  EXPECT_TRUE(b->FireEvent(PR_ONMOUSEMOVE, {}, true));
  EXPECT_FALSE(b->FireEvent(PR_ONMOUSEMOVE, {}, true));
  EXPECT_TRUE(b->FireEvent(PR_ONLBTNUP, {}, false));
  EXPECT_TRUE(b->FireEvent(PR_ONLBTNUP, {}, false));
  // Different codes never block each other.
  EXPECT_TRUE(b->FireEvent(PR_ONKEYDOWN, {"13"}, true));
  EXPECT_TRUE(b->FireEvent(PR_ONLBTNDOWN, {}, true));
  EXPECT_FALSE(b->FireEvent(PR_ONMOUSEIN, {}, false));  // no text
  TTimerList& q = s.reg.Events();
  ASSERT_EQ(q.Count(), 5);
  q.FirstWaiting()->Level = 3;
  EXPECT_EQ(q.FirstWaiting(), &q[1]);
  const TQuenHandle h = b->Handle();
  s.reg.Scrap(b);
  s.reg.UpdateAll(16);
  // The running record stays; its sender no longer resolves, even for a newcomer.
  ASSERT_EQ(q.Count(), 1);
  EXPECT_EQ(q[0].Level, 3);
  s.Make("b", 0, 0, 1, 1);
  EXPECT_EQ(s.reg.Resolve(h), nullptr);
  q.RemoveLevel(3);
  EXPECT_EQ(q.Count(), 0);
}

class TFakeFilm : public IMotionFilm {
 public:
  int32_t count = 10, loop = 0;
  int32_t FrameCount() const override { return count; }
  int32_t LoopStart() const override { return loop; }
  void Rebase(int32_t, int32_t) override {}
  void ShowFrame(int32_t frame, TQuenControl& c) override { c.SetMotionPos(frame * 2, 0); }
};

TEST(FilmMotion, PlaysToTheEndThenEventsOrScraps) {
  Scene s;
  auto* a = s.Make("a", 0, 0, 4, 4);
  Scene::On(a, PR_ONPLAYEND);
  a->SetMotion(std::make_unique<TQuenMotion>(*a, std::make_unique<TFakeFilm>()));
  EXPECT_TRUE(a->PropBool(PR_PLAYING));
  for (int i = 0; i < 12; ++i) s.Frame();
  EXPECT_EQ(a->AbsLeft(), 18);
  EXPECT_FALSE(a->PropBool(PR_PLAYING));
  EXPECT_EQ(s.Take(), (std::vector<std::string>{"160 a PR_ONPLAYEND"}));
  a->FreeMotion();
  EXPECT_EQ(a->AbsLeft(), 0);

  auto* b = s.Make("b", 0, 0, 4, 4);
  b->WriteProp(PR_AUTOSCRAP, TPropValue::OfBool(true));
  b->SetMotion(std::make_unique<TQuenMotion>(*b, std::make_unique<TFakeFilm>()));
  for (int i = 0; i < 12; ++i) s.Frame();
  EXPECT_EQ(s.reg.FindComponent("b"), nullptr);

  auto* r = s.Make<TQuenImages>("r", 0, 0, 4, 4);
  r->WriteProp(PR_REPEAT, TPropValue::OfBool(true));
  r->SetMotion(std::make_unique<TQuenMotion>(*r, std::make_unique<TFakeFilm>()));
  for (int i = 0; i < 40; ++i) s.Frame();
  EXPECT_TRUE(r->PropBool(PR_PLAYING));
  EXPECT_LT(r->GetMotion()->Frame(), 10);
}

}  // namespace
}  // namespace quen

namespace quen {
namespace {

TEST(FilmMotion, StartsThroughTheInstalledLoader) {
  test::Scene s;
  auto* a = s.Make("a", 0, 0, 4, 4);
  SetMotionFilmLoader(nullptr);
  EXPECT_THROW(a->StartMotion("walk.qmt"), EQuenError);
  SetMotionFilmLoader([](const std::string& file, TQuenControl&) -> std::unique_ptr<IMotionFilm> {
    if (file != "walk.qmt") return nullptr;
    return std::make_unique<TFakeFilm>();
  });
  EXPECT_THROW(a->StartMotion("other.qmt"), EQuenError);
  a->StartMotion("walk.qmt");
  for (int i = 0; i < 5; ++i) s.Frame();
  EXPECT_GT(a->GetMotion()->Frame(), 0);
  a->RestartMotion();
  EXPECT_EQ(a->GetMotion()->Frame(), 0);
  SetMotionFilmLoader(nullptr);
}

TEST(Registry, ListsByTypeAndParentAndSkipsCabinetContent) {
  test::Scene s;
  auto* p = s.Make("p", 0, 0, 10, 10);
  s.Make("c1", 0, 0, 1, 1, p);
  s.Make<TQuenLabel>("c2", 0, 0, 1, 1, p);
  s.reg.Create<TQuenTimer>()->WriteProp(PR_NAME, TPropValue::OfStr("t"));
  std::vector<std::string> out;
  EXPECT_EQ(s.reg.ListComponents(out, LT_NONE, p), 2);
  EXPECT_EQ(s.reg.ListComponents(out, LT_TIMER, &s.reg), 1);
  EXPECT_EQ(s.reg.ListComponents(out, LT_BOX, &s.reg), 2);
  EXPECT_EQ(out, (std::vector<std::string>{"c1", "c2", "t", "p", "c1"}));
  // Inside a cabinet nothing updates or idles.
  auto* cab = s.Make<TQuenCabinet>("cab", 0, 0, 10, 10);
  auto* frozen = s.Make("frozen", 0, 0, 1, 1, cab);
  test::Scene::On(frozen, PR_ONIDLE);
  EXPECT_TRUE(frozen->InCabinet());
  s.Frame();
  s.Frame();
  EXPECT_TRUE(s.Take().empty());
}

}  // namespace
}  // namespace quen
