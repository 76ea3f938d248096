// Page files: every command of every version through the text form and back, the version
// branches of the reader, and damaged pages.
#include <gtest/gtest.h>

#include "authoring/page_text.h"
#include "base/error.h"
#include "expr/build_quen_parser.h"
#include "platform/text_encoding.h"
#include "runtime/command.h"
#include "runtime/interp_messages.h"
#include "runtime/project.h"

namespace quen {
namespace {

std::string Bytes(const TPage& p) {
  TKvMemoryStream m;
  p.SaveToStream(m);
  return m.Data();
}

void LoadBytes(TPage& p, const std::string& b) {
  TKvMemoryStream m(b);
  p.LoadFromStream(m);
}

// One line per command code, each field set to something other than its default.
std::string EveryCommand(int version) {
  std::string t = ".version " + std::to_string(version) + "\n.result str\n";
  for (int code = 0; code < kCommandCount; ++code) {
    const TCommandInfo& info = CommandInfo(code);
    std::string line = info.name;
    if (code == 31) line = "WhileInit i = 0\nWhile";
    if (code == 32) continue;
    for (const TFieldSpec& f : info.fields) {
      if (f.above && version <= f.above) continue;
      std::string n = f.name;
      switch (f.kind) {
        case FK_EXPR:
          line += " " + n + "={" + std::to_string(code) + " + 1}";
          break;
        case FK_STR:
          line += " " + n + "=\"s\\\"" + std::to_string(code) + "\\x81\"";
          break;
        case FK_INT:
          if (n == "target") {
            if (code >= 33) line += " target=1";
            continue;
          }
          line += " " + n + "=" + std::to_string(code * 3);
          break;
        case FK_BYTE:
          line += " " + n + "=" + (n == "type" ? "str" : "2");
          break;
        case FK_EXPRLIST:
          line += " " + n + "={1} " + n + "={\"two\"}";
          break;
        case FK_PROPS:
          line += " p1={1} p164={\"x\"}";
          if (code % 2) line += " p80={TRUE}";
          break;
      }
    }
    t += line + " cont=0 disabled=1\n";
    if (code == 31) t += "  Break\n  Continue x > 1\nWhileLoop i = i + 1\n";
  }
  return t;
}

TEST(PageFormat, EveryCommandOfEveryVersionRoundTripsThroughText) {
  for (int version = kMinPageVersion; version <= kMaxPageVersion; ++version) {
    SCOPED_TRACE(version);
    TPage a;
    AssemblePage(EveryCommand(version), "a.qsb", a);
    std::string bytes = Bytes(a);
    TPage b;
    LoadBytes(b, bytes);
    ASSERT_EQ(b.Commands().Count(), a.Commands().Count());
    EXPECT_EQ(Bytes(b), bytes);
    std::string text = DumpPage(b);
    TPage c;
    AssemblePage(text, "a.qsb", c);
    EXPECT_EQ(Bytes(c), bytes) << text;
    EXPECT_EQ(DumpPage(c), text);
  }
}

TEST(PageFormat, VersionBranchesOfTheFields) {
  TPage p106, p107;
  AssemblePage(".version 106\nWait x\nFlip\nTextIns hello\nMovieStop", "p.qsb", p106);
  AssemblePage(".version 107\nWait x\nFlip\nTextIns hello\nMovieStop", "p.qsb", p107);
  // Each of the four commands stores one more empty expression (4 bytes) from version 107.
  EXPECT_EQ(Bytes(p107).size(), Bytes(p106).size() + 16);
  EXPECT_FALSE(p106.Commands().At(0)->fields[2].present);
  EXPECT_TRUE(p107.Commands().At(0)->fields[2].present);
  EXPECT_THROW(AssemblePage(".version 106\nWait block={1}", "p.qsb", p106), EQuenError);
  TPage g104, g105;
  AssemblePage(".version 104\nGameSave", "p.qsb", g104);
  AssemblePage(".version 105\nGameSave value=7", "p.qsb", g105);
  EXPECT_EQ(Bytes(g105).size(), Bytes(g104).size() + 4);
}

TEST(PageFormat, PropertySetRecordSizes) {
  TPage p;
  AssemblePage("BoxNew p1={5} p100={6}", "p.qsb", p);
  std::string b = Bytes(p);
  // Rewrite the sets with records of 25 bytes: the four extra bytes reach no set.
  TPage wide;
  AssemblePage(
      ".setsize 25\n.set 8 02000000000000000000000010000000000000000000ffffffff\n"
      "BoxNew p1={5} p100={6}",
      "p.qsb", wide);
  TPage back;
  LoadBytes(back, Bytes(wide));
  EXPECT_EQ(back.prop_sets[8], p.prop_sets[8]);
  ASSERT_EQ(back.Commands().At(0)->fields[0].ids.size(), 2u);
  EXPECT_EQ(Bytes(back), Bytes(wide));
  // Records of 10 bytes hold ids below 80 only.
  EXPECT_THROW(AssemblePage(".setsize 10\nBoxNew p100={6}", "p.qsb", p), EQuenError);
  TPage narrow;
  AssemblePage(".setsize 10\nBoxNew p1={5} p79={6}", "p.qsb", narrow);
  TPage nb;
  LoadBytes(nb, Bytes(narrow));
  EXPECT_EQ(nb.Commands().At(0)->fields[0].ids, (std::vector<uint8_t>{1, 79}));
  // An empty set stores no property expressions: the body is the base record alone.
  TPage empty;
  AssemblePage("BoxNew", "p.qsb", empty);
  EXPECT_EQ(Bytes(empty).size(), 4u + 1 + 8 + 61 * 21 + 4 + 11);
}

TEST(PageFormat, CodeByteHighBitAndUnknownCodes) {
  TPage p;
  AssemblePage("Jump code=132 target=0", "p.qsb", p);
  TPage q;
  LoadBytes(q, Bytes(p));
  EXPECT_EQ(q.Commands().At(0)->GetCode(), 4);
  EXPECT_EQ(Bytes(q), Bytes(p));
  std::string b = Bytes(p);
  size_t code_at = 4 + 1 + 8 + 61 * 21 + 4;
  ASSERT_EQ(static_cast<uint8_t>(b[code_at]), 132);
  b[code_at] = 61;
  try {
    LoadBytes(q, b);
    FAIL();
  } catch (const EQuenError& e) {
    EXPECT_EQ(e.Message(), msg::kBadCommand);
  }
}

TEST(PageFormat, VersionsOutsideTheRange) {
  TPage p;
  LoadBytes(p, std::string("\x74\0\0\0", 4));  // 116: empty, nothing else read
  EXPECT_EQ(p.Commands().Count(), 0);
  SetTerminateFlag(false);
  static std::string seen;
  SetOldPageHandler([](const std::string& name) { seen = name; });
  p.file_name = "old.qsb";
  LoadBytes(p, std::string("\x66\0\0\0", 4));  // 102: a close request, no window closed here
  EXPECT_TRUE(TerminateFlag());
  EXPECT_EQ(seen, "old.qsb");
  SetOldPageHandler(nullptr);
  SetTerminateFlag(false);
}

TEST(PageFormat, DamagedPagesFailWithTheSystemError) {
  TPage good;
  AssemblePage(EveryCommand(115), "a.qsb", good);
  std::string b = Bytes(good);
  // Every truncation fails cleanly.
  for (size_t n = 4; n < b.size(); n += 7) {
    TPage p;
    EXPECT_THROW(LoadBytes(p, b.substr(0, n)), EQuenError) << n;
  }
  auto patched = [&](size_t at, std::string bytes) {
    std::string c = b;
    c.replace(at, bytes.size(), bytes);
    TPage p;
    EXPECT_THROW(LoadBytes(p, c), EQuenError) << at;
  };
  // Any result type byte is a value type code: none (0) and unknown ones load too.
  for (char type : {'\0', '\x05', '\xff'}) {
    std::string c = b;
    c[4] = type;
    TPage p;
    LoadBytes(p, c);
    EXPECT_EQ(p.result_type, static_cast<uint8_t>(type));
    EXPECT_EQ(p.Commands().Count(), good.Commands().Count());
  }
  patched(5, "\xff\xff\xff\x7f");                  // set count
  patched(9, std::string("\x00\x00\x00\x40", 4));  // set size
  patched(13 + 61 * 21, "\xff\xff\xff\x0f");       // command count
  // VarNew with type 0 and scope 4; While with a target beyond the page.
  for (const char* src :
       {"VarNew name=x type=0", "VarNew name=x scope=4", "While target=9\nWhileLoop"}) {
    TPage p;
    AssemblePage(src, "p.qsb", p);
    TPage q;
    EXPECT_THROW(LoadBytes(q, Bytes(p)), EQuenError) << src;
  }
}

TEST(PageText, ErrorsNameTheLine) {
  TPage p;
  try {
    AssemblePage("Calc x = 1\n\nFrobnicate\n", "p.qsb", p);
    FAIL();
  } catch (const EQuenError& e) {
    EXPECT_EQ(platform::Cp932ToUtf8(e.Message()), "line 3: unknown command \"Frobnicate\"");
  }
  EXPECT_THROW(AssemblePage("Break", "p.qsb", p), EQuenError);
  EXPECT_THROW(AssemblePage("Jump target=nowhere", "p.qsb", p), EQuenError);
  EXPECT_THROW(AssemblePage(" Calc x", "p.qsb", p), EQuenError);
  EXPECT_THROW(AssemblePage("Calc x = (", "p.qsb", p), EQuenError);
}

TEST(PageText, TargetsFromStructureAndLabels) {
  TPage p;
  AssemblePage(
      "Label top\n"
      "WhileInit i = 0\n"
      "While i < 3\n"
      "  Break i == 2\n"
      "  Continue\n"
      "WhileLoop i = i + 1\n"
      "Jump target=top\n"
      "Call target=top\n"
      "Break target=-1\n",
      "p.qsb", p);
  auto t = [&](int i) { return p.Commands().At(i)->fields[1].num; };
  EXPECT_EQ(t(2), 6);  // While: after its WhileLoop
  EXPECT_EQ(t(3), 6);  // Break: after the loop
  EXPECT_EQ(t(4), 5);  // Continue: the WhileLoop
  EXPECT_EQ(t(5), 2);  // WhileLoop: its While
  EXPECT_EQ(t(6), 0);
  EXPECT_EQ(t(7), 0);
  EXPECT_EQ(t(8), -1);
  EXPECT_EQ(p.Commands().At(6)->fields[0].str, "p.qsb");
  EXPECT_EQ(p.Commands().At(3)->indent, 1);
  EXPECT_EQ(p.Commands().FindLabel("top"), 0);
  EXPECT_EQ(p.Commands().At(4)->line, 5);
  // Text that looks like a field stays text through dump and asm.
  TPage c;
  AssemblePage("Comment \"line=7\"\nLabel \" spaced \"\n", "p.qsb", c);
  TPage d;
  AssemblePage(DumpPage(c), "p.qsb", d);
  EXPECT_EQ(d.Commands().At(0)->fields[0].str, "line=7");
  EXPECT_EQ(d.Commands().At(1)->fields[0].str, " spaced ");
}

TEST(PageText, DumpShowsExpressionsAsSourceWhenTheyCompileBack) {
  TPage p;
  AssemblePage("Calc a[1, 2] = (b + 1) * 2 ++ \"x\\\"y\"\nIf x == 1 | y <> 2\n", "p.qsb", p);
  std::string text = DumpPage(p);
  EXPECT_NE(text.find(" x == 1 | y <> 2\n"), std::string::npos) << text;
  TPage q;
  AssemblePage(text, "p.qsb", q);
  EXPECT_EQ(Bytes(q), Bytes(p)) << text;
  // A condition left out is written TRUE; an empty one stays empty and is dumped as {}.
  AssemblePage("Exit\nExit {}\nBreak target=-1\n", "p.qsb", p);
  EXPECT_FALSE(p.Commands().At(0)->fields[0].expr.Records().empty());
  EXPECT_TRUE(p.Commands().At(1)->fields[0].expr.Records().empty());
  EXPECT_FALSE(p.Commands().At(2)->fields[0].expr.Records().empty());
  text = DumpPage(p);
  EXPECT_NE(text.find("Exit line=1 TRUE\nExit line=2 {}\n"), std::string::npos) << text;
  AssemblePage(text, "p.qsb", q);
  EXPECT_EQ(Bytes(q), Bytes(p)) << text;
}

TEST(PageText, PropertiesByNameOrNumber) {
  TPage p;
  AssemblePage("BoxNew LEFT={10} top={20} p5={30} onLBtnDown={\"h.qss\"}\nTextIns text", "p.qsb",
               p);
  const TField& f = p.Commands().At(0)->fields[0];
  // left 3, top 4, width 5, onlbtndown 36: the set holds just these, in code order.
  EXPECT_EQ(f.ids, (std::vector<uint8_t>{3, 4, 5, 36}));
  std::string text = DumpPage(p);
  EXPECT_NE(text.find(" left={10} top={20} width={30} onlbtndown={\"h.qss\"}\n"), std::string::npos)
      << text;
  // A field of another command that shares a property's name is not a property.
  EXPECT_EQ(p.prop_sets[CommandCode("TextIns")], TPropSet{});
  TPage q;
  AssemblePage(text, "p.qsb", q);
  EXPECT_EQ(Bytes(q), Bytes(p));
  EXPECT_THROW(AssemblePage("BoxNew sideways={1}", "p.qsb", q), EQuenError);
  EXPECT_THROW(AssemblePage(".set 8 00\nBoxNew left={1}", "p.qsb", q), EQuenError);
}

TEST(PageText, ExpressionsTheReaderCannotBraceAreDumpedAsBytes) {
  // A variable named "{" compiles, but its source could not stand between braces.
  TPage p;
  AssemblePage("Calc x = 1", "p.qsb", p);
  TBuildQuenParser b;
  b.Build("y = 2");
  TKvMemoryStream m;
  b.Write(m);
  std::string bytes = m.Data();
  const size_t at = bytes.find("y");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = '{';
  TKvMemoryStream odd(bytes);
  p.Commands().At(0)->fields[0].expr.LoadFromStream(odd);
  std::string text = DumpPage(p);
  EXPECT_NE(text.find("{#"), std::string::npos) << text;
  TPage q;
  AssemblePage(text, "p.qsb", q);
  EXPECT_EQ(Bytes(q), Bytes(p));

  // A variable whose name starts with '#' is source, not the bytes marker, when read back.
  TPage h;
  AssemblePage("Wait time={ #lag} { #lag}", "p.qsb", h);
  text = DumpPage(h);
  EXPECT_NE(text.find("time={ #lag}"), std::string::npos) << text;
  TPage h2;
  AssemblePage(text, "p.qsb", h2);
  EXPECT_EQ(Bytes(h2), Bytes(h));
}

TEST(PageFormat, PropertySetTableIsCapped) {
  // Counts and sizes beyond any real table are damage, caught before anything is allocated.
  std::string head("\x73\x00\x00\x00\x01", 5);
  auto with = [&](int32_t n, int32_t size) {
    std::string b = head;
    for (int32_t v : {n, size})
      for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    return b + std::string(64, '\0');
  };
  for (auto [n, size] : {std::pair{4097, 1}, std::pair{1, 4097}, std::pair{-1, 1}}) {
    TPage p;
    EXPECT_THROW(LoadBytes(p, with(n, size)), EQuenError) << n << " x " << size;
  }
}

TEST(InterpMessages, EveryRowConverts) {
  for (const auto& row : msg::kInterpMessages)
    EXPECT_EQ(platform::Cp932ToUtf8(row.sjis), row.utf8) << row.name;
}

}  // namespace
}  // namespace quen

