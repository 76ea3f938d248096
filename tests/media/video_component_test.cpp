// The video component through the registry: a drawn video's pictures on the screen and an
// overlay's in the window at their times, one play end, and the pause rules.
#include <gtest/gtest.h>

#include "components/media_host.h"
#include "components/quen_base_list.h"
#include "components/quen_kinds.h"
#include "media_fixtures.h"
#include "platform/game_window.h"
#include "platform/media_writer.h"

namespace quen {
namespace {

class VideoHost : public IMediaHost {
 public:
  explicit VideoHost(std::unique_ptr<TMediaSystem>& media) : media_(media) {}
  bool EnsureFileAvailable(const std::string& name) override {
    return !name.empty() && FileManager().FileExists(name);
  }
  TMediaSystem* Media() override { return media_.get(); }

 private:
  std::unique_ptr<TMediaSystem>& media_;
};

class VideoComponentRun : public testing::MediaWorld {
 protected:
  void TearDown() override {
    reg.reset();
    MediaWorld::TearDown();
  }
  // Two pictures a second, red then blue.
  void MakeClip(const std::string& name) {
    std::string why;
    auto w = platform::VideoWriter::Create(dir / name, 16, 16, 2, 2, 44100, &why);
    ASSERT_TRUE(w) << why;
    std::vector<uint32_t> red(256, 0x00FF0000), blue(256, 0x000000FF);
    ASSERT_TRUE(w->AddPicture(reinterpret_cast<const uint8_t*>(red.data()), 64));
    ASSERT_TRUE(w->AddPicture(reinterpret_cast<const uint8_t*>(blue.data()), 64));
    ASSERT_TRUE(w->Finish(&why)) << why;
  }
  static int Dominant(uint32_t p) {
    const int r = (p >> 16) & 255, b = p & 255;
    return r > 200 && b < 60 ? 'r' : b > 200 && r < 60 ? 'b' : '?';
  }
  TQuenVideo* Video(const std::string& name, int32_t left, bool overlay) {
    auto* v = static_cast<TQuenVideo*>(reg->CreateComponent(LT_VIDEO));
    v->WriteProp(PR_NAME, TPropValue::OfStr(name));
    v->SetParent(&reg->ActiveRoot());
    v->SetBounds(left, 0, 0, 0);
    v->WriteProp(PR_OVERLAY, TPropValue::OfBool(overlay));
    v->WriteProp(PR_SOURCE, TPropValue::OfStr("clip.avi"));
    v->WriteProp(PR_VOLUME, TPropValue::OfInt(1000));
    v->WriteProp(PR_ONPLAYEND, TPropValue::OfStr("end.qsb"));
    return v;
  }
  void Frame() {
    now += 10;
    media->Step(now);
    reg->SetGameClock(now);
    reg->UpdateAll(10);
    while (TTimerData* e = reg->Events().FirstWaiting()) {
      const TQuenObject* from = reg->Resolve(e->Sender);
      ends.push_back((from ? from->Name() : "-") + " " + std::to_string(now));
      e->Level = 1;
      reg->Events().RemoveLevel(1);
    }
    reg->ActiveRoot().AddFullDirtyRect();
    reg->DrawAll();
    media->UpdateFrame();
  }

  VideoHost host{media};
  std::unique_ptr<TQuenBaseList> reg;
  int64_t now = 0;
  std::vector<std::string> ends;
};

TEST_F(VideoComponentRun, DrawnAndOverlayPicturesAtTheirTimesAndOnePlayEnd) {
  MakeClip("clip.avi");
  platform::HeadlessWindow window;
  std::vector<uint8_t> black(48 * 16 * 4, 0);
  window.UploadFrame(black.data(), 48 * 4, 48, 16, {{0, 0, 48, 16}});
  TMediaOptions o;
  o.Headless = true;
  media = std::make_unique<TMediaSystem>(o);
  media->MediaInit(&window, true, nullptr);
  reg = std::make_unique<TQuenBaseList>();
  reg->SetSize(48, 16);
  reg->SetMediaHost(&host);
  TQuenVideo* drawn = Video("drawn", 0, false);
  TQuenVideo* over = Video("over", 24, true);
  drawn->SetPlayMode(LP_PLAY);
  over->SetPlayMode(LP_PLAY);
  ASSERT_TRUE(drawn->Item() && over->Item());
  EXPECT_EQ(drawn->Width(), 16);  // the natural size
  EXPECT_EQ(drawn->PropInt(PR_COUNT), 1000);
  EXPECT_TRUE(drawn->PropBool(PR_PLAYING));
  auto shown = [&](int x) {
    std::vector<uint32_t> px;
    int w = 0, h = 0;
    EXPECT_TRUE(window.ReadShownFrame(px, w, h));
    return px.empty() ? 0u : px[static_cast<size_t>(8 * w + x)];
  };
  for (int i = 0; i < 20; ++i) Frame();
  EXPECT_EQ(Dominant(reg->Screen().GetPixel(8, 8)), 'r');
  EXPECT_EQ(Dominant(shown(30)), 'r');
  for (int i = 0; i < 50; ++i) Frame();
  EXPECT_EQ(Dominant(reg->Screen().GetPixel(8, 8)), 'b');
  EXPECT_EQ(Dominant(shown(30)), 'b');
  // Paused, the drawn video stands; it goes on when the pause ends.
  drawn->WriteProp(PR_PAUSED, TPropValue::OfBool(true));
  const int32_t at = drawn->PropInt(PR_INDEX);
  EXPECT_FALSE(drawn->PropBool(PR_PLAYING));
  for (int i = 0; i < 20; ++i) Frame();
  EXPECT_EQ(drawn->PropInt(PR_INDEX), at);
  drawn->WriteProp(PR_PAUSED, TPropValue::OfBool(false));
  for (int i = 0; i < 150; ++i) Frame();
  // Each ended once; stopped, the drawn one stays without its picture.
  std::sort(ends.begin(), ends.end());
  ASSERT_EQ(ends.size(), 2u);
  EXPECT_EQ(ends[0].rfind("drawn ", 0), 0u);
  EXPECT_EQ(ends[1].rfind("over ", 0), 0u);
  EXPECT_FALSE(drawn->PropBool(PR_PLAYING));
  drawn->SetPlayMode(LP_STOP);
  EXPECT_FALSE(drawn->Item());
  EXPECT_EQ(reg->FindComponent("drawn"), drawn);
  over->WriteProp(PR_DELAY, TPropValue::OfInt(200));
  over->SetPlayMode(LP_STOPFADE);
  for (int i = 0; i < 30; ++i) Frame();
  EXPECT_EQ(reg->FindComponent("over"), nullptr);
  EXPECT_EQ(window.OverlayCount(), 0u);
}

}  // namespace
}  // namespace quen
