#include <gtest/gtest.h>

#include "authoring/record_text.h"
#include "base/error.h"
#include "base/extended.h"
#include "runtime/messages.h"
#include "runtime/project_setting.h"

namespace quen {
namespace {

void Put32(std::string& s, int32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(static_cast<uint32_t>(v) >> (8 * i)));
}
void PutStr(std::string& s, const std::string& v) {
  Put32(s, static_cast<int32_t>(v.size()));
  s += v;
}

// Version 108 laid out by hand: no end page, no streaming extensions, no pause or disc byte.
std::string HandMade108() {
  std::string s;
  Put32(s, 108);
  PutStr(s, "T");
  Put32(s, 640);
  Put32(s, 480);
  Put32(s, 800);
  Put32(s, 600);
  PutStr(s, "start.qsb");
  PutStr(s, "Soft\\Key");
  Put32(s, 77);
  s += '\x01';  // persistent status
  s += '\x01';  // yield
  PutStr(s, "disk %d");
  PutStr(s, "bye");
  Put32(s, 2);
  s += '\x04';
  PutStr(s, "Name");
  PutStr(s, "v");
  s += '\x02';
  PutStr(s, "R");
  uint8_t ext[10];
  EncodeExtended(1.5L, ext);
  s.append(reinterpret_cast<const char*>(ext), 10);
  Put32(s, 1);
  PutStr(s, "movie");
  Put32(s, 2);
  return s;
}

TProjectSetting Load(const std::string& bytes) {
  TKvMemoryStream m(bytes);
  TProjectSetting p;
  p.LoadFromStream(m);
  return p;
}

std::string Describe(int version) {
  std::string t = "version " + std::to_string(version) +
                  "\n"
                  "title \"テスト\"\nscreen 640 480\nfullscreen 800 600\n"
                  "start_page \"start.qsb\"\nregistry_key \"Soft\\Key\"\nid_code -5\n"
                  "disk_prompt \"ディスク%dを入れて\"\nexit_prompt \"終了します\"\n"
                  "var int \"Score\" -3\nvar float \"Rate\" 0.1\nvar bool \"Flag\" 1\n"
                  "var str \"Name\" \"a\"\"b\"\nvar 0 \"Any\"\nvar 9 \"Odd\"\n"
                  "folder_disk \"data\\movie\" 2\nfolder_disk \"bgm\" 3\n";
  if (version >= 104) t += "persistent_status 1\n";
  if (version >= 106) t += "yield 1\n";
  if (version >= 109) t += "streaming_extensions \".wav.ogg\"\n";
  if (version >= 110) t += "end_page \"end.qsb\"\n";
  if (version >= 113) t += "pause_when_inactive 1\n";
  if (version >= 114) t += "disc_byte 200\n";
  return t;
}

TEST(ProjectFile, ReadsTheLayoutOfVersion108) {
  TProjectSetting p = Load(HandMade108());
  EXPECT_EQ(p.Version, 108);
  EXPECT_EQ(p.Title, "T");
  EXPECT_EQ(p.FullScreenHeight, 600);
  EXPECT_EQ(p.EndPage, "");
  EXPECT_EQ(p.StreamingExtensions, ".wav.wma.ogg.mid");
  EXPECT_TRUE(p.PersistentStatus);
  EXPECT_TRUE(p.YieldFlag);
  EXPECT_FALSE(p.PauseWhenInactive);
  EXPECT_EQ(p.IdCode, 77);
  ASSERT_EQ(p.Params.size(), 2u);
  EXPECT_EQ(p.Params[0].StrValue, "v");
  EXPECT_EQ(p.Params[1].FloatValue, 1.5L);
  EXPECT_EQ(p.FolderDisks.DiskOf("MOVIE\\op.avi"), 2);
}

TEST(ProjectFile, EveryVersionReadsBackWhatTheToolWrote) {
  for (int v = 103; v <= 115; ++v) {
    SCOPED_TRACE(v);
    TProjectSetting p = ParseProjectText(Describe(v));
    TKvMemoryStream m;
    p.SaveToStream(m);
    TProjectSetting back = Load(m.Data());
    EXPECT_EQ(ProjectToText(back), ProjectToText(p));
    EXPECT_EQ(back.Params, p.Params);
    EXPECT_EQ(back.PersistentStatus, v >= 104);
    EXPECT_EQ(back.YieldFlag, v >= 106);
    EXPECT_EQ(back.StreamingExtensions, v >= 109 ? ".wav.ogg" : ".wav.wma.ogg.mid");
    EXPECT_EQ(back.EndPage, v >= 110 ? "end.qsb" : "");
    EXPECT_EQ(back.PauseWhenInactive, v >= 113);
    EXPECT_EQ(back.DiscByte, v >= 114 ? 200 : 0);
    // The text form of what was read is itself a valid description.
    EXPECT_EQ(ProjectToText(ParseProjectText(ProjectToText(back))), ProjectToText(back));
  }
}

TEST(ProjectFile, VersionGates) {
  TProjectSetting p = ParseProjectText(Describe(115));
  p.Version = 116;
  TKvMemoryStream m;
  EXPECT_THROW(p.SaveToStream(m), EQuenError);
  p.Version = 115;
  p.SaveToStream(m);
  std::string bytes = m.Data();
  bytes[0] = 116;
  try {
    Load(bytes);
    FAIL();
  } catch (const EQuenError& e) {
    EXPECT_EQ(e.Message(), msg::kProjectVersionUnsupported);
  }
  EXPECT_THROW(ParseProjectText("version 109\nend_page \"e\"\n"), EQuenError);
  EXPECT_THROW(ParseProjectText("version 102\n"), EQuenError);
  EXPECT_THROW(ParseProjectText("version 110\ntitle \"a\"\ntitle \"b\"\n"), EQuenError);
  EXPECT_THROW(ParseProjectText("version 110\nvar int \"x\"\n"), EQuenError);
  EXPECT_THROW(ParseProjectText("version 110\nvar 1 \"x\" 1\n"), EQuenError);
  EXPECT_THROW(ParseProjectText("version 110\ntitle \"open\n"), EQuenError);
  EXPECT_THROW(ParseProjectText("version 110\ntitle \"😀\"\n"), EQuenError);
}

TEST(ProjectFile, DescriptionWithByteOrderMarkAndComments) {
  TProjectSetting p =
      ParseProjectText("\xEF\xBB\xBFversion 103 # oldest\r\n\r\n# a comment\ntitle \"a # b\"\r\n");
  EXPECT_EQ(p.Version, 103);
  EXPECT_EQ(p.Title, "a # b");
}

TEST(ProjectFile, BytesWithoutTextFormSurviveTheDump) {
  TProjectSetting p = ParseProjectText("version 115\ntitle hex:0D0A8341\n");
  EXPECT_EQ(p.Title, "\r\n\x83\x41");
  EXPECT_EQ(ParseProjectText(ProjectToText(p)).Title, p.Title);
}

TEST(ProjectFile, DamagedFilesRaise) {
  std::string good = HandMade108();
  for (size_t cut = 0; cut < good.size(); ++cut) {
    TProjectSetting p;
    p.Title = "before";
    TKvMemoryStream m(good.substr(0, cut));
    EXPECT_THROW(p.LoadFromStream(m), EQuenError) << cut;
    EXPECT_EQ(p.Title, "before");
  }
  // Variable count and folder count far beyond the bytes; a string longer than the file.
  std::string bad = good;
  size_t vars_at = good.size() - 4 - 9 - 4 - (1 + 5 + 10) - (1 + 8 + 5) - 4;
  bad[vars_at + 3] = 0x40;
  EXPECT_THROW(Load(bad), EQuenError);
  bad = good;
  bad[good.size() - 4 - 9 - 4 + 3] = 0x40;
  EXPECT_THROW(Load(bad), EQuenError);
  bad = good;
  bad[4 + 3] = 0x7F;  // title length
  EXPECT_THROW(Load(bad), EQuenError);
}

}  // namespace
}  // namespace quen
