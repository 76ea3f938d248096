// The image components' costs next to anchors measured in the same run: the registry's draw
// pass over 40 masked images against the same DrawAlphaMask calls made directly, children drawn
// through a wave against the same children drawn straight, and the absolute figures of a cache
// acquisition, a fire step and one frame of 1,000 snow particles. Read the counters: "ratio" is
// the figure over its anchor.
#include <benchmark/benchmark.h>

#include <iconv.h>
#include <time.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "base/sjis.h"
#include "base/stream.h"
#include "components/brix_collection.h"
#include "components/media_host.h"
#include "components/quen_kinds.h"
#include "expr/sysfunc_register.h"
#include "files/file_manager.h"
#include "imaging/brix_frame.h"
#include "imaging/brix_hooks.h"
#include "imaging/color_tables.h"
#include "media/media_system.h"
#include "platform/audio_device.h"
#include "platform/host_fs.h"
#include "platform/text_encoding.h"

namespace {

using namespace quen;

constexpr int32_t kScreenW = 800, kScreenH = 600, kImages = 40, kSide = 128;

// A game folder holding one masked 128 x 128 picture, and the cache, for the whole run.
struct TWorld {
  std::string folder = platform::MakePrivateTempDir("qpbench-") + "/";
  std::unique_ptr<TBrixCollection> cache = std::make_unique<TBrixCollection>();

  TWorld() {
    InstallBrixHooks();
    QuenInitColor(32);
    SetRandomSeed(1);
    TBrixFrameList list;
    TBrixFrame& f = list.AddFrame();
    f.Picture.SetSize(kSide, kSide, 32);
    std::minstd_rand rng(3);
    for (int32_t y = 0; y < kSide; ++y) {
      uint8_t* row = f.Picture.ScanLine(y);
      for (int32_t i = 0; i < kSide * 4; ++i) row[i] = static_cast<uint8_t>(rng() >> 8);
    }
    TDIBSurface& mask = f.Picture.CreateMask();
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x)
        mask.ScanLine(y)[x] = static_cast<uint8_t>((x + y) % 3 == 0 ? 0 : (x * 7 + y) & 0xFF);
    TKvMemoryStream out;
    list.SaveToStream(out);
    platform::WriteFileAtomically(folder + "sprite.brx", out.Data());
    Picture("chara.brx", 300, 500, true);
    Picture("bg.brx", kScreenW, kScreenH, false);
    auto fm = std::make_unique<TVrFileManager>();
    fm->SetGameFolder(folder);
    SetFileManager(std::move(fm));
  }
  ~TWorld() { platform::RemoveTree(folder); }
  // A picture of noise, with a mask that leaves a margin transparent when asked for.
  void Picture(const std::string& name, int32_t w, int32_t h, bool masked) {
    TBrixFrameList list;
    TBrixFrame& f = list.AddFrame();
    f.Picture.SetSize(w, h, 32);
    std::minstd_rand rng(5);
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = f.Picture.ScanLine(y);
      for (int32_t i = 0; i < w * 4; ++i) row[i] = static_cast<uint8_t>(rng() >> 8);
    }
    if (masked) {
      TDIBSurface& mask = f.Picture.CreateMask();
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
          mask.ScanLine(y)[x] = static_cast<uint8_t>(x < 40 || x >= w - 40 ? 0 : 255);
    }
    TKvMemoryStream out;
    list.SaveToStream(out);
    platform::WriteFileAtomically(folder + name, out.Data());
  }
};

TWorld& World() {
  static TWorld world;
  return world;
}

struct TPlace {
  int32_t x, y;
};
std::vector<TPlace> Places() {
  std::vector<TPlace> out;
  std::minstd_rand rng(9);
  for (int i = 0; i < kImages; ++i)
    out.push_back({static_cast<int32_t>(rng() % (kScreenW - kSide)),
                   static_cast<int32_t>(rng() % (kScreenH - kSide))});
  return out;
}

