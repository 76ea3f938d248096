#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/text_encoding.h"
#include "runtime/game_settings.h"
#include "runtime/ini_file.h"
#include "shell/form_config.h"
#include "shell/messages.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

TEST(SettingsDialog, ShowsTheFileAndWritesOnOk) {
  testing::TempDir dir;
  dir.Write("game.ini", "; keep\r\n[Sound]\r\nDirectSound=0\r\nDelayTime=250\r\n");
  TFormConfig c(dir / "game.ini");
  EXPECT_FALSE(c.SoundChecked());
  EXPECT_EQ(c.TrackPosition(), 2);
  EXPECT_EQ(c.DelayText(), "200ms");
  EXPECT_TRUE(c.DelayControlsEnabled());
  c.SetSoundChecked(true);
  EXPECT_FALSE(c.DelayControlsEnabled());
  c.SetSoundChecked(false);
  c.Ok();
  EXPECT_FALSE(c.IsOpen());
  EXPECT_FALSE(c.WriteFailed());
  EXPECT_EQ(dir.Read("game.ini"), "; keep\r\n[Sound]\r\nDirectSound=0\r\nDelayTime=200\r\n");
}

TEST(SettingsDialog, CancelWritesNothing) {
  testing::TempDir dir;
  dir.Write("game.ini", "[Sound]\r\nDelayTime=250\r\n");
  TFormConfig c(dir / "game.ini");
  c.SetTrackPosition(4);
  EXPECT_EQ(c.DelayText(), "400ms");
  c.Cancel();
  EXPECT_FALSE(c.IsOpen());
  EXPECT_EQ(dir.Read("game.ini"), "[Sound]\r\nDelayTime=250\r\n");
}

TEST(SettingsDialog, WithoutAFileOkCreatesIt) {
  testing::TempDir dir;
  TFormConfig c(dir / "game.ini");
  EXPECT_TRUE(c.SoundChecked());
  EXPECT_EQ(c.DelayText(), "500ms");
  EXPECT_FALSE(c.DelayControlsEnabled());
  c.Ok();
  TIniFile ini(dir / "game.ini");
  EXPECT_TRUE(ini.ReadBool("Sound", "DirectSound", false));
  EXPECT_EQ(ini.ReadInteger("Sound", "DelayTime", 0), 500);
}

TEST(SettingsDialog, TrackBarStaysInItsRange) {
  testing::TempDir dir;
  dir.Write("game.ini", "[Sound]\r\nDelayTime=50\r\n");
  EXPECT_EQ(TFormConfig(dir / "game.ini").TrackPosition(), 1);
  dir.Write("game.ini", "[Sound]\r\nDelayTime=999\r\n");
  TFormConfig c(dir / "game.ini");
  EXPECT_EQ(c.TrackPosition(), 5);
  c.SetTrackPosition(0);
  EXPECT_EQ(c.TrackPosition(), 1);
  c.SetTrackPosition(9);
  EXPECT_EQ(c.DelayText(), "500ms");
}

TEST(SettingsDialog, FailedWriteIsReported) {
  testing::TempDir dir;
  TFormConfig c(dir / "no-such-folder/game.ini");
  c.Ok();
  EXPECT_TRUE(c.WriteFailed());
}

// The dialog for a game folder writes the file the player of that folder then reads: in the
// folder itself, or in the user's configuration folder when the game folder is read-only.
TEST(SettingsDialog, WritesWhereThePlayerReads) {
  testing::TempDir game, config;
  ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
  game.Write("GAME.INI", "[Video]\r\nUseWMP=1\r\n");
  TSettingsPlace place = GameSettingsPlace(game.Path());
  EXPECT_EQ(place.Read, game / "GAME.INI");
  EXPECT_EQ(place.Write, place.Read);
  TFormConfig c(place.Write, place.Read);
  c.SetTrackPosition(3);
  c.Ok();
  EXPECT_EQ(TGameSettings::Load(GameSettingsPlace(game.Path()).Read).DelayTime, 300);
  if (::geteuid() != 0) {  // root writes anywhere
    ASSERT_EQ(::chmod(game.Path().c_str(), 0555), 0);
    place = GameSettingsPlace(game.Path());
    EXPECT_EQ(place.Read, game / "GAME.INI");
    EXPECT_EQ(place.Write.rfind(config / "quenplay/", 0), 0u) << place.Write;
    TFormConfig d(place.Write, place.Read);
    d.SetTrackPosition(1);
    d.Ok();
    EXPECT_FALSE(d.WriteFailed());
    place = GameSettingsPlace(game.Path());
    EXPECT_NE(place.Read, game / "GAME.INI");
    const TGameSettings s = TGameSettings::Load(place.Read);
    EXPECT_EQ(s.DelayTime, 100);
    EXPECT_TRUE(s.UseWMP);  // the rest of the game's own file came along
    ::chmod(game.Path().c_str(), 0755);
  }
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST(ShellMessages, AreTheirTextsInShiftJis) {
  for (const auto& row : msg::kShellMessages)
    EXPECT_EQ(platform::Cp932ToUtf8(row.sjis), row.utf8) << row.name;
}

}  // namespace
}  // namespace quen
