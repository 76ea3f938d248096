// Sounds made by pages, heard through the headless player's capture (--dump-sound) and its
// MIDI log (--dump-midi): fades, volume and balance in the engine's units, a fading stop that
// frees the name at once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/player_run.h"

namespace quen {
namespace {

class SoundRun : public PlayerRun {
 protected:
  void SetUp() override {
    work.Write("project.txt", "version 115\ntitle \"t\"\nscreen 64 48\nstart_page \"main.qsb\"\n");
    Tool("project " + (work / "project.txt") + " -o " + (game / "quen.qpb"));
    // Two seconds of a square wave at 441 Hz, at the capture's own rate.
    work.Write("tone.txt", "format 2 44100 16\nsquare 441 2000 16000\n");
    Tool("media wave " + (work / "tone.txt") + " -o " + (game / "tone.wav"));
  }
  Result Play(const std::string& main, const std::string& extra) {
    work.Write("main.qs", main);
    Tool("asm " + (work / "main.qs") + " -o " + (game / "main.qsb"));
    return Run(kPlayer + " --headless --dump-vars " + (work / "vars.txt") + " " + extra + " " +
               game.Path());
  }
  void Handler(const std::string& name, const std::string& text) {
    work.Write("handler.qs", text);
    Tool("asm " + (work / "handler.qs") + " -o " + (game / name));
  }
  std::map<std::string, std::string> Vars() {
    std::map<std::string, std::string> out;
    for (const std::string& line : TraceLines("vars.txt")) {
      const size_t tab = line.find('\t');
      if (tab != std::string::npos) out[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return out;
  }
  // The capture's 16-bit stereo samples, left and right.
  void Capture(const std::string& name, std::vector<int16_t>& left, std::vector<int16_t>& right) {
    const std::string wav = work.Read(name);
    const size_t data = wav.find("data");
    ASSERT_NE(data, std::string::npos);
    ASSERT_GE(wav.size(), data + 8);
    const size_t frames = (wav.size() - data - 8) / 4;
    left.resize(frames);
    right.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
      std::memcpy(&left[i], wav.data() + data + 8 + 4 * i, 2);
      std::memcpy(&right[i], wav.data() + data + 8 + 4 * i + 2, 2);
    }
  }
};

constexpr double kRate = 44100;

// Level in dB (full scale 32768) of 20 ms from ms on; -200 for silence.
double LevelAt(const std::vector<int16_t>& s, double ms) {
  const size_t a = static_cast<size_t>(ms * kRate / 1000), n = static_cast<size_t>(kRate / 50);
  if (a + n > s.size()) return -300;
  double sum = 0;
  for (size_t i = a; i < a + n; ++i) sum += static_cast<double>(s[i]) * s[i];
  const double rms = std::sqrt(sum / static_cast<double>(n));
  return rms <= 0 ? -200 : 20 * std::log10(rms / 32768);
}

// Where the sound begins in the capture, in ms.
double Onset(const std::vector<int16_t>& s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] != 0) return static_cast<double>(i) * 1000 / kRate;
  return -1;
}

TEST_F(SoundRun, FadeInVolumeBalanceAndAFadingStop) {
  // Full level first, for reference: 16000 of 32768 is -6.2 dB.
  Result r = Play("Sound name={\"s\"} source={\"tone.wav\"}\nWait time={600}\nTerminate\n",
                  "--dump-sound " + (work / "full.wav"));
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<int16_t> l, rt;
  Capture("full.wav", l, rt);
  const double t0 = Onset(l);
  ASSERT_GE(t0, 0);
  const double full = LevelAt(l, t0 + 200);
  EXPECT_NEAR(full, 20 * std::log10(16000.0 / 32768), 0.5);
  EXPECT_NEAR(LevelAt(rt, t0 + 200), full, 0.1);

  // A fade in over a second: from -50 dB, linear in dB, to full level, then the samples exactly.
  r = Play("Sound name={\"s\"} source={\"tone.wav\"} delay={1000}\nWait time={1500}\nTerminate\n",
           "--dump-sound " + (work / "fade.wav"));
  ASSERT_EQ(r.status, 0) << r.err;
  Capture("fade.wav", l, rt);
  const double f0 = Onset(l);
  ASSERT_GE(f0, 0);
  for (double at : {100.0, 300.0, 500.0, 700.0, 900.0}) {
    const double expected = full - 50 + 50 * (at + 10) / 1000;
    EXPECT_NEAR(LevelAt(l, f0 + at), expected, 2.0) << at << " ms into the fade";
  }
  EXPECT_NEAR(LevelAt(l, f0 + 1200), full, 0.1);

  // Volume 500 is -25 dB; balance -10000 leaves the right channel silent.
  r = Play(
      "Sound name={\"s\"} source={\"tone.wav\"} volume={500} balance={-10000}\n"
      "Wait time={600}\nTerminate\n",
      "--dump-sound " + (work / "quiet.wav"));
  ASSERT_EQ(r.status, 0) << r.err;
  Capture("quiet.wav", l, rt);
  const double q0 = Onset(l);
  ASSERT_GE(q0, 0);
  EXPECT_NEAR(LevelAt(l, q0 + 200), full - 25, 0.5);
  EXPECT_LT(LevelAt(rt, q0 + 200), -90);

  // A stop fading over 500 ms: the name is free at once (a box takes it without cutting the
  // sound), the sound falls to -50 dB, then silence.
  r = Play(
      "Sound name={\"s\"} source={\"tone.wav\"}\nWait time={300}\n"
      "MovieStop comp={\"s\"} fade={500}\nBoxNew name={\"s\"}\nWait time={900}\n"
      "Terminate\n",
      "--dump-sound " + (work / "stop.wav"));
  ASSERT_EQ(r.status, 0) << r.err;
  Capture("stop.wav", l, rt);
  const double s0 = Onset(l);
  ASSERT_GE(s0, 0);
  EXPECT_NEAR(LevelAt(l, s0 + 100), full, 0.1);
  // Where the fade starts, from the first frame the level is below full.
  double stop = -1;
  for (double at = s0 + 100; at < s0 + 800; at += 1)
    if (LevelAt(l, at) < full - 1) {
      stop = at;
      break;
    }
  ASSERT_GT(stop, s0 + 250);
  EXPECT_LT(stop, s0 + 360);
  EXPECT_NEAR(LevelAt(l, stop + 240), full - 25, 3.0);
  EXPECT_LT(LevelAt(l, stop + 560), -90);
}

TEST_F(SoundRun, AMidiFadeRaisesTheChannelVolume) {
  work.Write("song.txt",
             "format 0\ntracks 1\ndivision 480\ntrack\n  0 FF510307A120\n  0 903C60\n"
             "  3840 803C00\n  0 FF2F00\nend\n");
  Tool("midi asm " + (work / "song.txt") + " -o " + (game / "song.mid"));
  // Channel 1's volume messages sent while the game ran (ending it silences every channel).
  auto controller7 = [&](const std::string& log, long until) {
    std::vector<std::pair<long, int>> out;
    std::istringstream in(work.Read(log));
    std::string ms, hex;
    while (in >> ms >> hex)
      if (hex.size() == 6 && hex.substr(0, 4) == "B007" && std::stol(ms) < until)
        out.emplace_back(std::stol(ms), std::stoi(hex.substr(4, 2), nullptr, 16));
    return out;
  };
  Result r = Play(
      "Sound name={\"m\"} source={\"song.mid\"} delay={1000}\nWait time={1500}\n"
      "Terminate\n",
      "--dump-midi " + (work / "fade.txt"));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto fade = controller7("fade.txt", 1500);
  ASSERT_GE(fade.size(), 3u) << work.Read("fade.txt");
  EXPECT_EQ(fade.front().second, 0);
  EXPECT_EQ(fade.back().second, 127);
  int highest = 0;
  for (size_t i = 1; i < fade.size(); ++i) {
    EXPECT_GE(fade[i].second, fade[i - 1].second);
    highest = std::max(highest, fade[i].second);
  }
  EXPECT_EQ(highest, 127);
  EXPECT_NEAR(fade.back().first - fade.front().first, 1000, 100);

  r = Play("Sound name={\"m\"} source={\"song.mid\"} volume={500}\nWait time={300}\nTerminate\n",
           "--dump-midi " + (work / "half.txt"));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto half = controller7("half.txt", 300);
  ASSERT_FALSE(half.empty()) << work.Read("half.txt");
  EXPECT_EQ(half.back().second, 63);
}

TEST_F(SoundRun, PlayEndsAndTimerTicksReachThePage) {
  // A half-second sound raises its play end once, about 500 ms after it started; its length and
  // position read in ms. A 250 ms timer ticks 7 or 8 times in two seconds.
  work.Write("short.txt", "format 1 22050 16\nsquare 441 500 8000\n");
  Tool("media wave " + (work / "short.txt") + " -o " + (game / "short.wav"));
  Handler("ended.qsb", "Calc ends = ends + 1\nCalc ended_at = @TickCount - started\n");
  Handler("tick.qsb", "Calc ticks = ticks + 1\n");
  Result r = Play(
      "VarNew name=ends type=int init={0}\nVarNew name=ended_at type=int\n"
      "VarNew name=started type=int\nVarNew name=ticks type=int init={0}\n"
      "VarNew name=length type=int\nVarNew name=at type=int\n"
      "Calc started = @TickCount\n"
      "Sound name={\"s\"} source={\"short.wav\"} onplayend={\"ended.qsb\"}\n"
      "Timer name={\"t\"} delay={250} onnotify={\"tick.qsb\"}\n"
      "Wait time={200}\nGetProp comp={\"s\"} prop=count var=length\n"
      "GetProp comp={\"s\"} prop=index var=at\nWait time={1800}\nTerminate\n",
      "");
  ASSERT_EQ(r.status, 0) << r.err;
  auto vars = Vars();
  EXPECT_EQ(vars["ends"], "整数\t1");
  EXPECT_EQ(vars["length"], "整数\t500");
  const int at = std::stoi(vars["at"].substr(vars["at"].find('\t') + 1));
  EXPECT_NEAR(at, 200, 40);
  const int ended = std::stoi(vars["ended_at"].substr(vars["ended_at"].find('\t') + 1));
  EXPECT_NEAR(ended, 500, 50);
  const int ticks = std::stoi(vars["ticks"].substr(vars["ticks"].find('\t') + 1));
  EXPECT_GE(ticks, 7);
  EXPECT_LE(ticks, 8);
}

}  // namespace
}  // namespace quen
