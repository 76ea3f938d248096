// The variable listing written at the end of headless runs.
#include <gtest/gtest.h>

#include "expr/param_collection.h"
#include "platform/text_encoding.h"
#include "runtime/interp_host.h"

namespace quen {
namespace {

TEST(DumpVariables, ScalarsAndArraysOfEveryType) {
  TParamCollection vars;
  bool ev = false;
  vars.Declare("n", PT_INT, VS_GLOBAL, ev)->Value()->SetAsInteger(-3);
  vars.Declare("f", PT_FLOAT, VS_GLOBAL, ev)->Value()->SetAsFloat(1.5L);
  vars.Declare("b", PT_BOOL, VS_GLOBAL, ev)->Value()->SetAsBool(true);
  TCustomParam* s = vars.Declare(platform::Utf8ToCp932("名前"), PT_STR, VS_GLOBAL, ev)->Value();
  s->SetAsString(platform::Utf8ToCp932("値"));
  TCustomParam* a = vars.Declare("a", PT_INT, VS_GLOBAL, ev)->Value();
  a->SetDims({2, 2});
  a->SetIntAt(3, 7);
  std::string text = DumpVariables(vars);
  EXPECT_NE(text.find("n\t整数\t-3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("f\t実数\t1.5\n"), std::string::npos) << text;
  EXPECT_NE(text.find("b\tフラグ\t"), std::string::npos) << text;
  EXPECT_NE(text.find("名前\t文字列\t値\n"), std::string::npos) << text;
  EXPECT_NE(text.find("a\t整数[2,2]\t0\t0\t0\t7\n"), std::string::npos) << text;
  EXPECT_EQ(text.find('@'), std::string::npos);  // system variables are not listed
}

}  // namespace
}  // namespace quen