// A registry with the 40 images on its shown root (under a parent when one is given).
std::unique_ptr<TQuenBaseList> Scene(bool wave) {
  World();
  auto reg = std::make_unique<TQuenBaseList>();
  reg->SetSize(kScreenW, kScreenH);
  TQuenControl* parent = &reg->ActiveRoot();
  if (wave) {
    auto* w = reg->Create<TQuenWave>();
    w->SetParent(parent);
    w->SetBounds(0, 0, kScreenW, kScreenH);
    w->WriteProp(PR_AMP, TPropValue::OfInt(10));
    parent = w;
  }
  for (const TPlace& p : Places()) {
    auto* img = reg->Create<TQuenImages>();
    img->SetParent(parent);
    img->WriteProp(PR_SOURCE, TPropValue::OfStr("sprite.brx"));
    img->WriteProp(PR_ALPHA, TPropValue::OfInt(200));
    img->SetBounds(p.x, p.y, kSide, kSide);
  }
  reg->UpdateAll(16);
  return reg;
}

void DrawWhole(TQuenBaseList& reg) {
  reg.ActiveRoot().AddFullDirtyRect();
  reg.DrawAll();
  reg.ClearDirty();
}

// This thread's processor time in seconds: other programs on a shared machine do not count.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Runs a and b alternately, so that their ratio compares them under the same conditions, and
// reports both in microseconds of processor time and the ratio a / b.
template <class A, class B>
void Alternate(benchmark::State& st, const char* a_name, A a, const char* b_name, B b) {
  double ta = 0, tb = 0;
  for (auto _ : st) {
    const double t0 = ThreadSeconds();
    a();
    benchmark::ClobberMemory();
    const double t1 = ThreadSeconds();
    b();
    benchmark::ClobberMemory();
    const double t2 = ThreadSeconds();
    ta += t1 - t0;
    tb += t2 - t1;
  }
  const double n = static_cast<double>(st.iterations());
  st.counters[a_name] = ta * 1e6 / n;
  st.counters[b_name] = tb * 1e6 / n;
  st.counters["ratio"] = tb > 0 ? ta / tb : 0;
}

// The registry's draw pass over 40 masked images against the same fill and DrawAlphaMask calls.
void BM_DrawPass40Images(benchmark::State& st) {
  auto reg = Scene(false);
  reg->ActiveRoot().WriteProp(PR_COLOR, TPropValue::OfInt(0xFFFFFF));
  TDIBX screen;
  screen.SetSize(kScreenW, kScreenH, 32);
  TBrixItem* item = World().cache->Acquire(&screen, "sprite.brx", false, false);
  TBrixItemFrame& f = *item->Frame(0);
  const std::vector<TPlace> places = Places();
  const TRect src{0, 0, kSide, kSide};
  Alternate(
      st, "registry_us", [&] { DrawWhole(*reg); }, "direct_us",
      [&] {
        screen.FillRect(TRect{0, 0, kScreenW, kScreenH}, 0xFFFFFF);
        for (const TPlace& p : places)
          screen.DrawAlphaMask(p.x, p.y, 200, *f.Mask, false, false, src, f.Surface);
      });
  st.counters["cached_items"] = World().cache->ItemCount();
  World().cache->Release(item, &screen);
}
BENCHMARK(BM_DrawPass40Images)->Unit(benchmark::kMicrosecond);

// The same 40 images drawn through a wave of amplitude 10 and straight.
void BM_WaveChildren(benchmark::State& st) {
  auto bent = Scene(true);
  auto straight = Scene(false);
  Alternate(
      st, "wave_us", [&] { DrawWhole(*bent); }, "straight_us", [&] { DrawWhole(*straight); });
}
BENCHMARK(BM_WaveChildren)->Unit(benchmark::kMicrosecond);

