#include <gtest/gtest.h>

#include <random>

#include "base/error.h"
#include "expr/build_quen_parser.h"
#include "expr/param_collection.h"
#include "expr/param_var.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_man.h"

namespace quen {
namespace {

// Flips a few bytes of a good stream many times over: every reader either loads or raises the
// system's error, and whatever loads can be used (ASan and UBSan watch the rest).
std::string Mutate(std::string s, std::mt19937& rng) {
  int flips = 1 + static_cast<int>(rng() % 4);
  for (int i = 0; i < flips && !s.empty(); ++i) {
    size_t at = rng() % s.size();
    switch (rng() % 3) {
      case 0:
        s[at] = static_cast<char>(rng());
        break;
      case 1:
        s[at] = static_cast<char>(0xFF);
        break;
      default:
        s.resize(at);
        break;
    }
  }
  return s;
}

TEST(DamagedInput, VariableBlocksLoadOrFailCleanly) {
  TParamCollection t;
  bool evaluate = false;
  t.Declare("n", PT_INT, VS_GLOBAL, evaluate)->Value()->SetDims({2, 3});
  t.Declare("s", PT_STR, VS_GLOBAL, evaluate)->Value()->SetAsString("text");
  t.Declare("f", PT_FLOAT, VS_STATUS, evaluate)->Value()->SetAsFloat(2.5L);
  auto* r = t.AddVariable(PT_NONE);
  t.SetVarName(r, "r");
  static_cast<TParamVar*>(r->Value())->SetTarget(t.FindVariable("s"));
  t.PushVariables({"n", "s"});
  TKvMemoryStream game, status;
  t.SaveGameVariables(game);
  t.SaveStatusVariables(status);
  std::mt19937 rng(1234);
  int loaded = 0;
  for (int i = 0; i < 3000; ++i) {
    TParamCollection u;
    const std::string& good = (i % 2) ? game.Data() : status.Data();
    std::string bytes = Mutate(good, rng);
    TViewStream s(bytes);
    try {
      if (i % 2)
        u.LoadGameVariables(s, kGameSaveVersion);
      else
        u.LoadStatusVariables(s);
      ++loaded;
      for (int k = 0; k < u.Count(); ++k) (void)u.Item(k)->Value()->GetAsString();
      while (!u.PushStack().empty()) u.PopVariables();
      TKvMemoryStream again;
      u.SaveGameVariables(again);
    } catch (const EQuenError&) {
    }
  }
  EXPECT_GT(loaded, 0);
}

TEST(DamagedInput, StoredExpressionsLoadOrFailCleanly) {
  TParamCollection vars;
  TSysFuncMan funcs;
  bool evaluate = false;
  vars.Declare("a", PT_INT, VS_GLOBAL, evaluate)->Value()->SetDims({3});
  TBuildQuenParser build;
  build.Build("a[1] = Max(a[0] + 2 * 3.5, \"7\" ++ \"x\") << 2 == TRUE");
  TKvMemoryStream good;
  build.Write(good);
  std::mt19937 rng(99);
  int ran = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string bytes = Mutate(good.Data(), rng);
    TViewStream s(bytes);
    TQuenParser p;
    try {
      p.LoadFromStream(s);
      p.Execute(vars, funcs);
      ++ran;
    } catch (const EQuenError&) {
    }
  }
  EXPECT_GT(ran, 0);
}

}  // namespace
}  // namespace quen
