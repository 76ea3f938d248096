// Timers, property motions, cabinets and HTTP requests driven frame by frame through the
// registry, and their stream tails.
#include <gtest/gtest.h>

#include "base/stream.h"
#include "components/quen_base_list.h"
#include "components/quen_kinds.h"
#include "support/scene.h"

namespace quen {
namespace {

using test::Scene;

TQuenTimer* MakeTimer(Scene& s, int32_t interval, bool auto_scrap = false) {
  auto* t = s.reg.Create<TQuenTimer>();
  t->WriteProp(PR_NAME, TPropValue::OfStr("tick"));
  t->WriteProp(PR_AUTOSCRAP, TPropValue::OfBool(auto_scrap));
  t->WriteProp(PR_DELAY, TPropValue::OfInt(interval));
  Scene::On(t, PR_ONNOTIFY, "tick.qsb");
  return t;
}

TEST(Timer, FiresOnItsGridDropsTicksWhileHandledAndPausesStill) {
  Scene s;
  MakeTimer(s, 250);
  for (int i = 0; i < 125; ++i) s.Frame();  // 2 s of 16 ms frames
  const size_t fired = s.Take().size();
  EXPECT_GE(fired, 7u);
  EXPECT_LE(fired, 8u);

  // A handler that runs for a second: nothing more is queued meanwhile, and the next event
  // comes at the first tick of the grid after the handler returned.
  Scene h;
  MakeTimer(h, 250);
  for (int i = 0; i < 16; ++i) h.Frame();
  ASSERT_EQ(h.reg.Events().Count(), 1);
  h.reg.Events()[0].Level = 1;  // running
  for (int i = 0; i < 63; ++i) h.Frame(false);
  EXPECT_EQ(h.reg.Events().Count(), 1);
  h.reg.Events().RemoveLevel(1);
  int frames = 0;
  while (h.reg.Events().Count() == 0 && frames < 40) {
    h.Frame(false);
    ++frames;
  }
  EXPECT_EQ(h.reg.Events().Count(), 1);
  EXPECT_LE(frames * 16, 250 + 16);

  Scene p;
  TQuenTimer* t = MakeTimer(p, 0);
  t->WriteProp(PR_PAUSED, TPropValue::OfBool(true));
  for (int i = 0; i < 20; ++i) p.Frame();
  EXPECT_TRUE(p.Take().empty());
  t->WriteProp(PR_PAUSED, TPropValue::OfBool(false));
  p.Frame();
  p.Frame();
  // An interval of 0 ticks on every update: one event ran, the next is queued.
  EXPECT_EQ(p.Take().size(), 1u);
  EXPECT_EQ(p.reg.Events().Count(), 1);
}

TEST(Timer, AutoScrapFiresOnceAndGoesAfterItsHandler) {
  Scene s;
  MakeTimer(s, 100, true);
  for (int i = 0; i < 7; ++i) s.Frame(false);
  ASSERT_EQ(s.reg.Events().Count(), 1);
  s.reg.Events()[0].Level = 1;
  for (int i = 0; i < 20; ++i) s.Frame(false);
  EXPECT_NE(s.reg.FindComponent("tick"), nullptr);  // still there while its handler runs
  EXPECT_EQ(s.reg.Events().Count(), 1);
  s.reg.Events().RemoveLevel(1);
  s.Frame(false);
  EXPECT_EQ(s.reg.FindComponent("tick"), nullptr);
}

TEST(PropMotion, EasingsHaveTheirShapeAndEndExactlyOnTarget) {
  struct Case {
    int32_t type;
    int32_t low, high;  // where PR_LEFT lies half way
  };
  for (const Case& c : {Case{MT_NORMAL, 45, 55}, Case{MT_INC, 25, 35}, Case{MT_DEC, 65, 75}}) {
    SCOPED_TRACE(c.type);
    Scene s;
    TQuenBox* box = s.Make("box", 0, 0, 10, 10);
    auto* m = s.reg.Create<TQuenPropMotion>();
    m->SetMotion("box", PR_LEFT, 100, 1000, c.type);
    const TQuenHandle mh = m->Handle();
    int32_t half = -1;
    for (int i = 0; i < 80; ++i) {
      s.Frame();
      auto* alive = static_cast<TQuenPropMotion*>(s.reg.Resolve(mh));
      if (alive && alive->Elapsed() >= 512 && half < 0) half = box->Left();
    }
    EXPECT_GE(half, c.low);
    EXPECT_LE(half, c.high);
    EXPECT_EQ(box->Left(), 100);
    EXPECT_EQ(s.reg.ComponentCount(), 1);  // the motion is gone
  }
}

TEST(PropMotion, AGoneTargetOrARefusedCodeEndsTheMotionUnwritten) {
  Scene s;
  TQuenBox* box = s.Make("box", 5, 0, 10, 10);
  auto* m = s.reg.Create<TQuenPropMotion>();
  m->SetMotion("box", PR_LEFT, 100, 1000, MT_NORMAL);
  s.Frame();
  s.Frame();
  s.reg.Scrap(box);
  s.Frame();
  s.Frame();
  EXPECT_EQ(s.reg.ComponentCount(), 0);

  for (int32_t code : {92, 165, -3}) {
    Scene t;
    TQuenBox* b = t.Make("box", 5, 0, 10, 10);
    t.reg.Create<TQuenPropMotion>()->SetMotion("box", code, 1, 100, MT_NORMAL);
    t.Frame();
    EXPECT_EQ(t.reg.ComponentCount(), 1) << code;
    EXPECT_EQ(b->Left(), 5);
  }
  Scene u;
  u.reg.Create<TQuenPropMotion>()->SetMotion("nobody", PR_LEFT, 1, 100, MT_NORMAL);
  u.Frame();
  EXPECT_EQ(u.reg.ComponentCount(), 0);
}

TEST(Cabinet, ReadsAsHiddenAndHidesWhatItHolds) {
  Scene s;
  auto* cab = s.Make<TQuenCabinet>("cab", 0, 0, 64, 48);
  TQuenBox* inside = s.Make("inside", 0, 0, 10, 10, cab);
  EXPECT_FALSE(cab->PropBool(PR_VISIBLE));
  EXPECT_TRUE(inside->InCabinet());
  EXPECT_EQ(s.reg.ActiveRoot().HitTest(5, 5, MaskOf(IM_NONE)), &s.reg.ActiveRoot());
}

TEST(NonVisualStream, TailsRoundTripInEveryVersion) {
  for (int32_t v : {103, 104, 107, 112, 125, 126, 128, 137, 140}) {
    SCOPED_TRACE(v);
    Scene s;
    TQuenTimer* t = MakeTimer(s, 250, true);
    t->WriteProp(PR_PAUSED, TPropValue::OfBool(true));
    s.Make("box", 0, 0, 10, 10);
    auto* m = s.reg.Create<TQuenPropMotion>();
    m->WriteProp(PR_NAME, TPropValue::OfStr("move"));
    m->SetMotion("box", PR_TOP, 40.5L, 900, MT_DEC);
    s.Frame();  // resolved, half way through nothing yet
    m->WriteProp(PR_PAUSED, TPropValue::OfBool(true));
    s.reg.Create<TQuenHttp>()->WriteProp(PR_NAME, TPropValue::OfStr("web"));
    // Without a media layer the sound and video keep their modes unopened.
    auto* snd = s.reg.Create<TQuenSound>();
    snd->WriteProp(PR_NAME, TPropValue::OfStr("bgm"));
    for (auto [code, v] : {std::pair{PR_REPEAT, 1},
                           {PR_VOLUME, 700},
                           {PR_BALANCE, -300},
                           {PR_REPEATPOS, 1500},
                           {PR_REWINDONLOAD, 1}})
      snd->WriteProp(code, TPropValue::OfInt(v));
    Scene::On(snd, PR_SOURCE, "bgm.ogg");
    Scene::On(snd, PR_ONPLAYEND, "end.qsb");
    snd->SetPlayMode(LP_PLAY);
    auto* vid = s.Make<TQuenVideo>("clip", 4, 5, 0, 0);
    Scene::On(vid, PR_SOURCE, "clip.avi");
    vid->WriteProp(PR_OVERLAY, TPropValue::OfBool(false));
    vid->WriteProp(PR_VOLUME, TPropValue::OfInt(300));
    vid->SetPlayMode(LP_PLAY);
    TKvMemoryStream m1;
    s.reg.SaveToStream(m1, v);
    TQuenBaseList loaded;
    m1.SetPosition(0);
    loaded.LoadFromStream(m1, v);
    EXPECT_EQ(m1.Remaining(), 0);
    TKvMemoryStream m2;
    loaded.SaveToStream(m2, v);
    EXPECT_EQ(m2.Data(), m1.Data());
    auto* lm = static_cast<TQuenPropMotion*>(loaded.FindComponent("move"));
    ASSERT_NE(lm, nullptr);
    EXPECT_EQ(lm->TargetName(), "box");
    EXPECT_EQ(lm->TargetValue(), 40.5L);
    EXPECT_EQ(lm->PropBool(PR_PAUSED), v > 125);
    EXPECT_EQ(loaded.FindComponent("tick")->PropBool(PR_AUTOSCRAP), v > 103);
    EXPECT_EQ(loaded.FindComponent("web")->PropStr(PR_SOURCE), "");
    TQuenObject* ls = loaded.FindComponent("bgm");
    ASSERT_NE(ls, nullptr);
    EXPECT_EQ(ls->PlayMode(), LP_PLAY);
    EXPECT_EQ(ls->PropStr(PR_SOURCE), "bgm.ogg");
    EXPECT_EQ(ls->PropInt(PR_VOLUME), 700);
    EXPECT_EQ(ls->PropBool(PR_REWINDONLOAD), v > 107);
    EXPECT_EQ(ls->PropInt(PR_REPEATPOS), v > 137 ? 1500 : 0);
    TQuenObject* lv = loaded.FindComponent("clip");
    ASSERT_NE(lv, nullptr);
    EXPECT_EQ(lv->PropBool(PR_OVERLAY), v < 112);
    EXPECT_EQ(lv->PlayMode(), LP_PLAY);
  }
}

}  // namespace
}  // namespace quen