void BM_CacheAcquire(benchmark::State& st) {
  World();
  const int holder = 0, other = 0;
  // Someone else keeps the picture, as a shown component would.
  TBrixItem* kept = World().cache->Acquire(&holder, "sprite.brx", false, false);
  for (auto _ : st) {
    TBrixItem* item = World().cache->Acquire(&other, "sprite.brx", false, false);
    benchmark::DoNotOptimize(item);
    World().cache->Release(item, &other);
  }
  World().cache->Release(kept, &holder);
}
BENCHMARK(BM_CacheAcquire)->Unit(benchmark::kNanosecond);

void BM_FireStep_320x240(benchmark::State& st) {
  TQuenBaseList reg;
  auto* fire = reg.Create<TQuenFire>();
  fire->SetParent(&reg.ActiveRoot());
  fire->WriteProp(PR_ORIGWIDTH, TPropValue::OfInt(320));
  fire->WriteProp(PR_ORIGHEIGHT, TPropValue::OfInt(240));
  reg.UpdateAll(16);
  for (auto _ : st) {
    fire->Step();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FireStep_320x240)->Unit(benchmark::kMicrosecond);

void BM_Snow_1000_Frame(benchmark::State& st) {
  World();
  TQuenBaseList reg;
  reg.SetSize(kScreenW, kScreenH);
  auto* snow = reg.Create<TQuenParticle>();
  snow->SetParent(&reg.ActiveRoot());
  snow->SetBounds(0, 0, kScreenW, kScreenH);
  snow->WriteProp(PR_SOURCE, TPropValue::OfStr("sprite.brx"));
  snow->WriteProp(PR_PARAM2, TPropValue::OfFloat(6));
  // Particles that never fall out, so the count stays at 1,000.
  snow->SetEmission(0, 0, kScreenW, kScreenH - kSide, 2, 0);
  snow->WriteProp(PR_DURATION, TPropValue::OfInt(125 * TQuenParticle::kStepMs));
  for (int i = 0; i < 130; ++i) reg.UpdateAll(16);
  for (auto _ : st) {
    reg.UpdateAll(16);
    reg.ClearDirty();
  }
  st.counters["particles"] = snow->ParticleCount();
}
BENCHMARK(BM_Snow_1000_Frame)->Unit(benchmark::kMicrosecond);

// 200 characters of a message page: kana and kanji with a few ASCII words.
std::string PageText() {
  const std::string part =
      "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。Hello world ";
  std::string out;
  while (sjis::CharCount(out) < 200) out += platform::Utf8ToCp932(part);
  size_t i = 0;
  for (size_t n = 0; n < 200 && i < out.size(); ++n) i += sjis::CharLen(out, i);
  return out.substr(0, i);
}

// A typical scene: a background, two masked 300 x 500 characters, a half-transparent 760 x 160
// box and a message box of 200 characters at 24 pixels with an edge of 2.
struct TTypical {
  std::unique_ptr<TQuenBaseList> reg = std::make_unique<TQuenBaseList>();
  TQuenMes* mes = nullptr;
  TTypical() {
    World();
    reg->SetSize(kScreenW, kScreenH);
    TQuenControl* root = &reg->ActiveRoot();
    auto image = [&](const char* src, int32_t x, int32_t y, int32_t w, int32_t h) {
      auto* img = reg->Create<TQuenImages>();
      img->SetParent(root);
      img->WriteProp(PR_SOURCE, TPropValue::OfStr(src));
      img->SetBounds(x, y, w, h);
    };
    image("bg.brx", 0, 0, kScreenW, kScreenH);
    image("chara.brx", 60, 60, 300, 500);
    image("chara.brx", 440, 60, 300, 500);
    auto* box = reg->Create<TQuenBox>();
    box->SetParent(root);
    box->SetBounds(20, 420, 760, 160);
    box->WriteProp(PR_COLOR, TPropValue::OfInt(0x202020));
    box->WriteProp(PR_ALPHA, TPropValue::OfInt(128));
    mes = reg->Create<TQuenMes>();
    mes->SetParent(box);
    mes->SetBounds(10, 10, 740, 140);
    mes->WriteProp(PR_FONTHEIGHT, TPropValue::OfInt(24));
    mes->WriteProp(PR_FONTBORDER, TPropValue::OfInt(2));
    mes->WriteProp(PR_FONTCOLOR, TPropValue::OfInt(0xFFFFFF));
    mes->WriteProp(PR_TEXTDELAY, TPropValue::OfInt(0));
    mes->WriteProp(PR_TEXT, TPropValue::OfStr(PageText()));
    for (int i = 0; i < 4; ++i) reg->UpdateAll(16);
    DrawWhole(*reg);
  }
};

void BM_TypicalSceneRedraw(benchmark::State& st) {
  TTypical scene;
  std::vector<uint8_t> from(size_t{kScreenW} * kScreenH * 4, 1), to(from.size());
  Alternate(
      st, "redraw_us", [&] { DrawWhole(*scene.reg); }, "memcpy_us",
      [&] { std::memcpy(to.data(), from.data(), from.size()); });
  st.counters["pages"] = scene.mes->PropInt(PR_COUNT);
}
BENCHMARK(BM_TypicalSceneRedraw)->Unit(benchmark::kMicrosecond);

// One reveal frame: a glyph more (16 ms delay, no fade), the update and its dirty rectangle.
void BM_RevealFrame(benchmark::State& st) {
  TTypical scene;
  auto restart = [&] {
    scene.mes->WriteProp(PR_TEXTDELAY, TPropValue::OfInt(256));
    scene.mes->WriteProp(PR_TEXT, TPropValue::OfStr("<WAIT VALUE=16>" + PageText()));
    for (int i = 0; i < 3; ++i) scene.reg->UpdateAll(16);
    DrawWhole(*scene.reg);
  };
  restart();
  int frames = 0;
  for (auto _ : st) {
    scene.reg->UpdateAll(16);
    scene.reg->DrawAll();
    scene.reg->ClearDirty();
    if (++frames == 150) {
      st.PauseTiming();
      restart();
      frames = 0;
      st.ResumeTiming();
    }
  }
}
BENCHMARK(BM_RevealFrame)->Unit(benchmark::kMicrosecond);

// A new 200-character page: build, layout and drawing its glyphs.
void BM_NewPage(benchmark::State& st) {
  TTypical scene;
  const std::string text = PageText();
  for (auto _ : st) {
    scene.mes->WriteProp(PR_TEXT, TPropValue::OfStr(text));
    scene.reg->UpdateAll(16);
    scene.reg->UpdateAll(16);
    scene.reg->UpdateAll(16);
    scene.reg->DrawAll();
    scene.reg->ClearDirty();
  }
}
BENCHMARK(BM_NewPage)->Unit(benchmark::kMicrosecond);

}  // namespace

