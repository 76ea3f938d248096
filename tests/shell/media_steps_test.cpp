#include <gtest/gtest.h>

#include "authoring/record_text.h"
#include "files/file_manager.h"
#include "platform/audio_device.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "shell/form_view.h"
#include "support/temp_dir.h"

namespace quen {
namespace {

// The media layer inside the assembled player: activation, @SoundON and the frame's media time.
class MediaSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFileManager(std::make_unique<TVrFileManager>());
    FileManager().SetCdRoots({});
    platform::SetDialogs(std::make_unique<platform::HeadlessDialogs>());
    platform::SetClock(std::make_unique<platform::VirtualClock>());
    TKvMemoryStream m;
    ParseProjectText(
        "version 115\ntitle \"t\"\nscreen 64 48\nstart_page \"start.qsb\"\n"
        "pause_when_inactive 1\n")
        .SaveToStream(m);
    game.Write("quen.qpb", m.Data());
    game.Write("start.qsb", "page");
    std::vector<int16_t> tone(2 * 44100, 1000);
    game.Write("a.wav", platform::EncodeWav16(tone.data(), 44100, 2, platform::kAudioRate));
  }
  void TearDown() override {
    platform::SetClock(nullptr);
    platform::SetDialogs(nullptr);
    SetFileManager(nullptr);
  }
  testing::TempDir game, exe;
  platform::HeadlessWindow window;
};

TEST_F(MediaSteps, ActivationSoundOnAndTheCapture) {
  TFormView view(window, TStartupContext{{game.Path()}, exe.Path(), ""});
  view.Create();
  ASSERT_FALSE(view.StartupFailed());
  TMediaSystem* media = view.Player().Media();
  ASSERT_TRUE(media && media->Capture());
  TDMediaItem* item = media->Ogg()->Add("a.wav");
  ASSERT_TRUE(item);
  item->Play();
  // A frame of 16 ms moves the media time with the game clock.
  ASSERT_TRUE(view.Tick(16));
  EXPECT_EQ(media->Capture()->Frames(), 705);
  EXPECT_EQ(media->Capture()->Samples()[0], 1000);
  // A game that pauses when inactive pauses what plays, and goes on when active again.
  view.Deactivate();
  EXPECT_TRUE(item->IsPaused());
  view.Activate(32);
  EXPECT_TRUE(item->IsPlaying());
  // @SoundON goes through the registry to every sound manager.
  view.Panel()->Registry().SetSoundOn(false);
  EXPECT_FALSE(media->Ogg()->Enabled());
  EXPECT_TRUE(item->IsPaused());
  view.Panel()->Registry().SetSoundOn(true);
  EXPECT_TRUE(item->IsPlaying());
  view.Close();
  EXPECT_FALSE(media->Ogg());                // freed at "OggMan"
  EXPECT_GT(media->Capture()->Frames(), 0);  // what was heard stays for --dump-sound
}

}  // namespace
}  // namespace quen
