#include <gtest/gtest.h>

#include "base/error.h"
#include "expr/build_quen_parser.h"
#include "expr/messages.h"
#include "expr/param_collection.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_man.h"

namespace quen {
namespace {

class Expressions : public ::testing::Test {
 protected:
  TParamCollectionItem* Var(const std::string& name, uint8_t type) {
    bool evaluate = false;
    return vars.Declare(name, type, VS_GLOBAL, evaluate);
  }

  std::string Compile(const std::string& text) {
    TBuildQuenParser build;
    build.Build(text);
    TKvMemoryStream m;
    build.Write(m);
    return m.Data();
  }

  // Compiles, passes through the stored form and runs; returns the result as "type:text" or
  // "none".
  std::string Run(const std::string& text) {
    TViewStream s(stored = Compile(text));
    parser.LoadFromStream(s);
    parser.Execute(vars, funcs);
    const TCustomParam* r = parser.Result();
    return r ? std::to_string(r->GetValueType()) + ":" + r->GetAsString() : "none";
  }

  std::string CompileError(const std::string& text) {
    try {
      Compile(text);
    } catch (const EQuenError& e) {
      return e.Message();
    }
    return "(compiled)";
  }

  TParamCollection vars;
  TSysFuncMan funcs;
  TQuenParser parser;
  std::string stored;
};

TEST_F(Expressions, PrecedenceSignsAndAssociativity) {
  auto* a = Var("a", PT_INT);
  EXPECT_EQ(Run("a = 1 + 2 * 3"), "none");
  EXPECT_EQ(a->Value()->GetAsInteger(), 7);
  Run("a = (1 + 2) * 3");
  EXPECT_EQ(a->Value()->GetAsInteger(), 9);
  Run("a = 10 - 4 - 3");
  EXPECT_EQ(a->Value()->GetAsInteger(), 3);
  Run("a = -2 * 3");
  EXPECT_EQ(a->Value()->GetAsInteger(), -6);
  Run("a = 2 * -3");
  EXPECT_EQ(a->Value()->GetAsInteger(), -6);
  Run("a = 1 - -1");
  EXPECT_EQ(a->Value()->GetAsInteger(), 2);
  EXPECT_EQ(Run("-5 + 2"), "1:-3");
  EXPECT_EQ(Run("1 | 6 & 3 ^ 8"), "1:11");
  EXPECT_EQ(Run("2 + 3 == 5"), "3:TRUE");
  EXPECT_EQ(Run("1 << 2 + 1"), "1:8");
  EXPECT_EQ(Run("\"x\" ++ 1 + 2"), "4:x3");
  EXPECT_EQ(Run("-7 % 2"), "1:-1");
  EXPECT_EQ(CompileError("a = b = 1"), msg::kSyntaxError);
  EXPECT_EQ(a->Value()->GetAsInteger(), 2);
  EXPECT_EQ(CompileError("a = 1 +"), msg::kSyntaxError);
  EXPECT_EQ(CompileError("* 2"), msg::kSyntaxError);
  EXPECT_EQ(CompileError("a = (1"), msg::kSyntaxError);
}

TEST_F(Expressions, TypesOfTemporariesDecideTheArithmetic) {
  auto* x = Var("x", PT_FLOAT);
  Run("x = 7 / 2");
  EXPECT_EQ(x->Value()->GetAsFloat(), 3.0L);
  Run("x = 7.0 / 2");
  EXPECT_EQ(x->Value()->GetAsFloat(), 3.5L);
  EXPECT_EQ(Run("\"ab\" ++ \"cd\""), "4:abcd");
  EXPECT_EQ(Run("\"12\" + \"30\""), "4:42");
  EXPECT_EQ(Run("\"ab\" + \"cd\""), "4:0");
  EXPECT_EQ(Run("\"abc\" < \"abd\""), "3:TRUE");
  EXPECT_EQ(Run("\"ab\" < \"abc\""), "3:TRUE");
  EXPECT_EQ(Run("\"\x82\xA0\" > \"z\""), "3:TRUE");  // bytes compare unsigned
  EXPECT_EQ(Run("2 == 2.0"), "3:TRUE");
  EXPECT_EQ(Run("2.5 == 2"), "3:FALSE");
  EXPECT_EQ(Run("TRUE > FALSE"), "3:TRUE");
  EXPECT_EQ(Run("-1 >> 28"), "1:15");
  EXPECT_EQ(Run("1 << 33"), "1:2");
  EXPECT_EQ(Run("$FF + 1E2"), "2:355");
  EXPECT_EQ(Run("2147483647 + 1"), "1:-2147483648");
  EXPECT_EQ(Run("2147483648"), "2:2147483648");
  auto* nan = Var("nan", PT_INT);  // not a number: a name
  nan->Value()->SetAsInteger(4);
  EXPECT_EQ(Run("nan * 2"), "1:8");
  EXPECT_EQ(Run("inf"), "none");
}

TEST_F(Expressions, RunTimeErrorsEndTheRunAndKeepEarlierEffects) {
  auto* a = Var("a", PT_INT);
  a->Value()->SetAsInteger(5);
  for (const char* bad : {"a = 1 / 0", "a = 1 % 0", "a = $80000000 / -1", "a = $80000000 % -1",
                          "a = 1.0 / 0", "a = 0.0 / 0", "a = 1E4000 * 1E4000 + 1"}) {
    EXPECT_EQ(Run(bad), "none") << bad;
    EXPECT_FALSE(parser.LastError().empty()) << bad;
    EXPECT_EQ(a->Value()->GetAsInteger(), 5) << bad;
  }
  EXPECT_EQ(Run("missing + 1"), "none");
  EXPECT_EQ(parser.LastError(), Format(msg::kVariableMissing, "missing"));
  int calls = 0;
  funcs.Register("Abs", [&](TSysFuncCall& c) {
    ++calls;
    c.target.Value()->SetAsInteger(std::abs(c.args[0]->GetAsInteger()));
  });
  EXPECT_EQ(Run("Abs(-1) + missing"), "none");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(Run("Abs(-4) * 2"), "1:8");
  // A function nobody registered fails the run like any error.
  EXPECT_EQ(Run("Not(TRUE)"), "none");
  EXPECT_EQ(parser.LastError(), Format(msg::kFuncNotImplemented, "Not"));
}

TEST_F(Expressions, FunctionsRunInnermostAndRightmostFirst) {
  std::string order;
  for (const char* name : {"Min", "Max", "Abs"})
    funcs.Register(name, [&order, name](TSysFuncCall& c) {
      order += name;
      order += ' ';
      c.target.Value()->SetAsInteger(c.args[0]->GetAsInteger());
    });
  EXPECT_EQ(Run("Max(Abs(1), Min(2, 3))"), "1:1");
  EXPECT_EQ(order, "Min Abs Max ");
  EXPECT_EQ(CompileError("Nothing(1)"), Format(msg::kFuncNameMissing, "Nothing"));
  EXPECT_EQ(CompileError("Abs(1, 2)"), std::string("Abs") + msg::kFuncArgCountInvalid);
  EXPECT_EQ(CompileError("Max(1)"), std::string("Max") + msg::kFuncArgCountInvalid);
  EXPECT_EQ(CompileError("Abs(a[1)"), msg::kSyntaxError);
}

TEST_F(Expressions, ConstantArgumentsAreThrowAwayCopies) {
  funcs.Register("Delete", [](TSysFuncCall& c) { c.args[0]->SetAsInteger(99); });
  Run("Delete(5, 1)");
  Run("Delete(5, 1)");
  ASSERT_EQ(parser.Records().size(), 2u);
  EXPECT_EQ(parser.Records()[0].operands[0]->GetAsInteger(), 5);
  auto* v = Var("v", PT_INT);
  Run("Delete(v, 1)");  // a name is the variable itself
  EXPECT_EQ(v->Value()->GetAsInteger(), 99);
}

TEST_F(Expressions, ArraysAddressedRowMajor) {
  auto* a = Var("a", PT_INT);
  a->Value()->SetDims({3, 2});
  Run("a[1,1] = 5");
  EXPECT_EQ(a->Value()->GetIntAt(3), 5);
  Run("a[0,5] = 7");  // single subscripts are not checked against their own size
  EXPECT_EQ(a->Value()->GetIntAt(5), 7);
  EXPECT_EQ(Run("a[3,0]"), "none");
  EXPECT_EQ(parser.LastError(), std::string("a[3,0]\r\n") + msg::kSubscriptBeyondCount);
  EXPECT_EQ(Run("a[1]"), "none");
  EXPECT_EQ(parser.LastError(), std::string("a[1]\r\n") + msg::kSubscriptInvalid);
  EXPECT_EQ(Run("a[0,-1]"), "none");
  EXPECT_EQ(parser.LastError(), msg::kArrayIndexInvalid);
  EXPECT_EQ(Run("(a[1,1] + 2) * 3"), "1:21");
  EXPECT_EQ(Run("a[0, 2 + 3] + a[1 , 1]"), "1:12");
  auto* c = Var("c", PT_INT);
  c->Value()->SetDims({2, 3, 4});
  Run("c[1,2,3] = 9");
  EXPECT_EQ(c->Value()->GetIntAt(23), 9);
  EXPECT_EQ(Run("c[0, 0, 24]"), "none");
  EXPECT_EQ(Run("c[-1, 6, 0]"), "1:0");  // -12 + 24: only the flat index is checked
  auto* s = Var("s", PT_INT);
  EXPECT_EQ(Run("s[0] + 1"), "1:1");
  EXPECT_EQ(Run("s[1]"), "none");
  EXPECT_EQ(Run("s[-1]"), "none");  // the result temporary exists, but the run failed
  EXPECT_EQ(CompileError("a[]"), msg::kDimSubscriptMissing);
  EXPECT_EQ(CompileError("+[1]"), msg::kSyntaxError);
  EXPECT_EQ(CompileError("a]1["), msg::kSyntaxError);
  (void)s;
}

TEST_F(Expressions, ShiftJisTextIsScannedByCharacters) {
  // ポ (83 7C) ends in '|', ー (81 5B) in '[', ソ (83 5C) in '\'.
  auto* p = Var("\x83\x7C\x83\x43\x83\x93\x83\x67", PT_INT);  // ポイント
  auto* d = Var("\x83\x66\x81\x5B\x83\x5E", PT_STR);          // データ
  Run("\x83\x7C\x83\x43\x83\x93\x83\x67 = 40 + 2");
  EXPECT_EQ(p->Value()->GetAsInteger(), 42);
  Run("\x83\x66\x81\x5B\x83\x5E = \"\x83\x5C\" ++ \"a\\nb\" ++ \"\\\"\\\\\"");
  EXPECT_EQ(d->Value()->GetAsString(),
            "\x83\x5C"
            "a\r\nb\"\\");
  d->Value()->SetDims({2});
  d->Value()->SetStrAt(1, "x");
  EXPECT_EQ(Run("\x83\x66\x81\x5B\x83\x5E[1] ++ \"\x83\x5C\""), "4:x\x83\x5C");
}

TEST_F(Expressions, DeepNestingIsASyntaxErrorNotACrash) {
  EXPECT_EQ(Run(std::string(150, '(') + "1" + std::string(150, ')')), "1:1");
  EXPECT_EQ(CompileError(std::string(100000, '(') + "1" + std::string(100000, ')')),
            msg::kSyntaxError);
  std::string calls;
  for (int i = 0; i < 300; ++i) calls += "Abs(";
  EXPECT_EQ(Compile(calls + "1" + std::string(300, ')')).empty(), false);
  std::string literals;
  for (int i = 0; i < 3000; ++i) literals += "\"\"";
  EXPECT_EQ(CompileError(literals), msg::kSyntaxError);
}

TEST_F(Expressions, RepeatedRunsSeeTheTableAsItIsNow) {
  TViewStream s(stored = Compile("x + 1"));
  parser.LoadFromStream(s);
  auto result = [&] {
    parser.Execute(vars, funcs);
    return parser.Result() ? parser.Result()->GetAsString() : "none";
  };
  EXPECT_EQ(result(), "none");
  Var("x", PT_INT)->Value()->SetAsInteger(1);
  EXPECT_EQ(result(), "2");
  vars.SetCurrentFrameId(1);
  bool evaluate = false;
  vars.Declare("x", PT_INT, VS_LOCAL, evaluate)->Value()->SetAsInteger(10);
  EXPECT_EQ(result(), "11");
  vars.SetCurrentFrameId(0);
  EXPECT_EQ(result(), "2");
  vars.DeleteVariable(vars.FindVariable("x"));
  EXPECT_EQ(result(), "none");
  // A global whose name looks like a temporary is still found.
  Var("____9", PT_INT)->Value()->SetAsInteger(4);
  EXPECT_EQ(Run("____9 * 2"), "1:8");
}

TEST_F(Expressions, CopiesBetweenTemporariesAreRemoved) {
  TBuildQuenParser build;
  build.Build("a = (1 + 2) * 3");
  for (const TBuildOpeData& r : build.Records())
    EXPECT_FALSE(r.op == ocTo && r.target.rfind("____", 0) == 0 &&
                 r.operands[0].rfind("____", 0) == 0);
  ASSERT_EQ(build.Records().size(), 3u);
  EXPECT_EQ(build.Records()[1].operands[0], build.Records()[0].target);
}

TEST_F(Expressions, StoredFormRoundTripsFromTheRunTimeRecords) {
  Var("x", PT_FLOAT);
  for (const char* text : {"x = 1.5 * -2 + Abs(3) ++ \"s\\n\" == TRUE", "x[0] = x / 3", "1"}) {
    std::string bytes = Compile(text);
    TViewStream s(bytes);
    parser.LoadFromStream(s);
    TKvMemoryStream again;
    parser.SaveToStream(again);
    EXPECT_EQ(again.Data(), bytes) << text;
    TQuenParser copy;
    copy.Assign(parser);
    TKvMemoryStream copied;
    copy.SaveToStream(copied);
    EXPECT_EQ(copied.Data(), bytes) << text;
  }
}

TEST_F(Expressions, DamagedStoredFormsAreRefused) {
  std::string good = Compile("x = Max(1, y) + \"s\"");
  for (size_t cut = 0; cut < good.size(); ++cut) {
    TViewStream s(std::string_view(good).substr(0, cut));
    EXPECT_THROW(parser.LoadFromStream(s), EQuenError) << cut;
  }
  auto i32 = [](int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  auto refused = [&](const std::string& bytes) {
    TViewStream s(bytes);
    EXPECT_THROW(parser.LoadFromStream(s), EQuenError);
  };
  refused(i32(0x7FFFFFFF));
  refused(i32(1) + "\x01" + i32(1) + "a" + i32(0x10000000));
  // A function number beyond the table, and an argument count outside its limits.
  refused(i32(1) + "\x0B" + i32(1) + "a" + i32(0) + "\xC8");
  refused(i32(1) + "\x0B" + i32(1) + "a" + i32(2) + "\x30" + "\x01" + i32(1) + "\x01" + i32(2));
  // An operand type above 4.
  refused(i32(1) + "\x01" + i32(1) + "a" + i32(1) + "\x09" + i32(0));
  // A real that is not a finite number.
  refused(i32(1) + "\x01" + i32(1) + "a" + i32(1) + "\x02" +
          std::string("\0\0\0\0\0\0\0\xC0\xFF\x7F", 10));
}

TEST_F(Expressions, InvalidOperationsNameThemselves) {
  auto i32 = [](int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  std::string bytes = i32(1) + "\x15" + i32(5) + "____0" + i32(1) + "\x01" + i32(7);
  TViewStream s(bytes);
  parser.LoadFromStream(s);
  parser.Execute(vars, funcs);
  EXPECT_EQ(parser.LastError(),
            std::string(msg::kInvalidExpr) + "____0" + msg::kInvalidExprOpType + "21\r\n7");
  // A binary operation stored with one operand fails instead of reading past the list.
  bytes = i32(1) + "\x02" + i32(5) + "____0" + i32(1) + "\x01" + i32(7);
  TViewStream s2(bytes);
  parser.LoadFromStream(s2);
  parser.Execute(vars, funcs);
  EXPECT_EQ(parser.LastError(),
            std::string(msg::kInvalidExpr) + "____0" + msg::kInvalidExprOpType + "ocPlus\r\n7");
}

TEST_F(Expressions, GetPropResultTakesThePropertyType) {
  funcs.Register("GetProp", [](TSysFuncCall&) {});
  EXPECT_EQ(Run("GetProp(\"c\", 3)"), "1:0");    // PR_LEFT
  EXPECT_EQ(Run("GetProp(\"c\", 0)"), "4:");     // PR_NAME
  EXPECT_EQ(Run("GetProp(\"c\", 259)"), "1:0");  // the low byte counts
  EXPECT_EQ(Run("GetProp(\"c\", 32)"), "3:FALSE");
  EXPECT_EQ(Run("GetProp(\"c\", 165)"), "none");
  EXPECT_EQ(parser.LastError(), msg::kGetPropArgInvalid);
}

TEST_F(Expressions, NestedRunsHaveTheirOwnTemporaries) {
  funcs.Register("Calc", [](TSysFuncCall& c) {
    if (RunText(c.args[0]->GetAsString(), c.vars, c.funcs)) c.target.Value()->SetAsString("TRUE");
  });
  funcs.Register("Length", [](TSysFuncCall& c) {
    c.target.Value()->SetAsInteger(static_cast<int32_t>(c.args[0]->GetAsString().size()));
  });
  auto* r = Var("r", PT_FLOAT);
  auto* r2 = Var("r2", PT_STR);
  Run("r2 = Calc(\"r = 7 / 2.0\")");
  EXPECT_EQ(r->Value()->GetAsFloat(), 3.5L);
  EXPECT_EQ(r2->Value()->GetAsString(), "TRUE");
  EXPECT_EQ(Run("2 * 3 + Length(Calc(\"q = 10 * 10\")) * 100"), "1:406");
  EXPECT_EQ(Run("Calc(\"1 +\")"), "4:");
  EXPECT_FALSE(RunText("   ", vars, funcs));
  // No temporary outlives its run.
  for (int i = 0; i < vars.Count(); ++i) EXPECT_NE(vars.Item(i)->Name().rfind("____", 0), 0u);
}

TEST_F(Expressions, ResultThatCannotBeDetachedStillFreesTheRun) {
  auto* ref = vars.AddVariable(PT_NONE);
  vars.SetVarName(ref, "ref");
  TViewStream s(stored = Compile("ref"));
  parser.LoadFromStream(s);
  EXPECT_THROW(parser.Execute(vars, funcs), EQuenError);
  EXPECT_EQ(parser.Result(), nullptr);
  EXPECT_EQ(vars.Count(), kSystemVariableCount + 1);
}

}  // namespace
}  // namespace quen
