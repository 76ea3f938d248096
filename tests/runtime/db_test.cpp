// The table database: the DB functions as scripts call them, tab-separated files, and the
// tables kept in the game save and the status save.
#include <gtest/gtest.h>

#include <cstring>

#include "base/error.h"
#include "base/messages.h"
#include "expr/build_quen_parser.h"
#include "expr/db_manager.h"
#include "expr/param_collection.h"
#include "expr/quen_parser.h"
#include "expr/sys_func_man.h"
#include "files/file_manager.h"
#include "platform/host_fs.h"

namespace quen {
namespace {

// Shift-JIS characters whose trail byte is a backslash.
const std::string kSo = "\x83\x5C";
const std::string kHyo = "\x95\x5C";

class DBFunctions : public ::testing::Test {
 protected:
  DBFunctions() { RegisterDatabaseFunctions(funcs, db); }

  // Runs an expression; its result as text, "none", or "error: ..." when the run failed.
  std::string Run(const std::string& text) {
    TBuildQuenParser build;
    build.Build(text);
    TKvMemoryStream m;
    build.Write(m);
    m.SetPosition(0);
    parser.LoadFromStream(m);
    parser.Execute(vars, funcs);
    if (!parser.LastError().empty()) return "error: " + parser.LastError();
    const TCustomParam* r = parser.Result();
    return r ? r->GetAsString() : "none";
  }

  TCustomParam* Array(const std::string& name, uint8_t type, std::vector<std::string> items) {
    bool evaluate = false;
    TCustomParam* v = vars.Declare(name, type, VS_GLOBAL, evaluate)->Value();
    v->SetDims({static_cast<int32_t>(items.size())});
    for (size_t i = 0; i < items.size(); ++i) v->SetStrAt(static_cast<int32_t>(i), items[i]);
    return v;
  }

  // The people table: name (string of 16), age (integer), score (real).
  void People() {
    ASSERT_EQ(Run("DBCreateTable(\"people\", FALSE)"), "TRUE");
    ASSERT_EQ(Run("DBSetActive(\"people\")"), "TRUE");
    ASSERT_EQ(Run("DBAddField(\"name\", 4, 16)"), "TRUE");
    ASSERT_EQ(Run("DBAddField(\"age\", 1)"), "TRUE");
    ASSERT_EQ(Run("DBAddField(\"score\", 2)"), "TRUE");
    ASSERT_EQ(Run("DBInsert(\"Taro Yamada\", 30, 7.5)"), "TRUE");
    ASSERT_EQ(Run("DBInsert(\"Taro\", 20, 7)"), "TRUE");
    ASSERT_EQ(Run("DBInsert(\"hanako\", 20, 9.25)"), "TRUE");
  }

