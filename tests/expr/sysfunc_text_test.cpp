#include <gtest/gtest.h>

#include <string>

#include "base/stream.h"
#include "expr/build_quen_parser.h"
#include "expr/param_collection.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_man.h"
#include "expr/sysfunc_register.h"

namespace quen {
namespace {

// Shift-JIS characters used below.
const std::string kA = "\x83\x41";    // katakana a; its trail byte is 'A'
const std::string kI = "\x83\x43";    // katakana i
const std::string kU = "\x83\x45";    // katakana u
const std::string kDi = "\x83\x61";   // katakana di; its trail byte is 'a'
const std::string kHyo = "\x95\x5C";  // a kanji whose trail byte is '\'
const std::string kSo = "\x83\x5C";   // katakana so; also a '\' trail byte
const std::string kZenSpace = "\x81\x40";

class TextFunctions : public ::testing::Test {
 protected:
  TextFunctions() { RegisterTextFunctions(funcs); }

  // A string variable holding the given bytes, so that any byte can reach a function.
  TParamCollectionItem* Set(const std::string& name, const std::string& bytes) {
    bool evaluate = false;
    TParamCollectionItem* v = vars.FindVariable(name);
    if (!v) v = vars.Declare(name, PT_STR, VS_GLOBAL, evaluate);
    v->Value()->SetAsString(bytes);
    return v;
  }

  // Compiles, passes through the stored form and runs; the result as text ("<none>" when the
  // run failed).
  std::string Run(const std::string& text) {
    TBuildQuenParser build;
    build.Build(text);
    TKvMemoryStream m;
    build.Write(m);
    TViewStream s(stored = m.Data());
    parser.LoadFromStream(s);
    parser.Execute(vars, funcs);
    const TCustomParam* r = parser.Result();
    type = r ? r->GetValueType() : PT_NONE;
    return r ? r->GetAsString() : "<none>";
  }

