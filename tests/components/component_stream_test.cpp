#include <gtest/gtest.h>

#include "base/error.h"
#include "base/stream.h"
#include "support/scene.h"

namespace quen {
namespace {

using test::Scene;

const int32_t kVersions[] = {100, 101, 102, 103, 104, 113, 114, 117, 118, 119, 120, 129, 130, 140};

// A tree touching every stored field: nested children, a system-named and a scrapped child
// (both left out), a timer, a sound, queued and running events, and a focus.
void Populate(Scene& s) {
  auto* p = s.Make("panel", 3, 4, 50, 40);
  p->WriteProp(PR_PRIORITY, TPropValue::OfInt(7));
  p->WriteProp(PR_TAG, TPropValue::OfStr("tag"));
  p->WriteProp(PR_CLIPWIDTH, TPropValue::OfInt(9));
  p->WriteProp(PR_CLIPHEIGHT, TPropValue::OfInt(8));
  p->WriteProp(PR_PLUSX, TPropValue::OfInt(-2));
  p->WriteProp(PR_CURSOR, TPropValue::OfStr("hand.cur"));
  p->WriteProp(PR_IGNOREMOUSE, TPropValue::OfInt(IM_LCLICK));
  p->WriteProp(PR_POSZOOMED, TPropValue::OfBool(true));
  p->WriteProp(PR_ANIPAUSED, TPropValue::OfBool(true));
  p->WriteProp(PR_COLOR, TPropValue::OfInt(0x123456));
  for (uint8_t code : {PR_ONMOUSEMOVE, PR_ONMOUSEIN, PR_ONMOUSEOUT, PR_ONLBTNDOWN, PR_ONLBTNUP,
                       PR_ONRBTNDOWN, PR_ONRBTNUP, PR_ONWHEELDOWN, PR_ONWHEELUP, PR_ONKEYDOWN,
                       PR_ONKEYUP, PR_ONKEYREPEAT, PR_ONFOCUSIN, PR_ONFOCUSOUT})
    Scene::On(p, code, std::string("page") + PropInfo(code).Ident);
  p->WriteProp(PR_HANDLEKEY, TPropValue::OfBool(true));
  // A caption takes the size of its text: none here.
  auto* c = s.Make<TQuenLabel>("label", 1, 2, 0, 0, p);
  c->WriteProp(PR_VISIBLE, TPropValue::OfBool(false));
  s.Make<TQuenButton>("button", 5, 5, 5, 5, c);
  s.Make("\x01sys", 0, 0, 1, 1, p);
  s.reg.Scrap(s.Make("gone", 0, 0, 1, 1, p));
  s.Make<TQuenMes>("back", 0, 0, 8, 8, &s.reg.InactiveRoot());
  auto* t = s.reg.Create<TQuenTimer>();
  t->WriteProp(PR_NAME, TPropValue::OfStr("timer"));
  s.reg.Create<TQuenSound>()->WriteProp(PR_NAME, TPropValue::OfStr("sound"));
  Scene::On(t, PR_ONNOTIFY, "notify");
  t->FireEvent(PR_ONNOTIFY, {"a", "bb"}, false);
  p->FireEvent(PR_ONLBTNUP, {"1", "2"}, false);
  s.reg.Events()[1].Level = 1;
  s.reg.SetFocus(p);
}

std::string Save(const TQuenBaseList& reg, int32_t version) {
  TKvMemoryStream m;
  reg.SaveToStream(m, version);
  return m.Data();
}

TEST(RegistryStream, RoundTripsByteForByteInEveryVersion) {
  for (int32_t v : kVersions) {
    SCOPED_TRACE(v);
    Scene s;
    Populate(s);
    const std::string bytes = Save(s.reg, v);
    TQuenBaseList loaded;
    TKvMemoryStream in(bytes);
    loaded.LoadFromStream(in, v);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(Save(loaded, v), bytes);
    EXPECT_EQ(loaded.Dump().find("\x01sys"), std::string::npos);
    EXPECT_EQ(loaded.FindComponent("gone"), nullptr);
    ASSERT_NE(loaded.FindComponent("button"), nullptr);
    EXPECT_EQ(loaded.FindComponent("button")->AsControl()->AbsTop(), 4 + 2 + 5);
    EXPECT_EQ(loaded.Events().Count(), 3);  // and the focus-in
    EXPECT_EQ(loaded.Resolve(loaded.Events()[0].Sender), loaded.FindComponent("timer"));
    EXPECT_EQ(loaded.Focus(), v > 118 ? loaded.FindComponent("panel") : nullptr);
    EXPECT_EQ(loaded.FindComponent("panel")->Tag(), v >= 120 ? "tag" : "");
  }
}

TEST(RegistryStream, VersionBranchesChangeTheSize) {
  Scene s;
  Populate(s);
  size_t last = 0;
  for (int32_t v : kVersions) {
    const size_t n = Save(s.reg, v).size();
    EXPECT_GE(n, last) << v;
    last = n;
  }
  EXPECT_LT(Save(s.reg, 101).size(), Save(s.reg, 102).size());
  EXPECT_LT(Save(s.reg, 117).size(), Save(s.reg, 118).size());
  EXPECT_LT(Save(s.reg, 129).size(), Save(s.reg, 130).size());
}

TEST(RegistryStream, NoStoredFocusMeansNoFocusAndAReEvaluation) {
  Scene s;
  s.Make("a", 0, 0, 5, 5)->WriteProp(PR_HANDLEKEY, TPropValue::OfBool(true));
  const std::string bytes = Save(s.reg, 140);
  Scene t;
  TKvMemoryStream in(bytes);
  t.reg.LoadFromStream(in, 140);
  EXPECT_EQ(t.reg.Focus(), nullptr);
  EXPECT_TRUE(t.reg.FocusStale());
  t.Frame();
  EXPECT_EQ(t.reg.Focus(), t.reg.FindComponent("a"));
}

TEST(RegistryStream, EveryTruncationFailsCleanly) {
  Scene s;
  Populate(s);
  const std::string bytes = Save(s.reg, 140);
  for (size_t n = 0; n < bytes.size(); ++n) {
    TQuenBaseList reg;
    TViewStream in(std::string_view(bytes).substr(0, n));
    EXPECT_THROW(reg.LoadFromStream(in, 140), EQuenError) << n;
    EXPECT_EQ(reg.ComponentCount(), 0);
  }
}

TEST(RegistryStream, DamagedCountsTypesAndHeaders) {
  Scene s;
  s.Make("a", 0, 0, 5, 5);
  const std::string good = Save(s.reg, 140);
  auto fails = [](std::string bytes, int32_t version = 140) {
    TQuenBaseList reg;
    TKvMemoryStream in(std::move(bytes));
    EXPECT_THROW(reg.LoadFromStream(in, version), EQuenError);
  };
  fails(good, 99);
  fails(good, 141);
  std::string b = good;
  b[8] = 2;  // active root index
  fails(b);
  b = good;
  b[3] = '\x7F';  // width
  fails(b);
  // The child type byte of "a": after the root's fixed fields and strings.
  const size_t typeAt = good.find(std::string("\x01\x00\x00\x00"
                                              "a",
                                              5)) -
                        1;
  for (int bad : {0, 1, 10, 28, int{LT_TIMER}}) {
    b = good;
    b[typeAt] = static_cast<char>(bad);
    fails(b);
  }
  b = good;
  b[typeAt] = static_cast<char>(LT_BOX | 0x80);  // the factory masks the code
  TQuenBaseList ok;
  TKvMemoryStream in(b);
  ok.LoadFromStream(in, 140);
  EXPECT_NE(ok.FindComponent("a"), nullptr);
  // A huge child count.
  b = good;
  b.replace(typeAt - 4, 4, std::string("\xFF\xFF\xFF\x7F", 4));
  fails(b);
}

TEST(RegistryStream, DeepNestingIsRefused) {
  TKvMemoryStream m;
  WriteInt32(m, 8);
  WriteInt32(m, 8);
  WriteInt32(m, 0);
  // Root 0, then a chain of boxes each holding the next, deeper than the reader allows.
  Scene s;
  auto write_control_head = [&](const std::string& name) {
    WriteString(m, name);
    WriteInt32(m, 0);
    WriteInt32(m, 0);
    WriteString(m, "");
    for (int i = 0; i < 6; ++i) WriteInt32(m, 0);
    WriteByte(m, 0);
    for (int i = 0; i < 8; ++i) WriteInt32(m, 0);
    WriteByte(m, 0);
    WriteByte(m, 1);
    WriteInt32(m, 0);
    for (int i = 0; i < 4; ++i) WriteInt32(m, 0);
    WriteByte(m, 0);
    for (int i = 0; i < 10; ++i) WriteString(m, "");
    WriteByte(m, 0);
    for (int i = 0; i < 5; ++i) WriteString(m, "");
  };
  write_control_head(TQuenBaseList::RootName(0));
  for (int i = 0; i < 5000; ++i) {
    WriteInt32(m, 1);
    WriteByte(m, LT_BOX);
    write_control_head("n" + std::to_string(i));
  }
  WriteInt32(m, 0);
  TQuenBaseList reg;
  m.SetPosition(0);
  EXPECT_THROW(reg.LoadFromStream(m, 140), EQuenError);
}

TEST(ComponentStream, AControlAloneRoundTripsInEveryVersion) {
  for (int32_t v : kVersions) {
    Scene s;
    Populate(s);
    TQuenControl* p = s.reg.FindComponent("panel")->AsControl();
    TKvMemoryStream m;
    p->SaveToStream(m, v);
    Scene t;
    auto* q = t.reg.Create<TQuenBox>();
    q->SetParent(&t.reg.ActiveRoot());
    m.SetPosition(0);
    q->LoadFromStream(m, v);
    TKvMemoryStream again;
    q->SaveToStream(again, v);
    EXPECT_EQ(again.Data(), m.Data()) << v;
  }
}

}  // namespace
}  // namespace quen