  TParamCollection vars;
  TSysFuncMan funcs;
  TQuenParser parser;
  TDBManager db;
};

TEST_F(DBFunctions, FieldsOfEveryTypeInsertGetAndSet) {
  EXPECT_EQ(Run("DBGetActive()"), "");
  EXPECT_EQ(Run("DBAddField(\"a\", 1)"), "FALSE");  // no active table
  EXPECT_EQ(Run("DBCreateTable(\"items\", FALSE)"), "TRUE");
  EXPECT_EQ(Run("DBCreateTable(\"ITEMS\", TRUE)"), "FALSE");
  EXPECT_EQ(Run("DBCreateTable(\"\", TRUE)"), "FALSE");
  EXPECT_EQ(Run("DBSetActive(\"nothing\")"), "FALSE");
  EXPECT_EQ(Run("DBSetActive(\"Items\")"), "TRUE");
  EXPECT_EQ(Run("DBGetActive()"), "items");
  EXPECT_EQ(Run("DBAddField(\"name\", 4, 8)"), "TRUE");
  EXPECT_EQ(Run("DBAddField(\"count\", 1)"), "TRUE");
  EXPECT_EQ(Run("DBAddField(\"price\", 2)"), "TRUE");
  EXPECT_EQ(Run("DBAddField(\"rare\", 3)"), "TRUE");
  EXPECT_EQ(Run("DBAddField(\"bad\", 5)"), "FALSE");
  EXPECT_EQ(Run("DBAddField(\"bad\", 257)"), "FALSE");  // not type 1 in a byte
  EXPECT_EQ(Run("DBAddField(\"bad\", 4, -1)"), "FALSE");
  EXPECT_EQ(Run("DBAddField(\"bad\", 4, 2147483647)"), "FALSE");
  EXPECT_EQ(Run("DBAddField(\"NAME\", 1)"), "FALSE");
  const TDBFieldList& f = db.Active()->Fields();
  ASSERT_EQ(f.Count(), 4);
  EXPECT_EQ(f.RecordSize(), 9 + 4 + 10 + 1);
  EXPECT_EQ(f[3].offset, 23);

  EXPECT_EQ(Run("DBGetInt(\"count\")"), "0");  // no record yet
  EXPECT_EQ(Run("DBSetInt(\"count\", 1)"), "FALSE");
  EXPECT_EQ(Run("DBInsert(\"sword\", 3, 1.5, TRUE, \"surplus\")"), "TRUE");
  EXPECT_EQ(Run("DBGetRecNo()"), "0");
  EXPECT_EQ(Run("DBGetStr(\"Name\")"), "sword");
  EXPECT_EQ(Run("DBGetInt(\"count\")"), "3");
  EXPECT_EQ(Run("DBGetFloat(\"price\")"), "1.5");
  EXPECT_EQ(Run("DBGetBool(\"rare\")"), "TRUE");
  // Every field reads as every type, converted as variables convert.
  EXPECT_EQ(Run("DBGetInt(\"rare\")"), "1");
  EXPECT_EQ(Run("DBGetStr(\"price\")"), "1.5");
  EXPECT_EQ(Run("DBGetInt(\"price\")"), "1");
  EXPECT_EQ(Run("DBSetStr(\"name\", \"12\")"), "TRUE");
  EXPECT_EQ(Run("DBGetInt(\"name\")"), "12");
  EXPECT_EQ(Run("DBSetStr(\"count\", \"abc\")"), "TRUE");
  EXPECT_EQ(Run("DBGetInt(\"count\")"), "0");
  EXPECT_EQ(Run("DBSetBool(\"count\", TRUE)"), "TRUE");
  EXPECT_EQ(Run("DBGetStr(\"count\")"), "1");
  EXPECT_EQ(Run("DBSetFloat(\"count\", 2.9)"), "TRUE");
  EXPECT_EQ(Run("DBGetInt(\"count\")"), "2");
  EXPECT_EQ(Run("DBSetStr(\"rare\", \"true\")"), "TRUE");  // only "TRUE" is true
  EXPECT_EQ(Run("DBGetBool(\"rare\")"), "FALSE");
  EXPECT_EQ(Run("DBGetInt(\"missing\")"), "0");
  EXPECT_EQ(Run("DBGetStr(\"missing\")"), "");
  EXPECT_EQ(Run("DBSetInt(\"missing\", 1)"), "FALSE");

  // Texts are cut to the field, never inside a double-byte character.
  EXPECT_EQ(Run("DBSetStr(\"name\", \"abcdefghij\")"), "TRUE");
  EXPECT_EQ(Run("DBGetStr(\"name\")"), "abcdefgh");
  ASSERT_TRUE(db.Active()->SetStr("name", "abcdefg" + kSo));
  EXPECT_EQ(db.Active()->GetStr("name"), "abcdefg");

  // A new field widens the existing records with zeros.
  EXPECT_EQ(Run("DBInsert(\"shield\")"), "TRUE");
  EXPECT_EQ(Run("DBAddField(\"note\", 4, 3)"), "TRUE");
  EXPECT_EQ(Run("DBGetStr(\"note\")"), "");
  EXPECT_EQ(Run("DBGetStr(\"name\")"), "shield");
  EXPECT_EQ(db.Active()->GetStrAt(0, 0), "abcdefg");
  EXPECT_EQ(db.Active()->GetFloatAt(0, 2), 1.5L);
  ASSERT_TRUE(db.Active()->RemoveField(1));
  EXPECT_EQ(db.Active()->GetFloatAt(0, 1), 1.5L);
  EXPECT_EQ(db.Active()->Fields().RecordSize(), 9 + 10 + 1 + 4);

  // Any record or field index outside the table reads nothing and writes nothing.
  EXPECT_FALSE(db.Active()->GetIntAt(2, 0));
  EXPECT_FALSE(db.Active()->GetIntAt(-1, 0));
  EXPECT_FALSE(db.Active()->GetIntAt(0, 4));
  EXPECT_FALSE(db.Active()->SetStrAt(0, -1, "x"));
  EXPECT_EQ(db.Active()->RecordData(2), nullptr);

  // Records of a table without fields exist, and widen when a field comes.
  ASSERT_EQ(Run("DBCreateTable(\"bare\", FALSE)"), "TRUE");
  ASSERT_EQ(Run("DBSetActive(\"bare\")"), "TRUE");
  EXPECT_EQ(Run("DBInsert(1)"), "TRUE");
  EXPECT_EQ(Run("DBInsert()"), "TRUE");
  EXPECT_EQ(Run("DBAddField(\"x\", 1)"), "TRUE");
  EXPECT_EQ(Run("DBSetInt(\"x\", 4)"), "TRUE");
  EXPECT_EQ(Run("DBSort(\"x\", TRUE)"), "TRUE");
  EXPECT_EQ(db.Active()->GetIntAt(0, 0), 4);
  EXPECT_TRUE(db.Active()->RemoveField(0));
  EXPECT_EQ(Run("DBSort(\"x\", TRUE)"), "TRUE");
  EXPECT_EQ(Run("DBRecordCount()"), "2");
}

TEST_F(DBFunctions, TheCurrentRecordStaysInsideTheTable) {
  People();
  EXPECT_EQ(Run("DBRecordCount()"), "3");
  EXPECT_EQ(Run("DBRecordCount(\"nothing\")"), "-1");
  EXPECT_EQ(Run("DBGetRecNo()"), "2");
  EXPECT_EQ(Run("DBSetRecNo(3)"), "FALSE");
  EXPECT_EQ(Run("DBGetRecNo()"), "2");
  EXPECT_EQ(Run("DBSetRecNo(-5)"), "TRUE");
  EXPECT_EQ(Run("DBGetRecNo()"), "-1");
  EXPECT_EQ(Run("DBGetInt(\"age\")"), "0");
  EXPECT_EQ(Run("DBDelete()"), "FALSE");
  EXPECT_EQ(Run("DBFindPrior()"), "FALSE");
  EXPECT_EQ(Run("DBFindNext()"), "TRUE");  // from no record to the first
  EXPECT_EQ(Run("DBFindLast()"), "TRUE");
  EXPECT_EQ(Run("DBFindNext()"), "FALSE");
  EXPECT_EQ(Run("DBGetRecNo()"), "2");
  EXPECT_EQ(Run("DBFindPrior()"), "TRUE");
  EXPECT_EQ(Run("DBGetStr(\"name\")"), "Taro");
  EXPECT_EQ(Run("DBFindFirst()"), "TRUE");
  EXPECT_EQ(Run("DBGetRecNo()"), "0");

  // Deleting gives the place to the next record, or to the new last one.
  EXPECT_EQ(Run("DBDelete()"), "TRUE");
  EXPECT_EQ(Run("DBGetRecNo()"), "0");
  EXPECT_EQ(Run("DBGetStr(\"name\")"), "Taro");
  EXPECT_EQ(Run("DBFindLast()"), "TRUE");
  EXPECT_EQ(Run("DBDelete()"), "TRUE");
  EXPECT_EQ(Run("DBGetRecNo()"), "0");
  EXPECT_EQ(Run("DBGetStr(\"name\")"), "Taro");
  EXPECT_EQ(Run("DBDelete()"), "TRUE");
  EXPECT_EQ(Run("DBGetRecNo()"), "-1");
  EXPECT_EQ(Run("DBFindFirst()"), "FALSE");

  EXPECT_EQ(Run("DBInsert(\"a\")"), "TRUE");
  EXPECT_EQ(Run("DBInsert(\"b\")"), "TRUE");
  EXPECT_EQ(Run("DBClearRecord(\"nothing\")"), "FALSE");
  EXPECT_EQ(Run("DBClearRecord(\"PEOPLE\")"), "TRUE");
  EXPECT_EQ(Run("DBRecordCount()"), "0");
  EXPECT_EQ(Run("DBGetRecNo()"), "-1");
  EXPECT_EQ(Run("DBGetStr(\"name\")"), "");
  EXPECT_EQ(Run("DBGetRecNo(\"nothing\")"), "-1");
}

TEST_F(DBFunctions, LocateAndDirectAccessSearchByTheValuesType) {
  People();
  // Partial: the record's text must occur within the given text.
  EXPECT_EQ(Run("DBLocate(\"name\", \"Taro\", TRUE)"), "TRUE");
  EXPECT_EQ(Run("DBGetRecNo()"), "1");
  EXPECT_EQ(Run("DBLocate(\"name\", \"Mr Taro Yamada\", TRUE)"), "TRUE");
  EXPECT_EQ(Run("DBGetRecNo()"), "0");
  EXPECT_EQ(Run("DBLocate(\"name\", \"HANAKO\")"), "FALSE");
  EXPECT_EQ(Run("DBGetRecNo()"), "0");
  EXPECT_EQ(Run("DBLocate(\"name\", \"HANAKO\", FALSE, TRUE)"), "TRUE");
  EXPECT_EQ(Run("DBGetRecNo()"), "2");
  EXPECT_EQ(Run("DBLocate(\"name\", \"xHANAKOx\", TRUE, TRUE)"), "TRUE");
  EXPECT_EQ(Run("DBLocate(\"age\", 20)"), "TRUE");
  EXPECT_EQ(Run("DBGetRecNo()"), "1");
  EXPECT_EQ(Run("DBLocate(\"nothing\", 20)"), "FALSE");
  // Arrays give several conditions; the real field compares as an integer here.
  Array("keys", PT_STR, {"age", "score", "ignored"});
  Array("vals", PT_INT, {"20", "9"});
  EXPECT_EQ(Run("DBLocate(keys, vals)"), "TRUE");
  EXPECT_EQ(Run("DBGetRecNo()"), "2");

  // A double-byte character is never matched from its trail byte on.
  ASSERT_TRUE(db.Active()->SetStr("name", kSo));
  std::vector<int32_t> found;
  TParamStr names, values;
  names.SetAsString("name");
  values.SetAsString("\x81" + kSo);  // 81 83 is one character, then a lone backslash
  found = db.Active()->Search({&names, &values, true, false});
  EXPECT_TRUE(found.empty());
  values.SetAsString("x" + kSo);
  found = db.Active()->Search({&names, &values, true, false});
  EXPECT_EQ(found, std::vector<int32_t>{2});

  // Direct access leaves the active table and its current record alone.
  ASSERT_EQ(Run("DBCreateTable(\"other\", FALSE)"), "TRUE");
  ASSERT_EQ(Run("DBSetActive(\"other\")"), "TRUE");
  EXPECT_EQ(Run("DBDirectGetStr(\"people\", \"age\", 30, FALSE, FALSE, \"name\", \"-\")"),
            "Taro Yamada");
  EXPECT_EQ(Run("DBDirectGetStr(\"people\", \"age\", 31, FALSE, FALSE, \"name\", \"-\")"), "-");
  EXPECT_EQ(Run("DBDirectGetInt(\"nothing\", \"age\", 30, FALSE, FALSE, \"age\", 5)"), "5");
  EXPECT_EQ(Run("DBDirectSetInt(\"people\", \"name\", \"taro\", FALSE, TRUE, \"age\", 21)"),
            "TRUE");
  EXPECT_EQ(Run("DBDirectGetFloat(\"people\", \"age\", 21, FALSE, FALSE, \"score\", 0)"), "7");
  EXPECT_EQ(Run("DBDirectSetBool(\"people\", \"age\", 99, FALSE, FALSE, \"score\", TRUE)"),
            "FALSE");
  EXPECT_EQ(Run("DBDirectSetStr(\"people\", \"age\", 21, FALSE, FALSE, \"nothing\", \"x\")"),
            "FALSE");
  EXPECT_EQ(Run("DBGetActive()"), "other");
  EXPECT_EQ(db.Find("people")->RecNo(), 2);
}

TEST_F(DBFunctions, SortByKeysInTurn) {
  People();
  ASSERT_EQ(Run("DBInsert(\"\x82\xA0\", 30, 1)"), "TRUE");
  ASSERT_EQ(Run("DBInsert(\"zed\", 30, 2)"), "TRUE");
  Array("keys", PT_STR, {"nothing", "age", "name"});
  Array("dirs", PT_BOOL, {"TRUE", "TRUE", "FALSE"});
  EXPECT_EQ(Run("DBSort(keys, dirs)"), "TRUE");
  std::vector<std::string> names;
  for (int32_t r = 0; r < db.Active()->RecordCount(); ++r)
    names.push_back(*db.Active()->GetStrAt(r, 0));
  // Age descending, then names ascending by unsigned bytes.
  EXPECT_EQ(names, (std::vector<std::string>{"Taro Yamada", "zed", "\x82\xA0", "Taro", "hanako"}));
  EXPECT_EQ(Run("DBSort(\"score\", FALSE)"), "TRUE");
  EXPECT_EQ(db.Active()->GetStrAt(0, 0), "\x82\xA0");
  EXPECT_EQ(db.Active()->GetFloatAt(4, 2), 9.25L);
}

TEST_F(DBFunctions, CopyInsertAndDeleteTables) {
  People();
  EXPECT_EQ(Run("DBCopyTable(\"young\", \"age\", 20)"), "TRUE");
  TDBCustomTable* young = db.Find("young");
  ASSERT_NE(young, nullptr);
  EXPECT_EQ(young->RecordCount(), 2);
  EXPECT_EQ(young->RecNo(), 0);
  EXPECT_TRUE(young->Fields().SameAs(db.Active()->Fields()));
  EXPECT_EQ(Run("DBCopyTable(\"all\")"), "TRUE");
  EXPECT_EQ(db.Find("all")->RecordCount(), 3);
  EXPECT_EQ(Run("DBCopyTable(\"all\", \"name\", \"Taro\")"), "TRUE");  // overwritten
  EXPECT_EQ(db.Find("all")->RecordCount(), 1);

  // DBCopy needs the very same fields; copying the current record into its own table works.
  ASSERT_EQ(Run("DBSetRecNo(0)"), "TRUE");
  EXPECT_EQ(Run("DBCopy(\"young\")"), "TRUE");
  EXPECT_EQ(young->GetStrAt(2, 0), "Taro Yamada");
  EXPECT_EQ(Run("DBCopy(\"people\")"), "TRUE");
  EXPECT_EQ(db.Active()->GetStrAt(3, 0), "Taro Yamada");
  EXPECT_EQ(Run("DBGetRecNo()"), "0");
  ASSERT_EQ(Run("DBCreateTable(\"cased\", FALSE)"), "TRUE");
  ASSERT_EQ(Run("DBSetActive(\"cased\")"), "TRUE");
  ASSERT_EQ(Run("DBAddField(\"Name\", 4, 16)"), "TRUE");
  ASSERT_EQ(Run("DBAddField(\"age\", 1)"), "TRUE");
  ASSERT_EQ(Run("DBAddField(\"score\", 2)"), "TRUE");
  ASSERT_EQ(Run("DBSetActive(\"people\")"), "TRUE");
  EXPECT_EQ(Run("DBCopy(\"cased\")"), "FALSE");
  EXPECT_EQ(Run("DBCopy(\"nothing\")"), "FALSE");

  // DBInsertTable takes each field from the source field of the same name.
  ASSERT_EQ(Run("DBCreateTable(\"mixed\", TRUE)"), "TRUE");
  ASSERT_EQ(Run("DBSetActive(\"mixed\")"), "TRUE");
  ASSERT_EQ(Run("DBAddField(\"age\", 4, 5)"), "TRUE");
  ASSERT_EQ(Run("DBAddField(\"extra\", 1)"), "TRUE");
  ASSERT_EQ(Run("DBAddField(\"NAME\", 4, 4)"), "TRUE");
  EXPECT_EQ(Run("DBInsertTable(\"nothing\")"), "FALSE");
  EXPECT_EQ(Run("DBInsertTable(\"people\", \"age\", 30)"), "TRUE");
  EXPECT_EQ(Run("DBRecordCount()"), "2");
  EXPECT_EQ(Run("DBGetRecNo()"), "-1");
  EXPECT_EQ(db.Active()->GetStrAt(1, 0), "30");
  EXPECT_EQ(db.Active()->GetStrAt(1, 2), "Taro");
  EXPECT_EQ(db.Active()->GetIntAt(1, 1), 0);

  EXPECT_EQ(Run("DBDeleteTable(\"nothing\")"), "FALSE");
  EXPECT_EQ(Run("DBDeleteTable(\"young\")"), "TRUE");
  EXPECT_EQ(Run("DBGetActive()"), "mixed");
  EXPECT_EQ(Run("DBDeleteTable()"), "TRUE");
  EXPECT_EQ(Run("DBGetActive()"), "");
  EXPECT_EQ(Run("DBDeleteTable()"), "FALSE");
  EXPECT_EQ(Run("DBClearTable()"), "TRUE");
  EXPECT_EQ(db.TableCount(), 0);
}

class DBTsv : public DBFunctions {
 protected:
  void SetUp() override {
    dir_ = platform::MakePrivateTempDir("dbtsv") + "/";
    auto fm = std::make_unique<TVrFileManager>();
    fm->SetGameFolder(dir_);
    SetFileManager(std::move(fm));
    ASSERT_EQ(Run("DBCreateTable(\"t\", FALSE)"), "TRUE");
    ASSERT_EQ(Run("DBSetActive(\"t\")"), "TRUE");
  }
  void TearDown() override { platform::RemoveTree(dir_); }
  void File(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(platform::WriteFileAtomically(dir_ + name, bytes));
  }
  std::string dir_;
};

TEST_F(DBTsv, HeaderTypesEscapesAndTrailBytes) {
  // Cells: a trail backslash before "n", before an escaped backslash and at a cell's end.
  File("items.tsv", "name str 12\tscore int\trate Float\tok bool\tnote\r\n" + kSo + "n" + kHyo +
                        "\\\\\t12\t1.5\tTRUE\ta\\\"b\\nc\\x" + kHyo + "\n" + "\r\n" + "x\tabc\r" +
                        "y\t1\t2\tFALSE\tn\tsurplus");
  ASSERT_EQ(Run("DBInsert()"), "TRUE");
  ASSERT_EQ(Run("DBInsert()"), "TRUE");
  EXPECT_EQ(Run("DBLoadTsvFile(\"ITEMS.TSV\")"), "TRUE");
  TDBCustomTable& t = *db.Active();
  ASSERT_EQ(t.Fields().Count(), 5);
  EXPECT_EQ(t.Fields()[0].size, 13);
  EXPECT_EQ(t.Fields()[1].type, PT_INT);
  EXPECT_EQ(t.Fields()[2].type, PT_FLOAT);
  EXPECT_EQ(t.Fields()[3].type, PT_BOOL);
  EXPECT_EQ(t.Fields()[4].size, 81);
  ASSERT_EQ(t.RecordCount(), 3);
  EXPECT_EQ(t.RecNo(), 0);
  EXPECT_EQ(t.GetStrAt(0, 0), kSo + "n" + kHyo + "\\");
  EXPECT_EQ(t.GetIntAt(0, 1), 12);
  EXPECT_EQ(t.GetFloatAt(0, 2), 1.5L);
  EXPECT_EQ(t.GetBoolAt(0, 3), true);
  EXPECT_EQ(t.GetStrAt(0, 4), "a\"b\r\nc\\x" + kHyo);
  EXPECT_EQ(t.GetStrAt(1, 0), "x");
  EXPECT_EQ(t.GetIntAt(1, 1), 0);  // "abc" in an integer field
  EXPECT_EQ(t.GetStrAt(1, 4), "");
  EXPECT_EQ(t.GetStrAt(2, 4), "n");

  // A failed header leaves no fields and no record; a missing file changes nothing.
  File("empty.tsv", "a\t\tb\n1\t2\t3\n");
  EXPECT_EQ(Run("DBLoadTsvFile(\"nothing.tsv\")"), "FALSE");
  EXPECT_EQ(t.RecordCount(), 3);
  EXPECT_EQ(Run("DBLoadTsvFile(\"empty.tsv\")"), "FALSE");
  EXPECT_EQ(t.Fields().Count(), 0);
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.RecNo(), -1);
  File("neg.tsv", "a str -1\nx\n");
  EXPECT_EQ(Run("DBLoadTsvFile(\"neg.tsv\")"), "FALSE");
  EXPECT_EQ(t.Fields().Count(), 0);
  File("header.tsv", "a str 0\tb int\n\n");
  EXPECT_EQ(Run("DBLoadTsvFile(\"header.tsv\")"), "TRUE");
  EXPECT_EQ(t.Fields()[0].size, 1);
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.RecNo(), -1);
  EXPECT_EQ(Run("DBGetStr(\"a\")"), "");
}