namespace quen {
namespace {

TEST(PageText, TextInsertionsAsMarkupOrBytesAndReadableFieldNames) {
  auto bytes = [](const std::string& text) {
    TPage p;
    AssemblePage(text, "p.qsb", p);
    return Bytes(p);
  };
  struct Case {
    std::string source;
    std::string dumped;  // what the dump holds of the line
  };
  const std::vector<Case> cases = {
      {"TextIns box={\"mes\"} wait={TRUE} Hello world", " box={\"mes\"} wait={TRUE} Hello world\n"},
      {"TextIns delay=30 \"a<BR>b\\\\<\"", " delay=30 a<BR>b\\<\n"},
      {"TextIns <B>bold</B>", " content=hex:4b76576f7264313030"},
      {"TextIns content=hex:0102", " content=hex:0102\n"},
      {"PropMotion name={\"m\"} target={\"b\"} prop=left value={5} paused={TRUE}",
       " name={\"m\"} target={\"b\"} prop={3} value={5} paused={TRUE}\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    TPage p;
    AssemblePage(c.source, "p.qsb", p);
    const std::string text = DumpPage(p);
    EXPECT_NE(text.find(c.dumped), std::string::npos) << text;
    TPage q;
    AssemblePage(text, "p.qsb", q);
    EXPECT_EQ(Bytes(q), Bytes(p)) << text;
  }
  // The numbered names stay synonyms of the readable ones.
  EXPECT_EQ(bytes("TextIns e1={\"m\"} e3={TRUE} hi"), bytes("TextIns box={\"m\"} wait={TRUE} hi"));
  EXPECT_EQ(bytes("PropMotion e3={3} e7={1}"), bytes("PropMotion prop=left paused={1}"));
  EXPECT_EQ(bytes("GetProp comp={\"b\"} prop=top var=v"),
            bytes("GetProp comp={\"b\"} prop={4} var=v"));
  try {
    TPage p;
    AssemblePage("Calc x = 1\nTextIns <A>link", "p.qsb", p);
    FAIL();
  } catch (const EQuenError& e) {
    EXPECT_EQ(e.Message().rfind("line 2: markup: ", 0), 0u) << e.Message();
  }
}

}  // namespace
}  // namespace quen
