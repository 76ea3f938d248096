#include <gtest/gtest.h>

#include "base/error.h"
#include "expr/param_collection.h"
#include "expr/sys_func_man.h"
#include "expr/sysfunc_args.h"
#include "expr/sysfunc_register.h"
#include "text/messages.h"
#include "text_helpers.h"

namespace quen {
namespace {

using testing::Glyphs;
using testing::SetMarkup;

struct Script {
  TParamCollection vars;
  TSysFuncMan funcs;
  Script() {
    RegisterTextFunctions(funcs);
    RegisterValueFunctions(funcs);
  }
};

TEST(TextVariables, ValuesExpressionsAndReexpansion) {
  Script s;
  TKvWord w;
  w.SetExpressionContext(&s.vars, &s.funcs);
  SetMarkup(w, "[<VAR NAME=who>][<VAR NAME=\"1+2\">][<VAR NAME=\"1+\">][<HISTCHAR VALUE=who>]");
  w.Values() = {
      "WHO=a\x01"
      "b\x02"
      "c"};  // names ignore case; 0x01 is a line break
  int32_t last = w.ExpandVariables(0, -1);
  EXPECT_EQ(Glyphs(w), "[<var>a<return>bc][<var>3][<var>][<histchar>]");
  EXPECT_EQ(last, w.GlyphCount() - 1);
  // A second expansion replaces the first; the history expands its own characters too.
  w.Values() = {"who=zz"};
  w.ExpandVariables(0, -1, true);
  EXPECT_EQ(Glyphs(w), "[<var>zz][<var>3][<var>][<histchar>zz]");
  // Deleting a glyph around an expansion does not confuse the next one.
  w.DeleteGlyph(0);
  w.ExpandVariables(0, -1);
  EXPECT_EQ(Glyphs(w), "<var>zz][<var>3][<var>][<histchar>zz]");
  w.CollapseVariables(0, -1);
  EXPECT_EQ(Glyphs(w), "<var>][<var>][<var>][<histchar>]");
  // Expanded characters hold the variable's decoration, released when they go.
  EXPECT_EQ(w.Decorations().Count(), 1);
  EXPECT_EQ(w.Decorations().Item(0).RefCount(), w.GlyphCount());
}

// An expression that reaches the text it is expanding: a new text waits until the expansion
// ends, other changes are refused; the list being walked is never freed.
TEST(TextVariables, AnExpressionCannotPullTheTextAway) {
  Script s;
  TKvWord w;
  w.SetExpressionContext(&s.vars, &s.funcs);
  int calls = 0;
  bool refused = false;
  s.funcs.Register("Calc", [&](TSysFuncCall& c) {
    ++calls;
    try {
      w.DeleteGlyph(0);
    } catch (const EQuenError& e) {
      refused = e.Message() == msg::kTextBusy;
    }
    w.SetText({c.args[0]->GetAsString()});
  });
  SetMarkup(w, "a<VAR NAME='Calc(\"new\")'>b<VAR NAME='Calc(\"other\")'>c");
  w.ExpandVariables(0, -1);
  EXPECT_EQ(calls, 1);  // the walk stopped at the first change
  EXPECT_TRUE(refused);
  EXPECT_EQ(Glyphs(w), "new");
}

TEST(TextVariables, WaitDefaultsToTheTextDelayOfTheTable) {
  Script s;
  s.vars.FindVariable("@TextDelay")->Value()->SetAsInteger(77);
  TKvWord w;
  w.SetExpressionContext(&s.vars, &s.funcs);
  SetMarkup(w, "a");
  EXPECT_EQ(w.GlyphAt(0)->Delay(), 77);
}

TEST(TextSettings, RecordBranchesAtVersion110) {
  TKvWord w;
  w.settings.font_name = "f";
  w.settings.insert_indent = 5;
  w.settings.default_border = 2;
  w.settings.default_shadow = 3;
  // Up to version 109, with a one-byte font name.
  const size_t base = 2 * 4 + 4 + (4 + 1) + 5 * 4 + 1 + 4 * 4 + 4 + 1 + 8 + 4 + 1;
  for (int32_t version : {109, 110, 111}) {
    TKvMemoryStream m;
    w.SaveSettings(m, version);
    EXPECT_EQ(m.Data().size(), base + (version >= 110 ? 4 : 0) + (version > 110 ? 8 : 0));
    m.SetPosition(0);
    TKvWord r;
    r.LoadSettings(m, version);
    EXPECT_EQ(m.Remaining(), 0);
    EXPECT_EQ(r.settings.font_name, "f");
    EXPECT_EQ(r.settings.insert_indent, version >= 110 ? 5 : 0);
    EXPECT_EQ(r.settings.default_shadow, version > 110 ? 3 : 0);
    EXPECT_EQ(r.settings.link_color, 0xFF0000);
    TKvMemoryStream cut(m.Data().substr(0, m.Data().size() - 1));
    EXPECT_THROW(r.LoadSettings(cut, version), EQuenError);
    EXPECT_EQ(r.settings.font_name, "f");  // a failed load leaves the settings
  }
}

}  // namespace
}  // namespace quen