class DBStreams : public DBFunctions {
 protected:
  // Game tables g1 and g2 (active), status tables s1 and s2, with records of every type.
  void Fill() {
    for (const char* text :
         {"DBCreateTable(\"g1\", FALSE)", "DBCreateTable(\"s1\", TRUE)",
          "DBCreateTable(\"g2\", FALSE)", "DBCreateTable(\"s2\", TRUE)", "DBSetActive(\"s1\")",
          "DBAddField(\"i\", 1)", "DBAddField(\"f\", 2)", "DBAddField(\"b\", 3)",
          "DBAddField(\"s\", 4, 6)", "DBInsert(1, 2.5, TRUE, \"abc\")", "DBInsert(-7, -0.125)",
          "DBSetRecNo(0)", "DBSetActive(\"g2\")", "DBAddField(\"text\", 4, 3)", "DBInsert(\"x\")",
          "DBInsert(\"yy\")", "DBInsert(\"zzz\")", "DBSetRecNo(1)"})
      ASSERT_EQ(Run(text), "TRUE") << text;
  }
  static std::string Game(const TDBManager& m) {
    TKvMemoryStream s;
    m.SaveGameToStream(s);
    return s.Data();
  }
  static std::string Status(const TDBManager& m) {
    TKvMemoryStream s;
    m.SaveStatusToStream(s);
    return s.Data();
  }
  static void LoadGame(TDBManager& m, const std::string& bytes) {
    TViewStream s(bytes);
    m.LoadGameFromStream(s);
  }
  static void LoadStatus(TDBManager& m, const std::string& bytes) {
    TViewStream s(bytes);
    m.LoadStatusFromStream(s);
  }
  // Whether loading the bytes fails with the stream read error and leaves db as it was.
  void ExpectRefused(const std::string& bytes, bool status, const char* what = "") {
    SCOPED_TRACE(what);
    const std::string game = Game(db), stat = Status(db);
    const TDBCustomTable* active = db.Active();
    try {
      status ? LoadStatus(db, bytes) : LoadGame(db, bytes);
      ADD_FAILURE() << "loaded " << bytes.size() << " bytes";
    } catch (const EQuenError& e) {
      EXPECT_EQ(e.Message(), msg::kStreamReadError);
    }
    EXPECT_EQ(Game(db), game);
    EXPECT_EQ(Status(db), stat);
    EXPECT_EQ(db.Active(), active);
  }
};

