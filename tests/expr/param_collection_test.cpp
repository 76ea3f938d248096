#include <gtest/gtest.h>

#include "base/error.h"
#include "expr/messages.h"
#include "expr/param_collection.h"
#include "expr/param_system.h"
#include "expr/param_var.h"

namespace quen {
namespace {

TParamCollectionItem* Declare(TParamCollection& t, const std::string& name, uint8_t type,
                              uint8_t scope = VS_GLOBAL) {
  bool evaluate = false;
  return t.Declare(name, type, scope, evaluate);
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EQuenError& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(VariableTable, StartsWithTheSystemVariables) {
  TParamCollection t;
  EXPECT_EQ(t.Count(), kSystemVariableCount);
  EXPECT_EQ(t.Item(0)->Name(), "@Result");
  EXPECT_EQ(t.Item(50)->Name(), "@StackCount");
  EXPECT_EQ(t.FindVariable("@textdelay")->Value()->GetAsInteger(), 50);
  // System variables cannot be deleted, pushed away or reset.
  t.DeleteVariable(t.FindVariable("@Temp"));
  t.ResetVariables();
  EXPECT_EQ(t.Count(), kSystemVariableCount);
  EXPECT_EQ(t.Item(44)->Name(), "@Temp");
}

TEST(VariableTable, NamesIgnoreAsciiCaseOnlyAndAreValidated) {
  TParamCollection t;
  auto* r = Declare(t, "Score", PT_INT);
  EXPECT_EQ(t.FindVariable("SCORE"), r);
  EXPECT_EQ(t.FindVariable("score"), r);
  // "ヂ" (83 61) and "ア" (83 41) differ only in a trail byte that looks like a letter.
  auto* dji = Declare(t, "\x83\x61", PT_INT);
  EXPECT_EQ(t.FindVariable("\x83\x41"), nullptr);
  EXPECT_EQ(t.FindVariable("\x83\x61"), dji);
  EXPECT_EQ(ErrorOf([&] { Declare(t, "1abc", PT_INT); }), Format(msg::kVarNameInvalid, "1abc"));
  EXPECT_EQ(ErrorOf([&] { Declare(t, "a b", PT_INT); }), Format(msg::kVarNameInvalid, "a b"));
  EXPECT_EQ(ErrorOf([&] { Declare(t, "", PT_INT); }), msg::kVarNameMissing);
  EXPECT_EQ(t.Count(), kSystemVariableCount + 2);
}

TEST(VariableScopes, LocalsShadowGlobalsOnlyInTheirFrame) {
  TParamCollection t;
  auto* global = Declare(t, "x", PT_INT);
  global->Value()->SetAsInteger(1);
  t.SetCurrentFrameId(1);
  auto* local = Declare(t, "X", PT_STR, VS_LOCAL);
  EXPECT_NE(local, global);
  EXPECT_EQ(t.FindVariable("x"), local);
  auto* autod = Declare(t, "tmp", PT_INT, VS_AUTODESTROY);
  t.SetCurrentFrameId(2);  // a page called from frame 1 sees the global, not frame 1's local
  EXPECT_EQ(t.FindVariable("x"), global);
  EXPECT_EQ(t.FindVariable("tmp"), autod);
  t.SetCurrentFrameId(1);
  t.DeleteOwnedBy(1);
  t.SetCurrentFrameId(0);
  EXPECT_EQ(t.FindVariable("x"), global);
  EXPECT_EQ(t.FindVariable("tmp"), nullptr);
  EXPECT_EQ(t.Count(), kSystemVariableCount + 1);
}

TEST(VariableScopes, RedeclaringFindsTheSameVariableAndStatusKeepsItsValue) {
  TParamCollection t;
  bool evaluate = false;
  auto* s = t.Declare("flagS", PT_BOOL, VS_STATUS, evaluate);
  EXPECT_TRUE(evaluate);
  s->Value()->SetAsBool(true);
  EXPECT_EQ(t.Declare("FLAGS", PT_BOOL, VS_STATUS, evaluate), s);
  EXPECT_FALSE(evaluate);
  auto* g = t.Declare("g", PT_INT, VS_GLOBAL, evaluate);
  EXPECT_EQ(t.Declare("g", PT_STR, VS_GLOBAL, evaluate), g);
  EXPECT_TRUE(evaluate);
  t.ResetVariables();
  EXPECT_EQ(t.FindVariable("g"), nullptr);
  EXPECT_TRUE(t.FindVariable("flags")->Value()->GetAsBool());
}

TEST(VariableScopes, InitialValueIsReadByTheDeclaredTypeAndConverted) {
  TParamCollection t;
  auto* existing = Declare(t, "v", PT_STR);
  TParamFloat initial;
  initial.SetAsFloat(2.75L);
  // Declared as an integer, stored into the existing string variable: "2".
  TParamCollection::StoreInitialValue(*existing, PT_INT, initial);
  EXPECT_EQ(existing->Value()->GetAsString(), "2");
  TParamCollection::StoreInitialValue(*existing, PT_FLOAT, initial);
  EXPECT_EQ(existing->Value()->GetAsString(), "2.75");
}

TEST(VariableScopes, ReferenceRecordsResolveThroughTheTable) {
  TParamCollection t;
  auto* target = Declare(t, "arr", PT_INT);
  target->Value()->SetDims({3});
  target->Value()->SetIntAt(2, 8);
  TParamVar ref(&t, "arr");
  ref.SetTarget(target);
  ref.SetElementIndex(2);
  TKvMemoryStream m;
  ref.SaveToStream(m);
  TParamVar back(&t);
  m.SetPosition(0);
  back.LoadFromStream(m);
  EXPECT_EQ(back.GetAsInteger(), 8);
  t.DeleteVariable(target);  // the reference notices
  EXPECT_EQ(back.GetAsInteger(), 0);
  EXPECT_EQ(back.GetValueType(), PT_NONE);
}

TEST(VariableScopes, DeleteStackRenumbersLaterOwners) {
  TParamCollection t;
  for (int frame = 1; frame <= 3; ++frame) {
    t.SetCurrentFrameId(frame);
    Declare(t, "v" + std::to_string(frame), PT_INT, VS_AUTODESTROY);
  }
  t.DeleteOwnedBy(1);
  t.RenumberOwnersAbove(1);
  EXPECT_EQ(t.FindVariable("v1"), nullptr);
  EXPECT_EQ(t.FindVariable("v2")->owner_frame, 1);
  EXPECT_EQ(t.FindVariable("v3")->owner_frame, 2);
}

TEST(VariableTable, DetachValueCopiesOrRefuses) {
  TParamCollection t;
  auto* a = Declare(t, "a", PT_STR);
  a->Value()->SetDims({2});
  a->Value()->SetStrAt(1, "z");
  auto v = t.DetachValue("a");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->GetStrAt(1), "z");
  a->Value()->SetStrAt(1, "y");
  EXPECT_EQ(v->GetStrAt(1), "z");
  EXPECT_EQ(t.DetachValue("nothing"), nullptr);
  auto* r = t.AddVariable(PT_NONE);
  t.SetVarName(r, "ref");
  EXPECT_EQ(ErrorOf([&] { t.DetachValue("ref"); }), Format(msg::kVarInvalid, "ref"));
  auto pi = t.DetachValue("@Pi");
  EXPECT_EQ(pi->GetValueType(), PT_FLOAT);
  EXPECT_EQ(pi->GetAsString(), "3.14159265358979");
}

TEST(SystemVariables, TableStateAndTextRules) {
  TParamCollection t;
  TCustomParam* delay = t.FindVariable("@TextDelay")->Value();
  delay->SetAsString("abc");  // a malformed number is ignored
  EXPECT_EQ(t.text_delay, 50);
  delay->SetAsString("70");
  EXPECT_EQ(t.text_delay, 70);
  EXPECT_EQ(delay->GetIntAt(12), 70);             // element access ignores the index
  t.FindVariable("@Pi")->Value()->SetAsFloat(3);  // read-only
  EXPECT_EQ(t.FindVariable("@Pi")->Value()->GetAsInteger(), 3);
  EXPECT_EQ(t.FindVariable("@Pi")->Value()->GetAsFloat(), 3.14159265358979323846L);
  // Without a registered value a system variable reads 0 and ignores writes.
  TCustomParam* click = t.FindVariable("@LClick")->Value();
  click->SetAsBool(true);
  EXPECT_FALSE(click->GetAsBool());
  EXPECT_EQ(click->GetValueType(), PT_BOOL);
}

class TFlagState : public TSystemScalar {
 public:
  explicit TFlagState(bool& ref) : TSystemScalar(PT_BOOL, true), ref_(ref) {}

