#include <gtest/gtest.h>

#include "media_fixtures.h"
#include "platform/game_window.h"
#include "platform/media_writer.h"

namespace quen {
namespace {

class VideoRun : public testing::MediaWorld {
 protected:
  // Two pictures a second: red, then blue, with a second of sound.
  void MakeClip(const std::string& name) {
    std::string why;
    auto w = platform::VideoWriter::Create(dir / name, 16, 16, 2, 2, 44100, &why);
    ASSERT_TRUE(w) << why;
    std::vector<uint32_t> red(256, 0x00FF0000), blue(256, 0x000000FF);
    ASSERT_TRUE(w->AddPicture(reinterpret_cast<const uint8_t*>(red.data()), 64));
    ASSERT_TRUE(w->AddPicture(reinterpret_cast<const uint8_t*>(blue.data()), 64));
    const auto sound = testing::Noise(2 * 44100, 6, 8000);
    ASSERT_TRUE(w->AddSound(sound.data(), 44100));
    ASSERT_TRUE(w->Finish(&why)) << why;
  }
  static int Dominant(uint32_t p) {
    const int r = (p >> 16) & 255, b = p & 255;
    return r > 200 && b < 60 ? 'r' : b > 200 && r < 60 ? 'b' : '?';
  }
};

TEST_F(VideoRun, OverlaysAndCapturedPicturesFollowTheClock) {
  MakeClip("clip.avi");
  platform::HeadlessWindow window;
  std::vector<uint8_t> black(32 * 32 * 4, 0);
  window.UploadFrame(black.data(), 32 * 4, 32, 32, {{0, 0, 32, 32}});
  TMediaOptions o;
  o.Headless = true;
  media = std::make_unique<TMediaSystem>(o);
  media->MediaInit(&window, true, nullptr);
  TVideoItem* overlay = media->Video()->AddVideo("clip.avi", false);
  TVideoItem* capture = media->Video()->AddVideo("clip.avi", true);
  ASSERT_TRUE(overlay && capture);
  EXPECT_EQ(overlay->GetSourceWidth(), 16);
  EXPECT_EQ(overlay->GetLength(), 1000);
  overlay->SetRect(8, 8, 8, 8);
  overlay->SetVisible(true);
  overlay->Play();
  capture->Play();
  media->Step(100);
  media->UpdateFrame();
  std::vector<uint32_t> shown;
  int w = 0, h = 0;
  ASSERT_TRUE(window.ReadShownFrame(shown, w, h));
  EXPECT_EQ(Dominant(shown[10 * 32 + 10]), 'r');  // inside the overlay's rectangle
  EXPECT_EQ(shown[2 * 32 + 2], 0u);               // the game picture around it
  TVideoFrame f;
  ASSERT_TRUE(capture->GetPicture(f));
  EXPECT_EQ(f.Width, 16);
  EXPECT_EQ(Dominant(f.Pixels[0]), 'r');
  EXPECT_FALSE(capture->NeedPaint());
  // Half a second on, the second picture; suspended, the clock stands still.
  media->Step(600);
  media->UpdateFrame();
  EXPECT_TRUE(capture->NeedPaint());
  ASSERT_TRUE(capture->GetPicture(f));
  EXPECT_EQ(Dominant(f.Pixels[0]), 'b');
  window.ReadShownFrame(shown, w, h);
  EXPECT_EQ(Dominant(shown[10 * 32 + 10]), 'b');
  media->SuspendVideos();
  const int32_t at = capture->GetPosition();
  media->Step(900);
  EXPECT_EQ(capture->GetPosition(), at);
  media->ResumeVideos();
  media->Step(1500);
  EXPECT_TRUE(capture->IsEnd());
  EXPECT_FALSE(capture->IsEnd());
  // The video's sound reached the capture while it played.
  const auto heard = Captured(static_cast<size_t>(200 * 44.1) * 2, 2000);
  EXPECT_TRUE(std::any_of(heard.begin(), heard.end(), [](int16_t s) { return s != 0; }));
  media->Video()->Remove(overlay);
  EXPECT_EQ(window.OverlayCount(), 0u);
}

}  // namespace
}  // namespace quen