// A headless media layer over the bench's game folder, for the fading sounds.
class TBenchMedia : public IMediaHost {
 public:
  TBenchMedia() {
    World();
    std::vector<int16_t> pcm(44100 * 2, 1000);
    platform::WriteFileAtomically(World().folder + "fade.wav",
                                  platform::EncodeWav16(pcm.data(), pcm.size() / 2, 2, 44100));
    TMediaOptions o;
    o.Headless = true;
    media_ = std::make_unique<TMediaSystem>(o);
    media_->MediaInit(nullptr, false, nullptr);
  }
  bool EnsureFileAvailable(const std::string& name) override {
    return FileManager().FileExists(name);
  }
  TMediaSystem* Media() override { return media_.get(); }

 private:
  std::unique_ptr<TMediaSystem> media_;
};

// The update pass over 1,000 timers, 100 fading sounds and 100 motions (on 100 boxes) against
// the pass over 1,200 idle boxes.
void BM_UpdatePassNonVisual(benchmark::State& st) {
  TBenchMedia host;
  auto busy = std::make_unique<TQuenBaseList>();
  busy->SetMediaHost(&host);
  auto idle = std::make_unique<TQuenBaseList>();
  for (int i = 0; i < 1200; ++i) {
    auto* b = idle->Create<TQuenBox>();
    b->SetParent(&idle->ActiveRoot());
    b->SetBounds(i % 700, i % 500, 10, 10);
  }
  for (int i = 0; i < 1000; ++i) {
    auto* t = busy->Create<TQuenTimer>();
    t->WriteProp(PR_DELAY, TPropValue::OfInt(250 + i));
    t->WriteProp(PR_ONNOTIFY, TPropValue::OfStr("tick.qsb"));
  }
  for (int i = 0; i < 100; ++i) {
    auto* s = busy->Create<TQuenSound>();
    s->WriteProp(PR_SOURCE, TPropValue::OfStr("fade.wav"));
    s->WriteProp(PR_VOLUME, TPropValue::OfInt(1000));
    s->WriteProp(PR_DELAY, TPropValue::OfInt(1000000000));
    s->SetPlayMode(LP_PLAYFADE);
    auto* b = busy->Create<TQuenBox>();
    b->WriteProp(PR_NAME, TPropValue::OfStr("box" + std::to_string(i)));
    b->SetParent(&busy->ActiveRoot());
    b->SetBounds(i, i, 10, 10);
    auto* m = busy->Create<TQuenPropMotion>();
    m->SetMotion("box" + std::to_string(i), PR_LEFT, 600, 1000000000, MT_DEC);
  }
  int64_t clock = 0;
  Alternate(
      st, "nonvisual_us",
      [&] {
        clock += 16;
        busy->SetGameClock(clock);
        busy->UpdateAll(16);
        // The handlers ran: the queue stays short, as in a game.
        busy->Events().Clear();
      },
      "idle_boxes_us",
      [&] {
        idle->SetGameClock(clock);
        idle->UpdateAll(16);
      });
  busy.reset();
}
BENCHMARK(BM_UpdatePassNonVisual)->Unit(benchmark::kMicrosecond);