  TParamCollection vars;
  TSysFuncMan funcs;
  TQuenParser parser;
  std::string stored;
  uint8_t type = PT_NONE;
};

TEST_F(TextFunctions, NumbersToTextAndBack) {
  EXPECT_EQ(Run("IntToStr(7, 3)"), "007");
  EXPECT_EQ(type, PT_STR);
  EXPECT_EQ(Run("IntToStr(-5, 3)"), "-005");
  EXPECT_EQ(Run("IntToStr(1234, 2)"), "1234");
  EXPECT_EQ(Run("IntToStr(0, 0)"), "0");
  EXPECT_EQ(Run("IntToStr(-42)"), "-42");
  EXPECT_EQ(Run("IntToStr($80000000, 12)"), "-002147483648");
  EXPECT_EQ(Run("IntToHex(255, 4)"), "00FF");
  EXPECT_EQ(Run("IntToHex(-1, 2)"), "FFFFFFFF");
  EXPECT_EQ(Run("IntToHex(0, 0)"), "0");

  EXPECT_EQ(Run("StrToIntDef(\" 12 \", 5)"), "12");
  EXPECT_EQ(type, PT_INT);
  EXPECT_EQ(Run("StrToIntDef(\"$1f\", 5)"), "31");
  EXPECT_EQ(Run("StrToIntDef(\"12x\", 5)"), "5");
  EXPECT_EQ(Run("StrToIntDef(\"2147483648\", -1)"), "-1");
  EXPECT_EQ(Run("StrToFloatDef(\"2.5E1\", 0)"), "25");
  EXPECT_EQ(type, PT_FLOAT);
  EXPECT_EQ(Run("StrToFloatDef(\"nan\", 1.5)"), "1.5");
}

// A digit count is not a format: a negative one is no digits, a huge one stops at 255.
TEST_F(TextFunctions, DigitCountsAreBounded) {
  EXPECT_EQ(Run("IntToStr(5, -3)"), "5");
  EXPECT_EQ(Run("IntToStr(-5, $80000000)"), "-5");
  EXPECT_EQ(Run("IntToStr(1, 100000)"), std::string(254, '0') + "1");
  EXPECT_EQ(Run("IntToStr(-1, $7FFFFFFF)"), "-" + std::string(254, '0') + "1");
  EXPECT_EQ(Run("IntToHex(10, -8)"), "A");
  EXPECT_EQ(Run("IntToHex(10, 100000)"), std::string(254, '0') + "A");
}

TEST_F(TextFunctions, CopyCountsBytesAndJCopyCharacters) {
  EXPECT_EQ(Run("Copy(\"abcdef\", 3, 2)"), "cd");
  EXPECT_EQ(Run("Copy(\"abcdef\", 3)"), "cdef");
  EXPECT_EQ(Run("Copy(\"abcdef\", 0, 2)"), "ab");
  EXPECT_EQ(Run("Copy(\"abcdef\", 5, 100)"), "ef");
  EXPECT_EQ(Run("Copy(\"abcdef\", 7, 1)"), "");
  EXPECT_EQ(Run("Copy(\"abcdef\", 2, -1)"), "");
  EXPECT_EQ(Run("Copy(\"abcdef\", $7FFFFFFF, $7FFFFFFF)"), "");
  EXPECT_EQ(Run("Copy(\"abcdef\", $80000000, $7FFFFFFF)"), "abcdef");
  Set("s", kA + kI + kU);
  EXPECT_EQ(Run("Length(s)"), "6");
  EXPECT_EQ(Run("JLength(s)"), "3");
  EXPECT_EQ(Run("JCopy(s, 2, 1)"), kI);
  EXPECT_EQ(Run("JCopy(s, 2)"), kI + kU);
  EXPECT_EQ(Run("Copy(s, 2, 2)"), "\x41\x83");
  EXPECT_EQ(Run("JCopy(s, 3, $7FFFFFFF)"), kU);
  EXPECT_EQ(Run("JCopy(s, 4, 1)"), "");
  // A lead byte cut off at the end counts as a character of its own.
  Set("t", "a\x83");
  EXPECT_EQ(Run("JLength(t)"), "2");
  EXPECT_EQ(Run("JCopy(t, 2, 5)"), "\x83");
}

TEST_F(TextFunctions, DeleteAndInsertChangeTheNamedVariable) {
  auto* s = Set("s", "abcdef");
  EXPECT_EQ(Run("Delete(s, 2, 3)"), "");
  EXPECT_EQ(s->Value()->GetAsString(), "aef");
  for (const char* no_change : {"Delete(s, 0, 1)", "Delete(s, 4, 1)", "Delete(s, 1, 0)",
                                "Delete(s, 1, -1)", "Delete(s, $80000000, 2)"}) {
    Run(no_change);
    EXPECT_EQ(s->Value()->GetAsString(), "aef") << no_change;
  }
  Run("Delete(s, 2, $7FFFFFFF)");
  EXPECT_EQ(s->Value()->GetAsString(), "a");
  Set("s", "abc");
  Run("Delete(s, 2)");
  EXPECT_EQ(s->Value()->GetAsString(), "a");

  Set("s", "abcdef");
  EXPECT_EQ(Run("Insert(\"XY\", s, 3)"), "");
  EXPECT_EQ(s->Value()->GetAsString(), "abXYcdef");
  Run("Insert(\"<\", s, $80000000)");
  Run("Insert(\">\", s, $7FFFFFFF)");
  EXPECT_EQ(s->Value()->GetAsString(), "<abXYcdef>");

  Set("s", kA + kI + kU);
  Run("JDelete(s, 2, 1)");
  EXPECT_EQ(s->Value()->GetAsString(), kA + kU);
  Run("JInsert(\"x\", s, 2)");
  EXPECT_EQ(s->Value()->GetAsString(), kA + "x" + kU);
  Run("JInsert(\"y\", s, 99)");
  EXPECT_EQ(s->Value()->GetAsString(), kA + "x" + kU + "y");
  Run("JDelete(s, 3)");
  EXPECT_EQ(s->Value()->GetAsString(), kA + "x");

  // A constant argument takes the change in a throw-away copy.
  EXPECT_EQ(Run("Delete(\"abc\", 1, 1)"), "");
  EXPECT_EQ(Run("Insert(\"abc\", \"def\", 1)"), "");
  EXPECT_EQ(parser.LastError(), "");
}

TEST_F(TextFunctions, SearchingFindsWholeCharactersOnly) {
  Set("s", kA);
  EXPECT_EQ(Run("Pos(\"A\", s)"), "2");  // the trail byte, counted in bytes
  EXPECT_EQ(Run("JPos(\"A\", s)"), "0");
  Set("s", kA + kI + "A");
  EXPECT_EQ(Run("JPos(\"A\", s)"), "3");
  EXPECT_EQ(Run("Pos(\"A\", s)"), "2");
  Set("i", kI);
  EXPECT_EQ(Run("JPos(i, s)"), "2");
  EXPECT_EQ(Run("Pos(i, s)"), "3");
  EXPECT_EQ(Run("Pos(\"\", s)"), "0");
  EXPECT_EQ(Run("JPos(\"\", s)"), "0");
  // A lone lead byte matches the start of a character but not the whole of it.
  Set("lead", "\x83");
  EXPECT_EQ(Run("JPos(lead, s)"), "0");
  EXPECT_EQ(Run("Pos(lead, s)"), "1");

  EXPECT_EQ(Run("StringReplace(\"aXbxc\", \"x\", \"-\")"), "aXb-c");
  EXPECT_EQ(Run("StringReplace(\"aXbxc\", \"x\", \"-\", TRUE)"), "aXb-c");
  EXPECT_EQ(Run("StringReplace(\"aXbxc\", \"x\", \"-\", FALSE, TRUE)"), "a-bxc");
  EXPECT_EQ(Run("StringReplace(\"aXbxc\", \"x\", \"-\", TRUE, TRUE)"), "a-b-c");
  EXPECT_EQ(Run("StringReplace(\"aaa\", \"a\", \"aa\", TRUE)"), "aaaaaa");
  EXPECT_EQ(Run("StringReplace(\"abc\", \"\", \"-\", TRUE)"), "abc");
  // The trail byte 'A' of the katakana is neither found nor folded.
  Set("s", kA + "a" + kDi);
  EXPECT_EQ(Run("StringReplace(s, \"A\", \"-\", TRUE, TRUE)"), kA + "-" + kDi);
  EXPECT_EQ(Run("StringReplace(s, \"a\", \"-\", TRUE, FALSE)"), kA + "-" + kDi);
}

TEST_F(TextFunctions, CaseMappingAndComparisonTouchOnlyAsciiLetters) {
  Set("s", kDi + "az" + kA + "AZ");
  EXPECT_EQ(Run("UpperCase(s)"), kDi + "AZ" + kA + "AZ");
  EXPECT_EQ(Run("LowerCase(s)"), kDi + "az" + kA + "az");

  EXPECT_EQ(Run("CompareStr(\"abc\", \"abc\")"), "0");
  EXPECT_EQ(Run("CompareStr(\"abc\", \"abd\")"), "-1");
  EXPECT_EQ(Run("CompareStr(\"ab\", \"a\")"), "1");
  EXPECT_EQ(Run("CompareStr(\"a\", \"A\")"), "1");
  Set("high", "\xE0");
  EXPECT_EQ(Run("CompareStr(high, \"a\")"), "1");  // unsigned bytes
  EXPECT_EQ(Run("CompareText(\"ABC\", \"abc\")"), "0");
  EXPECT_EQ(Run("CompareText(\"abc\", \"ABD\")"), "-1");
  EXPECT_EQ(Run("CompareText(\"a\", \"_\")"), "1");  // letters fold to lower case
  EXPECT_EQ(Run("CompareText(high, \"a\")"), "1");
  // Trail bytes 'a' and 'A' are different characters, not a case pair.
  Set("di", kDi);
  Set("a", kA);
  EXPECT_EQ(Run("CompareText(di, a)"), "1");
}

TEST_F(TextFunctions, TrimmingKeepsDoubleByteCharactersWhole) {
  EXPECT_EQ(Run("Trim(\" \\n ab c\t \")"), "ab c");
  Set("s", kZenSpace + " ab " + kZenSpace);
  EXPECT_EQ(Run("Trim(s)"), kZenSpace + " ab " + kZenSpace);
  EXPECT_EQ(Run("JTrim(s)"), "ab");
  EXPECT_EQ(Run("JTrim(\"\t a \")"), "\t a");
  Set("s", kZenSpace + " " + kZenSpace);
  EXPECT_EQ(Run("JTrim(s)"), "");
  // 81 81 is one character and 40 another: there is no full-width space at the end.
  Set("s", "\x81\x81\x40");
  EXPECT_EQ(Run("JTrim(s)"), "\x81\x81\x40");
  Set("s", kZenSpace + "\x81\x81\x40" + kZenSpace);
  EXPECT_EQ(Run("JTrim(s)"), "\x81\x81\x40");

  Set("s", "ab\x83");
  EXPECT_EQ(Run("FixStr(s)"), "ab");
  Set("s", "a" + kA);
  EXPECT_EQ(Run("FixStr(s)"), "a" + kA);
  Set("s", "\x83\x83\x83");  // a whole character 83 83, then an unfinished one
  EXPECT_EQ(Run("FixStr(s)"), "\x83\x83");
  Set("s", "\x83\x83");
  EXPECT_EQ(Run("FixStr(s)"), "\x83\x83");
}

TEST_F(TextFunctions, FileNamesIgnoreBackslashTrailBytes) {
  // C:\ソフト\表.txt
  const std::string dir = "C:\\" + kSo + "\x83\x74\x83\x67\\";
  Set("p", dir + kHyo + ".txt");
  EXPECT_EQ(Run("ExtractFileName(p)"), kHyo + ".txt");
  EXPECT_EQ(Run("ExtractFilePath(p)"), dir);
  EXPECT_EQ(Run("ExtractFileExt(p)"), ".txt");
  EXPECT_EQ(Run("ChangeFileExt(p, \".dat\")"), dir + kHyo + ".dat");
  Set("p", "C:" + kHyo);
  EXPECT_EQ(Run("ExtractFileName(p)"), kHyo);
  EXPECT_EQ(Run("ExtractFilePath(p)"), "C:");
  Set("p", "dir.x\\file");
  EXPECT_EQ(Run("ExtractFileExt(p)"), "");
  EXPECT_EQ(Run("ChangeFileExt(p, \".y\")"), "dir.x\\file.y");
  EXPECT_EQ(Run("ExtractFilePath(\"name\")"), "");
  EXPECT_EQ(Run("ExtractFileName(\"name\")"), "name");

  Set("p", kHyo);
  EXPECT_EQ(Run("AddBackSlash(p)"), kHyo + "\\");
  EXPECT_EQ(Run("AddBackSlash(\"a\\\\\")"), "a\\");
  EXPECT_EQ(Run("AddBackSlash(\"\")"), "\\");
  EXPECT_EQ(Run("IsPathDelimiter(p, 2)"), "FALSE");
  Set("p", "a\\");
  EXPECT_EQ(Run("IsPathDelimiter(p, 2)"), "TRUE");
  for (const char* out_of_range :
       {"IsPathDelimiter(p, 0)", "IsPathDelimiter(p, 3)", "IsPathDelimiter(p, $80000000)"})
    EXPECT_EQ(Run(out_of_range), "FALSE") << out_of_range;

  EXPECT_EQ(Run("IsDelimiter(\",;\", \"a;b\", 2)"), "TRUE");
  EXPECT_EQ(Run("IsDelimiter(\",;\", \"a;b\", 3)"), "FALSE");
  EXPECT_EQ(Run("IsDelimiter(\",;\", \"a;b\", 4)"), "FALSE");
  Set("hyo", kHyo);
  EXPECT_EQ(Run("IsDelimiter(\"\\\\\", hyo, 2)"), "FALSE");
  // Nor is the trail byte of a double-byte character in the delimiter set a delimiter.
  EXPECT_EQ(Run("IsDelimiter(hyo, p, 2)"), "FALSE");
}

TEST_F(TextFunctions, RepetitionIsCapped) {
  EXPECT_EQ(Run("StringOfChar(\"ab\", 3)"), "ababab");
  EXPECT_EQ(Run("StringOfChar(\"ab\", 0)"), "");
  EXPECT_EQ(Run("StringOfChar(\"ab\", -5)"), "");
  EXPECT_EQ(Run("StringOfChar(\"\", 5)"), "");
  // A script asking for 6 GiB gets whole repetitions up to 16 MiB.
  EXPECT_EQ(Run("Length(StringOfChar(\"abc\", $7FFFFFFF))"), std::to_string((16 << 20) / 3 * 3));
}

TEST_F(TextFunctions, HalfAndFullWidthForms) {
  EXPECT_EQ(Run("HanToZen(\"A1 ~\")"), "\x82\x60\x82\x50\x81\x40\x81\x60");
  Set("s", "\xCA\xDF");  // ha + semi-voiced mark
  EXPECT_EQ(Run("HanToZen(s)"), "\x83\x70");
  Set("s", "\xB6\xDE\xC1\xDE\xCA\xDE");  // ka, ti, ha + voiced mark
  EXPECT_EQ(Run("HanToZen(s)"), "\x83\x4B\x83\x61\x83\x6F");
  // Marks after kana outside those rows stay marks.
  Set("s", "\xB1\xDE\xB6\xDF\xDF");
  EXPECT_EQ(Run("HanToZen(s)"), kA + "\x81\x4A\x83\x4A\x81\x4B\x81\x4B");
  // Double-byte characters pass, even when a trail byte looks like ASCII.
  Set("s", kA + kHyo + "\x80");
  EXPECT_EQ(Run("HanToZen(s)"), kA + kHyo + "\x80");

  Set("s", "\x83\x70\x83\x4B\x83\x94");  // pa, ga, vu
  EXPECT_EQ(Run("ZenToHan(s)"), "\xCA\xDF\xB6\xDE\xB3\xDE");
  Set("s", "\x82\xA0" + kHyo + "\x83\x95");  // hiragana a, a kanji, small ka: no half width
  EXPECT_EQ(Run("ZenToHan(s)"), "\x82\xA0" + kHyo + "\x83\x95");

  // Every single-byte character with a full-width form comes back unchanged.
  std::string all;
  for (int c = 0x20; c < 0x7F; ++c) all += static_cast<char>(c);
  for (int c = 0xA1; c < 0xE0; ++c) all += static_cast<char>(c);
  Set("s", all);
  Set("z", Run("HanToZen(s)"));
  EXPECT_EQ(Run("JLength(z)"), std::to_string(all.size()));
  EXPECT_EQ(Run("Length(z)"), std::to_string(2 * all.size()));
  EXPECT_EQ(Run("ZenToHan(z)"), all);
}

TEST_F(TextFunctions, BytesAndDelimiters) {
  EXPECT_EQ(Run("Chr(65)"), "A");
  EXPECT_EQ(Run("Chr(321)"), "A");
  EXPECT_EQ(Run("Chr(-191)"), "A");
  EXPECT_EQ(Run("Length(Chr(0))"), "1");
  EXPECT_EQ(Run("Ord(\"\")"), "0");
  Set("s", kHyo);
  EXPECT_EQ(Run("Ord(s)"), "149");
  EXPECT_EQ(Run("AddDelimiter(\",\", \"\")"), "");
  EXPECT_EQ(Run("AddDelimiter(\",\", \"x\")"), "x,");
}

}  // namespace
}  // namespace quen
