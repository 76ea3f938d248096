#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <ctime>

#include "base/error.h"
#include "expr/build_quen_parser.h"
#include "expr/date_serial.h"
#include "expr/messages.h"
#include "expr/param_collection.h"
#include "expr/quen_parser.h"
#include "expr/sysfunc_messages.h"
#include "expr/sysfunc_register.h"
#include "platform/text_encoding.h"

namespace quen {
namespace {

class ValueFunctions : public ::testing::Test {
 protected:
  ValueFunctions() { RegisterValueFunctions(funcs); }

  TCustomParam& Var(const std::string& name, uint8_t type) {
    bool evaluate = false;
    return *vars.Declare(name, type, VS_GLOBAL, evaluate)->Value();
  }

  // Compiles and runs; the result as "type:text", or "none" when the run ended in an error.
  std::string Run(const std::string& text) {
    TBuildQuenParser build;
    build.Build(text);
    TKvMemoryStream m;
    build.Write(m);
    TViewStream s(m.Data());
    parser.LoadFromStream(s);
    parser.Execute(vars, funcs);
    const TCustomParam* r = parser.Result();
    return r ? std::to_string(r->GetValueType()) + ":" + r->GetAsString() : "none";
  }

  // Calls one function directly with constant arguments; the result as text.
  std::string Call(const char* name, std::initializer_list<long double> args) {
    int n = FindSysFunc(name);
    TTempCollection temps;
    TParamCollectionItem* target = temps.Add("____0", NewParam(kSysFuncs[n].result_type));
    std::vector<std::unique_ptr<TCustomParam>> values;
    std::vector<TCustomParam*> ptrs;
    for (long double a : args) {
      values.push_back(NewParam(PT_FLOAT));
      values.back()->SetAsFloat(a);
      ptrs.push_back(values.back().get());
    }
    TSysFuncCall call{vars, funcs, *target, n, ptrs};
    funcs.Execute(call);
    return target->Value()->GetAsString();
  }

  static std::string Items(const TCustomParam& p) {
    std::string out;
    for (int32_t i = 0; i < p.GetCount(); ++i) out += (i ? "|" : "") + p.GetStrAt(i);
    return out;
  }