TEST_F(DBStreams, GameAndStatusRoundTripByteForByte) {
  Fill();
  const std::string game = Game(db), status = Status(db);
  // Version, two tables, the first one's kind and name.
  EXPECT_EQ(game.substr(0, 15), std::string("\x64\0\0\0\2\0\0\0\0\2\0\0\0g1", 15));
  EXPECT_EQ(game.substr(game.size() - 6), std::string("\2\0\0\0g2", 6));
  TDBManager other;
  LoadStatus(other, status);
  LoadGame(other, game);
  EXPECT_EQ(Game(other), game);
  EXPECT_EQ(Status(other), status);
  ASSERT_NE(other.Active(), nullptr);
  EXPECT_EQ(other.Active()->Name(), "g2");
  EXPECT_EQ(other.Active()->RecNo(), 1);
  const TDBCustomTable* s1 = other.Find("s1");
  EXPECT_EQ(s1->GetFloatAt(1, 1), -0.125L);
  EXPECT_EQ(s1->GetStrAt(0, 3), "abc");
  EXPECT_EQ(s1->RecNo(), 0);

  // Reset drops the game tables only.
  other.Reset();
  EXPECT_EQ(other.Active(), nullptr);
  EXPECT_EQ(other.TableCount(), 2);
  EXPECT_EQ(Status(other), status);
}