// 1 MiB of EUC-JP (JIS X 0208 pairs, half-width kana, ASCII) to Shift-JIS against iconv's
// EUC-JP to CP932 of the same bytes.
void BM_EucJpToSjis_1MiB(benchmark::State& st) {
  std::string euc;
  std::minstd_rand rng(4);
  while (euc.size() < (1u << 20)) {
    switch (rng() % 4) {
      case 0:
        euc += static_cast<char>('a' + rng() % 26);
        break;
      case 1:
        euc += '\x8E';
        euc += static_cast<char>(0xA1 + rng() % 63);
        break;
      default:
        // The first level's rows 16 to 46, where every cell is assigned: iconv stops at the
        // first unassigned one.
        euc += static_cast<char>(0xB0 + rng() % 31);
        euc += static_cast<char>(0xA1 + rng() % 94);
        break;
    }
  }
  iconv_t cd = iconv_open("CP932", "EUC-JP");
  std::string out(euc.size() * 2, '\0');
  size_t iconv_bytes = 0;
  Alternate(
      st, "ours_us", [&] { benchmark::DoNotOptimize(sjis::EucJpToSjis(euc)); }, "iconv_us",
      [&] {
        char* in = euc.data();
        size_t in_left = euc.size();
        char* to = out.data();
        size_t out_left = out.size();
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        iconv(cd, &in, &in_left, &to, &out_left);
        iconv_bytes = out.size() - out_left;
      });
  st.counters["same_bytes"] = sjis::EucJpToSjis(euc) == out.substr(0, iconv_bytes) ? 1 : 0;
  iconv_close(cd);
}
BENCHMARK(BM_EucJpToSjis_1MiB)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
