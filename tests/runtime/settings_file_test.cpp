#include <gtest/gtest.h>

#include "platform/text_encoding.h"
#include "runtime/game_settings.h"
#include "runtime/ini_file.h"
#include "runtime/messages.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

TEST(SettingsFile, WritesKeepEverythingElse) {
  TIniFile ini;
  ini.SetText(
      "; made by the installer\r\n[sound]\r\n  directsound = 0 \r\nOther=x\r\n\r\n"
      "[Extra]\r\nKeep=me\r\n");
  EXPECT_FALSE(ini.ReadBool("Sound", "DirectSound", true));
  ini.WriteBool("Sound", "DirectSound", true);
  ini.WriteInteger("Sound", "DelayTime", 300);
  ini.WriteBool("Video", "UseWMP", true);
  EXPECT_EQ(ini.Text(),
            "; made by the installer\r\n[sound]\r\n  directsound=1\r\nOther=x\r\nDelayTime=300\r\n"
            "\r\n[Extra]\r\nKeep=me\r\n\r\n[Video]\r\nUseWMP=1\r\n");
  EXPECT_EQ(ini.ReadInteger("SOUND", "delaytime", 0), 300);
  EXPECT_EQ(ini.ReadString("Extra", "Keep", ""), "me");
}

TEST(SettingsFile, LineEndsAndMissingFinalBreak) {
  TIniFile ini;
  ini.SetText("[Sound]\nDelayTime=200");
  ini.WriteInteger("Sound", "DelayTime", 400);
  EXPECT_EQ(ini.Text(), "[Sound]\nDelayTime=400");
  ini.WriteBool("Sound", "DirectSound", false);
  EXPECT_EQ(ini.Text(), "[Sound]\nDelayTime=400\nDirectSound=0\n");
}

TEST(SettingsFile, ShiftJisTrailBytesAreNotSyntax) {
  // "ゾ" is 83 5D: its trail byte is "]". "ソ" is 83 5C.
  TIniFile ini;
  ini.SetText("[\x83\x5D\x83\x5C]\r\n\x83\x5D=1\r\n");
  EXPECT_EQ(ini.ReadInteger("\x83\x5D\x83\x5C", "\x83\x5D", 0), 1);
  ini.WriteInteger("\x83\x5D\x83\x5C", "k", 2);
  EXPECT_EQ(ini.Text(), "[\x83\x5D\x83\x5C]\r\n\x83\x5D=1\r\nk=2\r\n");
}

TEST(SettingsFile, NumbersTheWayValuesAreRead) {
  int32_t v = 0;
  EXPECT_TRUE(ParseIniInteger(" -12 ", v));
  EXPECT_EQ(v, -12);
  EXPECT_TRUE(ParseIniInteger("$1F", v));
  EXPECT_EQ(v, 31);
  EXPECT_TRUE(ParseIniInteger("0xFFFFFFFF", v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(ParseIniInteger("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_FALSE(ParseIniInteger("2147483648", v));
  EXPECT_FALSE(ParseIniInteger("true", v));
  EXPECT_FALSE(ParseIniInteger("12ms", v));
  EXPECT_FALSE(ParseIniInteger("", v));
  EXPECT_FALSE(ParseIniInteger("99999999999999999999999", v));
}

TEST(SettingsFile, DelayTimeRuleAndDefaults) {
  EXPECT_EQ(NormalizeDelayTime(250), 200);
  EXPECT_EQ(NormalizeDelayTime(50), 100);
  EXPECT_EQ(NormalizeDelayTime(999), 500);
  EXPECT_EQ(NormalizeDelayTime(-250), 100);
  EXPECT_EQ(NormalizeDelayTime(INT32_MIN), 100);
  testing::TempDir dir;
  TGameSettings missing = TGameSettings::Load(dir / "game.ini");
  EXPECT_TRUE(missing.DirectSound);
  EXPECT_EQ(missing.DelayTime, 500);
  EXPECT_FALSE(missing.UseWMP);
  dir.Write("game.ini", "[Sound]\r\nDirectSound=0\r\nDelayTime=250\r\n[Video]\r\nUseWMP=1\r\n");
  TGameSettings s = TGameSettings::Load(dir / "game.ini");
  EXPECT_FALSE(s.DirectSound);
  EXPECT_EQ(s.DelayTime, 200);
  EXPECT_TRUE(s.UseWMP);
  dir.Write("game.ini", "[Sound]\r\nDelayTime=\"300\"\r\nDirectSound='0\"\r\n");
  EXPECT_EQ(TGameSettings::Load(dir / "game.ini").DelayTime, 300);
  EXPECT_TRUE(TGameSettings::Load(dir / "game.ini").DirectSound);  // unmatched quotes stay
  dir.Write("game.ini", "[Sound]\r\nDelayTime=fast\r\n");
  EXPECT_EQ(TGameSettings::Load(dir / "game.ini").DelayTime, 500);
}

TEST(SettingsFile, SaveReplacesTheFileWhole) {
  testing::TempDir dir;
  dir.Write("game.ini", "[A]\r\nx=1\r\n");
  TIniFile ini(dir / "game.ini");
  ini.WriteInteger("A", "x", 2);
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(dir.Read("game.ini"), "[A]\r\nx=2\r\n");
  // Nothing but the file itself is left in the folder.
  EXPECT_EQ(platform::ListDirectory(dir.Path()).size(), 1u);
  EXPECT_FALSE(ini.SaveAs(dir / "missing-folder/game.ini"));
}

TEST(RuntimeMessages, AreTheirTextsInShiftJis) {
  for (const auto& row : msg::kRuntimeMessages)
    EXPECT_EQ(platform::Cp932ToUtf8(row.sjis), row.utf8) << row.name;
}

}  // namespace
}  // namespace quen