TEST_F(DBStreams, StatusLoadKeepsTheActiveTable) {
  Fill();
  TDBManager other;
  ASSERT_TRUE(other.CreateTable("s0", kDBStatusClass));
  ASSERT_TRUE(other.CreateTable("S1", kDBStatusClass));
  const std::string status = Status(other);
  // The active game table stays the same object although the tables before it moved.
  TDBCustomTable* g2 = db.Active();
  ASSERT_EQ(db.ActiveIndex(), 2);
  LoadStatus(db, status);
  EXPECT_EQ(db.Active(), g2);
  EXPECT_EQ(db.ActiveIndex(), 1);
  EXPECT_EQ(db.TableCount(), 4);
  // An active status table that is replaced gives way to its namesake, or to none.
  ASSERT_TRUE(db.SetActive("s1"));
  LoadStatus(db, status);
  ASSERT_NE(db.Active(), nullptr);
  EXPECT_EQ(db.Active()->Name(), "S1");
  ASSERT_TRUE(db.SetActive("s0"));
  TDBManager none;
  LoadStatus(db, Status(none));
  EXPECT_EQ(db.Active(), nullptr);
  EXPECT_EQ(db.TableCount(), 2);
}

TEST_F(DBStreams, EveryTruncationFailsAndChangesNothing) {
  Fill();
  const std::string game = Game(db), status = Status(db);
  for (size_t n = 0; n < game.size(); ++n) ExpectRefused(game.substr(0, n), false);
  for (size_t n = 0; n < status.size(); ++n) ExpectRefused(status.substr(0, n), true);
}