 protected:
  bool ReadBool() const override { return ref_; }
  void WriteBool(bool v) override { ref_ = v; }

 private:
  bool& ref_;
};

TEST(SystemVariables, RegisteredValuesFollowTheFlagTextRule) {
  TParamCollection t;
  bool clicked = false;
  t.SetSystemValue(1, std::make_unique<TFlagState>(clicked));
  TCustomParam* v = t.FindVariable("@LClick")->Value();
  v->SetAsString("TRUE");  // text reaches a flag as an integer: false
  EXPECT_FALSE(clicked);
  v->SetAsString("1");
  EXPECT_TRUE(clicked);
  EXPECT_EQ(v->GetAsString(), "TRUE");
  EXPECT_THROW(t.SetSystemValue(51, nullptr), EQuenError);
}

TEST(SystemVariables, TempStandsForItsAliasAndNeverForItself) {
  TParamCollection t;
  TCustomParam* temp = t.FindVariable("@Temp")->Value();
  EXPECT_FALSE(t.AssignTemp("@Temp"));
  EXPECT_FALSE(t.AssignTemp("@TEMP"));
  EXPECT_FALSE(t.AssignTemp("missing"));
  EXPECT_EQ(temp->GetAsInteger(), 0);
  auto* n = Declare(t, "n", PT_INT);
  EXPECT_TRUE(t.AssignTemp("n"));
  temp->SetAsInteger(5);
  EXPECT_EQ(n->Value()->GetAsInteger(), 5);
  EXPECT_EQ(temp->GetValueType(), PT_INT);
  temp->SetDims({4});
  EXPECT_EQ(n->Value()->GetCount(), 4);
  // A reference that points back at @Temp ends as unresolved instead of recursing.
  auto* r = t.AddVariable(PT_NONE);
  t.SetVarName(r, "loop");
  static_cast<TParamVar*>(r->Value())->SetTarget(t.FindVariable("@Temp"));
  EXPECT_TRUE(t.AssignTemp("loop"));
  EXPECT_EQ(temp->GetAsInteger(), 0);
  temp->SetAsInteger(1);
  EXPECT_EQ(temp->GetValueType(), PT_NONE);
}

TEST(PushStack, PopRestoresValuesAndTypes) {
  TParamCollection t;
  t.PopVariables();  // empty: nothing happens
  auto* a = Declare(t, "a", PT_INT);
  a->Value()->SetAsInteger(1);
  auto* s = Declare(t, "s", PT_STR);
  s->Value()->SetDims({2});
  s->Value()->SetStrAt(1, "two");
  t.PushVariables({"a", "s", "missing", "@TextDelay", "@Temp"});
  ASSERT_EQ(t.PushStack().size(), 1u);
  a->Value()->SetAsInteger(9);
  t.DeleteVariable(s);
  t.DeleteVariable(t.FindVariable("a"));
  Declare(t, "a", PT_STR)->Value()->SetAsString("changed type");
  t.text_delay = 10;
  t.PopVariables();
  EXPECT_TRUE(t.PushStack().empty());
  EXPECT_EQ(t.FindVariable("a")->Value()->GetValueType(), PT_INT);
  EXPECT_EQ(t.FindVariable("a")->Value()->GetAsInteger(), 1);
  EXPECT_EQ(t.FindVariable("s")->Value()->GetStrAt(1), "two");
  EXPECT_EQ(t.text_delay, 10);  // system variables are never pushed or replaced
  EXPECT_EQ(t.Item(44)->Name(), "@Temp");
}

// A table with one of everything a game block holds.
void Populate(TParamCollection& t) {
  Declare(t, "i", PT_INT)->Value()->SetAsInteger(-3);
  auto* f = Declare(t, "f", PT_FLOAT);
  f->Value()->SetDims({2, 2});
  f->Value()->SetFloatAt(3, 0.1L);
  Declare(t, "b", PT_BOOL)->Value()->SetAsBool(true);
  t.SetCurrentFrameId(2);
  Declare(t, "s", PT_STR, VS_LOCAL)->Value()->SetAsString("\x83\x5C\\");
  t.SetCurrentFrameId(0);
  Declare(t, "keep", PT_INT, VS_STATUS)->Value()->SetAsInteger(99);
  // A reference declared before the variable it refers to.
  auto* r = t.AddVariable(PT_NONE);
  t.SetVarName(r, "ref");
  auto* target = Declare(t, "target", PT_INT);
  target->Value()->SetAsInteger(42);
  static_cast<TParamVar*>(r->Value())->SetTarget(target);
  // And one declared after it, which must wait for it in the block.
  auto* later = t.AddVariable(PT_NONE);
  t.SetVarName(later, "ref2");
  static_cast<TParamVar*>(later->Value())->SetTarget(t.FindVariable("i"));
  t.text_delay = 30;
  t.cursor_name = "hand";
  t.sel_str = "sel";
  t.sel_index = 4;
  t.legacy_history_settings = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(t.AssignTemp("i"));
  t.PushVariables({"i", "f"});
  t.PushVariables({"b"});
}

TEST(GameVariableBlock, RoundTripsByteForByteInEveryVersion) {
  for (int32_t version : {107, 110, 120, 125, 134, 135, 138, 139, 140}) {
    TParamCollection t;
    Populate(t);
    TKvMemoryStream saved;
    t.SaveGameVariables(saved, version);
    TParamCollection u;
    saved.SetPosition(0);
    u.LoadGameVariables(saved, version);
    EXPECT_EQ(saved.Remaining(), 0) << version;
    TKvMemoryStream again;
    u.SaveGameVariables(again, version);
    EXPECT_EQ(again.Data(), saved.Data()) << version;
    EXPECT_EQ(u.FindVariable("i")->Value()->GetAsInteger(), -3);
    EXPECT_EQ(u.FindVariable("keep"), nullptr);  // status variables are not in game saves
    EXPECT_EQ(u.text_delay, 30);
    EXPECT_EQ(u.sel_str, version > 102 ? "sel" : "");
    EXPECT_EQ(u.TempAlias(), version > 120 ? "i" : "") << version;
    EXPECT_EQ(u.PushStack().size(), version >= 139 ? 2u : 0u);
    EXPECT_EQ(u.legacy_history_settings[5], version > 112 && version < 135 ? 6 : 0);
    // The reference is resolved to the variable loaded before it.
    EXPECT_EQ(u.FindVariable("ref")->Value()->GetAsInteger(), 42);
    EXPECT_EQ(u.FindVariable("ref2")->Value()->GetAsInteger(), -3);
    u.SetCurrentFrameId(2);
    EXPECT_EQ(u.FindVariable("s")->Value()->GetAsString(), "\x83\x5C\\");
  }
}

TEST(GameVariableBlock, LoadReplacesGameVariablesAndKeepsStatusOnes) {
  TParamCollection t;
  Populate(t);
  TKvMemoryStream saved;
  t.SaveGameVariables(saved);
  t.FindVariable("i")->Value()->SetAsInteger(100);
  Declare(t, "later", PT_INT);
  t.PopVariables();
  saved.SetPosition(0);
  t.LoadGameVariables(saved, kGameSaveVersion);
  EXPECT_EQ(t.FindVariable("i")->Value()->GetAsInteger(), -3);
  EXPECT_EQ(t.FindVariable("later"), nullptr);
  EXPECT_EQ(t.FindVariable("keep")->Value()->GetAsInteger(), 99);
  EXPECT_EQ(t.PushStack().size(), 2u);
  t.PopVariables();
  t.PopVariables();
  EXPECT_EQ(t.FindVariable("i")->Value()->GetAsInteger(), -3);
}

TEST(GameVariableBlock, DamagedBlocksFailAndLeaveTheTable) {
  TParamCollection t;
  Populate(t);
  TKvMemoryStream saved;
  t.SaveGameVariables(saved);
  const std::string good = saved.Data();
  auto try_load = [&](const std::string& bytes) {
    TParamCollection u;
    Declare(u, "before", PT_INT)->Value()->SetAsInteger(5);
    TViewStream s(bytes);
    EXPECT_THROW(u.LoadGameVariables(s, kGameSaveVersion), EQuenError);
    EXPECT_EQ(u.FindVariable("before")->Value()->GetAsInteger(), 5);
    EXPECT_EQ(u.Count(), kSystemVariableCount + 1);
  };
  for (size_t cut = 0; cut < good.size(); cut += 7) try_load(good.substr(0, cut));
  std::string bad_type = good;
  bad_type[4] = 5;  // the first record's type byte
  try_load(bad_type);
  std::string huge = good;
  huge[0] = '\xFF';
  huge[3] = '\x7F';
  try_load(huge);
  std::string bad_name = good;
  bad_name[9] = '7';  // the first record's name now begins with a digit
  try_load(bad_name);
}

TEST(StatusVariableBlock, HoldsOnlyStatusVariablesAndAddsThem) {
  TParamCollection t;
  Populate(t);
  TKvMemoryStream saved;
  t.SaveStatusVariables(saved);
  TParamCollection u;
  Declare(u, "other", PT_INT);
  saved.SetPosition(0);
  u.LoadStatusVariables(saved);
  EXPECT_EQ(u.FindVariable("keep")->Value()->GetAsInteger(), 99);
  EXPECT_TRUE(u.FindVariable("keep")->status);
  EXPECT_NE(u.FindVariable("other"), nullptr);
  EXPECT_EQ(u.FindVariable("i"), nullptr);
  TKvMemoryStream again;
  u.SaveStatusVariables(again);
  EXPECT_EQ(again.Data(), saved.Data());
}

}  // namespace
}  // namespace quen