  TParamCollection vars;
  TSysFuncMan funcs;
  TQuenParser parser;
};

TEST_F(ValueFunctions, ArraySizesAndTheVariableArguments) {
  TCustomParam& a = Var("a", PT_INT);
  EXPECT_EQ(Run("SetArray(a, 3, 4)"), "1:0");
  EXPECT_EQ(Run("GetArraySize(a)"), "1:12");
  EXPECT_EQ(Run("GetArraySize(a, 0)"), "1:4");
  EXPECT_EQ(Run("GetArraySize(a, 1)"), "1:3");
  EXPECT_EQ(Run("GetArraySize(a, 2)"), "1:1");
  EXPECT_EQ(Run("GetArraySize(a, -1)"), "1:1");
  EXPECT_EQ(Run("GetArraySize(a, -2147483647 - 1)"), "1:1");

  // A bad size or one beyond the cap is refused and leaves the array as it was.
  EXPECT_EQ(Run("SetArray(a, 3, 0)"), "none");
  EXPECT_EQ(parser.LastError(), Format(msg::kArraySizeInvalid, "3,0"));
  EXPECT_EQ(Run("SetArray(a, 65536, 65536)"), "none");
  EXPECT_EQ(a.GetCount(), 12);

  EXPECT_EQ(Run("FillMem(a, \"7\")"), "1:0");
  EXPECT_EQ(a.GetIntAt(0), 7);
  EXPECT_EQ(a.GetIntAt(11), 7);

  for (const auto& [text, message] : {std::pair{"GetArraySize(5)", msg::kGetArraySizeNoVar},
                                      {"SetArray(5, 2)", msg::kSetArrayNoVar},
                                      {"FillMem(5, 2)", msg::kFillMemNoVar},
                                      {"CopyMem(a, 5)", msg::kCopyMemNoVar},
                                      {"CopyMem(5, a)", msg::kCopyMemNoVar}}) {
    EXPECT_EQ(Run(text), "none") << text;
    EXPECT_EQ(parser.LastError(), message) << text;
  }
}

TEST_F(ValueFunctions, CopyMemNeedsTheSameType) {
  TCustomParam& a = Var("a", PT_INT);
  TCustomParam& b = Var("b", PT_INT);
  Var("s", PT_STR).SetAsString("12");
  b.SetDims({2});
  b.SetIntAt(1, 5);
  Run("CopyMem(a, b)");
  EXPECT_EQ(a.GetDims(), std::vector<int32_t>{2});
  EXPECT_EQ(a.GetIntAt(1), 5);
  EXPECT_EQ(Run("CopyMem(a, s)"), "none");
  EXPECT_EQ(parser.LastError(), msg::kCopyMemTypeMismatch);
  EXPECT_EQ(a.GetCount(), 2);
  // CopyArray converts instead.
  Run("CopyArray(a, s)");
  EXPECT_EQ(a.GetDimCount(), 1);
  EXPECT_EQ(a.GetAsInteger(), 12);
}

TEST_F(ValueFunctions, TextAndArraysBothWays) {
  TCustomParam& s = Var("s", PT_STR);
  TCustomParam& t = Var("t", PT_STR);
  TCustomParam& n = Var("n", PT_INT);
  auto split = [&](const std::string& text, const char* call) {
    t.SetAsString(text);
    Run(call);
    return std::to_string(s.GetCount()) + ":" + Items(s);
  };
  EXPECT_EQ(split("a,b,", "StringToArray(t, s, \",\")"), "2:a|b");
  EXPECT_EQ(split("a;b,c", "StringToArray(t, s, \";,\")"), "3:a|b|c");
  EXPECT_EQ(split(",,", "StringToArray(t, s, \",\")"), "2:|");
  EXPECT_EQ(split("x\r\ny\nz\r\rw\r\n", "StringToArray(t, s)"), "5:x|y|z||w");
  EXPECT_EQ(split("", "StringToArray(t, s)"), "1:");
  EXPECT_EQ(s.GetDims().size(), 0u);
  // The trail byte of a double-byte character is not cut, even when it equals a delimiter.
  Var("bs", PT_STR).SetAsString("\\");
  EXPECT_EQ(split("\x95\x5C\\x", "StringToArray(t, s, bs)"), "2:\x95\x5C|x");
  // Pieces are converted into the variable's type; a text may split into itself.
  t.SetAsString("1,2,x");
  Run("StringToArray(t, n, \",\")");
  EXPECT_EQ(Items(n), "1|2|0");
  Run("StringToArray(t, t, \",\")");
  EXPECT_EQ(Items(t), "1|2|x");

  EXPECT_EQ(Run("ArrayToString(t, \"+\")"), "4:1+2+x");
  EXPECT_EQ(Run("ArrayToString(n)"), "4:1\r\n2\r\n0");
  EXPECT_EQ(Run("ArrayToString(7)"), "4:7");
}

TEST_F(ValueFunctions, IndexOfStrAndSortStr) {
  TCustomParam& s = Var("s", PT_STR);
  s.SetDims({3});
  s.SetStrAt(0, "q");
  s.SetStrAt(1, "xabcx");
  s.SetStrAt(2, "ABC");
  EXPECT_EQ(Run("IndexOfStr(s, \"ABC\", FALSE, TRUE)"), "1:1");
  EXPECT_EQ(Run("IndexOfStr(s, \"ABC\")"), "1:2");
  EXPECT_EQ(Run("IndexOfStr(s, \"abc\")"), "1:-1");
  EXPECT_EQ(Run("IndexOfStr(s, \"abc\", FALSE)"), "1:2");
  EXPECT_EQ(Run("IndexOfStr(s, \"zz\", FALSE, TRUE)"), "1:-1");

  s.SetDims({4});
  s.SetStrAt(3, "b");
  Run("SortStr(s)");
  EXPECT_EQ(Items(s), "ABC|b|q|xabcx");
  // Numbers sort as text, and reals keep every digit through the sort.
  TCustomParam& n = Var("n", PT_INT);
  TCustomParam& f = Var("f", PT_FLOAT);
  n.SetDims({3});
  n.SetIntAt(0, 9);
  n.SetIntAt(1, 10);
  n.SetIntAt(2, 1);
  Run("SortStr(n)");
  EXPECT_EQ(Items(n), "1|10|9");
  f.SetDims({2});
  f.SetFloatAt(0, 2.5L);
  f.SetFloatAt(1, 1.0L / 3);
  Run("SortStr(f)");
  EXPECT_EQ(f.GetFloatAt(0), 1.0L / 3);
}

TEST_F(ValueFunctions, ArrayEditsStayInBoundsAndKeepAnElement) {
  TCustomParam& a = Var("a", PT_INT);
  TCustomParam& s = Var("s", PT_STR);
  s.SetDims({2});
  s.SetStrAt(0, "5");
  s.SetStrAt(1, "6");
  EXPECT_EQ(Run("AddArray(a, s)"), "1:3");  // a scalar grows into an array
  EXPECT_EQ(Items(a), "0|5|6");
  EXPECT_EQ(Run("InsertArray(a, 1, 9)"), "1:4");
  EXPECT_EQ(Items(a), "0|9|5|6");
  EXPECT_EQ(Run("InsertArray(a, -100, 1)"), "1:5");
  EXPECT_EQ(Run("InsertArray(a, 2147483647, 2)"), "1:6");
  EXPECT_EQ(Items(a), "1|0|9|5|6|2");
  EXPECT_EQ(Run("AddArray(a, a)"), "1:12");
  EXPECT_EQ(Items(a), "1|0|9|5|6|2|1|0|9|5|6|2");

  EXPECT_EQ(Run("DeleteArray(a, 2, 3)"), "1:9");
  EXPECT_EQ(Items(a), "1|0|2|1|0|9|5|6|2");
  EXPECT_EQ(Run("DeleteArray(a, 100, 5)"), "1:8");  // the index is clamped to the last element
  EXPECT_EQ(Run("DeleteArray(a, -5, 2)"), "1:6");
  EXPECT_EQ(Run("DeleteArray(a, 1, -1)"), "1:6");
  EXPECT_EQ(Items(a), "2|1|0|9|5|6");
  // Deleting everything says 0 but keeps one blank element for the scalar reads.
  EXPECT_EQ(Run("DeleteArray(a, 0, 2147483647)"), "1:0");
  EXPECT_EQ(a.GetCount(), 1);
  EXPECT_EQ(a.GetDims(), std::vector<int32_t>{1});
  EXPECT_EQ(Run("a + 1"), "1:1");
  EXPECT_EQ(Run("DeleteArray(s, 0, 2)"), "1:0");
  EXPECT_EQ(Run("GetArraySize(s)"), "1:1");
  EXPECT_EQ(Run("s"), "4:");

  // Arrays of two or more dimensions are left alone.
  Run("SetArray(a, 2, 2)");
  EXPECT_EQ(Run("AddArray(a, s)"), "1:4");
  EXPECT_EQ(Run("AddArray(s, a)"), "1:1");
  EXPECT_EQ(Run("DeleteArray(a, 0, 1)"), "1:4");
  EXPECT_EQ(a.GetDimCount(), 2);

  // Growing beyond the size cap is refused before anything changes.
  Run("SetArray(a, 9000000)");
  EXPECT_EQ(Run("AddArray(a, a)"), "none");
  EXPECT_EQ(parser.LastError(), Format(msg::kArraySizeInvalid, "18000000"));
  EXPECT_EQ(a.GetCount(), 9000000);
}

// A list served by a higher layer may hold no element at all (no parameters, no ports).
class TEmptyList : public TCustomParam {
 public:
  int32_t GetCount() const override { return 0; }
  uint8_t GetValueType() const override { return PT_STR; }
};

TEST_F(ValueFunctions, EditsOfAnEmptySystemListStayInBounds) {
  vars.SetSystemValue(10, std::make_unique<TEmptyList>());  // @ParamStr
  EXPECT_EQ(Run("DeleteArray(@ParamStr, 0, 1)"), "1:0");
  EXPECT_EQ(Run("InsertArray(@ParamStr, 5, \"x\")"), "1:1");
  EXPECT_EQ(Run("AddArray(@ParamStr, \"x\")"), "1:1");
  EXPECT_EQ(Run("SortStr(@ParamStr)"), "1:0");
  EXPECT_EQ(Run("ArrayToString(@ParamStr)"), "4:");
  EXPECT_EQ(Run("IndexOfStr(@ParamStr, \"x\")"), "1:-1");
}

TEST_F(ValueFunctions, Numbers) {
  EXPECT_EQ(Run("Not(0)"), "3:TRUE");
  EXPECT_EQ(Run("Int(-2.9)"), "1:-2");
  EXPECT_EQ(Run("Float(3)"), "2:3");
  EXPECT_EQ(Run("Abs(-5)"), "1:5");
  EXPECT_EQ(Run("Abs(-2147483647 - 1)"), "1:-2147483648");
  EXPECT_EQ(Run("Fabs(-2.5)"), "2:2.5");
  EXPECT_EQ(Run("Min(3, -4) * 10 + Max(3, -4)"), "1:-37");
  EXPECT_EQ(Run("Fmin(0.5, 0.25) + Fmax(0.5, 0.25)"), "2:0.75");
  EXPECT_EQ(Run("Hypot(3, 4)"), "2:5");
  EXPECT_EQ(Run("ArcTan2(1, 0) * 2 == @Pi"), "3:TRUE");
  EXPECT_EQ(Run("Sin(0) + Cos(0)"), "2:1");
  // A result that is not a number ends the run, like the trapping FPU.
  EXPECT_EQ(Run("ArcSin(2)"), "none");
  EXPECT_EQ(parser.LastError(), msg::kFloatInvalidOp);
}

TEST_F(ValueFunctions, RandomStaysInRangeAndRepeatsAfterASeed) {
  EXPECT_EQ(Call("Random", {0}), "0");
  EXPECT_EQ(Call("Random", {-5}), "0");
  SetRandomSeed(42);
  std::vector<std::string> first;
  std::array<int, 3> histogram{};
  for (int i = 0; i < 3000; ++i) {
    first.push_back(Call("Random", {3}));
    int r = std::stoi(first.back());
    ASSERT_TRUE(r >= 0 && r < 3) << r;
    ++histogram[static_cast<size_t>(r)];
  }
  for (int count : histogram) EXPECT_GT(count, 850);
  SetRandomSeed(42);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(Call("Random", {3}), first[static_cast<size_t>(i)]);
  for (int i = 0; i < 200; ++i) {
    long long r = std::stoll(Call("Random", {2147483647}));
    ASSERT_TRUE(r >= 0 && r < 2147483647) << r;
    ASSERT_EQ(Call("Random", {1}), "0");
  }
}

TEST_F(ValueFunctions, DatesAgreeWithTheCLibrary) {
  constexpr int64_t kUnixDay = 25569;  // 1 January 1970
  const int64_t first = date::EncodeDay(1900, 1, 1).value();
  const int64_t last = date::EncodeDay(2100, 12, 31).value();
  EXPECT_EQ(first, 2);
  for (int64_t day = first; day <= last; ++day) {
    time_t t = static_cast<time_t>((day - kUnixDay) * 86400);
    tm cal{};
    ASSERT_TRUE(gmtime_r(&t, &cal));
    date::TDateParts p = date::Decode(static_cast<long double>(day) + 0.75L);
    ASSERT_EQ(p.year, cal.tm_year + 1900) << day;
    ASSERT_EQ(p.month, cal.tm_mon + 1) << day;
    ASSERT_EQ(p.day, cal.tm_mday) << day;
    ASSERT_EQ(p.week, cal.tm_wday + 1) << day;
    ASSERT_EQ(p.hour, 18) << day;
    tm back{};
    back.tm_year = p.year - 1900;
    back.tm_mon = p.month - 1;
    back.tm_mday = p.day;
    ASSERT_EQ(date::EncodeDay(p.year, p.month, p.day), timegm(&back) / 86400 + kUnixDay);
    // Every 97th day also through the registered functions.
    if (day % 97 == 0) {
      ASSERT_EQ(Call("EncodeDate", {p.year * 1.0L, p.month * 1.0L, p.day * 1.0L}),
                std::to_string(day));
      long double v = day;
      ASSERT_EQ(Call("GetYear", {v}), std::to_string(p.year));
      ASSERT_EQ(Call("GetMonth", {v}), std::to_string(p.month));
      ASSERT_EQ(Call("GetDay", {v}), std::to_string(p.day));
      ASSERT_EQ(Call("GetWeek", {v}), std::to_string(p.week));
    }
  }
  EXPECT_EQ(Call("GetWeek", {0}), "7");
  EXPECT_EQ(Call("GetWeekStr", {0}), "Saturday");
  EXPECT_EQ(Call("GetWeekStr", {1}), "Sunday");
  EXPECT_EQ(Call("GetWeekJStr", {1}), msg::kWeekJSun);
  EXPECT_EQ(Call("GetWeekJStr", {0}), msg::kWeekJSat);
}

TEST_F(ValueFunctions, TimesAndTheEdgesOfTheCalendar) {
  TCustomParam& y = Var("y", PT_INT);
  TCustomParam& m = Var("m", PT_INT);
  TCustomParam& d = Var("d", PT_STR);
  Run("DecodeDate(EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 59), y, m, d)");
  EXPECT_EQ(y.GetAsInteger() * 10000 + m.GetAsInteger() * 100, 20240200);
  EXPECT_EQ(d.GetAsString(), "29");
  Run("DecodeTime(EncodeTime(10, 0, 1), y, m, d)");
  EXPECT_EQ(Items(y) + Items(m) + Items(d), "1001");
  EXPECT_EQ(Run("GetSec(EncodeTime(0, 0, 59))"), "1:59");

  for (const char* bad : {"EncodeDate(2023, 2, 29)", "EncodeDate(0, 1, 1)",
                          "EncodeDate(2000, 13, 1)", "EncodeDate(10000, 1, 1)"}) {
    EXPECT_EQ(Run(bad), "none") << bad;
    EXPECT_EQ(parser.LastError(), msg::kDateEncodeInvalid) << bad;
  }
  EXPECT_EQ(Run("EncodeTime(24, 0, 0)"), "none");
  EXPECT_EQ(Run("EncodeTime(0, -1, 0)"), "none");
  EXPECT_EQ(parser.LastError(), msg::kTimeEncodeInvalid);

  // Negative values: whole days toward zero, the fraction still forward from midnight.
  EXPECT_EQ(Call("GetDay", {-1.25L}), "29");
  EXPECT_EQ(Call("GetHour", {-1.25L}), "6");
  EXPECT_EQ(Call("GetWeek", {-1.25L}), "6");
  EXPECT_EQ(Call("GetYear", {-693593}), "1");
  // A time that rounds up to midnight belongs to the next day.
  EXPECT_EQ(Call("GetDay", {1.9999999999L}), "1");
  EXPECT_EQ(Call("GetHour", {1.9999999999L}), "0");
  // Beyond the calendar everything decodes to zero or empty text.
  for (long double v : {-693594.0L, 2958466.0L, 1E300L, -1E4000L}) {
    EXPECT_EQ(Call("GetYear", {v}), "0");
    EXPECT_EQ(Call("GetWeek", {v}), "0");
    EXPECT_EQ(Call("GetWeekStr", {v}), "");
  }
  EXPECT_EQ(Call("GetDay", {2958465.5L}), "31");
}

TEST_F(ValueFunctions, TheVariableTable) {
  TCustomParam& a = Var("a", PT_FLOAT);
  Var("s", PT_STR).SetAsString("a");
  EXPECT_EQ(Run("VarExists(\"A\")"), "3:TRUE");
  EXPECT_EQ(Run("VarExists(\"b\")"), "3:FALSE");
  EXPECT_EQ(Run("GetVarType(a) * 10 + GetVarType(\"a\")"), "1:24");
  EXPECT_EQ(Run("AssignTemp(s)"), "3:TRUE");
  Run("@Temp = 2.5");
  EXPECT_EQ(a.GetAsFloat(), 2.5L);
  EXPECT_EQ(Run("AssignTemp(\"@Temp\")"), "3:FALSE");
  EXPECT_EQ(Run("AssignTemp(\"nothing\")"), "3:FALSE");

  EXPECT_EQ(Run("PushVar(\"a\", s)"), "3:TRUE");
  a.SetAsFloat(7);
  EXPECT_EQ(Run("PopVar()"), "3:TRUE");
  EXPECT_EQ(a.GetAsFloat(), 2.5L);
  EXPECT_EQ(Run("PopVar()"), "3:TRUE");  // an empty stack is fine
}

TEST(SysfuncMessages, EveryRowConverts) {
  for (const auto& row : msg::kSysfuncMessages)
    EXPECT_EQ(platform::Cp932ToUtf8(row.sjis), row.utf8) << row.name;
}

}  // namespace
}  // namespace quen