TEST_F(DBStreams, DamagedCountsAndSizesAreRefused) {
  Fill();
  const std::string status = Status(db);
  // Status layout: version, count, then s1: kind @8, name @9, class @15, field count @16,
  // field i (size, name, type) from @20, 10 bytes each, record count @60, records @64.
  auto patched = [&](size_t at, std::string bytes) {
    std::string s = status;
    s.replace(at, bytes.size(), bytes);
    return s;
  };
  auto i32 = [](int32_t v) {
    std::string s(4, '\0');
    std::memcpy(s.data(), &v, 4);
    return s;
  };
  ASSERT_EQ(status.substr(60, 4), i32(2));
  const struct {
    size_t at;
    std::string bytes;
    const char* what;
  } damage[] = {
      {0, i32(101), "version"},
      {4, i32(0x7FFFFFFF), "table count"},
      {4, i32(-1), "negative table count"},
      {8, "\1", "table kind"},
      {15, std::string(1, '\0'), "class of the other save"},
      {16, i32(100000000), "field count"},
      {20, i32(5), "integer of 5 bytes"},
      {50, i32(0), "string of no bytes"},
      {50, i32(-3), "negative string size"},
      {50, i32(0x7FFFFFFF), "huge string size"},
      {59, "\7", "type 7"},
      {60, i32(-1), "negative record count"},
      {60, i32(0x10000000), "huge record count"},
      {60, i32(3), "one record too many"},
      {68, std::string(10, '\xFF'), "a real that is no number"},
  };
  for (const auto& d : damage) ExpectRefused(patched(d.at, d.bytes), true, d.what);

  // A text without terminator stops at its field; a record number beyond the table is
  // pulled inside.
  std::string loose = patched(64 + 15, "abcdefg");
  loose.replace(64 + 2 * 22, 4, i32(9));
  TDBManager other;
  LoadStatus(other, loose);
  EXPECT_EQ(other.Find("s1")->GetStrAt(0, 3), "abcdefg");
  EXPECT_EQ(other.Find("s1")->GetStrAt(1, 3), "");
  EXPECT_EQ(other.Find("s1")->RecNo(), 1);
}

}  // namespace
}  // namespace quen
